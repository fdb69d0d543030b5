#pragma once

// One extension-unit property call on a thread of its own, abandoned after a
// time limit so that a stalled driver call cannot hold the caller longer.

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>

#include "EUHandle.h"

namespace veltrion {

// Results of a property call: 0, a negative errno from the port, or one of
// these.
constexpr int kPropertyInvalidHandle = -EBADF;
constexpr int kPropertyInvalidPointer = -EFAULT;
constexpr int kPropertyFailed = -EIO;
constexpr int kPropertyAborted = -ECANCELED;
constexpr int kPropertyOutOfMemory = -ENOMEM;

constexpr std::chrono::milliseconds kPropertyCallLimit{5000};

enum class PropertyDirection { Get, Set };

// Runs the call on a worker and waits for it at most limit. A set takes its
// bytes from buffer before the worker starts; a get writes into buffer only
// when the call ends in time with exactly size bytes. A late worker keeps the
// handle alive and never touches buffer.
int callExtensionUnitProperty(const std::shared_ptr<EUHandle>& handle, uint8_t selector, PropertyDirection direction,
                              uint8_t* buffer, uint32_t size, std::chrono::milliseconds limit = kPropertyCallLimit);

}  // namespace veltrion
