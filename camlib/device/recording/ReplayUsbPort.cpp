#include "PortRequests.h"
#include "ReplayPorts.h"

namespace veltrion::recording {

namespace {

class ReplayUsbHandle : public UsbHandle {
public:
    ReplayUsbHandle(ReplaySession& session, std::string stream) : session_(session), stream_(std::move(stream)) {}

    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        uint16_t length, unsigned timeoutMs) override {
        const ExchangeRecord& recorded =
            session_.take(stream_, controlTransferRequest(0, requestType, request, value, index, data, length, timeoutMs));
        giveDataIn(recorded, data, length);
        return recorded.result;
    }

private:
    ReplaySession& session_;
    std::string stream_;
};

class ReplayUsbPort : public UsbPort {
public:
    explicit ReplayUsbPort(ReplaySession& session) : session_(session) {}

    int listDevices(std::vector<UsbDeviceEntry>& devices) override {
        const ExchangeRecord& recorded = session_.take(ReplaySession::kUsbListStream, exchangeOf(RecordKind::UsbList));
        devices = recorded.usbDevices;
        return recorded.result;
    }

    int open(const std::string& path, std::unique_ptr<UsbHandle>& handle) override {
        const std::string stream = ReplaySession::usbStream(path);
        const ExchangeRecord& recorded = session_.take(stream, openRequest(RecordKind::UsbOpen, path));
        if (recorded.result == 0) handle = std::make_unique<ReplayUsbHandle>(session_, stream);
        return recorded.result;
    }

    // No camera is written, so none is locked.
    std::string writerLockFile(const std::string&) const override { return {}; }

private:
    ReplaySession& session_;
};

}  // namespace

std::unique_ptr<UsbPort> replayUsbPort(ReplaySession& session) { return std::make_unique<ReplayUsbPort>(session); }

}  // namespace veltrion::recording
