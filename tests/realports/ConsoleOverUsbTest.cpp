// The built console tool over the real libusb path: the tool runs in a child
// process under the preload, with no VELTRION_SIM, and reaches the simulated
// cameras through the bridge in this process. Each run must print exactly
// what the same tool prints over the simulator's own port for the same
// cameras, device paths (and the seconds a phase took) aside.
//
// Actions that only read run over both ports on the same bus folder; actions
// that change a camera run on twin folders set up alike, and the cameras
// must end up alike too.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Bus.h"
#include "ChildProcess.h"
#include "Preload.h"
#include "UsbBridge.h"
#include "format/FlashMap.h"
#include "support/ForeignWriterLock.h"
#include "support/TempDir.h"

namespace veltrion::realports::test {
namespace {

const std::string kToolProgram = VELTRION_BIN_DIR "/VemtoK4UtilsExe";
const std::string kSimProgram = VELTRION_BIN_DIR "/veltrion-sim";
const std::string kSerial0 = "A1B2C3D4E5F6";
const std::string kSerial1 = "0123456789AB";
constexpr uint16_t kV3VideoAudio = 0x0003;
constexpr uint16_t kV2sVideoAudio = 0xc002;
constexpr int kFailure = 255;  // exit status -1 as the shell sees it
constexpr const char* kSimVariable = "VELTRION_SIM";
constexpr const char* kTestbedVariable = "UMOCKDEV_DIR";
constexpr const char* kPreloadVariable = "LD_PRELOAD";
constexpr const char* kStateVariable = "XDG_STATE_HOME";
constexpr const char* kRuntimeVariable = "XDG_RUNTIME_DIR";

const std::string kUvcChannelLine = "Using channel: UVC\n";
const std::string kVendorChannelLine = "Using channel: Veltrion-C\n";
constexpr const char* kSourceNote = "creating new MF source for dev ";
constexpr size_t kConfigStart = 0x80000;  // the configuration block, per camera
constexpr size_t kConfigEnd = 0x90000;

// A bus folder and the folder the tool runs in (its files, its backups, and
// the runtime folder that holds the real port's camera locks, so runs of
// other tests never share them).
struct Workspace {
    Workspace() { std::filesystem::create_directories(runtimeDir); }

    TempDir root{"realports-console"};
    std::filesystem::path busDir = root.path() / "bus";
    std::filesystem::path runtimeDir = root.path() / "runtime";
    camsim::Bus bus{busDir};

    std::string file(const std::string& name) const { return (root.path() / name).string(); }
    std::vector<std::string> environment(const std::vector<std::string>& drop) const {
        auto names = drop;
        names.push_back(kRuntimeVariable);
        auto env = environmentWithout(names);
        env.push_back(std::string(kStateVariable) + "=" + file("state"));
        env.push_back(std::string(kRuntimeVariable) + "=" + runtimeDir.string());
        return env;
    }
};

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool hasVariable(const std::vector<std::string>& environment, const std::string& name) {
    for (const auto& entry : environment)
        if (entry.rfind(name + "=", 0) == 0) return true;
    return false;
}

// What may differ between two runs of the tool whatever port it uses: the
// seconds a phase took, the folder it works in, the time in a backup's name
// and an address it prints.
ChildResult normalized(ChildResult result, const Workspace& ws) {
    static const std::regex seconds("took [0-9]+ secs");
    static const std::regex stamp("[0-9]{8}-[0-9]{6}Z");
    static const std::regex address("dev path = 0x[0-9a-f]+");
    for (std::string* text : {&result.out, &result.err}) {
        replaceAll(*text, ws.root.str(), "<work>");
        *text = std::regex_replace(*text, seconds, "took N secs");
        *text = std::regex_replace(*text, stamp, "<time>");
        *text = std::regex_replace(*text, address, "dev path = <address>");
    }
    return result;
}

// The counters of what a camera did to its flash and on the bus; transfer
// counts differ, as the kernel reads descriptors at every enumeration.
std::map<std::string, uint64_t> effects(std::map<std::string, uint64_t> stats) {
    std::erase_if(stats, [](const auto& entry) {
        return entry.first.rfind("transfers-", 0) == 0 || entry.first == "status-polls";
    });
    return stats;
}

std::string lastLine(const std::string& text) {
    std::istringstream in(text);
    std::string line, last;
    while (std::getline(in, line)) last = line;
    return last;
}

// The UVC channel's form of an action.
std::vector<std::string> withUvc(std::vector<std::string> args) {
    args.insert(args.begin(), "--uvc");
    return args;
}

// What a run printed after its channel line, without the UVC channel's note
// that it opened the camera's capture source.
std::string uvcBody(const ChildResult& run, const std::string& channelLine) {
    EXPECT_EQ(run.out.rfind(channelLine, 0), 0u) << run.out;
    std::istringstream in(run.out.substr(std::min(run.out.size(), channelLine.size())));
    std::string text;
    for (std::string line; std::getline(in, line);)
        if (line.rfind(kSourceNote, 0) != 0) text += line + "\n";
    return text;
}

std::string withoutBusType(const std::string& text) {
    static const std::regex busType("USB Bus Type = 0x[0-9a-f]+\n");
    return std::regex_replace(text, busType, "");
}

// -r's line for these bytes.
std::string hexLine(const std::vector<uint8_t>& bytes) {
    std::string text = "0x";
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text + "\n";
}

class ConsoleOverUsb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(preloadActive()) << "run under LD_PRELOAD=" << kPreloadLibrary << " (ctest sets it)";
    }

