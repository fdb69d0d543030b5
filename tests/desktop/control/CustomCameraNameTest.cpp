// The custom camera name box against a simulated camera: what ends up in the
// configuration block's name page, and names that must not get there.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <numeric>

#include "DesktopFixture.h"
#include "StandInServices.h"
#include "control/CustomCameraNameBox.h"
#include "support/CapturingLogger.h"
#include "support/SimCounters.h"

using namespace veltrion;
using namespace veltrion::desktop;

namespace {
constexpr uint32_t kNamePage = 0x81000;
}

class CustomCameraNameTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        sim = std::make_unique<test::SimBus>();
        sim->bus->add("cam0");
        sim->bus->set("cam0", "friendly-name", "Meeting Room");
        model = std::make_unique<CamMgrModel>();
        model->setLogger(&log);
        services = std::make_unique<test::StandInServices>(*model);
        box = std::make_unique<CustomCameraNameBox>(*services);
    }
    void cleanup() {
        box.reset();
        services.reset();
        model.reset();
        sim.reset();
        log.clear();
    }

    void readingTheStateShowsTheCurrentNameAndOffersSaveOnlyForAChange() {
        const uint64_t pages = simCounter(*sim->bus, "cam0", "pages-programmed");
        box->readState();
        QCOMPARE(simCounter(*sim->bus, "cam0", "pages-programmed"), pages);
        QVERIFY(box->enableCheck()->isEnabled() && !box->enableCheck()->isChecked());
        QCOMPARE(box->nameEdit()->text(), QStringLiteral("Meeting Room"));
        QVERIFY(!box->nameEdit()->isEnabled() && !box->saveButton()->isEnabled());
        box->enableCheck()->click();
        QVERIFY(box->nameEdit()->isEnabled() && box->saveButton()->isEnabled());
        box->nameEdit()->setText(QStringLiteral("   "));
        QVERIFY(!box->saveButton()->isEnabled());
    }

    void aNameOfThirtyCharactersIsWrittenWithItsChecksum() {
        const std::vector<uint8_t> before = sim->bus->readFlash("cam0", kNamePage, 256);
        const QString name = QStringLiteral("Board Room ~ East Wing #2 (A)!");
        QCOMPARE(name.size(), 30);
        QVERIFY(saveName(true, name));
        const std::vector<uint8_t> page = sim->bus->readFlash("cam0", kNamePage, 256);
        QCOMPARE(page[30], uint8_t(1));
        QCOMPARE(page[31], uint8_t(0));
        QCOMPARE(page[32], uint8_t(1));
        QCOMPARE(std::string(page.begin() + 128, page.begin() + 158), name.toStdString());
        QCOMPARE(page[158], uint8_t(0));
        QCOMPARE(page[159], uint8_t(std::accumulate(page.begin() + 128, page.begin() + 159, 0u) & 0xFF));
        // The rest of the page is kept.
        QVERIFY(std::equal(before.begin(), before.begin() + 30, page.begin()));
        QVERIFY(std::equal(before.begin() + 160, before.end(), page.begin() + 160));
        QCOMPARE(services->reboots, std::vector<bool>{true});
        // The camera now reports the name switched on.
        box->readState();
        QVERIFY(box->enableCheck()->isChecked());
    }

    void namesTheCameraCannotShowAreRefusedWithoutAWrite() {
        const uint64_t pages = simCounter(*sim->bus, "cam0", "pages-programmed");
        for (const QString& name : {QString(31, QLatin1Char('x')), QString(32, QLatin1Char('x')), QString(),
                                    QStringLiteral("Caméra"), QStringLiteral("Room\t1")}) {
            log.clear();
            QVERIFY(!saveName(true, name));
            QVERIFY(log.contains("OnBnClickedSaveCamNameBtn: invalid length of cam name found! "));
        }
        QVERIFY(log.contains("Room?1"));  // the refused name, shown safely
        QCOMPARE(simCounter(*sim->bus, "cam0", "pages-programmed"), pages);
        QVERIFY(services->reboots.empty());
    }

    void uncheckingWritesAnEmptyBlockSwitchedOff() {
        QVERIFY(saveName(true, QStringLiteral("Lab")));
        QVERIFY(saveName(false, QStringLiteral("Lab")));
        const std::vector<uint8_t> page = sim->bus->readFlash("cam0", kNamePage, 256);
        QCOMPARE(page[30], uint8_t(1));
        QCOMPARE(page[32], uint8_t(0));
        QVERIFY(std::all_of(page.begin() + 128, page.begin() + 160, [](uint8_t b) { return b == 0; }));
        QVERIFY(log.contains("OnBnClickedSaveCamNameBtn: disabling custom cam name\n"));
    }

private:
    bool saveName(bool enable, const QString& name) {
        box->readState();
        box->enableCheck()->setChecked(enable);
        box->nameEdit()->setText(name);
        return box->save();
    }

    std::unique_ptr<test::SimBus> sim;
    CapturingLogger log;
    std::unique_ptr<CamMgrModel> model;
    std::unique_ptr<test::StandInServices> services;
    std::unique_ptr<CustomCameraNameBox> box;
};

int runCustomCameraNameTest(int argc, char** argv) {
    CustomCameraNameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CustomCameraNameTest.moc"
