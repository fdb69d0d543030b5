// The manager's configuration block, calibration, EEPROM and register
// operations against a simulated camera.

#include <cmath>
#include <fstream>
#include <iterator>

#include "ConfigFixture.h"
#include "Factory.h"
#include "FactoryData.h"
#include "FeatureJson.h"
#include "config/ConfigBlockLayout.h"
#include "manager/DeviceSession.h"
#include "config/RegisterMap.h"
#include "base/VersionNumber.h"
#include "support/ForeignWriterLock.h"

using namespace veltrion;
namespace cb = veltrion::configblock;

namespace {

constexpr uint16_t kV3ProductId = 0x0003;
constexpr uint16_t kV2sProductId = 0xc002;

std::vector<uint8_t> readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST_F(ConfigTest, FactoryBlockReadsBackWithItsSerialAndComponentLengths) {
    addCamera(kV3ProductId);
    CamConfigBlock block;
    ASSERT_TRUE(mgr_->getVeltrion2CamConfigBlock(block, path_));
    EXPECT_EQ(block.serialNumber, kSerial);
    EXPECT_EQ(block.fpgaLength, camsim::kFactoryFpgaSize);
    EXPECT_EQ(block.ispSize, camsim::kFactoryIspSize);
    EXPECT_EQ(block.audioCodeLength, camsim::kFactoryAudioSize);
    const auto audio = camsim::makeAudioComponent("A1.1.0.0");
    EXPECT_EQ(block.audioChecksum, fletcher16(audio.data(), audio.size()));
    EXPECT_EQ(block.calibration.overlapx[0], -1);  // a V3 camera carries no calibration
    EXPECT_EQ(mgr_->configBlockImage(), blockPages());
    EXPECT_EQ(log_.text(), "");
    EXPECT_TRUE(bus_->state(kCamera).run.spiMode);  // the read leaves SPI mode on

    log_.clear();
    mgr_->printConfigBlock(block);
    EXPECT_TRUE(log_.contains("serial number \t\t= A1B2C3D4E5F6\r\n"));
    EXPECT_TRUE(log_.contains("cylinderR 1 \t\t= -nan\r\n0x81000: 1\n"));
    EXPECT_TRUE(log_.text().ends_with("0x8101d: ff\n"));
}

TEST_F(ConfigTest, EighteenCharacterSerialIsReadWhole) {
    addCamera(kV3ProductId);
    auto page = flash(cb::kMainPageAddress, cb::kPageSize);
    const std::string serial = "VLT3-0123456789XYZ";
    std::copy(serial.begin(), serial.end(), page.begin() + cb::kSerialOffset);
    writeFlash(cb::kMainPageAddress, page);
    CamConfigBlock block;
    ASSERT_TRUE(mgr_->getVeltrion2CamConfigBlock(block, path_));
    EXPECT_EQ(block.serialNumber, serial);
}

TEST_F(ConfigTest, CalibrationNeverWrittenFailsSilentlyAndWrittenOnceReadsBack) {
    addCamera(kV3ProductId);
    CalibrationParams params;
    EXPECT_FALSE(mgr_->getCalibrationParam(path_, params));
    EXPECT_EQ(log_.text(), "");

    CalibrationParams written;
    written.focalLength = {1200.5f, 1201.25f, 1199.0f};
    written.overlapy = {0, -7};
    written.cylinderR = {1210.0f, 1211.5f};
    ASSERT_TRUE(mgr_->programCalibrationParam(written, path_));
    ASSERT_TRUE(mgr_->getCalibrationParam(path_, params));
    EXPECT_EQ(params, written);
}

TEST_F(ConfigTest, V2sCalibrationFromTheFirmwareMatchesTheBlock) {
    addCamera(kV2sProductId);
    CamConfigBlock block;
    ASSERT_TRUE(mgr_->getVeltrion2CamConfigBlock(block, path_));
    CalibrationParams params;
    ASSERT_TRUE(mgr_->getCalibrationParam(path_, params));
    EXPECT_EQ(params, block.calibration);
    EXPECT_GT(params.focalLength[0], 1000.0f);
}

TEST_F(ConfigTest, AlignmentRewriteChangesOnlyItsFieldsErasesTheSectorAndKeepsABackup) {
    addCamera(kV3ProductId);
    const auto main = flash(cb::kMainPageAddress, cb::kPageSize);
    const auto second = flash(cb::kSecondPageAddress, cb::kPageSize);
    writeFlash(cb::kSectorAddress + 0x2000, std::vector<uint8_t>(64, 0x42));  // elsewhere in the sector

    ASSERT_TRUE(mgr_->setVeltrion2CamCTGData(0x0111, 0x0222, 0x0333, 0x0444, 0x10555, path_));

    auto expected = main;
    const std::vector<uint8_t> ctg = {0x01, 0x11, 0x02, 0x22, 0x03, 0x33, 0x04, 0x44, 0x05, 0x55};
    std::copy(ctg.begin(), ctg.end(), expected.begin() + cb::kCtgOffset);
    EXPECT_EQ(flash(cb::kMainPageAddress, cb::kPageSize), expected);
    EXPECT_EQ(flash(cb::kSecondPageAddress, cb::kPageSize), second);
    EXPECT_EQ(flash(cb::kSectorAddress + 0x2000, 64), std::vector<uint8_t>(64, 0xFF));
    EXPECT_EQ(stat("sectors-erased-64k"), 1u);

    const auto files = backups();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string().rfind(std::string(kSerial) + "-", 0), 0u);
    auto both = main;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(readFile(files[0]), both);
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::writeConfigBlockData: config block backed up to " + files[0].string()));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::prepareConfigBlockBuffer: the existing config block data:\n"));
}

