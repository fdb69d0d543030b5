#include "shell/SessionInhibitor.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QVariant>

namespace veltrion::desktop {

namespace {
constexpr char kService[] = "org.freedesktop.login1";
constexpr char kPath[] = "/org/freedesktop/login1";
constexpr char kInterface[] = "org.freedesktop.login1.Manager";
constexpr char kMethod[] = "Inhibit";
// What is held off, who holds it, and how: "block" keeps the system from
// doing it at all (a "delay" lock would only postpone it briefly).
constexpr char kWhat[] = "idle:sleep:shutdown";
constexpr char kWho[] = "VeltrionUtility";
constexpr char kMode[] = "block";

QDBusUnixFileDescriptor askForBlock(QDBusConnection bus, const QString& reason) {
    if (!bus.isConnected()) return {};
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                       QLatin1String(kInterface), QLatin1String(kMethod));
    call << QLatin1String(kWhat) << QLatin1String(kWho) << reason << QLatin1String(kMode);
    const QDBusMessage reply = bus.call(call, QDBus::Block, SessionInhibitor::kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return {};
    return qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
}
}  // namespace

QDBusConnection SessionInhibitor::bus() const { return bus_ ? *bus_ : QDBusConnection::systemBus(); }

bool SessionInhibitor::block(const QString& reason, Logger& log) {
    if (blocking()) return true;
    QDBusUnixFileDescriptor lock = askForBlock(bus(), reason);
    if (!lock.isValid()) {
        log.log(kLogError, "preventSystemFromSleeping failed\n");
        return false;
    }
    lock_ = std::move(lock);
    return true;
}

void SessionInhibitor::release(Logger&) {
    // The last copy of the descriptor closes it, which ends the block.
    lock_ = QDBusUnixFileDescriptor();
}

}  // namespace veltrion::desktop
