#pragma once

// A mutex that lives in a block mapped shared by several processes. It
// excludes every thread of every process that maps the block, with no system
// call while nobody waits (a camera's requests take it thousands of times a
// second). It is robust: when its holder dies, the kernel hands it to the
// next locker, so a program that dies mid-request never leaves a camera
// locked. BasicLockable, for std::lock_guard.

#include <pthread.h>

namespace camsim {

struct SharedMutex {
    pthread_mutex_t handle;

    // Once, by the process that sets the block up, before any other maps it
    // in use. Throws SimError.
    void init();
    // Throws SimError when the mutex cannot be taken at all.
    void lock();
    void unlock();
};

}  // namespace camsim
