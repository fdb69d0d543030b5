// Building single images and unified packages from files, and reading them
// back: the same bytes and versions, every header field at its place.

#include <gtest/gtest.h>

#include <openssl/evp.h>

#include "support/CapturingLogger.h"
#include "ImageTestSupport.h"
#include "support/ScriptedUsbPort.h"
#include "device/WinDevice.h"
#include "image/ImageCreation.h"
#include "image/LutFiles.h"
#include "image/UpdateImage.h"
#include "manager/Veltrion2CamMgr.h"

using namespace imagetest;
using namespace veltrion::images;
using veltrion::UpdatePackage;

namespace {

// Component files named the way production names them.
class ComponentFiles {
public:
    explicit ComponentFiles(const TempDir& dir, const std::string& fx3Version = "C0.1.2.3",
                            const std::string& prefix = "")
        : components_(makeComponents(fx3Version)) {
        const auto put = [&](const std::string& name, const Bytes& bytes) {
            const std::string path = dir.file(prefix + name);
            writeFile(path, bytes);
            return path;
        };
        paths_ = {put("fpga_F1.2.0.0.bin", components_.fpga),
                  put("fx3_" + fx3Version + ".img", components_.fx3),
                  put("audio_A1.3.0.0.bin", components_.audio),
                  put("isp_I1.4.0.0.bin", components_.isp),
                  put("boot_C0.0.0.7.img", components_.bootloader),
                  put("fx3b_C0.0.0.9.img", components_.backupFx3),
                  put("features.json", components_.json),
                  put("aux.bin", components_.aux)};
    }
    // The -c arguments without the output file.
    std::vector<std::string> arguments() const { return paths_; }
    const Components& components() const { return components_; }

private:
    Components components_;
    std::vector<std::string> paths_;
};

Bytes md5Of(const Bytes& bytes, size_t from) {
    Bytes digest(16);
    size_t length = 0;
    EVP_Q_digest(nullptr, "MD5", nullptr, bytes.data() + from, bytes.size() - from, digest.data(), &length);
    return digest;
}

UpdatePackage parseFile(const std::string& path) {
    UpdatePackage package;
    CapturingLogger log;
    EXPECT_TRUE(parseUpdatePackage(readFile(path), package, log)) << log.text();
    return package;
}

}  // namespace

TEST(SingleImageCreation, WithoutTablesEveryFieldSitsAtItsOffset) {
    TempDir dir;
    const ComponentFiles files(dir);
    std::vector<std::string> args = files.arguments();
    args.push_back(dir.file("out.img"));
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    ASSERT_TRUE(createSingleImage(args, lutBuffer, log)) << log.text();
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::createSingleImage - successfully created image file " +
                             dir.file("out.img") + "\n"));

    const Bytes image = readFile(dir.file("out.img"));
    const Components& c = files.components();
    ASSERT_GE(image.size(), 76u);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "VLTN");
    EXPECT_EQ(le16(image, 4), 3);
    EXPECT_EQ(le16(image, 6), 0);
    EXPECT_EQ(le32(image, 8), 0x43010203u);   // C0.1.2.3 from the FX3 file name
    EXPECT_EQ(le32(image, 12), 0x43000009u);  // backup FX3 C0.0.0.9
    EXPECT_EQ(le32(image, 16), 0x43000007u);  // bootloader C0.0.0.7
    EXPECT_EQ(le32(image, 20), 76u);
    const Bytes* parts[] = {&c.fpga, &c.fx3, &c.audio, &c.isp, &c.bootloader, &c.backupFx3, &c.json, &c.aux};
    size_t body = 0;
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(le32(image, 24 + 4 * i), parts[i]->size()) << i;
        EXPECT_TRUE(std::equal(parts[i]->begin(), parts[i]->end(), image.begin() + 76 + body)) << i;
        body += parts[i]->size();
    }
    EXPECT_EQ(Bytes(image.begin() + 56, image.begin() + 72), md5Of(image, 76));
    EXPECT_EQ(le32(image, 72), 0u);
    EXPECT_EQ(image.size(), 76 + body);

    const UpdatePackage p = parseFile(dir.file("out.img"));
    EXPECT_EQ(p.fpga.data, c.fpga);
    EXPECT_EQ(p.fx3, c.fx3);
    EXPECT_EQ(p.auxBlob, c.aux);
    EXPECT_EQ(p.fx3Version, 0x43010203u);
}

