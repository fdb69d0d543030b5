#include "FlashActions.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "CameraSelection.h"
#include "NumberArgument.h"
#include "device/VendorRequests.h"
#include "format/FlashMap.h"

namespace veltrion::cli {

namespace {

constexpr const char* kHexPrefix = "0x";
constexpr size_t kHexPairLength = 2;
constexpr uint32_t kMaxByteValue = 0xFF;

constexpr uint32_t kLastFlashAddress = flashmap::kFlashSize - 1;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The camera a single-camera action works on, or nothing (logged) when the
// selector is invalid or names every camera.
bool selectOneCamera(Veltrion2CamMgr& mgr, const std::string& selector, const char* action, std::string& path) {
    CameraSelection selection;
    if (!parseCameraNumber(mgr, selector, selection)) return false;
    const auto& [paths, all, index] = selection;
    if (all) {
        mgr.logger().log(kLogError, "%s: not support all cam\n", action);
        return false;
    }
    path = paths[index];
    return true;
}

enum class HexParse { Bytes, NoBytes, Failed };

// "0x0102" (or "0x010x02") as bytes 01 02: pairs from the start, each "0x"
// pair skipped, every other pair two hex digits.
HexParse parseHexBytes(Logger& log, const std::string& text, std::vector<uint8_t>& bytes) {
    if (text.size() % kHexPairLength != 0) {
        log.log(kLogError,
                "programOrEraseFlash: invalid byte values, not multiple of two in length. For 0x1, uses 0x01\n");
        return HexParse::Failed;
    }
    const size_t count = text.size() / kHexPairLength;
    try {
        bytes.reserve(count);
    } catch (const std::bad_alloc&) {
        log.log(kLogError, "programOrEraseFlash: failed malloc %d bytes data\n", static_cast<int>(count));
        return HexParse::Failed;
    }
    for (size_t at = 0; at < text.size(); at += kHexPairLength) {
        const std::string pair = text.substr(at, kHexPairLength);
        if (pair == kHexPrefix) continue;
        uint32_t value = 0;
        if (parseNumber(pair, NumberBase::Hexadecimal, kMaxByteValue, value) != NumberParse::Ok) {
            log.log(kLogError, "programOrEraseFlash: invalid value byte %s\n", pair.c_str());
            return HexParse::Failed;
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes.empty() ? HexParse::NoBytes : HexParse::Bytes;
}

bool readWholeFile(Logger& log, const std::string& name, std::vector<uint8_t>& bytes) {
    FileHandle file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        log.log(kLogError, "programOrEraseFlash failed - not able to open file %s\n", name.c_str());
        return false;
    }
    long size = -1;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
    // Nothing larger than the flash can be written anywhere in it.
    if (size <= 0 || static_cast<unsigned long>(size) > flashmap::kFlashSize) {
        log.log(kLogError, "programOrEraseFlash failed - file size invalid: %ld\n", size);
        return false;
    }
    std::rewind(file.get());
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        log.log(kLogError, "programOrEraseFlash failed - no memory\n");
        return false;
    }
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        log.log(kLogError, "programOrEraseFlash failed - fread failed\n");
        return false;
    }
    return true;
}

}  // namespace

bool displayFlashContents(const std::string& selector, const std::string& addressText,
                          const std::string& lengthText, Veltrion2CamMgr& mgr) {
    Logger& log = mgr.logger();
    std::string path;
    if (!selectOneCamera(mgr, selector, "displayFlashContents", path)) return false;

    uint32_t address = 0;
    switch (parseNumber(addressText, NumberBase::Hexadecimal, kLastFlashAddress, address)) {
        case NumberParse::Ok:
            break;
        case NumberParse::NotANumber:
            log.log(kLogError, "displayFlashContents: unable to scan read addr from %s\n", addressText.c_str());
            return false;
        case NumberParse::OutOfRange:
            log.log(kLogError, "displayFlashContents: read addr %s is past the end of the flash (0x%x bytes)\n",
                    addressText.c_str(), flashmap::kFlashSize);
            return false;
    }
    uint32_t length = 0;
    switch (parseNumber(lengthText, NumberBase::Decimal, flashmap::kFlashSize, length)) {
        case NumberParse::Ok:
            break;
        case NumberParse::NotANumber:
            log.log(kLogError, "displayFlashContents: unable to scan length from %s\n", lengthText.c_str());
            return false;
        case NumberParse::OutOfRange:
            // Refused before any buffer is made: nothing longer than the flash can be read.
            log.log(kLogError, "displayFlashContents: length %s exceeds the flash size %u\n", lengthText.c_str(),
                    flashmap::kFlashSize);
            return false;
    }
    if (length > flashmap::kFlashSize - address) {
        log.log(kLogError, "displayFlashContents: %u bytes from 0x%x reach past the end of the flash (0x%x bytes)\n",
                length, address, flashmap::kFlashSize);
        return false;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(length);
    } catch (const std::bad_alloc&) {
        log.log(kLogError, "displayFlashContents: no memory\n");
        return false;
    }
    if (!mgr.readFlashContents(address, bytes.data(), length, path)) {
        log.log(kLogError, "displayFlashContents: read flash failed\n");
        return false;
    }
    log.log(kLogInfo, "0x");
    for (uint8_t byte : bytes) log.log(kLogInfo, "%02x", byte);
    log.log(kLogInfo, "\n");
    return true;
}

bool programOrEraseFlash(const std::string& selector, const std::string& addressText, const std::string& data,
                         bool erase, Veltrion2CamMgr& mgr) {
    Logger& log = mgr.logger();
    std::string path;
    if (!selectOneCamera(mgr, selector, "programOrEraseFlash", path)) return false;

    uint32_t address = 0;
    switch (parseNumber(addressText, NumberBase::Hexadecimal, kLastFlashAddress, address)) {
        case NumberParse::Ok:
            break;
        case NumberParse::NotANumber:
            log.log(kLogError, "programOrEraseFlash: unable to scan read addr from %s\n", addressText.c_str());
            return false;
        case NumberParse::OutOfRange:
            // A flash chip wraps such an address onto its start, the boot loader.
            log.log(kLogError, "programOrEraseFlash: addr %s is past the end of the flash (0x%x bytes)\n",
                    addressText.c_str(), flashmap::kFlashSize);
            return false;
    }
    if (erase) return mgr.eraseFlashContents(vreq::kFlashErase4K, address, path);

    std::vector<uint8_t> bytes;
    HexParse parsed = HexParse::NoBytes;
    if (data.rfind(kHexPrefix, 0) == 0) {
        parsed = parseHexBytes(log, data, bytes);
        if (parsed == HexParse::Failed) return false;
    }
    if (parsed == HexParse::NoBytes && !readWholeFile(log, data, bytes)) return false;
    return mgr.updateFlashContents(address, bytes.data(), static_cast<uint32_t>(bytes.size()), true, path);
}

}  // namespace veltrion::cli
