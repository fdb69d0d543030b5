#include "Dispatch.h"

#include <array>
#include <cstdio>

#include "ConfigActions.h"
#include "ControlActions.h"
#include "DeviceActions.h"
#include "FeatureActions.h"
#include "FlashActions.h"
#include "MonitorActions.h"
#include "NumberArgument.h"
#include "ParallelUpdate.h"
#include "ReportActions.h"
#include "UpdateActions.h"

namespace veltrion::cli {

namespace {

using Args = std::vector<std::string>;

// Argument positions after pre-processing.
constexpr size_t kSelector = 2;  // the camera selector
constexpr size_t kArg3 = 3;
constexpr size_t kArg4 = 4;
constexpr size_t kArg5 = 5;

// -c: the eight component files and the output file, plus triples of
// (LUT directory, alignment file, camera serial).
constexpr size_t kSingleImageMinCount = 11;
constexpr size_t kSingleImageGroupSize = 3;
constexpr size_t kUnifiedImageMinCount = 5;
constexpr size_t kFeatureValuesMinCount = 5;
constexpr size_t kUpdateMinCount = 4;
constexpr size_t kForcedUpdateMinCount = 5;
constexpr const char* kForceFlag = "-f";

struct ActionEntry {
    const char* option;
    bool (*countFits)(const Args& args);
    bool (*run)(ActionContext& context);
};

template <size_t N>
bool exactly(const Args& args) {
    return args.size() == N;
}

const std::string& selector(const ActionContext& c) { return c.args[kSelector]; }

std::vector<std::string> argumentsAfterAction(const Args& args) {
    return std::vector<std::string>(args.begin() + kSelector, args.end());
}

bool updateFits(const Args& args) {
    if (args.size() < kUpdateMinCount) return false;
    return args.size() < kForcedUpdateMinCount || args[kArg3] == kForceFlag;
}

bool runUpdate(ActionContext& c) {
    const bool force = c.args.size() >= kForcedUpdateMinCount;
    const std::string& image = force ? c.args[kArg4] : c.args[kArg3];
    if (selector(c) == "all" && c.jobs > 0)
        return updateAllCamerasAtOnce(image, force, c.jobs, c.useVendorChannel, c.mgr);
    return updateCameraFirmware(selector(c), image, force, c.mgr);
}

bool singleImageFits(const Args& args) {
    return args.size() >= kSingleImageMinCount &&
           (args.size() - kSingleImageMinCount) % kSingleImageGroupSize == 0;
}

bool featureValuesFit(const Args& args) {
    return args.size() >= kFeatureValuesMinCount && args.size() % 2 == 1;
}

// A feature code and a length each travel in a 16-bit request field.
constexpr uint32_t kMaxRequestField = 0xFFFF;

bool runFeatureValues(ActionContext& c) {
    Logger& log = c.mgr.logger();
    std::vector<int> ids;
    std::vector<int> lengths;
    for (size_t i = kArg3; i + 1 < c.args.size(); i += 2) {
        uint32_t id = 0;
        if (parseNumber(c.args[i], NumberBase::Decimal, kMaxRequestField, id) != NumberParse::Ok) {
            log.log(kLogError, "displayFeatureValues: invalid feature id %s\n", c.args[i].c_str());
            return false;
        }
        uint32_t length = 0;
        if (parseNumber(c.args[i + 1], NumberBase::Decimal, kMaxRequestField, length) != NumberParse::Ok) {
            log.log(kLogError, "displayFeatureValues: invalid feature length %s\n", c.args[i + 1].c_str());
            return false;
        }
        ids.push_back(static_cast<int>(id));
        lengths.push_back(static_cast<int>(length));
    }
    return displayFeatureValues(selector(c), ids, lengths, c.mgr);
}

// A text -m cannot read is a failure of the run: no EEPROM access is made.
// Numbers past 32 bits are refused here; the EEPROM's own limits are checked
// by the action.
bool runEepromRead(ActionContext& c) {
    Logger& log = c.mgr.logger();
    uint32_t address = 0;
    switch (parseNumber(c.args[kArg3], NumberBase::Hexadecimal, UINT32_MAX, address)) {
        case NumberParse::Ok:
            break;
        case NumberParse::NotANumber:
            log.log(kLogError, "unable to scan addr from %s\n", c.args[kArg3].c_str());
            return false;
        case NumberParse::OutOfRange:
            log.log(kLogError, "displayEEPROMData: addr %s beyond the EEPROM's 16-bit addresses\n",
                    c.args[kArg3].c_str());
            return false;
    }
    uint32_t length = 0;
    switch (parseNumber(c.args[kArg4], NumberBase::Decimal, UINT32_MAX, length)) {
        case NumberParse::Ok:
            break;
        case NumberParse::NotANumber:
            log.log(kLogError, "unable to scan length from %s\n", c.args[kArg4].c_str());
            return false;
        case NumberParse::OutOfRange:
            log.log(kLogError, "displayEEPROMData: length %s above the %u-byte limit of one read\n",
                    c.args[kArg4].c_str(), static_cast<unsigned>(Veltrion2CamMgr::kMaxEepromReadLength));
            return false;
    }
    return displayEEPROMData(selector(c), address, length, c.mgr);
}

bool unifiedImageFits(const Args& args) { return args.size() >= kUnifiedImageMinCount; }

bool runUnifiedImage(ActionContext& c) { return createUnifiedImage(argumentsAfterAction(c.args), c.mgr); }

bool runFaceDetectSensitivity(ActionContext& c) {
    if (!setFaceDetectSensitivity(selector(c), c.args[kArg3], c.mgr)) return false;
    std::printf("Succesfully set fd sen to %s\n", c.args[kArg3].c_str());
    return true;
}

bool runFaceBox(ActionContext& c) {
    const std::string& enableText = c.args[kArg3];
    if (enableText != "0" && enableText != "1") {
        std::printf("enable argument can only be 0 or 1\n");
        return false;
    }
    const bool enable = enableText == "1";
    if (!setFaceBox(selector(c), enable, c.mgr)) return false;
    std::printf("SUccessfully %s face box\n", enable ? "enable" : "disable");
    return true;
}

// The sensor temperatures are reachable over the extension unit only.
bool runSensorTemperatures(ActionContext& c) {
    if (c.useVendorChannel) {
        std::printf("sensor temp can only be read from UVC channel. Please re-run the command with --uvc argument\n");
        return false;
    }
    return displaySensorTemperatures(selector(c), c.mgr);
}

// Matched in this order; the first option equal to args[1] wins. "-uni" is
// the spelling the usage examples print.
const std::array<ActionEntry, 25> kActions{{
    {"-z", exactly<3>, [](ActionContext& c) { return createReport(selector(c), c.mgr); }},
    {"-t", exactly<4>, [](ActionContext& c) { return displayDeviceUpdateInfo(selector(c), c.args[kArg3], c.mgr); }},
    {"-d", exactly<3>, [](ActionContext& c) { return displayDeviceInfo(selector(c), c.mgr); }},
    {"-b", exactly<2>, [](ActionContext& c) { return reportBrokenCameras(c.mgr); }},
    {"-p", updateFits, runUpdate},
    {"-c", singleImageFits, [](ActionContext& c) { return createSingleImage(argumentsAfterAction(c.args), c.mgr); }},
    {"--uni", unifiedImageFits, runUnifiedImage},
    {"-uni", unifiedImageFits, runUnifiedImage},
    {"-i", exactly<3>, [](ActionContext& c) { return displaySelfTestInfo(selector(c), c.mgr); }},
    {"-s", exactly<3>, [](ActionContext& c) { return displayConfigBlock(selector(c), c.mgr); }},
    {"-g", featureValuesFit, runFeatureValues},
    {"-r", exactly<5>,
     [](ActionContext& c) { return displayFlashContents(selector(c), c.args[kArg3], c.args[kArg4], c.mgr); }},
    {"-w", exactly<5>,
     [](ActionContext& c) { return programOrEraseFlash(selector(c), c.args[kArg3], c.args[kArg4], false, c.mgr); }},
    {"-e", exactly<4>,
     [](ActionContext& c) { return programOrEraseFlash(selector(c), c.args[kArg3], std::string(), true, c.mgr); }},
    {"--reboot", exactly<3>, [](ActionContext& c) { return rebootCameras(c.mgr, selector(c)); }},
    {"-m", exactly<5>, runEepromRead},
    {"-j", exactly<4>, [](ActionContext& c) { return extractJson(selector(c), c.args[kArg3], c.mgr); }},
    {"--read-calib", exactly<3>, [](ActionContext& c) { return readCalibration(selector(c), c.mgr); }},
    {"--write-calib", exactly<4>,
     [](ActionContext& c) { return writeCalibration(selector(c), c.args[kArg3], c.mgr); }},
    {"--start-roi", exactly<3>, [](ActionContext& c) { return runROIMonitor(selector(c), c.mgr); }},
    {"--start-raw-face", exactly<3>, [](ActionContext& c) { return runRawFaceMonitor(selector(c), c.mgr); }},
    {"--preset", exactly<6>,
     [](ActionContext& c) { return applyPreset(selector(c), c.args[kArg3], c.args[kArg4], c.args[kArg5], c.mgr); }},
    {"--fd-sen", exactly<4>, runFaceDetectSensitivity},
    {"--face-box", exactly<4>, runFaceBox},
    {"--sensor-temp", exactly<3>, runSensorTemperatures},
}};

}  // namespace

ActionResult dispatchAction(ActionContext& context) {
    if (context.args.size() < 2) return ActionResult::Usage;
    const std::string& option = context.args[1];
    for (const ActionEntry& entry : kActions) {
        if (option != entry.option) continue;
        if (!entry.countFits(context.args)) return ActionResult::Usage;
        if (context.jobs > 0 && !(option == "-p" && selector(context) == "all")) {
            std::printf("ERROR: --jobs applies to -p all only\n");
            return ActionResult::Failure;
        }
        return entry.run(context) ? ActionResult::Success : ActionResult::Failure;
    }
    return ActionResult::Usage;
}

}  // namespace veltrion::cli