TEST_F(ConfigTest, WriteThatFailsAfterTheEraseWritesTheOldBlockBack) {
    addCamera(kV3ProductId);
    const auto before = blockPages();
    bus_->fault(kCamera, "fail-next", "c2:3");  // the first page fails all three attempts

    EXPECT_FALSE(mgr_->setVeltrion2CamCTGData(1, 2, 3, 4, 5, path_));
    EXPECT_EQ(blockPages(), before);
    EXPECT_EQ(stat("sectors-erased-64k"), 2u);
    EXPECT_TRUE(log_.contains("writeConfigBlockData - write failed, writing back the old config block\n"));
    EXPECT_TRUE(log_.contains("writeConfigBlockData: the old config block is written back\n"));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::setVeltrion2CamCTGData failed - reprogram config block ctg values failed.\n"));
}

TEST_F(ConfigTest, CameraLostDuringTheRewriteLeavesTheBackupToRestoreFrom) {
    addCamera(kV3ProductId);
    const auto before = blockPages();
    bus_->fault(kCamera, "power-loss-after-pages", "1");

    EXPECT_FALSE(mgr_->programCalibrationParam(CalibrationParams{}, path_));
    const auto files = backups();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(readFile(files[0]), before);
    EXPECT_TRUE(log_.contains("unable to write back the old config block; its backup is " + files[0].string()));
}

TEST_F(ConfigTest, BackupThatCannotBeWrittenWarnsAndTheRewriteGoesOn) {
    addCamera(kV3ProductId);
    const auto blocker = dir_.path() / "not-a-folder";
    std::ofstream(blocker) << "x";
    ::setenv("XDG_STATE_HOME", blocker.c_str(), 1);
    const std::string warning =
        "Veltrion2CamMgr::writeConfigBlockData: warning - unable to back up the config block (cannot create " +
        (blocker / "veltrion" / "config-backups").string();

    ASSERT_TRUE(mgr_->setVeltrion2CamCTGData(0x0111, 2, 3, 4, 5, path_));
    EXPECT_EQ(flash(cb::kMainPageAddress + cb::kCtgOffset, 2), (std::vector<uint8_t>{0x01, 0x11}));
    EXPECT_TRUE(log_.contains(warning)) << log_.text();

    // A write that fails after the erase still gets the old block back from memory.
    const auto before = blockPages();
    bus_->fault(kCamera, "fail-next", "c2:3");
    EXPECT_FALSE(mgr_->programCalibrationParam(CalibrationParams{}, path_));
    EXPECT_EQ(blockPages(), before);
    EXPECT_TRUE(log_.contains("writeConfigBlockData: the old config block is written back\n"));
}

TEST_F(ConfigTest, RewritesAreRefusedAtOnceWhileAnotherWriterHoldsTheCamera) {
    addCamera(kV3ProductId);
    const auto before = blockPages();
    ForeignWriterLock otherProcess(dir_.path() / "bus" / kCamera / "writer.lock");
    ASSERT_TRUE(otherProcess.held());

    EXPECT_FALSE(mgr_->programCalibrationParam(CalibrationParams{}, path_));
    EXPECT_FALSE(mgr_->setVeltrion2CamCTGData(1, 2, 3, 4, 5, path_));
    EXPECT_FALSE(mgr_->programDefaultFeatureValues(std::string(camsim::featureJsonForGroup("V3G")), path_));
    const std::string busy =
        "Veltrion2CamMgr::lockCameraForWriting failed - camera busy: another writer is changing camera " + path_ + "\n";
    EXPECT_EQ(log_.text(), busy + busy + busy);
    EXPECT_EQ(transfers(vreq::kSpiModeEnter), 0u);  // the camera was not even opened for it
    EXPECT_EQ(blockPages(), before);
    EXPECT_TRUE(backups().empty());

    // Readers go on, and the JSON dump leaves SPI mode to the writer.
    CamConfigBlock block;
    EXPECT_TRUE(mgr_->getVeltrion2CamConfigBlock(block, path_));
    EXPECT_TRUE(mgr_->getJSONFromCam(path_, (dir_.path() / "camera.json").string())) << log_.text();
    EXPECT_EQ(transfers(vreq::kSpiModeLeave), 0u);
    EXPECT_TRUE(bus_->state(kCamera).run.spiMode);
}

