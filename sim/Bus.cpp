#include "Bus.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "BootChain.h"
#include "Camera.h"
#include "CameraFolder.h"
#include "CameraName.h"
#include "LookupTable.h"
#include "Factory.h"
#include "FactoryData.h"
#include "HotplugEvents.h"
#include "Registry.h"
#include "Settings.h"
#include "SimError.h"
#include "SimUsbPort.h"
#include "device/CameraIdentity.h"
#include "format/FlashMap.h"

namespace camsim {

namespace fs = std::filesystem;

namespace {

void checkName(const std::string& name) {
    if (!isValidCameraName(name))
        throw SimError("bad camera name '" + name + "' (letters, digits, '-', '_', '.'; not starting with '.')");
}

std::string transferKey(size_t request) {
    char key[32];
    std::snprintf(key, sizeof key, "transfers-0x%02zx", request);
    return key;
}

}  // namespace

Bus::Bus(fs::path dir) : dir_(std::move(dir)) {}

std::shared_ptr<Camera> Bus::camera(const std::string& name) const {
    checkName(name);
    if (!CameraFolder(dir_ / name).exists()) throw SimError("no camera named '" + name + "'");
    return acquireCamera(dir_ / name);
}

void Bus::add(const std::string& name, const AddOptions& options) {
    checkName(name);
    const bool foreign = options.vendorId && *options.vendorId != veltrion::kCameraVendorId;
    const veltrion::CameraIdentity* identity = veltrion::findCameraIdentity(veltrion::kCameraVendorId, options.productId);
    // Another maker's camera may carry any product id; it is built like the
    // line's default model.
    if (!identity && foreign) identity = veltrion::findCameraIdentity(veltrion::kCameraVendorId, kDefaultProductId);
    if (!identity) {
        char pid[8];
        std::snprintf(pid, sizeof pid, "%04x", options.productId);
        throw SimError(std::string("unknown product id ") + pid + " (not a camera of the line)");
    }
    const std::string serial = options.serial.empty() ? defaultSerialFor(name) : options.serial;
    if (!isValidSerial(serial)) throw SimError("bad serial '" + serial + "' (12 letters or digits)");

    std::vector<uint8_t> flash(veltrion::flashmap::kFlashSize, veltrion::flashmap::kErasedByte);
    if (!options.blank) {
        const FirmwareSet firmware = makeFirmwareSet(factoryVersions(identity->vendorId, identity->productId));
        writeFirmwareSet(flash, firmware);
        writeFactoryData(flash, firmware, identity->vendorId, identity->productId, serial);
    }

    CameraState state;
    state.identity.vendorId = options.vendorId.value_or(identity->vendorId);
    state.identity.productId = options.productId;
    state.identity.serial = serial;
    state.identity.friendlyName = name;
    state.identity.model = identity->modelDescription;
    state.running = bootFromFlash(flash);

    std::error_code error;
    fs::create_directories(dir_, error);
    if (error) throw SimError("cannot create bus directory " + dir_.string() + ": " + error.message());
    CameraFolder(dir_ / name).create(state, flash);
    writeFactoryEeprom(CameraFolder(dir_ / name).eepromFile(), identity->vendorId, identity->productId, serial);
    appendBusEvent(dir_, nodeEvent(veltrion::HotplugEvent::Kind::Arrival, name, camera(name)->busView(), wallClockMs()));
}

void Bus::add(const std::string& name, uint16_t productId, const std::string& serial, bool blank) {
    add(name, AddOptions{productId, serial, blank, std::nullopt});
}

void Bus::remove(const std::string& name) {
    camera(name)->detach();
    std::error_code error;
    fs::remove_all(dir_ / name, error);
    if (error) throw SimError("cannot remove camera '" + name + "': " + error.message());
}

void Bus::replug(const std::string& name) { camera(name)->powerCycle(); }

CameraListing Bus::find(const std::string& name) const {
    const auto cam = camera(name);
    const BusView view = cam->busView();
    CameraListing listing;
    listing.name = name;
    listing.path = simDevicePath(name, view.vendorId, view.productId, view.serial);
    listing.vendorId = view.vendorId;
    listing.productId = view.productId;
    listing.serial = view.serial;
    listing.present = view.present;
    listing.bootLoader = view.bootLoader;
    return listing;
}

std::vector<CameraListing> Bus::list() const {
    std::vector<CameraListing> cameras;
    std::error_code error;
    if (!fs::is_directory(dir_, error)) return cameras;
    for (const auto& entry : fs::directory_iterator(dir_, error)) {
        const std::string name = entry.path().filename().string();
        if (!isValidCameraName(name) || !CameraFolder(entry.path()).exists()) continue;
        try {
            cameras.push_back(find(name));
        } catch (const SimError&) {
            // Removed while we looked.
        }
    }
    std::sort(cameras.begin(), cameras.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return cameras;
}

// The setting that rewrites the lookup table in flash rather than the state.
constexpr const char* kLutSetting = "lut";

void Bus::set(const std::string& name, const std::string& key, const std::string& value) {
    CameraState probe;
    applySetting(probe, key, value);  // reject bad input before touching the camera
    if (key == kLutSetting) {
        // As a programmer clip on the chip would: the unit's table, or erased.
        const auto cam = camera(name);
        const std::vector<uint8_t> region =
            value == "factory" ? lookupTableRegion(cam->snapshot().identity.serial) : erasedLookupTableRegion();
        cam->writeFlashDirect(veltrion::flashmap::kLutAddress, region);
        return;
    }
    camera(name)->update([&](CameraState& state) { applySetting(state, key, value); });
}

void Bus::fault(const std::string& name, const std::string& key, const std::string& value) {
    CameraState probe;
    applyFault(probe, key, value);
    camera(name)->update([&](CameraState& state) { applyFault(state, key, value); });
}

std::map<std::string, uint64_t> Bus::stats(const std::string& name) const {
    const CameraState state = camera(name)->snapshot();
    const Counters& counters = state.counters;
    std::map<std::string, uint64_t> out = {
        {"resets", counters.resets},
        {"power-cycles", counters.powerCycles},
        {"pages-programmed", counters.pagesProgrammed},
        {"sectors-erased-4k", counters.sectorsErased4k},
        {"sectors-erased-32k", counters.sectorsErased32k},
        {"sectors-erased-64k", counters.sectorsErased64k},
        {"status-polls", counters.statusPolls},
        {"xu-calls", counters.xuCalls},
        {"control-writes", counters.controlWrites},
        {"checksum-us", counters.checksumUs},
    };
    for (size_t request = 0; request < counters.transfers.size(); ++request)
        if (counters.transfers[request] != 0) out[transferKey(request)] = counters.transfers[request];
    // What the host last set, beside the counters.
    out["fd-sen"] = state.face.sensitivity;
    out["face-box"] = state.face.faceBox ? 1 : 0;
    return out;
}

CameraState Bus::state(const std::string& name) const { return camera(name)->snapshot(); }

void Bus::writeFlash(const std::string& name, uint32_t address, const std::vector<uint8_t>& bytes) {
    camera(name)->writeFlashDirect(address, bytes);
}

std::string Bus::eventLog() const {
    std::ifstream in(hotplugLogFile(dir_));
    std::ostringstream text;
    if (in) text << in.rdbuf();
    return text.str();
}

std::vector<uint8_t> Bus::readFlash(const std::string& name, uint32_t address, uint32_t length) const {
    return camera(name)->readFlashDirect(address, length);
}

}  // namespace camsim
