#include "UsbmonCapture.h"

#include <pcap/pcap.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "device/usb/UsbPort.h"

namespace camsim {

namespace {

using veltrion::recording::ExchangeRecord;
using veltrion::recording::Recording;
using veltrion::recording::RecordKind;

// The link type with the 64-byte header (DLT_USB_LINUX_MMAPPED): it has room
// for the transfer flags, which tell the dissector the direction.
constexpr int kLinkType = 220;
constexpr size_t kHeaderSize = 64;
constexpr int kSnapLength = static_cast<int>(kHeaderSize) + 0x10000;
constexpr uint8_t kTransferControl = 2;
constexpr uint8_t kEndpointIn = 0x80;  // endpoint 0, device to host
constexpr uint8_t kRequestTypeIn = 0x80;
constexpr uint32_t kUrbDirectionIn = 0x0200;
constexpr char kSetupPresent = 0;
constexpr char kNoSetup = '-';
constexpr char kDataPresent = 0;
constexpr char kNoDataInSubmit = '<';
constexpr char kNoDataInComplete = '>';
constexpr uint8_t kMaxDeviceNumber = 127;

struct PcapClose {
    void operator()(pcap_t* pcap) const { pcap_close(pcap); }
};
struct DumperClose {
    void operator()(pcap_dumper_t* dumper) const { pcap_dump_close(dumper); }
};

struct DeviceAddress {
    uint16_t bus = 1;
    uint8_t device = 1;
};

// Bus and device numbers of the opened paths: "/dev/bus/usb/BBB/DDD" gives
// both; a libusb port path ("usb:B-P.P:...") gives the bus; a path without a
// device number gets 1, 2, ... in the order the paths were first opened.
class DeviceNumbers {
public:
    DeviceAddress of(const std::string& path) {
        if (const auto found = known_.find(path); found != known_.end()) return found->second;
        DeviceAddress address;
        address.device = next_;
        next_ = next_ == kMaxDeviceNumber ? 1 : static_cast<uint8_t>(next_ + 1);
        unsigned bus = 0, device = 0;
        const size_t node = path.find(kDeviceNodes);
        if (node != std::string::npos &&
            std::sscanf(path.c_str() + node + std::strlen(kDeviceNodes), "%u/%u", &bus, &device) == 2 &&
            bus <= UINT16_MAX && device >= 1 && device <= kMaxDeviceNumber) {
            address = {static_cast<uint16_t>(bus), static_cast<uint8_t>(device)};
        } else if (std::sscanf(path.c_str(), "usb:%u-", &bus) == 1 && bus <= UINT16_MAX) {
            address.bus = static_cast<uint16_t>(bus);
        }
        return known_[path] = address;
    }

private:
    static constexpr const char* kDeviceNodes = "/dev/bus/usb/";
    std::map<std::string, DeviceAddress> known_;
    uint8_t next_ = 1;
};

// The status a completed URB carries for a port result.
int32_t urbStatus(int32_t result) {
    using namespace veltrion;
    if (result >= 0) return 0;
    switch (result) {
        case kUsbErrorIo: return -EIO;
        case kUsbErrorInvalidParam: return -EINVAL;
        case kUsbErrorAccess: return -EACCES;
        case kUsbErrorNoDevice: return -ENODEV;
        case kUsbErrorNotFound: return -ENOENT;
        case kUsbErrorBusy: return -EBUSY;
        case kUsbErrorTimeout: return -ETIMEDOUT;
        case kUsbErrorOverflow: return -EOVERFLOW;
        case kUsbErrorPipe: return -EPIPE;
        case kUsbErrorInterrupted: return -EINTR;
        case kUsbErrorNoMem: return -ENOMEM;
        case kUsbErrorNotSupported: return -ENOSYS;
        default: return -EPROTO;
    }
}

struct UsbmonEvent {
    uint64_t id = 0;
    char type = 'S';
    bool in = false;
    DeviceAddress address;
    bool hasSetup = false;
    std::array<uint8_t, 8> setup{};
    int32_t status = 0;
    uint32_t urbLength = 0;
    char noDataFlag = kDataPresent;
    std::span<const uint8_t> data;
    uint64_t unixMicros = 0;
};

// The header is in the capturing host's byte order, as usbmon gives it
// (readers swap it with the file's byte order); the setup packet is in USB
// order, little-endian.
template <typename T>
void put(std::vector<uint8_t>& packet, size_t offset, T value) {
    std::memcpy(packet.data() + offset, &value, sizeof value);
}

std::vector<uint8_t> encodeEvent(const UsbmonEvent& event) {
    std::vector<uint8_t> packet(kHeaderSize + event.data.size(), 0);
    put<uint64_t>(packet, 0, event.id);
    put<char>(packet, 8, event.type);
    put<uint8_t>(packet, 9, kTransferControl);
    put<uint8_t>(packet, 10, event.in ? kEndpointIn : 0);
    put<uint8_t>(packet, 11, event.address.device);
    put<uint16_t>(packet, 12, event.address.bus);
    put<char>(packet, 14, event.hasSetup ? kSetupPresent : kNoSetup);
    put<char>(packet, 15, event.data.empty() ? event.noDataFlag : kDataPresent);
    put<int64_t>(packet, 16, static_cast<int64_t>(event.unixMicros / 1000000));
    put<int32_t>(packet, 24, static_cast<int32_t>(event.unixMicros % 1000000));
    put<int32_t>(packet, 28, event.status);
    put<uint32_t>(packet, 32, event.urbLength);
    put<uint32_t>(packet, 36, static_cast<uint32_t>(event.data.size()));
    if (event.hasSetup) std::memcpy(packet.data() + 40, event.setup.data(), event.setup.size());
    // interval (48), start frame (52) and descriptor count (60) stay 0.
    put<uint32_t>(packet, 56, event.in ? kUrbDirectionIn : 0);
    if (!event.data.empty()) std::memcpy(packet.data() + kHeaderSize, event.data.data(), event.data.size());
    return packet;
}

std::array<uint8_t, 8> setupPacket(const ExchangeRecord& record) {
    return {record.requestType,
            record.request,
            static_cast<uint8_t>(record.value),
            static_cast<uint8_t>(record.value >> 8),
            static_cast<uint8_t>(record.index),
            static_cast<uint8_t>(record.index >> 8),
            static_cast<uint8_t>(record.length),
            static_cast<uint8_t>(record.length >> 8)};
}

// The submit (setup, and the data of an OUT transfer) and the complete
// (status, and the data of an IN transfer) of one transfer. The recording
// keeps when exchanges ended, so the submit carries the end of the exchange
// before it.
std::array<UsbmonEvent, 2> transferEvents(const ExchangeRecord& record, uint64_t id, DeviceAddress address,
                                          uint64_t submittedMicros, uint64_t completedMicros) {
    const bool in = (record.requestType & kRequestTypeIn) != 0;
    const std::span<const uint8_t> data(record.data);
    UsbmonEvent submit;
    submit.id = id;
    submit.type = 'S';
    submit.in = in;
    submit.address = address;
    submit.hasSetup = true;
    submit.setup = setupPacket(record);
    submit.status = -EINPROGRESS;
    submit.urbLength = record.length;
    submit.noDataFlag = kNoDataInSubmit;
    if (!in) submit.data = data;
    submit.unixMicros = submittedMicros;

    UsbmonEvent complete = submit;
    complete.type = 'C';
    complete.hasSetup = false;
    complete.setup = {};
    complete.status = urbStatus(record.result);
    complete.urbLength = record.result > 0 ? static_cast<uint32_t>(record.result) : 0;
    complete.noDataFlag = kNoDataInComplete;
    complete.data = in ? data : std::span<const uint8_t>();
    complete.unixMicros = completedMicros;
    return {submit, complete};
}

void dump(pcap_dumper_t* dumper, const UsbmonEvent& event) {
    const std::vector<uint8_t> packet = encodeEvent(event);
    pcap_pkthdr header{};
    header.ts.tv_sec = static_cast<time_t>(event.unixMicros / 1000000);
    header.ts.tv_usec = static_cast<suseconds_t>(event.unixMicros % 1000000);
    header.caplen = static_cast<bpf_u_int32>(packet.size());
    header.len = header.caplen;
    pcap_dump(reinterpret_cast<u_char*>(dumper), &header, packet.data());
}

}  // namespace

bool writeUsbmonCapture(const Recording& recording, const std::string& out, size_t& packets, std::string& error) {
    packets = 0;
    const std::unique_ptr<pcap_t, PcapClose> pcap(pcap_open_dead(kLinkType, kSnapLength));
    if (!pcap) {
        error = "cannot set up a capture of link type " + std::to_string(kLinkType);
        return false;
    }
    const std::unique_ptr<pcap_dumper_t, DumperClose> dumper(pcap_dump_open(pcap.get(), out.c_str()));
    if (!dumper) {
        error = "cannot create " + out + ": " + std::strerror(errno);
        return false;
    }
    std::map<uint32_t, std::string> pathOfHandle;
    DeviceNumbers numbers;
    const uint64_t startedMicros = recording.header.startedUnix * 1000000;
    uint64_t previousEnd = 0;
    uint64_t transfer = 0;
    for (const ExchangeRecord& record : recording.records) {
        if (record.kind == RecordKind::UsbOpen && record.id != 0) pathOfHandle[record.id] = record.path;
        if (record.kind == RecordKind::UsbControl) {
            const auto path = pathOfHandle.find(record.id);
            const DeviceAddress address = numbers.of(path == pathOfHandle.end() ? std::string() : path->second);
            for (const UsbmonEvent& event : transferEvents(record, ++transfer, address, startedMicros + previousEnd,
                                                           startedMicros + record.timeMicros)) {
                dump(dumper.get(), event);
                ++packets;
            }
        }
        if (record.kind != RecordKind::ClockReading) previousEnd = record.timeMicros;
    }
    if (pcap_dump_flush(dumper.get()) != 0) {
        error = "cannot write " + out;
        return false;
    }
    return true;
}

}  // namespace camsim
