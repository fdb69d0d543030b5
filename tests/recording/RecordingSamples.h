#pragma once

// Exchanges for the recording tests, built field by field.

#include "device/recording/RecordingFile.h"

namespace veltrion::recording::test {

inline ExchangeRecord usbOpen(const std::string& path, uint32_t id, int result = 0) {
    ExchangeRecord r;
    r.kind = RecordKind::UsbOpen;
    r.path = path;
    r.id = id;
    r.result = result;
    return r;
}

// An IN transfer (request type 0xDF) of request with its answer.
inline ExchangeRecord usbIn(uint32_t id, uint8_t request, std::vector<uint8_t> answer, uint64_t micros = 0) {
    ExchangeRecord r;
    r.kind = RecordKind::UsbControl;
    r.id = id;
    r.requestType = 0xDF;
    r.request = request;
    r.length = static_cast<uint16_t>(answer.size());
    r.timeoutMs = 5000;
    r.result = static_cast<int32_t>(answer.size());
    r.data = std::move(answer);
    r.timeMicros = micros;
    return r;
}

inline ExchangeRecord clockReading(uint32_t previous, uint64_t nanos) {
    ExchangeRecord r;
    r.kind = RecordKind::ClockReading;
    r.previous = previous;
    r.clockNanos = nanos;
    return r;
}

}  // namespace veltrion::recording::test
