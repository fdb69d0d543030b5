// veltrion-sim recording pcap: the vendor channel's control transfers of a
// recording as a usbmon capture, read back here with libpcap.

#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ConsoleHarness.h"
#include "RecordingSamples.h"

namespace {

using namespace veltrion::recording;
using namespace veltrion::recording::test;

constexpr int kUsbLinuxMmapped = 220;
constexpr size_t kUsbmonHeaderSize = 64;
constexpr uint64_t kStarted = 1'700'000'000;

// The usbmon header fields of one packet, and its data.
struct UsbmonPacket {
    uint64_t id = 0;
    char type = 0;
    uint8_t transferType = 0;
    uint8_t endpoint = 0;
    uint8_t device = 0;
    uint16_t bus = 0;
    char setupFlag = 0;
    int64_t seconds = 0;
    int32_t micros = 0;
    int32_t status = 0;
    uint32_t urbLength = 0;
    std::array<uint8_t, 8> setup{};
    std::vector<uint8_t> data;
};

struct Capture {
    int linkType = -1;
    std::vector<UsbmonPacket> packets;
};

template <typename T>
T field(const u_char* bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

Capture readCapture(const std::string& path) {
    char error[PCAP_ERRBUF_SIZE] = {};
    const std::unique_ptr<pcap_t, decltype(&pcap_close)> pcap(pcap_open_offline(path.c_str(), error), &pcap_close);
    Capture capture;
    if (!pcap) {
        ADD_FAILURE() << error;
        return capture;
    }
    capture.linkType = pcap_datalink(pcap.get());
    pcap_pkthdr* header = nullptr;
    const u_char* bytes = nullptr;
    while (pcap_next_ex(pcap.get(), &header, &bytes) == 1) {
        if (header->caplen < kUsbmonHeaderSize) {
            ADD_FAILURE() << "a packet of " << header->caplen << " bytes";
            continue;
        }
        UsbmonPacket packet;
        packet.id = field<uint64_t>(bytes, 0);
        packet.type = field<char>(bytes, 8);
        packet.transferType = field<uint8_t>(bytes, 9);
        packet.endpoint = field<uint8_t>(bytes, 10);
        packet.device = field<uint8_t>(bytes, 11);
        packet.bus = field<uint16_t>(bytes, 12);
        packet.setupFlag = field<char>(bytes, 14);
        packet.seconds = field<int64_t>(bytes, 16);
        packet.micros = field<int32_t>(bytes, 24);
        packet.status = field<int32_t>(bytes, 28);
        packet.urbLength = field<uint32_t>(bytes, 32);
        EXPECT_EQ(field<uint32_t>(bytes, 36), header->caplen - kUsbmonHeaderSize) << "captured data length";
        std::memcpy(packet.setup.data(), bytes + 40, packet.setup.size());
        packet.data.assign(bytes + kUsbmonHeaderSize, bytes + header->caplen);
        capture.packets.push_back(packet);
    }
    return capture;
}

ExchangeRecord transfer(uint32_t id, uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        std::vector<uint8_t> data, int32_t result, uint64_t micros) {
    ExchangeRecord r = usbIn(id, request, std::move(data), micros);
    r.requestType = requestType;
    r.value = value;
    r.index = index;
    r.result = result;
    return r;
}

class CaptureExport : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return bus.workDir() + "/" + name; }

    SimulatedBus bus;
};

