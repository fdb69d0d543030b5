#pragma once

// The camera manager: the single entry point of the camera library. A program
// asks it for the attached cameras and then names a camera by its device path
// in every call; each call opens the camera, works and closes it again.
//
// The members are spread over files by concern:
//   CamMgrCore.cpp      construction, camera list, camera information, state
//                       queries, reboot, versions
//   CamMgrFlashProtocol.cpp   flash access on the open camera: SPI mode,
//                       status waits, erase, program, verify, block reads, LED
//   CamMgrFlashOperations.cpp flash access by device path: region programming,
//                       read-modify-write, sector erase, reads, checksums
//   CamMgrFlashComponents.cpp flash layout and component writers, checksum query
//   CamMgrFlashJudgement.cpp  what the flash holds against an update image
//   CamMgrImages.cpp    update images (parsers, component checks, image files,
//                       MD5) and image creation (single images, unified
//                       packages, lookup-table and alignment files); the
//                       byte-level work is in UpdateImage, ComponentInfo,
//                       ImageFiles, ImageCreation and LutFiles
//   CamMgrConfig.cpp    configuration block, calibration, registers and
//                       EEPROM; the byte-level work is in ConfigBlock, the
//                       backups before a rewrite in ConfigBackup
//   CamMgrFeatures.cpp  feature layout: the JSON lookups of FeatureLayout,
//                       default values, the camera's JSON, feature queries
//   CamMgrUpdate.cpp    firmware update of one or every camera, image choice
//                       from unified packages (ImageSelection), update check
//   CamMgrRecovery.cpp  boot-mode recovery: RAM download through the boot
//                       loader, boot-chain check and repair
//   CamMgrReport.cpp    device health report and self-test information; the
//                       text pieces are in ReportText, SelfTestBlock,
//                       FlashRegionScan and FeatureTable

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "manager/CameraInfo.h"
#include "manager/FlashJudgement.h"
#include "manager/MonitorCallbacks.h"
#include "manager/MonitorThread.h"
#include "config/ConfigBlock.h"
#include "config/FeatureLayout.h"
#include "config/RegisterMap.h"
#include "flash/BusyTimeEstimate.h"
#include "flash/FlashLayout.h"
#include "flash/FlashProgress.h"
#include "image/ComponentInfo.h"
#include "image/ImageCreation.h"
#include "image/ImageFiles.h"
#include "image/UpdateImage.h"
#include "base/Logger.h"
#include "manager/UpdateProgressCallback.h"
#include "device/B6Device.h"
#include "device/CameraWriteLock.h"
#include "device/uvc/AcceptedProducts.h"

namespace veltrion {

// Versions an image carries: FPGA, FX3, audio, ISP, bootloader, backup FX3.
using ImageVersions = std::array<uint32_t, 6>;

// Which images of a camera's boot chain in flash are sound.
struct BootChainState {
    bool bootLoaderValid = false;
    bool fx3Valid = false;
};

class Veltrion2CamMgr {
public:
    // Builds the device object of the chosen channel. Throws std::runtime_error
    // "Unsupported OS\n" when no usable device object exists, and on the UVC
    // channel "Failed to create XU mgr" when the video stack cannot be reached.
    // products: the cameras the UVC channel accepts (the desktop program
    // accepts two products more than the console tool).
    explicit Veltrion2CamMgr(bool useVendorChannel, AcceptedProducts products = AcceptedProducts::Console);
    // Uses the given device object (tests, or a program that builds its own).
    Veltrion2CamMgr(bool useVendorChannel, std::unique_ptr<B6Device> device);
    ~Veltrion2CamMgr();
    Veltrion2CamMgr(const Veltrion2CamMgr&) = delete;
    Veltrion2CamMgr& operator=(const Veltrion2CamMgr&) = delete;

