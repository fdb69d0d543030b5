#pragma once

// The console actions whose recordings are kept in this folder: how the
// simulated camera is prepared before each is recorded, the arguments it runs
// with, and what a replay of it must give. The replay test and the renewal
// (scripts/renew-recordings) both work from this one table.

#include <functional>
#include <string>
#include <vector>

class SimulatedBus;

namespace recordings {

// An update image the actions use, built in the work folder as NAME.img from
// make-firmware's deterministic components, so that the test can rebuild it
// byte for byte instead of keeping it in git.
struct ImageRecipe {
    std::string name;
    std::vector<std::string> makeFirmwareOptions;
};

// A text file the action reads from the work folder.
struct InputFile {
    std::string name;
    std::string text;
};

struct RecordedAction {
    std::string name;               // NAME.rec, NAME.expected (standard output)
    std::vector<std::string> args;  // the console's arguments, images named relative to the work folder
    int status = 0;                 // the exit status the run ends with
    std::vector<std::string> images;
    std::vector<InputFile> inputs;
    // A file the action writes into the work folder whose text the replay
    // must give too (NAME.written.expected); empty for none.
    std::string writtenFile;
    // Adds the camera and puts it into the state the action is recorded in
    // (its images and inputs are there already).
    std::function<void(const SimulatedBus&)> prepare;
};

const std::vector<ImageRecipe>& imageRecipes();
const std::vector<RecordedAction>& recordedActions();

// Builds the action's images and writes its input files in the bus's work folder.
void provideFiles(const SimulatedBus& bus, const RecordedAction& action);
// Builds the named images in the bus's work folder.
void buildImages(const SimulatedBus& bus, const std::vector<std::string>& names);

}  // namespace recordings
