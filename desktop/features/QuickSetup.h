#pragma once

// The quick setup: walks the user through every shown feature property, one
// page per step, remembers each choice and writes them all into the feature
// area in one flash write at the end, then reboots the camera.

#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "dialog/DialogServices.h"
#include "features/FeatureList.h"
#include "features/WizardSelections.h"
#include "model/FeatureDocument.h"

class QLabel;
class QPushButton;

namespace veltrion::desktop {

class PropertyPage;

class QuickSetup : public QWidget {
    Q_OBJECT

public:
    // quickSetupButton is the dialog's button that starts the quick setup;
    // the quick setup captions and disables it when it ends. It may be null.
    QuickSetup(DialogServices& services, QPushButton* quickSetupButton, QWidget* parent = nullptr);

    // Loads the properties and shows the first step; false, after "No Json
    // Found!", when there is nothing to set up.
    bool start();
    // Forgets every step and choice; the dialog calls it as well when the
    // selected camera changes.
    void reset();
    bool isRunning() const { return !steps_.empty(); }

signals:
    // After "Finish" or "Cancel Setup": the dialog shows its tabs again.
    void ended();

private:
    void showStep(int step);
    void saveCurrentChoice();
    void next();
    void back();
    void cancel();
    void writeChoices();

    DialogServices& services_;
    QPushButton* quickSetupButton_;
    QLabel* title_;
    PropertyPage* page_;
    QPushButton* back_;
    QPushButton* next_;
    QPushButton* cancel_;
    std::shared_ptr<const FeatureDocument> document_;
    std::vector<FeatureProperty> steps_;
    int nextStep_ = 0;  // the step after the one shown
    std::string shownSerial_;  // the camera the steps were built for
    WizardSelections selections_;
};

}  // namespace veltrion::desktop
