// The console tool's report and self-test actions on simulated cameras: -z
// (run twice, refused for all cameras, a failing report) and -i for one
// camera and for all.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ConsoleHarness.h"

namespace {

constexpr int kFailure = 255;  // exit status -1 as the shell sees it
const std::string kSerial0 = "A1B2C3D4E5F6";
const std::string kSerial1 = "0123456789AB";

class ReportActions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(bus.sim({"add", "cam0", "--serial", kSerial0}).status, 0);
        ASSERT_EQ(bus.sim({"add", "cam1", "--pid", "c002", "--serial", kSerial1}).status, 0);
    }
    std::filesystem::path reportFile(const std::string& serial) const {
        return std::filesystem::path(bus.workDir()) / "report" / ("device (" + serial + ")") /
               ("reportFile(" + serial + ").txt");
    }
    SimulatedBus bus;
};

TEST_F(ReportActions, ReportRunTwiceReusesItsFolders) {
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const RunResult r = bus.tool({"-z", "1"});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(r.says("Report file generated for device (" + kSerial1 + ")\n")) << r.out;
        EXPECT_FALSE(r.says("failed")) << r.out;
        ASSERT_TRUE(std::filesystem::is_regular_file(reportFile(kSerial1)));
        EXPECT_EQ(std::filesystem::file_size(reportFile(kSerial1).parent_path() / ("LUT(" + kSerial1 + ").bin")),
                  98304u);
    }
    EXPECT_FALSE(std::filesystem::exists(reportFile(kSerial0)));
}

TEST_F(ReportActions, ReportRefusesAllCamerasAndSucceedsAfterAFailedReport) {
    const RunResult all = bus.tool({"-z", "all"});
    EXPECT_EQ(all.status, kFailure);
    EXPECT_TRUE(all.says("createReport: not support all cam\n")) << all.out;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(bus.workDir()) / "report"));

    // The report was attempted: the action succeeds, the file tells the rest.
    ASSERT_EQ(bus.sim({"fault", "cam0", "fail-read-at", "90000"}).status, 0);
    const RunResult failed = bus.tool({"-z", "0"});
    EXPECT_EQ(failed.status, 0) << failed.out;
    EXPECT_TRUE(failed.says("failed generating LUT and Alignment report...exiting\n"));
    EXPECT_TRUE(failed.says("\n\ngenerateDeviceReport() failed\n"));
    EXPECT_TRUE(std::filesystem::is_regular_file(reportFile(kSerial0)));
}

TEST_F(ReportActions, SelfTestInformationOfOneCameraOrAll) {
    ASSERT_EQ(bus.sim({"set", "cam1", "selftest-status", "00,00,00,00,00,02"}).status, 0);
    const RunResult one = bus.tool({"-i", "1"});
    EXPECT_EQ(one.status, 0) << one.out;
    EXPECT_TRUE(one.says("Device 1 (serial number " + kSerial1 + ") self-testing info:\n"
                         "GenerateBISTReport: capturing bist data...\n"
                         "BIST Info:\nBISTInfo: dumping general status ... (status = 00 means test successful)\n"))
        << one.out;
    EXPECT_TRUE(one.says("BISTInfo: fpga DDR status: \t02\n\nISP Info:\ndumpBISTInfo: dumping ISP0 Info ...\n"));
    EXPECT_FALSE(one.says("Device 0"));

    // A camera whose self-test fails is reported, and the action still succeeds.
    ASSERT_EQ(bus.sim({"fault", "cam0", "fail-next", "d6:1"}).status, 0);
    const RunResult all = bus.tool({"-i", "all"});
    EXPECT_EQ(all.status, 0) << all.out;
    EXPECT_TRUE(all.says("Device 0 (serial number " + kSerial0 + ") self-testing info:\n")) << all.out;
    EXPECT_TRUE(all.says("dumpBISTInfo: failed to get BIST report. BIST info: "));
    EXPECT_TRUE(all.says("\n\nDevice 1 (serial number " + kSerial1 + ") self-testing info:\n")) << all.out;
    EXPECT_FALSE(all.says("\r"));
}

}  // namespace

// Links planted in the report folder are replaced, never followed; a report
// that cannot be written whole fails the run with a line naming the file.
TEST_F(ReportActions, ReportWritesOnlyInsideItsFolderAndFailsWhenNotWritten) {
    namespace fs = std::filesystem;
    const fs::path work(bus.workDir());
    const fs::path outside = work / "outside.txt";
    { std::ofstream(outside) << "keep"; }
    const fs::path report = reportFile(kSerial0);
    const fs::path lut = report.parent_path() / ("LUT(" + kSerial0 + ").bin");
    fs::create_directories(report.parent_path());
    fs::create_symlink(outside, report);
    fs::create_symlink("/dev/full", lut);
    const RunResult linked = bus.tool({"-z", "0"});
    EXPECT_EQ(linked.status, 0) << linked.out;
    EXPECT_EQ(readFile(outside.string()), "keep");
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(report)));
    EXPECT_NE(readFile(report.string()).find("SerialNumber\t\t= " + kSerial0), std::string::npos);
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(lut)));
    EXPECT_EQ(fs::file_size(lut), 98304u);

    // A name that cannot take the file: nothing pretends the report is there.
    fs::remove(lut);
    fs::create_directory(lut);
    const RunResult noLut = bus.tool({"-z", "0"});
    EXPECT_EQ(noLut.status, kFailure) << noLut.out;
    const std::string folder = "report/device (" + kSerial0 + ")/";
    EXPECT_TRUE(noLut.says("createLUTReport: unable to write " + folder + "LUT(" + kSerial0 + ").bin: "))
        << noLut.out;
    fs::remove(report);
    fs::create_directory(report);
    const RunResult noReport = bus.tool({"-z", "0"});
    EXPECT_EQ(noReport.status, kFailure) << noReport.out;
    EXPECT_TRUE(noReport.says("failed to ceate file " + folder + "reportFile(" + kSerial0 + ").txt")) << noReport.out;

    // A camera folder that is a link leads nowhere outside.
    const fs::path elsewhere = work / "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_symlink(elsewhere, reportFile(kSerial1).parent_path());
    EXPECT_EQ(bus.tool({"-z", "1"}).status, kFailure);
    EXPECT_TRUE(fs::is_empty(elsewhere));
}
