#pragma once

// Only one copy of the program runs per user: the first holds a lock file for
// its whole life, a second one finds it held and ends at once. Checked before
// the log file is made, so a second copy leaves the first one's log alone.

#include <QLockFile>
#include <QString>

namespace veltrion::desktop {

class SingleInstance {
public:
    static constexpr char kLockName[] = "VELTRION_2_UPDATE_UTILITY";

    // Tries the lock once, without waiting. A lock left by a copy that died
    // is taken over.
    SingleInstance();
    // The lock file goes with the object.
    ~SingleInstance() = default;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // This process holds the lock.
    bool acquired() const { return acquired_; }
    // Another running copy holds the lock: this one must end. (When the lock
    // file cannot be made at all, neither is true and the program goes on.)
    bool anotherInstanceRuns() const { return anotherInstanceRuns_; }

    // $XDG_RUNTIME_DIR/VELTRION_2_UPDATE_UTILITY.lock; without a runtime
    // folder, the temporary folder, with the user id in the name.
    static QString lockFilePath();

private:
    QLockFile lock_;
    bool acquired_ = false;
    bool anotherInstanceRuns_ = false;
};

}  // namespace veltrion::desktop
