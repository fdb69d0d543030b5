#pragma once

// Runs a program in a child process and collects what it prints. The child
// is started with posix_spawn, so no code of this process runs in it before
// the new program: a fork would copy locks of the preload library that the
// bridge's threads may hold at that moment, and the child could hang on them.

#include <string>
#include <vector>

namespace veltrion::realports {

struct ChildResult {
    int status = -1;  // exit status as the shell sees it (255 for -1)
    std::string out;
    std::string err;

    bool says(const std::string& text) const { return out.find(text) != std::string::npos; }
};

// Runs program with args and exactly the given environment, in cwd (where a
// temporary file takes the standard error).
ChildResult runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment, const std::string& cwd);

// This process's environment without the variables of the given names.
std::vector<std::string> environmentWithout(const std::vector<std::string>& names);

}  // namespace veltrion::realports
