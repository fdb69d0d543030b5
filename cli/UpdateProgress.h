#pragma once

#include <string>

#include "base/Logger.h"
#include "manager/UpdateProgressCallback.h"

namespace veltrion::cli {

// Shows the progress of a firmware update through the tool's logger.
class UpdateProgress : public CamUpdateProgressCallbackInterface {
public:
    explicit UpdateProgress(Logger* logger) : logger_(logger) {}

    void reportProgress(std::string step, int percent) override;

private:
    Logger* logger_;  // borrowed; the tool's logger outlives every update
};

}  // namespace veltrion::cli
