// The image-control defaults of the update package's feature JSON, written
// to a simulated camera and stored as a preset.

#include <jansson.h>

#include <QtTest>
#include <filesystem>
#include <sstream>

#include "DesktopFixture.h"
#include "config/JsonRef.h"
#include "control/CamControlDefaults.h"
#include "support/CapturingLogger.h"
#include "support/SimCounters.h"

using namespace veltrion;
using namespace veltrion::desktop;

class CamControlDefaultsTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        sim = std::make_unique<test::SimBus>();
        sim->bus->add("cam0");
        model = std::make_unique<CamMgrModel>();
        model->setLogger(&log);
    }
    void cleanup() {
        model.reset();
        sim.reset();
        log.clear();
    }

    void thePackagesOwnDefaultsAreAppliedAndSaved() {
        sim->bus->set("cam0", "control-contrast", "90");
        sim->bus->set("cam0", "control-white-balance-auto", "0");
        model->setImagePath(sim->buildV3Package());
        QVERIFY(programDefaultCamControls(*model, camera()));
        const auto state = sim->bus->state("cam0");
        QCOMPARE(state.video.controls.at("contrast"), 50);
        QCOMPARE(state.video.controls.at("white-balance-auto"), 1);
        QCOMPARE(state.presets[1][9].at("contrast"), 50);
    }

    void aValueOutOfRangeFailsButTheOthersAreAppliedAndSaved() {
        sim->bus->set("cam0", "control-saturation", "10");
        sim->bus->set("cam0", "control-sharpness", "77");
        useDefaults(R"({"Btn": "3", "Brightness": "80", "Contrast": "3c", "Saturation": "default",
                        "Sharpness": "fast", "Gain": "0x64", "Backlight Comp": 5})");
        QVERIFY(!programDefaultCamControls(*model, camera()));
        // "80" is hexadecimal 128, beyond the camera's brightness.
        QVERIFY(log.contains("applyCamControl: property type 0 value 128 out of range [-64, 64]\n"));
        const auto state = sim->bus->state("cam0");
        QVERIFY(!state.video.controls.count("brightness"));
        QCOMPARE(state.video.controls.at("contrast"), 60);
        QCOMPARE(state.video.controls.at("saturation"), 64);
        QCOMPARE(state.video.controls.at("gain"), 100);
        // Neither "fast" nor a number: logged and left alone.
        QVERIFY(log.contains("\"fast\""));
        QCOMPARE(state.video.controls.at("sharpness"), 77);
        QCOMPARE(state.presets[1][3].at("contrast"), 60);
    }

    void aBadButtonFailsBeforeTheCameraIsTouched() {
        for (const char* defaults : {R"({"Btn": "A", "Contrast": "10"})", R"({"Btn": "nine", "Contrast": "10"})",
                                     R"({"Contrast": "10"})"}) {
            useDefaults(defaults);
            log.clear();
            const uint64_t writes = simCounter(*sim->bus, "cam0", "control-writes");
            QVERIFY(!programDefaultCamControls(*model, camera()));
            QCOMPARE(simCounter(*sim->bus, "cam0", "control-writes"), writes);
            QCOMPARE(sim->bus->state("cam0").run.lastPreset, -1);
        }
        QVERIFY(log.contains("programDefaultCamControls: no btn found\n"));
        useDefaults(R"({"Btn": "A"})");
        QVERIFY(!programDefaultCamControls(*model, camera()));
        QVERIFY(log.contains("programDefaultCamControls: invalid btn num 10\n"));
    }

    void withoutDefaultsThereIsNothingToDoAndNoPreset() {
        useDefaults(nullptr);
        QVERIFY(programDefaultCamControls(*model, camera()));
        useDefaults(R"({"Btn": "2"})");
        QVERIFY(programDefaultCamControls(*model, camera()));
        QCOMPARE(sim->bus->state("cam0").run.lastPreset, -1);
        CameraRef unknown = camera();
        unknown.serial.clear();
        QVERIFY(!programDefaultCamControls(*model, unknown));
        QVERIFY(log.contains("programDefaultCamControls: invalid serial number\n"));
    }

private:
    CameraRef camera() {
        auto ref = model->resolve(0, "test");
        if (!ref || !model->identify(*ref, "test")) qFatal("camera 0 not found");
        return *ref;
    }

    // A package whose feature JSON carries these image-control defaults (none
    // for null), loaded into the model in place of the previous one. The
    // JSON goes into the single image as well as the package.
    void useDefaults(const char* filterControl) {
        const std::string package =
            sim->buildV3PackageWithJson("defaults" + std::to_string(packages++), [filterControl](json_t* root) {
                if (filterControl)
                    json_object_set(root, "Filter Control", JsonRef::parse(filterControl).get());
                else
                    json_object_del(root, "Filter Control");
            });
        QVERIFY(!package.empty());
        model->setImagePath(package);
        model->forgetFeatureJson();
    }

    std::unique_ptr<test::SimBus> sim;
    CapturingLogger log;
    std::unique_ptr<CamMgrModel> model;
    int packages = 0;
};

int runCamControlDefaultsTest(int argc, char** argv) {
    CamControlDefaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CamControlDefaultsTest.moc"
