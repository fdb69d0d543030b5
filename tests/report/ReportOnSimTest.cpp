// The device health report and the self-test information of a simulated
// camera: the whole text of a known camera line by line, the erased lookup
// table, the moved audio component, the report without the FPGA image, an
// erased boot loader, damaged length fields, hostile serial numbers, a
// failure in each section, and the ISP texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Bus.h"
#include "Factory.h"
#include "base/ByteLayout.h"
#include "base/VersionNumber.h"
#include "config/ConfigBlock.h"
#include "device/CameraIdentity.h"
#include "format/ReportText.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/CapturingLogger.h"
#include "support/SimCounters.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using veltrion::ByteReader;

constexpr const char* kCamera = "cam0";
constexpr const char* kSerial = "A1B2C3D4E5F6";
constexpr uint8_t kFlashRead = 0xC3;

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}
std::string hex4(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Lines ended by "\r\n"; a bare "\n" would leave a '\n' inside a line.
std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

uint16_t fletcher(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    return veltrion::fletcher16(bytes.data() + from, to - from);
}

class ReportOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_STATE_HOME", (dir_.path() / "state").c_str(), 1);
        ::setenv("VELTRION_SIM", (dir_.path() / "bus").c_str(), 1);
        bus_ = std::make_unique<camsim::Bus>(dir_.path() / "bus");
        bus_->add(kCamera, camsim::kDefaultProductId, kSerial, false);
        mgr_ = std::make_unique<veltrion::Veltrion2CamMgr>(true);
        mgr_->setLogger(&log_);
        mgr_->device()->setLogger(&log_);
        mgr_->setRetryPause(1ms);
        std::vector<std::string> paths;
        ASSERT_TRUE(mgr_->getCameraList(paths));
        path_ = paths.at(0);
        reportDir_ = dir_.path() / "report";
        fs::create_directory(reportDir_);
    }
    void TearDown() override {
        mgr_.reset();
        bus_.reset();
        ::unsetenv("VELTRION_SIM");
        ::unsetenv("XDG_STATE_HOME");
    }

    fs::path deviceDir(const std::string& name = kSerial) const { return reportDir_ / ("device (" + name + ")"); }
    fs::path reportFile(const std::string& name = kSerial) const {
        return deviceDir(name) / ("reportFile(" + name + ").txt");
    }
    bool report(bool withFpga = true) { return mgr_->generateDeviceReport(withFpga, path_, reportDir_.string()); }
    std::string reportText(const std::string& name = kSerial) const { return readFile(reportFile(name)); }
    std::vector<uint8_t> flash(uint32_t address, uint32_t length) const {
        return bus_->readFlash(kCamera, address, length);
    }
    bool has(const std::string& text, const std::string& part) const { return text.find(part) != std::string::npos; }

    TempDir dir_{"report-test"};
    std::unique_ptr<camsim::Bus> bus_;
    CapturingLogger log_{veltrion::kLogInfo};
    std::unique_ptr<veltrion::Veltrion2CamMgr> mgr_;
    std::string path_;
    fs::path reportDir_;
};

// The lines of a "VM" component as the version section shows them, taken
// from the flash itself.
struct ComponentLines {
    uint32_t length;
    std::string headerChecksum;
    std::string calculated;
};

ComponentLines componentLines(const ReportOnSim& test, const std::vector<uint8_t>& header,
                              const std::vector<uint8_t>& whole) {
    (void)test;
    const ByteReader reader(header);
    const uint32_t length = *reader.le32(2);
    return {length, hex(*reader.le16(14)), hex(fletcher(whole, 256, length))};
}