    // ---- wiring ----
    void setLogger(Logger* logger) { logger_.set(logger); }
    Logger& logger() const { return logger_.get(); }
    void setProgressCallback(CamUpdateProgressCallbackInterface* callback) { progressCallback_ = callback; }
    B6Device* device() const { return device_.get(); }
    bool usesVendorChannel() const { return useVendorChannel_; }

    // ---- camera list and information ----
    bool getCameraList(std::vector<std::string>& paths);
    int getNumBrokenCameras();
    bool getVeltrion2Info(CameraInfo& info, const std::string& devPath);
    bool getDescriptorInfo(CameraInfo& info);
    void isSystemLoaded(const std::string& devPath, bool& loaded, bool& transferOk);

    // ---- state queries ----
    bool getUSBType(const std::string& devPath, int& usbType);
    bool getExternalPowerPresent(const std::string& devPath, int& present);
    bool getCamStreamingStatus(const std::string& devPath, bool& streaming);

    // ---- reboot ----
    bool rebootDevice(const std::string& devPath);
    bool rebootAllVeltrion2Camera();

    // ---- one writer per camera (CamMgrCore.cpp) ----
    // Every public operation that writes a camera's flash holds this for its
    // whole length, before it first opens the camera:
    //     auto writeLock = lockCameraForWriting(devPath);
    //     if (!writeLock) return false;
    // Another process (or thread) that holds the camera makes it fail at once
    // with one "camera busy" line; the same thread may take it again, so an
    // update and the writers it calls nest. Readers take no lock.
    CameraWriteLock lockCameraForWriting(const std::string& devPath);

    // ---- versions and checksum ----
    bool getVersion(const std::string& text, uint32_t& version);
    static std::string versionToString(uint32_t version);
    static uint16_t fletcher16(const uint8_t* data, size_t length);

    // ---- flash access (FlashProtocol.cpp, FlashOperations.cpp) ----
    // These act on the camera that is open at the time. useSyncStatus belongs
    // to the caller's programming sequence: set it to 1 before the sequence.
    bool enterSPIMode();
    bool exitSPIMode();
    void turnOnOffBlueLED(bool on);
    bool waitForFlashWritingDone(int timeoutMs, uint8_t& useSyncStatus);
    bool eraseFlashSector(uint8_t eraseRequest, uint16_t addrHigh, uint16_t addrLow, uint8_t& useSyncStatus);
    bool eraseFlashSectors(uint16_t firstWindow, uint16_t addrLow, uint32_t count, uint8_t& useSyncStatus);
    bool programFlash(uint32_t address, const uint8_t* data, uint32_t size, bool verify, uint8_t& useSyncStatus);
    bool programFlashWithSignatureLast(uint32_t address, const uint8_t* data, uint32_t size, bool verify,
                                       uint8_t& useSyncStatus);
    bool verifyFlashContents(uint32_t address, const uint8_t* expected, uint32_t size);
    bool readBlockAtAddr(uint16_t addrHigh, uint16_t addrLow, uint8_t* destination, uint32_t length);
    // These open the camera by path and close it again before returning.
    bool programSectors(bool verify, uint32_t maxSize, uint32_t address, const uint8_t* data, uint32_t size,
                        const std::string& devPath);
    bool updateFlashContents(uint32_t address, const uint8_t* data, uint32_t length, bool verify,
                             const std::string& devPath);
    bool eraseFlashContents(uint8_t eraseRequest, uint32_t address, const std::string& devPath);
    bool readFlashContents(uint32_t address, uint8_t* destination, uint32_t length, const std::string& devPath);
    bool calcCompCheckSum(int componentType, const uint8_t* data, uint32_t length, uint32_t& checksum);
    // Progress of the component being written (step name, base and spans).
    FlashProgress& flashProgress() { return flashProgress_; }
    // The pause before a retry that reopens the camera (1000 ms).
    void setRetryPause(std::chrono::milliseconds pause) { retryPause_ = pause; }

