#include "SharedMutex.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "SimError.h"

namespace camsim {

namespace {

void check(int result, const char* what) {
    if (result != 0) throw SimError(std::string("camera lock: ") + what + ": " + std::strerror(result));
}

}  // namespace

void SharedMutex::init() {
    pthread_mutexattr_t attributes;
    check(pthread_mutexattr_init(&attributes), "attributes");
    int result = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    if (result == 0) result = pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    if (result == 0) result = pthread_mutex_init(&handle, &attributes);
    pthread_mutexattr_destroy(&attributes);
    check(result, "set up");
}

void SharedMutex::lock() {
    const int result = pthread_mutex_lock(&handle);
    // The holder died mid-request: what it left is the camera's state now,
    // as a real camera keeps what a vanished host last sent.
    if (result == EOWNERDEAD) {
        check(pthread_mutex_consistent(&handle), "take over");
        return;
    }
    check(result, "lock");
}

void SharedMutex::unlock() { pthread_mutex_unlock(&handle); }

}  // namespace camsim
