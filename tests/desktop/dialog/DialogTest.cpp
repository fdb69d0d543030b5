// The main window against simulated cameras: the camera list and status,
// a whole update with its progress captions, the refusals while a camera is
// written or streaming, and the device report packed into its archive.
// With VELTRION_SCREENSHOT_DIR set, the main states are saved as pictures.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTabBar>
#include <QTreeWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include <fstream>
#include <functional>
#include <utility>

#include <zip.h>

#include "DesktopFixture.h"
#include "diagnostics/DiagnosticsTab.h"
#include "dialog/MainDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/SilentUpdate.h"
#include "dialog/WorkerThread.h"
#include "format/FlashMap.h"
#include "support/CapturingLogger.h"
#include "support/SimCounters.h"

using namespace veltrion;
using namespace veltrion::desktop;

namespace {

void saveScreenshot(QWidget& window, const char* name) {
    const QByteArray dir = qgetenv("VELTRION_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    window.grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

std::vector<std::string> zipEntries(const std::string& path) {
    std::vector<std::string> names;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) names.emplace_back(zip_get_name(archive, i, 0));
    zip_close(archive);
    return names;
}

// Runs an action once, when a message with the text is logged: what a camera
// does between two steps of a job.
class TriggeringLogger : public CapturingLogger {
public:
    void when(std::string text, std::function<void()> action) {
        trigger_ = std::move(text);
        action_ = std::move(action);
    }

protected:
    void output(const char* message) override {
        CapturingLogger::output(message);
        if (action_ && std::string(message).find(trigger_) != std::string::npos) std::exchange(action_, nullptr)();
    }

private:
    std::string trigger_;
    std::function<void()> action_;
};

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The report folder the tests choose is remembered in settings of their own.
        QVERIFY(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    }
    void init() {
        sim = std::make_unique<test::SimBus>();
        messages.clear();
        setMessageBoxHook([this](const QString& text) { messages << text; });
    }
    void cleanup() {
        dialog.reset();
        model.reset();
        sim.reset();
        setMessageBoxHook(nullptr);
    }

    void withoutCameraOnlyTheUpdateTabShows() {
        open();
        QCOMPARE(dialog->updateButton()->text(), QStringLiteral("Device Not Found"));
        QVERIFY(!dialog->updateButton()->isEnabled());
        QCOMPARE(dialog->tabs()->count(), 1);
        QCOMPARE(dialog->selectedDeviceIndex(), -1);
    }

    void updateFromTheDialogShowsProgressThenTheNewVersions() {
        sim->bus->add("cam0");
        sim->bus->add("cam1");
        for (const char* camera : {"cam0", "cam1"}) sim->bus->set(camera, "friendly-name", "Veltrion 3");
        const std::string package = sim->buildV3Package();
        open(package);
        QCOMPARE(dialog->cameraCombo()->count(), 2);
        QTRY_COMPARE(dialog->tabs()->count(), 4);
        QCOMPARE(dialog->updateButton()->text(), QStringLiteral("Update (F1.2.0.0.C0.2.0.0)"));
        QVERIFY(dialog->updateButton()->width() >= dialog->updateButton()->sizeHint().width());  // caption whole
        saveScreenshot(*dialog, "dialog-idle-two-cameras");

        QStringList captions;
        QTest::mouseClick(dialog->updateButton(), Qt::LeftButton);
        QVERIFY(!dialog->idle());
        QCOMPARE(dialog->tabs()->count(), 1);
        QVERIFY(!dialog->cameraCombo()->isEnabled());

        // Nothing closes the window while the camera is written.
        dialog->close();
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        dialog->done(0);
        QVERIFY(dialog->isVisible());
        QCOMPARE(messages, QStringList(3, QStringLiteral("DO NOT exit while camera is being updated")));

        bool shot = false;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QString caption = dialog->updateButton()->text();
                if (caption.startsWith("Updating ") && (captions.isEmpty() || captions.back() != caption)) {
                    captions << caption;
                    if (!shot && caption.contains("FPGA")) {
                        saveScreenshot(*dialog, "dialog-updating");
                        shot = true;
                    }
                }
                return dialog->idle();
            }(),
            120000);
        QVERIFY(!captions.isEmpty());
        for (const QString& caption : captions)
            QVERIFY2(QRegularExpression("^Updating [A-Z0-9]* \\.\\.\\.\\.\\.\\. \\d+%$").match(caption).hasMatch(),
                     qPrintable(caption));
        QVERIFY2(messages.size() == 3, qPrintable(messages.join('|')));  // no failure box