TEST(SingleImageCreation, TwoCamerasRoundTripTablesAlignmentAndSerials) {
    TempDir dir;
    const ComponentFiles files(dir);
    writeLutDirectory(dir.file("lutA"), 100);
    writeLutDirectory(dir.file("lutB"), 0xF000);
    writeText(dir.file("alignA.txt"), "1\n2\n3\n4\n5\n");
    writeText(dir.file("alignB.txt"), "a\nb\nc\nd\nffff\n");
    std::vector<std::string> args = files.arguments();
    for (const std::string& part : {dir.file("lutA"), dir.file("alignA.txt"), std::string("SERIAL000001"),
                                    dir.file("lutB"), dir.file("alignB.txt"), std::string("SERIAL000002")})
        args.push_back(part);
    args.push_back(dir.file("out.img"));
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    ASSERT_TRUE(createSingleImage(args, lutBuffer, log)) << log.text();

    const Bytes image = readFile(dir.file("out.img"));
    EXPECT_EQ(le32(image, 20), 100u);
    EXPECT_EQ(le32(image, 72), 2u);
    EXPECT_EQ(std::string(image.begin() + 76, image.begin() + 100), "SERIAL000001SERIAL000002");
    EXPECT_EQ(Bytes(image.end() - 20, image.end()),
              (Bytes{1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 0xa, 0, 0xb, 0, 0xc, 0, 0xd, 0, 0xff, 0xff}));

    const UpdatePackage p = parseFile(dir.file("out.img"));
    ASSERT_EQ(p.serialNumbers, (std::vector<std::string>{"SERIAL000001", "SERIAL000002"}));
    EXPECT_EQ(Bytes(p.lookupTable(0).begin(), p.lookupTable(0).end()), expectedLut(100));
    EXPECT_EQ(Bytes(p.lookupTable(1).begin(), p.lookupTable(1).end()), expectedLut(0xF000));
    EXPECT_EQ(p.alignmentData[1], (veltrion::AlignmentValues{0xa, 0xb, 0xc, 0xd, 0xffff}));
    EXPECT_EQ(p.isp.data, files.components().isp);
}

TEST(SingleImageCreation, VersionsComeFromTheFileNameNotTheFolder) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("build_7.9/a-rather-long-folder-name-for-firmware"));
    const ComponentFiles files(dir, "C0.1.2.3", "build_7.9/a-rather-long-folder-name-for-firmware/");
    std::vector<std::string> args = files.arguments();
    args.push_back(dir.file("out.img"));
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    ASSERT_TRUE(createSingleImage(args, lutBuffer, log)) << log.text();
    EXPECT_EQ(parseFile(dir.file("out.img")).fx3Version, 0x43010203u);
}

TEST(SingleImageCreation, Refusals) {
    TempDir dir;
    const ComponentFiles files(dir);
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    const auto run = [&](std::vector<std::string> args) {
        CapturingLogger log;
        EXPECT_FALSE(createSingleImage(args, lutBuffer, log));
        return log.text();
    };
    std::vector<std::string> args = files.arguments();
    EXPECT_EQ(run(args), "");  // eight files without an output file
    args.push_back(dir.file("out.img"));

    auto bad = args;
    bad[1] = dir.file("fx3.img");
    EXPECT_TRUE(run(bad).find("createSingleImage: cannot get fx3 version from " + dir.file("fx3.img")) !=
                std::string::npos);
    bad = args;
    writeFile(dir.file("boot_7.img"), files.components().bootloader);
    bad[4] = dir.file("boot_7.img");
    EXPECT_EQ(run(bad), "Veltrion2CamMgr::getVersion - invalid version format 7\n"
                        "createSingleImage: cannot convert bootloader version from " + dir.file("boot_7.img") + "\n");
    bad = args;
    bad[2] = dir.file("audio_A1.0.0.0.bin");
    EXPECT_TRUE(run(bad).find("invalid audio file size 4294967295\n") != std::string::npos);
    bad = args;
    writeFile(dir.file("empty_C0.1.0.0.json"), {});
    bad[6] = dir.file("empty_C0.1.0.0.json");
    EXPECT_TRUE(run(bad).find("Veltrion2CamMgr::createSingleImage - invalid json file size 0\n") != std::string::npos);

    writeLutDirectory(dir.file("lut"), 1);
    writeText(dir.file("align.txt"), "1\n2\n3\n4\n5\n");
    bad = args;
    bad.insert(bad.end() - 1, {dir.file("lut"), dir.file("align.txt"), "SHORTSERIAL"});
    EXPECT_TRUE(run(bad).find("serial number invalid size 11 given. Has to equal to 12\n") != std::string::npos);
    bad = args;
    bad.insert(bad.end() - 1, {dir.file("nolut"), dir.file("align.txt"), "SERIAL000001"});
    EXPECT_TRUE(run(bad).find("Veltrion2CamMgr::createSingleImage - load LUT dir " + dir.file("nolut") +
                              " failed.\n") != std::string::npos);
    bad = args;
    bad.insert(bad.end() - 1, {dir.file("lut"), dir.file("noalign.txt"), "SERIAL000001"});
    EXPECT_TRUE(run(bad).find("load alignment data from " + dir.file("noalign.txt") + " failed.\n") !=
                std::string::npos);
    bad = args;
    bad.back() = dir.file("no/such/folder/out.img");
    EXPECT_TRUE(run(bad).find("unable to create file") != std::string::npos);

    veltrion::SingleImageSources sources;
    sources.serialNumbers = {"SERIAL000001"};
    sources.outputFile = dir.file("x.img");
    CapturingLogger log;
    EXPECT_FALSE(createSingleImage(sources, lutBuffer, log));
    EXPECT_EQ(log.text(),
              "Veltrion2CamMgr::createSingleImage - # of LUTs OR # of alignments are different than # of camera "
              "serial numbers\n");
}

