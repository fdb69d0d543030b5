// The ROI and raw-face monitor threads against a simulated camera whose
// records are scripted through its settings: what reaches the callbacks, how
// the threads end on errors, and starting, stopping and destroying.

#include <chrono>
#include <condition_variable>
#include <thread>

#include "ControlsFixture.h"

namespace controls_test {
namespace {

using namespace std::chrono_literals;
using veltrion::FaceRecord;

constexpr auto kWait = 5s;

// The callbacks' calls as text, in order, shared with the monitor's thread.
class Recorder {
public:
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // True once at least `count` calls came.
    bool waitFor(size_t count, std::chrono::milliseconds timeout = kWait) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
    }

protected:
    void add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        changed_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

class RoiRecorder : public Recorder, public veltrion::OnSFROIDataCallback {
public:
    void onROIData(uint32_t roi) override {
        add("roi " + std::to_string(roi & 0xFFFF) + "-" + std::to_string(roi >> 16));
    }
    void onNoROIData() override { add("none"); }
    void onROIError(const std::string& error) override { add("error " + error); }
};

class FaceRecorder : public Recorder, public veltrion::OnSFRawFaceDataCallback {
public:
    void onRawFaceData(const std::vector<FaceRecord>& isp0, const std::vector<FaceRecord>& isp1,
                       const std::vector<FaceRecord>& isp2) override {
        std::string text = "faces";
        for (const auto* faces : {&isp0, &isp1, &isp2}) {
            text += " [";
            for (const FaceRecord& f : *faces)
                text += std::to_string(f.slot) + ":" + std::to_string(f.left) + "," + std::to_string(f.top) + "," +
                        std::to_string(f.right) + "," + std::to_string(f.bottom) + ";";
            text += "]";
        }
        add(text);
    }
    void onStreamingStatus(bool streaming) override { add(streaming ? "streaming" : "idle"); }
    void onNoRawFaceData() override { add("none"); }
    void onRawFaceError(const std::string& error) override { add("error " + error); }
};

class Monitors : public ControlsOnSimBus {
protected:
    void addV2s() { bus.add("cam0", 0xc002, "", false); }
};

TEST_F(Monitors, RoiMonitorReportsEachCycleOnItsOwnThreadUntilStopped) {
    addV2s();
    bus.set("cam0", "roi", "none,500-1400");
    const std::string path = start();
    RoiRecorder roi, second;
    ASSERT_TRUE(mgr->startVeltrionSFROIMonitorThread(&roi, path)) << log.text();
    // A second start for the path answers true and starts nothing.
    ASSERT_TRUE(mgr->startVeltrionSFROIMonitorThread(&second, path));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::startVeltrionSFROIMonitorThread failed - device " + path +
                         " has already started roi monitoring\n"));
    // The manager's own device stays free for other work meanwhile.
    EXPECT_TRUE(mgr->setFaceBoxInVideo(path, true));
    ASSERT_TRUE(roi.waitFor(2));
    ASSERT_TRUE(mgr->stopV2sSFROIMonitorThread(path));

    const auto events = roi.events();
    EXPECT_EQ(events[0], "none");
    EXPECT_EQ(events[1], "roi 500-1400");
    EXPECT_TRUE(second.events().empty());
    // One mode query, then one read per cycle: a single thread ran.
    EXPECT_EQ(stat("transfers-0xfd"), 1 + events.size());

    EXPECT_FALSE(mgr->stopV2sSFROIMonitorThread(path));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::stopV2sSFROIMonitorThread failed - device " + path +
                         " has not started roi monitoring yet\n"));
    EXPECT_FALSE(mgr->stopVeltrionSFRawFaceMonitorThread(path));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::stopVeltrionSFRawFaceMonitorThread failed - device " + path +
                         " has not started roi monitoring yet\n"));
}

