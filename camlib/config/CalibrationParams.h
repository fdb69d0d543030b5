#pragma once

// The fifteen lens calibration values of a camera and their wire form: 32-bit
// words, big-endian in flash and on the wire, a float field stored as the
// bits of its IEEE single-precision value. Header-only so the simulated
// camera encodes exactly what the library decodes.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "config/ConfigBlockLayout.h"

namespace veltrion {

struct CalibrationParams {
    std::array<float, 3> focalLength{};
    std::array<float, 3> k1{};
    std::array<float, 3> hfov{};
    std::array<int32_t, 2> overlapx{};
    std::array<int32_t, 2> overlapy{};
    std::array<float, 2> cylinderR{};

    bool operator==(const CalibrationParams&) const = default;
};

using CalibrationWords = std::array<uint32_t, configblock::kCalibrationWordCount>;

// The words in their stored order: focal length 0..2, k1 0..2, hfov 0..2,
// overlapx 0..1, overlapy 0..1, cylinderR 0..1.
inline CalibrationWords calibrationToWords(const CalibrationParams& p) {
    CalibrationWords w{};
    size_t i = 0;
    for (float v : p.focalLength) w[i++] = std::bit_cast<uint32_t>(v);
    for (float v : p.k1) w[i++] = std::bit_cast<uint32_t>(v);
    for (float v : p.hfov) w[i++] = std::bit_cast<uint32_t>(v);
    for (int32_t v : p.overlapx) w[i++] = static_cast<uint32_t>(v);
    for (int32_t v : p.overlapy) w[i++] = static_cast<uint32_t>(v);
    for (float v : p.cylinderR) w[i++] = std::bit_cast<uint32_t>(v);
    return w;
}

inline CalibrationParams calibrationFromWords(const CalibrationWords& w) {
    CalibrationParams p;
    size_t i = 0;
    for (float& v : p.focalLength) v = std::bit_cast<float>(w[i++]);
    for (float& v : p.k1) v = std::bit_cast<float>(w[i++]);
    for (float& v : p.hfov) v = std::bit_cast<float>(w[i++]);
    for (int32_t& v : p.overlapx) v = static_cast<int32_t>(w[i++]);
    for (int32_t& v : p.overlapy) v = static_cast<int32_t>(w[i++]);
    for (float& v : p.cylinderR) v = std::bit_cast<float>(w[i++]);
    return p;
}

}  // namespace veltrion
