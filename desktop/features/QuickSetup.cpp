#include "features/QuickSetup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog/MessageBox.h"
#include "features/FeatureDocumentLoad.h"
#include "features/FeatureValueText.h"
#include "features/PropertyPage.h"

namespace veltrion::desktop {

namespace {

const QString kNext = QStringLiteral("Next");
const QString kFinish = QStringLiteral("Finish");
const QString kBack = QStringLiteral("Back");

}  // namespace

QuickSetup::QuickSetup(DialogServices& services, QPushButton* quickSetupButton, QWidget* parent)
    : QWidget(parent),
      services_(services),
      quickSetupButton_(quickSetupButton),
      title_(new QLabel(this)),
      page_(new PropertyPage(services, this)),
      back_(new QPushButton(kBack, this)),
      next_(new QPushButton(kNext, this)),
      cancel_(new QPushButton(QStringLiteral("Cancel Setup"), this)) {
    title_->setObjectName(QStringLiteral("quickSetupTitle"));
    title_->setAlignment(Qt::AlignCenter);
    title_->setFont(services_.dialogFont());
    page_->setObjectName(QStringLiteral("quickSetupPage"));
    back_->setObjectName(QStringLiteral("quickSetupBackButton"));
    next_->setObjectName(QStringLiteral("quickSetupNextButton"));
    cancel_->setObjectName(QStringLiteral("quickSetupCancelButton"));

    auto* top = new QHBoxLayout;
    top->addWidget(title_, 1);
    top->addWidget(cancel_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back_);
    buttons->addWidget(next_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(page_, 1);
    layout->addLayout(buttons);

    connect(next_, &QPushButton::clicked, this, &QuickSetup::next);
    connect(back_, &QPushButton::clicked, this, &QuickSetup::back);
    connect(cancel_, &QPushButton::clicked, this, &QuickSetup::cancel);
    reset();
}

bool QuickSetup::start() {
    reset();
    next_->setEnabled(true);
    shownSerial_ = services_.selectedSerial();
    document_ = loadFeatureDocument(services_);
    if (document_) {
        if (const auto shown = listShownFeatures(*document_, services_.logger())) steps_ = propertyList(*shown);
    }
    if (steps_.empty()) {
        showMessageBox(this, QStringLiteral("No Json Found!"));
        reset();
        return false;
    }
    // Without a believable area the steps still run, but nothing is written.
    if (!selections_.setArea(document_->baseAddress, document_->dataLength))
        services_.logger().log(kLogError, "setupWizardFlashBuf: failed to create wizard buf\n");
    next_->setEnabled(true);
    back_->setEnabled(false);
    showStep(0);
    return true;
}

void QuickSetup::reset() {
    if (quickSetupButton_) {
        quickSetupButton_->setText(QStringLiteral("Quick Setup"));
        // The dialog's status refresh enables it again.
        quickSetupButton_->setEnabled(false);
    }
    next_->setText(kNext);
    next_->setEnabled(false);
    back_->setText(kBack);
    back_->setEnabled(false);
    title_->clear();
    page_->clear();
    steps_.clear();
    nextStep_ = 0;
    selections_.clear();
    document_.reset();
    shownSerial_.clear();
}

void QuickSetup::showStep(int step) {
    const int count = static_cast<int>(steps_.size());
    const FeatureProperty& shown = steps_[static_cast<size_t>(step)];
    back_->setEnabled(step > 0);
    next_->setText(kNext);
    title_->setText(QStringLiteral("Step %1 out of %2: %3")
                        .arg(step + 1)
                        .arg(count)
                        .arg(QString::fromStdString(shown.feature)));
    page_->showProperty(*document_, shown.feature, shown.property, false);
    nextStep_ = step + 1;
    if (nextStep_ == count) next_->setText(kFinish);
    if (const auto saved = selections_.saved(step)) page_->checkValue(valueText(*saved));
    // A double click must not skip the next step unseen.
    services_.holdControlForAMoment(next_);
}

void QuickSetup::saveCurrentChoice() {
    const int step = nextStep_ - 1;
    const auto value = page_->checkedValue();
    if (!value) {
        services_.logger().log(kLogError,
                               "saveWizardCurSelectionToBuf: Failed to get feature buffer values from ratio group, "
                               "state %d\n",
                               step);
        return;
    }
    if (!selections_.save(step, value->address, value->bytes))
        services_.logger().log(kLogError, "saveWizardCurSelectionToBuf: encountered invalid addr, base %u, addr %u\n",
                               selections_.baseAddress(), value->address);
}

void QuickSetup::next() {
    if (steps_.empty()) return;
    const int index = services_.selectedDeviceIndex();
    if (index < 0) {
        services_.logger().log(kLogError, "OnClickedWizardBtnNext: invalid device index %d\n", index);
        return;
    }
    saveCurrentChoice();
    if (nextStep_ < static_cast<int>(steps_.size())) {
        showStep(nextStep_);
        return;
    }
    if (selections_.areaKnown())
        writeChoices();
    else
        services_.logger().log(kLogError, "OnClickedWizardBtnNext: last step - no feature info\n");
    reset();
    emit ended();
}

void QuickSetup::back() {
    if (steps_.empty()) return;
    saveCurrentChoice();
    if (nextStep_ <= 1) return;
    showStep(nextStep_ - 2);
}

void QuickSetup::cancel() {
    reset();
    emit ended();
}

void QuickSetup::writeChoices() {
    Logger& log = services_.logger();
    const auto camera = services_.shownCamera(shownSerial_, "OnClickedWizardBtnNext", "programDevice");
    if (!camera) return;
    // The whole area as the camera holds it, so that values of steps the
    // user did not change stay as they are.
    const uint32_t base = selections_.baseAddress();
    const uint32_t length = selections_.dataLength();
    std::vector<uint8_t> area(length);
    if (!services_.model().getFlashData(*camera, base, area.data(), length)) {
        log.log(kLogError, "OnClickedWizardBtnNext: failed to read cur feature data\n");
        return;
    }
    selections_.applyTo(area);
    if (!services_.model().programDevice(*camera, base, area.data(), length))
        log.log(kLogError, "OnClickedWizardBtnNext: last step - Failed to program device at 0x%08x with %u bytes\n", base,
                length);
    services_.rebootCamera(*camera, true);
    services_.disableUpdateControls();
}

}  // namespace veltrion::desktop
