// The console tool's configuration, calibration, EEPROM and feature actions
// on simulated cameras: -s, --read-calib, --write-calib, -m, -g and -j, and
// the feature defaults written after an update.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;  // exit status -1 as the shell sees it
const std::string kChannelLine = "Using channel: Veltrion-C";
const std::string kSerial = "A1B2C3D4E5F6";

class ConfigActions : public ::testing::Test {
protected:
    void SetUp() override {
        // The tool inherits this: block backups land in the test's folder.
        ::setenv("XDG_STATE_HOME", (bus.workDir() + "/state").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_STATE_HOME"); }

    void add(const std::string& name, const std::string& pid, const std::string& serial) {
        ASSERT_EQ(bus.sim({"add", name, "--pid", pid, "--serial", serial}).status, 0);
    }
    std::string writeArgFile(const std::string& text) {
        const std::string path = bus.workDir() + "/calib.txt";
        std::ofstream(path) << text;
        return path;
    }
    size_t backupCount() const {
        size_t count = 0;
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(bus.workDir() + "/state/veltrion/config-backups", error)) {
            (void)entry;
            ++count;
        }
        return count;
    }
    // Component files of the group from make-firmware, with the feature JSON
    // replaced by the given text, built into an image with -c.
    std::string buildImage(const std::string& fx3Version, const std::string& json) {
        const std::string dir = bus.workDir() + "/firmware";
        const RunResult made = bus.sim({"make-firmware", "--group", "V3G", "--fx3", fx3Version, "--out", dir});
        EXPECT_EQ(made.status, 0) << made.out << made.err;
        std::ofstream(dir + "/features.json", std::ios::trunc) << json;
        std::vector<std::string> create{"-c"};
        const auto lines = splitLines(made.out);
        std::istringstream words(lines.empty() ? "" : lines.back());
        for (std::string word; words >> word;) create.push_back(word);
        const std::string image = bus.workDir() + "/camera.img";
        create.push_back(image);
        const RunResult created = bus.tool(create);
        EXPECT_EQ(created.status, 0) << created.out;
        return image;
    }

    SimulatedBus bus;
};

std::string sampleJson(const std::string& group) {
    return readFile(std::string(VELTRION_SOURCE_DIR) + "/sim/data/features-" + group + ".json");
}

TEST_F(ConfigActions, ConfigBlockOfEveryCameraWithItsSecondPage) {
    add("cam0", "0003", kSerial);
    add("cam1", "c002", "0123456789AB");
    const RunResult r = bus.tool({"-s", "all"});
    EXPECT_EQ(r.status, 0) << r.out;
    const auto lines = splitLines(r.out);
    // Channel line, then per camera: "Device n found:", 34 field lines, 30
    // second-page lines; one empty line between the cameras.
    ASSERT_EQ(lines.size(), 1u + 2 * (1 + 34 + 30) + 1) << r.out;
    EXPECT_EQ(lines[0], kChannelLine);
    EXPECT_EQ(lines[1], "Device 0 found:");
    EXPECT_EQ(lines[2], "FPGA LEN \t\t= 1048576\r");
    EXPECT_EQ(lines[5], "serial number \t\t= " + kSerial + "\r");
    EXPECT_EQ(lines[30], "overlapx 0 \t\t= -1\r");  // no calibration on a V3 camera
    EXPECT_EQ(lines[36], "0x81000: 1");
    EXPECT_EQ(lines[65], "0x8101d: ff");
    EXPECT_EQ(lines[66], "");
    EXPECT_EQ(lines[67], "Device 1 found:");
    EXPECT_EQ(lines[71], "serial number \t\t= 0123456789AB\r");
    EXPECT_NE(lines[96], "overlapx 0 \t\t= -1\r");  // a V2s camera carries its calibration
}

TEST_F(ConfigActions, WrittenCalibrationReadsBack) {
    add("cam0", "c002", kSerial);
    const RunResult before = bus.tool({"--read-calib", "0"});
    ASSERT_EQ(before.status, 0) << before.out;
    const auto old = splitLines(before.out);
    ASSERT_EQ(old.size(), 17u);

    const std::string file = writeArgFile(
        "# lens data of unit A1B2\n"
        "// measured on the bench\n"
        "focal length 1: 1201.5\n"
        "k1 2:-0.125\n"
        "overlapx 0: 77\n"
        "overlapy 1: 0\n"
        "cylinderR 0: 1222.25\n"
        "lens: unused\n");
    const RunResult write = bus.tool({"--write-calib", "0", file});
    EXPECT_EQ(write.status, 0) << write.out;
    EXPECT_TRUE(write.says("Veltrion2CamMgr::prepareConfigBlockBuffer: the existing config block data:\n"));
    EXPECT_EQ(backupCount(), 1u);

    const RunResult after = bus.tool({"--read-calib", "0"});
    ASSERT_EQ(after.status, 0) << after.out;
    auto expected = old;
    expected[3] = "focal length 1: 1201.500";
    expected[7] = "k1 2: -0.125";
    expected[11] = "overlapx 0: 77";
    expected[14] = "overlapy 1: 0";
    expected[15] = "cylinderR 0: 1222.250";
    EXPECT_EQ(splitLines(after.out), expected);

    // A failed read of the existing values is retried; one that keeps failing
    // writes nothing (no zeros over the values the file does not name).
    ASSERT_EQ(bus.sim({"fault", "cam0", "fail-next", "fe:1"}).status, 0);
    const RunResult retried = bus.tool({"--write-calib", "0", writeArgFile("overlapx 0: 78\n")});
    EXPECT_EQ(retried.status, 0) << retried.out;
    expected[11] = "overlapx 0: 78";
    EXPECT_EQ(splitLines(bus.tool({"--read-calib", "0"}).out), expected);
    const std::string flash = readFile(bus.busDir() + "/cam0/flash.bin");
    ASSERT_EQ(bus.sim({"fault", "cam0", "fail-next", "fe:3"}).status, 0);
    const RunResult unread = bus.tool({"--write-calib", "0", writeArgFile("overlapx 0: 79\n")});
    EXPECT_EQ(unread.status, kFailure) << unread.out;
    EXPECT_TRUE(unread.says("unable to read the existing calib params of cam 0, nothing written\n")) << unread.out;
    EXPECT_TRUE(readFile(bus.busDir() + "/cam0/flash.bin") == flash);
}

// A single camera without parameters fails quietly; "all" names the cameras
// it skips and still shows the others.
TEST_F(ConfigActions, CalibrationNeverWrittenIsAFailure) {
    add("cam0", "0003", kSerial);
    add("cam1", "0003", "0123456789AB");
    ASSERT_EQ(bus.tool({"--write-calib", "1", writeArgFile("hfov 0: 70.5\n")}).status, 0);
    RunResult r = bus.tool({"--read-calib", "0"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_EQ(r.out, kChannelLine + "\n");
    r = bus.tool({"--read-calib", "all"});
    EXPECT_EQ(r.status, kFailure);
    const auto lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 18u) << r.out;
    EXPECT_EQ(lines[1], "V2s Cam 0 has no readable calibration parameters, skipped");
    EXPECT_EQ(lines[2], "V2s Cam 1 calibration parameters:");
    EXPECT_EQ(lines[9], "hfov 0: 70.500");
}

TEST_F(ConfigActions, CalibrationFileRules) {
    add("cam0", "0003", kSerial);

    // Comments and unknown keys only: the camera's parameters (none: zeros) are written.
    RunResult r = bus.tool({"--write-calib", "0", writeArgFile("# nothing\n//\nlens: x\n")});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.says("failed to get existing calib params, maybe nothing has written before.\n"));
    r = bus.tool({"--read-calib", "0"});
    EXPECT_TRUE(r.says("focal length 0: 0.000\n")) << r.out;

    const long erased = bus.stat("cam0", "sectors-erased-64k");
    r = bus.tool({"--write-calib", "0", writeArgFile("hfov 0: 70.5\n\nhfov 1: 71\n")});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("no \":\" found at line \n")) << r.out;

