// VeltrionUtility: the desktop program. One copy per user runs at a time;
// each run logs into its own file in the temporary folder. With the switch
// "-s" (or "/s") it updates the first camera without a window and ends with
// an exit code that tells the outcome.

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "device/recording/Recorder.h"
#include "dialog/MainDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/SilentUpdate.h"
#include "shell/AppLogger.h"
#include "shell/CommandLine.h"
#include "shell/FileVersion.h"
#include "shell/LogFile.h"
#include "shell/SingleInstance.h"
#include "shell/UpdateImage.h"

using namespace veltrion::desktop;

namespace {

// What both modes share once the log is open: the model with its logger and
// the update image found next to the executable. Null when the camera
// library cannot start (logged).
std::unique_ptr<CamMgrModel> makeModel(AppLogger& logger) {
    std::unique_ptr<CamMgrModel> model;
    try {
        model = std::make_unique<CamMgrModel>();
    } catch (const std::exception& error) {
        logger.log(veltrion::kLogError, "failed to start the camera library: %s\n", error.what());
        return nullptr;
    }
    model->setLogger(&logger);
    model->setImagePath(findUpdateImage(QCoreApplication::applicationDirPath(), logger));
    return model;
}

// VELTRION_RECORD: the run's exchanges with the cameras go into that file,
// which is finished when the program ends.
class RunRecording {
public:
    bool start(std::string& error) {
        const char* path = std::getenv(veltrion::recording::kRecordVariable);
        return !path || !*path || veltrion::recording::Recorder::start(path, error);
    }
    ~RunRecording() {
        std::string error;
        if (!veltrion::recording::Recorder::finish(error)) std::fprintf(stderr, "VeltrionUtility: %s\n", error.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const bool silent = parseSilentFlag(arguments);

    // Before the log opens, so that a second copy leaves the first one's log
    // alone. Its window would end without a word; in silent mode the exit
    // code says that nothing was done.
    SingleInstance instance;
    if (instance.anotherInstanceRuns()) return silent ? kSilentAnotherCopyRuns : 0;
    RunRecording recording;
    if (std::string error; !recording.start(error)) {
        std::fprintf(stderr, "VeltrionUtility: cannot record: %s\n", error.c_str());
        return 1;
    }

    AppLogger logger;
    LogFile logFile;
    if (silent) {
        // No window and no display needed.
        QCoreApplication app(argc, argv);
        logFile.open(logger);
        auto model = makeModel(logger);
        const int exitCode = model ? runSilentUpdate(*model) : 1;
        logger.log(veltrion::kLogInfo, "silent update ends with exit code %d\n", exitCode);
        return exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VeltrionUtility"));
    QApplication::setApplicationVersion(QString::fromStdString(fileVersionText()));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.vemto.VeltrionUtility")));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.vemto.VeltrionUtility"));
    logFile.open(logger);
    auto model = makeModel(logger);
    if (!model) {
        showMessageBox(nullptr, QStringLiteral("The camera library could not be started. Please check the log file %1")
                                    .arg(QString::fromStdString(logFile.path())));
        return 1;
    }
    MainDialog dialog(*model, logFile.path());
    dialog.exec();
    return 0;
}
