#pragma once

// Answers the usbfs ioctls that a process sends to a bridged /dev/bus/usb
// node, the way the kernel would, by carrying each control transfer to the
// simulated camera behind the node. Runs on umockdev's worker thread.

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "GObjectPtr.h"
#include "device/usb/UsbPort.h"

namespace veltrion::realports {

// The device a node stands for, as one enumeration of it.
struct NodeBinding {
    std::string devicePath;   // its path on the port that reaches the camera
    uint64_t generation = 0;  // changes whenever the node is given to another enumeration
};

// What the handler asks of the bus it serves.
class NodeDirectory {
public:
    virtual ~NodeDirectory() = default;
    // The device behind a node now; nothing when the node is gone.
    virtual std::optional<NodeBinding> bind(const std::string& devNode) = 0;
    // Whether the enumeration a client opened is still the node's.
    virtual bool current(const std::string& devNode, uint64_t generation) = 0;
    // After every transfer: a camera may have left the bus because of it.
    virtual void transferred(const std::string& devNode, int result) = 0;
};

class UsbfsHandler {
public:
    // Transfers go to handles that port opens by NodeBinding::devicePath.
    UsbfsHandler(NodeDirectory& directory, UsbPort& port);
    ~UsbfsHandler();
    UsbfsHandler(const UsbfsHandler&) = delete;
    UsbfsHandler& operator=(const UsbfsHandler&) = delete;

    UMockdevIoctlBase* object() const { return object_.get(); }

    // Forgets clients that closed their node, which closes their camera
    // handles (and so saves the cameras). Returns the clients still open.
    size_t releaseClosedClients();

private:
    // One open file description of a node.
    struct Client {
        GObjectPtr<UMockdevIoctlClient> client;  // held to see when it closes
        std::string devNode;
        bool bound = false;
        std::optional<NodeBinding> binding;
        std::unique_ptr<UsbHandle> handle;  // null when the device was gone at open
        std::deque<GObjectPtr<UMockdevIoctlData>> reapable;  // completed URBs, oldest first
    };

    static gboolean onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    void handle(UMockdevIoctlClient* ioctlClient);
    Client& clientFor(UMockdevIoctlClient* ioctlClient);

    void capabilities(UMockdevIoctlClient* ioctlClient);
    void submitUrb(Client& client, UMockdevIoctlClient* ioctlClient);
    void reapUrb(Client& client, UMockdevIoctlClient* ioctlClient);
    void discardUrb(UMockdevIoctlClient* ioctlClient);
    void control(Client& client, UMockdevIoctlClient* ioctlClient);
    // One control transfer on the client's device: bytes or a negative UsbError.
    int transfer(Client& client, const uint8_t* setup, uint8_t* data);

    NodeDirectory& directory_;
    UsbPort& port_;
    std::mutex mutex_;
    std::map<UMockdevIoctlClient*, Client> clients_;
    GObjectPtr<UMockdevIoctlBase> object_;
};

}  // namespace veltrion::realports