// What the update would refuse is not packed, and an image made before
// under the output's name stays as it was.
TEST(SingleImageCreation, RefusesWhatTheUpdateWouldRefuse) {
    TempDir dir;
    const ComponentFiles files(dir);
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    std::vector<std::string> args = files.arguments();
    args.push_back(dir.file("out.img"));
    CapturingLogger first;
    ASSERT_TRUE(createSingleImage(args, lutBuffer, first)) << first.text();
    const Bytes earlier = readFile(args.back());
    const auto refused = [&](const std::vector<std::string>& arguments) {
        CapturingLogger log;
        EXPECT_FALSE(createSingleImage(arguments, lutBuffer, log));
        EXPECT_EQ(readFile(arguments.back()), earlier);
        EXPECT_FALSE(std::filesystem::exists(arguments.back() + ".part"));
        return log.text();
    };

    Bytes junk(20 * 1024, 0x5A);  // a boot loader that is no boot image
    writeFile(dir.file("boot_C0.0.0.7.img"), junk);
    EXPECT_NE(refused(args).find("Veltrion2CamMgr::parseUpdatePackage - invalid bootloader boot image: bad signature\n"
                                 "Veltrion2CamMgr::createSingleImage - the update would refuse this image, not "
                                 "written\n"),
              std::string::npos);
    writeFile(dir.file("boot_C0.0.0.7.img"), files.components().bootloader);

    writeText(dir.file("features.json"), R"({"Features": [)");
    EXPECT_NE(refused(args).find("json component is not valid JSON: line 1 column "), std::string::npos);
    writeText(dir.file("features.json"), std::string(65531, ' '));
    EXPECT_NE(refused(args).find("json component of 65531 bytes does not fit its flash region, max 65530\n"),
              std::string::npos);
    writeFile(dir.file("features.json"), files.components().json);

    Bytes longBoot = files.components().bootloader;
    longBoot.resize(0x10004);
    writeFile(dir.file("boot_C0.0.0.7.img"), longBoot);
    EXPECT_NE(refused(args).find("bootloader component of 65540 bytes does not fit its flash region of 65536 bytes\n"),
              std::string::npos);

    auto badVersion = args;
    writeFile(dir.file("fx3_F5.1.0.0.img"), files.components().fx3);
    badVersion[1] = dir.file("fx3_F5.1.0.0.img");
    EXPECT_EQ(refused(badVersion),
              "Veltrion2CamMgr::getVersion - version F5.1.0.0 does not fit the packed version fields\n"
              "createSingleImage: cannot convert fx3 version from " + dir.file("fx3_F5.1.0.0.img") + "\n");
}

