// The manager's feature operations against a simulated camera: the JSON kept
// in the camera, default programming, feature queries, and the JSON of an
// update image.

#include <fstream>
#include <iterator>

#include "ConfigFixture.h"
#include "FeatureJson.h"
#include "images/ImageTestSupport.h"
#include "base/ByteLayout.h"
#include "flash/FlashLayout.h"

using namespace veltrion;

namespace {

constexpr uint16_t kV3ProductId = 0x0003;
constexpr uint32_t kFeatureArea = 0x81000;
constexpr uint32_t kFovEnable = kFeatureArea + 0x06;
constexpr uint32_t kResetValue = kFeatureArea + 0x13;
constexpr uint32_t kCameraNameEnable = kFeatureArea + 0x1E;

std::string readText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FeaturesTest : public ConfigTest {
protected:
    void SetUp() override {
        ConfigTest::SetUp();
        addCamera(kV3ProductId);
        out_ = (dir_.path() / "out.json").string();
    }
    // Replaces the camera's JSON record: "FD", the given length field, the text.
    void writeJsonRecord(uint32_t lengthField, const std::string& text) {
        std::vector<uint8_t> sector;
        ByteWriter header(sector);
        header.u8('F');
        header.u8('D');
        header.le32(lengthField);
        sector.insert(sector.end(), text.begin(), text.end());
        sector.resize(flashmap::kSector64K, 0xFF);
        writeFlash(flashmap::kJsonAddress, sector);
    }
    std::string out_;
};

}  // namespace

TEST_F(FeaturesTest, CameraJsonIsTheFactoryDocumentAndSpiModeIsLeft) {
    ASSERT_TRUE(mgr_->getJSONFromCam(path_, out_));
    EXPECT_EQ(readText(out_), std::string(camsim::featureJsonForGroup("V3G")));
    EXPECT_FALSE(bus_->state(kCamera).run.spiMode);
    EXPECT_EQ(log_.text(), "");
}

TEST_F(FeaturesTest, JsonLengthsOutsideTheSectorAreRefused) {
    for (uint32_t length : {0u, flash::kJsonMaxTextLength + 1, 65536u}) {
        writeJsonRecord(length, "{}");
        log_.clear();
        EXPECT_FALSE(mgr_->getJSONFromCam(path_, out_)) << length;
        EXPECT_TRUE(log_.contains("Veltrion2CamMgr::getJSONFromCam failed - invalid json size " +
                                  std::to_string(length) + "\n"));
        EXPECT_FALSE(std::filesystem::exists(out_));
        EXPECT_FALSE(bus_->state(kCamera).run.spiMode);
    }
    writeJsonRecord(3, "{}x");
    auto header = flash(flashmap::kJsonAddress, 2);
    header[0] = 'X';
    writeFlash(flashmap::kJsonAddress, header);
    log_.clear();
    EXPECT_FALSE(mgr_->getJSONFromCam(path_, out_));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::getJSONFromCam failed - invalid hdr 0x58 0x44\n"));
}

TEST_F(FeaturesTest, JsonReadsOnePageOrTheWholePagesItNeeds) {
    const uint64_t readsBefore = transfers(vreq::kFlashRead);
    const std::string fits(250, 'a');  // 6 + 250 bytes: exactly the first page
    writeJsonRecord(250, fits);
    ASSERT_TRUE(mgr_->getJSONFromCam(path_, out_));
    EXPECT_EQ(readText(out_), fits);
    EXPECT_EQ(transfers(vreq::kFlashRead) - readsBefore, 1u);

    const std::string longest(flash::kJsonMaxTextLength, 'b');
    writeJsonRecord(flash::kJsonMaxTextLength, longest);
    ASSERT_TRUE(mgr_->getJSONFromCam(path_, out_));
    EXPECT_EQ(readText(out_), longest);
    EXPECT_EQ(transfers(vreq::kFlashRead) - readsBefore, 1u + flashmap::kSector64K / flashmap::kPageSize);
}

TEST_F(FeaturesTest, DefaultsProgrammedTwiceWriteTheFlashOnce) {
    const std::string json(camsim::featureJsonForGroup("V3G"));
    // The factory wrote the configuration table; the camera name switch is still erased.
    EXPECT_EQ(flash(kCameraNameEnable, 3), std::vector<uint8_t>(3, 0xFF));
    ASSERT_TRUE(mgr_->programDefaultFeatureValues(json, path_));
    EXPECT_EQ(flash(kCameraNameEnable, 3), (std::vector<uint8_t>{0x01, 0x00, 0x00}));
    const uint64_t erased = stat("sectors-erased-4k");
    const uint64_t programmed = stat("pages-programmed");
    EXPECT_EQ(erased, 1u);
    EXPECT_GE(programmed, 1u);

    ASSERT_TRUE(mgr_->programDefaultFeatureValues(json, path_));
    EXPECT_EQ(stat("sectors-erased-4k"), erased);
    EXPECT_EQ(stat("pages-programmed"), programmed);
    EXPECT_EQ(log_.text().find("CamMgr."), std::string::npos) << log_.text();
}

