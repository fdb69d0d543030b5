// The device health report and the self-test information. The report text is
// gathered section by section and written in one piece at the end, or at the
// first section that fails; the byte-level checks and the text pieces are in
// ReportText, SelfTestBlock, FlashRegionScan and FeatureTable.

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string_view>

#include "base/LogPieces.h"
#include "config/FeatureTable.h"
#include "format/ComponentRoom.h"
#include "format/FlashRegionScan.h"
#include "format/ReportText.h"
#include "format/SelfTestBlock.h"
#include "image/PendingOutputFile.h"
#include "manager/DeviceSession.h"
#include "manager/Veltrion2CamMgr.h"

namespace veltrion {

namespace {


constexpr mode_t kDirectoryMode = 0755;
constexpr const char* kPathSeparator = "/";

constexpr const char* kVideoModeLine = "************VIDEO MODE************";
constexpr const char* kSpiModeLine = "*************SPI MODE*************";

// What a failed section says in the log (level 0) and in its text; most
// sections say the same in both.
bool sectionFails(Logger& logger, ReportText& text, std::string_view logLine, std::string_view textLine) {
    logger.log(kLogError, "%.*s\n", static_cast<int>(logLine.size()), logLine.data());
    text.errorLine(textLine);
    return false;
}
bool sectionFails(Logger& logger, ReportText& text, std::string_view line) {
    return sectionFails(logger, text, line, line);
}

// Writes a report folder's file whole under a new name and then gives it its
// name: a link planted under that name is replaced, never written through.
// 0, or the errno of the step that failed.
int writeReportFile(const std::string& path, std::span<const uint8_t> bytes) {
    images::PendingOutputFile file(path);
    if (file.created() && file.write(bytes) && file.commit()) return 0;
    return errno != 0 ? errno : EIO;
}

// Builds a section in a text of its own and appends it, whole or partial, to
// the caller's string.
bool buildSection(std::string& section, const std::function<bool(ReportText&)>& build) {
    ReportText text;
    const bool ok = build(text);
    section += text.str();
    return ok;
}

// The messages of one "VM" component of the version section.
struct ComponentMessages {
    std::string_view capturing;
    std::string_view readHeaderFailed;
    std::string_view parseFailed;
    std::string_view allocationFailed;
    std::string_view readImageFailed;
};

struct ComponentSummary {
    std::string signature;
    uint32_t length = 0;
    uint16_t headerChecksum = 0;
    uint16_t calculatedChecksum = 0;
};

// Reads a component's header at a fixed address and, when asked, the whole
// component, whose body is summed. A length field outside 256 .. room counts
// as a header that cannot be parsed: it is never used as a read length.
bool readComponent(Veltrion2CamMgr& mgr, const std::string& devPath, uint32_t address, uint32_t room,
                   bool wholeImage, const ComponentMessages& messages, ReportText& text, ComponentSummary& out) {
    Logger& logger = mgr.logger();
    logger.log(kLogInfo, "%.*s\n", static_cast<int>(messages.capturing.size()), messages.capturing.data());
    std::array<uint8_t, component::kHeaderSize> header{};
    if (!mgr.readFlashContents(address, header.data(), header.size(), devPath))
        return sectionFails(logger, text, messages.readHeaderFailed);
    ComponentHeaderInfo info;
    if (!mgr.getHeaderInfoFromFlashFile(header, info)) return sectionFails(logger, text, messages.parseFailed);
    if (!componentroom::lengthFits(info.length, room)) {
        logger.log(kLogError, "createVerFSChecksumReport: component length %u at 0x%06x is outside 256..%u\n",
                   info.length, address, room);
        return sectionFails(logger, text, messages.parseFailed);
    }
    out.signature = printableLine(std::string_view(reinterpret_cast<const char*>(header.data()), 2));
    out.length = info.length;
    out.headerChecksum = info.checksum;
    if (!wholeImage) return true;

    std::vector<uint8_t> image;
    try {
        image.resize(info.length);
    } catch (const std::bad_alloc&) {
        logger.log(kLogError, "%.*s\n", static_cast<int>(messages.allocationFailed.size()),
                   messages.allocationFailed.data());
        return false;
    }
    if (!mgr.readFlashContents(address, image.data(), info.length, devPath))
        return sectionFails(logger, text, messages.readImageFailed);
    out.calculatedChecksum =
        Veltrion2CamMgr::fletcher16(image.data() + component::kHeaderSize, info.length - component::kHeaderSize);
    return true;
}

void appendHeaderLine(ReportText& text, const char* label, const ComponentSummary& summary, const char* error) {
    const bool isVm = summary.signature.size() == 2 && summary.signature[0] == component::kSignature0 &&
                      summary.signature[1] == component::kSignature1;
    text.linef("%s%s%s", label, summary.signature.c_str(), isVm ? "" : error);
}

void appendCalcLine(ReportText& text, const char* label, const ComponentSummary& summary, const char* error) {
    const bool differ = summary.calculatedChecksum != summary.headerChecksum;
    text.linef("%s0x%x%s", label, static_cast<unsigned>(summary.calculatedChecksum), differ ? error : "");
}

// The trimmed FX3 boot image of a region: signature, version text, used
// length and checksum lines.
struct BootImageLabels {
    const char* signatureError;
    const char* versionPrefix;
    const char* sizeLabel;
    const char* checksumLabel;
};

void appendBootImageLines(ReportText& text, std::span<const uint8_t> region, const BootImageLabels& labels) {
    const size_t used = usedLength(region);
    if (startsWithCy(region))
        text.line("First two bytes are CY");
    else
        text.linef("First two bytes are NOT CY%s", labels.signatureError);
    const auto version = bootImageVersionText(region.first(used));
    text.linef("%s%s", labels.versionPrefix, version ? printableLine(*version).c_str() : "(no version text found)");
    text.linef("%s%zu", labels.sizeLabel, used);
    text.linef("%s0x%x", labels.checksumLabel, static_cast<unsigned>(Veltrion2CamMgr::fletcher16(region.data(), used)));
}

}  // namespace

bool Veltrion2CamMgr::createDir(const std::string& path) {
    if (::mkdir(path.c_str(), kDirectoryMode) == 0) return true;
    std::error_code error;
    if (errno == EEXIST && std::filesystem::is_directory(std::filesystem::symlink_status(path, error))) return true;
    logger_->log(kLogError, "createDir: CreateDirectory() failed\n");
    return false;
}

bool Veltrion2CamMgr::GenerateBISTReport(const std::string& devPath, std::string& statusText, std::string& ispText) {
    logger_->log(kLogInfo, "GenerateBISTReport: capturing bist data...\n");
    ReportText status;
    ReportText isp;
    const bool ok = [&] {
        DeviceSession session(*device_, devPath);
        if (!session.isOpen()) {
            logger_->log(kLogError, "Veltrion2CamMgr::generateBistReport failed - unable to open dev %s\n",
                         devPath.c_str());
            status.errorLine("Veltrion2CamMgr::generateBistReport failed - unable to open dev " +
                             printableLine(devPath));
            return false;
        }
        std::array<uint8_t, selftest::kBlockSize> block{};
        if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSelfTest, 0, 0, block.data(), block.size()))
            return sectionFails(logger_.get(), status, "Veltrion2CamMgr::generateBistReport failed to obtain BIST info");
        status.append(selfTestStatusText(*decodeSelfTestBlock(block)));

