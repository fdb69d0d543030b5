// Feature JSON lookups and default placement, on a small hand-made document
// and on the sample firmware's document.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "config/FeatureLayout.h"
#include "support/CapturingLogger.h"

using namespace veltrion;

namespace {

// Three features over an 8-byte area: Alpha with a bool and a 2-byte enum,
// Beta written in overwrite mode, Gamma whose second property lies past the
// area's end.
const char* kDocument = R"({
  "BaseURL": "https://help.example/",
  "MemoryLayout": {"Descriptor": {"BaseAddress": "0x81000", "DataLength": 8,
    "PropertyMap": {"A_EN": "0x0", "A_VAL": "0x1", "B_EN": "0x3", "B_VAL": "0x4", "C_VAL": "0x6", "FAR": "0x7"}}},
  "Configurations": {"Factory": {
    "Alpha": {"Enable": true, "Mode": "0x2"},
    "Beta": {"Enable": false, "Level": "0x0001", "WriteMode": "overwrite"},
    "Gamma": {"Value": "0x7", "Wide": "0x1"}}},
  "Features": [
    {"Name": "Alpha", "ID": "1", "URL": "alpha", "Desc": "first", "Props": [
      {"Name": "Enable", "ID": "A_EN", "Type": {"length": "1"}, "datatype": "bool"},
      {"Name": "Mode", "ID": "A_VAL", "Type": {"length": "2"}, "datatype": "enum",
       "Enum": {"One": "0x0001", "Two": "0x0002", "Broken": 3}}]},
    {"Name": "Beta", "ID": "2", "Props": [
      {"Name": "Enable", "ID": "B_EN", "Type": {"length": "1"}, "datatype": "bool"},
      {"Name": "Level", "ID": "B_VAL", "Type": {"length": "2"}, "datatype": "enum",
       "Enum": {"Low": "0x0000", "High": "0x0001"}}]},
    {"Name": "Gamma", "ID": "3", "Props": [
      {"Name": "Value", "ID": "C_VAL", "Type": {"length": "1"}, "datatype": "enum", "Enum": {"Seven": "0x07"}},
      {"Name": "Wide", "ID": "FAR", "Type": {"length": "2"}, "datatype": "enum", "Enum": {"On": "0x0001"}}]}
  ]})";

std::string sampleDocument(const std::string& group) {
    std::ifstream in(std::string(VELTRION_SOURCE_DIR) + "/sim/data/features-" + group + ".json");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Loaded {
    JsonRef root;
    json_t* memoryLayout = nullptr;
    json_t* configurations = nullptr;
    json_t* features = nullptr;
    json_t* baseURL = nullptr;
    json_t* filterControl = nullptr;
};

bool load(const std::string& text, Loaded& out, Logger& log) {
    return features::initJsonVariables(text, out.root, out.memoryLayout, out.configurations, out.features,
                                       out.baseURL, out.filterControl, log);
}

class FeatureLayout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(load(kDocument, doc_, log_)); }
    bool info(const std::string& feature, const std::string& prop, FeatureInfo& out) {
        return features::getFeatureInfo(doc_.memoryLayout, doc_.configurations, doc_.features, doc_.baseURL, out,
                                        feature, prop, log_);
    }
    std::vector<uint8_t> place(std::vector<uint8_t> area) {
        features::placeDefaultValues(doc_.memoryLayout, doc_.configurations, doc_.features, doc_.baseURL, area, log_);
        return area;
    }
    CapturingLogger log_;
    Loaded doc_;
};

}  // namespace

TEST(FeatureJsonLoading, FilterControlIsOptionalButConfigurationsAreNot) {
    CapturingLogger log;
    Loaded doc;
    EXPECT_TRUE(load(kDocument, doc, log));
    EXPECT_EQ(doc.filterControl, nullptr);
    EXPECT_NE(doc.features, nullptr);
    EXPECT_EQ(log.text(), "");

    std::string withoutConfigurations = kDocument;
    withoutConfigurations.replace(withoutConfigurations.find("\"Configurations\""), 16, "\"Settings\"");
    EXPECT_FALSE(load(withoutConfigurations, doc, log));
    EXPECT_EQ(log.text(), "CamMgr.initJsonVariables: No configuration found in Json\n");
    EXPECT_FALSE(doc.root);
    EXPECT_EQ(doc.memoryLayout, nullptr);
    EXPECT_EQ(doc.baseURL, nullptr);

    log.clear();
    EXPECT_FALSE(load(R"({"BaseURL": 5, "MemoryLayout": {}, "Configurations": {}, "Features": []})", doc, log));
    EXPECT_EQ(log.text(), "CamMgr.initJsonVariables: Base URL is not string in Json\n");
    log.clear();
    EXPECT_FALSE(load("{not json", doc, log));
    EXPECT_EQ(log.text(), "CamMgr.initJsonVariables: no Json found\n");
}

