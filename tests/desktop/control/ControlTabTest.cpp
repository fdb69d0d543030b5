// The control tab against a simulated camera: showing it only reads, each
// user action writes once, presets, automatic white balance and the
// framing switch's hold on pan, tilt and zoom.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "DesktopFixture.h"
#include "StandInServices.h"
#include "control/ControlTab.h"
#include "dialog/MessageBox.h"
#include "support/CapturingLogger.h"
#include "support/SimCounters.h"

using namespace veltrion;
using namespace veltrion::desktop;

namespace {
constexpr int kArcSecondsPerDegree = 3600;
}

class ControlTabTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        sim = std::make_unique<test::SimBus>();
        sim->bus->add("cam0");
        model = std::make_unique<CamMgrModel>();
        model->setLogger(&log);
        services = std::make_unique<test::StandInServices>(*model);
        QVERIFY(!services->serial.empty());
        tab = std::make_unique<ControlTab>(*services);
        messages.clear();
        setMessageBoxHook([this](const QString& text) { messages << text; });
    }
    void cleanup() {
        setMessageBoxHook(nullptr);
        tab.reset();
        services.reset();
        model.reset();
        sim.reset();
        log.clear();
    }

    void showingTheTabReadsTheCameraAndWritesNothing() {
        sim->bus->set("cam0", "control-brightness", "-20");
        sim->bus->set("cam0", "control-contrast", "70");
        sim->bus->set("cam0", "control-pan", std::to_string(15 * kArcSecondsPerDegree));
        sim->bus->set("cam0", "framing", "1");
        const auto before = sim->bus->stats("cam0");
        tab->showTab();
        tab->showTab();
        QCOMPARE(counter("control-writes"), before.at("control-writes"));
        QCOMPARE(counter("pages-programmed"), before.at("pages-programmed"));

        QCOMPARE(slider("brightness")->value(), -20);
        QCOMPARE(slider("brightness")->minimum(), -64);
        QCOMPARE(slider("brightness")->maximum(), 64);
        QCOMPARE(field("brightness")->text(), QStringLiteral("-20"));
        QCOMPARE(slider("contrast")->value(), 70);
        QVERIFY(slider("contrast")->isEnabled());
        QCOMPARE(slider("pan")->value(), 15);  // degrees
        QCOMPARE(slider("pan")->maximum(), 180);
        QCOMPARE(slider("zoom")->minimum(), 100);
        // White balance starts automatic: its slider waits for "Auto" to go off.
        QVERIFY(check("whiteBalanceAutoCheck")->isChecked());
        QVERIFY(!slider("whiteBalance")->isEnabled());
        // Framing already on: pan, tilt and zoom are shown as having no effect.
        QVERIFY(check("framingSwitch")->isChecked());
        QCOMPARE(check("framingSwitch")->text(), QStringLiteral("Smart Framing ON"));
        QVERIFY(!slider("pan")->isEnabled());
        QCOMPARE(note(), QStringLiteral("Smart Framing is on"));
        QVERIFY(!check("enhancementSwitch")->isChecked());
    }

    void eachSliderActionWritesOnceAndSaveStoresThePreset() {
        tab->showTab();
        const uint64_t writes = counter("control-writes");
        QVERIFY(!button("imageSaveButton")->isEnabled());
        slider("brightness")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(counter("control-writes"), writes + 1);
        QCOMPARE(sim->bus->state("cam0").video.controls.at("brightness"), 1);
        QCOMPARE(field("brightness")->text(), QStringLiteral("1"));
        QVERIFY(button("imageSaveButton")->isEnabled());

        button("imageSaveButton")->click();
        QVERIFY(messages.isEmpty());
        QCOMPARE(sim->bus->state("cam0").presets[1][9].at("brightness"), 1);
        QVERIFY(!button("imageSaveButton")->isEnabled());

        slider("tilt")->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(sim->bus->state("cam0").video.controls.at("tilt"), -kArcSecondsPerDegree);
        button("ptzSaveButton")->click();
        QCOMPARE(sim->bus->state("cam0").presets[0][9].at("tilt"), -kArcSecondsPerDegree);
        QCOMPARE(counter("control-writes"), writes + 2);
    }

    void resetRestoresDefaultsAndAutoSwitchesWhiteBalance() {
        sim->bus->set("cam0", "control-brightness", "30");
        sim->bus->set("cam0", "control-sharpness", "90");
        tab->showTab();
        const uint64_t writes = counter("control-writes");
        button("imageResetButton")->click();
        // Four image controls; white balance is automatic and left alone.
        QCOMPARE(counter("control-writes"), writes + 4);
        auto video = sim->bus->state("cam0").video;
        QCOMPARE(video.controls.at("brightness"), 0);
        QCOMPARE(video.controls.at("sharpness"), 50);
        QCOMPARE(slider("sharpness")->value(), 50);
        QVERIFY(button("imageSaveButton")->isEnabled());

        check("whiteBalanceAutoCheck")->click();  // manual, at the shown value
        video = sim->bus->state("cam0").video;
        QCOMPARE(video.controls.at("white-balance-auto"), 0);
        QCOMPARE(video.controls.at("white-balance"), slider("whiteBalance")->value());
        QVERIFY(slider("whiteBalance")->isEnabled());
        slider("whiteBalance")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(sim->bus->state("cam0").video.controls.at("white-balance"), 4610);

        check("whiteBalanceAutoCheck")->click();
        QCOMPARE(sim->bus->state("cam0").video.controls.at("white-balance-auto"), 1);
        QVERIFY(!slider("whiteBalance")->isEnabled());
        QVERIFY(messages.isEmpty());
    }

    void framingSwitchAndFieldOfViewGovernPanTiltZoom() {
        tab->showTab();
        QVERIFY(slider("zoom")->isEnabled());
        check("framingSwitch")->click();
        QVERIFY(sim->bus->state("cam0").video.framing);
        QCOMPARE(note(), QStringLiteral("Smart Framing is on"));
        for (const char* name : {"zoom", "pan", "tilt"}) QVERIFY(!slider(name)->isEnabled());
        QVERIFY(!button("ptzResetButton")->isEnabled() && !button("ptzSaveButton")->isEnabled());
        QCOMPARE(services->held, std::vector<QWidget*>{check("framingSwitch")});

        // Field of view feature: enabled, choice 2 (120 degrees).
        sim->bus->writeFlash("cam0", 0x81006, {0x01, 0x00, 0x02});
        int degrees = 0;
        QVERIFY(tab->getFoV(degrees));
        QCOMPARE(degrees, 120);
        check("framingSwitch")->setEnabled(true);  // what the hold does after 500 ms
        check("framingSwitch")->click();
        QVERIFY(!sim->bus->state("cam0").video.framing);
        QCOMPARE(note(), QStringLiteral("Field of View is not 180"));
        QVERIFY(!slider("pan")->isEnabled());

        sim->bus->writeFlash("cam0", 0x81006, {0x01, 0x00, 0x07});
        QVERIFY(!tab->getFoV(degrees));
        QVERIFY(log.contains("getFoV: unknow fov value 7\n"));
        sim->bus->writeFlash("cam0", 0x81006, {0x00, 0x00, 0x02});  // feature off: full view
        QVERIFY(tab->getFoV(degrees));
        QCOMPARE(degrees, 180);

        // A switch the camera refuses goes back to what the camera has.
        sim->bus->set("cam0", "xu-ready", "0");
        check("framingSwitch")->setEnabled(true);
        check("framingSwitch")->click();
        QVERIFY(log.contains("failed to enable ASF run time\n"));
        QVERIFY(!check("framingSwitch")->isChecked());
        QVERIFY(!sim->bus->state("cam0").video.framing);
    }

    void aCameraWithoutTheSwitchesShowsThemDisabled() {
        sim->bus->set("cam0", "runtime-switches", "0");
        tab->showTab();
        QCOMPARE(check("framingSwitch")->text(), QStringLiteral("Smart Framing Disabled"));
        QCOMPARE(check("enhancementSwitch")->text(), QStringLiteral("Veltrion Lumo Disabled"));
        QVERIFY(!check("framingSwitch")->isEnabled() && !check("enhancementSwitch")->isEnabled());
        QVERIFY(check("faceBoxSwitch")->isEnabled());
        // Pan, tilt and zoom do not wait for a framing switch the camera lacks.
        QVERIFY(slider("pan")->isEnabled());
        sim->bus->set("cam0", "xu-ready", "0");
        tab->showTab();
        QCOMPARE(check("framingSwitch")->text(), QStringLiteral("Smart Framing Not Ready"));
        QCOMPARE(check("enhancementSwitch")->text(), QStringLiteral("Veltrion Lumo Not Ready"));
    }

    void actionsOfATabShownForAnotherCameraWriteNothing() {
        tab->showTab();
        const auto before = sim->bus->stats("cam0");
        const std::string shown = services->serial;
        services->serial = "SN-OTHER";  // another camera selected since the tab was shown
        slider("brightness")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        button("imageResetButton")->click();
        button("imageSaveButton")->setEnabled(true);
        button("imageSaveButton")->click();
        check("framingSwitch")->click();
        check("faceBoxSwitch")->click();
        const auto after = sim->bus->stats("cam0");
        for (const char* counter : {"control-writes", "pages-programmed"})
            QVERIFY2(after.at(counter) == before.at(counter), counter);
        QVERIFY(!sim->bus->state("cam0").video.framing);
        QVERIFY(!check("framingSwitch")->isChecked() && !check("faceBoxSwitch")->isChecked());
        QVERIFY(log.contains("OnHScroll: the page shows camera " + shown + ", but camera SN-OTHER is selected; nothing is written\n"));
        QCOMPARE(messages, (QStringList{"OnHScroll: Set Brightness Failed!", "OnHScroll: Set Brightness Failed!",
                                        "Failed to save Control Preset!"}));
    }

    void withoutACameraTheTabReadsNothingAndSavesFail() {
        services->index = -1;
        services->serial.clear();
        tab->showTab();
        QVERIFY(log.contains("setupFeatureRunTime: no serial number! type = 0\n"));
        QVERIFY(log.contains("showTabView: FAILED to get FOV. Assume it is 180\n"));
        QVERIFY(!slider("brightness")->isEnabled());
        QVERIFY(!check("framingSwitch")->isEnabled());
        QVERIFY(!check("faceBoxSwitch")->isEnabled());
        button("ptzSaveButton")->setEnabled(true);
        button("ptzSaveButton")->click();
        QVERIFY(log.contains("OnBnClickedButtonPtzSave: invalid device index -1\n"));
        QCOMPARE(messages, QStringList{QStringLiteral("Failed to save PTZ Preset!")});
        QVERIFY(button("ptzSaveButton")->isEnabled());
    }

