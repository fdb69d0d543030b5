#include "PortRequests.h"

#include <algorithm>

namespace veltrion::recording {

ExchangeRecord exchangeOf(RecordKind kind, uint32_t id) {
    ExchangeRecord record;
    record.kind = kind;
    record.id = id;
    return record;
}

ExchangeRecord openRequest(RecordKind kind, const std::string& path) {
    ExchangeRecord record = exchangeOf(kind);
    record.path = path;
    return record;
}

ExchangeRecord controlTransferRequest(uint32_t id, uint8_t requestType, uint8_t request, uint16_t value,
                                      uint16_t index, const uint8_t* data, uint16_t length, unsigned timeoutMs) {
    ExchangeRecord record = exchangeOf(RecordKind::UsbControl, id);
    record.requestType = requestType;
    record.request = request;
    record.value = value;
    record.index = index;
    record.length = length;
    record.timeoutMs = timeoutMs;
    if (carriesDataOut(record) && data) record.data.assign(data, data + length);
    return record;
}

ExchangeRecord xuQueryRequest(uint32_t id, uint8_t unitId, uint8_t selector, XuQuery query, const uint8_t* data,
                              uint16_t size) {
    ExchangeRecord record = exchangeOf(RecordKind::VideoXuQuery, id);
    record.unitId = unitId;
    record.selector = selector;
    record.query = static_cast<uint8_t>(query);
    record.length = size;
    if (carriesDataOut(record) && data) record.data.assign(data, data + size);
    return record;
}

ExchangeRecord findUnitRequest(uint32_t id, const UnitGuid& guid) {
    ExchangeRecord record = exchangeOf(RecordKind::VideoFindUnit, id);
    record.data.assign(guid.begin(), guid.end());
    return record;
}

ExchangeRecord videoControlRequest(uint32_t id, RecordKind kind, VideoControlId control) {
    ExchangeRecord record = exchangeOf(kind, id);
    record.controlId = static_cast<int32_t>(control);
    return record;
}

void keepDataIn(ExchangeRecord& record, const uint8_t* data, size_t count) {
    if (!carriesDataOut(record) && data) record.data.assign(data, data + count);
}

void giveDataIn(const ExchangeRecord& recorded, uint8_t* data, size_t length) {
    if (!carriesDataOut(recorded) && data) std::copy_n(recorded.data.begin(), std::min(recorded.data.size(), length), data);
}

}  // namespace veltrion::recording