TEST_F(FeatureLayout, AreaComesFromTheDescriptorAndMustHaveALength) {
    uint32_t base = 0, length = 0;
    ASSERT_TRUE(features::getFeatureAddrLen(doc_.memoryLayout, base, length, log_));
    EXPECT_EQ(base, 0x81000u);
    EXPECT_EQ(length, 8u);

    for (const char* bad : {"0", "-4"}) {
        Loaded zero;
        std::string text = kDocument;
        text.replace(text.find("\"DataLength\": 8"), 15, std::string("\"DataLength\": ") + bad);
        ASSERT_TRUE(load(text, zero, log_));
        log_.clear();
        EXPECT_FALSE(features::getFeatureAddrLen(zero.memoryLayout, base, length, log_)) << bad;
        EXPECT_EQ(log_.text(), "CamMgr.getFeatureAddrLen: invalid flash data length\n");
    }
}

TEST_F(FeatureLayout, EnumPropertyKnowsItsPlaceChoicesAndDefault) {
    FeatureInfo mode;
    ASSERT_TRUE(info("Alpha", "Mode", mode));
    EXPECT_EQ(mode.featureCode, 1);
    EXPECT_EQ(mode.length, 2);
    EXPECT_EQ(mode.offset, 1);
    EXPECT_EQ(mode.offsetInFeature, 1);  // after the 1-byte Enable
    EXPECT_EQ(mode.defaultValue, "0x2");
    EXPECT_EQ(mode.dataType, "enum");
    EXPECT_EQ(mode.description, "first");
    EXPECT_EQ(mode.writeMode, "");
    ASSERT_EQ(mode.choices.size(), 2u);  // the non-string member is no choice
    EXPECT_EQ(mode.choices[0].label, "One");
    EXPECT_EQ(mode.choices[1].value, "0x0002");
    EXPECT_EQ(mode.choices[1].helpLink, "https://help.example/alpha");
    EXPECT_EQ(mode.choices[1].address, 0x81001u);

    FeatureInfo enable;
    ASSERT_TRUE(info("Beta", "Enable", enable));
    EXPECT_EQ(enable.defaultValue, "0x0");
    EXPECT_EQ(enable.writeMode, "overwrite");
    EXPECT_EQ(enable.offsetInFeature, 0);
}

TEST_F(FeatureLayout, MissingPropertyFailsInsteadOfReportingAnother) {
    FeatureInfo out;
    // Alpha has a factory entry for it but no such property in "Props".
    std::string text = kDocument;
    text.replace(text.find("\"Mode\": \"0x2\""), 13, "\"Mode\": \"0x2\", \"Speed\": \"0x1\"");
    Loaded doc;
    ASSERT_TRUE(load(text, doc, log_));
    log_.clear();
    EXPECT_FALSE(features::getFeatureInfo(doc.memoryLayout, doc.configurations, doc.features, doc.baseURL, out,
                                          "Alpha", "Speed", log_));
    EXPECT_EQ(log_.text(), "getFeatureInfo: feature Alpha has no property Speed\n");
    EXPECT_EQ(out.offset, -1);
    EXPECT_EQ(out.length, 0);

    log_.clear();
    EXPECT_FALSE(info("Delta", "Enable", out));
    EXPECT_EQ(log_.text(), "getFeatureInfo: configuration->factory feature Delta not found\n");
}