TEST_F(Monitors, RoiMonitorEndsOnAnErrorAndStaysRegisteredUntilStopped) {
    addV2s();
    const std::string path = start();
    const std::vector<std::pair<std::string, std::string>> cases{
        {"500-400", "error ROI start X > end X"},
        {"stall", "error control transfer pull ROI data failed"},
    };
    for (const auto& [script, error] : cases) {
        bus.set("cam0", "roi", script);
        RoiRecorder roi;
        ASSERT_TRUE(mgr->startVeltrionSFROIMonitorThread(&roi, path));
        ASSERT_TRUE(roi.waitFor(1)) << script;
        EXPECT_EQ(roi.events(), std::vector<std::string>{error});
        RoiRecorder again;
        EXPECT_TRUE(mgr->startVeltrionSFROIMonitorThread(&again, path));
        EXPECT_TRUE(mgr->stopV2sSFROIMonitorThread(path));
        EXPECT_TRUE(again.events().empty());
    }

    bus.set("cam0", "roi-support", "0");
    RoiRecorder refused;
    EXPECT_FALSE(mgr->startVeltrionSFROIMonitorThread(&refused, path));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::startVeltrionSFROIMonitorThread failed - ROI monitor not supported for "
                         "this camera\n"));
    EXPECT_FALSE(mgr->startVeltrionSFROIMonitorThread(nullptr, path));
    EXPECT_TRUE(log.says("Veltrion2CamMgr::startVeltrionSFROIMonitorThread failed - invalid callback\n"));
    EXPECT_FALSE(mgr->stopV2sSFROIMonitorThread(path));  // neither was registered
}

TEST_F(Monitors, RawFaceMonitorDeliversEachReadyIspsValidSlots) {
    bus.add("cam0");
    bus.set("cam0", "streaming", "1");
    bus.set("cam0", "isp0-faces", "100,50,300,250;100,50,90,200;-;10,10,1600,20;5,6,7,8");
    bus.set("cam0", "isp1-faces", "0,0,1599,1199");
    bus.set("cam0", "isp2-faces", "1,1,2,2");
    bus.set("cam0", "face-ready", "0,3,never");  // ISP 2 never has data
    const std::string path = start();
    mgr->setFaceReadyPause(1ms);
    FaceRecorder faces;
    ASSERT_TRUE(mgr->startVeltrionSFRawFaceMonitorThread(&faces, path));
    ASSERT_TRUE(faces.waitFor(2));
    ASSERT_TRUE(mgr->stopVeltrionSFRawFaceMonitorThread(path));
    const auto events = faces.events();
    EXPECT_EQ(events[0], "streaming");
    EXPECT_EQ(events[1], "faces [0:100,50,300,250;4:5,6,7,8;] [0:0,0,1599,1199;] []");
}

TEST_F(Monitors, RawFaceCycleWithoutReadyIspReportsNoDataAfterTenPollsEach) {
    bus.add("cam0");
    bus.set("cam0", "isp0-faces", "100,50,300,250");
    bus.set("cam0", "face-ready", "never");
    const std::string path = start();
    mgr->setFaceReadyPause(1ms);
    FaceRecorder faces;
    ASSERT_TRUE(mgr->startVeltrionSFRawFaceMonitorThread(&faces, path));
    ASSERT_TRUE(faces.waitFor(2));
    ASSERT_TRUE(mgr->stopVeltrionSFRawFaceMonitorThread(path));
    EXPECT_EQ(faces.events(), (std::vector<std::string>{"idle", "none"}));
    // Per ISP: its selection and ten ready polls.
    EXPECT_EQ(stat("transfers-0xfd"), 3u * (1 + 10));
}

TEST_F(Monitors, StopIsPromptWhileAnIspIsPolledForData) {
    bus.add("cam0");
    bus.set("cam0", "face-ready", "never");
    const std::string path = start();  // the ready polls keep their 190 ms pause
    FaceRecorder faces;
    ASSERT_TRUE(mgr->startVeltrionSFRawFaceMonitorThread(&faces, path));
    ASSERT_TRUE(faces.waitFor(1));
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(mgr->stopVeltrionSFRawFaceMonitorThread(path));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);  // not the cycle's 5.7 s
    EXPECT_EQ(faces.events(), std::vector<std::string>{"idle"});
}

