#include "ConsoleHarness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

const std::string kSimProgram = VELTRION_BIN_DIR "/veltrion-sim";
const std::string kToolProgram = VELTRION_BIN_DIR "/VemtoK4UtilsExe";
constexpr const char* kSimVariable = "VELTRION_SIM";
constexpr int kExecFailedStatus = 127;

constexpr const char* kStateVariable = "XDG_STATE_HOME";

// The test's own environment without any bus, recording or state folder the
// caller may have set: the tool's backups of configuration blocks must not land in the
// user's real state folder.
std::vector<std::string> cleanEnvironment() {
    std::vector<std::string> env;
    const std::string simPrefix = std::string(kSimVariable) + "=";
    const std::string statePrefix = std::string(kStateVariable) + "=";
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string text(*entry);
        const bool recording = text.rfind("VELTRION_RECORD=", 0) == 0 || text.rfind("VELTRION_REPLAY=", 0) == 0;
        if (text.rfind(simPrefix, 0) != 0 && text.rfind(statePrefix, 0) != 0 && !recording) env.push_back(text);
    }
    return env;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            text.append(buffer, static_cast<size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    return text;
}

}  // namespace

StartedProgram startProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& environment, const std::string& cwd) {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText = environment;
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    // stderr goes to a file so that a chatty stderr cannot block on a full pipe.
    const std::string errPath = cwd + "/.stderr";
    int outPipe[2];
    if (pipe(outPipe) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (errFd < 0 || dup2(outPipe[1], STDOUT_FILENO) < 0 || dup2(errFd, STDERR_FILENO) < 0 ||
            chdir(cwd.c_str()) != 0) {
            _exit(kExecFailedStatus);
        }
        close(outPipe[0]);
        close(outPipe[1]);
        close(errFd);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(kExecFailedStatus);
    }
    close(outPipe[1]);
    return {pid, outPipe[0], errPath};
}

RunResult finishProgram(const StartedProgram& started) {
    RunResult result;
    result.out = readAll(started.outFd);
    close(started.outFd);
    int status = 0;
    while (waitpid(started.pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.err = readFile(started.errPath);
    std::filesystem::remove(started.errPath);
    return result;
}

RunResult finishWithin(const StartedProgram& program, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    siginfo_t info{};
    while (std::chrono::steady_clock::now() < deadline) {
        info.si_pid = 0;
        if (waitid(P_PID, static_cast<id_t>(program.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid != 0)
            return finishProgram(program);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "the program did not end within " << limit.count() << " ms";
    kill(program.pid, SIGKILL);
    return finishProgram(program);
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment, const std::string& cwd) {
    return finishProgram(startProgram(program, args, environment, cwd));
}

SimulatedBus::SimulatedBus() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/veltrion-console-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    bus_ = root_ + "/bus";
    std::filesystem::create_directory(bus_);
}

SimulatedBus::~SimulatedBus() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

RunResult SimulatedBus::sim(const std::vector<std::string>& args) const {
    std::vector<std::string> full{"--dir", bus_};
    full.insert(full.end(), args.begin(), args.end());
    return runProgram(kSimProgram, full, cleanEnvironment(), root_);
}

StartedProgram SimulatedBus::startTool(const std::vector<std::string>& args) const {
    std::vector<std::string> env = cleanEnvironment();
    env.push_back(std::string(kSimVariable) + "=" + bus_);
    env.push_back(std::string(kStateVariable) + "=" + root_ + "/state");
    return startProgram(kToolProgram, args, env, root_);
}

RunResult SimulatedBus::tool(const std::vector<std::string>& args) const { return finishProgram(startTool(args)); }

RunResult SimulatedBus::replay(const std::string& recording, const std::vector<std::string>& args) const {
    std::vector<std::string> env = cleanEnvironment();
    env.push_back("VELTRION_REPLAY=" + recording);
    env.push_back(std::string(kStateVariable) + "=" + root_ + "/state");
    return runProgram(kToolProgram, args, env, root_);
}

std::string SimulatedBus::buildImage(const std::string& name, const std::vector<std::string>& options) const {
    std::vector<std::string> args{"make-firmware", "--out", root_ + "/" + name};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult made = sim(args);
    EXPECT_EQ(made.status, 0) << made.out << made.err;
    const auto lines = splitLines(made.out);
    std::vector<std::string> create{"-c"};
    std::istringstream words(lines.empty() ? "" : lines.back());
    for (std::string word; words >> word;) create.push_back(word);
    const std::string image = root_ + "/" + name + ".img";
    create.push_back(image);
    const RunResult created = tool(create);
    EXPECT_EQ(created.status, 0) << created.out;
    return image;
}

long SimulatedBus::stat(const std::string& camera, const std::string& key) const {
    const RunResult stats = sim({"stats", camera});
    const std::string prefix = key + ": ";
    for (const std::string& line : splitLines(stats.out)) {
        if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
    return -1;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
