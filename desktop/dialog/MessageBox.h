#pragma once

// Every message box of the program goes through here, so that tests (and
// silent mode, which has no window) can take the text instead of a modal box.

#include <functional>

#include <QString>

class QWidget;

namespace veltrion::desktop {

// Why a camera job is refused while the camera streams video.
inline constexpr const char* kCameraInUseMessage =
    "Veltrion Camera is in Use. Please close any conferencing applications and try again!";

// Shows a modal information box with the program's caption, or hands the
// text to the installed hook.
void showMessageBox(QWidget* parent, const QString& text);

// Installs a hook that receives the text instead (null restores the box).
void setMessageBoxHook(std::function<void(const QString&)> hook);

}  // namespace veltrion::desktop
