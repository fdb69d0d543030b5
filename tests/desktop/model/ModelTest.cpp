// The camera model against simulated cameras: the device list, status
// against an update package, the update itself, the feature JSON cache and
// the run-time switches.

#include <QtTest>

#include "DesktopFixture.h"
#include "model/CamMgrModel.h"
#include "support/CapturingLogger.h"
#include "support/SimCounters.h"

using namespace veltrion;
using namespace veltrion::desktop;

class ModelTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        sim = std::make_unique<test::SimBus>();
        model = std::make_unique<CamMgrModel>();
        model->setLogger(&log);
    }
    void cleanup() {
        model.reset();
        sim.reset();
        log.clear();
    }

    void listsEachCameraOnceAndResolvesIndicesOnlyInsideTheList() {
        sim->bus->add("cam0");
        sim->bus->add("cam1");
        const auto list = model->deviceList();
        QCOMPARE(list.size(), size_t(2));
        for (int index : {0, 1}) {
            const auto camera = model->resolve(index, "op");
            QVERIFY(camera);
            QVERIFY(camera->uvc);  // the UVC entry stands for a camera on both channels
        }
        for (int index : {-1, 2}) {
            log.clear();
            QVERIFY(!model->resolve(index, "programDevice"));
            QVERIFY(log.contains("programDevice: no cam!\n"));
        }
    }

    void statusAgainstThePackageThenUpdateMakesItUpToDate() {
        sim->bus->add("cam0");
        DeviceStatus status;
        QVERIFY(model->getDeviceStatus(0, status));  // without an image: still filled
        QVERIFY(status.infoValid && !status.updateKnown && !status.upToDate);
        QCOMPARE(status.displayName.substr(0, 3), std::string("1. "));
        QCOMPARE(status.serialNumber, sim->bus->find("cam0").serial);

        model->setImagePath(sim->buildV3Package());
        QVERIFY(!model->imagePath().empty());
        QVERIFY(model->getDeviceStatus(0, status));
        QVERIFY(status.updateKnown && !status.upToDate);
        QCOMPARE(status.componentList, (std::vector<std::string>{"3a7c:0003", "3a7c:8003"}));
        QCOMPARE(status.imageVersion, std::string("F1.2.0.0.C0.2.0.0"));

        auto camera = model->resolve(0, "updateDevice");
        QVERIFY(camera);
        QVERIFY(model->updateDevice(*camera, ""));
        int percent = -1;
        std::string text = "x";
        model->readProgress(percent, text);
        QCOMPARE(percent, 0);  // reset after the update
        QVERIFY(text.empty());
        model->rebootDevice(*camera);
        QTRY_VERIFY(model->getDeviceStatus(0, status) && status.upToDate);
        QCOMPARE(status.fx3Version, std::string("C0.2.0.0"));
    }

    void identityModeUpdatesToTheTargetIdentity() {
        sim->bus->add("cam0");
        model->setImagePath(sim->buildV3Package());
        auto camera = model->resolve(0, "updateDevice");
        QVERIFY(camera);
        QVERIFY(!model->updateDevice(*camera, "3a7c:zzzz"));
        QVERIFY(log.contains("updateDevice: failed to extract vid pid!\n"));
        QVERIFY(model->updateDevice(*camera, "3a7c:8003"));
        model->rebootDevice(*camera);
        QTRY_COMPARE(sim->bus->find("cam0").productId, uint16_t(0x8003));
    }

    void featureValuesNeedThreeBytesAndTheJsonIsLoadedOnce() {
        sim->bus->add("cam0");
        model->setImagePath(sim->buildV3Package());
        auto camera = model->resolve(0, "op");
        QVERIFY(camera);
        uint8_t buffer[4] = {};
        const uint64_t before = simCounter(*sim->bus, "cam0", "xu-calls");
        for (size_t length : {2, 4}) QVERIFY(!model->getFeatureFlashValues(*camera, 3, buffer, length));
        QVERIFY(log.contains("getFeatureFlashValues: buf length is not 3 bytes, only support 3 bytes now\n"));
        QCOMPARE(simCounter(*sim->bus, "cam0", "xu-calls"), before);
        QVERIFY(model->getFeatureFlashValues(*camera, 3, buffer, 3));

        const auto first = model->getFeatureJson(*camera);
        QVERIFY(first && first->features && first->dataLength > 0);
        QCOMPARE(model->getFeatureJson(*camera), first);  // not read again
        model->forgetFeatureJson();
        const auto second = model->getFeatureJson(*camera);
        QVERIFY(second && second != first);
        // A holder of the forgotten document still has sound handles.
        QVERIFY(json_is_array(first->features));
        FeatureInfo info;
        QVERIFY(!model->getFeatureInfo(*first, info, "NoSuchFeature", "NoSuchProp"));
    }

    void runTimeSwitchesAreFoundByTheExactSerial() {
        sim->bus->add("cam0", camsim::AddOptions{.serial = "ABCDEF123456", .vendorId = {}});
        sim->bus->add("cam1", camsim::AddOptions{.serial = "ABCDEF123457", .vendorId = {}});
        bool on = true, ready = false, available = false;
        QVERIFY(model->getRunTimeStatus(0, "ABCDEF123457", on, ready, available));
        QVERIFY(ready && available && !on);
        QVERIFY(model->setRunTimeStatus(0, "ABCDEF123457", true));
        QVERIFY(sim->bus->state("cam1").video.framing);
        QVERIFY(!sim->bus->state("cam0").video.framing);
        QVERIFY(model->setRunTimeStatus(1, "ABCDEF123456", true));
        QVERIFY(sim->bus->state("cam0").video.enhancement);
        QVERIFY(!model->getRunTimeStatus(0, "ABCDEF12345", on, ready, available));
        QVERIFY(log.contains("getXUHandleForFeature: serial number ABCDEF12345 cam not found!\n"));
        QVERIFY(!model->getRunTimeStatus(2, "ABCDEF123457", on, ready, available));
        QVERIFY(log.contains("getXUHandleForFeature: invalid feature type\n"));
        sim->bus->set("cam1", "xu-ready", "0");
        QVERIFY(model->getRunTimeStatus(0, "ABCDEF123457", on, ready, available));
        QVERIFY(!ready && !on);
        QVERIFY(!model->setRunTimeStatus(0, "ABCDEF123457", false));
    }

private:
    std::unique_ptr<test::SimBus> sim;
    std::unique_ptr<CamMgrModel> model;
    CapturingLogger log;
};

QTEST_GUILESS_MAIN(ModelTest)
#include "ModelTest.moc"
