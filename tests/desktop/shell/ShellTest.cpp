// The program's shell: command line, log file, single instance, update image
// discovery, report folder setting, sleep guard and About box.

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMutex>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QStringList>
#include <QTest>
#include <QThread>

#include "ForkedChild.h"
#include "shell/AboutDialog.h"
#include "shell/AppLogger.h"
#include "shell/CommandLine.h"
#include "shell/LogFile.h"
#include "shell/ReportFolder.h"
#include "shell/SessionInhibitor.h"
#include "shell/SingleInstance.h"
#include "shell/UpdateImage.h"
#include "support/CapturingLogger.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace veltrion::desktop;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const fs::path& path, const std::string& content) { std::ofstream(path, std::ios::binary) << content; }

QStringList lines(const std::string& text) {
    return QString::fromStdString(text).split(u'\n', Qt::SkipEmptyParts);
}

std::tm localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return local;
}

// The logger's record stamp.
const QString kStamp = QStringLiteral(R"(^\d{4}-\d{2}-\d{2}__\d{2}-\d{2}-\d{2} \| )");

// Points the user's settings file somewhere else for the rest of the scope.
class SettingsPath {
public:
    explicit SettingsPath(const fs::path& folder, const fs::path& restore) : restore_(restore) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder.string()));
    }
    ~SettingsPath() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(restore_.string()));
    }
    SettingsPath(const SettingsPath&) = delete;
    SettingsPath& operator=(const SettingsPath&) = delete;

private:
    fs::path restore_;
};

// The session manager's inhibit call, as a private bus offers it: each block
// is a pipe whose write end goes to the caller; the block lasts until every
// copy of that end is closed.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~FakeLogind() override {
        for (const int fd : blocks_) ::close(fd);
    }
    int calls() const {
        const QMutexLocker lock(&mutex_);
        return static_cast<int>(blocks_.size());
    }
    QStringList lastArguments() const {
        const QMutexLocker lock(&mutex_);
        return lastArguments_;
    }
    // The caller has let go of block number index.
    bool released(int index) const {
        const QMutexLocker lock(&mutex_);
        pollfd watch{blocks_.at(index), POLLIN, 0};
        return ::poll(&watch, 1, 0) == 1 && (watch.revents & POLLHUP);
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return {};
        const QDBusUnixFileDescriptor handedOut(ends[1]);
        ::close(ends[1]);
        const QMutexLocker lock(&mutex_);
        blocks_.push_back(ends[0]);
        lastArguments_ = {what, who, why, mode};
        return handedOut;
    }

private:
    mutable QMutex mutex_;
    std::vector<int> blocks_;
    QStringList lastArguments_;
};

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT

public:
    explicit ShellTest(const fs::path& root) : root_(root) {}

private slots:
    void silentSwitch_data();
    void silentSwitch();
    void logFileName();
    void logFileTakesBothStandardStreams();
    void logFileRefusesALinkInItsPlace();
    void secondInstanceRefusedUntilTheFirstEnds();
    void updateImageDiscovery();
    void reportFolderSetting();
    void sleepGuardWithoutSystemBus();
    void sleepGuardHoldsOneSessionBlock();
    void aboutBox();

private:
    fs::path root_;
};

void ShellTest::silentSwitch_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("silent");
    QTest::newRow("/s") << "/s" << true;
    QTest::newRow("-s") << "-s" << true;
    QTest::newRow("/S") << "/S" << true;
    QTest::newRow("-S") << "-S" << true;
    QTest::newRow("bare s") << "s" << false;
    QTest::newRow("bare S") << "S" << false;
    QTest::newRow("--s") << "--s" << false;
    QTest::newRow("//s") << "//s" << false;
    QTest::newRow("-silent") << "-silent" << false;
    QTest::newRow("/sx") << "/sx" << false;
    QTest::newRow("-t") << "-t" << false;
    QTest::newRow("prefix only") << "/" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("long s") << QStringLiteral("-\u017F") << false;
}

void ShellTest::silentSwitch() {
    QFETCH(QString, argument);
    QFETCH(bool, silent);
    QCOMPARE(isSilentSwitch(argument), silent);
    // Among other arguments, in any position.
    QCOMPARE(parseSilentFlag({QStringLiteral("camera.img"), argument, QStringLiteral("-x")}), silent);
    QCOMPARE(parseSilentFlag({argument}), silent);
}