        constexpr std::array<uint8_t, selftest::kIspCount> kIspRequests = {vreq::kIspInfo0, vreq::kIspInfo1,
                                                                           vreq::kIspInfo2};
        for (size_t n = 0; n < kIspRequests.size(); ++n) {
            isp.linef("dumpBISTInfo: dumping ISP%zu Info ...", n);
            std::string text;
            for (size_t part = 0; part < selftest::kIspInfoParts; ++part) {
                // One byte more than a part, zeroed: the text always ends,
                // whether or not the camera sends a terminating zero.
                std::array<uint8_t, selftest::kIspInfoPartSize + 1> buffer{};
                if (!device_->sendUsbControlTransfer(vreq::kTypeIn, kIspRequests[n], 0, 0, buffer.data(),
                                                     selftest::kIspInfoPartSize)) {
                    logger_->log(kLogError, "Veltrion2CamMgr::dumpBISTInfo failed to obtain ISP%zu info\n", n);
                    isp.linef("generateBistReport failed to obtain ISP%zu info", n);
                    return false;
                }
                text += reinterpret_cast<const char*>(buffer.data());
            }
            isp.append(printableLines(text));
            // The next heading starts on a line of its own.
            if (!isp.str().ends_with(reporttext::kLineEnd)) isp.endLine();
        }
        return true;
    }();
    statusText += status.str();
    ispText += isp.str();
    return ok;
}

