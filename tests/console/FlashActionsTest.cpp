// Raw flash actions of the console tool on a simulated camera: -r, -w, -e.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;  // exit status -1 as the shell sees it

class FlashActions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(bus.sim({"add", "cam0"}).status, 0); }

    // The hex line of -r, without its "0x"; empty when the read failed.
    std::string read(const std::string& address, unsigned length) const {
        const RunResult r = bus.tool({"-r", "0", address, std::to_string(length)});
        const auto lines = splitLines(r.out);
        if (r.status != 0 || lines.empty() || lines.back().rfind("0x", 0) != 0) return "";
        return lines.back().substr(2);
    }
    void writeFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(bus.workDir() + "/" + name, std::ios::binary) << bytes;
    }

    SimulatedBus bus;
};

TEST_F(FlashActions, WrittenBytesReadBack) {
    const RunResult w = bus.tool({"-w", "0", "0x1000", "0x0001"});
    EXPECT_EQ(w.status, 0) << w.out;
    const RunResult r = bus.tool({"-r", "0", "0x1000", "2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Using channel: Veltrion-C\n0x0001\n");

    // "0x" pairs inside the text are skipped.
    ASSERT_EQ(bus.tool({"-w", "0", "300010", "0x010x02aB"}).status, 0);
    EXPECT_EQ(read("0x300010", 3), "0102ab");
}

TEST_F(FlashActions, BadByteTextsAreRefused) {
    RunResult r = bus.tool({"-w", "0", "0x1000", "0x1"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("programOrEraseFlash: invalid byte values, not multiple of two in length. For 0x1, uses "
                       "0x01\n"));
    // Each pair is two hex digits: no sign, blank or half-read pair.
    for (const std::string pair : {"zz", "-1", " f", "0z", "+f"}) {
        r = bus.tool({"-w", "0", "0x1000", "0x01" + pair});
        EXPECT_EQ(r.status, kFailure) << pair;
        EXPECT_TRUE(r.says("programOrEraseFlash: invalid value byte " + pair + "\n")) << r.out;
    }
    // "0x" alone holds no byte and is taken as a file name.
    r = bus.tool({"-w", "0", "0x1000", "0x"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("programOrEraseFlash failed - not able to open file 0x\n"));
}

TEST_F(FlashActions, WriteFromFile) {
    writeFile("data.bin", std::string("\x12\x34\x56", 3));
    ASSERT_EQ(bus.tool({"-w", "0", "0x300101", "data.bin"}).status, 0);
    EXPECT_EQ(read("0x300100", 5), "ff123456ff");

    writeFile("empty.bin", "");
    const RunResult r = bus.tool({"-w", "0", "0x300000", "empty.bin"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("programOrEraseFlash failed - file size invalid: 0\n"));
}

TEST_F(FlashActions, EraseClearsTheFourKiBSectorOfTheAddressOnly) {
    const std::string before = read("0xfff", 1);
    const std::string after = read("0x2000", 1);
    ASSERT_NE(before, "ff");  // the boot loader lives here
    const RunResult e = bus.tool({"-e", "0", "0x1234"});
    EXPECT_EQ(e.status, 0) << e.out;
    EXPECT_TRUE(e.says("Veltrion2CamMgr::eraseFlashContents: erasing 4 kB at 0x00001234.\n"));
    EXPECT_EQ(read("0x1000", 4096), std::string(8192, 'f'));
    EXPECT_EQ(read("0xfff", 1), before);
    EXPECT_EQ(read("0x2000", 1), after);
}

TEST_F(FlashActions, AllCamerasAndBadNumbersAreRefused) {
    RunResult r = bus.tool({"-r", "all", "0", "4"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("displayFlashContents: not support all cam\n"));
    r = bus.tool({"-w", "all", "0", "0x00"});
    EXPECT_TRUE(r.says("programOrEraseFlash: not support all cam\n"));
    r = bus.tool({"-e", "all", "0"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("programOrEraseFlash: not support all cam\n"));

    r = bus.tool({"-r", "0", "zz", "4"});
    EXPECT_TRUE(r.says("displayFlashContents: unable to scan read addr from zz\n"));
    r = bus.tool({"-r", "0", "0", "x"});
    EXPECT_TRUE(r.says("displayFlashContents: unable to scan length from x\n"));
    r = bus.tool({"-e", "0", "zz"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("programOrEraseFlash: unable to scan read addr from zz\n"));
    r = bus.tool({"-r", "0", "0", "-1"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("displayFlashContents: unable to scan length from -1\n"));
    r = bus.tool({"-r", "0", "0", "8388609"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("displayFlashContents: length 8388609 exceeds the flash size 8388608\n"));
}

// Numbers past their field must not wrap onto another place in the flash;
// the flash file shows nothing changed.
TEST_F(FlashActions, AddressesPastTheFlashAreRefusedBeforeAnyRequest) {
    const std::string flashFile = bus.busDir() + "/cam0/flash.bin";
    const std::string before = readFile(flashFile);
    ASSERT_EQ(before.size(), 8u * 1024 * 1024);

    RunResult r = bus.tool({"-e", "0", "0x100000000"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("programOrEraseFlash: addr 0x100000000 is past the end of the flash (0x800000 bytes)\n"));
    r = bus.tool({"-e", "0", "800000"});
    EXPECT_TRUE(r.says("programOrEraseFlash: addr 800000 is past the end of the flash (0x800000 bytes)\n"));
    r = bus.tool({"-w", "0", "0x100700050", "0xAB"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("programOrEraseFlash: addr 0x100700050 is past the end of the flash (0x800000 bytes)\n"));
    r = bus.tool({"-w", "0", "0x1000g", "0xAB"});
    EXPECT_TRUE(r.says("programOrEraseFlash: unable to scan read addr from 0x1000g\n"));
    EXPECT_EQ(readFile(flashFile), before);

    r = bus.tool({"-r", "0", "0x800000", "1"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("displayFlashContents: read addr 0x800000 is past the end of the flash (0x800000 bytes)\n"));
    r = bus.tool({"-r", "0", "0x7ffffe", "4"});
    EXPECT_EQ(r.status, kFailure);
    EXPECT_TRUE(r.says("displayFlashContents: 4 bytes from 0x7ffffe reach past the end of the flash (0x800000 "
                       "bytes)\n"));
    EXPECT_EQ(read("0x7ffffe", 2).size(), 4u);  // the last bytes are readable
}

}  // namespace
