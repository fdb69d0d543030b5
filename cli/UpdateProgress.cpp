#include "UpdateProgress.h"

namespace veltrion::cli {

void UpdateProgress::reportProgress(std::string step, int percent) {
    if (logger_) logger_->log(kLogInfo, "Update progress: %s %d%%\n", step.c_str(), percent);
}

}  // namespace veltrion::cli