void ShellTest::logFileName() {
    std::tm start = localTime(2020, 10, 13, 9, 5, 7);
    QCOMPARE(LogFile::fileNameFor(start), std::string("Veltrion2Utility__2020-10-13__09-05-07.log"));

    const std::string expected = QDir::tempPath().toStdString() + "/Veltrion2Utility__2020-10-13__09-05-07.log";
    QCOMPARE(LogFile(start).path(), expected);
    // From a clock reading, through the local time zone.
    QCOMPARE(LogFile(std::mktime(&start)).path(), expected);
}

void ShellTest::logFileTakesBothStandardStreams() {
    const std::tm start = localTime(2021, 1, 2, 3, 4, 5);
    const fs::path path = LogFile(start).path();
    // A file of the same name from before, readable by everyone.
    writeFile(path, "old content that must go\n");
    ::chmod(path.c_str(), 0644);

    const int status = runInChild([&] {
        LogFile logFile(start);
        AppLogger logger;
        if (!logFile.open(logger)) return 1;
        logger.log(veltrion::kLogInfo, "record from the logger\n");
        std::fputs("written to standard error\n", stderr);
        // Opened once: a second call neither reopens nor logs again.
        if (!logFile.open(logger)) return 2;
        logger.log(veltrion::kLogInfo, "second record\n");
        return 0;
    });
    QCOMPARE(status, 0);

    const QStringList logged = lines(readFile(path));
    QCOMPARE(logged.size(), 4);
    QVERIFY2(logged[0].contains(
                 QRegularExpression(kStamp + R"(Starting Veltrion2Utility Application version 3\.2\.2\.1 \.\.\.$)")),
             qPrintable(logged[0]));
    QVERIFY2(logged[1].contains(QRegularExpression(kStamp + "record from the logger$")), qPrintable(logged[1]));
    QCOMPARE(logged[2], QStringLiteral("written to standard error"));
    QVERIFY2(logged[3].contains(QRegularExpression(kStamp + "second record$")), qPrintable(logged[3]));

    struct stat info {};
    QCOMPARE(::stat(path.c_str(), &info), 0);
    QCOMPARE(info.st_mode & 07777, 0600u);
    fs::remove(path);
}

void ShellTest::logFileRefusesALinkInItsPlace() {
    const std::tm start = localTime(2022, 12, 31, 23, 59, 58);
    const fs::path path = LogFile(start).path();
    const fs::path victim = root_ / "victim.txt";
    writeFile(victim, "keep\n");
    fs::create_symlink(victim, path);
    const fs::path capturedOut = root_ / "captured-out.txt";
    const fs::path capturedErr = root_ / "captured-err.txt";

    const int status = runInChild([&] {
        // The child's own standard streams, to see where things went.
        const int out = ::open(capturedOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(capturedErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) return 3;
        LogFile logFile(start);
        AppLogger logger;
        const bool opened = logFile.open(logger);
        logger.log(veltrion::kLogInfo, "record after the refusal\n");
        return opened ? 1 : 0;
    });
    QCOMPARE(status, 0);

    QCOMPARE(readFile(victim), std::string("keep\n"));
    QVERIFY(fs::is_symlink(path));
    const QStringList errors = lines(readFile(capturedErr));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QString::fromStdString(path.string())) && errors[0].contains("symbolic link"),
             qPrintable(errors[0]));
    // Standard output stayed where it was and carries the records.
    const QStringList output = lines(readFile(capturedOut));
    QCOMPARE(output.size(), 2);
    QVERIFY(output[0].contains(QRegularExpression(kStamp + "Starting Veltrion2Utility Application version")));
    QVERIFY(output[1].contains(QRegularExpression(kStamp + "record after the refusal$")));
    fs::remove(path);
}

void ShellTest::secondInstanceRefusedUntilTheFirstEnds() {
    const QString lockPath = SingleInstance::lockFilePath();
    QVERIFY2(lockPath.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + u'/'), qPrintable(lockPath));

    // A second copy, in its own process: 0 refused as a second instance,
    // 1 acquired (and ended holding it, as a crashed copy would), 2 neither.
    const auto secondCopy = [] {
        return runInChild([] {
            const SingleInstance second;
            // Ends here, the lock still held.
            if (second.acquired()) ::_exit(1);
            return second.anotherInstanceRuns() ? 0 : 2;
        });
    };
    {
        const SingleInstance first;
        QVERIFY(first.acquired());
        QVERIFY(!first.anotherInstanceRuns());
        // A copy that has run for an hour is still running.
        const struct timeval anHourAgo[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
        QCOMPARE(::utimes(QFile::encodeName(lockPath).constData(), anHourAgo), 0);
        QCOMPARE(secondCopy(), 0);
    }
    QVERIFY(!QFile::exists(lockPath));

    QCOMPARE(secondCopy(), 1);
    // That copy ended without unlocking: its lock is stale and is taken over.
    QVERIFY(QFile::exists(lockPath));
    const SingleInstance next;
    QVERIFY(next.acquired());
}