        // The camera reboots into the new firmware and the window shows it.
        QTRY_COMPARE_WITH_TIMEOUT(dialog->updateButton()->text(), QStringLiteral("Device Up-To-Date"), 30000);
        QCOMPARE(dialog->findChild<QLabel*>("fx3Version")->text(), QStringLiteral("C0.2.0.0"));
        QCOMPARE(dialog->findChild<QLabel*>("fpgaVersion")->text(), QStringLiteral("F1.2.0.0"));
        QTRY_COMPARE(dialog->tabs()->count(), 4);
        QTRY_VERIFY(dialog->cameraCombo()->isEnabled() && dialog->tabs()->tabBar()->isEnabled());
        saveScreenshot(*dialog, "dialog-done");
        dialog->close();
        QVERIFY(!dialog->isVisible());
    }

    void withoutHotplugTheListIsReadAgainAfterTheProgramsReboot() {
        sim->bus->add("cam0");
        open(sim->buildV3Package(), MainDialog::Hotplug::Ignore);
        QTRY_VERIFY(dialog->updateButton()->isEnabled());
        QTest::mouseClick(dialog->updateButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->idle(), 120000);
        QTRY_COMPARE_WITH_TIMEOUT(dialog->updateButton()->text(), QStringLiteral("Device Up-To-Date"), 30000);
    }

    void showingEveryTabAndTheQuickSetupWritesNothing() {
        sim->bus->add("cam0");
        sim->bus->add("cam1", camsim::AddOptions{.productId = 0x8003, .serial = {}, .blank = false, .vendorId = {}});
        for (const char* camera : {"cam0", "cam1"}) sim->bus->set(camera, "friendly-name", "Veltrion 3");
        open(sim->buildV3Package());
        QTRY_COMPARE(dialog->tabs()->count(), 4);
        dialog->resize(1100, 460);
        const auto before = sim->bus->stats("cam0");

        QTabBar* bar = dialog->tabs()->tabBar();
        const std::pair<int, const char*> tabs[] = {{MainDialog::kControlTab, "tab-control"},
                                                    {MainDialog::kFeaturesTab, "tab-features"},
                                                    {MainDialog::kDiagnosticsTab, nullptr}};
        for (const auto& [index, picture] : tabs) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
            QCOMPARE(dialog->tabs()->currentIndex(), index);
            if (index == MainDialog::kFeaturesTab) {
                auto* tree = dialog->findChild<QTreeWidget*>("featureTree");
                QVERIFY(tree && tree->topLevelItemCount() > 1);
                tree->setCurrentItem(tree->topLevelItem(1)->child(0));
            }
            if (picture) saveScreenshot(*dialog, picture);
        }
        auto* quickSetup = dialog->findChild<QPushButton*>("quickSetupButton");
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(MainDialog::kUpdateTab).center());
        QTest::mouseClick(quickSetup, Qt::LeftButton);
        QVERIFY(dialog->findChild<QWidget*>("quickSetupTitle")->isVisible());
        QTRY_VERIFY(dialog->findChild<QPushButton*>("quickSetupNextButton")->isEnabled());  // held for a moment
        saveScreenshot(*dialog, "quick-setup");
        QTest::mouseClick(dialog->findChild<QPushButton*>("quickSetupCancelButton"), Qt::LeftButton);
        QVERIFY(dialog->tabs()->isVisible());

        // Reading ranges, values and the feature area sends nothing back.
        const auto after = sim->bus->stats("cam0");
        for (const char* counter : {"control-writes", "pages-programmed", "sectors-erased-4k"})
            QVERIFY2(after.at(counter) == before.at(counter), counter);
    }

    void audioPageSwitchesTheIdentityButTheUpdateButtonNever() {
        sim->bus->add("cam0");
        open(sim->buildV3Package());
        QTRY_COMPARE(dialog->tabs()->count(), 4);
        // The user picks "Off" on the Audio page, then updates with the update button.
        chooseAudioOff();
        dialog->showTabView(MainDialog::kUpdateTab);
        QTest::mouseClick(dialog->updateButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->idle(), 120000);
        QTRY_COMPARE_WITH_TIMEOUT(sim->bus->state("cam0").running.fx3.version, std::string("C0.2.0.0"), 30000);
        QCOMPARE(sim->bus->find("cam0").productId, uint16_t(0x0003));  // its own identity

        // "Apply Changes" on the Audio page is what changes the identity.
        QTRY_COMPARE_WITH_TIMEOUT(dialog->updateButton()->text(), QStringLiteral("Device Up-To-Date"), 30000);
        QTRY_COMPARE(dialog->tabs()->count(), 4);
        chooseAudioOff();
        auto* apply = dialog->findChild<QPushButton*>("applyChangesButton");
        QVERIFY(apply->isEnabled());
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(!dialog->idle());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->idle(), 120000);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));
        QTRY_COMPARE_WITH_TIMEOUT(sim->bus->find("cam0").productId, uint16_t(0x8003), 30000);
    }

    void everyWriteLandsOnTheSelectedCameraThroughItsRebootsAndARescan() {
        sim->bus->add("cam0");
        sim->bus->add("cam1");
        for (const char* camera : {"cam0", "cam1"}) sim->bus->set(camera, "friendly-name", "Veltrion 3");
        open(sim->buildV3Package());
        QTRY_COMPARE(dialog->tabs()->count(), 4);
        selectPosition(1);
        const std::string second = shownSerial();
        const std::string secondName = simName(second);
        const std::string firstName = secondName == "cam0" ? "cam1" : "cam0";
        QVERIFY(!secondName.empty());
        const auto firstFlash = sim->bus->readFlash(firstName, 0, flashmap::kFlashSize);
        const uint64_t firstControlWrites = simCounter(*sim->bus, firstName, "control-writes");
        constexpr uint32_t kAngle = 0x81007;

        // A feature value: the second camera reboots, comes back and stays
        // selected; the page is built again for it.
        auto* apply = dialog->findChild<QPushButton*>("applyChangesButton");
        chooseAngle("90 degrees");
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(sim->bus->readFlash(secondName, kAngle, 2), (std::vector<uint8_t>{0x00, 0x03}));
        QTRY_VERIFY(!apply->isVisible());
        QCOMPARE(shownSerial(), second);
        QCOMPARE(dialog->findChild<QLabel*>("featuresCameraId")->text(),
                 QStringLiteral("Camera ID: ") + QString::fromStdString(second));
        chooseAngle("140 degrees");
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(sim->bus->readFlash(secondName, kAngle, 2), (std::vector<uint8_t>{0x00, 0x01}));
        QTRY_VERIFY(!apply->isVisible());

        // The custom name and a slider on the Control tab, after that reboot.
        dialog->showTabView(MainDialog::kControlTab);
        uint64_t secondControlWrites = simCounter(*sim->bus, secondName, "control-writes");
        moveBrightness();
        QCOMPARE(simCounter(*sim->bus, secondName, "control-writes"), ++secondControlWrites);
        auto* nameCheck = dialog->findChild<QCheckBox*>("customNameCheck");
        QVERIFY(nameCheck->isEnabled());
        if (!nameCheck->isChecked()) nameCheck->click();
        auto* nameEdit = dialog->findChild<QLineEdit*>("customNameEdit");
        nameEdit->setText(QStringLiteral("Huddle"));
        QTest::mouseClick(dialog->findChild<QPushButton*>("customNameSaveButton"), Qt::LeftButton);
        const auto namePage = sim->bus->readFlash(secondName, 0x81000 + 128, 6);
        QCOMPARE(std::string(namePage.begin(), namePage.end()), std::string("Huddle"));
        // Back from the reboot, the box is read again from the second camera
        // (whose simulated capture source keeps its name).
        QTRY_COMPARE(nameEdit->text(), QStringLiteral("Veltrion 3"));
        QVERIFY(nameCheck->isChecked());
        QCOMPARE(shownSerial(), second);
        secondControlWrites = simCounter(*sim->bus, secondName, "control-writes");
        moveBrightness();
        QCOMPARE(simCounter(*sim->bus, secondName, "control-writes"), ++secondControlWrites);

        // A camera plugged in: the list is read again, the second one stays
        // selected wherever it is listed now.
        sim->bus->add("cam2");
        QTRY_COMPARE(dialog->cameraCombo()->count(), 3);
        QCOMPARE(shownSerial(), second);
        moveBrightness();
        QCOMPARE(simCounter(*sim->bus, secondName, "control-writes"), ++secondControlWrites);
        chooseAngle("180 degrees");
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(sim->bus->readFlash(secondName, kAngle, 2), (std::vector<uint8_t>{0x00, 0x00}));

        QVERIFY(sim->bus->readFlash(firstName, 0, flashmap::kFlashSize) == firstFlash);
        QCOMPARE(simCounter(*sim->bus, firstName, "control-writes"), firstControlWrites);
        QCOMPARE(simCounter(*sim->bus, "cam2", "control-writes"), uint64_t(0));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('|')));

        // The second camera gone: the first is selected and the tab in view
        // is built again for it.
        QTRY_VERIFY(!apply->isVisible());
        dialog->showTabView(MainDialog::kControlTab);
        sim->bus->remove(secondName);
        QTRY_COMPARE(dialog->cameraCombo()->count(), 2);
        QVERIFY(shownSerial() != second);
        QVERIFY(!dialog->findChild<QCheckBox*>("customNameCheck")->isChecked());
    }

    void aJobWhoseThreadCannotStartLeavesTheWindowUsable() {
        sim->bus->add("cam0");
        open(sim->buildV3Package());
        QTRY_VERIFY(dialog->updateButton()->isEnabled());
        const QString base = QString::fromStdString((sim->dir / "reports").string());
        QDir().mkpath(base);
        dialog->diagnosticsTab()->setBaseFolder(base);
        const uint64_t pages = simCounter(*sim->bus, "cam0", "pages-programmed");

        refuseWorkerThreadsForTesting(true);
        auto allowThreads = qScopeGuard([] { refuseWorkerThreadsForTesting(false); });
        QTest::mouseClick(dialog->updateButton(), Qt::LeftButton);
        QVERIFY(log.contains("Failed to create update thread\n"));
        dialog->showTabView(MainDialog::kDiagnosticsTab);
        QTest::mouseClick(dialog->diagnosticsTab()->generateButton(), Qt::LeftButton);
        QVERIFY(log.contains("Failed to create report thread\n"));
        for (QWidget* control : {static_cast<QWidget*>(dialog->updateButton()), static_cast<QWidget*>(dialog->cameraCombo()),
                                 static_cast<QWidget*>(dialog->tabs()->tabBar()),
                                 static_cast<QWidget*>(dialog->diagnosticsTab()->generateButton())})
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(dialog->idle());
        QCOMPARE(dialog->tabs()->count(), 4);
        QCOMPARE(simCounter(*sim->bus, "cam0", "pages-programmed"), pages);
        dialog->close();
        QVERIFY(!dialog->isVisible());
        QVERIFY(messages.isEmpty());
    }

    void silentUpdateOfACameraThatGoesAwayAfterItsStatusFailsAsAnUpdate() {
        sim->bus->add("cam0");
        const std::string package = sim->buildV3Package();
        const auto silentRun = [&](TriggeringLogger& steps) {
            CamMgrModel silentModel;
            silentModel.setLogger(&steps);
            silentModel.setImagePath(package);
            return runSilentUpdate(silentModel);
        };
        // Unplugged right after its status was read.
        TriggeringLogger unplugged;
        unplugged.when("getCamInfo: get device status  1\n", [&] { sim->bus->remove("cam0"); });
        QCOMPARE(silentRun(unplugged), 2);
        for (const char* line : {"isCamStreaming: failed to get streaming status\n", "updateDevice: no cam!\n",
                                 "rebootDevice: no cam!\n"})
            QVERIFY2(unplugged.contains(line), line);

        // Gone while its streaming state is asked (the query fails): the
        // update cannot read it, and the reboot is still tried.
        sim->bus->add("cam0");
        sim->bus->fault("cam0", "fail-nth", "fe:2");
        TriggeringLogger vanished;
        vanished.when("isDevStreaming: failed to streaming status", [&] { sim->bus->remove("cam0"); });
        QCOMPARE(silentRun(vanished), 2);
        for (const char* line : {"getCamInfo: get device status  1\n", "updateDevice: failed to get cam Info!\n",
                                 "rebooting camera through UVC ...\n"})
            QVERIFY2(vanished.contains(line), line);
    }

    void streamingCameraIsNotUpdated() {
        sim->bus->add("cam0");
        sim->bus->set("cam0", "streaming", "1");
        open(sim->buildV3Package());
        QTRY_VERIFY(dialog->updateButton()->isEnabled());
        const auto before = sim->bus->stats("cam0")["pages-programmed"];
        QTest::mouseClick(dialog->updateButton(), Qt::LeftButton);
        QCOMPARE(messages, QStringList{QStringLiteral(
                               "Veltrion Camera is in Use. Please close any conferencing applications and try again!")});
        QVERIFY(dialog->idle());
        QCOMPARE(sim->bus->stats("cam0")["pages-programmed"], before);
    }

    void reportIsPackedIntoItsArchive() {
        sim->bus->add("cam0");
        open(sim->buildV3Package());
        QTRY_COMPARE(dialog->tabs()->count(), 4);
        const QString base = QString::fromStdString((sim->dir / "reports").string());
        QDir().mkpath(base);
        dialog->showTabView(MainDialog::kDiagnosticsTab);
        DiagnosticsTab& tab = *dialog->diagnosticsTab();
        tab.setBaseFolder(base);
        const std::string zip = (sim->dir / "reports" / "VeltrionReport.zip").string();
        { std::ofstream(zip) << "an older archive"; }

        QTest::mouseClick(tab.generateButton(), Qt::LeftButton);
        QVERIFY(!dialog->idle());
        QVERIFY(!tab.generateButton()->isEnabled());
        dialog->close();
        QCOMPARE(messages, QStringList{QStringLiteral("DO NOT exit while report is being generated")});
        QTRY_VERIFY_WITH_TIMEOUT(dialog->idle(), 60000);
        QCOMPARE(tab.resultText(), QStringLiteral("Report Generated at ") + QString::fromStdString(zip) +
                                       ". Please reboot the Veltrion Camera.");
        QVERIFY(tab.generateButton()->isEnabled());  // usable again for another report
        saveScreenshot(*dialog, "tab-diagnostics");

        const auto entries = zipEntries(zip);
        const std::string serial = sim->bus->find("cam0").serial;
        for (const std::string& expected :
             {std::string("VeltrionReport/"), std::string("VeltrionReport/log.txt"),
              "VeltrionReport/device (" + serial + ")/reportFile(" + serial + ").txt"})
            QVERIFY2(std::find(entries.begin(), entries.end(), expected) != entries.end(), expected.c_str());
        QVERIFY(!std::filesystem::exists(zip + ".part"));
    }

    void failedReportSaysSoAndKeepsNoNewArchive() {
        sim->bus->add("cam0");
        open(sim->buildV3Package());
        QTRY_COMPARE(dialog->tabs()->count(), 4);
        const QString base = QString::fromStdString((sim->dir / "reports").string());
        QDir().mkpath(base);
        dialog->diagnosticsTab()->setBaseFolder(base);
        sim->bus->fault("cam0", "fail-read-at", "0x0");  // the flash reads of the report fail
        QTest::mouseClick(dialog->diagnosticsTab()->generateButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->idle(), 60000);
        QCOMPARE(dialog->diagnosticsTab()->resultText(),
                 QStringLiteral("Report Generation Failed! Please check log for more information."));
        QVERIFY(!std::filesystem::exists(sim->dir / "reports" / "VeltrionReport.zip"));

        // A folder that does not exist: only the last level is made.
        dialog->diagnosticsTab()->setBaseFolder(base + "/missing");
        QTest::mouseClick(dialog->diagnosticsTab()->generateButton(), Qt::LeftButton);
        QVERIFY(messages.last().startsWith("Failed to create report directory "));
        QVERIFY(dialog->idle());
    }

