#pragma once

// Keeps the computer from sleeping, idling off or shutting down while a long
// camera job runs (an interrupted flash write can leave a camera unusable).
// The session manager (systemd-logind) holds the block for as long as the
// file descriptor it hands out stays open.

#include <optional>

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QString>

#include "base/Logger.h"

namespace veltrion::desktop {

class SessionInhibitor {
public:
    // Longest wait for the session manager's answer: the block is a courtesy,
    // the job must not stall for it.
    static constexpr int kCallTimeoutMs = 1000;

    // Asks on the system bus.
    SessionInhibitor() = default;
    // Asks on the given bus instead.
    explicit SessionInhibitor(const QDBusConnection& bus) : bus_(bus) {}
    // Drops the block.
    ~SessionInhibitor() = default;
    SessionInhibitor(const SessionInhibitor&) = delete;
    SessionInhibitor& operator=(const SessionInhibitor&) = delete;

    // Takes the block for reason; while one is held, keeps it (one block,
    // the first reason). Without a bus, without a session manager or when it
    // refuses: "preventSystemFromSleeping failed" and false; work goes on.
    bool block(const QString& reason, Logger& log);
    // Drops the block; nothing happens when none is held.
    void release(Logger& log);

    bool blocking() const { return lock_.isValid(); }

private:
    QDBusConnection bus() const;

    std::optional<QDBusConnection> bus_;
    // The session manager's descriptor; closed when reset.
    QDBusUnixFileDescriptor lock_;
};

}  // namespace veltrion::desktop
