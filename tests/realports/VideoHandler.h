#pragma once

// Answers the ioctls a process sends to a bridged camera's video nodes the
// way uvcvideo would: QUERYCAP on both nodes; on the capture node the
// extension-unit query and the standard controls, carried to the simulated
// camera's video function. Requests arrive on umockdev's worker thread; the
// camera calls run on a queue per camera and complete from there.

#include <umockdev.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CallQueue.h"
#include "GObjectPtr.h"

namespace camsim {
class Camera;
}

namespace veltrion::realports {

// The camera a video node stands for, as one enumeration of it.
struct VideoBinding {
    std::shared_ptr<camsim::Camera> camera;
    std::string cameraName;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;  // as the capture node shows it
    uint64_t generation = 0;
    bool metadata = false;
    std::string card;
    std::string busInfo;
};

// What the handler asks of the bus it serves.
class VideoNodeDirectory {
public:
    virtual ~VideoNodeDirectory() = default;
    // The camera behind a video node now; nothing when the node is gone.
    virtual std::optional<VideoBinding> bindVideo(const std::string& devNode) = 0;
    // Whether the enumeration a client opened is still the node's.
    virtual bool currentVideo(const std::string& devNode, uint64_t generation) = 0;
    // After every camera call: a camera may have left the bus because of it.
    virtual void videoCalled(const std::string& devNode) = 0;
};

class VideoHandler {
public:
    explicit VideoHandler(VideoNodeDirectory& directory);
    ~VideoHandler();
    VideoHandler(const VideoHandler&) = delete;
    VideoHandler& operator=(const VideoHandler&) = delete;

    UMockdevIoctlBase* object() const { return object_.get(); }

    // Forgets clients that closed their node, closing their video sources.
    // Returns the clients still open.
    size_t releaseClosedClients();
    // Runs the queued calls and refuses new ones; before the testbed goes.
    void stop();

private:
    struct Client {
        GObjectPtr<UMockdevIoctlClient> client;  // held to see when it closes
        std::string devNode;
        bool bound = false;
        std::optional<VideoBinding> binding;
        bool sourceOpen = false;
        uint64_t enumeration = 0;  // the camera's own, for its video function
    };

    static gboolean onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    void handle(UMockdevIoctlClient* ioctlClient);
    Client& clientFor(UMockdevIoctlClient* ioctlClient);
    void capabilities(const Client& client, UMockdevIoctlClient* ioctlClient);
    void extensionUnitQuery(const Client& client, UMockdevIoctlClient* ioctlClient);
    void queryControl(const Client& client, UMockdevIoctlClient* ioctlClient);
    void control(const Client& client, UMockdevIoctlClient* ioctlClient, bool set);
    CallQueue& queueFor(const std::string& cameraName);
    // Runs a camera call on the camera's queue and completes the client with
    // its result (0 or -errno) from there.
    void post(const Client& client, UMockdevIoctlClient* ioctlClient, std::function<int()> call);

    VideoNodeDirectory& directory_;
    std::mutex mutex_;
    bool stopped_ = false;
    std::map<UMockdevIoctlClient*, Client> clients_;
    std::map<std::string, std::unique_ptr<CallQueue>> queues_;  // by camera name
    uint8_t unitId_ = 0;
    std::vector<uint8_t> unitControls_;  // the extension unit's bmControls
    GObjectPtr<UMockdevIoctlBase> object_;
};

}  // namespace veltrion::realports