TEST_F(Monitors, RawFaceMonitorEndsOnAnError) {
    bus.add("cam0");
    const std::string path = start();
    mgr->setFaceReadyPause(1ms);
    const auto run = [&](const std::string& key, const std::string& value) {
        bus.set("cam0", key, value);
        FaceRecorder faces;
        EXPECT_TRUE(mgr->startVeltrionSFRawFaceMonitorThread(&faces, path));
        EXPECT_TRUE(faces.waitFor(2)) << key;
        EXPECT_TRUE(mgr->stopVeltrionSFRawFaceMonitorThread(path));
        bus.set("cam0", key, key == "isp-select-reply" ? "1" : "0");
        return faces.events().back();
    };
    EXPECT_EQ(run("face-inconsistent", "0,0,1"), "error control transfer read ISP 2 inconsistent ready flag = 0\n");
    EXPECT_EQ(run("isp-select-reply", "0"), "error setup ISP 0 failed, ret = 0\n");

    bus.remove("cam0");
    FaceRecorder gone;
    ASSERT_TRUE(mgr->startVeltrionSFRawFaceMonitorThread(&gone, path));  // it opens the camera each cycle
    ASSERT_TRUE(gone.waitFor(1));
    EXPECT_EQ(gone.events(), std::vector<std::string>{"error cannot open device " + path});
    EXPECT_TRUE(mgr->stopVeltrionSFRawFaceMonitorThread(path));
}

TEST_F(Monitors, DestroyingTheManagerStopsItsMonitors) {
    addV2s();
    bus.set("cam0", "roi", "10-20");
    const std::string path = start();
    mgr->setFaceReadyPause(1ms);
    RoiRecorder roi;
    FaceRecorder faces;
    ASSERT_TRUE(mgr->startVeltrionSFROIMonitorThread(&roi, path));
    ASSERT_TRUE(mgr->startVeltrionSFRawFaceMonitorThread(&faces, path));
    ASSERT_TRUE(roi.waitFor(1));
    ASSERT_TRUE(faces.waitFor(2));
    mgr.reset();
    const size_t roiCalls = roi.events().size(), faceCalls = faces.events().size();
    std::this_thread::sleep_for(1200ms);  // longer than a cycle
    EXPECT_EQ(roi.events().size(), roiCalls);
    EXPECT_EQ(faces.events().size(), faceCalls);
}

// Both monitors on one camera at once over the extension unit: their
// request/reply exchanges never mix.
TEST_F(Monitors, BothMonitorsRunTogetherOnTheUvcChannel) {
    addV2s();
    bus.set("cam0", "roi", "700-900");
    bus.set("cam0", "isp1-faces", "1,2,3,4");
    const std::string path = start(false);
    mgr->setFaceReadyPause(1ms);
    RoiRecorder roi;
    FaceRecorder faces;
    ASSERT_TRUE(mgr->startVeltrionSFROIMonitorThread(&roi, path)) << log.text();
    ASSERT_TRUE(mgr->startVeltrionSFRawFaceMonitorThread(&faces, path));
    ASSERT_TRUE(roi.waitFor(2));
    ASSERT_TRUE(faces.waitFor(4));
    EXPECT_TRUE(mgr->stopV2sSFROIMonitorThread(path));
    EXPECT_TRUE(mgr->stopVeltrionSFRawFaceMonitorThread(path));
    for (const auto& event : roi.events()) EXPECT_EQ(event, "roi 700-900");
    const auto events = faces.events();
    for (size_t i = 0; i + 1 < events.size(); i += 2) {
        EXPECT_EQ(events[i], "idle");
        EXPECT_EQ(events[i + 1], "faces [] [0:1,2,3,4;] []");
    }
}

}  // namespace
}  // namespace controls_test