TEST_F(ReportOnSim, KnownCameraGivesThePartsTextLineByLine) {
    // A camera whose every reported value is known: a lookup table without
    // erased pairs, self-test results, ISP texts, a feature table, USB state.
    std::vector<uint8_t> lut(98304);
    for (size_t i = 0; i < lut.size(); ++i) lut[i] = static_cast<uint8_t>(i * 7 % 251);
    bus_->writeFlash(kCamera, 0x90000, lut);
    const std::vector<uint8_t> features = {1, 0, 1, 1, 0, 0, 1, 0, 3, 0, 0, 1, 1, 0, 1,
                                           1, 0, 0, 1, 0, 1, 1, 0, 0, 1, 0, 1};
    bus_->writeFlash(kCamera, 0x81000, features);
    bus_->set(kCamera, "selftest-status", "00,01,00,00,7f,00");
    bus_->set(kCamera, "selftest-rev", "0110,0100,0201,0202,0203,0003");
    bus_->set(kCamera, "isp-info-0", "ISP zero ready\r\n");
    bus_->set(kCamera, "isp-info-2", "");
    bus_->set(kCamera, "usb-type", "2");
    bus_->set(kCamera, "ext-power", "0");

    ASSERT_TRUE(report()) << log_.text();

    const auto versions = camsim::factoryVersions(veltrion::kCameraVendorId, camsim::kDefaultProductId);
    const auto fpgaFlash = flash(0x110000, camsim::kFactoryFpgaSize);
    const auto ispFlash = flash(0xD0000, camsim::kFactoryIspSize);
    const auto audioFlash = flash(0xE0000, camsim::kFactoryAudioSize);
    const ComponentLines fpga = componentLines(*this, fpgaFlash, fpgaFlash);
    const ComponentLines isp = componentLines(*this, ispFlash, ispFlash);
    const ComponentLines audio = componentLines(*this, audioFlash, audioFlash);
    const auto mainPage = flash(0x80000, 256);
    const ByteReader page(mainPage);
    auto used = [](const std::vector<uint8_t>& region) {
        const auto last = std::find_if(region.rbegin(), region.rend(), [](uint8_t b) { return b != 0xFF; });
        return static_cast<size_t>(region.rend() - last);
    };
    const auto bootLoader = flash(0, 0x10000);
    const auto backup = flash(0x790000, 0x40000);
    veltrion::CamConfigBlock block;
    ASSERT_TRUE(veltrion::configblock::parseMainPage(mainPage, block));

    const std::vector<std::string> selfTest = {
        "BISTInfo: dumping general status ... (status = 00 means test successful)",
        "BISTInfo: fpga rev: \t\t0110", "BISTInfo: fpga status: \t\t00",
        "BISTInfo: fx3 rev:\t\t0100",   "BISTInfo: fx3 status: \t\t01",
        "BISTInfo: isp0 rev:\t\t0201",  "BISTInfo: isp0 status: \t\t00",
        "BISTInfo: isp1 rev: \t\t0202", "BISTInfo: isp1 status: \t\t00",
        "BISTInfo: isp2 rev: \t\t0203", "BISTInfo: isp2 status: \t\t7f",
        "BISTInfo: fpga DDR rev: \t0003", "BISTInfo: fpga DDR status: \t00",
        ""};
    std::vector<std::string> expected = {"************VIDEO MODE************"};
    expected.insert(expected.end(), selfTest.begin(), selfTest.end());
    const std::string lutFile = (deviceDir() / "LUT(A1B2C3D4E5F6).bin").string();
    const std::vector<std::string> middle = {
        "*************SPI MODE*************",
        "Report *with* FPGA information",
        "",
        "SerialNumber\t\t= A1B2C3D4E5F6",
        "FPGA_Header\t\t= VM",
        "FPGA_Version\t\t= " + versions.fpga,
        "FPGA_File_Size\t\t= " + std::to_string(fpga.length),
        "FPGA_Header_Checksum \t= " + fpga.headerChecksum,
        "FPGA_Calc_Checksum\t= " + fpga.calculated,
        "FX3_Version\t\t= " + versions.fx3,
        "ISP_Header\t\t= VM",
        "ISP_version\t\t= " + versions.isp,
        "ISP_File_Size\t\t= " + std::to_string(isp.length),
        "ISP_Header_Checksum\t= " + isp.headerChecksum,
        "ISP_Calc_Checksum\t= " + isp.calculated,
        "Audio_Header\t\t= VM",
        "Audio_version\t\t= " + versions.audio,
        "Audio_File_Size\t\t= " + std::to_string(audio.length),
        "Audio_Header_Checksum\t= " + audio.headerChecksum,
        "Audio_Calc_Checksum\t= " + audio.calculated};
    expected.insert(expected.end(), middle.begin(), middle.end());
    expected.insert(expected.end(), selfTest.begin(), selfTest.end());
    const std::vector<std::string> rest = {
        "dumpBISTInfo: dumping ISP0 Info ...",
        "ISP zero ready",
        "dumpBISTInfo: dumping ISP1 Info ...",
        "ISP1 firmware " + versions.isp + ", sensor ready",
        "dumpBISTInfo: dumping ISP2 Info ...",
        "LUT:",
        "File Size:\t98304",
        "LUT Checksum:\t" + hex(fletcher(lut, 0, lut.size())),
        "LUT Data dumped to '" + lutFile + "'",
        "Alignment data:",
        "TOP ctg0   = " + hex4(*page.be16(27)),
        "TOP ctg1   = " + hex4(*page.be16(29)),
        "TOP ctg2   = " + hex4(*page.be16(31)),
        "Right ctg0 = " + hex4(*page.be16(33)),
        "Right ctg1 = " + hex4(*page.be16(35)),
        "Bootloader:",
        "First two bytes are CY",
        "FX3 Bootloader Version " + versions.bootLoader,
        "File Size: \t\t" + std::to_string(used(bootLoader)),
        "Bootloader Checksum: \t" + hex(fletcher(bootLoader, 0, used(bootLoader))),
        "FX3 backup:",
        "First two bytes are CY",
        "Backup FX3 Version " + versions.backupFx3,
        "File Size:\t\t" + std::to_string(used(backup)),
        "Backup FX3 Checksum:\t" + hex(fletcher(backup, 0, used(backup))),
        "Factory Config:"};
    expected.insert(expected.end(), rest.begin(), rest.end());
    for (const std::string& line : crlfLines(veltrion::configblock::toText(block))) expected.push_back(line);
    const std::vector<std::string> tail = {
        "Enabled Features:",
        "           LED Blink    available\tenabled",
        "          Upsidedown    available\tNOT enabled",
        "       Field of View    available\t90 degrees",
        "      Face Detection    NOT available\tNOT Enabled",
        "          Blend Mode    available\tenabled",
        "             Genlock    available\tNOT enabled",
        "    Reset to Default    available\tenabled",
        "            Face API    available\tNOT enabled",
        "          Lumo (HDR)    available\tenabled",
        "Device Descriptors:",
        "bLength:\t\t18",
        "bDescriptorType:\t1",
        "bcdUSB:\t\t\t210",
        "bDeviceClass:\t\tef",
        "bDeviceSubClass:\t2",
        "bDeviceProtocol:\t1",
        "bMaxPacketSize:\t\t40",
        "idVendor:\t\t3a7c",
        "idProduct:\t\t3",
        "bcdDevice:\t\t100",
        "iManufacturer:\t\t1",
        "iProduct:\t\t2",
        "iSerialNumber:\t\t3",
        "bNumConfigurations:\t1",
        "Device USB and Power Info:",
        "USB Bus Type:\t\t2",
        "External Power:\t\t0"};
    expected.insert(expected.end(), tail.begin(), tail.end());

    const auto lines = crlfLines(reportText());
    for (size_t i = 0; i < std::min(lines.size(), expected.size()); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    EXPECT_EQ(lines.size(), expected.size());
    EXPECT_EQ(readFile(lutFile), std::string(lut.begin(), lut.end()));
    EXPECT_TRUE(log_.contains("Report file generated for device (A1B2C3D4E5F6)\n\n"));
}

TEST_F(ReportOnSim, ErasedLookupTableListsEveryOverlappingPair) {
    // A camera that was never calibrated.
    bus_->set(kCamera, "lut", "erased");
    ASSERT_TRUE(report());
    const auto lines = crlfLines(reportText());
    const auto first = std::find(lines.begin(), lines.end(),
                                 "0xFF Found in LUT at:\t0x090000  0x090001  **ERROR** 0xFF found in LUT");
    ASSERT_NE(first, lines.end());
    ASSERT_GT(lines.end() - first, 98303);
    EXPECT_EQ(first[1], "\t\t\t0x090001  0x090002");
    EXPECT_EQ(first[98302], "\t\t\t0x0a7ffe  0x0a7fff");
    EXPECT_EQ(first[98303], "Alignment data:");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("\t\t\t0x0"); }),
              98302);
    EXPECT_EQ(fs::file_size(deviceDir() / "LUT(A1B2C3D4E5F6).bin"), 98304u);
}

