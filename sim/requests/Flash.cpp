// Flash requests: SPI mode, status, program, read, erase and the LED.

#include "Camera.h"
#include "device/usb/UsbPort.h"

namespace camsim {

int Camera::handleFlashRequest(const SetupPacket& setup, uint8_t* data) {
    (void)setup;
    (void)data;
    return veltrion::kUsbErrorPipe;
}

int Camera::handleComponentChecksum(const SetupPacket& setup, uint8_t* data) {
    (void)setup;
    (void)data;
    return veltrion::kUsbErrorPipe;
}

}  // namespace camsim
