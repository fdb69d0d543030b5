// The "Features" tab, the quick setup and the feature defaults of the update
// job against a simulated camera: what the pages show is judged against the
// camera's flash, what they write by reading the flash back and by the
// simulator's erase counters.

#include <jansson.h>

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "DesktopFixture.h"
#include "FeatureMap.h"
#include "RecordingServices.h"
#include "config/FeatureLayout.h"
#include "dialog/MessageBox.h"
#include "features/FeatureDefaults.h"
#include "features/FeatureValueText.h"
#include "features/FeaturesTab.h"
#include "features/QuickSetup.h"
#include "features/WizardSelections.h"
#include "support/CapturingLogger.h"
#include "support/SimCounters.h"

using namespace veltrion;
using namespace veltrion::desktop;

namespace {

constexpr uint32_t kAreaBase = 0x81000;
constexpr uint32_t kAreaLength = 256;
constexpr const char* kCamera = "cam0";

std::vector<QRadioButton*> valueButtons(const QWidget* page) {
    const auto found = page->findChildren<QRadioButton*>();
    std::vector<QRadioButton*> buttons(found.begin(), found.end());
    std::sort(buttons.begin(), buttons.end(),
              [](QRadioButton* a, QRadioButton* b) { return a->geometry().x() < b->geometry().x(); });
    return buttons;
}

QRadioButton* checkedButton(const QWidget* page) {
    for (QRadioButton* button : valueButtons(page))
        if (button->isChecked()) return button;
    return nullptr;
}

QRadioButton* buttonLabelled(const QWidget* page, const QString& label) {
    for (QRadioButton* button : valueButtons(page))
        if (button->text() == label) return button;
    return nullptr;
}

// The feature JSON a package was built with, for looking up where each
// property lives and what its labels mean.
struct Layout {
    explicit Layout(const std::string& text) {
        features::initJsonVariables(text, root, memoryLayout, configurations, featureList, baseURL, filterControl,
                                    log);
    }
    FeatureInfo info(const std::string& feature, const std::string& property) {
        FeatureInfo found;
        features::getFeatureInfo(memoryLayout, configurations, featureList, baseURL, found, feature, property, log);
        return found;
    }
    Logger log;
    JsonRef root;
    json_t* memoryLayout = nullptr;
    json_t* configurations = nullptr;
    json_t* featureList = nullptr;
    json_t* baseURL = nullptr;
    json_t* filterControl = nullptr;
};

std::string sampleJson(const std::string& group) {
    std::ifstream file(std::string(VELTRION_SOURCE_DIR) + "/sim/data/features-" + group + ".json");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

class FeaturesTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        sim = std::make_unique<test::SimBus>();
        model = std::make_unique<CamMgrModel>();
        model->setLogger(&log);
        services = std::make_unique<test::RecordingServices>(*model);
        setMessageBoxHook([this](const QString& text) { messages << text; });
    }
    void cleanup() {
        setMessageBoxHook(nullptr);
        services.reset();
        model.reset();
        sim.reset();
        log.clear();
        messages.clear();
    }