void Veltrion2CamMgr::dumpBISTInfo(const std::string& devPath) {
    std::string status;
    std::string isp;
    if (!GenerateBISTReport(devPath, status, isp)) {
        logLongText(logger_.get(), kLogError,
                    "dumpBISTInfo: failed to get BIST report. BIST info: " + consoleLines(status) +
                        ", ISP info: " + consoleLines(isp) + "\n");
        return;
    }
    logLongText(logger_.get(), kLogInfo, "BIST Info:\n" + consoleLines(status));
    logLongText(logger_.get(), kLogInfo, "ISP Info:\n" + consoleLines(isp));
}

bool Veltrion2CamMgr::createVerFSChecksumReport(bool withFPGA, const CameraInfo& info, const std::string& devPath,
                                                std::string& section) {
    logger_->log(kLogInfo, "createVerFSChecksumReport: withFPGA = %d\n", withFPGA ? 1 : 0);
    return buildSection(section, [&](ReportText& text) {
        text.linef("Report %s FPGA information", withFPGA ? "*with*" : "*without*");
        text.endLine();

        ComponentSummary fpga;
        if (!readComponent(*this, devPath, flashmap::kFpgaAddress, componentroom::kFpga, withFPGA,
                           {"createVerFSChecksumReport: capturing fpga information...",
                            "createVerFSChecksumReport: failed to read FPGA header from flash",
                            "createVerFSChecksumReport: failed to get FPGA header contents from flash",
                            "createVerFSChecksumReport: failed to allocate memory for the fpgaBuffer",
                            "createVerFSChecksumReport: failed to get FPGA file from flash"},
                           text, fpga))
            return false;

        ComponentSummary isp;
        if (!readComponent(*this, devPath, flashmap::kIspAddress, componentroom::kIsp, true,
                           {"createVerFSChecksumReport: capturing ISP information...",
                            "createVerFSChecksumReport: failed to read ISP header from flash",
                            "createVerFSChecksumReport: failed to get ISP header contents from flash",
                            "createVerFSChecksumReport: failed to allocate memory for the ispBuffer",
                            "createVerFSChecksumReport: failed to get ISP file from flash"},
                           text, isp))
            return false;

        // A long ISP component pushes the audio component one sector up.
        uint32_t audioAddress = flashmap::kAudioAddress;
        if (isp.length > flashmap::kIspLongThreshold) {
            audioAddress = flashmap::kAudioAddressAfterLongIsp;
            text.line("*New* AUDIO address");
        }
        ComponentSummary audio;
        if (!readComponent(*this, devPath, audioAddress, componentroom::audioAt(audioAddress), true,
                           {"createVerFSChecksumReport: capturing audio information...",
                            "createVerFSChecksumReport: failed to read audio header from flash",
                            "createVerFSChecksumReport: failed to get Audio header contents from flash",
                            "createVerFSChecksumReport: failed to allocate memory for the audioBuffer",
                            "createVerFSChecksumReport: failed to read Audio header from flash"},
                           text, audio))
            return false;

        logger_->log(kLogInfo, "createVerFSChecksumReport: logging fpga and audio information...\n");
        text.linef("SerialNumber\t\t= %s", printableLine(info.serialNumber).c_str());
        appendHeaderLine(text, "FPGA_Header\t\t= ", fpga, "\t\t**ERROR** FPGA header signature is NOT 'VM'");
        text.linef("FPGA_Version\t\t= %s", versionToString(info.fpgaVersion).c_str());
        text.linef("FPGA_File_Size\t\t= %u", fpga.length);
        text.linef("FPGA_Header_Checksum \t= 0x%hx", fpga.headerChecksum);
        if (withFPGA)
            appendCalcLine(text, "FPGA_Calc_Checksum\t= ", fpga,
                           "\t\t**ERROR** FPGA header checksum does not match calculated checksum");
        else
            text.line("FPGA_Calc_Checksum\t= Skipped");
        text.linef("FX3_Version\t\t= %s", versionToString(info.fx3Version).c_str());

        appendHeaderLine(text, "ISP_Header\t\t= ", isp, "\t\t**ERROR** ISP header signature is NOT 'VM'");
        text.linef("ISP_version\t\t= %s", versionToString(info.ispVersion).c_str());
        text.linef("ISP_File_Size\t\t= %u", isp.length);
        text.linef("ISP_Header_Checksum\t= 0x%hx", isp.headerChecksum);
        appendCalcLine(text, "ISP_Calc_Checksum\t= ", isp,
                       "\t\t**ERROR** ISP header checksum does not match calculated checksum");

        appendHeaderLine(text, "Audio_Header\t\t= ", audio, "\t\t\t**ERROR** Audio header signature is NOT 'VM'");
        text.linef("Audio_version\t\t= %s", versionToString(info.audioVersion).c_str());
        text.linef("Audio_File_Size\t\t= %u", audio.length);
        text.linef("Audio_Header_Checksum\t= 0x%x", static_cast<unsigned>(audio.headerChecksum));
        appendCalcLine(text, "Audio_Calc_Checksum\t= ", audio,
                       "\t\t**ERROR** Audio header checksum does not match calculated checksum");
        return true;
    });
}

