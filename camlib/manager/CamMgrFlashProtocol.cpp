// Flash access on the camera the manager has open: SPI mode, status waits,
// sector erase, page programming with retries, read-back verification, block
// reads and the blue-LED heartbeat of long runs.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <new>
#include <vector>

#include "base/WaitClock.h"
#include "manager/Veltrion2CamMgr.h"
#include "device/CameraIdentity.h"

namespace veltrion {

namespace {

using flashmap::kPageSize;
using Clock = WaitClock;  // follows a replayed recording's time

long secondsSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count());
}

}  // namespace

void Veltrion2CamMgr::reportFlashProgress(int percent) {
    if (progressCallback_) progressCallback_->reportProgress(flashProgress_.stepName, percent);
}

bool Veltrion2CamMgr::reopenForRetry() {
    if (!device_->reopenVeltrion2Dev()) return false;
    WaitClock::sleepFor(retryPause_);
    return true;
}

bool Veltrion2CamMgr::sendPage(uint32_t address, const uint8_t* data, uint32_t length) {
    // The transport takes a mutable buffer for both directions; a page copy
    // keeps the caller's data untouched without a heap allocation per page.
    std::array<uint8_t, kPageSize> page;
    std::memcpy(page.data(), data, length);
    return device_->sendUsbControlTransfer(vreq::kTypeOut, vreq::kFlashProgram, flash::addrHigh(address),
                                           flash::addrLow(address), page.data(), static_cast<uint16_t>(length));
}

bool Veltrion2CamMgr::readPage(uint32_t address, uint8_t* destination, uint32_t length) {
    return device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashRead, flash::addrHigh(address),
                                           flash::addrLow(address), destination, static_cast<uint16_t>(length));
}

bool Veltrion2CamMgr::enterSPIMode() {
    UsbDeviceDescriptor descriptor;
    if (!device_->getDeviceDescriptor(descriptor)) {
        logger_->log(kLogError, "Veltrion2CamMgr::enterSPIMode failed - get device descriptor failed\n");
        return false;
    }
    const std::string group = getFwGroupFromVidPid(descriptor.idVendor, descriptor.idProduct);
    const uint16_t index =
        group.find(flash::kV3GroupTag) != std::string::npos ? flash::kSpiModeIndexV3 : flash::kSpiModeIndexOther;
    uint8_t ignored = 0;
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSpiModeEnter, 0, index, &ignored,
                                         flash::kTriggerSize)) {
        logger_->log(kLogError, "Veltrion2CamMgr::enterSPIMode failed - unable to switch to SPI mode idx 0x%x\n",
                     index);
        return false;
    }
    return true;
}

bool Veltrion2CamMgr::exitSPIMode() {
    uint8_t ignored = 0;
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kSpiModeLeave, 0, 0, &ignored, flash::kTriggerSize)) {
        logger_->log(kLogError, "Veltrion2CamMgr::exitSPIMode failed - unable to exit to SPI mode\n");
        return false;
    }
    return true;
}

void Veltrion2CamMgr::turnOnOffBlueLED(bool on) {
    uint8_t ignored = 0;
    if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kLed, on ? flash::kLedOn : flash::kLedOff, 0, &ignored,
                                         flash::kTriggerSize))
        logger_->log(kLogError,
                     "Veltrion2CamMgr::turnOnOffBlueLED failed - send control transfer failed is OK. Previous error "
                     "ignored. Turn ON/OFF LED not supported.\n");
}

bool Veltrion2CamMgr::waitForFlashWritingDone(int timeoutMs, uint8_t& useSyncStatus) {
    return pollFlashStatus(timeoutMs, useSyncStatus, nullptr, Clock::now());
}

bool Veltrion2CamMgr::waitForCommandDone(int timeoutMs, uint8_t& useSyncStatus, flash::BusyTimeEstimate& busyTime,
                                         Clock::time_point commandStart) {
    return pollFlashStatus(timeoutMs, useSyncStatus, &busyTime, commandStart);
}