    static void addTwoCameras(Workspace& ws) {
        ws.bus.add("cam0", kV3VideoAudio, kSerial0, false);
        ws.bus.add("cam1", kV2sVideoAudio, kSerial1, false);
    }

    // The tool over the simulator's own port, as a user without the testbed runs it.
    static ChildResult overSim(const Workspace& ws, const std::vector<std::string>& args) {
        auto env = ws.environment({kSimVariable, kTestbedVariable, kPreloadVariable});
        env.push_back(std::string(kSimVariable) + "=" + ws.busDir.string());
        return normalized(runChild(kToolProgram, args, env, ws.root.str()), ws);
    }

    // The tool over libusb and the bridge; its device paths are written as
    // the simulator's port names the same cameras.
    static ChildResult overUsb(const Workspace& ws, const std::vector<std::string>& args) {
        UsbBridge bridge(ws.busDir);
        const auto env = ws.environment({kSimVariable});
        // A child without both would talk to the host's own USB devices.
        if (!hasVariable(env, kPreloadVariable) || !hasVariable(env, kTestbedVariable)) {
            ADD_FAILURE() << "the child would not run on the testbed";
            return {};
        }
        const auto devices = bridge.devices();  // a path stays with its port through resets
        ChildResult result = runChild(kToolProgram, args, env, ws.root.str());
        EXPECT_TRUE(bridge.waitForClosedClients()) << "the tool left device nodes open";
        for (const auto& device : devices) {
            replaceAll(result.out, device.usbPath, device.simPath);
            replaceAll(result.err, device.usbPath, device.simPath);
        }
        return normalized(result, ws);
    }

    static void expectSame(const ChildResult& usb, const ChildResult& sim) {
        EXPECT_EQ(usb.status, sim.status);
        EXPECT_EQ(usb.out, sim.out);
        EXPECT_EQ(usb.err, sim.err);
    }

    // Over both ports on one folder, simulator first; prepare (if given) sets
    // the cameras up before each run.
    ChildResult sameOverBothPorts(const std::vector<std::string>& args, const std::function<void()>& prepare = {}) {
        if (prepare) prepare();
        const ChildResult sim = overSim(main, args);
        if (prepare) prepare();
        const ChildResult usb = overUsb(main, args);
        expectSame(usb, sim);
        return usb;
    }

    // Over the simulator's port on the main folder and over libusb on the twin.
    ChildResult sameOnTwins(const std::vector<std::string>& args) {
        const ChildResult sim = overSim(main, args);
        const ChildResult usb = overUsb(twin, args);
        expectSame(usb, sim);
        return usb;
    }

    void expectTwinsAlike(const std::string& camera) {
        EXPECT_EQ(effects(twin.bus.stats(camera)), effects(main.bus.stats(camera))) << camera;
        EXPECT_TRUE(twin.bus.readFlash(camera, 0, flashmap::kFlashSize) ==
                    main.bus.readFlash(camera, 0, flashmap::kFlashSize))
            << camera << ": the flash differs";
    }

    // Component files from make-firmware, built into an update image with -c
    // (which reads files only); returns the image's path.
    std::string buildImage(const std::vector<std::string>& options) {
        std::vector<std::string> args{"--dir", main.busDir.string(), "make-firmware", "--out", main.file("firmware")};
        args.insert(args.end(), options.begin(), options.end());
        const ChildResult made = runChild(kSimProgram, args, main.environment({}), main.root.str());
        EXPECT_EQ(made.status, 0) << made.out << made.err;
        std::vector<std::string> create{"-c"};
        std::istringstream words(lastLine(made.out));
        for (std::string word; words >> word;) create.push_back(word);
        const std::string image = main.file("camera.img");
        create.push_back(image);
        const ChildResult created = overSim(main, create);
        EXPECT_EQ(created.status, 0) << created.out;
        return image;
    }