void ShellTest::updateImageDiscovery() {
    const TempDir folder("shell-images");
    const QString dir = QString::fromStdString(folder.str());
    writeFile(folder.path() / "camera_b.img", "b");
    writeFile(folder.path() / "CAMERA_A.IMG", "a");
    writeFile(folder.path() / "cam.img", "not an image name");
    // Sorts first, but is a folder.
    fs::create_directory(folder.path() / "CAMERA.IMG");

    CapturingLogger log;
    QCOMPARE(findUpdateImage(dir, log), folder.str() + "/CAMERA_A.IMG");
    QCOMPARE(log.text(), "get cam img path reg = " + folder.str() + "/camera*.img\n" +
                             "find camera img file = " + folder.str() + "/CAMERA_A.IMG\n");

    fs::remove(folder.path() / "camera_b.img");
    fs::remove(folder.path() / "CAMERA_A.IMG");
    log.clear();
    QCOMPARE(findUpdateImage(dir, log), std::string());
    QCOMPARE(log.text(), "get cam img path reg = " + folder.str() + "/camera*.img\n");
}

void ShellTest::reportFolderSetting() {
    // The settings live under the test's XDG_CONFIG_HOME (set in main).
    const fs::path config = qEnvironmentVariable("XDG_CONFIG_HOME").toStdString();
    const fs::path home = root_ / "home";
    fs::create_directories(home);
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.string()));

    CapturingLogger log;
    std::string folder;
    QVERIFY(!getRegValue(folder, log));
    QCOMPARE(log.text(), std::string());

    // Round trip, and the file sits in the redirected settings folder.
    const std::string chosen = "/srv/reports/für Support";
    QVERIFY(setRegValue(chosen, log));
    QVERIFY(getRegValue(folder, log));
    QCOMPARE(folder, chosen);
    QCOMPARE(reportBaseFolder(log), chosen);
    QCOMPARE(log.text(), std::string());
    QVERIFY(fs::exists(config / "Vemto" / "Veltrion2Utility.conf"));

    // Values of another type are ignored; without a desktop folder the
    // home folder is used.
    QSettings settings(QStringLiteral("Vemto"), QStringLiteral("Veltrion2Utility"));
    settings.setValue("ReportDir/PATH", QStringList{"/a", "/b"});
    settings.sync();
    QVERIFY(!getRegValue(folder, log));
    QCOMPARE(log.text(), "getRegValue: invalid type " + std::to_string(QMetaType::QStringList) + " for reg key PATH\n");
    log.clear();
    QCOMPARE(reportBaseFolder(log), home.string());
    QCOMPARE(log.text(), "getRegValue: invalid type " + std::to_string(QMetaType::QStringList) +
                             " for reg key PATH\nfailed to get desktop path\n");

    settings.setValue("ReportDir/PATH", 42);
    settings.sync();
    fs::create_directories(home / "Desktop");
    log.clear();
    QCOMPARE(reportBaseFolder(log), (home / "Desktop").string());
    QCOMPARE(log.text(), "getRegValue: invalid type " + std::to_string(QMetaType::Int) + " for reg key PATH\n");

    // An emptied folder box is no folder.
    QVERIFY(setRegValue("", log));
    QCOMPARE(reportBaseFolder(log), (home / "Desktop").string());

    // Settings that cannot be written.
    log.clear();
    writeFile(root_ / "not-a-folder", "");
    {
        const SettingsPath unwritable(root_ / "not-a-folder" / "config", config);
        QVERIFY(!setRegValue(chosen, log));
    }
    QCOMPARE(log.text(), std::string("setRegValue: failed to set reg key PATH\n"));

    qputenv("HOME", savedHome);
}

