#pragma once

// The page of one feature property: its description, one radio button per
// allowed value with the camera's current value checked, and the note of
// the checked value. The "Features" tab shows it with "Apply Changes", the
// quick setup without.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "config/FeatureLayout.h"
#include "dialog/DialogServices.h"
#include "model/FeatureDocument.h"

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QRadioButton;
class QScrollArea;

namespace veltrion::desktop {

// A value ready for the flash: its bytes, most significant first.
struct FlashValue {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

class PropertyPage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxChoiceButtons = 31;
    static constexpr int kFirstButtonId = 2010;
    static constexpr int kButtonWidth = 130;
    static constexpr int kButtonHeight = 30;
    static constexpr int kGapBelowDescription = 40;

    explicit PropertyPage(DialogServices& services, QWidget* parent = nullptr);

    // Shows the page of the property; true when it offers choices. A page
    // that cannot be built stays empty (the reason is logged). The "Audio"
    // page offered with "Apply Changes" turns identity mode on; every other
    // page turns it off.
    bool showProperty(const FeatureDocument& document, const std::string& feature, const std::string& property,
                      bool offerApply);
    void clear();

    // The "Audio" page with an identity to switch to.
    bool isIdentityPage() const { return identityPage_; }
    bool checkedDiffersFromCurrent() const;
    // The checked value over its property's length; nothing, after a log
    // line, when no button is checked or the value cannot be encoded.
    std::optional<FlashValue> checkedValue() const;
    // Checks the button of the value text as the user's earlier choice (no
    // click reaction); false when no button has it.
    bool checkValue(const std::string& valueText);

signals:
    // A value button was clicked by the user.
    void choiceClicked(bool differsFromCurrent);

private:
    struct ChoiceButton {
        QRadioButton* button = nullptr;
        FeatureChoice choice;
        std::string note;
    };

    bool showIdentities(bool offerApply);
    bool showFeature(const FeatureDocument& document, const std::string& feature, const std::string& property);
    std::optional<std::string> readCurrentValue(const FeatureDocument& document, const std::string& feature,
                                                const FeatureInfo& info);
    void buildButtons(const std::vector<FeatureChoice>& choices);
    void onButtonClicked(QAbstractButton* button);
    const ChoiceButton* checkedButton() const;

    DialogServices& services_;
    QLabel* description_;
    QScrollArea* rowArea_;
    QWidget* row_;
    QButtonGroup* group_;
    QLabel* note_;
    std::vector<ChoiceButton> buttons_;
    std::string currentValue_;
    bool identityPage_ = false;
};

}  // namespace veltrion::desktop
