// The program itself, started as a user starts it: silent mode's exit codes
// against prepared simulated buses, the log file of a run, and a second copy
// while one runs. Each run uses a copy of the program in a folder of its own,
// next to the update image it should find there.

#include <QProcess>
#include <QtTest>

#include <fstream>
#include <functional>
#include <sys/stat.h>

#include "DesktopFixture.h"

using namespace veltrion::desktop;
namespace fs = std::filesystem;

class SilentModeTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        sim = std::make_unique<test::SimBus>();
        programDir = sim->dir / "program";
        fs::create_directories(programDir);
        fs::create_directories(sim->dir / "tmp");
        fs::create_directories(sim->dir / "run");
        fs::permissions(sim->dir / "run", fs::perms::owner_all);  // as a session's runtime folder is
        fs::copy_file(fs::path(VELTRION_BIN_DIR) / "VeltrionUtility", programDir / "VeltrionUtility");
    }
    void cleanup() { sim.reset(); }

    void updatesTheFirstCameraAndExitsWithZero() {
        sim->bus->add("cam0");
        placeImage(sim->buildV3Package());
        QCOMPARE(runSilent(), 0);
        const auto state = sim->bus->state("cam0");
        QCOMPARE(state.running.fx3.version, std::string("C0.2.0.0"));  // rebooted into the new firmware
        QCOMPARE(state.counters.resets, uint64_t(1));

        // The run's log: one file, private, with the start and the image lines.
        const std::vector<fs::path> logs = logFiles();
        QCOMPARE(logs.size(), size_t(1));
        QVERIFY(QRegularExpression("^Veltrion2Utility__\\d{4}-\\d\\d-\\d\\d__\\d\\d-\\d\\d-\\d\\d\\.log$")
                    .match(QString::fromStdString(logs[0].filename().string()))
                    .hasMatch());
        struct stat info {};
        QCOMPARE(::stat(logs[0].c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
        std::ifstream in(logs[0]);
        const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        QVERIFY(log.find("Starting Veltrion2Utility Application version 3.2.2.1 ...") != std::string::npos);
        QVERIFY(log.find("find camera img file = " + (programDir / "camera_update.img").string()) != std::string::npos);
    }

    void aRecordedUpdateReplaysWithoutTheCamera() {
        sim->bus->add("cam0");
        placeImage(sim->buildV3Package());
        const std::string recording = (sim->dir / "silent.rec").string();
        QCOMPARE(runSilent({{"VELTRION_RECORD", QString::fromStdString(recording)}}), 0);
        const std::vector<std::string> recorded = loggedMessages();
        QVERIFY(!recorded.empty());

        // No simulated bus: the recording is the camera.
        for (const auto& log : logFiles()) fs::remove(log);
        sim->bus->remove("cam0");
        QCOMPARE(runSilent({{"VELTRION_REPLAY", QString::fromStdString(recording)}, {"VELTRION_SIM", ""}}), 0);
        QCOMPARE(loggedMessages(), recorded);

        // Another image asks other things of the camera.
        for (const auto& log : logFiles()) fs::remove(log);
        placeImage(sim->buildPackage("other.img", {{"--group", "V3G", "--fx3", "C0.3.0.0"}}));
        QCOMPARE(runSilent({{"VELTRION_REPLAY", QString::fromStdString(recording)}, {"VELTRION_SIM", ""}}), 255);
        const std::vector<std::string> changed = loggedMessages();
        QVERIFY(!changed.empty());
        QVERIFY2(changed.back().rfind("replay: exchange ", 0) == 0, changed.back().c_str());
    }

    void eachFailingStepHasItsExitCode() {
        // 1: no camera.
        QCOMPARE(runSilent(), 1);

        // 5: a streaming camera is neither written nor rebooted.
        sim->bus->add("cam0");
        sim->bus->set("cam0", "streaming", "1");
        placeImage(sim->buildV3Package());
        QCOMPARE(runSilent(), 5);
        QCOMPARE(sim->bus->state("cam0").counters.resets, uint64_t(0));
        QCOMPARE(sim->bus->stats("cam0")["pages-programmed"], uint64_t(0));
        sim->bus->set("cam0", "streaming", "0");

        // 3: the package's feature area lies outside the flash; 4: its image-control
        // defaults name a preset that does not exist. Both are rebooted.
        QCOMPARE(runWithJson("noarea",
                             [](json_t* root) {
                                 json_object_set_new(json_object_get(json_object_get(root, "MemoryLayout"), "Descriptor"),
                                                     "BaseAddress", json_string("0x7FFFF0"));
                             }),
                 3);
        QCOMPARE(sim->bus->state("cam0").counters.resets, uint64_t(1));
        QCOMPARE(runWithJson("badbtn",
                             [](json_t* root) {
                                 json_object_set_new(json_object_get(root, "Filter Control"), "Btn", json_string("A"));
                             }),
                 4);

        // 2: no update image next to the program; the camera is still rebooted.
        fs::remove(programDir / "camera_update.img");
        const uint64_t resets = sim->bus->state("cam0").counters.resets;
        QCOMPARE(runSilent(), 2);
        QCOMPARE(sim->bus->state("cam0").counters.resets, resets + 1);
    }

    void secondCopyEndsAtOnceAndLeavesTheFirstOnesLogAlone() {
        QProcess first;
        first.setProcessEnvironment(environment());
        first.start(QString::fromStdString((programDir / "VeltrionUtility").string()), {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!logFiles().empty(), 20000);

        // Silent mode says that nothing was done; a window would end silently.
        for (const auto& [arguments, exitCode] : {std::pair{QStringList{"-s"}, 6}, std::pair{QStringList{}, 0}}) {
            QProcess second;
            second.setProcessEnvironment(environment());
            second.start(QString::fromStdString((programDir / "VeltrionUtility").string()), arguments);
            QVERIFY(second.waitForFinished(20000));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), exitCode);
        }
        QCOMPARE(logFiles().size(), size_t(1));
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished();
    }

private:
    std::vector<fs::path> logFiles() const {
        std::vector<fs::path> logs;
        for (const auto& entry : fs::directory_iterator(sim->dir / "tmp"))
            if (entry.path().extension() == ".log") logs.push_back(entry.path());
        return logs;
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", QString::fromStdString((sim->dir / "tmp").string()));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((sim->dir / "run").string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((sim->dir / "config").string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }
    void placeImage(const std::string& package) {
        QVERIFY(!package.empty());
        fs::copy_file(package, programDir / "camera_update.img", fs::copy_options::overwrite_existing);
    }
    // The lines of the run's log without their time stamps.
    std::vector<std::string> loggedMessages() const {
        std::vector<std::string> lines;
        for (const auto& log : logFiles()) {
            std::ifstream in(log);
            for (std::string line; std::getline(in, line);) {
                const size_t stamp = line.find(" | ");
                lines.push_back(stamp == std::string::npos ? line : line.substr(stamp + 3));
            }
        }
        return lines;
    }
    int runSilent(const std::vector<std::pair<QString, QString>>& variables = {}) {
        QProcess program;
        QProcessEnvironment env = environment();
        for (const auto& [name, value] : variables) {
            if (value.isEmpty())
                env.remove(name);
            else
                env.insert(name, value);
        }
        program.setProcessEnvironment(env);
        program.start(QString::fromStdString((programDir / "VeltrionUtility").string()), {"/S"});
        if (!program.waitForFinished(120000)) return -1;
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
    }
    // A package whose feature JSON is the simulator's, changed by edit.
    int runWithJson(const std::string& name, const std::function<void(json_t*)>& edit) {
        placeImage(sim->buildV3PackageWithJson(name, edit, {"--group", "V3G", "--fx3", "C0.3.0.0"}));
        return QTest::currentTestFailed() ? -3 : runSilent();
    }

    std::unique_ptr<test::SimBus> sim;
    fs::path programDir;
};

QTEST_GUILESS_MAIN(SilentModeTest)
#include "SilentModeTest.moc"