TEST_F(ReportOnSim, LongIspMovesTheAudioComponent) {
    const auto isp = camsim::makeIspComponent("I1.1.0.0", 0x14000);
    const auto audio = camsim::makeAudioComponent("A1.2.0.0", isp.size(), 0x9000);
    bus_->writeFlash(kCamera, 0xD0000, isp);
    bus_->writeFlash(kCamera, 0xF0000, audio);
    ASSERT_TRUE(report()) << log_.text();
    const std::string text = reportText();
    EXPECT_TRUE(has(text, "Report *with* FPGA information\r\n\r\n*New* AUDIO address\r\nSerialNumber"));
    EXPECT_TRUE(has(text, "ISP_File_Size\t\t= 81920\r\n"));
    EXPECT_TRUE(has(text, "Audio_File_Size\t\t= 36864\r\n"));
    const ComponentLines expected = componentLines(*this, audio, audio);
    EXPECT_TRUE(has(text, "Audio_Calc_Checksum\t= " + expected.calculated + "\r\n"));
    EXPECT_FALSE(has(text, "does not match"));
}

TEST_F(ReportOnSim, WithoutFpgaTheImageIsNotRead) {
    const uint64_t before = simTransfers(*bus_, kCamera, kFlashRead);
    ASSERT_TRUE(report(true));
    const uint64_t withFpga = simTransfers(*bus_, kCamera, kFlashRead) - before;
    ASSERT_TRUE(report(false));
    const uint64_t withoutFpga = simTransfers(*bus_, kCamera, kFlashRead) - before - withFpga;
    EXPECT_EQ(withFpga - withoutFpga, camsim::kFactoryFpgaSize / 256);
    const std::string text = reportText();
    EXPECT_TRUE(has(text, "Report *without* FPGA information\r\n"));
    EXPECT_TRUE(has(text, "FPGA_Calc_Checksum\t= Skipped\r\nFX3_Version"));
    EXPECT_TRUE(has(text, "FPGA_File_Size\t\t= 1048576\r\n"));
}

