#include "shell/FileVersion.h"

namespace veltrion::desktop {

namespace {
// The version this build of the program carries.
constexpr char kFileVersion[] = "3.2.2.1";
}  // namespace

const char* fileVersionText() { return kFileVersion; }

}  // namespace veltrion::desktop