    // ---- flash layout and component writers (FlashComponents.cpp) ----
    bool getFirmwareCheckSum(const std::string& devPath, int componentType, bool& isMatch, uint32_t& expected,
                             uint32_t& calculated);
    bool verifyFirmwareCheckSum(const std::string& devPath, int componentType);
    bool programIfCheckSumNotMatch(bool verify, uint8_t signature0, uint8_t signature1, uint32_t address,
                                   uint32_t maxSize, const uint8_t* data, uint32_t length,
                                   const std::string& devPath, const std::string& name);
    // One component, compared by the camera's checksum query or, once that is
    // known to be unsupported, by reading the region back.
    bool updateCameraFirmware(int componentType, uint8_t signature0, uint8_t signature1, uint32_t address,
                              uint32_t maxSize, const uint8_t* data, uint32_t length, bool& checksumUnsupported,
                              const std::string& devPath, const std::string& name);
    bool programFPGAFlash(bool verify, const uint8_t* data, uint32_t length, uint32_t address,
                          const std::string& devPath);
    bool programFX3Flash(bool verify, const uint8_t* data, uint32_t length, const std::string& devPath);
    bool programAudioFlash(bool verify, const uint8_t* data, uint32_t length, uint32_t address,
                           const std::string& devPath);
    bool programISPFlash(bool verify, const uint8_t* data, uint32_t length, uint32_t address,
                         const std::string& devPath);
    bool programJsonFlash(const uint8_t* json, uint32_t length, const std::string& devPath);
    // Clears the feature JSON record's tag (a program, no erase), so the
    // record is no image's until programJsonFlash writes it again.
    bool invalidateJsonRecord(const std::string& devPath);
    // Writes the lookup table (98304 bytes) at its place; without one, the
    // table already in the manager's lookup-table buffer.
    bool programLUTs(const uint8_t* lut, const std::string& devPath);
    // The lookup table followed by the five 16-bit alignment values.
    std::vector<uint8_t>& lutBuffer() { return lutBuffer_; }

    // ---- update images (CamMgrImages.cpp) ----
    // A failed parse leaves the record empty.
    bool parseUpdatePackage(const uint8_t* buffer, size_t length, UpdatePackage& package);
    bool parseUpdatePackage(const uint8_t* buffer, size_t length, UnifiedPackage& package);
    // Reads a "VM" component header (the first 256 bytes of the span).
    bool getHeaderInfoFromFlashFile(std::span<const uint8_t> component, ComponentHeaderInfo& info);
    bool getVersionStrFromFilename(const std::string& fileName, std::string& version);
    bool isValidFx3Data(const uint8_t* data, size_t length);
    std::optional<Md5Digest> getMD5Hash(const uint8_t* data, size_t length);
    bool openAndReadFile(const std::string& path, std::vector<uint8_t>& buffer);
    bool openAndDumpFile(const std::string& path, const uint8_t* data, size_t length, bool append);

    // ---- image creation (CamMgrImages.cpp) ----
    // The lookup tables and alignment values pass through lutBuffer().
    bool createSingleImage(const std::vector<std::string>& arguments);
    bool createSingleImage(const SingleImageSources& sources);
    bool createUnifiedImage(const std::vector<std::string>& arguments);
    bool loadAllLUTFilesInDirectory(const std::string& directory);
    bool loadLUTFile(const std::string& file, int position);
    bool loadAlignmentData(const std::string& file);