TEST_F(ReportOnSim, ErasedBootLoaderHasNoUsedLength) {
    bus_->writeFlash(kCamera, 0, std::vector<uint8_t>(0x10000, 0xFF));
    ASSERT_TRUE(report()) << log_.text();
    EXPECT_TRUE(has(reportText(),
                    "Bootloader:\r\n"
                    "First two bytes are NOT CY\t\t**ERROR** Bootloader header signature is NOT 'CY'\r\n"
                    "FX3 Bootloader (no version text found)\r\n"
                    "File Size: \t\t0\r\n"
                    "Bootloader Checksum: \t" + hex(veltrion::fletcher16(nullptr, 0)) + "\r\n"
                    "FX3 backup:\r\nFirst two bytes are CY\r\n"));
}

TEST_F(ReportOnSim, DamagedLengthFieldIsNeverUsedAsAReadLength) {
    struct Case {
        uint32_t address;
        uint32_t length;
        std::string line;
    };
    const std::vector<Case> cases = {
        {0xD0000, 0xFFFFFF00, "failed to get ISP header contents from flash"},
        {0xD0000, 100, "failed to get ISP header contents from flash"},
        {0xD0000, 0x20001, "failed to get ISP header contents from flash"},
        {0x110000, 6 * 1024 * 1024 + 1, "failed to get FPGA header contents from flash"},
        {0xE0000, 0x30001, "failed to get Audio header contents from flash"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(hex(c.address) + " length " + std::to_string(c.length));
        const auto original = flash(c.address + 2, 4);
        std::vector<uint8_t> field;
        veltrion::ByteWriter(field).le32(c.length);
        bus_->writeFlash(kCamera, c.address + 2, field);
        const uint64_t before = simTransfers(*bus_, kCamera, kFlashRead);
        EXPECT_FALSE(report());
        // Headers only, and the images before the damaged one: the FPGA's
        // 4096 pages and the ISP's 192 (a damaged audio length would add
        // hundreds more).
        EXPECT_LT(simTransfers(*bus_, kCamera, kFlashRead) - before, c.address == 0x110000 ? 10u : 4300u);
        const std::string text = reportText();
        EXPECT_TRUE(has(text, "**ERROR** createVerFSChecksumReport: " + c.line + "\r\n")) << text;
        EXPECT_TRUE(text.ends_with(
            "**ERROR** report incomplete - failed generating VerFSChecksumReport report..exiting\r\n"));
        bus_->writeFlash(kCamera, c.address + 2, original);
    }
}

TEST_F(ReportOnSim, HostileSerialNumbersNameSafeFolders) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"../x", ".%2E%2Fx"}, {"..", ".%2E"}, {"a/b\x01\x1b[2J", "a%2Fb%01%1B[2J"}, {"a_b", "a_b"}, {"", "%unknown"}};
    for (const auto& [serial, name] : cases) {
        SCOPED_TRACE(name);
        bus_->set(kCamera, "serial-answer", serial);
        ASSERT_TRUE(report()) << log_.text();
        ASSERT_TRUE(fs::is_regular_file(reportFile(name)));
        EXPECT_TRUE(fs::is_regular_file(deviceDir(name) / ("LUT(" + name + ").bin")));
        const std::string text = reportText(name);
        EXPECT_TRUE(has(text, "SerialNumber\t\t= " + veltrion::printableLine(serial) + "\r\n"));
    }
    // Nothing landed outside the report folder, and only camera folders inside it.
    for (const auto& entry : fs::directory_iterator(dir_.path()))
        EXPECT_TRUE(entry.path().filename() == "report" || entry.path().filename() == "bus" ||
                    entry.path().filename() == "state")
            << entry.path();
    for (const auto& entry : fs::directory_iterator(reportDir_))
        EXPECT_TRUE(entry.is_directory() && entry.path().filename().string().starts_with("device (")) << entry.path();
}

