#include <span>

#include "B6Device.h"
#include "VendorRequests.h"
#include "base/ByteLayout.h"

namespace veltrion {

bool decodeDeviceDescriptor(const uint8_t* bytes, size_t length, UsbDeviceDescriptor& out) {
    if (!bytes || length < vreq::kDeviceDescriptorSize) return false;
    const ByteReader in(std::span<const uint8_t>(bytes, vreq::kDeviceDescriptorSize));
    out.bLength = *in.u8(0);
    out.bDescriptorType = *in.u8(1);
    out.bcdUSB = *in.le16(2);
    out.bDeviceClass = *in.u8(4);
    out.bDeviceSubClass = *in.u8(5);
    out.bDeviceProtocol = *in.u8(6);
    out.bMaxPacketSize0 = *in.u8(7);
    out.idVendor = *in.le16(8);
    out.idProduct = *in.le16(10);
    out.bcdDevice = *in.le16(12);
    out.iManufacturer = *in.u8(14);
    out.iProduct = *in.u8(15);
    out.iSerialNumber = *in.u8(16);
    out.bNumConfigurations = *in.u8(17);
    return true;
}

}  // namespace veltrion