TEST(FeatureBuffers, ValuesAreEncodedMostSignificantFirstOverOneToFourBytes) {
    CapturingLogger log;
    EXPECT_EQ(features::getBufferByValue(0x0102, 3, log), (std::vector<uint8_t>{0x00, 0x01, 0x02}));
    EXPECT_EQ(features::getBufferByValue(0x1, 1, log), (std::vector<uint8_t>{0x01}));
    EXPECT_EQ(features::getBufferByValue(0xA1B2C3D4, 4, log), (std::vector<uint8_t>{0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(log.text(), "");
    for (int length : {5, 0, -1}) {
        log.clear();
        EXPECT_FALSE(features::getBufferByValue(1, length, log).has_value()) << length;
        EXPECT_EQ(log.text(),
                  "getBufferByValue: Cannot have buffer 0 bytes or more than 4 bytes as INT only 4 bytes\n");
    }
    EXPECT_EQ(features::hexValue("0x0002"), 2u);
    EXPECT_EQ(features::hexValue("ff"), 255u);
}

TEST_F(FeatureLayout, DefaultsFillAnErasedAreaAndSkipWhatDoesNotFit) {
    const auto area = place(std::vector<uint8_t>(8, 0xFF));
    // Alpha: bool true over 1 byte, enum 0x2 over 2; Beta: false, 0x0001; Gamma: 0x7; Wide lies past the end.
    EXPECT_EQ(area, (std::vector<uint8_t>{0x01, 0x00, 0x02, 0x00, 0x00, 0x01, 0x07, 0xFF}));
    EXPECT_TRUE(log_.contains("CamMgr.programDefaultFeatureValues: flash data out of bound!!!\n"));
}

TEST_F(FeatureLayout, StoredValuesStayUnlessEnableOrOverwrite) {
    const auto area = place({0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x05, 0xFF});
    EXPECT_EQ(area[0], 0x01);  // Enable is always the factory's
    EXPECT_EQ(area[1], 0x00);  // Alpha's stored mode stays
    EXPECT_EQ(area[2], 0x01);
    EXPECT_EQ(area[3], 0x00);  // Beta's Enable
    EXPECT_EQ(area[4], 0x00);  // Beta is written in overwrite mode
    EXPECT_EQ(area[5], 0x01);
    EXPECT_EQ(area[6], 0x05);  // Gamma's stored value stays
}

TEST(SampleFeatureJson, EveryGroupDescribesTheConfigurationTableAndTheCameraName) {
    for (const char* group : {"V2G", "V2sG", "V3G"}) {
        SCOPED_TRACE(group);
        CapturingLogger log;
        Loaded doc;
        ASSERT_TRUE(load(sampleDocument(group), doc, log));
        EXPECT_TRUE(json_is_object(doc.filterControl));
        std::map<std::string, json_t*> map;
        ASSERT_TRUE(features::getFeatureMap(doc.configurations, doc.features, map, log));
        EXPECT_EQ(map.size(), 10u);

        FeatureInfo fov;
        ASSERT_TRUE(features::getFeatureInfo(doc.memoryLayout, doc.configurations, doc.features, doc.baseURL, fov,
                                             "Field of View", "Angle", log));
        EXPECT_EQ(fov.featureCode, 3);
        EXPECT_EQ(fov.offset, 7);
        EXPECT_EQ(fov.offsetInFeature, 1);
        ASSERT_EQ(fov.choices.size(), 4u);
        EXPECT_EQ(fov.choices[3].label, "90 degrees");
        EXPECT_EQ(fov.choices[3].value, "0x0003");
        EXPECT_TRUE(fov.choices[0].helpLink.ends_with("/features/field-of-view"));

        FeatureInfo name;
        ASSERT_TRUE(features::getFeatureInfo(doc.memoryLayout, doc.configurations, doc.features, doc.baseURL, name,
                                             "Custom Camera Name", "Enable", log));
        EXPECT_EQ(name.featureCode, 11);
        EXPECT_EQ(name.offset, 0x1E);
        EXPECT_EQ(log.text(), "");

        // Every property resolves and the defaults stay inside the area.
        const auto area = [&] {
            std::vector<uint8_t> bytes(256, 0xFF);
            features::placeDefaultValues(doc.memoryLayout, doc.configurations, doc.features, doc.baseURL, bytes, log);
            return bytes;
        }();
        EXPECT_EQ(log.text(), "");
        EXPECT_EQ(area[0x1E], 0x01);
    }
}
