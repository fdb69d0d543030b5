#pragma once

// One exchange between a program and the operating system's device stack, as
// a recording stores it (docs/recording-format.md). The ports of the three
// channels (vendor USB, UVC, hot-plug) each produce their own kinds.

#include <cstdint>
#include <string>
#include <vector>

#include "device/hotplug/HotplugPort.h"
#include "device/usb/UsbPort.h"
#include "device/uvc/VideoPort.h"

namespace veltrion::recording {

enum class RecordKind : uint8_t {
    UsbList = 0x01,
    UsbOpen = 0x02,
    UsbClose = 0x03,
    UsbControl = 0x04,
    VideoList = 0x10,
    VideoOpen = 0x11,
    VideoClose = 0x12,
    VideoGone = 0x13,
    VideoFindUnit = 0x14,
    VideoXuQuery = 0x15,
    VideoQueryControl = 0x16,
    VideoGetControl = 0x17,
    VideoSetControl = 0x18,
    HotplugOpen = 0x20,
    HotplugEvents = 0x21,
    // Not an exchange: the library read its wait clock (see WaitClock).
    ClockReading = 0x30,
    End = 0x7F,
};

const char* recordKindName(RecordKind kind);
// Which channel a kind belongs to: "usb", "uvc" or "hotplug".
const char* recordChannel(RecordKind kind);

// The fields a kind does not use stay at their defaults.
struct ExchangeRecord {
    RecordKind kind = RecordKind::End;
    uint64_t timeMicros = 0;  // when the exchange ended, since the recording started
    uint32_t id = 0;          // the opened handle, capture source or hot-plug port it belongs to
    std::string path;         // the device path or capture link an open names
    int32_t result = 0;

    // Vendor control transfer.
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    uint32_t timeoutMs = 0;

    // UVC channel.
    uint8_t unitId = 0;
    uint8_t selector = 0;
    uint8_t query = 0;
    int32_t controlId = 0;
    int32_t controlValue = 0;
    VideoControlRange range;
    bool flag = false;  // isGone's answer; the hot-plug port's readiness descriptor

    // Data sent (OUT transfer, SET_CUR) or received (IN transfer, GET_*), the
    // GUID a unit lookup names.
    std::vector<uint8_t> data;

    std::vector<UsbDeviceEntry> usbDevices;
    std::vector<VideoSourceEntry> videoSources;
    std::vector<HotplugEvent> events;
    std::string text;  // hot-plug source name, or why no port could be set up

    // Clock reading: the reading, and the exchange of the same thread it
    // followed, counted back from this record.
    uint64_t clockNanos = 0;
    uint32_t previous = 0;
};

// The request half of an exchange is what the program chose; the answer half
// is what the device stack gave. True for data the program sent.
bool carriesDataOut(const ExchangeRecord& record);

}  // namespace veltrion::recording

namespace veltrion::recording {

// True when the program asked the same thing (the request half: kind, what
// it names, its parameters and the data it sent).
bool sameRequest(const ExchangeRecord& recorded, const ExchangeRecord& sent);
// "usb control c0 d7 value 0x0000 index 0x0001 length 1", for messages and listings.
std::string describeRequest(const ExchangeRecord& record);
// "-> 1 [01]": the result and, abbreviated, what came back.
std::string describeAnswer(const ExchangeRecord& record);

}  // namespace veltrion::recording
