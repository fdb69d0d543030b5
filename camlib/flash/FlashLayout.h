#pragma once

// The host side of the flash protocol: status requests, retry and time-out
// bounds, heartbeat and progress intervals, component types, the checksum
// query reply and the feature-JSON record. Addresses and geometry of the
// flash itself are in format/FlashMap.h.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "device/VendorRequests.h"
#include "format/FlashMap.h"

namespace veltrion::flash {

// Status requests: the synchronous one first, the plain one once a camera has
// refused it.
constexpr uint8_t kSyncStatusRequest = 0xC1;
constexpr uint8_t kPlainStatusRequest = 0xC4;
static_assert(kSyncStatusRequest == vreq::kFlashStatusSync && kPlainStatusRequest == vreq::kFlashStatusPlain);
constexpr uint16_t kStatusSize = 2;
constexpr uint8_t kStatusBusyBit = 0x01;

// Requests that only trigger an action carry one ignored byte.
constexpr uint16_t kTriggerSize = 1;
// wIndex of "enter SPI mode" for cameras of the V3 firmware group, and for the rest.
constexpr uint16_t kSpiModeIndexV3 = 1;
constexpr uint16_t kSpiModeIndexOther = 0;
constexpr const char* kV3GroupTag = "V3";
constexpr uint16_t kLedOn = 1;
constexpr uint16_t kLedOff = 0;

// The three erase requests, one per sector size.
constexpr bool isEraseRequest(uint8_t request) {
    return request == vreq::kFlashErase64K || request == vreq::kFlashErase32K || request == vreq::kFlashErase4K;
}

// Time-outs of the status wait after one programmed page and after one erase.
constexpr int kPageTimeoutMs = 100;
constexpr int kEraseTimeoutMs = 2000;
// Retries after the first attempt, and the pause before each retry that
// reopens the device.
constexpr int kMaxRetries = 2;
constexpr std::chrono::milliseconds kRetryPause{1000};

// Addresses travel as two 16-bit halves: the 64 KiB window and the offset in it.
constexpr uint32_t kWindowShift = 16;
constexpr uint32_t kWindowMask = 0xFFFF;
constexpr uint32_t kWindowSize = 0x10000;
constexpr uint16_t addrHigh(uint32_t address) { return static_cast<uint16_t>(address >> kWindowShift); }
constexpr uint16_t addrLow(uint32_t address) { return static_cast<uint16_t>(address & kWindowMask); }
constexpr uint32_t joinAddress(uint16_t high, uint16_t low) { return (uint32_t{high} << kWindowShift) | low; }

// True when [address, address + length) lies inside the flash.
constexpr bool fitsInFlash(uint64_t address, uint64_t length) {
    return address <= flashmap::kFlashSize && length <= flashmap::kFlashSize - address;
}

// Heartbeat and progress intervals.
constexpr uint32_t kLedEverySectors = 4;
constexpr uint32_t kLedEveryBytes = 16 * 1024;
constexpr uint32_t kProgramReportEveryBytes = 32 * 1024;
constexpr uint32_t kVerifyReportEveryBytes = 256 * 1024;
// Share of a programming span given to writing; the rest goes to verifying.
constexpr float kWriteShare = 0.9f;
constexpr float kVerifyShare = 0.1f;

// The signature: the first two bytes of a component, written last.
constexpr uint32_t kSignatureSize = 2;

// Component types of the checksum query and of calcCompCheckSum.
enum ComponentType : int {
    kCompBootLoader = 0,
    kCompFx3 = 1,
    kCompBackupFx3 = 2,
    kCompFpga = 3,
    kCompIsp = 4,
    kCompAudio = 5,
};
constexpr int kCompTypeFirst = kCompBootLoader;
constexpr int kCompTypeLast = kCompAudio;
// FX3 boot images end with a 32-bit checksum; the others are summed with fletcher16.
constexpr uint32_t kImageChecksumSize = 4;

// Reply of the component checksum query.
constexpr uint16_t kChecksumReplySize = 9;
constexpr size_t kChecksumReplyMatch = 0;
constexpr size_t kChecksumReplyExpected = 1;
constexpr size_t kChecksumReplyCalculated = 5;

// Feature-JSON record: "FD", the text length (32-bit little-endian), the text;
// the whole record fits its one sector.
constexpr uint8_t kJsonTag0 = 'F';
constexpr uint8_t kJsonTag1 = 'D';
constexpr uint32_t kJsonHeaderSize = 6;
constexpr uint32_t kJsonSectorSize = flashmap::kSector64K;
constexpr uint32_t kJsonMaxTextLength = kJsonSectorSize - kJsonHeaderSize;

// A paced status wait that finds the flash still busy waits this fraction of
// the time spent so far before its next poll.
constexpr int kBusyBackoffDivisor = 8;

// Sector counts of the fixed regions.
constexpr uint32_t kFpgaSectors = flashmap::kFpgaRegionSize / flashmap::kSector64K;
constexpr uint32_t kFx3Sectors = flashmap::kFx3RegionSize / flashmap::kSector64K;
constexpr uint32_t kLutSectors = 2;
constexpr uint32_t kJsonSectors = 1;

// Progress points of the FPGA writer: erase, then write and verify.
constexpr int kFpgaEraseSpan = 8;
constexpr int kFpgaProgramSpan = 60;
constexpr int kFpgaAfterWriteStep = 72;
constexpr int kFx3ProgramSpan = 7;
constexpr int kAudioProgramSpan = 1;
constexpr int kIspProgramSpan = 3;
constexpr int kLutProgramSpan = 1;

// The lookup-table buffer of a manager: the table, then five 16-bit alignment values.
constexpr uint32_t kAlignmentDataSize = 10;
constexpr uint32_t kLutBufferSize = flashmap::kLutSize + kAlignmentDataSize;

}  // namespace veltrion::flash