    r = bus.tool({"--write-calib", "0", writeArgFile("overlapx 0:0\n")});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("invalid overlapx 0: 0\n")) << r.out;
    EXPECT_EQ(bus.stat("cam0", "sectors-erased-64k"), erased);  // refused files write nothing

    r = bus.tool({"--write-calib", "0", writeArgFile("overlapy 0:0\nhfov 2: 69.25\n")});
    EXPECT_EQ(r.status, 0) << r.out;
    r = bus.tool({"--read-calib", "0"});
    EXPECT_TRUE(r.says("hfov 2: 69.250\n")) << r.out;
    EXPECT_TRUE(r.says("overlapy 0: 0\n"));

    // Values that are not one finite number of their field's size.
    const long erasedBefore = bus.stat("cam0", "sectors-erased-64k");
    for (const std::string line : {"hfov 0: inf", "hfov 0: nan", "hfov 0: 1e39", "hfov 0: 70.5deg",
                                   "overlapx 1: 4294967297", "overlapy 1: 12abc", "overlapy 1:"}) {
        r = bus.tool({"--write-calib", "0", writeArgFile(line + "\n")});
        EXPECT_EQ(r.status, kFailure) << line;
        const size_t colon = line.find(':');
        EXPECT_TRUE(r.says("invalid " + line.substr(0, colon) + ": " + line.substr(colon + 1) + "\n")) << r.out;
    }
    EXPECT_EQ(bus.stat("cam0", "sectors-erased-64k"), erasedBefore);

    r = bus.tool({"--write-calib", "all", writeArgFile("hfov 0: 1\n")});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("not support all camera\n"));
    r = bus.tool({"--write-calib", "0", bus.workDir() + "/missing.txt"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("failed to open arg file " + bus.workDir() + "/missing.txt\n"));
}

