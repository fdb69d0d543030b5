#include "UsbfsHandler.h"

// <sys/ioctl.h> first: the usbfs header's ioctl numbers need its macros.
#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <span>

#include "base/ByteLayout.h"

namespace veltrion::realports {

namespace {

constexpr size_t kSetupSize = 8;
constexpr size_t kRequestTypeOffset = 0;
constexpr size_t kRequestOffset = 1;
constexpr size_t kValueOffset = 2;
constexpr size_t kIndexOffset = 4;
constexpr size_t kLengthOffset = 6;
constexpr unsigned char kEndpointNumberMask = 0x7F;

// What a current kernel reports; bulk and isochronous details do not matter
// for control transfers, reaping after a disconnect does.
constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

// The URB status the host controller driver gives a transfer that ended
// this way on the wire.
int urbStatus(int result) {
    switch (result) {
        case kUsbErrorPipe: return -EPIPE;
        case kUsbErrorOverflow: return -EOVERFLOW;
        case kUsbErrorNoDevice: return -ENODEV;
        default: return -EPROTO;  // a failed transaction
    }
}

void complete(UMockdevIoctlClient* client, long result, int error = 0) {
    umockdev_ioctl_client_complete(client, result, error);
}

// The ioctl argument's pointee, copied over from the client.
GObjectPtr<UMockdevIoctlData> resolveArg(UMockdevIoctlClient* client, size_t length) {
    return GObjectPtr<UMockdevIoctlData>(
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, length, nullptr));
}

}  // namespace

UsbfsHandler::UsbfsHandler(NodeDirectory& directory, UsbPort& port)
    : directory_(directory), port_(port), object_(umockdev_ioctl_base_new()) {
    g_signal_connect(object_.get(), "handle-ioctl", G_CALLBACK(onIoctl), this);
}

UsbfsHandler::~UsbfsHandler() {
    g_signal_handlers_disconnect_by_data(object_.get(), this);
}

gboolean UsbfsHandler::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    try {
        static_cast<UsbfsHandler*>(self)->handle(client);
    } catch (...) {
        // Nothing may unwind into umockdev; the client sees an I/O error.
        complete(client, -1, EIO);
    }
    return TRUE;
}

size_t UsbfsHandler::releaseClosedClients() {
    std::lock_guard lock(mutex_);
    std::erase_if(clients_, [](const auto& entry) {
        return !umockdev_ioctl_client_get_connected(entry.second.client.get());
    });
    return clients_.size();
}

UsbfsHandler::Client& UsbfsHandler::clientFor(UMockdevIoctlClient* ioctlClient) {
    auto found = clients_.find(ioctlClient);
    if (found != clients_.end()) return found->second;
    Client& client = clients_[ioctlClient];
    client.client = takeRef(ioctlClient);
    client.devNode = umockdev_ioctl_client_get_devnode(ioctlClient);
    return client;
}

void UsbfsHandler::handle(UMockdevIoctlClient* ioctlClient) {
    std::lock_guard lock(mutex_);
    const unsigned long request = umockdev_ioctl_client_get_request(ioctlClient);
    if (request == USBDEVFS_GET_CAPABILITIES) return capabilities(ioctlClient);

    Client& client = clientFor(ioctlClient);
    if (!client.bound) {
        // The camera handle is opened at the client's first request, as the
        // kernel binds an open file to the device it opened.
        client.bound = true;
        client.binding = directory_.bind(client.devNode);
        if (client.binding && port_.open(client.binding->devicePath, client.handle) < 0) client.handle.reset();
    }
    switch (request) {
        case USBDEVFS_SUBMITURB: return submitUrb(client, ioctlClient);
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: return reapUrb(client, ioctlClient);
        case USBDEVFS_DISCARDURB: return discardUrb(ioctlClient);
        case USBDEVFS_CONTROL: return control(client, ioctlClient);
        default:
            // Claiming, resets, bulk and the rest are not what the vendor
            // channel does; the kernel would refuse what it does not know.
            return complete(ioctlClient, -1, ENOTTY);
    }
}

void UsbfsHandler::capabilities(UMockdevIoctlClient* ioctlClient) {
    const auto caps = resolveArg(ioctlClient, sizeof(uint32_t));
    if (!caps) return complete(ioctlClient, -1, EFAULT);
    std::vector<uint8_t> bytes;
    ByteWriter(bytes).le32(kCapabilities);
    std::copy(bytes.begin(), bytes.end(), caps->data);
    complete(ioctlClient, 0);
}