    // ---- configuration block, calibration, registers and EEPROM (CamMgrConfig.cpp) ----
    // The block image (main page, then second page) is shared by every camera
    // this manager serves; a rewrite reads, patches, erases and writes it
    // within one call, and leaves the camera in SPI mode.
    bool getVeltrion2CamConfigBlock(CamConfigBlock& block, const std::string& devPath);
    void printConfigBlock(const CamConfigBlock& block);
    std::string configBlockToString(const CamConfigBlock& block);
    // Leaves the camera open and in SPI mode for writeConfigBlockData.
    bool prepareConfigBlockBuffer(const std::string& devPath);
    // Saves the block as last read to a backup file (one that cannot be
    // written only warns), erases the sector and writes both pages of the
    // image; a write that fails after the erase writes the old block back once.
    bool writeConfigBlockData(uint8_t& useSyncStatus);
    bool setVeltrion2CamCTGData(int topCtg0, int topCtg1, int topCtg2, int rightCtg0, int rightCtg1,
                                const std::string& devPath);
    bool programCalibrationParam(const CalibrationParams& params, const std::string& devPath);
    // Fails without a message when the parameters were never written.
    bool getCalibrationParam(const std::string& devPath, CalibrationParams& params);
    // The same read, retried as flash reads are; false only when the camera
    // could not be read. written tells whether the parameters were ever
    // written (params is left alone when not).
    bool readCalibrationParam(const std::string& devPath, CalibrationParams& params, bool& written);
    // One request reads at most a flash page's worth, as the UVC channel carries no more.
    static constexpr uint32_t kMaxEepromReadLength = flashmap::kPageSize;
    bool getEEPROMValue(const std::string& devPath, uint16_t address, std::span<uint8_t> destination);
    // These act on the camera that is open at the time.
    bool readRegister(int type, uint16_t address, uint16_t& value);
    bool writeRegister(int type, uint16_t address, uint16_t value);
    const std::vector<uint8_t>& configBlockImage() const { return configBlockImage_; }

    // ---- feature layout (CamMgrFeatures.cpp) ----
    // The root owns the document; the other handles are borrowed from it.
    bool initJsonVariables(const std::string& text, JsonRef& root, json_t*& memoryLayout, json_t*& configurations,
                           json_t*& features, json_t*& baseURL, json_t*& filterControl);
    bool getFeatureAddrLen(json_t* memoryLayout, uint32_t& baseAddress, uint32_t& dataLength);
    bool getFeatureInfo(json_t* memoryLayout, json_t* configurations, json_t* features, json_t* baseURL,
                        FeatureInfo& info, const std::string& featureName, const std::string& propName);
    bool getFeatureMap(json_t* configurations, json_t* features, std::map<std::string, json_t*>& map);
    std::optional<std::vector<uint8_t>> getBufferByValue(uint32_t value, int length);
    // Reads the feature area once and writes it only when a default changed it.
    bool programDefaultFeatureValues(const std::string& jsonText, const std::string& devPath);
    bool getJSONFromCam(const std::string& devPath, const std::string& outputFile);
    // The feature JSON of the image made for the given identity.
    bool extractJsonStr(uint16_t vendorId, uint16_t productId, const std::string& imagePath, std::string& jsonText);
    // One feature query on the open camera, up to three attempts.
    bool getVeltrion2Features(uint16_t featureCode, uint8_t* buffer, uint16_t length);
    bool getValuesFromFeatureIDs(const std::string& devPath, std::vector<FeatureValueRequest>& requests);

    // ---- firmware update (CamMgrUpdate.cpp) ----
    // An update that wrote anything ends with the image's feature defaults
    // and then its feature JSON record. A caller that programs the defaults
    // after every update of its own (the desktop program) turns that off.
    void setFeatureDefaultsInUpdate(bool on) { featureDefaultsInUpdate_ = on; }
    // From an image file (a single image or a unified package); ids of 0 mean
    // the camera's own.
    bool updateCameraFirmware(bool force, bool& updated, uint16_t vendorId, uint16_t productId,
                              const std::string& devPath, const std::string& imagePath);
    // From a single image in memory.
    bool updateCameraFirmware(const uint8_t* image, size_t length, bool force, bool& updated,
                              const std::string& devPath);
    bool getFirmwareFromUnifiedImg(const uint8_t* package, size_t length, uint16_t vendorId, uint16_t productId,
                                   std::vector<uint8_t>& image, const std::string& devPath);
    bool getImageAvailableFirmware(const uint8_t* package, size_t length, uint16_t vendorId, uint16_t productId,
                                   std::vector<uint8_t>& image);
    // Recovers cameras in boot mode first; anyUpdated tells whether a camera
    // needed or received new firmware.
    bool updateCameraFirmwareAllCams(const std::string& imagePath, bool force, bool& anyUpdated);
    bool updateCameraFirmwareAllCams(const uint8_t* image, size_t length, bool force, bool& anyUpdated);
    bool isUpdateNeeded(const std::string& imagePath, bool force, bool& needed, unsigned& seconds,
                        const std::string& devPath);
    bool isUpdateNeeded(const uint8_t* image, size_t length, bool force, bool& needed, unsigned& seconds,
                        const std::string& devPath);
    bool getListOfAvailableFirmwares(uint16_t vendorId, uint16_t productId, std::vector<std::string>& ids,
                                     std::string& ownId, const std::string& packagePath);
    bool getImgVersion(uint16_t vendorId, uint16_t productId, ImageVersions& versions, const std::string& imagePath);
    // What the camera's flash holds against the image (CamMgrFlashJudgement.cpp);
    // empty when the flash could not be read. Leaves the camera out of SPI mode.
    std::optional<FlashJudgement> judgeFlashAgainstImage(const UpdatePackage& package, const std::string& devPath);