private:
    uint64_t counter(const char* key) const { return simCounter(*sim->bus, "cam0", key); }
    QSlider* slider(const QString& name) const {
        auto* found = tab->findChild<QSlider*>(name + QStringLiteral("Slider"));
        if (!found) qFatal("no slider %s", qPrintable(name));
        return found;
    }
    QLineEdit* field(const QString& name) const { return tab->findChild<QLineEdit*>(name + QStringLiteral("Value")); }
    QCheckBox* check(const QString& name) const {
        auto* found = tab->findChild<QCheckBox*>(name);
        if (!found) qFatal("no check box %s", qPrintable(name));
        return found;
    }
    QPushButton* button(const QString& name) const {
        auto* found = tab->findChild<QPushButton*>(name);
        if (!found) qFatal("no button %s", qPrintable(name));
        return found;
    }
    QString note() const { return tab->findChild<QLabel*>(QStringLiteral("ptzNote"))->text(); }

    std::unique_ptr<test::SimBus> sim;
    CapturingLogger log;
    std::unique_ptr<CamMgrModel> model;
    std::unique_ptr<test::StandInServices> services;
    std::unique_ptr<ControlTab> tab;
    QStringList messages;
};

int runControlTabTest(int argc, char** argv) {
    ControlTabTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ControlTabTest.moc"