TEST_F(ConfigActions, EepromBytesAreShownInHex) {
    add("cam0", "0003", kSerial);
    RunResult r = bus.tool({"-m", "0", "0", "16"});
    EXPECT_EQ(r.status, 0) << r.out;
    // Magic, layout, board revision, vendor and product id, then the date.
    const auto lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].size(), 2u + 32u);
    EXPECT_EQ(lines[1].rfind("0x564c544501437c3a0300", 0), 0u) << lines[1];

    r = bus.tool({"-m", "0", "e", "12"});  // the serial number at 0x0e
    EXPECT_TRUE(r.says("0x" "413142324333443445354636" "\n")) << r.out;

    r = bus.tool({"-m", "all", "0", "16"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("displayEEPROMData: not support all cam\n"));
    r = bus.tool({"-m", "0", "10000", "4"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("displayEEPROMData: addr 10000 beyond the EEPROM's 16-bit addresses\n")) << r.out;
}

TEST_F(ConfigActions, FeatureValuesOfEveryCamera) {
    add("cam0", "0003", kSerial);
    add("cam1", "0003", "0123456789AB");
    // Field of view 120 degrees on the second camera.
    ASSERT_EQ(bus.tool({"-w", "1", "81007", "0x0002"}).status, 0);
    const RunResult r = bus.tool({"-g", "all", "3", "3", "1", "3"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, kChannelLine +
                         "\nCam 0 feature values:\n3 : 0x010000\n1 : 0x010100\n\n"
                         "Cam 1 feature values:\n3 : 0x010200\n1 : 0x010100\n\n");

    const RunResult one = bus.tool({"-g", "0", "3", "3"});
    EXPECT_EQ(one.out, kChannelLine + "\nCam 0 feature values:\n3 : 0x010000\n\n");
    const RunResult unknown = bus.tool({"-g", "0", "42", "3"});
    EXPECT_EQ(unknown.status, kFailure);
    EXPECT_TRUE(unknown.says("displayFeatureValues: failed on transfer\n"));
    const RunResult negative = bus.tool({"-g", "0", "3", "-1"});
    EXPECT_EQ(negative.status, kFailure);
    EXPECT_TRUE(negative.says("displayFeatureValues: invalid feature length -1\n"));
    // 65539 would reach the camera as feature 3.
    const RunResult wide = bus.tool({"-g", "0", "65539", "3"});
    EXPECT_EQ(wide.status, kFailure);
    EXPECT_TRUE(wide.says("displayFeatureValues: invalid feature id 65539\n"));
    EXPECT_EQ(bus.tool({"-g", "0", "3x", "3"}).status, kFailure);
}

TEST_F(ConfigActions, JsonOfTheCameraIsWrittenToTheFile) {
    add("cam0", "c002", kSerial);
    const std::string out = bus.workDir() + "/out.json";
    RunResult r = bus.tool({"-j", "0", out});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readFile(out), sampleJson("V2sG"));
    r = bus.tool({"-j", "all", out});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("does not support all cam\n"));
}