// The output is created (truncated) first, so an input named again as the
// output, however spelled, is refused before anything is written.
TEST(ImageCreation, AnOutputThatIsAnInputIsRefused) {
    TempDir dir;
    const ComponentFiles files(dir);
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    std::vector<std::string> args = files.arguments();
    const std::string fpga = args[0];
    std::filesystem::create_symlink(fpga, dir.file("link.bin"));
    for (const std::string& output : {dir.path().string() + "/./" + std::filesystem::path(fpga).filename().string(),
                                      dir.file("link.bin")}) {
        auto withOutput = args;
        withOutput.push_back(output);
        CapturingLogger log;
        EXPECT_FALSE(createSingleImage(withOutput, lutBuffer, log));
        EXPECT_EQ(log.text(), "Veltrion2CamMgr::createSingleImage - output file " + output + " is the input file " +
                                  fpga + "\n");
    }
    EXPECT_EQ(readFile(fpga), files.components().fpga);

    args.push_back(dir.file("one.img"));
    CapturingLogger log;
    ASSERT_TRUE(createSingleImage(args, lutBuffer, log)) << log.text();
    writeText(dir.file("f.json"), "{}");
    const Bytes image = readFile(dir.file("one.img"));
    log.clear();
    EXPECT_FALSE(createUnifiedImage({dir.file("one.img"), dir.file("f.json"), dir.file("one.img")}, log));
    EXPECT_EQ(log.text(), "Veltrion2CamMgr::createUnifiedImage - output file " + dir.file("one.img") +
                              " is the input file " + dir.file("one.img") + "\n");
    EXPECT_EQ(readFile(dir.file("one.img")), image);

    // The output name forgotten: the JSON argument is an image, and the JSON file would be overwritten.
    log.clear();
    EXPECT_FALSE(createUnifiedImage({dir.file("one.img"), dir.file("one.img"), dir.file("f.json")}, log));
    EXPECT_NE(log.text().find("Veltrion2CamMgr::createUnifiedImage - json file " + dir.file("one.img") +
                              " is not valid JSON: line 1 column "),
              std::string::npos)
        << log.text();
    EXPECT_EQ(readFile(dir.file("f.json")), Bytes({'{', '}'}));
}

TEST(SingleImageCreation, NoAuxiliaryBlobGivesZeroLength) {
    TempDir dir;
    const ComponentFiles files(dir);
    std::vector<std::string> args = files.arguments();
    args[7] = dir.file("missing-aux.bin");
    args.push_back(dir.file("out.img"));
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    ASSERT_TRUE(createSingleImage(args, lutBuffer, log)) << log.text();
    const Bytes image = readFile(dir.file("out.img"));
    EXPECT_EQ(le32(image, 52), 0u);
    EXPECT_TRUE(parseFile(dir.file("out.img")).auxBlob.empty());
}

TEST(UnifiedPackageCreation, TwoImagesAndJsonWithTheirOffsets) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("v3"));
    std::filesystem::create_directories(dir.file("v2"));
    const ComponentFiles v3(dir, "C0.1.2.3", "v3/");
    const ComponentFiles v2(dir, "X0.2.0.0", "v2/");
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    auto args = v3.arguments();
    args.push_back(dir.file("v3.img"));
    ASSERT_TRUE(createSingleImage(args, lutBuffer, log)) << log.text();
    args = v2.arguments();
    args.push_back(dir.file("v2.img"));
    ASSERT_TRUE(createSingleImage(args, lutBuffer, log)) << log.text();
    writeText(dir.file("features.json"), R"({"Features":[]})");

    ASSERT_TRUE(createUnifiedImage({dir.file("v3.img"), dir.file("v2.img"), dir.file("features.json"),
                                    dir.file("package.img")},
                                   log))
        << log.text();
    EXPECT_TRUE(log.contains("Veltrion2CamMgr::createUnifiedImage - successfully created image file " +
                             dir.file("package.img") + "\n"));

    const Bytes first = readFile(dir.file("v3.img"));
    const Bytes second = readFile(dir.file("v2.img"));
    const Bytes package = readFile(dir.file("package.img"));
    EXPECT_EQ(std::string(package.begin(), package.begin() + 4), "VUNI");
    EXPECT_EQ(le16(package, 4), 2);
    EXPECT_EQ(le16(package, 6), 0);
    EXPECT_EQ(le32(package, 8), 48u);
    EXPECT_EQ(le32(package, 12), first.size() + second.size());
    EXPECT_EQ(le32(package, 16), 15u);
    EXPECT_EQ(le32(package, 20), 2u);
    EXPECT_EQ(le16(package, 24), 0x3a7c);
    EXPECT_EQ(le16(package, 26), 0x0003);
    EXPECT_EQ(le32(package, 28), 0u);
    EXPECT_EQ(le32(package, 32), first.size());
    EXPECT_EQ(le16(package, 38), 0x0002);
    EXPECT_EQ(le32(package, 40), first.size());
    EXPECT_EQ(le32(package, 44), second.size());

    veltrion::UnifiedPackage parsed;
    ASSERT_TRUE(parseUpdatePackage(package, parsed, log)) << log.text();
    EXPECT_EQ(parsed.imageCount(), 2u);
    EXPECT_EQ(Bytes(parsed.image(1).begin(), parsed.image(1).end()), second);
    EXPECT_EQ(std::string(parsed.jsonFile().begin(), parsed.jsonFile().end()), R"({"Features":[]})");
}

