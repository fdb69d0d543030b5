#pragma once

#include <stdexcept>
#include <string>

namespace camsim {

// A bus operation that cannot be done (unknown camera, bad value, broken
// camera folder). The message is one line meant for the user.
class SimError : public std::runtime_error {
public:
    explicit SimError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace camsim
