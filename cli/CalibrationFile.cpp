#include "CalibrationFile.h"

#include <array>
#include <string>

#include "NumberArgument.h"

namespace veltrion::cli {

namespace {

constexpr size_t kLineBufferSize = 1024;  // lines of up to 1023 characters

enum class Conversion { Float, Int };

// One recognised key: its name, where its value goes, and whether 0 is refused.
struct CalibrationKey {
    const char* name;
    Conversion conversion;
    float* floatField;
    int32_t* intField;
    bool zeroRefused;
};

// In matching order: the first name contained in a key selects its field.
std::array<CalibrationKey, 15> keysFor(CalibrationParams& p) {
    return {{
        {"focal length 0", Conversion::Float, &p.focalLength[0], nullptr, true},
        {"focal length 1", Conversion::Float, &p.focalLength[1], nullptr, true},
        {"focal length 2", Conversion::Float, &p.focalLength[2], nullptr, true},
        {"k1 0", Conversion::Float, &p.k1[0], nullptr, true},
        {"k1 1", Conversion::Float, &p.k1[1], nullptr, true},
        {"k1 2", Conversion::Float, &p.k1[2], nullptr, true},
        {"hfov 0", Conversion::Float, &p.hfov[0], nullptr, true},
        {"hfov 1", Conversion::Float, &p.hfov[1], nullptr, true},
        {"hfov 2", Conversion::Float, &p.hfov[2], nullptr, true},
        {"overlapx 0", Conversion::Int, nullptr, &p.overlapx[0], true},
        {"overlapx 1", Conversion::Int, nullptr, &p.overlapx[1], true},
        {"overlapy 0", Conversion::Int, nullptr, &p.overlapy[0], false},
        {"overlapy 1", Conversion::Int, nullptr, &p.overlapy[1], false},
        {"cylinderR 0", Conversion::Float, &p.cylinderR[0], nullptr, true},
        {"cylinderR 1", Conversion::Float, &p.cylinderR[1], nullptr, true},
    }};
}

bool isComment(const std::string& line) { return line.rfind("#", 0) == 0 || line.rfind("//", 0) == 0; }

std::string withoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

bool refuse(const CalibrationKey& key, const std::string& valueText) {
    std::printf("invalid %s: %s\n", key.name, valueText.c_str());
    return false;
}

// Stores one value; false (with its message) when the value is refused: not
// one number, not finite, too large for its field, or a refused zero.
bool store(const CalibrationKey& key, const std::string& valueText) {
    if (key.conversion == Conversion::Float) {
        const auto value = parseFloatValue(valueText);
        if (!value || (key.zeroRefused && *value == 0.0f)) return refuse(key, valueText);
        *key.floatField = *value;
    } else {
        const auto value = parseIntValue(valueText);
        if (!value || (key.zeroRefused && *value == 0)) return refuse(key, valueText);
        *key.intField = *value;
    }
    return true;
}

}  // namespace

bool applyCalibrationFile(std::FILE* file, CalibrationParams& params) {
    const auto keys = keysFor(params);
    char buffer[kLineBufferSize];
    while (std::fgets(buffer, sizeof buffer, file)) {
        const std::string line = withoutLineEnd(buffer);
        if (isComment(line)) continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            std::printf("no \":\" found at line %s\n", line.c_str());
            return false;
        }
        const std::string key = line.substr(0, colon);
        const std::string value = line.substr(colon + 1);
        for (const CalibrationKey& candidate : keys) {
            if (key.find(candidate.name) == std::string::npos) continue;
            if (!store(candidate, value)) return false;
            break;
        }
    }
    if (std::ferror(file)) {
        std::printf("read file error\n");
        return false;
    }
    return true;
}

}  // namespace veltrion::cli
