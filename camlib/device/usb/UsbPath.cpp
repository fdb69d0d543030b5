#include <cstdio>

#include "UsbPort.h"

namespace veltrion {

std::string usbPathTail(uint16_t vendorId, uint16_t productId, const std::string& serial) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x:", vendorId, productId);
    return ids + serial;
}

const char* usbErrorName(int code) {
    switch (code) {
        case kUsbErrorIo: return "input/output error";
        case kUsbErrorInvalidParam: return "invalid parameter";
        case kUsbErrorAccess: return "access denied";
        case kUsbErrorNoDevice: return "no such device";
        case kUsbErrorNotFound: return "entity not found";
        case kUsbErrorBusy: return "resource busy";
        case kUsbErrorTimeout: return "timed out";
        case kUsbErrorOverflow: return "overflow";
        case kUsbErrorPipe: return "pipe error (stall)";
        case kUsbErrorInterrupted: return "interrupted";
        case kUsbErrorNoMem: return "out of memory";
        case kUsbErrorNotSupported: return "not supported";
        default: return "other error";
    }
}

}  // namespace veltrion
