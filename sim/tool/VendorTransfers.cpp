#include "VendorTransfers.h"

#include <algorithm>
#include <map>
#include <optional>

#include "device/VendorRequests.h"
#include "device/uvc/ExtensionUnitControls.h"

namespace camsim {

namespace {

using namespace veltrion;
using recording::ExchangeRecord;
using recording::RecordKind;

struct TunnelHeader {
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

std::optional<TunnelHeader> tunnelHeader(const std::vector<uint8_t>& data) {
    if (data.size() < xu::kHeaderSize) return std::nullopt;
    const auto le16 = [&](size_t at) { return static_cast<uint16_t>(data[at] | data[at + 1] << 8); };
    return TunnelHeader{data[0], le16(1), le16(3), le16(5)};
}

VendorTransfer transferOf(const std::string& camera, uint8_t requestType, const TunnelHeader& header,
                          std::span<uint8_t> data) {
    VendorTransfer transfer;
    transfer.camera = camera;
    transfer.requestType = requestType;
    transfer.request = header.request;
    transfer.value = header.value;
    transfer.index = header.index;
    transfer.data = data;
    return transfer;
}

bool isSetCur(const ExchangeRecord& record, uint8_t selector) {
    return record.selector == selector && record.query == static_cast<uint8_t>(XuQuery::SetCur) && record.result == 0;
}

bool isReply(const ExchangeRecord& record) {
    return record.selector == xu::kGeneric256BXfer && record.query == static_cast<uint8_t>(XuQuery::GetCur) &&
           record.result == 0;
}

using Visit = std::function<void(VendorTransfer&)>;
using PendingHeaders = std::map<uint32_t, TunnelHeader>;  // per capture source

// An extension-unit exchange of the UVC channel's vendor-request tunnel.
void visitTunnel(ExchangeRecord& record, const std::string& link, PendingHeaders& pending, const Visit& visit) {
    if (isSetCur(record, xu::kGeneric7BXfer)) {
        if (const auto header = tunnelHeader(record.data)) pending[record.id] = *header;
        return;
    }
    if (isSetCur(record, xu::kGeneric263BXfer)) {
        const auto header = tunnelHeader(record.data);
        if (!header) return;
        const size_t length = std::min<size_t>(header->length, record.data.size() - xu::kHeaderSize);
        VendorTransfer transfer =
            transferOf(link, vreq::kTypeOut, *header, std::span(record.data).subspan(xu::kHeaderSize, length));
        visit(transfer);
        return;
    }
    if (!isReply(record)) return;
    const auto header = pending.find(record.id);
    const size_t length =
        header == pending.end() ? 0 : std::min<size_t>(header->second.length, record.data.size());
    std::fill(record.data.begin() + static_cast<std::ptrdiff_t>(length), record.data.end(), 0);
    if (header == pending.end()) return;
    VendorTransfer transfer = transferOf(link, vreq::kTypeIn, header->second, std::span(record.data).first(length));
    visit(transfer);
}

}  // namespace

void forEachVendorTransfer(recording::Recording& recording, const Visit& visit) {
    std::map<uint32_t, std::string> devicePaths;
    std::map<uint32_t, std::string> captureLinks;
    PendingHeaders pendingHeaders;
    for (ExchangeRecord& record : recording.records) {
        switch (record.kind) {
            case RecordKind::UsbOpen: devicePaths[record.id] = record.path; break;
            case RecordKind::VideoOpen: captureLinks[record.id] = record.path; break;
            case RecordKind::UsbControl: {
                VendorTransfer transfer =
                    transferOf(devicePaths[record.id], record.requestType,
                               {record.request, record.value, record.index, record.length}, record.data);
                visit(transfer);
                break;
            }
            case RecordKind::VideoXuQuery: visitTunnel(record, captureLinks[record.id], pendingHeaders, visit); break;
            default: break;
        }
    }
}

}  // namespace camsim