    // ---- boot-mode recovery (CamMgrRecovery.cpp) ----
    bool loadBootProgram(const uint8_t* image, size_t length, const std::string& devPath);
    // True when the boot loader and the FX3 firmware in flash are both sound.
    bool isDevFX3Valid(const std::string& devPath);
    std::optional<BootChainState> inspectBootChain(const std::string& devPath);
    void recoverAllCamsFX3(const uint8_t* image, size_t length);
    // The same, telling whether every boot-mode camera came back and every
    // damaged boot chain was written with the camera's own model's image.
    bool recoverBootModeCameras(const uint8_t* image, size_t length);
    // How long recovered controllers get to come back as cameras (20 s).
    void setRecoveryWait(std::chrono::milliseconds wait) { recoveryWait_ = wait; }

    // ---- run-time controls (CamMgrControls.cpp) ----
    static constexpr uint16_t kMaxFaceDetectSensitivity = 0x944;
    bool setFDSen(const std::string& devPath, uint16_t sensitivity);
    bool setFaceBoxInVideo(const std::string& devPath, bool enable);
    // type 0 = PTZ, 1 = image control; action 0 = apply, 1 = save, 2 = reset; button 0..9.
    bool sendPresetCmd(const std::string& devPath, uint16_t type, uint16_t action, uint16_t button);
    bool applyCamPreset(const std::string& devPath, bool imageControl, uint16_t button);
    bool saveCamPreset(const std::string& devPath, bool imageControl, uint16_t button);
    bool resetCamPreset(const std::string& devPath, bool imageControl, uint16_t button);
    bool getSensorTempC(const std::string& devPath, float& sensor0, float& sensor1, float& sensor2);

    // ---- monitors (CamMgrMonitors.cpp) ----
    // One monitor of each kind per path; a second start answers true. Each
    // monitor works on a device object of its own.
    bool startVeltrionSFROIMonitorThread(OnSFROIDataCallback* callback, const std::string& devPath);
    bool stopV2sSFROIMonitorThread(const std::string& devPath);
    bool startVeltrionSFRawFaceMonitorThread(OnSFRawFaceDataCallback* callback, const std::string& devPath);
    bool stopVeltrionSFRawFaceMonitorThread(const std::string& devPath);
    void stopAllROIMonitors();
    void stopAllRawFaceMonitors();
    // How long the raw-face monitor waits between ready polls of an ISP (190 ms).
    void setFaceReadyPause(std::chrono::milliseconds pause) { faceReadyPause_ = pause; }

