#pragma once

namespace veltrion::desktop {

// The program's file version, "major.minor.build.revision", as the log's
// start line and the About box show it.
const char* fileVersionText();

}  // namespace veltrion::desktop
