#include "features/PropertyPage.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "features/FeatureList.h"
#include "features/FeatureValueText.h"

namespace veltrion::desktop {

namespace {

constexpr const char* kAudioDescription = "Enable Camera Audio";
constexpr const char* kAudioUnavailable = "Feature Unavailable";
constexpr const char* kIdentityOn = "On";
constexpr const char* kIdentityOff = "Off";
// Room under the row for a horizontal scroll bar when the buttons are wider
// than the page.
constexpr int kRowAreaHeight = PropertyPage::kButtonHeight + 20;
constexpr int kFeatureQueryLength = 3;

QString qtext(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

PropertyPage::PropertyPage(DialogServices& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      description_(new QLabel(this)),
      rowArea_(new QScrollArea(this)),
      row_(new QWidget),
      group_(new QButtonGroup(this)),
      note_(new QLabel(this)) {
    description_->setObjectName(QStringLiteral("featureDescription"));
    description_->setAlignment(Qt::AlignCenter);
    description_->setWordWrap(true);
    description_->setFont(services_.dialogFont());
    note_->setObjectName(QStringLiteral("featureNote"));
    note_->setAlignment(Qt::AlignCenter);

    row_->setObjectName(QStringLiteral("featureValueRow"));
    rowArea_->setObjectName(QStringLiteral("featureValueArea"));
    rowArea_->setWidget(row_);
    rowArea_->setWidgetResizable(false);
    rowArea_->setFrameShape(QFrame::NoFrame);
    rowArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rowArea_->setFixedHeight(kRowAreaHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(description_);
    layout->addSpacing(kGapBelowDescription);
    layout->addWidget(rowArea_);
    layout->addWidget(note_);
    layout->addStretch();

    group_->setExclusive(true);
    // Clicks only: checking the camera's value in code is not a choice.
    connect(group_, &QButtonGroup::buttonClicked, this, &PropertyPage::onButtonClicked);
}

bool PropertyPage::showProperty(const FeatureDocument& document, const std::string& feature,
                                const std::string& property, bool offerApply) {
    clear();
    if (feature == kAudioFeature) return showIdentities(offerApply);
    services_.setIdentityMode(false, "");
    return showFeature(document, feature, property);
}

void PropertyPage::clear() {
    for (ChoiceButton& entry : buttons_) delete entry.button;
    buttons_.clear();
    row_->resize(0, kButtonHeight);
    currentValue_.clear();
    identityPage_ = false;
    description_->clear();
    note_->clear();
}

bool PropertyPage::showIdentities(bool offerApply) {
    DeviceStatus status;
    if (!services_.getCamInfo(status)) {
        services_.logger().log(kLogError, "showFeatureConfig: failed to get device info\n");
        if (offerApply) services_.setIdentityMode(false, "");
        return false;
    }
    description_->setText(kAudioDescription);
    if (status.componentList.empty()) {
        note_->setText(kAudioUnavailable);
        if (offerApply) services_.setIdentityMode(false, "");
        return false;
    }
    std::vector<FeatureChoice> choices;
    std::string target;
    for (const std::string& identity : status.componentList) {
        FeatureChoice choice;
        choice.label = choices.empty() ? kIdentityOn : kIdentityOff;
        choice.value = identity;
        choices.push_back(std::move(choice));
        if (identity != status.identity) target = identity;
    }
    currentValue_ = status.identity;
    buildButtons(choices);
    if (offerApply) {
        // Only an identity other than the camera's own is worth an update.
        identityPage_ = !target.empty();
        services_.setIdentityMode(identityPage_, target);
    }
    return true;
}

bool PropertyPage::showFeature(const FeatureDocument& document, const std::string& feature,
                               const std::string& property) {
    Logger& log = services_.logger();
    FeatureInfo info;
    if (!services_.model().getFeatureInfo(document, info, feature, property)) {
        log.log(kLogError, "showFeatureConfig: Failed to get feature info\n");
        return false;
    }
    const auto current = readCurrentValue(document, feature, info);
    if (!current) return false;
    currentValue_ = *current;
    description_->setText(qtext(info.description));
    std::vector<FeatureChoice> choices = info.choices;
    sortChoicesByLabel(choices);
    buildButtons(choices);
    return !buttons_.empty();
}

std::optional<std::string> PropertyPage::readCurrentValue(const FeatureDocument& document, const std::string& feature,
                                                          const FeatureInfo& info) {
    Logger& log = services_.logger();
    const int total = featureTotalLength(document, feature);
    if (info.featureCode < 0 || info.featureCode > 0xFFFF || total < 1 || info.offsetInFeature < 0 ||
        info.length < 1) {
        log.log(kLogError, "showFeatureConfig: Invalid feature Id %d, total len %d or off %d, enum len %d\n",
                info.featureCode, total, info.offsetInFeature, info.length);
        return std::nullopt;
    }
    if (info.offsetInFeature + info.length > total) {
        log.log(kLogError, "showFeatureConfig: invalid enum len %d + off %d > total enum len %d \n", info.length,
                info.offsetInFeature, total);
        return std::nullopt;
    }
    // The feature query is always asked for 3 bytes (an availability byte
    // and a two-byte value), the only length the model reads; a property
    // further into a longer feature cannot be read.
    if (info.offsetInFeature + info.length > kFeatureQueryLength) {
        log.log(kLogError, "showFeatureConfig: enum len %d + off %d lies beyond the %d bytes of the feature query\n",
                info.length, info.offsetInFeature, kFeatureQueryLength);
        return std::nullopt;
    }
    const int index = services_.selectedDeviceIndex();
    const auto camera = services_.model().resolve(index, "getFeatureFlashValues");
    if (!camera) {
        log.log(kLogError, "showFeatureConfig: invalid device index %d\n", index);
        return std::nullopt;
    }
    std::vector<uint8_t> reply(kFeatureQueryLength, 0);
    if (!services_.model().getFeatureFlashValues(*camera, static_cast<uint16_t>(info.featureCode), reply.data(),
                                                 reply.size())) {
        log.log(kLogError, "showFeatureConfig: failed to get feature flash value\n");
        return std::nullopt;
    }
    return currentValueText(reply, info.offsetInFeature, info.length);
}

void PropertyPage::buildButtons(const std::vector<FeatureChoice>& choices) {
    for (const FeatureChoice& choice : choices) {
        const int position = static_cast<int>(buttons_.size());
        if (position == kMaxChoiceButtons) {
            services_.logger().log(kLogError, "Too much radio btn!!!\n");
            break;
        }
        auto* button = new QRadioButton(qtext(choice.label), row_);
        button->setObjectName(QStringLiteral("featureValueButton%1").arg(position));
        button->setGeometry(position * kButtonWidth, 0, kButtonWidth, kButtonHeight);
        group_->addButton(button, kFirstButtonId + position);
        button->show();
        buttons_.push_back({button, choice, choiceNote(choice)});
        if (choice.value == currentValue_) {
            button->setChecked(true);
            note_->setText(qtext(buttons_.back().note));
        }
    }
    row_->resize(static_cast<int>(buttons_.size()) * kButtonWidth, kButtonHeight);
}

void PropertyPage::onButtonClicked(QAbstractButton* button) {
    for (const ChoiceButton& entry : buttons_) {
        if (entry.button != button) continue;
        note_->setText(qtext(entry.note));
        emit choiceClicked(entry.choice.value != currentValue_);
        return;
    }
}

const PropertyPage::ChoiceButton* PropertyPage::checkedButton() const {
    for (const ChoiceButton& entry : buttons_)
        if (entry.button->isChecked()) return &entry;
    return nullptr;
}

bool PropertyPage::checkedDiffersFromCurrent() const {
    const ChoiceButton* checked = checkedButton();
    return checked && checked->choice.value != currentValue_;
}

std::optional<FlashValue> PropertyPage::checkedValue() const {
    const ChoiceButton* checked = checkedButton();
    if (!checked) {
        services_.logger().log(kLogError, "getValueFromSelectedRatio: no selected radio btn\n");
        return std::nullopt;
    }
    const auto bytes =
        features::getBufferByValue(features::hexValue(checked->choice.value), checked->choice.length, services_.logger());
    if (!bytes) return std::nullopt;
    return FlashValue{checked->choice.address, *bytes};
}

bool PropertyPage::checkValue(const std::string& valueText) {
    for (const ChoiceButton& entry : buttons_) {
        if (entry.choice.value != valueText) continue;
        entry.button->setChecked(true);
        note_->setText(qtext(entry.note));
        return true;
    }
    return false;
}

}  // namespace veltrion::desktop