    // ---- device health report (CamMgrReport.cpp) ----
    // Writes "device (<serial>)/reportFile(<serial>).txt" and the lookup-table
    // dump under reportDir. A section that fails ends the run: the file keeps
    // what was gathered and says where it stopped, and the result is false.
    // The flash reads leave the camera in SPI mode.
    bool generateDeviceReport(bool withFPGA, const std::string& devPath, const std::string& reportDir);
    // After generateDeviceReport: false when its folder, its report file or
    // its lookup-table dump could not be completely written (each named in
    // a log line), whatever the camera answered.
    bool reportFilesWritten() const { return reportFilesWritten_; }
    // The self-test status text and the three ISP information texts.
    bool GenerateBISTReport(const std::string& devPath, std::string& statusText, std::string& ispText);
    void dumpBISTInfo(const std::string& devPath);
    // The sections; each appends a failure line to its text before it fails.
    bool createVerFSChecksumReport(bool withFPGA, const CameraInfo& info, const std::string& devPath,
                                   std::string& section);
    bool createLUTReport(const std::string& devPath, const std::string& lutFile, std::string& section);
    bool createBootloaderBackupReport(const std::string& devPath, std::string& section);
    bool createConfigBlockReport(const std::string& devPath, std::string& section);
    bool createEnabledFeaturesReport(const std::string& devPath, std::string& section);
    bool createDeviceDescriptorsReport(const std::string& devPath, std::string& section);
    bool createUSBBusAndPowerReport(const std::string& devPath, std::string& section);
    // Creates one directory; one that exists already counts as created, but
    // not a link to one: what is written below it must stay below it.
    bool createDir(const std::string& path);

private:
    std::unique_ptr<B6Device> createDevice();
    // Sends one 1-byte IN query on an opened-and-closed-again device.
    bool queryByte(const std::string& devPath, uint8_t request, uint16_t value, uint16_t index,
                   uint8_t& reply, const char* operation, const char* openFailureText);

    LoggerSlot logger_;
    bool useVendorChannel_;
    AcceptedProducts acceptedProducts_ = AcceptedProducts::Console;
    std::unique_ptr<B6Device> device_;
    CamUpdateProgressCallbackInterface* progressCallback_ = nullptr;

    // ---- monitors ----
    std::unique_ptr<MonitorThread> newMonitor(bool hasCallback, const std::string& devPath, const char* operation);
    bool stopMonitor(std::map<std::string, std::unique_ptr<MonitorThread>>& registry, const std::string& devPath,
                     const char* operation);
    void runROIMonitor(MonitorThread& monitor, OnSFROIDataCallback* callback);
    void runRawFaceMonitor(MonitorThread& monitor, OnSFRawFaceDataCallback* callback);
    // One raw-face cycle: the error text, or empty when it went through.
    std::string readRawFaces(MonitorThread& monitor, OnSFRawFaceDataCallback* callback, bool& stopped);
    std::map<std::string, std::unique_ptr<MonitorThread>> roiMonitors_;
    std::map<std::string, std::unique_ptr<MonitorThread>> rawFaceMonitors_;
    std::chrono::milliseconds faceReadyPause_{190};

    // ---- flash access ----
    // Reports the percent under the current step name, when a callback is set.
    void reportFlashProgress(int percent);
    // Sends one page (or less) of a programming run, or reads one back.
    bool sendPage(uint32_t address, const uint8_t* data, uint32_t length);
    bool readPage(uint32_t address, uint8_t* destination, uint32_t length);
    // Reopens the camera and pauses before a retry; false when the reopen failed.
    bool reopenForRetry();
    // The status wait after a program or erase command sent at commandStart:
    // the first poll waits for the learned busy time of that kind of command.
    bool waitForCommandDone(int timeoutMs, uint8_t& useSyncStatus, flash::BusyTimeEstimate& busyTime,
                            std::chrono::steady_clock::time_point commandStart);
    bool pollFlashStatus(int timeoutMs, uint8_t& useSyncStatus, flash::BusyTimeEstimate* busyTime,
                         std::chrono::steady_clock::time_point commandStart);
    flash::BusyTimeEstimate& eraseBusyTime(uint8_t eraseRequest) {
        return eraseRequest == vreq::kFlashErase64K   ? erase64kBusyTime_
               : eraseRequest == vreq::kFlashErase32K ? erase32kBusyTime_
                                                      : erase4kBusyTime_;
    }
    // Programs the pages of a 4 KiB sector image that are not blank; the
    // address of the page that failed, or none.
    std::optional<uint32_t> programSectorPages(uint32_t base, const std::vector<uint8_t>& sector, bool verify,
                                               uint8_t& useSyncStatus);
    // After a failed read-modify-write: the sector's saved content, once.
    void writeSectorBack(uint32_t base, const std::vector<uint8_t>& saved, const std::string& devPath);
    FlashProgress flashProgress_;
    std::chrono::milliseconds retryPause_ = flash::kRetryPause;
    bool featureDefaultsInUpdate_ = true;
    bool reportFilesWritten_ = true;
    flash::BusyTimeEstimate pageBusyTime_;
    flash::BusyTimeEstimate erase4kBusyTime_;
    flash::BusyTimeEstimate erase32kBusyTime_;
    flash::BusyTimeEstimate erase64kBusyTime_;

