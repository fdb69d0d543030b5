#include "shell/SingleInstance.h"

#include <chrono>
#include <cstdio>

#include <unistd.h>

#include <QDir>
#include <QFile>

namespace veltrion::desktop {

namespace {
// A lock file older than this whose owner is gone is stale even when its
// process id has been reused. A live holder never loses its lock to age:
// QLockFile also holds an flock on the file, and a stale lock is removed only
// after taking that flock.
constexpr std::chrono::milliseconds kStaleLockTime = std::chrono::seconds(10);
}  // namespace

QString SingleInstance::lockFilePath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) return runtime + QStringLiteral("/%1.lock").arg(QLatin1String(kLockName));
    // The temporary folder is shared between users: one user's copy must not
    // keep another's from starting.
    return QDir::tempPath() + QStringLiteral("/%1-%2.lock").arg(QLatin1String(kLockName)).arg(::getuid());
}

SingleInstance::SingleInstance() : lock_(lockFilePath()) {
    lock_.setStaleLockTime(kStaleLockTime);
    acquired_ = lock_.tryLock(0);
    if (acquired_) return;
    anotherInstanceRuns_ = lock_.error() == QLockFile::LockFailedError;
    if (!anotherInstanceRuns_) {
        std::fprintf(stderr, "single-instance lock %s could not be made; going on without it\n",
                     QFile::encodeName(lock_.fileName()).constData());
    }
}

}  // namespace veltrion::desktop