bool Veltrion2CamMgr::pollFlashStatus(int timeoutMs, uint8_t& useSyncStatus, flash::BusyTimeEstimate* busyTime,
                                      Clock::time_point commandStart) {
    // Bounded by time, not by a number of polls: a camera answers a status
    // request in a few microseconds or in a millisecond depending on the bus.
    const auto start = Clock::now();
    const auto timeout = std::chrono::milliseconds(timeoutMs);
    using Micros = flash::BusyTimeEstimate::Duration;
    if (busyTime)
        WaitClock::sleepFor(busyTime->firstPollDelay(std::chrono::duration_cast<Micros>(start - commandStart)));
    Clock::time_point lastBusyReply = start;
    uint8_t request = useSyncStatus ? flash::kSyncStatusRequest : flash::kPlainStatusRequest;
    int retry = 0;
    for (;;) {
        std::array<uint8_t, flash::kStatusSize> status{};
        const auto sent = Clock::now();
        if (device_->sendUsbControlTransfer(vreq::kTypeIn, request, 0, 0, status.data(), flash::kStatusSize)) {
            const auto replied = Clock::now();
            if (!(status[0] & flash::kStatusBusyBit)) {
                if (busyTime)
                    busyTime->learn(std::chrono::duration_cast<Micros>(lastBusyReply - start),
                                    std::chrono::duration_cast<Micros>(replied - sent));
                return true;
            }
            lastBusyReply = replied;
            retry = 0;
            // Paced waits back off while the flash stays busy: a command that
            // runs long (or the first of its kind) is not polled every transfer.
            if (busyTime)
                WaitClock::sleepFor(std::min<Clock::duration>((replied - start) / flash::kBusyBackoffDivisor,
                                                                      start + timeout - replied));
        } else if (request == flash::kSyncStatusRequest) {
            logger_->log(kLogInfo,
                         "Veltrion2CamMgr::waitForFlashWritingDone - fw not support 0xC1 sync status read. Using "
                         "0xC4\n");
            request = flash::kPlainStatusRequest;
            useSyncStatus = 0;
        } else {
            if (retry >= flash::kMaxRetries) {
                logger_->log(kLogError,
                             "Veltrion2CamMgr::waitForFlashWritingDone failed at send control transfer command %02x. "
                             "timeout = %d\n",
                             request, timeoutMs);
                return false;
            }
            logger_->log(kLogError,
                         "Veltrion2CamMgr::waitForFlashWritingDone failed at control transfer command %02x. Retry %d "
                         "now. Max retry %d\n",
                         request, retry, flash::kMaxRetries);
            ++retry;
            if (!reopenForRetry()) {
                logger_->log(kLogError, "Veltrion2CamMgr::waitForFlashWritingDone unable to reopen device\n");
                return false;
            }
        }
        if (Clock::now() - start >= timeout) {
            logger_->log(kLogError, "Veltrion2CamMgr::waitForFlashWritingDone (%02x) - flash writing timeout %d msecs\n",
                         request, timeoutMs);
            return false;
        }
    }
}

