#include "ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace veltrion::realports {

namespace {

constexpr int kSignalStatusBase = 128;
constexpr size_t kReadChunk = 4096;
constexpr mode_t kPrivateFile = 0600;

// A posix_spawn file-action list, destroyed on every way out.
class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class Pipe {
public:
    Pipe() {
        if (::pipe2(fds_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    }
    ~Pipe() {
        closeWrite();
        if (fds_[0] >= 0) ::close(fds_[0]);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int readEnd() const { return fds_[0]; }
    int writeEnd() const { return fds_[1]; }
    void closeWrite() {
        if (fds_[1] >= 0) ::close(fds_[1]);
        fds_[1] = -1;
    }

private:
    int fds_[2] = {-1, -1};
};

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (auto& text : texts) out.push_back(text.data());
    out.push_back(nullptr);
    return out;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            text.append(buffer, static_cast<size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            return text;
        }
    }
}

}  // namespace

ChildResult runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment, const std::string& cwd) {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<std::string> envText = environment;
    const auto argv = pointers(argvText);
    const auto envp = pointers(envText);
    const std::string errPath = (std::filesystem::path(cwd) / ".child-stderr").string();

    Pipe out;
    SpawnActions actions;
    posix_spawn_file_actions_adddup2(actions.get(), out.writeEnd(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     kPrivateFile);
    posix_spawn_file_actions_addchdir_np(actions.get(), cwd.c_str());
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv.data(), envp.data());
    if (spawned != 0) throw std::runtime_error("cannot start " + program + ": " + std::to_string(spawned));
    out.closeWrite();

    ChildResult result;
    result.out = readAll(out.readEnd());
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : kSignalStatusBase + WTERMSIG(status);
    std::ifstream err(errPath, std::ios::binary);
    std::ostringstream text;
    text << err.rdbuf();
    result.err = text.str();
    std::error_code ignored;
    std::filesystem::remove(errPath, ignored);
    return result;
}

std::vector<std::string> environmentWithout(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string text(*entry);
        bool dropped = false;
        for (const auto& name : names) dropped = dropped || text.rfind(name + "=", 0) == 0;
        if (!dropped) out.push_back(text);
    }
    return out;
}

}  // namespace veltrion::realports