    void treeShowsTheVisibleFeaturesWithTheCamerasValues_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("productId");
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("V2") << "V2G" << 0x0002 << QStringList{"Face API", "Lumo (HDR)", "Custom Camera Name"};
        QTest::newRow("V2s") << "V2sG" << 0xc002 << QStringList{"Blend Mode", "Genlock", "Custom Camera Name"};
        QTest::newRow("V3") << "V3G" << 0x0003 << QStringList{"Custom Camera Name"};
    }
    void treeShowsTheVisibleFeaturesWithTheCamerasValues() {
        QFETCH(QString, group);
        QFETCH(int, productId);
        QFETCH(QStringList, hidden);
        camsim::AddOptions options;
        options.productId = static_cast<uint16_t>(productId);
        sim->bus->add(kCamera, options);
        model->setImagePath(sim->buildPackage("package", {{"--group", group.toStdString()}}));
        // A value other than the factory's, so that its byte order counts.
        sim->bus->writeFlash(kCamera, 0x81007, {0x00, 0x03});

        FeaturesTab tab(*services);
        tab.showTab();
        auto* tree = tab.findChild<QTreeWidget*>(QStringLiteral("featureTree"));
        QStringList roots;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) roots << tree->topLevelItem(i)->text(0);
        QStringList sorted = roots;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(roots, sorted);
        QVERIFY(roots.contains("Audio"));
        QVERIFY(roots.contains("Field of View"));
        for (const QString& name : hidden) QVERIFY2(!roots.contains(name), qPrintable(name));
        QCOMPARE(tab.findChild<QLabel*>(QStringLiteral("featuresCameraId"))->text(),
                 QString::fromStdString("Camera ID: " + services->selectedSerial()));

        Layout layout(sampleJson(group.toStdString()));
        auto* page = tab.findChild<QWidget*>(QStringLiteral("featurePage"));
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* root = tree->topLevelItem(i);
            QCOMPARE(root->childCount(), 1);  // "Enable" is never shown
            if (root->text(0) == "Audio") continue;
            tree->setCurrentItem(root->child(0));
            const FeatureInfo info = layout.info(root->text(0).toStdString(), root->child(0)->text(0).toStdString());
            const std::string stored = valueText(sim->bus->readFlash(kCamera, kAreaBase + info.offset, 2));
            const auto held = std::find_if(info.choices.begin(), info.choices.end(),
                                           [&](const FeatureChoice& choice) { return choice.value == stored; });
            QVERIFY2(held != info.choices.end(), qPrintable(root->text(0)));
            QVERIFY2(checkedButton(page), qPrintable(root->text(0)));
            QCOMPARE(checkedButton(page)->text(), QString::fromStdString(held->label));
            QCOMPARE(valueButtons(page).size(), info.choices.size());
            QVERIFY(!tab.applyButton()->isHidden());
            QVERIFY(!tab.applyButton()->isEnabled());
        }
        QCOMPARE(services->identityModes.back(), std::make_pair(false, std::string()));
        QVERIFY(tab.findChild<QLabel*>(QStringLiteral("featureDescription"))->text().size() > 0);
        QVERIFY(services->reboots.empty());
    }

    void applyWritesOnlyAChangedValueAndReboots() {
        sim->bus->add(kCamera);
        model->setImagePath(sim->buildPackage("package", {{"--group", "V3G"}}));
        sim->bus->writeFlash(kCamera, 0x81007, {0x00, 0x02});
        const auto areaBefore = sim->bus->readFlash(kCamera, kAreaBase, kAreaLength);

        FeaturesTab tab(*services);
        tab.show();
        tab.showTab();
        selectProperty(tab, "Field of View", "Angle");
        auto* page = tab.findChild<QWidget*>(QStringLiteral("featurePage"));
        QCOMPARE(checkedButton(page)->text(), QStringLiteral("120 degrees"));
        QVERIFY(tab.applyButton()->isVisible());
        QVERIFY(!tab.applyButton()->isEnabled());
        checkedButton(page)->click();
        QVERIFY(!tab.applyButton()->isEnabled());
        buttonLabelled(page, "90 degrees")->click();
        QVERIFY(tab.applyButton()->isEnabled());
        buttonLabelled(page, "120 degrees")->click();
        QVERIFY(!tab.applyButton()->isEnabled());
        buttonLabelled(page, "90 degrees")->click();

        const uint64_t erases = flashErases();
        sim->bus->set(kCamera, "streaming", "1");
        tab.applyButton()->click();
        QCOMPARE(messages, QStringList{
            "Veltrion Camera is in Use. Please close any conferencing applications and try again!"});
        QCOMPARE(flashErases(), erases);
        QVERIFY(services->reboots.empty());

        sim->bus->set(kCamera, "streaming", "0");
        tab.applyButton()->click();
        QCOMPARE(flashErases(), erases + 1);
        auto expected = areaBefore;
        expected[8] = 0x03;
        QCOMPARE(sim->bus->readFlash(kCamera, kAreaBase, kAreaLength), expected);
        QCOMPARE(services->reboots, std::vector<bool>{true});
        QCOMPARE(services->updateControlsDisabled, 1);
        QCOMPARE(services->updatesStarted, 0);

        // The face detection choice that overrides PTZ presets carries its note.
        selectProperty(tab, "Face Detection", "Detection");
        buttonLabelled(page, "On")->click();
        QCOMPARE(tab.findChild<QLabel*>(QStringLiteral("featureNote"))->text(),
                 QStringLiteral("Note: PTZ preset configuration will be ignored"));
        buttonLabelled(page, "Off")->click();
        QCOMPARE(tab.findChild<QLabel*>(QStringLiteral("featureNote"))->text(), QString());
    }

    void tooManyChoicesAndAFeatureLongerThanTheQuery() {
        sim->bus->add(kCamera);
        std::string layoutText;
        model->setImagePath(imageWithJson("choices", [&layoutText](json_t* root) {
            // LED blink grows a third property: its feature no longer fits the
            // 3 bytes the feature query reads.
            json_t* descriptor = json_object_get(json_object_get(root, "MemoryLayout"), "Descriptor");
            json_object_set_new(json_object_get(descriptor, "PropertyMap"), "LEDBLINK_X", json_string("0x40"));
            json_object_set_new(json_object_get(json_object_get(json_object_get(root, "Configurations"), "Factory"),
                                                "LED Blink"),
                                "Extra", json_string("0x0000"));
            JsonRef extra = JsonRef::parse(R"({"Name": "Extra", "ID": "LEDBLINK_X", "Type": {"length": "2"},
                                               "datatype": "enum", "Enum": {"A": "0x0000", "B": "0x0102"}})");
            json_array_append(json_object_get(json_array_get(json_object_get(root, "Features"), 0), "Props"),
                              extra.get());
            json_t* angle = json_array_get(json_object_get(json_array_get(json_object_get(root, "Features"), 2), "Props"), 1);
            json_t* choices = json_object();
            for (int i = 31; i >= 0; --i) {
                char label[16], value[16];
                std::snprintf(label, sizeof label, "Angle %02d", i);
                std::snprintf(value, sizeof value, "0x%04x", i);
                json_object_set_new(choices, label, json_string(value));
            }
            json_object_set_new(angle, "Enum", choices);
            char* text = json_dumps(root, JSON_PRESERVE_ORDER);
            layoutText = text;
            std::free(text);
        }));
        // The camera answers its feature queries from the JSON in its flash.
        sim->bus->writeFlash(kCamera, 0x7E0000, camsim::makeJsonRecord(layoutText));
        sim->bus->writeFlash(kCamera, 0x81040, {0x01, 0x02});
        FeaturesTab tab(*services);
        tab.showTab();
        auto* page = tab.findChild<QWidget*>(QStringLiteral("featurePage"));
        selectProperty(tab, "LED Blink", "Blink");
        QVERIFY(checkedButton(page));
        QCOMPARE(checkedButton(page)->text(), QStringLiteral("On"));
        selectProperty(tab, "LED Blink", "Extra");
        QVERIFY(valueButtons(page).empty());
        QVERIFY(tab.applyButton()->isHidden());
        QVERIFY(log.contains("showFeatureConfig: enum len 2 + off 3 lies beyond the 3 bytes of the feature query\n"));

        selectProperty(tab, "Field of View", "Angle");
        const auto buttons = valueButtons(page);
        QCOMPARE(buttons.size(), size_t{31});
        QVERIFY(log.contains("Too much radio btn!!!\n"));
        for (size_t i = 0; i < buttons.size(); ++i) {
            QCOMPARE(buttons[i]->text(), QStringLiteral("Angle %1").arg(i, 2, 10, QLatin1Char('0')));
            QCOMPARE(buttons[i]->size(), QSize(130, 30));
            QCOMPARE(buttons[i]->geometry().topLeft(), QPoint(static_cast<int>(i) * 130, 0));
            QCOMPARE(buttons[i]->group()->id(buttons[i]), 2010 + static_cast<int>(i));
        }
        QVERIFY(buttons[0]->isChecked());  // the camera holds 0x0000
    }

    void theAudioPageSwitchesToTheOtherIdentityByAnUpdate() {
        sim->bus->add(kCamera);
        model->setImagePath(sim->buildV3Package());
        FeaturesTab tab(*services);
        tab.show();
        tab.showTab();
        selectProperty(tab, "Audio", "Audio");
        QCOMPARE(services->identityModes.back(), std::make_pair(true, std::string("3a7c:8003")));
        auto* page = tab.findChild<QWidget*>(QStringLiteral("featurePage"));
        const auto buttons = valueButtons(page);
        QCOMPARE(buttons.size(), size_t{2});
        QCOMPARE(buttons[0]->text(), QStringLiteral("On"));
        QCOMPARE(buttons[1]->text(), QStringLiteral("Off"));
        QVERIFY(buttons[0]->isChecked());
        QVERIFY(tab.applyButton()->isVisible());
        QVERIFY(!tab.applyButton()->isEnabled());
        buttons[1]->click();
        QVERIFY(tab.applyButton()->isEnabled());
        const uint64_t erases = flashErases();
        tab.applyButton()->click();
        QCOMPARE(services->updateTabOnlyShown, 1);
        QCOMPARE(services->updatesStarted, 1);
        QCOMPARE(flashErases(), erases);
        QVERIFY(services->reboots.empty());

        selectProperty(tab, "LED Blink", "Blink");
        QCOMPARE(services->identityModes.back(), std::make_pair(false, std::string()));
        tab.applyButton()->setEnabled(true);
        tab.applyButton()->click();
        QCOMPARE(services->updatesStarted, 1);
    }

    void quickSetupWalksEveryPropertyAndWritesThemOnce() {
        sim->bus->add(kCamera);
        model->setImagePath(sim->buildPackage("package", {{"--group", "V3G"}}));
        const auto areaBefore = sim->bus->readFlash(kCamera, kAreaBase, kAreaLength);
        QPushButton quickSetupButton(QStringLiteral("Quick Setup"));
        QuickSetup setup(*services, &quickSetupButton);
        QSignalSpy ended(&setup, &QuickSetup::ended);
        auto* title = setup.findChild<QLabel*>(QStringLiteral("quickSetupTitle"));
        auto* next = setup.findChild<QPushButton*>(QStringLiteral("quickSetupNextButton"));
        auto* back = setup.findChild<QPushButton*>(QStringLiteral("quickSetupBackButton"));
        auto* page = setup.findChild<QWidget*>(QStringLiteral("quickSetupPage"));
        QVERIFY(setup.start());

        const QStringList order{"LED Blink", "Upsidedown", "Field of View", "Face Detection", "Blend Mode",
                                "Genlock", "Reset to Default", "Face API", "Lumo (HDR)"};
        Layout layout(sampleJson("V3G"));
        auto expected = areaBefore;
        QStringList chosen;
        const uint64_t erases = flashErases();
        for (int step = 0; step < order.size(); ++step) {
            QCOMPARE(title->text(), QStringLiteral("Step %1 out of 9: %2").arg(step + 1).arg(order[step]));
            QCOMPARE(back->isEnabled(), step > 0);
            QCOMPARE(next->text(), step + 1 == order.size() ? QStringLiteral("Finish") : QStringLiteral("Next"));
            // The first choice the camera does not hold.
            QRadioButton* choice = nullptr;
            for (QRadioButton* button : valueButtons(page))
                if (!button->isChecked()) choice = choice ? choice : button;
            QVERIFY(choice);
            choice->click();
            chosen << choice->text();
            const FeatureInfo info = layout.info(order[step].toStdString(), propertyOf(layout, order[step]));
            for (const FeatureChoice& option : info.choices) {
                if (option.label != choice->text().toStdString()) continue;
                const uint32_t value = features::hexValue(option.value);
                expected[static_cast<size_t>(info.offset)] = static_cast<uint8_t>(value >> 8);
                expected[static_cast<size_t>(info.offset) + 1] = static_cast<uint8_t>(value);
            }
            if (step == 2) {
                // Back shows the previous step with the choice made there.
                QTRY_VERIFY(back->isEnabled());
                back->click();
                QCOMPARE(title->text(), QStringLiteral("Step 2 out of 9: Upsidedown"));
                QCOMPARE(checkedButton(page)->text(), chosen[1]);
                QTRY_VERIFY(next->isEnabled());
                next->click();
                QCOMPARE(checkedButton(page)->text(), chosen[2]);
            }
            QVERIFY(!next->isEnabled());  // held for a moment after each step is shown
            QTRY_VERIFY(next->isEnabled());
            QCOMPARE(flashErases(), erases);
            next->click();
        }
        QCOMPARE(ended.count(), 1);
        QCOMPARE(flashErases(), erases + 1);
        QCOMPARE(sim->bus->readFlash(kCamera, kAreaBase, kAreaLength), expected);
        QCOMPARE(services->reboots, std::vector<bool>{true});
        QCOMPARE(services->updateControlsDisabled, 1);
        QCOMPARE(quickSetupButton.text(), QStringLiteral("Quick Setup"));
        QVERIFY(!quickSetupButton.isEnabled());
        QVERIFY(title->text().isEmpty());
        QVERIFY(!setup.isRunning());
    }

    void quickSetupKeepsItsWriteInsideTheFeatureArea() {
        sim->bus->add(kCamera);
        // An area of 8 bytes: only the first two features lie inside it.
        model->setImagePath(imageWithJson("short", [](json_t* root) {
            json_t* descriptor = json_object_get(json_object_get(root, "MemoryLayout"), "Descriptor");
            json_object_set_new(descriptor, "DataLength", json_integer(8));
        }));
        const auto areaBefore = sim->bus->readFlash(kCamera, kAreaBase, kAreaLength);
        const uint64_t erases = flashErases();
        {
            // "Apply Changes" refuses a value past the area's end as well.
            FeaturesTab tab(*services);
            tab.showTab();
            selectProperty(tab, "Field of View", "Angle");
            buttonLabelled(tab.findChild<QWidget*>(QStringLiteral("featurePage")), "90 degrees")->click();
            tab.applyButton()->click();
            QVERIFY(log.contains("applyFeatureValue: 0x00081007 with 2 bytes lies outside the feature area\n"));
            QCOMPARE(flashErases(), erases);
            QVERIFY(services->reboots.empty());
        }
        QuickSetup setup(*services, nullptr);
        QSignalSpy ended(&setup, &QuickSetup::ended);
        auto* next = setup.findChild<QPushButton*>(QStringLiteral("quickSetupNextButton"));
        auto* page = setup.findChild<QWidget*>(QStringLiteral("quickSetupPage"));
        QVERIFY(setup.start());
        while (ended.isEmpty()) {
            for (QRadioButton* button : valueButtons(page))
                if (!button->isChecked()) {
                    button->click();
                    break;
                }
            QTRY_VERIFY(next->isEnabled());
            next->click();
        }
        QVERIFY(log.contains("saveWizardCurSelectionToBuf: encountered invalid addr, base 528384, addr 528391\n"));
        QCOMPARE(flashErases(), erases + 1);
        auto expected = areaBefore;
        expected[2] = 0x00;  // LED blink off
        expected[5] = 0x01;  // upside down
        QCOMPARE(sim->bus->readFlash(kCamera, kAreaBase, kAreaLength), expected);

        // An area too large to believe: the steps run, nothing is written.
        model->setImagePath(imageWithJson("huge", [](json_t* root) {
            json_t* descriptor = json_object_get(json_object_get(root, "MemoryLayout"), "Descriptor");
            json_object_set_new(descriptor, "DataLength", json_integer(0x20000));
        }));
        model->forgetFeatureJson();
        QVERIFY(setup.start());
        QVERIFY(log.contains("setupWizardFlashBuf: failed to create wizard buf\n"));
        while (ended.size() < 2) {
            QTRY_VERIFY(next->isEnabled());
            next->click();
        }
        QVERIFY(log.contains("OnClickedWizardBtnNext: last step - no feature info\n"));
        QCOMPARE(flashErases(), erases + 1);
        QCOMPARE(services->reboots.size(), size_t{1});

        // No image, no feature JSON: nothing to set up.
        model->setImagePath("");
        model->forgetFeatureJson();
        QVERIFY(!setup.start());
        QCOMPARE(messages, QStringList{"No Json Found!"});
        QVERIFY(!setup.isRunning());
    }

    void featureDefaultsReachHiddenFeatures() {
        sim->bus->add(kCamera);
        auto camera = model->resolve(0, "test");
        QVERIFY(camera);
        QVERIFY(!programDefaultFeatureValues(*model, *camera));
        QVERIFY(log.contains("programDefaultFeatureValues: json is not loaded\n"));

        model->setImagePath(sim->buildPackage("package", {{"--group", "V3G"}}));
        // The hidden custom-name switch holds nothing yet.
        QCOMPARE(sim->bus->readFlash(kCamera, 0x8101E, 3), (std::vector<uint8_t>{0xff, 0xff, 0xff}));
        QVERIFY(programDefaultFeatureValues(*model, *camera));
        QCOMPARE(sim->bus->readFlash(kCamera, 0x8101E, 3), (std::vector<uint8_t>{0x01, 0x00, 0x00}));
    }

    void valueTextsAndSelectionsStayInBounds() {
        const std::vector<uint8_t> reply{0x01, 0x02, 0x01};
        QCOMPARE(currentValueText(reply, 1, 2), std::optional<std::string>("0x0102"));
        QCOMPARE(currentValueText(reply, 0, 1), std::optional<std::string>("0x01"));
        QVERIFY(!currentValueText(reply, 2, 2));
        QVERIFY(!currentValueText(reply, -1, 1));

        WizardSelections selections;
        QVERIFY(!selections.setArea(kAreaBase, 0));
        QVERIFY(!selections.setArea(kAreaBase, WizardSelections::kMaxAreaLength + 1));
        QVERIFY(selections.setArea(0xFFFFFF00, 256));
        const std::vector<uint8_t> value{0xAB, 0xCD};
        QVERIFY(!selections.save(0, 0xFFFFFFFF, value));  // would wrap past the top
        QVERIFY(!selections.save(0, 0xFFFFFEFF, value));  // starts below the area
        QVERIFY(selections.save(1, 0xFFFFFFFE, value));
        QCOMPARE(selections.saved(1), std::optional<std::vector<uint8_t>>(value));
        QVERIFY(!selections.saved(0));
        std::vector<uint8_t> area(256, 0xFF);
        QVERIFY(selections.applyTo(area));
        QCOMPARE(area[254], uint8_t{0xAB});
        QCOMPARE(area[255], uint8_t{0xCD});
        QCOMPARE(std::count(area.begin(), area.end(), uint8_t{0xFF}), 254);
        std::vector<uint8_t> shortArea(8);
        QVERIFY(!selections.applyTo(shortArea));
    }