private:
    void selectPosition(int position) {
        dialog->cameraCombo()->setCurrentIndex(position);
        emit dialog->cameraCombo()->activated(position);
    }
    std::string shownSerial() const { return dialog->findChild<QLineEdit*>("serialEdit")->text().toStdString(); }
    std::string simName(const std::string& serial) const {
        for (const auto& camera : sim->bus->list())
            if (camera.serial == serial) return camera.name;
        return {};
    }
    // Shows the Features tab with the field of view's angle page and clicks
    // the value of the label.
    void chooseAngle(const QString& label) {
        dialog->showTabView(MainDialog::kFeaturesTab);
        auto* tree = dialog->findChild<QTreeWidget*>("featureTree");
        const auto roots = tree->findItems("Field of View", Qt::MatchExactly);
        QCOMPARE(roots.size(), 1);
        for (int i = 0; i < roots[0]->childCount(); ++i)
            if (roots[0]->child(i)->text(0) == "Angle") tree->setCurrentItem(roots[0]->child(i));
        QRadioButton* choice = nullptr;
        for (auto* button : dialog->findChild<QWidget*>("featurePage")->findChildren<QRadioButton*>())
            if (button->text() == label) choice = button;
        QVERIFY2(choice, qPrintable(label));
        choice->click();
        QVERIFY(dialog->findChild<QPushButton*>("applyChangesButton")->isEnabled());
    }
    void moveBrightness() {
        auto* slider = dialog->findChild<QSlider*>("brightnessSlider");
        QVERIFY(slider->isEnabled());
        slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    void chooseAudioOff() {
        dialog->showTabView(MainDialog::kFeaturesTab);
        auto* tree = dialog->findChild<QTreeWidget*>("featureTree");
        const auto audio = tree->findItems("Audio", Qt::MatchExactly);
        QCOMPARE(audio.size(), 1);
        tree->setCurrentItem(audio[0]->child(0));
        QRadioButton* off = nullptr;  // the shown page's, not one of a page being deleted
        for (auto* button : dialog->findChildren<QRadioButton*>("featureValueButton1"))
            if (button->isVisible()) off = button;
        QVERIFY(off && off->text() == "Off" && !off->isChecked());
        off->click();  // as a click on its label does (the button is wider than its label)
        QVERIFY(off->isChecked());
    }
    void open(const std::string& imagePath = {}, MainDialog::Hotplug hotplug = MainDialog::Hotplug::Watch) {
        model = std::make_unique<CamMgrModel>();
        model->setLogger(&log);
        model->setImagePath(imagePath);
        dialog = std::make_unique<MainDialog>(*model, (sim->dir / "no-log-yet.log").string(), nullptr, hotplug);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

    std::unique_ptr<test::SimBus> sim;
    CapturingLogger log;
    std::unique_ptr<CamMgrModel> model;
    std::unique_ptr<MainDialog> dialog;
    QStringList messages;
    QTemporaryDir configHome;
};

QTEST_MAIN(DialogTest)
#include "DialogTest.moc"
