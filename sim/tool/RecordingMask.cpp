#include "RecordingMask.h"

#include <map>

#include "SerialMap.h"
#include "UnitDataMask.h"
#include "VendorTransfers.h"
#include "config/ConfigBlockLayout.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"

namespace camsim {

namespace {

namespace cb = veltrion::configblock;
namespace vreq = veltrion::vreq;
using veltrion::recording::ExchangeRecord;
using veltrion::recording::Recording;

constexpr size_t kSerialIndexOffset = 16;  // iSerialNumber in the device descriptor
constexpr size_t kStringHeaderSize = 2;

// The places the library reads a serial number from a camera, whatever its
// length: the serial-number string descriptor and the configuration block's
// serial field.
class SerialReads {
public:
    // Calls use with the serial text and where it lies (ASCII, or UTF-16LE).
    template <typename Use>
    void find(VendorTransfer& transfer, Use use) {
        if (transfer.requestType == vreq::kStdTypeIn && transfer.request == vreq::kStdGetDescriptor) {
            const uint8_t type = static_cast<uint8_t>(transfer.value >> 8);
            const uint8_t index = static_cast<uint8_t>(transfer.value);
            if (type == vreq::kDescriptorDevice && transfer.data.size() > kSerialIndexOffset)
                serialIndex_[transfer.camera] = transfer.data[kSerialIndexOffset];
            const auto known = serialIndex_.find(transfer.camera);
            if (type == vreq::kDescriptorString && index != 0 && known != serialIndex_.end() &&
                known->second == index && transfer.data.size() > kStringHeaderSize)
                use(transfer.data.subspan(kStringHeaderSize), true);
            return;
        }
        if (transfer.request != vreq::kFlashRead && transfer.request != vreq::kFlashProgram) return;
        const uint32_t field = cb::kMainPageAddress + cb::kSerialOffset;
        const uint32_t address = transfer.flashAddress();
        if (address > field || address + transfer.data.size() < field + cb::kSerialSize) return;
        std::span<uint8_t> bytes = transfer.data.subspan(field - address, cb::kSerialSize);
        size_t length = 0;
        while (length < bytes.size() && bytes[length] != 0 && bytes[length] != 0xFF) ++length;
        use(bytes.first(length), false);
    }

private:
    std::map<std::string, uint8_t> serialIndex_;
};

std::string textOf(std::span<const uint8_t> bytes, bool wide) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += wide ? 2 : 1) text.push_back(static_cast<char>(bytes[i]));
    return text;
}

void writeText(std::span<uint8_t> bytes, bool wide, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (!wide) {
            bytes[i] = static_cast<uint8_t>(text[i]);
            continue;
        }
        bytes[2 * i] = static_cast<uint8_t>(text[i]);
        if (2 * i + 1 < bytes.size()) bytes[2 * i + 1] = 0;
    }
}

void learnFromLists(const ExchangeRecord& record, SerialMap& serials) {
    for (const auto& device : record.usbDevices) serials.learn(veltrion::serialOfUsbPath(device.path));
    for (const auto& source : record.videoSources) {
        serials.learn(source.serial);
        serials.learn(veltrion::serialOfUsbPath(source.symbolicLink));
    }
    for (const auto& event : record.events) serials.learn(veltrion::serialOfUsbPath(event.devicePath));
    serials.learn(veltrion::serialOfUsbPath(record.path));
}

void maskTexts(ExchangeRecord& record, const SerialMap& serials) {
    record.path = serials.maskText(record.path);
    record.text = serials.maskText(record.text);
    for (auto& device : record.usbDevices) device.path = serials.maskText(device.path);
    for (auto& source : record.videoSources) {
        source.symbolicLink = serials.maskText(source.symbolicLink);
        source.friendlyName = serials.maskText(source.friendlyName);
        source.serial = serials.replacementOf(source.serial).value_or(serials.maskText(source.serial));
    }
    for (auto& event : record.events) {
        event.devicePath = serials.maskText(event.devicePath);
        event.friendlyName = serials.maskText(event.friendlyName);
    }
}

}  // namespace

MaskSummary maskRecording(Recording& recording) {
    SerialMap serials;
    {
        SerialReads reads;
        for (const ExchangeRecord& record : recording.records) learnFromLists(record, serials);
        forEachVendorTransfer(recording, [&](VendorTransfer& transfer) {
            reads.find(transfer, [&](std::span<uint8_t> bytes, bool wide) { serials.learn(textOf(bytes, wide)); });
        });
    }
    serials.assignReplacements();

    // Unit data first: it compares what was read with what is written, so
    // it must see the bytes as recorded.
    UnitDataMask unitData;
    SerialReads reads;
    forEachVendorTransfer(recording, [&](VendorTransfer& transfer) {
        unitData.apply(transfer);
        reads.find(transfer, [&](std::span<uint8_t> bytes, bool wide) {
            if (const auto replacement = serials.replacementOf(textOf(bytes, wide)))
                writeText(bytes, wide, *replacement);
        });
    });
    for (ExchangeRecord& record : recording.records) {
        maskTexts(record, serials);
        serials.maskBytes(record.data);
    }
    return {serials.size()};
}

}  // namespace camsim