    // ---- firmware update ----
    void beginProgressStep(const char* stepName);
    // Raises the progress base by the step's share and reports it.
    void addProgress(int share);
    bool selectImageFromPackage(const uint8_t* package, size_t length, uint16_t vendorId, uint16_t productId,
                                std::vector<uint8_t>& image, const char* parseFailureMessage);
    bool updateFromImageOrPackage(const uint8_t* image, size_t length, bool force, bool& updated,
                                  const std::string& devPath);
    // The camera's group and the image's must agree; each refusal is logged
    // under the operation's name, its last line ending in lineEnd.
    bool imageFitsCameraGroup(const CameraInfo& info, const UpdatePackage& package, const char* operation,
                              const char* lineEnd);
    // Empty when the camera does not answer the query; then queryAnswers is
    // cleared and later components are judged by reading the flash.
    std::optional<bool> judgeByChecksumQuery(const std::string& devPath, int componentType, bool& queryAnswers);

    // ---- boot-mode recovery ----
    struct RecoveryImages {
        std::vector<uint8_t> package;   // what the caller gave
        std::vector<uint8_t> download;  // the single image whose FX3 firmware is downloaded
        bool fromPackage = false;       // the caller gave a unified package
        UnifiedPackage unified;         // parsed, when it is a package
    };
    RecoveryImages recoveryImages(const uint8_t* image, size_t length);
    // Reads the open camera's flash page by page, retrying as the boot-chain
    // check does; failures are logged under the operation's name.
    bool readFlashWithoutSpiMode(uint32_t address, uint8_t* destination, uint32_t length, const char* operation);
    std::optional<bool> isBootImageValid(uint32_t address, uint32_t regionSize, const char* operation);
    // The image of the camera's own model, or none (with one line) when
    // nothing the caller gave fits it.
    const UpdatePackage* ownModelImage(const std::string& devPath, const RecoveryImages& images,
                                       const UpdatePackage& downloadPackage, UpdatePackage& storage);
    bool repairBootChain(const std::string& devPath, const BootChainState& chain, const UpdatePackage& package);
    std::chrono::milliseconds recoveryWait_{std::chrono::seconds(20)};

    // ---- flash layout and component writers ----
    std::vector<uint8_t> lutBuffer_ = std::vector<uint8_t>(flash::kLutBufferSize, 0);

    // ---- configuration block, calibration, registers and EEPROM ----
    bool eraseAndWriteConfigBlock(const std::vector<uint8_t>& image, uint8_t& useSyncStatus, bool& erased);
    bool selectRegisterBranch(const reg::RegisterTarget& target);
    std::vector<uint8_t> configBlockImage_ = std::vector<uint8_t>(configblock::kImageSize, flashmap::kErasedByte);
    // The block as last read from a camera, before any patch; empty until then.
    std::vector<uint8_t> configBlockAsRead_;
};

}  // namespace veltrion
