#pragma once

// A USB port whose devices and replies a test lays down, for checking the
// vendor channel's own rules (path tags, descriptor lengths, open and reopen)
// without a camera behind it.

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/usb/UsbPort.h"

struct ScriptedUsbState {
    std::vector<veltrion::UsbDeviceEntry> devices;
    int listResult = 0;
    int openResult = 0;
    int opens = 0;
    // Reply bytes per (request, value); a missing entry stalls.
    std::map<std::pair<uint8_t, uint16_t>, std::vector<uint8_t>> replies;
    int transferResult = 0;  // when negative, every transfer fails with it
};

class ScriptedUsbPort : public veltrion::UsbPort {
public:
    explicit ScriptedUsbPort(std::shared_ptr<ScriptedUsbState> state) : state_(std::move(state)) {}

    int listDevices(std::vector<veltrion::UsbDeviceEntry>& devices) override {
        devices = state_->devices;
        return state_->listResult;
    }
    int open(const std::string&, std::unique_ptr<veltrion::UsbHandle>& handle) override {
        ++state_->opens;
        if (state_->openResult < 0) return state_->openResult;
        handle = std::make_unique<Handle>(state_);
        return 0;
    }

private:
    class Handle : public veltrion::UsbHandle {
    public:
        explicit Handle(std::shared_ptr<ScriptedUsbState> state) : state_(std::move(state)) {}
        int controlTransfer(uint8_t, uint8_t request, uint16_t value, uint16_t, uint8_t* data, uint16_t length,
                            unsigned) override {
            if (state_->transferResult < 0) return state_->transferResult;
            auto reply = state_->replies.find({request, value});
            if (reply == state_->replies.end()) return veltrion::kUsbErrorPipe;
            const size_t count = std::min<size_t>(length, reply->second.size());
            std::memcpy(data, reply->second.data(), count);
            return static_cast<int>(count);
        }

    private:
        std::shared_ptr<ScriptedUsbState> state_;
    };

    std::shared_ptr<ScriptedUsbState> state_;
};
