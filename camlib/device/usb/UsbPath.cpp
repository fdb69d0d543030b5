#include <cstdio>
#include <string_view>

#include "UsbPort.h"

namespace veltrion {

std::string usbPathTail(uint16_t vendorId, uint16_t productId, const std::string& serial) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x:", vendorId, productId);
    return ids + serial;
}

std::string serialOfUsbPath(const std::string& path) {
    constexpr std::string_view kIdsTag = ":vid_";
    constexpr size_t kIdsLength = sizeof "vid_vvvv&pid_pppp" - 1;
    const size_t ids = path.find(kIdsTag);
    if (ids == std::string::npos) return {};
    const size_t colon = ids + 1 + kIdsLength;
    if (colon >= path.size() || path[colon] != ':') return {};
    return path.substr(colon + 1);
}

const char* usbErrorName(int code) {
    switch (code) {
        case kUsbErrorIo: return "input/output error";
        case kUsbErrorInvalidParam: return "invalid parameter";
        case kUsbErrorAccess: return "access denied";
        case kUsbErrorNoDevice: return "no such device";
        case kUsbErrorNotFound: return "entity not found";
        case kUsbErrorBusy: return "resource busy";
        case kUsbErrorTimeout: return "timed out";
        case kUsbErrorOverflow: return "overflow";
        case kUsbErrorPipe: return "pipe error (stall)";
        case kUsbErrorInterrupted: return "interrupted";
        case kUsbErrorNoMem: return "out of memory";
        case kUsbErrorNotSupported: return "not supported";
        case kUsbErrorOtherSerial: return "another device at the port";
        default: return "other error";
    }
}

}  // namespace veltrion
