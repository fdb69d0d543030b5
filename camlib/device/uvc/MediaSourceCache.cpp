#include "MediaSourceCache.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <new>
#include <system_error>

#include "base/LibraryThread.h"

namespace veltrion {

namespace {

constexpr std::chrono::milliseconds kShutdownLimit{1000};

// What a caller and its shutdown worker share: the worker reports its end
// here; a late worker finds the caller gone and just ends.
struct ShutdownState {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
};

}  // namespace

std::string lowerCaseText(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

MediaSourceCache& MediaSourceCache::instance() {
    static MediaSourceCache cache;
    return cache;
}

std::shared_ptr<VideoSource> MediaSourceCache::acquire(VideoPort& port, const std::string& key,
                                                       const std::string& symbolicLink) {
    std::lock_guard lock(mutex_);
    if (auto cached = sourceByKey_.find(key); cached != sourceByKey_.end()) {
        if (!cached->second->isGone()) return cached->second;
        // The camera left and came back (or another took its node): the old
        // descriptor is useless.
        sourceByKey_.erase(cached);
        std::erase_if(keyByLink_, [&](const auto& entry) { return entry.second == key; });
    }
    std::printf("creating new MF source for dev %s\n", key.c_str());
    std::shared_ptr<VideoSource> source;
    const int result = port.openSource(symbolicLink, source);
    if (result < 0 || !source) {
        std::printf("ActivateObject() failed. hr = %d\n", result < 0 ? result : -ENODEV);
        return nullptr;
    }
    sourceByKey_[key] = source;
    keyByLink_[lowerCaseText(symbolicLink)] = key;
    return source;
}

bool MediaSourceCache::holds(const std::string& symbolicLink, const VideoSource* source) {
    std::lock_guard lock(mutex_);
    const auto key = keyByLink_.find(lowerCaseText(symbolicLink));
    if (key == keyByLink_.end()) return false;
    const auto cached = sourceByKey_.find(key->second);
    return cached != sourceByKey_.end() && cached->second.get() == source;
}

std::shared_ptr<VideoSource> MediaSourceCache::takeOut(const std::string& symbolicLink) {
    std::lock_guard lock(mutex_);
    const auto key = keyByLink_.find(lowerCaseText(symbolicLink));
    if (key == keyByLink_.end()) return nullptr;
    std::shared_ptr<VideoSource> source;
    if (auto cached = sourceByKey_.find(key->second); cached != sourceByKey_.end()) {
        source = std::move(cached->second);
        sourceByKey_.erase(cached);
    }
    keyByLink_.erase(key);
    return source;
}

void shutDownMediaSource(const std::string& symbolicLink) {
    std::shared_ptr<VideoSource> source = MediaSourceCache::instance().takeOut(symbolicLink);
    if (!source) return;
    std::shared_ptr<ShutdownState> state;
    try {
        state = std::make_shared<ShutdownState>();
        // The worker lets go of the cache's reference; the descriptor closes
        // when no handle or late property worker holds the source any more.
        std::thread worker = startLibraryThread([state, source = std::move(source)]() mutable {
            source.reset();
            std::lock_guard lock(state->lock);
            state->done = true;
            state->finished.notify_all();
        });
        std::unique_lock lock(state->lock);
        if (state->finished.wait_for(lock, kShutdownLimit, [&] { return state->done; })) {
            lock.unlock();
            worker.join();
        } else {
            lock.unlock();
            std::printf("shutDownMediaSource: shutdown timeout in %d ms !!!\n",
                        static_cast<int>(kShutdownLimit.count()));
            worker.detach();
        }
    } catch (const std::bad_alloc&) {
        std::printf("shutDownMediaSource: we have no memory or invalid ptr %p !!!\n", static_cast<void*>(state.get()));
    } catch (const std::system_error&) {
        std::printf("shutDownMediaSource: we have no memory or invalid ptr %p !!!\n", static_cast<void*>(state.get()));
    }
    // Without a worker the source is released here, when the last reference goes.
}

}  // namespace veltrion