TEST_F(CaptureExport, EachTransferIsASubmitAndACompleteWithItsSetupDataStatusAndTime) {
    Recording recording;
    recording.header.program = "VemtoK4UtilsExe";
    recording.header.startedUnix = kStarted;
    auto& r = recording.records;
    r.push_back(usbOpen("/dev/bus/usb/003/007", 1));
    const std::vector<uint8_t> page{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    r.push_back(transfer(1, 0xDF, 0xC3, 0x0008, 0x0100, page, 16, 2'500));
    r.push_back(transfer(1, 0x5F, 0xC2, 0x0009, 0x0200, {0xDE, 0xAD, 0xBE, 0xEF}, 4, 4'000));
    r.push_back(clockReading(1, 5'000'000));
    ExchangeRecord stalled = transfer(1, 0xDF, 0xC1, 0, 0, {}, veltrion::kUsbErrorPipe, 1'000'004'200);
    stalled.length = 1;
    r.push_back(stalled);
    r.push_back(usbOpen("usb:2-1.4:vid_3a7c&pid_0002:A1B2C3D4E5F6", 2));
    r.push_back(transfer(2, 0xDF, 0xDF, 0, 0, {1}, 1, 1'000'005'000));
    std::string error;
    ASSERT_TRUE(writeRecording(file("made.rec"), recording, error)) << error;

    const RunResult converted = bus.sim({"recording", "pcap", file("made.rec"), file("made.pcap")});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(converted.out, file("made.pcap") + ": 4 control transfers, 8 packets\n");
    const Capture capture = readCapture(file("made.pcap"));
    EXPECT_EQ(capture.linkType, kUsbLinuxMmapped);
    ASSERT_EQ(capture.packets.size(), 8u);
    std::set<uint64_t> ids;
    for (size_t i = 0; i < capture.packets.size(); i += 2) {
        const UsbmonPacket& submit = capture.packets[i];
        const UsbmonPacket& complete = capture.packets[i + 1];
        EXPECT_EQ(submit.type, 'S');
        EXPECT_EQ(complete.type, 'C');
        EXPECT_EQ(submit.id, complete.id);
        ids.insert(submit.id);
        EXPECT_EQ(submit.transferType, 2);
        EXPECT_EQ(submit.setupFlag, 0);
        EXPECT_EQ(complete.setupFlag, '-');
        EXPECT_EQ(submit.status, -EINPROGRESS);
        EXPECT_EQ(submit.endpoint, complete.endpoint);
    }
    EXPECT_EQ(ids.size(), 4u);

    // The IN read: setup on the submit, the data on the complete.
    const UsbmonPacket& readSubmit = capture.packets[0];
    const UsbmonPacket& readComplete = capture.packets[1];
    EXPECT_EQ(readSubmit.endpoint, 0x80);
    EXPECT_EQ(readSubmit.bus, 3);
    EXPECT_EQ(readSubmit.device, 7);
    EXPECT_EQ(readSubmit.setup, (std::array<uint8_t, 8>{0xDF, 0xC3, 0x08, 0x00, 0x00, 0x01, 0x10, 0x00}));
    EXPECT_EQ(readSubmit.urbLength, 16u);
    EXPECT_TRUE(readSubmit.data.empty());
    EXPECT_EQ(readComplete.status, 0);
    EXPECT_EQ(readComplete.urbLength, 16u);
    EXPECT_EQ(readComplete.data, page);
    EXPECT_EQ(readComplete.seconds, static_cast<int64_t>(kStarted));
    EXPECT_EQ(readComplete.micros, 2'500);

    // The OUT write: its data on the submit, none on the complete.
    const UsbmonPacket& writeSubmit = capture.packets[2];
    const UsbmonPacket& writeComplete = capture.packets[3];
    EXPECT_EQ(writeSubmit.endpoint, 0x00);
    EXPECT_EQ(writeSubmit.setup, (std::array<uint8_t, 8>{0x5F, 0xC2, 0x09, 0x00, 0x00, 0x02, 0x04, 0x00}));
    EXPECT_EQ(writeSubmit.data, (std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_TRUE(writeComplete.data.empty());
    EXPECT_EQ(writeComplete.urbLength, 4u);
    EXPECT_EQ(writeSubmit.micros, 2'500);  // submitted when the exchange before it ended
    EXPECT_EQ(writeComplete.micros, 4'000);

    // A stalled transfer completes with the kernel's status, later in time.
    EXPECT_EQ(capture.packets[5].status, -EPIPE);
    EXPECT_EQ(capture.packets[5].urbLength, 0u);
    EXPECT_EQ(capture.packets[5].seconds, static_cast<int64_t>(kStarted + 1'000));
    EXPECT_EQ(capture.packets[5].micros, 4'200);

    // A path with a bus but no device number.
    EXPECT_EQ(capture.packets[6].bus, 2);
    EXPECT_NE(capture.packets[6].device, 7);
}

TEST_F(CaptureExport, ARecordedRunConvertsWholeAndBadInputFailsWithOneLine) {
    ASSERT_EQ(bus.sim({"add", "cam0", "--serial", "A1B2C3D4E5F6"}).status, 0);
    const std::string recording = file("list.rec");
    ASSERT_EQ(bus.tool({"-d", "all", "--record", recording}).status, 0);
    Recording read;
    std::string error;
    ASSERT_TRUE(readRecording(recording, read, error)) << error;
    size_t transfers = 0;
    for (const auto& record : read.records) transfers += record.kind == RecordKind::UsbControl ? 1 : 0;
    ASSERT_GT(transfers, 3u);
    ASSERT_EQ(bus.sim({"recording", "pcap", recording, file("list.pcap")}).status, 0);
    const Capture capture = readCapture(file("list.pcap"));
    EXPECT_EQ(capture.packets.size(), 2 * transfers);

    const std::string bytes = readFile(recording);
    std::ofstream(file("cut.rec"), std::ios::binary) << bytes.substr(0, bytes.size() - 8);
    for (const auto& [input, output] :
         {std::pair{file("cut.rec"), file("cut.pcap")}, std::pair{file("missing.rec"), file("missing.pcap")},
          std::pair{recording, file("no/such/folder.pcap")}}) {
        SCOPED_TRACE(input + " -> " + output);
        const RunResult run = bus.sim({"recording", "pcap", input, output});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(splitLines(run.err).size(), 1u) << run.err;
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

}  // namespace
