#pragma once

// The help button's web page, opened in the user's browser.

#include <QUrl>

namespace veltrion::desktop {

QUrl helpPageUrl();

// Hands the page to the desktop's default browser.
void openHelpPage();

}  // namespace veltrion::desktop