bool Veltrion2CamMgr::createLUTReport(const std::string& devPath, const std::string& lutFile, std::string& section) {
    return buildSection(section, [&](ReportText& text) {
        logger_->log(kLogInfo, "createLUTReport: loading LUT...\n");
        if (!readFlashContents(flashmap::kLutAddress, lutBuffer_.data(), flashmap::kLutSize, devPath))
            return sectionFails(logger_.get(), text, "createLUTReport: failed to get LUT file from flash");
        const std::span<const uint8_t> table(lutBuffer_.data(), flashmap::kLutSize);
        text.linef("File Size:\t%u", flashmap::kLutSize);
        text.linef("LUT Checksum:\t0x%x", static_cast<unsigned>(fletcher16(table.data(), table.size())));

        logger_->log(kLogInfo, "createLUTReport: writing lut to file...\n");
        if (const int error = writeReportFile(lutFile, table)) {
            reportFilesWritten_ = false;
            logger_->log(kLogError, "createLUTReport: unable to write %s: %s\n", lutFile.c_str(), std::strerror(error));
            return sectionFails(logger_.get(), text, "createLUTReport: Failed to create LUT report file",
                                "createLUTReport: Failed to create LUT report File");
        }
        text.linef("LUT Data dumped to '%s'", lutFile.c_str());
        appendErasedPairLines(text, table, flashmap::kLutAddress);

        logger_->log(kLogInfo, "createLUTReport: Reading alignment data...\n");
        CamConfigBlock block;
        if (!getVeltrion2CamConfigBlock(block, devPath))
            return sectionFails(logger_.get(), text, "createLUTReport: failed to read config file from flash",
                                "createLutReport: failed to config file from flash");
        text.line("Alignment data:");
        text.linef("TOP ctg0   = 0x%04x", block.ctg[0]);
        text.linef("TOP ctg1   = 0x%04x", block.ctg[1]);
        text.linef("TOP ctg2   = 0x%04x", block.ctg[2]);
        text.linef("Right ctg0 = 0x%04x", block.ctg[3]);
        text.linef("Right ctg1 = 0x%04x", block.ctg[4]);
        return true;
    });
}

bool Veltrion2CamMgr::createBootloaderBackupReport(const std::string& devPath, std::string& section) {
    return buildSection(section, [&](ReportText& text) {
        logger_->log(kLogInfo, "createBootloaderBackupReport: Reading Bootloader...\n");
        std::vector<uint8_t> region(flashmap::kBootLoaderRegionSize);
        if (!readFlashContents(flashmap::kBootLoaderAddress, region.data(), flashmap::kBootLoaderRegionSize, devPath))
            return sectionFails(logger_.get(), text,
                                "createBootloaderBackupReport: failed to read Bootloader from flash");
        appendBootImageLines(text, region,
                             {"\t\t**ERROR** Bootloader header signature is NOT 'CY'", "FX3 Bootloader ",
                              "File Size: \t\t", "Bootloader Checksum: \t"});

        text.line("FX3 backup:");
        region.assign(flashmap::kBackupFx3RegionSize, 0);
        if (!readFlashContents(flashmap::kBackupFx3Address, region.data(), flashmap::kBackupFx3RegionSize, devPath))
            return sectionFails(logger_.get(), text,
                                "createBootloaderBackupReport: failed to read Backup FX3 from flash");
        appendBootImageLines(text, region,
                             {"\t\t**ERROR** Backup FX3 header signature is NOT 'CY'", "Backup FX3 ",
                              "File Size:\t\t", "Backup FX3 Checksum:\t"});
        return true;
    });
}

bool Veltrion2CamMgr::createConfigBlockReport(const std::string& devPath, std::string& section) {
    return buildSection(section, [&](ReportText& text) {
        logger_->log(kLogInfo, "createConfigBlockReport: Reading Config block...\n");
        CamConfigBlock block;
        if (!getVeltrion2CamConfigBlock(block, devPath))
            return sectionFails(logger_.get(), text, "createConfigBlockReport: failed to grab config block data from flash",
                                "createConfigBlockReport: failed to grab config block from flash");
        text.append(configBlockToString(block));
        return true;
    });
}

