#include <algorithm>

#include "PortRequests.h"
#include "RecordingPorts.h"

namespace veltrion::recording {

namespace {

class RecordingUsbHandle : public UsbHandle {
public:
    RecordingUsbHandle(std::unique_ptr<UsbHandle> inner, uint32_t id, std::shared_ptr<Recorder> recorder)
        : inner_(std::move(inner)), id_(id), recorder_(std::move(recorder)) {}

    ~RecordingUsbHandle() override {
        inner_.reset();
        recorder_->append(exchangeOf(RecordKind::UsbClose, id_));
    }

    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        uint16_t length, unsigned timeoutMs) override {
        // What goes out is taken before the call, what comes in after it.
        ExchangeRecord record =
            controlTransferRequest(id_, requestType, request, value, index, data, length, timeoutMs);
        record.result = inner_->controlTransfer(requestType, request, value, index, data, length, timeoutMs);
        keepDataIn(record, data, record.result > 0 ? std::min<size_t>(record.result, length) : 0);
        return recorder_->appendCall(std::move(record));
    }

private:
    std::unique_ptr<UsbHandle> inner_;
    uint32_t id_;
    std::shared_ptr<Recorder> recorder_;
};

class RecordingUsbPort : public UsbPort {
public:
    RecordingUsbPort(std::unique_ptr<UsbPort> inner, std::shared_ptr<Recorder> recorder)
        : inner_(std::move(inner)), recorder_(std::move(recorder)) {}

    int listDevices(std::vector<UsbDeviceEntry>& devices) override {
        ExchangeRecord record = exchangeOf(RecordKind::UsbList);
        record.result = inner_->listDevices(devices);
        record.usbDevices = devices;
        return recorder_->appendCall(std::move(record));
    }

    int open(const std::string& path, std::unique_ptr<UsbHandle>& handle) override {
        ExchangeRecord record = openRequest(RecordKind::UsbOpen, path);
        std::unique_ptr<UsbHandle> opened;
        record.result = inner_->open(path, opened);
        if (record.result == 0 && opened) {
            record.id = recorder_->newId();
            handle = std::make_unique<RecordingUsbHandle>(std::move(opened), record.id, recorder_);
        }
        return recorder_->appendCall(std::move(record));
    }

    std::string writerLockFile(const std::string& path) const override { return inner_->writerLockFile(path); }

private:
    std::unique_ptr<UsbPort> inner_;
    std::shared_ptr<Recorder> recorder_;
};

}  // namespace

std::unique_ptr<UsbPort> recordUsbPort(std::unique_ptr<UsbPort> inner, std::shared_ptr<Recorder> recorder) {
    if (!inner || !recorder) return inner;
    return std::make_unique<RecordingUsbPort>(std::move(inner), std::move(recorder));
}

}  // namespace veltrion::recording