    Workspace main;
    Workspace twin;
};

TEST_F(ConsoleOverUsb, DisplayAllShowsTheSameBlocks) {
    addTwoCameras(main);
    const ChildResult r = sameOverBothPorts({"-d", "all"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.says("Device 1 found:\n")) << r.out;
    EXPECT_TRUE(r.says("SerialNumber = " + kSerial1 + "\n")) << r.out;
    sameOverBothPorts({"-d", "1"});
    sameOverBothPorts({"-d", "2"});
}

TEST_F(ConsoleOverUsb, DisplayWithCameraFaults) {
    addTwoCameras(main);
    // Firmware that stalls the system-loaded request still counts as ready.
    main.bus.fault("cam0", "refuse-df", "1");
    sameOverBothPorts({"-d", "0"});
    // A version request that fails leaves the versions unread.
    const ChildResult r = sameOverBothPorts({"-d", "1"}, [this] { main.bus.fault("cam1", "fail-next", "fe:1"); });
    EXPECT_FALSE(r.says("FX3_Version  = 0x4")) << r.out;
}

TEST_F(ConsoleOverUsb, BrokenCameraCount) {
    addTwoCameras(main);
    sameOverBothPorts({"-b"});
    main.bus.add("cam2", kV3VideoAudio, "FEDCBA987654", true);
    const ChildResult r = sameOverBothPorts({"-b"});
    EXPECT_TRUE(r.says("There is(are) 1 Broken \"WestBridge\" Veltrion2 camera(s) in the system\n")) << r.out;
    // The boot loader is no camera of the line.
    sameOverBothPorts({"-d", "all"});
}

TEST_F(ConsoleOverUsb, RebootLeavesTheBusAndComesBack) {
    addTwoCameras(main);
    const ChildResult r = sameOverBothPorts({"--reboot", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(main.bus.stats("cam0").at("resets"), 2u);
    EXPECT_EQ(main.bus.stats("cam1").at("resets"), 0u);
    sameOverBothPorts({"--reboot", "all"});
    EXPECT_EQ(main.bus.stats("cam0").at("resets"), 4u);
    EXPECT_EQ(main.bus.stats("cam1").at("resets"), 2u);
    // Back on the bus and answering.
    sameOverBothPorts({"-d", "all"});
}

TEST_F(ConsoleOverUsb, FlashReadWriteAndErase) {
    addTwoCameras(main);
    addTwoCameras(twin);
    sameOverBothPorts({"-r", "0", "0x1000", "64"});
    sameOnTwins({"-w", "1", "0x300010", "0x01020304"});
    EXPECT_TRUE(sameOverBothPorts({"-r", "1", "0x300010", "4"}).says("0x01020304\n"));
    sameOnTwins({"-e", "1", "0x300010"});
    EXPECT_TRUE(overUsb(twin, {"-r", "1", "0x300010", "4"}).says("0xffffffff\n"));
    expectTwinsAlike("cam1");
}

TEST_F(ConsoleOverUsb, ConfigurationCalibrationEepromAndFeatures) {
    addTwoCameras(main);
    addTwoCameras(twin);
    sameOverBothPorts({"-s", "all"});
    sameOverBothPorts({"--read-calib", "0"});
    sameOverBothPorts({"-m", "1", "0", "16"});
    sameOverBothPorts({"-g", "all", "3", "3", "11", "3"});
    const std::string json = main.file("features.json");
    sameOverBothPorts({"-j", "0", json});
    std::ifstream written(json);
    EXPECT_TRUE(written.good()) << "-j wrote no file";

    for (Workspace* ws : {&main, &twin})
        std::ofstream(ws->file("calib.txt")) << "focal length 1: 1201.5\nk1 2:-0.125\noverlapx 0: 77\n";
    const ChildResult write = sameOnTwins({"--write-calib", "0", main.file("calib.txt")});
    EXPECT_EQ(write.status, 0) << write.out;
    EXPECT_TRUE(overUsb(twin, {"--read-calib", "0"}).says("focal length 1: 1201.500\n"));
    expectTwinsAlike("cam0");
}

TEST_F(ConsoleOverUsb, UpdateWritesTheSameFlash) {
    main.bus.add("cam0", kV3VideoAudio, kSerial0, false);
    twin.bus.add("cam0", kV3VideoAudio, kSerial0, false);
    const std::string image = buildImage({"--group", "V3G"});
    sameOnTwins({"-t", "0", image});
    const ChildResult update = sameOnTwins({"-p", "0", image});
    EXPECT_EQ(update.status, 0) << update.out;
    EXPECT_TRUE(update.says("Update Successful: Please reboot the updated camera\n")) << update.out;
    expectTwinsAlike("cam0");

    sameOnTwins({"--reboot", "0"});
    const ChildResult shown = sameOnTwins({"-d", "0"});
    EXPECT_TRUE(shown.says("FX3_Version  = 0x43020000\n")) << shown.out;
}

TEST_F(ConsoleOverUsb, PowerLossDuringAnUpdateThenRepair) {
    main.bus.add("cam0", kV3VideoAudio, kSerial0, false);
    twin.bus.add("cam0", kV3VideoAudio, kSerial0, false);
    const std::string image = buildImage({"--group", "V3G"});
    for (Workspace* ws : {&main, &twin}) ws->bus.fault("cam0", "power-loss-after-pages", "2000");
    // The camera drops off the bus in the middle of the FPGA image.
    const ChildResult cut = sameOnTwins({"-p", "0", image});
    EXPECT_EQ(cut.status, kFailure);
    EXPECT_TRUE(cut.says("Veltrion2CamMgr::updateCameraFirmware - failed program FPGA\n")) << cut.out;
    sameOnTwins({"-d", "0"});

    for (Workspace* ws : {&main, &twin}) ws->bus.replug("cam0");
    const ChildResult repair = sameOnTwins({"-p", "0", image});
    EXPECT_EQ(repair.status, 0) << repair.out;
    expectTwinsAlike("cam0");
}

TEST_F(ConsoleOverUsb, SecondWriterIsRefusedAtOnceWhileReadersGoOn) {
    addTwoCameras(main);
    std::ofstream(main.file("calib.txt")) << "focal length 1: 1201.5\n";
    const std::string image = buildImage({"--group", "V3G"});
    const auto flashBefore = main.bus.readFlash("cam0", 0, flashmap::kFlashSize);
    const std::string busy =
        "Veltrion2CamMgr::lockCameraForWriting failed - camera busy: another writer is changing camera " +
        main.bus.find("cam0").path + "\n";
    // Another process writing to cam0: over libusb its lock is named after
    // the bus and port path (cam0 sits on port 1 of bus 1), over the
    // simulator's own port it lies in the camera's folder. A port that looked
    // elsewhere would write, and its run would differ from the other's.
    std::filesystem::create_directories(main.runtimeDir / "veltrion");
    const ForeignWriterLock overUsbPort(main.runtimeDir / "veltrion" / "usb-1-1.lock");
    const ForeignWriterLock overSimPort(main.busDir / "cam0" / "writer.lock");
    ASSERT_TRUE(overUsbPort.held() && overSimPort.held());

    const ChildResult calibration = sameOverBothPorts({"--write-calib", "0", main.file("calib.txt")});
    EXPECT_EQ(calibration.status, kFailure);
    EXPECT_TRUE(calibration.says(busy)) << calibration.out;
    const ChildResult write = sameOverBothPorts({"-w", "0", "0x300010", "0x01020304"});
    EXPECT_EQ(write.status, kFailure);
    EXPECT_TRUE(write.says(busy)) << write.out;
    const ChildResult update = sameOverBothPorts({"-p", "0", "-f", image});
    EXPECT_EQ(update.status, kFailure);
    EXPECT_TRUE(update.says(busy)) << update.out;
    EXPECT_EQ(sameOverBothPorts({"-d", "0"}).status, 0);
    EXPECT_EQ(sameOverBothPorts({"-r", "0", "0x300010", "4"}).status, 0);
    EXPECT_TRUE(main.bus.readFlash("cam0", 0, flashmap::kFlashSize) == flashBefore) << "the flash changed";
}

// The update waits 20 seconds for recovered controllers on each port.
TEST_F(ConsoleOverUsb, CameraLeftInBootModeIsRecovered) {
    main.bus.add("cam0", kV3VideoAudio, kSerial0, false);
    twin.bus.add("cam0", kV3VideoAudio, kSerial0, false);
    const std::string image = buildImage({"--group", "V3G"});
    // Power fails after the backup FX3 image, while the boot loader is written.
    for (Workspace* ws : {&main, &twin}) ws->bus.fault("cam0", "power-loss-after-pages", "520");
    EXPECT_EQ(sameOnTwins({"-p", "0", image}).status, kFailure);
    for (Workspace* ws : {&main, &twin}) ws->bus.replug("cam0");
    EXPECT_TRUE(sameOnTwins({"-b"}).says("There is(are) 1 Broken \"WestBridge\" Veltrion2 camera(s) in the system\n"));

    // RAM download to the boot loader, which then enumerates as the camera.
    const ChildResult recover = sameOnTwins({"-p", "all", image});
    EXPECT_EQ(recover.status, 0) << recover.out;
    EXPECT_TRUE(recover.says("Update Successful: Please reboot all cameras\n")) << recover.out;
    sameOnTwins({"--reboot", "all"});
    expectTwinsAlike("cam0");
    EXPECT_TRUE(sameOnTwins({"-d", "0"}).says("System Ready = 1\n"));
}

// The UVC channel (--uvc) over the real V4L2 and udev ports: each request
// crosses the capture node's extension unit to the same camera, and gives what
// the vendor channel gives. The video function does not tell the bus speed.
TEST_F(ConsoleOverUsb, UvcChannelOverTheCaptureNode) {
    main.bus.add("cam0", kV3VideoAudio, kSerial0, false);
    twin.bus.add("cam0", kV3VideoAudio, kSerial0, false);
    const std::string image = buildImage({"--group", "V3G"});

    const ChildResult shown = overUsb(main, {"--uvc", "-d", "0"});
    EXPECT_EQ(shown.status, 0) << shown.out;
    const ChildResult vendorShown = overUsb(main, {"-d", "0"});
    EXPECT_EQ(withoutBusType(uvcBody(shown, kUvcChannelLine)),
              withoutBusType(uvcBody(vendorShown, kVendorChannelLine)));
    EXPECT_TRUE(shown.says("SerialNumber = " + kSerial0 + "\n")) << shown.out;

    constexpr uint32_t kReadAddress = 0x10000, kReadLength = 300;
    const ChildResult read = overUsb(main, {"--uvc", "-r", "0", "0x10000", "300"});
    EXPECT_EQ(uvcBody(read, kUvcChannelLine), hexLine(main.bus.readFlash("cam0", kReadAddress, kReadLength)));

    // Written over the UVC channel on one twin and the vendor channel on the
    // other (the simulator's port: the libusb one is shown alike above), so
    // both flashes stay comparable.
    const std::vector<std::string> write{"-w", "0", "0x300010", "0x01020304"};
    EXPECT_EQ(overUsb(twin, withUvc(write)).status, 0);
    EXPECT_EQ(overSim(main, write).status, 0);
    EXPECT_EQ(twin.bus.readFlash("cam0", 0x300010, 4), (std::vector<uint8_t>{0x01, 0x02, 0x03, 0x04}));

    const ChildResult update = overUsb(twin, {"--uvc", "-p", "0", image});
    EXPECT_EQ(update.status, 0) << update.out;
    EXPECT_TRUE(update.says("Update Successful: Please reboot the updated camera\n")) << update.out;
    EXPECT_EQ(overSim(main, {"-p", "0", image}).status, 0);
    // The firmware areas are equal; the configuration block is each camera's own.
    const auto overVendor = main.bus.readFlash("cam0", 0, flashmap::kFlashSize);
    const auto overUvc = twin.bus.readFlash("cam0", 0, flashmap::kFlashSize);
    ASSERT_EQ(overVendor.size(), overUvc.size());
    EXPECT_TRUE(std::equal(overVendor.begin(), overVendor.begin() + kConfigStart, overUvc.begin()));
    EXPECT_TRUE(std::equal(overVendor.begin() + kConfigEnd, overVendor.end(), overUvc.begin() + kConfigEnd));

    EXPECT_EQ(overUsb(twin, {"--uvc", "--reboot", "0"}).status, 0);
    const ChildResult rebooted = overUsb(twin, {"--uvc", "-d", "0"});
    EXPECT_TRUE(rebooted.says("FX3_Version  = 0x43020000\n")) << rebooted.out;
}

// (-b on an empty bus differs: a real bus always has its root hub, so the
// list of all USB devices is never empty there.)
TEST_F(ConsoleOverUsb, NoCameraAndBadNumbers) {
    sameOverBothPorts({"-d", "all"});
    addTwoCameras(main);
    sameOverBothPorts({"-d", "5"});
    sameOverBothPorts({"--reboot", "x"});
}

}  // namespace
}  // namespace veltrion::realports::test
