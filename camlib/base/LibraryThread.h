#pragma once

// Threads the library starts never take the program's Ctrl-C: SIGINT is
// blocked while the thread is created, so the new thread inherits a mask
// with it blocked and the signal always reaches a thread of the program.

#include <pthread.h>
#include <signal.h>

#include <thread>
#include <utility>

namespace veltrion {

template <typename Function, typename... Args>
std::thread startLibraryThread(Function&& function, Args&&... args) {
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    struct RestoreMask {
        sigset_t mask;
        ~RestoreMask() { pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
    } restore{previous};
    return std::thread(std::forward<Function>(function), std::forward<Args>(args)...);
}

}  // namespace veltrion
