#pragma once

// Runs a piece of a test in a child process, for what changes the process
// itself (its standard streams, the locks it holds) or must come from another
// process. The child ends with _exit, so it leaves no destructors, atexit
// handlers or buffered output of the parent behind.

#include <cstdio>

#include <sys/wait.h>
#include <unistd.h>

// The child's exit status (what body returned), or -1 when it did not end
// normally.
template <typename Body>
int runInChild(Body body) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int status = body();
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(status);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