TEST(UnifiedPackageCreation, Refusals) {
    TempDir dir;
    writeText(dir.file("f.json"), "{}");
    const auto run = [&](const std::vector<std::string>& args) {
        CapturingLogger log;
        EXPECT_FALSE(createUnifiedImage(args, log));
        return log.text();
    };
    EXPECT_EQ(run({dir.file("f.json")}), "Veltrion2CamMgr::createUnifiedImage: input list size 1\n");
    EXPECT_EQ(run({dir.file("none.json"), dir.file("p.img")}),
              "Veltrion2CamMgr::createUnifiedImage - invalid img file size 4294967295\n");
    writeText(dir.file("junk.img"), "not an image at all, but long enough for a header..................");
    EXPECT_TRUE(run({dir.file("junk.img"), dir.file("f.json"), dir.file("p.img")})
                    .find("Veltrion2CamMgr::createUnifiedImage - failed to parse Update package\n") !=
                std::string::npos);
    EXPECT_TRUE(run({dir.file("none.img"), dir.file("f.json"), dir.file("p.img")})
                    .find("Veltrion2CamMgr::createUnifiedImage: failed to read file " + dir.file("none.img")) !=
                std::string::npos);

    // An image whose FX3 version belongs to no camera of the line.
    const ComponentFiles other(dir, "Q0.1.0.0");
    auto args = other.arguments();
    args.push_back(dir.file("q.img"));
    Bytes lutBuffer(veltrion::lut::kBufferSize);
    CapturingLogger log;
    ASSERT_TRUE(createSingleImage(args, lutBuffer, log)) << log.text();
    EXPECT_TRUE(run({dir.file("q.img"), dir.file("f.json"), dir.file("p.img")}).find("invalid vidpid string") !=
                std::string::npos);
}

TEST(ManagerImages, CreationPassesThroughTheManagersLookupTableBuffer) {
    TempDir dir;
    const ComponentFiles files(dir);
    writeLutDirectory(dir.file("lut"), 5);
    writeText(dir.file("align.txt"), "11\n22\n33\n44\n55\n");
    auto state = std::make_shared<ScriptedUsbState>();
    veltrion::Veltrion2CamMgr mgr(true, std::make_unique<veltrion::WinDevice>(std::make_unique<ScriptedUsbPort>(state)));
    CapturingLogger log;
    mgr.setLogger(&log);
    auto args = files.arguments();
    args.insert(args.end(), {dir.file("lut"), dir.file("align.txt"), "ABCDEFGHIJKL", dir.file("out.img")});
    ASSERT_TRUE(mgr.createSingleImage(args)) << log.text();
    EXPECT_EQ(Bytes(mgr.lutBuffer().begin(), mgr.lutBuffer().begin() + 98304), expectedLut(5));
    EXPECT_EQ(le16(mgr.lutBuffer(), 98304 + 8), 0x55);

    const Bytes image = readFile(dir.file("out.img"));
    UpdatePackage package;
    ASSERT_TRUE(mgr.parseUpdatePackage(image.data(), image.size(), package)) << log.text();
    EXPECT_EQ(package.serialNumbers.front(), "ABCDEFGHIJKL");
    EXPECT_FALSE(mgr.parseUpdatePackage(nullptr, 10, package));
    EXPECT_TRUE(log.contains("invalid package - buf (nil), size 0\n")) << log.text();
}

// The feature JSON an image brings: text that does not parse is named
// invalid (with where it breaks), not reported as missing.
TEST(ManagerImages, FeatureJsonThatDoesNotParseIsInvalidNotMissing) {
    auto state = std::make_shared<ScriptedUsbState>();
    veltrion::Veltrion2CamMgr mgr(true,
                                  std::make_unique<veltrion::WinDevice>(std::make_unique<ScriptedUsbPort>(state)));
    CapturingLogger log;
    mgr.setLogger(&log);
    EXPECT_FALSE(mgr.programDefaultFeatureValues(R"({"BaseURL": "x", "Features": [)", "sim:cam0"));
    EXPECT_EQ(log.text().rfind("Veltrion2CamMgr.programDefaultFeatureValues: json is invalid - line 1 column 30: ", 0),
              0u)
        << log.text();
    EXPECT_EQ(log.text().find("no Json found"), std::string::npos);
    log.clear();
    EXPECT_FALSE(mgr.programDefaultFeatureValues("", "sim:cam0"));
    EXPECT_TRUE(log.contains("Veltrion2CamMgr.programDefaultFeatureValues: json is not loaded\n")) << log.text();
}
