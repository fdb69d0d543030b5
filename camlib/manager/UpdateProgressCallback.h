#pragma once

#include <string>

namespace veltrion {

// Receives the progress of a firmware update: the step name and its percent.
class CamUpdateProgressCallbackInterface {
public:
    virtual ~CamUpdateProgressCallbackInterface() = default;
    virtual void reportProgress(std::string step, int percent) = 0;
};

}  // namespace veltrion