bool Veltrion2CamMgr::createEnabledFeaturesReport(const std::string& devPath, std::string& section) {
    return buildSection(section, [&](ReportText& text) {
        {
            DeviceSession session(*device_, devPath);
            if (!session.isOpen())
                return sectionFails(logger_.get(), text, "createEnabledFeaturesReport: failed to open dev");
            uint8_t* image = configBlockImage_.data();
            if (!enterSPIMode() ||
                !readBlockAtAddr(configblock::kAddrHigh, configblock::kMainPageLow, image, configblock::kPageSize) ||
                !readBlockAtAddr(configblock::kAddrHigh, configblock::kSecondPageLow,
                                 image + configblock::kSecondPageOffset, configblock::kPageSize))
                return sectionFails(logger_.get(), text,
                                    "createEnabledFeaturesReport: featureConfigBlock not initialized with data",
                                    "createEnabledFeaturesReport: feautreConfigBlock not initialized with data");
        }
        logger_->log(kLogInfo, "createEnabledFeaturesReport: Listing features...\n");
        const auto table = decodeFeatureTable(
            std::span<const uint8_t>(configBlockImage_).subspan(configblock::kSecondPageOffset, configblock::kPageSize));
        appendFeatureLines(text, *table);
        return true;
    });
}

bool Veltrion2CamMgr::createDeviceDescriptorsReport(const std::string& devPath, std::string& section) {
    return buildSection(section, [&](ReportText& text) {
        logger_->log(kLogInfo, "createDeviceDescriptorsReport: Grabbing device decriptors...\n");
        UsbDeviceDescriptor d;
        {
            DeviceSession session(*device_, devPath);
            if (!session.isOpen()) {
                logger_->log(kLogError, "Veltrion2CamMgr::getVeltrion2Info failed to open device path %s\n",
                             devPath.c_str());
                text.errorLine("Veltrion2CamMgr::getVeltrion2Info failed to open device path " + printableLine(devPath));
                return false;
            }
            if (!device_->getDeviceDescriptor(d))
                return sectionFails(logger_.get(), text,
                                    "Veltrion2CamMgr::getVeltrion2Info failed - get device descriptor failed");
        }
        logger_->log(kLogInfo, "createDeviceDescriptorsReport: logging device descriptors...\n");
        text.linef("bLength:\t\t%u", d.bLength);
        text.linef("bDescriptorType:\t%x", d.bDescriptorType);
        text.linef("bcdUSB:\t\t\t%x", d.bcdUSB);
        text.linef("bDeviceClass:\t\t%x", d.bDeviceClass);
        text.linef("bDeviceSubClass:\t%x", d.bDeviceSubClass);
        text.linef("bDeviceProtocol:\t%x", d.bDeviceProtocol);
        text.linef("bMaxPacketSize:\t\t%x", d.bMaxPacketSize0);
        text.linef("idVendor:\t\t%x", d.idVendor);
        text.linef("idProduct:\t\t%x", d.idProduct);
        text.linef("bcdDevice:\t\t%x", d.bcdDevice);
        text.linef("iManufacturer:\t\t%x", d.iManufacturer);
        text.linef("iProduct:\t\t%x", d.iProduct);
        text.linef("iSerialNumber:\t\t%x", d.iSerialNumber);
        text.linef("bNumConfigurations:\t%x", d.bNumConfigurations);
        return true;
    });
}

bool Veltrion2CamMgr::createUSBBusAndPowerReport(const std::string& devPath, std::string& section) {
    return buildSection(section, [&](ReportText& text) {
        int usbType = 0;
        if (!getUSBType(devPath, usbType))
            return sectionFails(logger_.get(), text,
                                "createUSBBusAndPowerReport- getUSBType failed - get device usb bus type failed",
                                "Veltrion2CamMgr::getUSBType failed - get device usb bus type failed");
        int externalPower = 0;
        if (!getExternalPowerPresent(devPath, externalPower))
            return sectionFails(
                logger_.get(), text,
                "createUSBBusAndPowerReport- getExternalPowerPresent failed - get device external power status failed",
                "Veltrion2CamMgr::getExternalPowerPresent failed - get device external power status failed");
        logger_->log(kLogInfo, "createUSBBusAndPowerReport: logging device usb type & power info...\n");
        text.linef("USB Bus Type:\t\t%u", static_cast<unsigned>(usbType));
        text.linef("External Power:\t\t%u", static_cast<unsigned>(externalPower));
        return true;
    });
}

