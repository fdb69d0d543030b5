#pragma once

// The request half of a port call's record, built from the call's arguments.
// The recording ports and the replay ports build the same records, so that
// what a replay compares is what the recording stored.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ExchangeRecord.h"

namespace veltrion::recording {

// A record of the kind, belonging to the handle, capture source or hot-plug
// port id (0: none yet).
ExchangeRecord exchangeOf(RecordKind kind, uint32_t id = 0);
// An open (UsbOpen, VideoOpen) of the device path or capture link.
ExchangeRecord openRequest(RecordKind kind, const std::string& path);
// A vendor control transfer: the setup packet and, for an OUT transfer, the
// length bytes sent.
ExchangeRecord controlTransferRequest(uint32_t id, uint8_t requestType, uint8_t request, uint16_t value,
                                      uint16_t index, const uint8_t* data, uint16_t length, unsigned timeoutMs);
// An extension-unit query and, for SET_CUR, the size bytes sent.
ExchangeRecord xuQueryRequest(uint32_t id, uint8_t unitId, uint8_t selector, XuQuery query, const uint8_t* data,
                              uint16_t size);
// A lookup of the extension unit with the GUID.
ExchangeRecord findUnitRequest(uint32_t id, const UnitGuid& guid);
// A standard control call (VideoQueryControl, VideoGetControl, VideoSetControl).
ExchangeRecord videoControlRequest(uint32_t id, RecordKind kind, VideoControlId control);

// Keeps the first count bytes an IN exchange received (an OUT exchange's
// data is its request's).
void keepDataIn(ExchangeRecord& record, const uint8_t* data, size_t count);
// Gives the caller's buffer what a recorded IN exchange received, at most
// length bytes.
void giveDataIn(const ExchangeRecord& recorded, uint8_t* data, size_t length);

}  // namespace veltrion::recording