TEST_F(ReportOnSim, FailureInAnySectionKeepsWhatWasGathered) {
    ASSERT_TRUE(report());
    const std::string whole = reportText();
    struct Case {
        const char* key;
        const char* value;
        const char* sectionStart;  // what the clean report holds from the failing section on
        const char* stopped;
        int occurrence = 1;  // of sectionStart in the clean report
    };
    const std::vector<Case> cases = {
        {"fail-next", "d6:1", "BISTInfo: dumping", "failed generating first bist report..exiting"},
        {"fail-read-at", "110000", "*************SPI MODE", "failed generating VerFSChecksumReport report..exiting"},
        {"fail-nth", "d6:2", "BISTInfo: dumping", "failed generating second bist report...exiting", 2},
        {"fail-read-at", "90000", "LUT:", "failed generating LUT and Alignment report...exiting"},
        {"fail-read-at", "790000", "Bootloader:", "failed generating bootloader and backup report...exiting"},
        {"fail-read-at", "80000:1", "Factory Config:", "failed generating config report...exiting"},
        {"fail-read-at", "81000:2", "Enabled Features:", "failed to generate enabled features Report...exiting"},
        {"fail-nth", "fe:2", "Device USB and Power Info:",
         "failed to generate device usb bus and power report...exiting"},
        {"fail-nth", "fe:3", "Device USB and Power Info:",
         "failed to generate device usb bus and power report...exiting"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.value);
        bus_->fault(kCamera, c.key, c.value);
        fs::remove(reportFile());
        EXPECT_FALSE(report());
        bus_->fault(kCamera, "fail-read-at", "none");
        bus_->fault(kCamera, "fail-nth", "0");
        const std::string text = reportText();
        // Everything before the failing section is as in a whole report;
        // its partial text and the line that says where it stopped follow.
        size_t cut = whole.find(c.sectionStart);
        for (int k = 1; k < c.occurrence && cut != std::string::npos; ++k) cut = whole.find(c.sectionStart, cut + 1);
        ASSERT_NE(cut, std::string::npos);
        EXPECT_EQ(text.substr(0, cut), whole.substr(0, cut));
        EXPECT_TRUE(text.ends_with("**ERROR** report incomplete - " + std::string(c.stopped) + "\r\n"))
            << text.substr(cut);
        EXPECT_TRUE(log_.contains(std::string(c.stopped) + "\n"));
    }
}