bool Veltrion2CamMgr::eraseFlashSector(uint8_t eraseRequest, uint16_t addrHigh, uint16_t addrLow,
                                       uint8_t& useSyncStatus) {
    if (!flash::isEraseRequest(eraseRequest)) {
        logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashSector has to use 64K, 32K, or 4K erase\n");
        return false;
    }
    // A flash chip wraps addresses past its end, so an erase there would hit
    // the boot loader at the start of the flash.
    if (!flash::fitsInFlash(flash::joinAddress(addrHigh, addrLow), 1)) {
        logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashSector failed - 0x%04x%04x is past the end of the flash\n",
                     addrHigh, addrLow);
        return false;
    }
    for (int attempt = 0;; ++attempt) {
        uint8_t ignored = 0;
        const auto commandStart = Clock::now();
        if (device_->sendUsbControlTransfer(vreq::kTypeIn, eraseRequest, addrHigh, addrLow, &ignored,
                                            flash::kTriggerSize)) {
            if (waitForCommandDone(flash::kEraseTimeoutMs, useSyncStatus, eraseBusyTime(eraseRequest), commandStart))
                return true;
            logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashSector failed - erase sector 0x%04x%04x timeout\n",
                         addrHigh, addrLow);
            device_->closeVeltrion2Dev();
            return false;
        }
        if (attempt >= flash::kMaxRetries) {
            logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashSector failed - unable to erase sectors at 0x%04x%04x\n",
                         addrHigh, addrLow);
            device_->closeVeltrion2Dev();
            return false;
        }
        logger_->log(kLogError,
                     "Veltrion2CamMgr::eraseFlashSector failed on control transfer erase. Retry %d now. Max retry %d\n",
                     attempt, flash::kMaxRetries);
        if (!reopenForRetry()) {
            logger_->log(kLogError, "Veltrion2CamMgr::eraseFlashSector unable to reopen device\n");
            device_->closeVeltrion2Dev();
            return false;
        }
    }
}

bool Veltrion2CamMgr::eraseFlashSectors(uint16_t firstWindow, uint16_t addrLow, uint32_t count,
                                        uint8_t& useSyncStatus) {
    const int span = flashProgress_.eraseProgressSpan;
    flashProgress_.eraseProgressSpan = 0;
    const auto start = Clock::now();
    logger_->log(kLogInfo,
                 "Veltrion2CamMgr::eraseFlashSectors: starting to erasing %u sectors started at 0x%04x%04x\n", count,
                 firstWindow, addrLow);
    // Refuse the whole run before the first erase rather than stop half way.
    if (!flash::fitsInFlash(flash::joinAddress(firstWindow, addrLow), uint64_t{count} * flashmap::kSector64K)) {
        logger_->log(kLogError,
                     "Veltrion2CamMgr::eraseFlashSectors failed - %u sectors from 0x%04x%04x pass the end of the "
                     "flash\n",
                     count, firstWindow, addrLow);
        return false;
    }
    bool ledState = true;
    for (uint32_t i = 0; i < count; ++i) {
        const auto window = static_cast<uint16_t>(firstWindow + i);
        if (!eraseFlashSector(vreq::kFlashErase64K, window, addrLow, useSyncStatus)) {
            logger_->log(kLogInfo, "Veltrion2CamMgr::eraseFlashSectors - failed at erasing sector at 0x%04x%04x\n",
                         window, addrLow);
            return false;
        }
        if (i != 0 && i % flash::kLedEverySectors == 0) {
            turnOnOffBlueLED(ledState);
            ledState = !ledState;
            if (span > 0 && progressCallback_)
                reportFlashProgress(flashProgress_.progressBase +
                                    static_cast<int>(static_cast<double>(i + 1) / count * span));
        }
    }
    turnOnOffBlueLED(true);
    logger_->log(kLogInfo, "Veltrion2CamMgr::eraseFlashSectors: took %ld secs\n", secondsSince(start));
    return true;
}

