// The recording file: every kind of exchange comes back as written, and a
// damaged, truncated or foreign file is refused with a reason, never read
// past its end.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "RecordingSamples.h"
#include "support/TempDir.h"

namespace veltrion::recording {
namespace {

using namespace test;

// One exchange of each kind, with values that need every byte of their fields.
Recording everyKind() {
    Recording recording;
    recording.header.program = "VemtoK4UtilsExe";
    recording.header.startedUnix = 1'800'000'000;
    auto& r = recording.records;
    ExchangeRecord list;
    list.kind = RecordKind::UsbList;
    list.usbDevices = {{"usb:1-1.4:vid_3a7c&pid_0003:A1B2C3D4E5F6", 0x3a7c, 0x0003}, {"usb:2-1:vid_04b4&pid_00f3:", 0x04b4, 0x00f3}};
    r.push_back(list);
    r.push_back(usbOpen("usb:1-1.4:vid_3a7c&pid_0003:A1B2C3D4E5F6", 300));
    r.push_back(usbIn(300, 0xC1, {0x01, 0x00}, 70'000'000'000ULL));
    ExchangeRecord out = usbIn(300, 0xC2, std::vector<uint8_t>(256, 0xA5));
    out.requestType = 0x5F;
    out.value = 0xFFFF;
    out.index = 0x8000;
    r.push_back(out);
    ExchangeRecord stall = usbIn(300, 0xFE, {});
    stall.length = 263;
    stall.result = kUsbErrorPipe;
    r.push_back(stall);
    r.push_back(clockReading(2, 123'456'789'012ULL));
    ExchangeRecord close;
    close.kind = RecordKind::UsbClose;
    close.id = 300;
    r.push_back(close);

    ExchangeRecord sources;
    sources.kind = RecordKind::VideoList;
    sources.videoSources = {{"v4l:1-1.4:vid_3a7c&pid_0003:A1B2C3D4E5F6", "Veltrion", "A1B2C3D4E5F6", true}};
    r.push_back(sources);
    ExchangeRecord open;
    open.kind = RecordKind::VideoOpen;
    open.path = sources.videoSources[0].symbolicLink;
    open.id = 301;
    r.push_back(open);
    ExchangeRecord unit;
    unit.kind = RecordKind::VideoFindUnit;
    unit.id = 301;
    unit.data.assign(kVeltrionExtensionUnitGuid.begin(), kVeltrionExtensionUnitGuid.end());
    unit.unitId = 4;
    r.push_back(unit);
    ExchangeRecord xu;
    xu.kind = RecordKind::VideoXuQuery;
    xu.id = 301;
    xu.unitId = 4;
    xu.selector = 16;
    xu.query = static_cast<uint8_t>(XuQuery::GetCur);
    xu.length = 7;
    xu.data = {1, 2, 3, 4, 5, 6, 7};
    r.push_back(xu);
    ExchangeRecord range;
    range.kind = RecordKind::VideoQueryControl;
    range.id = 301;
    range.controlId = static_cast<int32_t>(VideoControlId::Pan);
    range.range = {-648000, 648000, 3600, 0};
    r.push_back(range);
    ExchangeRecord set;
    set.kind = RecordKind::VideoSetControl;
    set.id = 301;
    set.controlValue = -7;
    set.result = -22;
    r.push_back(set);
    ExchangeRecord gone;
    gone.kind = RecordKind::VideoGone;
    gone.id = 301;
    gone.flag = true;
    r.push_back(gone);

    ExchangeRecord hotplug;
    hotplug.kind = RecordKind::HotplugOpen;
    hotplug.id = 302;
    hotplug.text = "udev";
    hotplug.flag = true;
    r.push_back(hotplug);
    ExchangeRecord events;
    events.kind = RecordKind::HotplugEvents;
    events.id = 302;
    events.events = {{HotplugEvent::Kind::Removal, "usb:1-1.4:vid_3a7c&pid_0003:A1B2C3D4E5F6", ""},
                     {HotplugEvent::Kind::Arrival, "simv:cam0:vid_3a7c&pid_0003:A1B2C3D4E5F6", "Veltrion"}};
    r.push_back(events);
    uint64_t micros = 0;
    for (auto& record : r) record.timeMicros = micros += 1500;  // time only moves on
    return recording;
}

std::string content(const Recording& recording) {
    std::string bytes;
    encodeHeader(recording.header, bytes);
    uint64_t previous = 0;
    for (const auto& record : recording.records) {
        encodeRecord(record, previous, bytes);
        previous = record.timeMicros;
    }
    ExchangeRecord end;
    end.kind = RecordKind::End;
    encodeRecord(end, previous, bytes);
    return bytes;
}

bool decode(const std::string& bytes, Recording& out, std::string& error) {
    return decodeRecording(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, error);
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RecordingFile, EveryKindComesBackAsWritten) {
    TempDir dir;
    const Recording written = everyKind();
    const std::string path = (dir.path() / "all.rec").string();
    std::string error;
    ASSERT_TRUE(writeRecording(path, written, error)) << error;
    Recording read;
    ASSERT_TRUE(readRecording(path, read, error)) << error;

    EXPECT_EQ(read.header.program, "VemtoK4UtilsExe");
    EXPECT_EQ(read.header.startedUnix, 1'800'000'000u);
    ASSERT_EQ(read.records.size(), written.records.size());
    // Re-encoding what was read gives the same bytes: no field is lost or moved.
    EXPECT_EQ(content(read), content(written));
    // And a few fields by name, where a mix-up would not show in the bytes.
    EXPECT_EQ(read.records[0].usbDevices[1].productId, 0x00f3);
    EXPECT_EQ(read.records[2].data, (std::vector<uint8_t>{0x01, 0x00}));
    EXPECT_EQ(read.records[3].value, 0xFFFF);
    EXPECT_EQ(read.records[3].index, 0x8000);
    EXPECT_EQ(read.records[4].result, kUsbErrorPipe);
    EXPECT_EQ(read.records[5].clockNanos, 123'456'789'012ULL);
    EXPECT_EQ(read.records[11].range.minimum, -648000);
    EXPECT_EQ(read.records[12].controlValue, -7);
    EXPECT_EQ(read.records[15].events[1].friendlyName, "Veltrion");
    EXPECT_EQ(read.records[15].events[0].kind, HotplugEvent::Kind::Removal);
    EXPECT_EQ(read.records.back().timeMicros, written.records.back().timeMicros);
}

TEST(RecordingFile, EveryCutOfTheContentIsRefusedWithAReason) {
    const std::string bytes = content(everyKind());
    for (size_t size = 0; size < bytes.size(); ++size) {
        Recording read;
        std::string error;
        EXPECT_FALSE(decode(bytes.substr(0, size), read, error)) << size;
        EXPECT_FALSE(error.empty()) << size;
    }
    Recording read;
    std::string error;
    EXPECT_FALSE(decode(bytes + '\x01', read, error));
    EXPECT_NE(error.find("after the end mark"), std::string::npos) << error;
}

TEST(RecordingFile, ACutOrChangedFileIsRefusedAndItsReadablePartKept) {
    TempDir dir;
    const std::string path = (dir.path() / "all.rec").string();
    std::string error;
    ASSERT_TRUE(writeRecording(path, everyKind(), error));
    const std::string bytes = fileBytes(path);
    for (size_t size = 0; size < bytes.size(); size += 7) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, size);
        Recording read;
        EXPECT_FALSE(readRecording(path, read, error)) << size;
    }
    std::string changed = bytes;
    changed[bytes.size() - 6] ^= 0x01;  // the stream's check sum
    std::ofstream(path, std::ios::binary | std::ios::trunc) << changed;
    Recording read;
    EXPECT_FALSE(readRecording(path, read, error));
}

TEST(RecordingFile, AnotherVersionOrKindIsNotGuessedAt) {
    std::string later = content(everyKind());
    const size_t versionAt = sizeof kMagic - 1;
    ASSERT_EQ(later[versionAt], 2);
    later[versionAt] = 3;
    Recording read;
    std::string error;
    EXPECT_FALSE(decode(later, read, error));
    EXPECT_EQ(error, "format version 3 is not supported (this program reads 1 to 2)");

    std::string bytes = content(everyKind());
    std::string header;
    encodeHeader(everyKind().header, header);
    bytes[header.size()] = 0x55;  // the first exchange's kind
    EXPECT_FALSE(decode(bytes, read, error));
    EXPECT_NE(error.find("unknown exchange kind 85"), std::string::npos) << error;
}

TEST(RecordingFile, AVersionOneRecordingIsStillRead) {
    // Version 1 stored a clock reading as it was, not as its distance from
    // its record's time: an open at 2 ms, then a reading of 5 ms.
    const std::vector<uint8_t> v1Bytes = {
        'V', 'E', 'L', 'T', 'R', 'E', 'C', 1, 1, 'p', 0,  // header: version 1, program "p", start 0
        0x02, 0xD0, 0x0F, 1, 'u', 0, 1,                   // usb open at 2000 us
        0x30, 0, 1, 0xC0, 0x96, 0xB1, 0x02,               // its clock reading, 5,000,000 ns
        0x7F, 0};
    const std::string v1(v1Bytes.begin(), v1Bytes.end());
    Recording read;
    std::string error;
    ASSERT_TRUE(decode(v1, read, error)) << error;
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.header.version, 1u);
    EXPECT_EQ(read.records[1].clockNanos, 5'000'000u);
    // Written again, it is the current version and reads back the same.
    Recording again;
    ASSERT_TRUE(decode(content(read), again, error)) << error;
    EXPECT_EQ(again.header.version, kFormatVersion);
    EXPECT_EQ(again.records[1].clockNanos, 5'000'000u);
}

TEST(RecordingFile, DataOrACountTheRecordCannotHoldIsRefused) {
    Recording read;
    std::string error;
    // More data than the exchange's length field allows, on both channels.
    for (const RecordKind kind : {RecordKind::UsbControl, RecordKind::VideoXuQuery}) {
        Recording recording;
        recording.records.push_back(usbOpen("usb:1-1", 1));
        ExchangeRecord longer = usbIn(1, 0xC1, {0x01, 0x00});
        longer.kind = kind;
        longer.length = 1;
        recording.records.push_back(longer);
        EXPECT_FALSE(decode(content(recording), read, error)) << recordKindName(kind);
        EXPECT_NE(error.find("at exchange 2"), std::string::npos) << error;
    }

    // A device list claiming more entries than the bytes left could hold: refused
    // before room is made for them.
    Recording recording;
    ExchangeRecord list;
    list.kind = RecordKind::UsbList;
    list.usbDevices = {{"usb:1-1", 0x3a7c, 0x0003}};
    recording.records.push_back(list);
    std::string bytes = content(recording);
    std::string header;
    encodeHeader(recording.header, header);
    const size_t countAt = header.size() + 3;  // after the kind, the time and the result
    ASSERT_EQ(bytes[countAt], 1);
    bytes.replace(countAt, 1, "\xFF\xFF\xFF\xFF\x0F");  // 2^32 - 1 entries
    EXPECT_FALSE(decode(bytes, read, error));
    EXPECT_NE(error.find("at exchange 1"), std::string::npos) << error;
}

TEST(RecordingFile, AnUnfinishedRecordingIsReadableUpToItsLastFlush) {
    TempDir dir;
    const std::string path = (dir.path() / "running.rec").string();
    RecordingWriter writer;
    std::string error;
    ASSERT_TRUE(writer.open(path, {}, error)) << error;
    writer.append(usbOpen("sim:cam0:vid_3a7c&pid_0003:A1B2C3D4E5F6", 1));
    writer.flush();
    // The program dies here: no end mark, no gzip trailer.
    const std::string bytes = fileBytes(path);
    std::vector<uint8_t> inflated;
    EXPECT_FALSE(inflateRecording(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), inflated, error));
    Recording read;
    EXPECT_FALSE(readRecording(path, read, error));
    EXPECT_EQ(error, "truncated (the compressed stream ends early), 1 exchanges readable");
    EXPECT_EQ(read.records.size(), 1u);
    EXPECT_TRUE(writer.close());
}

}  // namespace
}  // namespace veltrion::recording