TEST_F(ConfigActions, UpdateCarriesTheImagesJsonAndWritesTheDefaultsOnce) {
    add("cam0", "0003", kSerial);
    std::string json = sampleJson("V3G");
    json.replace(json.find("https://"), 8, "https://v2.");  // the image's own edition of the layout
    const std::string image = buildImage("C0.2.0.0", json);

    RunResult r = bus.tool({"-p", "0", image});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string out = bus.workDir() + "/out.json";
    ASSERT_EQ(bus.tool({"-j", "0", out}).status, 0);
    EXPECT_EQ(readFile(out), json);
    // The camera name switch was still erased: its defaults took one write.
    EXPECT_EQ(bus.stat("cam0", "sectors-erased-4k"), 1);
    r = bus.tool({"-g", "0", "11", "3"});
    EXPECT_TRUE(r.says("11 : 0x010000\n")) << r.out;

    ASSERT_EQ(bus.tool({"--reboot", "0"}).status, 0);
    r = bus.tool({"-p", "0", "-f", image});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(bus.stat("cam0", "sectors-erased-4k"), 1);  // the defaults were in place
}

}  // namespace

namespace {

// What an update decides in a camera's flash: everything but the
// configuration block and lookup table (serial number, factory data), plus the feature area
// inside that block.
std::string updatedFlash(const SimulatedBus& bus, const std::string& camera) {
    // The unit's own lookup table follows the block, up to 0xB0000.
    constexpr size_t kConfigStart = 0x80000, kUnitDataEnd = 0xB0000, kFeatures = 0x81000, kFeatureLength = 256;
    const std::string flash = readFile(bus.busDir() + "/" + camera + "/flash.bin");
    if (flash.size() < kUnitDataEnd) return {};
    return flash.substr(0, kConfigStart) + flash.substr(kFeatures, kFeatureLength) + flash.substr(kUnitDataEnd);
}

}  // namespace

// An update cut short before its feature defaults is finished by the next
// plain update; bulk updates leave the flash a single update leaves; a value
// set after a completed update is never overwritten.
TEST_F(ConfigActions, FeatureDefaultsConvergeAfterACutAndInBulk) {
    for (const char* name : {"cam0", "cam1", "cam2"}) add(name, "0003", std::string("00000000000") + name[3]);
    const std::string image = buildImage("C0.2.0.0", sampleJson("V3G"));
    ASSERT_EQ(bus.tool({"-p", "1", image}).status, 0);
    const std::string clean = updatedFlash(bus, "cam1");
    ASSERT_FALSE(clean.empty());

    ASSERT_EQ(bus.sim({"fault", "cam0", "fail-next", "c9:3"}).status, 0);
    const RunResult cut = bus.tool({"-p", "0", image});
    EXPECT_EQ(cut.status, kFailure) << cut.out;
    EXPECT_TRUE(cut.says("failed to program default feature values\n")) << cut.out;
    ASSERT_EQ(bus.tool({"--reboot", "0"}).status, 0);
    const RunResult finished = bus.tool({"-p", "0", image});
    EXPECT_EQ(finished.status, 0) << finished.out;
    EXPECT_TRUE(finished.says("Update Successful")) << finished.out;
    EXPECT_TRUE(updatedFlash(bus, "cam0") == clean);

    ASSERT_EQ(bus.tool({"-p", "all", "--jobs", "2", image}).status, 0);
    add("cam3", "0003", "000000000003");
    ASSERT_EQ(bus.tool({"-p", "all", image}).status, 0);
    for (const char* name : {"cam2", "cam3"}) EXPECT_TRUE(updatedFlash(bus, name) == clean) << name;

    // The LED blink value, set by a user after the completed update, stays.
    ASSERT_EQ(bus.tool({"--reboot", "0"}).status, 0);
    ASSERT_EQ(bus.tool({"-w", "0", "0x81001", "0x00"}).status, 0);
    const RunResult again = bus.tool({"-p", "0", image});
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_FALSE(again.says("Update Successful")) << again.out;
    EXPECT_EQ(readFile(bus.busDir() + "/cam0/flash.bin")[0x81001], '\0');
}