bool Veltrion2CamMgr::programFlash(uint32_t address, const uint8_t* data, uint32_t size, bool verify,
                                   uint8_t& useSyncStatus) {
    const int writeShare = static_cast<int>(static_cast<float>(flashProgress_.programProgressSpan) * flash::kWriteShare);
    const auto start = Clock::now();
    logger_->log(kLogInfo, "Veltrion2CamMgr::programFlash: starting to write %d bytes\n", static_cast<int>(size));
    if (!flash::fitsInFlash(address, size)) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFlash failed - %u bytes at 0x%08x pass the end of the flash\n",
                     size, address);
        return false;
    }
    bool ledState = true;
    int retry = 0;
    uint32_t offset = 0;
    uint32_t current = address;

    while (size - offset >= kPageSize) {
        const auto commandStart = Clock::now();
        if (sendPage(current, data + offset, kPageSize)) {
            // A late page shows in verification.
            waitForCommandDone(flash::kPageTimeoutMs, useSyncStatus, pageBusyTime_, commandStart);
            current += kPageSize;
            offset += kPageSize;
            retry = 0;
            if (offset % flash::kLedEveryBytes == 0) {
                turnOnOffBlueLED(ledState);
                ledState = !ledState;
            }
            if (offset % flash::kProgramReportEveryBytes == 0) {
                logger_->log(kLogInfo, "Veltrion2CamMgr::programFlash: wrote %d: 32768 bytes\n",
                             static_cast<int>(offset / flash::kProgramReportEveryBytes));
                if (writeShare > 0 && progressCallback_)
                    reportFlashProgress(flashProgress_.progressBase +
                                        static_cast<int>(static_cast<double>(offset) / size * writeShare));
            }
            continue;
        }
        if (retry >= flash::kMaxRetries) {
            logger_->log(kLogError, "Veltrion2CamMgr::programFlash failed - control transfer failed at index %d\n",
                         static_cast<int>(offset));
            return false;
        }
        logger_->log(kLogError,
                     "Veltrion2CamMgr::programFlash failed on send control transfer. Retry now %d. max retry %d\n",
                     retry, flash::kMaxRetries);
        ++retry;
        if (!reopenForRetry()) {
            logger_->log(kLogError, "Veltrion2CamMgr::programFlash unable to reopen device\n");
            return false;
        }
    }

    if (const uint32_t remaining = size - offset; remaining > 0) {
        // The tail is retried in place, without reopening the camera.
        auto commandStart = Clock::now();
        while (!sendPage(current, data + offset, remaining)) {
            if (retry >= flash::kMaxRetries) {
                logger_->log(kLogError,
                             "Veltrion2CamMgr::programFlash failed - control transfer failed at index %d, remaining "
                             "bytes %d\n",
                             static_cast<int>(offset), static_cast<int>(remaining));
                return false;
            }
            logger_->log(kLogError,
                         "Veltrion2CamMgr::programFlash failed on send control transfer for remaining bytes %d. Retry "
                         "now %d. max retry %d\n",
                         static_cast<int>(remaining), retry, flash::kMaxRetries);
            ++retry;
            commandStart = Clock::now();
        }
        waitForCommandDone(flash::kPageTimeoutMs, useSyncStatus, pageBusyTime_, commandStart);
    }

    if (verify) {
        logger_->log(kLogInfo, "Veltrion2CamMgr::programFlash: verifying flash programing %u bytes\n", size);
        if (!verifyFlashContents(address, data, size)) {
            logger_->log(kLogError, "Veltrion2CamMgr::programFlash failed - failed to verify flash programming\n");
            return false;
        }
    }
    logger_->log(kLogInfo, "Veltrion2CamMgr::programFlash: took %ld secs\n", secondsSince(start));
    turnOnOffBlueLED(true);
    flashProgress_.programProgressSpan = 0;
    return true;
}

bool Veltrion2CamMgr::programFlashWithSignatureLast(uint32_t address, const uint8_t* data, uint32_t size, bool verify,
                                                    uint8_t& useSyncStatus) {
    if (size <= flash::kSignatureSize) return programFlash(address, data, size, verify, useSyncStatus);

    // Everything but the signature first: a write cut short leaves a region
    // whose signature is still erased, which the next update rewrites.
    std::vector<uint8_t> copy;
    try {
        copy.assign(data, data + size);
    } catch (const std::bad_alloc&) {
        logger_->log(kLogError, "Veltrion2CamMgr::programFlashWithSignatureLast: no memory\n");
        return false;
    }
    std::fill_n(copy.begin(), flash::kSignatureSize, flashmap::kErasedByte);
    if (!programFlash(address, copy.data(), size, verify, useSyncStatus)) return false;
    // Then the first page again: only its two signature bytes change.
    return programFlash(address, data, std::min(size, kPageSize), verify, useSyncStatus);
}

