#include "ExchangeRecord.h"

#include <cstdarg>
#include <cstdio>

namespace veltrion::recording {

namespace {

constexpr uint8_t kDirectionIn = 0x80;  // bmRequestType bit 7
constexpr size_t kShownBytes = 16;      // data longer than this is abbreviated

std::string hexBytes(const std::vector<uint8_t>& data) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < data.size() && i < kShownBytes; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02x" : "%02x", data[i]);
        text += byte;
    }
    if (data.size() > kShownBytes) text += " ... (" + std::to_string(data.size()) + " bytes)";
    return "[" + text + "]";
}

std::string printed(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string printed(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const char* xuQueryName(uint8_t query) {
    switch (static_cast<XuQuery>(query)) {
        case XuQuery::SetCur: return "SET_CUR";
        case XuQuery::GetCur: return "GET_CUR";
        case XuQuery::GetLen: return "GET_LEN";
    }
    return "?";
}

}  // namespace

const char* recordKindName(RecordKind kind) {
    switch (kind) {
        case RecordKind::UsbList: return "list";
        case RecordKind::UsbOpen: return "open";
        case RecordKind::UsbClose: return "close";
        case RecordKind::UsbControl: return "control";
        case RecordKind::VideoList: return "list";
        case RecordKind::VideoOpen: return "open";
        case RecordKind::VideoClose: return "close";
        case RecordKind::VideoGone: return "gone?";
        case RecordKind::VideoFindUnit: return "find-unit";
        case RecordKind::VideoXuQuery: return "xu";
        case RecordKind::VideoQueryControl: return "query-control";
        case RecordKind::VideoGetControl: return "get-control";
        case RecordKind::VideoSetControl: return "set-control";
        case RecordKind::HotplugOpen: return "open";
        case RecordKind::HotplugEvents: return "events";
        case RecordKind::ClockReading: return "clock";
        case RecordKind::End: return "end";
    }
    return "unknown";
}

const char* recordChannel(RecordKind kind) {
    const auto code = static_cast<uint8_t>(kind);
    if (code < static_cast<uint8_t>(RecordKind::VideoList)) return "usb";
    if (code < static_cast<uint8_t>(RecordKind::HotplugOpen)) return "uvc";
    if (code < static_cast<uint8_t>(RecordKind::ClockReading)) return "hotplug";
    return "library";
}

bool carriesDataOut(const ExchangeRecord& record) {
    if (record.kind == RecordKind::UsbControl) return (record.requestType & kDirectionIn) == 0;
    if (record.kind == RecordKind::VideoXuQuery) return record.query == static_cast<uint8_t>(XuQuery::SetCur);
    return record.kind == RecordKind::VideoFindUnit;
}

bool sameRequest(const ExchangeRecord& recorded, const ExchangeRecord& sent) {
    if (recorded.kind != sent.kind) return false;
    if (carriesDataOut(recorded) && recorded.data != sent.data) return false;
    switch (recorded.kind) {
        case RecordKind::UsbOpen:
        case RecordKind::VideoOpen:
            return recorded.path == sent.path;
        case RecordKind::UsbControl:
            return recorded.requestType == sent.requestType && recorded.request == sent.request &&
                   recorded.value == sent.value && recorded.index == sent.index && recorded.length == sent.length &&
                   recorded.timeoutMs == sent.timeoutMs;
        case RecordKind::VideoXuQuery:
            return recorded.unitId == sent.unitId && recorded.selector == sent.selector &&
                   recorded.query == sent.query && recorded.length == sent.length;
        case RecordKind::VideoQueryControl:
        case RecordKind::VideoGetControl:
            return recorded.controlId == sent.controlId;
        case RecordKind::VideoSetControl:
            return recorded.controlId == sent.controlId && recorded.controlValue == sent.controlValue;
        default:
            return true;
    }
}

std::string describeRequest(const ExchangeRecord& r) {
    std::string text = std::string(recordChannel(r.kind)) + " " + recordKindName(r.kind);
    switch (r.kind) {
        case RecordKind::UsbOpen:
        case RecordKind::VideoOpen:
            text += " " + r.path;
            break;
        case RecordKind::UsbControl:
            text += printed(" type %02x request %02x value 0x%04x index 0x%04x length %u", r.requestType, r.request, r.value,
                            r.index, r.length);
            break;
        case RecordKind::VideoXuQuery:
            text += printed(" unit %u selector %u %s size %u", r.unitId, r.selector, xuQueryName(r.query), r.length);
            break;
        case RecordKind::VideoQueryControl:
        case RecordKind::VideoGetControl:
            text += printed(" %d", r.controlId);
            break;
        case RecordKind::VideoSetControl:
            text += printed(" %d value %d", r.controlId, r.controlValue);
            break;
        default:
            break;
    }
    if (carriesDataOut(r)) text += " " + hexBytes(r.data);
    return text;
}

std::string describeAnswer(const ExchangeRecord& r) {
    switch (r.kind) {
        case RecordKind::UsbList:
            return printed("-> %d, %zu devices", r.result, r.usbDevices.size());
        case RecordKind::VideoList:
            return printed("-> %d, %zu sources", r.result, r.videoSources.size());
        case RecordKind::UsbOpen:
        case RecordKind::VideoOpen:
            return r.result == 0 ? printed("-> #%u", r.id) : printed("-> %d", r.result);
        case RecordKind::UsbClose:
        case RecordKind::VideoClose:
            return printed("#%u", r.id);
        case RecordKind::VideoGone:
            return printed("#%u -> %s", r.id, r.flag ? "gone" : "present");
        case RecordKind::VideoFindUnit:
            return printed("#%u -> %d, unit %u", r.id, r.result, r.unitId);
        case RecordKind::VideoQueryControl:
            return printed("#%u -> %d, %d..%d step %d default %d", r.id, r.result, r.range.minimum, r.range.maximum,
                           r.range.step, r.range.defaultValue);
        case RecordKind::VideoGetControl:
            return printed("#%u -> %d, value %d", r.id, r.result, r.controlValue);
        case RecordKind::HotplugOpen:
            return printed("#%u -> %s", r.id, r.result == 0 ? r.text.c_str() : ("none: " + r.text).c_str());
        case RecordKind::ClockReading:
            return printed("%llu.%06llu ms, after exchange -%u", static_cast<unsigned long long>(r.clockNanos / 1000000),
                           static_cast<unsigned long long>(r.clockNanos % 1000000), r.previous);
        case RecordKind::HotplugEvents: {
            std::string text = printed("#%u", r.id);
            for (const auto& event : r.events)
                text += std::string(event.kind == HotplugEvent::Kind::Arrival ? " +" : " -") + event.devicePath;
            return text;
        }
        default:
            break;
    }
    std::string text = printed("#%u -> %d", r.id, r.result);
    if (!carriesDataOut(r) && !r.data.empty()) text += " " + hexBytes(r.data);
    return text;
}

}  // namespace veltrion::recording
