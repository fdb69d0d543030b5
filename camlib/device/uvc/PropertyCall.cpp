#include "PropertyCall.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

#include "base/ByteLayout.h"
#include "base/LibraryThread.h"

namespace veltrion {

namespace {

constexpr uint16_t kLengthReplySize = 2;

// What the caller and its worker share. The caller marks the call abandoned
// under the lock before it leaves; from then on the worker writes nothing
// back. Whichever side lets go last frees it.
struct CallState {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    bool abandoned = false;
    int result = kPropertyFailed;
    uint32_t bytesReturned = 0;
    uint8_t* callerBuffer = nullptr;  // for a get; valid only until abandoned
};

// The control's length as the camera reports it, asked once per unit.
int controlLength(EUHandle& handle, uint8_t selector, uint16_t& length) {
    {
        std::lock_guard lock(handle.lengthsMutex);
        if (auto known = handle.controlLengths.find(selector); known != handle.controlLengths.end()) {
            length = known->second;
            return 0;
        }
    }
    uint8_t reply[kLengthReplySize] = {};
    const int result = handle.source->queryExtensionUnit(handle.unitId, selector, XuQuery::GetLen, reply,
                                                         kLengthReplySize);
    if (result < 0) return result;
    length = *ByteReader(reply).le16(0);
    std::lock_guard lock(handle.lengthsMutex);
    handle.controlLengths[selector] = length;
    return 0;
}

void runCall(std::shared_ptr<CallState> state, std::shared_ptr<EUHandle> handle, uint8_t selector,
             PropertyDirection direction, std::vector<uint8_t> bytes) {
    const auto size = static_cast<uint32_t>(bytes.size());
    uint16_t length = 0;
    int result = controlLength(*handle, selector, length);
    uint32_t returned = 0;
    if (result == 0 && length != size) {
        returned = length;  // the control moves another number of bytes
        result = kPropertyFailed;
    } else if (result == 0) {
        const XuQuery query = direction == PropertyDirection::Get ? XuQuery::GetCur : XuQuery::SetCur;
        result = handle->source->queryExtensionUnit(handle->unitId, selector, query, bytes.data(),
                                                    static_cast<uint16_t>(size));
        if (result == 0) returned = size;
    }
    std::lock_guard lock(state->lock);
    if (state->abandoned) return;
    state->result = result;
    state->bytesReturned = returned;
    if (direction == PropertyDirection::Get && result == 0 && returned == size)
        std::memcpy(state->callerBuffer, bytes.data(), size);
    state->done = true;
    state->changed.notify_all();
}

}  // namespace

int callExtensionUnitProperty(const std::shared_ptr<EUHandle>& handle, uint8_t selector, PropertyDirection direction,
                              uint8_t* buffer, uint32_t size, std::chrono::milliseconds limit) {
    if (!handle) {
        std::printf("invalid handle\n");
        return kPropertyInvalidHandle;
    }
    if (!handle->source || (size > 0 && !buffer) || size > UINT16_MAX) {
        std::printf("invalid control ptr\n");
        return kPropertyInvalidPointer;
    }
    std::shared_ptr<CallState> state;
    std::thread worker;
    try {
        state = std::make_shared<CallState>();
        state->callerBuffer = buffer;
        // The worker owns a copy, so it never reads the caller's buffer.
        std::vector<uint8_t> bytes(size);
        if (direction == PropertyDirection::Set && size > 0) std::memcpy(bytes.data(), buffer, size);
        worker = startLibraryThread(runCall, state, handle, selector, direction, std::move(bytes));
    } catch (const std::bad_alloc&) {
        std::printf("KsPropertyThreadProc: exit as no memory\n");
        return kPropertyOutOfMemory;
    } catch (const std::system_error&) {
        std::printf("KsPropertyThreadProc: exit as no memory\n");
        return kPropertyOutOfMemory;
    }

    // One deadline for the whole call: a worker that never gets to run is
    // abandoned as surely as one stuck in the driver.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(state->lock);
    const bool inTime = state->changed.wait_until(lock, deadline, [&] { return state->done; });
    state->abandoned = true;
    const int result = inTime ? state->result : kPropertyAborted;
    const uint32_t returned = state->bytesReturned;
    lock.unlock();

    if (inTime) {
        worker.join();
    } else {
        std::printf("Warning: KsProperty Timeout at %d ms, detaching the thread...\n", static_cast<int>(limit.count()));
        worker.detach();
        return result;
    }
    if (result < 0 && returned != 0 && returned != size) {
        std::printf("byte returned %lu != value size %lu\n", static_cast<unsigned long>(returned),
                    static_cast<unsigned long>(size));
        return kPropertyFailed;
    }
    return result;
}

}  // namespace veltrion
