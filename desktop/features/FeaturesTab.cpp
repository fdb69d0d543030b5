#include "features/FeaturesTab.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialog/MessageBox.h"
#include "features/FeatureDocumentLoad.h"
#include "features/FeatureList.h"
#include "features/PropertyPage.h"

namespace veltrion::desktop {

namespace {

// Inserts a top-level item among the others in byte order of their texts.
QTreeWidgetItem* insertSortedRoot(QTreeWidget* tree, const std::string& name) {
    int position = 0;
    while (position < tree->topLevelItemCount() &&
           tree->topLevelItem(position)->text(0).toStdString() <= name)
        ++position;
    auto* root = new QTreeWidgetItem(QStringList{QString::fromStdString(name)});
    tree->insertTopLevelItem(position, root);
    return root;
}

}  // namespace

FeaturesTab::FeaturesTab(DialogServices& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      cameraId_(new QLabel(this)),
      tree_(new QTreeWidget(this)),
      page_(new PropertyPage(services, this)),
      apply_(new QPushButton(QStringLiteral("Apply Changes"), this)) {
    cameraId_->setObjectName(QStringLiteral("featuresCameraId"));
    tree_->setObjectName(QStringLiteral("featureTree"));
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);  // buttons and lines
    tree_->setColumnCount(1);
    page_->setObjectName(QStringLiteral("featurePage"));
    apply_->setObjectName(QStringLiteral("applyChangesButton"));
    apply_->hide();

    auto* left = new QVBoxLayout;
    left->addWidget(cameraId_);
    left->addWidget(tree_);
    auto* right = new QVBoxLayout;
    right->addWidget(page_, 1);
    right->addWidget(apply_, 0, Qt::AlignHCenter);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 2);

    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { onCurrentItemChanged(current); });
    connect(page_, &PropertyPage::choiceClicked, apply_, &QPushButton::setEnabled);
    connect(apply_, &QPushButton::clicked, this, &FeaturesTab::apply);
}

void FeaturesTab::showTab() {
    clearTree();
    shownSerial_ = services_.selectedSerial();
    document_ = loadFeatureDocument(services_);
    if (document_) buildTree();
    cameraId_->setText(QStringLiteral("Camera ID: ") + QString::fromStdString(services_.selectedSerial()));
}

void FeaturesTab::clearTree() {
    treeReady_ = false;
    tree_->clear();
    page_->clear();
    apply_->hide();
    document_.reset();
    shownSerial_.clear();
}

void FeaturesTab::buildTree() {
    const auto shown = listShownFeatures(*document_, services_.logger());
    if (!shown) return;
    for (const FeatureEntry& feature : *shown) {
        QTreeWidgetItem* root = insertSortedRoot(tree_, feature.name);
        for (const std::string& property : feature.properties)
            new QTreeWidgetItem(root, QStringList{QString::fromStdString(property)});
    }
    QTreeWidgetItem* audio = insertSortedRoot(tree_, kAudioFeature);
    new QTreeWidgetItem(audio, QStringList{QString::fromUtf8(kAudioFeature)});
    treeReady_ = true;
}

void FeaturesTab::onCurrentItemChanged(QTreeWidgetItem* current) {
    if (!treeReady_ || !current || !document_) return;
    std::string feature;
    std::string property;
    if (current->childCount() > 0) {
        feature = current->text(0).toStdString();
        property = current->child(0)->text(0).toStdString();
    } else if (current->parent()) {
        property = current->text(0).toStdString();
        feature = current->parent()->text(0).toStdString();
    } else {
        services_.logger().log(kLogError, "selected child %s has no parent!!\n", current->text(0).toUtf8().constData());
        return;
    }
    const bool hasChoices = page_->showProperty(*document_, feature, property, true);
    apply_->setVisible(hasChoices);
    apply_->setEnabled(false);
}

void FeaturesTab::apply() {
    if (services_.isCamStreaming()) {
        showMessageBox(this, QString::fromLatin1(kCameraInUseMessage));
        return;
    }
    if (page_->isIdentityPage()) {
        if (!services_.shownCameraSelected(shownSerial_, "applyFeatureValue")) return;
        // The dialog's update thread programs the target identity's firmware.
        services_.showUpdateTabOnly();
        services_.startUpdate();
        return;
    }
    applyFeatureValue();
}

void FeaturesTab::applyFeatureValue() {
    Logger& log = services_.logger();
    const auto value = page_->checkedValue();
    if (!value || !document_) {
        log.log(kLogError, "Failed to get feature buffer values from ratio group\n");
        return;
    }
    const auto length = static_cast<uint32_t>(value->bytes.size());
    // A value outside the feature area would overwrite other flash contents.
    const uint64_t areaEnd = uint64_t{document_->baseAddress} + document_->dataLength;
    if (value->address < document_->baseAddress || uint64_t{value->address} + length > areaEnd) {
        log.log(kLogError, "applyFeatureValue: 0x%08x with %u bytes lies outside the feature area\n", value->address,
                length);
        return;
    }
    if (const int index = services_.selectedDeviceIndex(); index < 0) {
        log.log(kLogError, "Invalid device index %d\n", index);
        return;
    }
    const auto camera = services_.shownCamera(shownSerial_, "applyFeatureValue", "programDevice");
    if (!camera) return;
    if (!services_.model().programDevice(*camera, value->address, value->bytes.data(), length))
        log.log(kLogError, "Failed to program device at 0x%08x with %u bytes\n", value->address, length);
    // The camera takes a written value only at its next start.
    services_.rebootCamera(*camera, true);
    services_.disableUpdateControls();
}

}  // namespace veltrion::desktop