void ShellTest::sleepGuardWithoutSystemBus() {
    // main() pointed the system bus at a socket that does not exist.
    SessionInhibitor inhibitor;
    CapturingLogger log;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!inhibitor.block(QStringLiteral("Updating camera firmware"), log));
    // A bound against hanging, far above the call timeout.
    QVERIFY(timer.elapsed() < 10 * SessionInhibitor::kCallTimeoutMs);
    QCOMPARE(log.text(), std::string("preventSystemFromSleeping failed\n"));
    QVERIFY(!inhibitor.blocking());
    inhibitor.release(log);
    inhibitor.release(log);
    QCOMPARE(log.text(), std::string("preventSystemFromSleeping failed\n"));
}

void ShellTest::sleepGuardHoldsOneSessionBlock() {
    // A private message bus of our own.
    QProcess daemon;
    const QString address = QStringLiteral("unix:path=") + QString::fromStdString((root_ / "bus-socket").string());
    daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address", "--address=" + address});
    if (!daemon.waitForStarted(5000)) QSKIP("dbus-daemon is not installed");
    QVERIFY(daemon.waitForReadyRead(5000));
    const QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("shell-test-client"));
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("shell-test-logind"));
    QVERIFY(client.isConnected() && service.isConnected());

    CapturingLogger log;
    {
        // No session manager on this bus yet.
        SessionInhibitor inhibitor(client);
        QVERIFY(!inhibitor.block(QStringLiteral("Updating camera firmware"), log));
        QCOMPARE(log.text(), std::string("preventSystemFromSleeping failed\n"));
    }
    log.clear();

    // The session manager answers on its own thread; ours blocks on the call.
    QThread serviceThread;
    auto* logind = new FakeLogind;
    logind->moveToThread(&serviceThread);
    connect(&serviceThread, &QThread::finished, logind, &QObject::deleteLater);
    serviceThread.start();
    const auto stopService = qScopeGuard([&] {
        service.unregisterService(QStringLiteral("org.freedesktop.login1"));
        service.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        serviceThread.quit();
        serviceThread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("shell-test-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("shell-test-logind"));
        daemon.terminate();
        daemon.waitForFinished(5000);
    });
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/login1"), logind, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.login1")));
    {
        SessionInhibitor inhibitor(client);
        QVERIFY(inhibitor.block(QStringLiteral("Updating camera firmware"), log));
        QVERIFY(inhibitor.blocking());
        QCOMPARE(logind->lastArguments(), (QStringList{"idle:sleep:shutdown", "VeltrionUtility",
                                                       "Updating camera firmware", "block"}));
        // Blocking again keeps the one block.
        QVERIFY(inhibitor.block(QStringLiteral("Writing a device report"), log));
        QCOMPARE(logind->calls(), 1);
        QTest::qWait(50);
        QVERIFY(!logind->released(0));

        inhibitor.release(log);
        QVERIFY(!inhibitor.blocking());
        QTRY_VERIFY_WITH_TIMEOUT(logind->released(0), 5000);
        inhibitor.release(log);

        QVERIFY(inhibitor.block(QStringLiteral("Updating camera firmware"), log));
        QCOMPARE(logind->calls(), 2);
        QVERIFY(!logind->released(1));
    }
    // Gone with the guard.
    QTRY_VERIFY_WITH_TIMEOUT(logind->released(1), 5000);
    QCOMPARE(log.text(), std::string());
}

void ShellTest::aboutBox() {
    AboutDialog about;
    const auto* title = about.findChild<QLabel*>("aboutTitle");
    const auto* version = about.findChild<QLabel*>("aboutVersion");
    QVERIFY(title && version);
    QCOMPARE(title->text(), QStringLiteral("Veltrion2Utility, Version 1.0"));
    QVERIFY(version->text().contains("3.2.2.1"));
    about.open();
    about.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
}

int main(int argc, char** argv) {
    // Everything the shell touches goes into one fresh folder: the log files,
    // the lock, the user's settings and the system bus address.
    const TempDir root("shell-test");
    for (const char* sub : {"tmp", "run", "config"}) fs::create_directories(root.path() / sub);
    ::setenv("TMPDIR", (root.path() / "tmp").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root.path() / "run").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root.path() / "config").c_str(), 1);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (root.path() / "no-bus" / "socket").string()).c_str(), 1);
    ::chmod((root.path() / "run").c_str(), 0700);

    QApplication app(argc, argv);
    ShellTest test(root.path());
    return QTest::qExec(&test, argc, argv);
}

#include "ShellTest.moc"