bool Veltrion2CamMgr::generateDeviceReport(bool withFPGA, const std::string& devPath, const std::string& reportDir) {
    reportFilesWritten_ = true;
    ReportText report(kVideoModeLine);
    CameraInfo info;
    if (!getVeltrion2Info(info, devPath)) {
        logger_->log(kLogError, "failed to get cam info\n");
        return false;
    }
    // The serial number names a folder and files: only a safe form of it.
    const std::string serial = printableLine(info.serialNumber);
    const std::string name = reportNamePart(info.serialNumber);
    logger_->log(kLogInfo, "createDir: creating directory for device(%s)\n", serial.c_str());
    const std::string deviceDir = reportDir + kPathSeparator + "device (" + name + ")";
    if (!createDir(deviceDir)) {
        reportFilesWritten_ = false;
        logger_->log(kLogError, "generatedevicereport: failed to create directory for device (%s)\n", serial.c_str());
        return false;
    }
    const std::string reportFile = deviceDir + kPathSeparator + "reportFile(" + name + ").txt";
    const std::string lutFile = deviceDir + kPathSeparator + "LUT(" + name + ").bin";

    // The sections after the first self-test, in report order, each with the
    // line that says the run stopped there.
    struct Step {
        const char* stopped;
        std::function<bool(std::string&)> run;
    };
    const Step steps[] = {
        {"failed generating VerFSChecksumReport report..exiting",
         [&](std::string& s) {
             s += std::string(kSpiModeLine) + reporttext::kLineEnd;
             return createVerFSChecksumReport(withFPGA, info, devPath, s);
         }},
        {"failed generating second bist report...exiting",
         [&](std::string& s) {
             std::string isp;
             const bool ok = GenerateBISTReport(devPath, s, isp);
             s += isp;
             return ok;
         }},
        {"failed generating LUT and Alignment report...exiting",
         [&](std::string& s) { return createLUTReport(devPath, lutFile, s); }},
        {"failed generating bootloader and backup report...exiting",
         [&](std::string& s) { return createBootloaderBackupReport(devPath, s); }},
        {"failed generating config report...exiting", [&](std::string& s) { return createConfigBlockReport(devPath, s); }},
        {"failed to generate enabled features Report...exiting",
         [&](std::string& s) { return createEnabledFeaturesReport(devPath, s); }},
        {"failed to generate device descriptors report...exiting",
         [&](std::string& s) { return createDeviceDescriptorsReport(devPath, s); }},
        {"failed to generate device usb bus and power report...exiting",
         [&](std::string& s) { return createUSBBusAndPowerReport(devPath, s); }},
    };
    const std::array<const char*, std::size(steps)> headings = {
        "", "", "LUT:", "Bootloader:", "Factory Config:", "Enabled Features:", "Device Descriptors:",
        "Device USB and Power Info:"};

    const char* stoppedAt = nullptr;
    // First self-test, taken while the camera streams normally.
    std::string status;
    std::string ignoredIsp;
    if (!GenerateBISTReport(devPath, status, ignoredIsp)) {
        stoppedAt = "failed generating first bist report..exiting";
        logger_->log(kLogError, "%s\n", stoppedAt);
        logLongText(logger_.get(), kLogInfo, "\n\nbist one: " + consoleLines(status) + "\n\n");
    }
    report.append(status);
    for (size_t i = 0; !stoppedAt && i < std::size(steps); ++i) {
        std::string section;
        if (*headings[i]) section = std::string(headings[i]) + reporttext::kLineEnd;
        const bool ok = steps[i].run(section);
        report.append(section);
        if (!ok) {
            stoppedAt = steps[i].stopped;
            logger_->log(kLogError, "%s\n", stoppedAt);
        }
    }
    // A partial report says where it ends, so nobody takes it for whole.
    if (stoppedAt) report.errorLine(std::string("report incomplete - ") + stoppedAt);

    const std::string& text = report.str();
    if (const int error = writeReportFile(reportFile, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()))) {
        reportFilesWritten_ = false;
        logger_->log(kLogError, "failed to ceate file %s or failed to dump (%s)\n", reportFile.c_str(),
                     std::strerror(error));
        return false;
    }
    if (stoppedAt) return false;
    logger_->log(kLogInfo, "Report file generated for device (%s)\n\n", serial.c_str());
    return true;
}

}  // namespace veltrion
