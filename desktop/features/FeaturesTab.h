#pragma once

// The "Features" tab: the tree of the camera's configurable features from
// the update image's feature JSON, the page of the selected property and
// "Apply Changes", which writes the chosen value into the camera's flash and
// reboots it (or, on the "Audio" page, switches the camera's USB identity by
// a firmware update).

#include <memory>
#include <string>

#include <QWidget>

#include "dialog/DialogServices.h"
#include "model/FeatureDocument.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace veltrion::desktop {

class PropertyPage;

class FeaturesTab : public QWidget {
    Q_OBJECT

public:
    explicit FeaturesTab(DialogServices& services, QWidget* parent = nullptr);

    // Builds the tree for the selected camera and shows its serial number.
    void showTab();
    // Empties the tree and the page; the dialog calls it on every tab change.
    void clearTree();
    QPushButton* applyButton() const { return apply_; }

private:
    void buildTree();
    void onCurrentItemChanged(QTreeWidgetItem* current);
    void apply();
    void applyFeatureValue();

    DialogServices& services_;
    QLabel* cameraId_;
    QTreeWidget* tree_;
    PropertyPage* page_;
    QPushButton* apply_;
    // Kept while the tree shows it: the model may forget its own copy.
    std::shared_ptr<const FeatureDocument> document_;
    // The camera the tree and the page were built for.
    std::string shownSerial_;
    // Selection changes while the tree is being filled or emptied are not the user's.
    bool treeReady_ = false;
};

}  // namespace veltrion::desktop