TEST_F(ReportOnSim, IspTextsEndInsideTheirBuffers) {
    // No terminating zero: each part is 256 characters, and nothing beyond.
    bus_->set(kCamera, "isp-info-end", "none");
    bus_->set(kCamera, "isp-info-0", "X");
    std::string status, isp;
    ASSERT_TRUE(mgr_->GenerateBISTReport(path_, status, isp));
    EXPECT_TRUE(has(isp, "dumpBISTInfo: dumping ISP0 Info ...\r\nX" + std::string(511, ' ') +
                             "\r\ndumpBISTInfo: dumping ISP1 Info ...\r\n"))
        << isp;

    // With zeros, a text of more than one part comes back whole.
    bus_->set(kCamera, "isp-info-end", "zero");
    const std::string longText = std::string(300, 'L') + "\n";
    bus_->set(kCamera, "isp-info-1", longText);
    status.clear();
    isp.clear();
    ASSERT_TRUE(mgr_->GenerateBISTReport(path_, status, isp));
    EXPECT_TRUE(has(isp, "ISP1 Info ...\r\n" + std::string(300, 'L') + "\r\ndumpBISTInfo: dumping ISP2"));

    // A reply that comes short is a failed read.
    bus_->fault(kCamera, "short-reply", "db:1");
    status.clear();
    isp.clear();
    EXPECT_FALSE(mgr_->GenerateBISTReport(path_, status, isp));
    EXPECT_TRUE(isp.ends_with("dumpBISTInfo: dumping ISP1 Info ...\r\ngenerateBistReport failed to obtain ISP1 info\r\n"));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::dumpBISTInfo failed to obtain ISP1 info\n"));
}

TEST_F(ReportOnSim, SelfTestInformationIsLoggedAsConsoleLines) {
    bus_->set(kCamera, "selftest-status", "3");
    mgr_->dumpBISTInfo(path_);
    EXPECT_TRUE(log_.contains("BIST Info:\nBISTInfo: dumping general status ... (status = 00 means test successful)\n"
                              "BISTInfo: fpga rev: \t\t0110\nBISTInfo: fpga status: \t\t03\n"));
    EXPECT_TRUE(log_.contains("ISP Info:\ndumpBISTInfo: dumping ISP0 Info ...\nISP0 firmware I1.1.0.0, sensor ready\n"));
    EXPECT_FALSE(log_.contains("\r"));

    log_.clear();
    bus_->fault(kCamera, "fail-next", "d6:1");
    mgr_->dumpBISTInfo(path_);
    EXPECT_TRUE(log_.contains(
        "dumpBISTInfo: failed to get BIST report. BIST info: **ERROR** Veltrion2CamMgr::generateBistReport failed "
        "to obtain BIST info\n, ISP info: \n"));
}

}  // namespace
