// EEPROM reads: wIndex is the EEPROM address, the data stage the bytes from
// there. The EEPROM is the camera folder's eeprom.bin.

#include <fstream>
#include <vector>

#include "Camera.h"
#include "CameraFolder.h"
#include "device/usb/UsbPort.h"

namespace camsim {

int Camera::handleEeprom(const SetupPacket& setup, uint8_t* data) {
    if (setup.value != 0 || uint32_t{setup.index} + setup.length > kEepromSize) return veltrion::kUsbErrorPipe;
    std::vector<uint8_t> bytes(setup.length);
    std::ifstream in(folder_.eepromFile(), std::ios::binary);
    in.seekg(setup.index);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) return veltrion::kUsbErrorIo;
    return replyIn(setup, data, bytes);
}

}  // namespace camsim