TEST_F(ConfigTest, EepromBytesComeFromTheBoard) {
    addCamera(kV3ProductId);
    std::vector<uint8_t> bytes(16);
    ASSERT_TRUE(mgr_->getEEPROMValue(path_, 0x10, bytes));
    const auto eeprom = camsim::makeFactoryEeprom(0x3a7c, kV3ProductId, kSerial);
    EXPECT_EQ(bytes, std::vector<uint8_t>(eeprom.begin() + 0x10, eeprom.begin() + 0x20));

    std::vector<uint8_t> tooLong(Veltrion2CamMgr::kMaxEepromReadLength + 1);
    EXPECT_FALSE(mgr_->getEEPROMValue(path_, 0, tooLong));
    EXPECT_EQ(transfers(vreq::kEeprom), 1u);

    std::vector<uint8_t> pastTheEnd(4);
    log_.clear();
    EXPECT_FALSE(mgr_->getEEPROMValue(path_, 0xFFFE, pastTheEnd));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::getEEPROMValue failed - get send vendor command 0xFC for addr fffe\n"));
}

TEST_F(ConfigTest, RegisterTypesOutsideTheTableSendNothing) {
    addCamera(kV3ProductId);
    DeviceSession session(*mgr_->device(), path_);
    ASSERT_TRUE(session.isOpen());
    uint16_t value = 0;
    EXPECT_FALSE(mgr_->readRegister(7, 0x3000, value));
    EXPECT_FALSE(mgr_->writeRegister(-1, 0x3000, 1));
    EXPECT_EQ(log_.text(),
              "Veltrion2CamMgr::readRegister failed - unsupported type 7\n"
              "Veltrion2CamMgr::writeRegister failed - unsupported type -1\n");
    EXPECT_EQ(transfers(reg::kSelectBranch), 0u);
}

TEST_F(ConfigTest, EachTargetHasItsOwnRegisters) {
    addCamera(kV3ProductId);
    DeviceSession session(*mgr_->device(), path_);
    ASSERT_TRUE(session.isOpen());
    ASSERT_TRUE(mgr_->writeRegister(2, 0x0020, 0xBEEF));  // ISP 1
    ASSERT_TRUE(mgr_->writeRegister(0, 0x0020, 0x1234));  // FPGA
    ASSERT_TRUE(mgr_->writeRegister(5, 0x0020, 0x00A5));  // sensor 1
    uint16_t value = 0;
    ASSERT_TRUE(mgr_->readRegister(2, 0x0020, value));
    EXPECT_EQ(value, 0xBEEF);
    ASSERT_TRUE(mgr_->readRegister(0, 0x0020, value));
    EXPECT_EQ(value, 0x1234);
    ASSERT_TRUE(mgr_->readRegister(3, 0x0020, value));  // ISP 2 untouched
    EXPECT_EQ(value, 0);
    ASSERT_TRUE(mgr_->readRegister(5, 0x0020, value));
    EXPECT_EQ(value, 0x00A5);
    EXPECT_EQ(log_.text(), "");
}

TEST_F(ConfigTest, SensorTemperatureSequenceMeasuresTheSetTemperatures) {
    addCamera(kV3ProductId);
    bus_->set(kCamera, "sensor-temp", "35,45.5,60");
    DeviceSession session(*mgr_->device(), path_);
    ASSERT_TRUE(session.isOpen());
    const float expected[] = {35.0f, 45.5f, 60.0f};
    for (int sensor = 0; sensor < 3; ++sensor) {
        const int type = 4 + sensor;
        uint16_t reading = 0, calibration = 0;
        ASSERT_TRUE(mgr_->writeRegister(type, reg::kSensorTempControl, reg::kSensorTempEnable));
        ASSERT_TRUE(mgr_->writeRegister(type, reg::kSensorTempControl, reg::kSensorTempStart));
        ASSERT_TRUE(mgr_->writeRegister(type, reg::kSensorTempControl, reg::kSensorTempLatch));
        ASSERT_TRUE(mgr_->readRegister(type, reg::kSensorTempReading, reading));
        ASSERT_TRUE(mgr_->writeRegister(type, reg::kSensorTempControl, reg::kSensorTempOff));
        ASSERT_TRUE(mgr_->readRegister(type, reg::kSensorTempCalibration, calibration));
        const float celsius =
            (static_cast<float>(reading) - (static_cast<float>(calibration) - reg::kSensorTempOffset)) /
            reg::kSensorTempSlope;
        EXPECT_NEAR(celsius, expected[sensor], 0.5f / reg::kSensorTempSlope) << "sensor " << sensor;
    }
}