TEST_F(FeaturesTest, DefaultsKeepTheUsersChoicesButNotEnableOrOverwrite) {
    writeFlash(kFovEnable, {0x00, 0x00, 0x02});    // field of view 120 degrees, switched off
    writeFlash(kResetValue, {0x00, 0x01});         // a pending reset
    ASSERT_TRUE(mgr_->programDefaultFeatureValues(std::string(camsim::featureJsonForGroup("V3G")), path_));
    EXPECT_EQ(flash(kFovEnable, 3), (std::vector<uint8_t>{0x01, 0x00, 0x02}));
    EXPECT_EQ(flash(kResetValue, 2), (std::vector<uint8_t>{0x00, 0x00}));
}

TEST_F(FeaturesTest, BrokenJsonWritesNothing) {
    EXPECT_FALSE(mgr_->programDefaultFeatureValues(R"({"BaseURL": "x", "MemoryLayout": {}, "Features": []})", path_));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr.programDefaultFeatureValues: json is not loaded\n"));
    EXPECT_EQ(stat("pages-programmed"), 0u);
}

TEST_F(FeaturesTest, FeatureQueryAnswersLeastSignificantByteFirst) {
    writeFlash(kFovEnable, {0x01, 0x00, 0x02});
    std::vector<FeatureValueRequest> requests = {{3, 3, {}}, {11, 3, {}}, {3, 5, {}}};
    ASSERT_TRUE(mgr_->getValuesFromFeatureIDs(path_, requests));
    EXPECT_EQ(requests[0].value, (std::vector<uint8_t>{0x01, 0x02, 0x00}));
    EXPECT_EQ(requests[1].value, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF}));  // never programmed
    EXPECT_EQ(requests[2].value, (std::vector<uint8_t>{0x01, 0x02, 0x00, 0x00, 0x00}));

    std::vector<FeatureValueRequest> unknown = {{99, 3, {}}};
    EXPECT_FALSE(mgr_->getValuesFromFeatureIDs(path_, unknown));
    EXPECT_TRUE(log_.contains("getVeltrion2Features failed - get send vendor command 0xFE for feature code 99. Retry 3\n"));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::getValuesFromFeatureIDs failed - on vendor command fid 99, length 3\n"));
}

TEST_F(FeaturesTest, JsonOfAnImageComesFromTheCamerasEntry) {
    imagetest::TempDir files;
    auto components = imagetest::makeComponents("C0.1.2.3");
    const std::string ownJson = R"({"BaseURL": "own"})";
    components.json.assign(ownJson.begin(), ownJson.end());
    const auto own = imagetest::buildSingleImage(components);
    imagetest::writeFile(files.file("single.img"), own);

    std::string text;
    ASSERT_TRUE(mgr_->extractJsonStr(0x3a7c, kV3ProductId, files.file("single.img"), text));
    EXPECT_EQ(text, ownJson);

    auto otherComponents = imagetest::makeComponents("C1.1.2.3");
    const std::string otherJson = R"({"BaseURL": "other"})";
    otherComponents.json.assign(otherJson.begin(), otherJson.end());
    const auto package = imagetest::buildUnifiedPackage(
        {imagetest::buildSingleImage(otherComponents), own}, {{0x3a7c, 0x8003}, {0x3a7c, kV3ProductId}}, {});
    imagetest::writeFile(files.file("unified.img"), package);
    ASSERT_TRUE(mgr_->extractJsonStr(0x3a7c, kV3ProductId, files.file("unified.img"), text));
    EXPECT_EQ(text, ownJson);
    ASSERT_TRUE(mgr_->extractJsonStr(0x3a7c, 0x8003, files.file("unified.img"), text));
    EXPECT_EQ(text, otherJson);

    log_.clear();
    EXPECT_FALSE(mgr_->extractJsonStr(0x3a7c, 0xc002, files.file("unified.img"), text));  // no V2s image
    EXPECT_TRUE(log_.contains("updateCameraFirmware: failed to select firmware from package\n"));
    EXPECT_FALSE(mgr_->extractJsonStr(0x3a7c, kV3ProductId, files.file("missing.img"), text));
    EXPECT_TRUE(log_.contains("Veltrion2CamMgr::extractJsonStr: failed to read file "));
}