int UsbfsHandler::transfer(Client& client, const uint8_t* setup, uint8_t* data) {
    int result = kUsbErrorNoDevice;
    if (client.handle && directory_.current(client.devNode, client.binding->generation)) {
        const ByteReader in(std::span<const uint8_t>(setup, kSetupSize));
        result = client.handle->controlTransfer(*in.u8(kRequestTypeOffset), *in.u8(kRequestOffset),
                                                *in.le16(kValueOffset), *in.le16(kIndexOffset), data,
                                                *in.le16(kLengthOffset), kControlTimeoutMs);
    }
    directory_.transferred(client.devNode, result);
    return result;
}

void UsbfsHandler::submitUrb(Client& client, UMockdevIoctlClient* ioctlClient) {
    auto urbData = resolveArg(ioctlClient, sizeof(usbdevfs_urb));
    if (!urbData) return complete(ioctlClient, -1, EFAULT);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL || (urb->endpoint & kEndpointNumberMask) != 0 ||
        urb->buffer_length < static_cast<int>(kSetupSize))
        return complete(ioctlClient, -1, EINVAL);
    GObjectPtr<UMockdevIoctlData> buffer(umockdev_ioctl_data_resolve(
        urbData.get(), offsetof(usbdevfs_urb, buffer), static_cast<size_t>(urb->buffer_length), nullptr));
    if (!buffer) return complete(ioctlClient, -1, EFAULT);
    const uint16_t length = *ByteReader(std::span<const uint8_t>(buffer->data, kSetupSize)).le16(kLengthOffset);
    if (static_cast<size_t>(urb->buffer_length) < kSetupSize + length) return complete(ioctlClient, -1, EINVAL);

    const int result = transfer(client, buffer->data, buffer->data + kSetupSize);
    // A device that is gone takes no more URBs.
    if (result == kUsbErrorNoDevice) return complete(ioctlClient, -1, ENODEV);
    urb->status = result < 0 ? urbStatus(result) : 0;
    urb->actual_length = result < 0 ? 0 : std::min<int>(result, length);
    client.reapable.push_back(std::move(urbData));
    complete(ioctlClient, 0);
}

void UsbfsHandler::reapUrb(Client& client, UMockdevIoctlClient* ioctlClient) {
    // Every URB completes when it is submitted, so a reap finds one at once
    // or none will come: the blocking reap does not wait either.
    if (client.reapable.empty()) return complete(ioctlClient, -1, EAGAIN);
    const auto slot = resolveArg(ioctlClient, sizeof(void*));
    if (!slot) return complete(ioctlClient, -1, EFAULT);
    umockdev_ioctl_data_set_ptr(slot.get(), 0, client.reapable.front().get());
    client.reapable.pop_front();
    complete(ioctlClient, 0);
}

void UsbfsHandler::discardUrb(UMockdevIoctlClient* ioctlClient) {
    // Completed URBs cannot be discarded; they stay to be reaped.
    complete(ioctlClient, -1, EINVAL);
}

void UsbfsHandler::control(Client& client, UMockdevIoctlClient* ioctlClient) {
    const auto request = resolveArg(ioctlClient, sizeof(usbdevfs_ctrltransfer));
    if (!request) return complete(ioctlClient, -1, EFAULT);
    const auto* control = reinterpret_cast<const usbdevfs_ctrltransfer*>(request->data);
    std::vector<uint8_t> setup;
    ByteWriter out(setup);
    out.u8(control->bRequestType);
    out.u8(control->bRequest);
    out.le16(control->wValue);
    out.le16(control->wIndex);
    out.le16(control->wLength);
    GObjectPtr<UMockdevIoctlData> data;
    if (control->wLength > 0) {
        data.reset(umockdev_ioctl_data_resolve(request.get(), offsetof(usbdevfs_ctrltransfer, data),
                                               control->wLength, nullptr));
        if (!data) return complete(ioctlClient, -1, EFAULT);
    }
    const int result = transfer(client, setup.data(), data ? data->data : nullptr);
    if (result >= 0) return complete(ioctlClient, result);
    complete(ioctlClient, -1, -urbStatus(result));
}

}  // namespace veltrion::realports