private:
    void selectProperty(FeaturesTab& tab, const QString& feature, const QString& property) {
        auto* tree = tab.findChild<QTreeWidget*>(QStringLiteral("featureTree"));
        const auto roots = tree->findItems(feature, Qt::MatchExactly);
        QVERIFY2(roots.size() == 1, qPrintable(feature));
        for (int i = 0; i < roots[0]->childCount(); ++i)
            if (roots[0]->child(i)->text(0) == property) tree->setCurrentItem(roots[0]->child(i));
        QCOMPARE(tree->currentItem()->text(0), property);
    }

    static std::string propertyOf(Layout& layout, const QString& feature) {
        size_t index = 0;
        json_t* entry = nullptr;
        json_array_foreach(layout.featureList, index, entry) {
            if (feature != json_string_value(json_object_get(entry, "Name"))) continue;
            return json_string_value(json_object_get(json_array_get(json_object_get(entry, "Props"), 1), "Name"));
        }
        return {};
    }

    uint64_t flashErases() const {
        return simCounter(*sim->bus, kCamera, "sectors-erased-4k") + simCounter(*sim->bus, kCamera, "sectors-erased-32k") +
               simCounter(*sim->bus, kCamera, "sectors-erased-64k");
    }

    // A V3 update package whose feature JSON is the simulator's, changed by edit.
    std::string imageWithJson(const std::string& name, const std::function<void(json_t*)>& edit) {
        return sim->buildV3PackageWithJson(name, edit);
    }

    std::unique_ptr<test::SimBus> sim;
    CapturingLogger log;
    std::unique_ptr<CamMgrModel> model;
    std::unique_ptr<test::RecordingServices> services;
    QStringList messages;
};

QTEST_MAIN(FeaturesTest)
#include "FeaturesTest.moc"
