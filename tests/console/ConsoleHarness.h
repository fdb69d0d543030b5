#pragma once

// Runs the built console tool and the simulator as separate processes against
// a fresh simulated bus in a temporary folder, as a user would.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct RunResult {
    int status = -1;  // exit status as the shell sees it (255 for -1)
    std::string out;  // standard output
    std::string err;  // standard error

    bool says(const std::string& text) const { return out.find(text) != std::string::npos; }
};

// A program started with its standard output on a pipe the test reads.
struct StartedProgram {
    pid_t pid = -1;
    int outFd = -1;  // read end of its standard output
    std::string errPath;
};

class SimulatedBus {
public:
    SimulatedBus();
    ~SimulatedBus();
    SimulatedBus(const SimulatedBus&) = delete;
    SimulatedBus& operator=(const SimulatedBus&) = delete;

    const std::string& busDir() const { return bus_; }
    const std::string& workDir() const { return root_; }

    // veltrion-sim --dir <bus> args...
    RunResult sim(const std::vector<std::string>& args) const;
    // VemtoK4UtilsExe args... with VELTRION_SIM=<bus>, run in the work folder.
    RunResult tool(const std::vector<std::string>& args) const;
    // VemtoK4UtilsExe args... with VELTRION_REPLAY=<recording> and no
    // simulated bus: the recording is the program's only camera.
    RunResult replay(const std::string& recording, const std::vector<std::string>& args) const;
    // The same, left running: finishProgram reads the rest and waits.
    StartedProgram startTool(const std::vector<std::string>& args) const;
    // A counter of `veltrion-sim stats`, or -1 when it is not listed.
    long stat(const std::string& camera, const std::string& key) const;
    // An update image of make-firmware's components (with its options), made
    // with -c in the work folder; its path.
    std::string buildImage(const std::string& name, const std::vector<std::string>& options) const;

private:
    std::string root_;
    std::string bus_;
};

StartedProgram startProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& environment, const std::string& cwd);
// Reads the program's remaining output, waits for it and collects its result.
RunResult finishProgram(const StartedProgram& started);
// Waits at most `limit` for the program to end by itself; one still running
// then is killed, and the test fails.
RunResult finishWithin(const StartedProgram& program, std::chrono::milliseconds limit);
// Runs program with args and exactly the given environment, in cwd.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment, const std::string& cwd);

std::vector<std::string> splitLines(const std::string& text);
std::string readFile(const std::string& path);
