#pragma once

#include <string>

namespace veltrion {

// Progress of the component being written, set by the update procedure before
// each component. Each span is used by one erase or programming run and then
// set back to 0; with both spans at 0 the flash runs make no interim reports.
struct FlashProgress {
    std::string stepName;         // the component being written
    int progressBase = 0;         // percent already reached
    int programProgressSpan = 0;  // percent points of the next programming run
    int eraseProgressSpan = 0;    // percent points of the next erase run
};

}  // namespace veltrion