bool Veltrion2CamMgr::verifyFlashContents(uint32_t address, const uint8_t* expected, uint32_t size) {
    const float span = static_cast<float>(flashProgress_.programProgressSpan);
    const int programShare = static_cast<int>(span * flash::kWriteShare);
    const int verifyShare = static_cast<int>(span * flash::kVerifyShare);
    std::array<uint8_t, kPageSize> page;
    int retry = 0;
    uint32_t offset = 0;
    uint32_t current = address;

    while (size - offset >= kPageSize) {
        if (!readPage(current, page.data(), kPageSize)) {
            if (retry >= flash::kMaxRetries) {
                logger_->log(kLogError, "Veltrion2CamMgr::verifyFlashContents failed to read flash at addr %u\n",
                             current);
                return false;
            }
            logger_->log(kLogError,
                         "Veltrion2CamMgr::verifyFlashContents failed on read control transfer. Retry %d now. Max "
                         "Retry %d\n",
                         retry, flash::kMaxRetries);
            ++retry;
            if (!reopenForRetry()) {
                logger_->log(kLogError, "Veltrion2CamMgr::verifyFlashContents unable to reopen device\n");
                return false;
            }
            continue;
        }
        retry = 0;
        if (std::memcmp(page.data(), expected + offset, kPageSize) != 0) {
            logger_->log(kLogError, "Veltrion2CamMgr::verifyFlashContents failed - content not the same at addr %u\n",
                         current);
            return false;
        }
        current += kPageSize;
        offset += kPageSize;
        if (offset % flash::kVerifyReportEveryBytes == 0 && verifyShare > 0 && progressCallback_)
            reportFlashProgress(flashProgress_.progressBase +
                                static_cast<int>(static_cast<double>(offset) / size * verifyShare) + programShare);
    }

    if (const uint32_t remaining = size - offset; remaining > 0) {
        while (!readPage(current, page.data(), remaining)) {
            if (retry >= flash::kMaxRetries) {
                logger_->log(kLogError,
                             "Veltrion2CamMgr::verifyFlashContents failed to read flash at index %u, remaining bytes "
                             "%d\n",
                             offset, static_cast<int>(remaining));
                return false;
            }
            logger_->log(kLogError,
                         "Veltrion2CamMgr::verifyFlashContents failed on read control transfer remaining bytes %d. "
                         "Retry %d now. Max Retry %d\n",
                         static_cast<int>(remaining), retry, flash::kMaxRetries);
            ++retry;
        }
        if (std::memcmp(page.data(), expected + offset, remaining) != 0) {
            logger_->log(kLogError,
                         "Veltrion2CamMgr::verifyFlashContents failed - content not the same at addr %u, remaining "
                         "bytes %d\n",
                         current, static_cast<int>(remaining));
            return false;
        }
    }
    return true;
}

bool Veltrion2CamMgr::readBlockAtAddr(uint16_t addrHigh, uint16_t addrLow, uint8_t* destination, uint32_t length) {
    if (length % kPageSize != 0) {
        logger_->log(kLogError, "Veltrion2CamMgr::readBlockAtAddr len %u not multiple of 256\n", length);
        return false;
    }
    for (uint32_t offset = 0; offset < length; offset += kPageSize) {
        // One call stays inside its 64 KiB window: past it wIndex would wrap
        // and read the start of the window again. Report that as a failure,
        // since the caller's buffer is not filled.
        if (addrLow + offset > flash::kWindowMask) {
            logger_->log(kLogError, "Veltrion2CamMgr::readBlockAtAddr i = %u > 0xFFFF\n", offset);
            return false;
        }
        if (!device_->sendUsbControlTransfer(vreq::kTypeIn, vreq::kFlashRead, addrHigh,
                                             static_cast<uint16_t>(addrLow + offset), destination + offset,
                                             kPageSize)) {
            logger_->log(kLogError, "Veltrion2CamMgr::readBlockAtAddr failed at addr 0x%04x%04x\n", addrHigh, offset);
            return false;
        }
    }
    return true;
}

}  // namespace veltrion
