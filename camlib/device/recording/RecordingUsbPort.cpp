#include <algorithm>

#include "RecordingPorts.h"

namespace veltrion::recording {

namespace {

class RecordingUsbHandle : public UsbHandle {
public:
    RecordingUsbHandle(std::unique_ptr<UsbHandle> inner, uint32_t id, std::shared_ptr<Recorder> recorder)
        : inner_(std::move(inner)), id_(id), recorder_(std::move(recorder)) {}

    ~RecordingUsbHandle() override {
        inner_.reset();
        ExchangeRecord record;
        record.kind = RecordKind::UsbClose;
        record.id = id_;
        recorder_->append(std::move(record));
    }

    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                        uint16_t length, unsigned timeoutMs) override {
        ExchangeRecord record;
        record.kind = RecordKind::UsbControl;
        record.id = id_;
        record.requestType = requestType;
        record.request = request;
        record.value = value;
        record.index = index;
        record.length = length;
        record.timeoutMs = timeoutMs;
        // What goes out is taken before the call, what comes in after it.
        const bool out = carriesDataOut(record);
        if (out && data) record.data.assign(data, data + length);
        record.result = inner_->controlTransfer(requestType, request, value, index, data, length, timeoutMs);
        if (!out && data && record.result > 0)
            record.data.assign(data, data + std::min<int>(record.result, length));
        const int result = record.result;
        recorder_->append(std::move(record));
        return result;
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
        ExchangeRecord record;
        record.kind = RecordKind::UsbList;
        record.result = inner_->listDevices(devices);
        record.usbDevices = devices;
        const int result = record.result;
        recorder_->append(std::move(record));
        return result;
    }

    int open(const std::string& path, std::unique_ptr<UsbHandle>& handle) override {
        ExchangeRecord record;
        record.kind = RecordKind::UsbOpen;
        record.path = path;
        std::unique_ptr<UsbHandle> opened;
        record.result = inner_->open(path, opened);
        if (record.result == 0 && opened) {
            record.id = recorder_->newId();
            handle = std::make_unique<RecordingUsbHandle>(std::move(opened), record.id, recorder_);
        }
        const int result = record.result;
        recorder_->append(std::move(record));
        return result;
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
