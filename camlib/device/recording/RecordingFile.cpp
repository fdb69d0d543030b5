#include "RecordingFile.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

namespace veltrion::recording {

namespace {

constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr size_t kGuidSize = 16;
// A recording of a forced update holds a few tens of MiB at most; anything
// larger is not one of ours.
constexpr size_t kMaxContentSize = size_t{1} << 30;
constexpr size_t kInflateChunk = 64 * 1024;
constexpr int kGzipWindowBits = 15 + 16;  // zlib: gzip wrapper
constexpr size_t kWriteBufferSize = 64 * 1024;

// ---- writing ----

void putVarint(std::string& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

void putSigned(std::string& out, int64_t value) {
    putVarint(out, (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63));
}

void putByte(std::string& out, uint8_t value) { out.push_back(static_cast<char>(value)); }

void putBytes(std::string& out, const std::vector<uint8_t>& bytes) {
    putVarint(out, bytes.size());
    out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void putString(std::string& out, const std::string& text) {
    putVarint(out, text.size());
    out.append(text);
}

// A count, then each entry as putEntry writes it.
template <typename Entry, typename PutEntry>
void putEntries(std::string& out, const std::vector<Entry>& entries, PutEntry putEntry) {
    putVarint(out, entries.size());
    for (const auto& entry : entries) putEntry(entry);
}

// ---- reading: every read is checked against what is left ----

int64_t zigzagDecoded(uint64_t raw) { return static_cast<int64_t>(raw >> 1) ^ -static_cast<int64_t>(raw & 1); }

class Cursor {
public:
    Cursor(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    bool atEnd() const { return offset_ == size_; }
    size_t offset() const { return offset_; }
    size_t left() const { return size_ - offset_; }

    bool varint(uint64_t& value) {
        value = 0;
        for (unsigned shift = 0; shift < 64; shift += 7) {
            if (atEnd()) return false;
            const uint8_t byte = bytes_[offset_++];
            value |= static_cast<uint64_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) return true;
        }
        return false;
    }
    template <typename T>
    bool unsignedValue(T& value) {
        uint64_t raw = 0;
        if (!varint(raw) || raw > std::numeric_limits<T>::max()) return false;
        value = static_cast<T>(raw);
        return true;
    }
    bool signedValue(int32_t& value) {
        uint64_t raw = 0;
        if (!varint(raw)) return false;
        const int64_t decoded = zigzagDecoded(raw);
        if (decoded < std::numeric_limits<int32_t>::min() || decoded > std::numeric_limits<int32_t>::max())
            return false;
        value = static_cast<int32_t>(decoded);
        return true;
    }
    bool byte(uint8_t& value) {
        if (atEnd()) return false;
        value = bytes_[offset_++];
        return true;
    }
    bool flag(bool& value) {
        uint8_t raw = 0;
        if (!byte(raw) || raw > 1) return false;
        value = raw != 0;
        return true;
    }
    bool skip(size_t size) {
        if (size > left()) return false;
        offset_ += size;
        return true;
    }
    // Bytes of an exchange whose length field says there are at most most.
    bool bytes(std::vector<uint8_t>& out, size_t most = std::numeric_limits<size_t>::max()) {
        const uint8_t* start = nullptr;
        size_t size = 0;
        if (!lengthPrefixed(start, size) || size > most) return false;
        out.assign(start, start + size);
        return true;
    }
    bool text(std::string& out) {
        const uint8_t* start = nullptr;
        size_t size = 0;
        if (!lengthPrefixed(start, size)) return false;
        out.assign(reinterpret_cast<const char*>(start), size);
        return true;
    }
    // A count, then each entry as getEntry reads it. Each entry takes at least
    // minEntrySize bytes, so a count the rest cannot hold is refused before
    // anything is allocated for it.
    template <typename Entry, typename GetEntry>
    bool entries(std::vector<Entry>& out, size_t minEntrySize, GetEntry getEntry) {
        uint64_t count = 0;
        if (!varint(count) || count > left() / minEntrySize) return false;
        out.resize(static_cast<size_t>(count));
        for (auto& entry : out)
            if (!getEntry(entry)) return false;
        return true;
    }

private:
    // A varint length and that many bytes, all of them there.
    bool lengthPrefixed(const uint8_t*& start, size_t& size) {
        uint64_t length = 0;
        if (!varint(length) || length > left()) return false;
        start = bytes_ + offset_;
        size = static_cast<size_t>(length);
        offset_ += size;
        return true;
    }

    const uint8_t* bytes_;
    size_t size_;
    size_t offset_ = 0;
};

// Nanoseconds in a recorded microsecond.
constexpr uint64_t kNanosPerMicro = 1000;

// A clock reading is stored as how far it lies before the time of its own
// record (which the reader has from the time differences): a few hundred
// nanoseconds that compress well, where the reading itself would not.
int64_t readingBehind(uint64_t recordMicros, uint64_t clockNanos) {
    return static_cast<int64_t>(recordMicros * kNanosPerMicro - clockNanos);  // modular, then as signed
}

// The reading back from its distance; false when no reading lies there.
bool readingFromBehind(uint64_t recordMicros, int64_t behind, uint64_t& clockNanos) {
    if (recordMicros > std::numeric_limits<uint64_t>::max() / kNanosPerMicro) return false;
    const uint64_t recordNanos = recordMicros * kNanosPerMicro;
    const uint64_t distance = behind < 0 ? 0 - static_cast<uint64_t>(behind) : static_cast<uint64_t>(behind);
    if (behind >= 0 ? distance > recordNanos : distance > std::numeric_limits<uint64_t>::max() - recordNanos)
        return false;
    clockNanos = behind >= 0 ? recordNanos - distance : recordNanos + distance;
    return true;
}

// timeMicros: the record's time as the reader will see it.
void encodeBody(const ExchangeRecord& r, uint64_t timeMicros, std::string& out) {
    switch (r.kind) {
        case RecordKind::UsbList:
            putSigned(out, r.result);
            putEntries(out, r.usbDevices, [&](const UsbDeviceEntry& device) {
                putString(out, device.path);
                putVarint(out, device.vendorId);
                putVarint(out, device.productId);
            });
            break;
        case RecordKind::UsbOpen:
        case RecordKind::VideoOpen:
            putString(out, r.path);
            putSigned(out, r.result);
            putVarint(out, r.id);
            break;
        case RecordKind::UsbClose:
        case RecordKind::VideoClose:
            putVarint(out, r.id);
            break;
        case RecordKind::UsbControl:
            putVarint(out, r.id);
            putByte(out, r.requestType);
            putByte(out, r.request);
            putVarint(out, r.value);
            putVarint(out, r.index);
            putVarint(out, r.length);
            putVarint(out, r.timeoutMs);
            putSigned(out, r.result);
            putBytes(out, r.data);
            break;
        case RecordKind::VideoList:
            putSigned(out, r.result);
            putEntries(out, r.videoSources, [&](const VideoSourceEntry& source) {
                putString(out, source.symbolicLink);
                putString(out, source.friendlyName);
                putString(out, source.serial);
                putByte(out, source.serialKnown ? 1 : 0);
            });
            break;
        case RecordKind::VideoGone:
            putVarint(out, r.id);
            putByte(out, r.flag ? 1 : 0);
            break;
        case RecordKind::VideoFindUnit:
            putVarint(out, r.id);
            putBytes(out, r.data);
            putSigned(out, r.result);
            putByte(out, r.unitId);
            break;
        case RecordKind::VideoXuQuery:
            putVarint(out, r.id);
            putByte(out, r.unitId);
            putByte(out, r.selector);
            putByte(out, r.query);
            putVarint(out, r.length);
            putSigned(out, r.result);
            putBytes(out, r.data);
            break;
        case RecordKind::VideoQueryControl:
            putVarint(out, r.id);
            putSigned(out, r.controlId);
            putSigned(out, r.result);
            putSigned(out, r.range.minimum);
            putSigned(out, r.range.maximum);
            putSigned(out, r.range.step);
            putSigned(out, r.range.defaultValue);
            break;
        case RecordKind::VideoGetControl:
        case RecordKind::VideoSetControl:
            putVarint(out, r.id);
            putSigned(out, r.controlId);
            putSigned(out, r.controlValue);
            putSigned(out, r.result);
            break;
        case RecordKind::HotplugOpen:
            putVarint(out, r.id);
            putByte(out, r.result == 0 ? 0 : 1);
            putString(out, r.text);
            putByte(out, r.flag ? 1 : 0);
            break;
        case RecordKind::HotplugEvents:
            putVarint(out, r.id);
            putEntries(out, r.events, [&](const HotplugEvent& event) {
                putByte(out, event.kind == HotplugEvent::Kind::Arrival ? 0 : 1);
                putString(out, event.devicePath);
                putString(out, event.friendlyName);
            });
            break;
        case RecordKind::ClockReading:
            putVarint(out, r.previous);
            putSigned(out, readingBehind(timeMicros, r.clockNanos));
            break;
        case RecordKind::End:
            break;
    }
}

bool decodeBody(Cursor& in, ExchangeRecord& r) {
    switch (r.kind) {
        case RecordKind::UsbList:
            return in.signedValue(r.result) && in.entries(r.usbDevices, 3, [&](UsbDeviceEntry& device) {
                return in.text(device.path) && in.unsignedValue(device.vendorId) && in.unsignedValue(device.productId);
            });
        case RecordKind::UsbOpen:
        case RecordKind::VideoOpen:
            return in.text(r.path) && in.signedValue(r.result) && in.unsignedValue(r.id);
        case RecordKind::UsbClose:
        case RecordKind::VideoClose:
            return in.unsignedValue(r.id);
        case RecordKind::UsbControl:
            return in.unsignedValue(r.id) && in.byte(r.requestType) && in.byte(r.request) &&
                   in.unsignedValue(r.value) && in.unsignedValue(r.index) && in.unsignedValue(r.length) &&
                   in.unsignedValue(r.timeoutMs) && in.signedValue(r.result) && in.bytes(r.data, r.length);
        case RecordKind::VideoList:
            return in.signedValue(r.result) && in.entries(r.videoSources, 4, [&](VideoSourceEntry& source) {
                return in.text(source.symbolicLink) && in.text(source.friendlyName) && in.text(source.serial) &&
                       in.flag(source.serialKnown);
            });
        case RecordKind::VideoGone:
            return in.unsignedValue(r.id) && in.flag(r.flag);
        case RecordKind::VideoFindUnit:
            return in.unsignedValue(r.id) && in.bytes(r.data) && r.data.size() == kGuidSize &&
                   in.signedValue(r.result) && in.byte(r.unitId);
        case RecordKind::VideoXuQuery:
            return in.unsignedValue(r.id) && in.byte(r.unitId) && in.byte(r.selector) && in.byte(r.query) &&
                   in.unsignedValue(r.length) && in.signedValue(r.result) && in.bytes(r.data, r.length);
        case RecordKind::VideoQueryControl:
            return in.unsignedValue(r.id) && in.signedValue(r.controlId) && in.signedValue(r.result) &&
                   in.signedValue(r.range.minimum) && in.signedValue(r.range.maximum) &&
                   in.signedValue(r.range.step) && in.signedValue(r.range.defaultValue);
        case RecordKind::VideoGetControl:
        case RecordKind::VideoSetControl:
            return in.unsignedValue(r.id) && in.signedValue(r.controlId) && in.signedValue(r.controlValue) &&
                   in.signedValue(r.result);
        case RecordKind::HotplugOpen: {
            bool failed = false;
            if (!in.unsignedValue(r.id) || !in.flag(failed) || !in.text(r.text) || !in.flag(r.flag)) return false;
            r.result = failed ? -1 : 0;
            return true;
        }
        case RecordKind::HotplugEvents:
            return in.unsignedValue(r.id) && in.entries(r.events, 3, [&](HotplugEvent& event) {
                bool removal = false;
                if (!in.flag(removal) || !in.text(event.devicePath) || !in.text(event.friendlyName)) return false;
                event.kind = removal ? HotplugEvent::Kind::Removal : HotplugEvent::Kind::Arrival;
                return true;
            });
        case RecordKind::ClockReading:
            // The raw field; decodeRecording turns it into the reading.
            return in.unsignedValue(r.previous) && in.varint(r.clockNanos);
        case RecordKind::End:
            return true;
    }
    return false;
}

bool knownKind(uint8_t code) {
    switch (static_cast<RecordKind>(code)) {
        case RecordKind::UsbList:
        case RecordKind::UsbOpen:
        case RecordKind::UsbClose:
        case RecordKind::UsbControl:
        case RecordKind::VideoList:
        case RecordKind::VideoOpen:
        case RecordKind::VideoClose:
        case RecordKind::VideoGone:
        case RecordKind::VideoFindUnit:
        case RecordKind::VideoXuQuery:
        case RecordKind::VideoQueryControl:
        case RecordKind::VideoGetControl:
        case RecordKind::VideoSetControl:
        case RecordKind::HotplugOpen:
        case RecordKind::HotplugEvents:
        case RecordKind::ClockReading:
        case RecordKind::End:
            return true;
    }
    return false;
}

}  // namespace

void encodeHeader(const RecordingHeader& header, std::string& out) {
    out.append(kMagic, kMagicSize);
    putVarint(out, kFormatVersion);  // what is written is always the current encoding
    putString(out, header.program);
    putVarint(out, header.startedUnix);
}

void encodeRecord(const ExchangeRecord& record, uint64_t previousMicros, std::string& out) {
    putByte(out, static_cast<uint8_t>(record.kind));
    // Records of several threads may end out of order; time never goes back.
    const uint64_t timeMicros = std::max(record.timeMicros, previousMicros);
    putVarint(out, timeMicros - previousMicros);
    encodeBody(record, timeMicros, out);
}

bool decodeRecording(const uint8_t* bytes, size_t size, Recording& out, std::string& error) {
    out = Recording{};
    Cursor in(bytes, size);
    if (size < kMagicSize || std::memcmp(bytes, kMagic, kMagicSize) != 0) {
        error = "not a recording (no VELTREC mark)";
        return false;
    }
    in.skip(kMagicSize);
    const bool versionRead = in.unsignedValue(out.header.version);
    if (versionRead && (out.header.version < kOldestFormatVersion || out.header.version > kFormatVersion)) {
        error = "format version " + std::to_string(out.header.version) + " is not supported (this program reads " +
                std::to_string(kOldestFormatVersion) + " to " + std::to_string(kFormatVersion) + ")";
        return false;
    }
    if (!versionRead || !in.text(out.header.program) || !in.varint(out.header.startedUnix)) {
        error = "damaged header";
        return false;
    }
    uint64_t time = 0;
    for (;;) {
        if (in.atEnd()) {
            error = "truncated after exchange " + std::to_string(out.records.size()) + " (no end mark)";
            return false;
        }
        const size_t start = in.offset();
        ExchangeRecord record;
        uint8_t code = 0;
        uint64_t delta = 0;
        in.byte(code);
        if (!knownKind(code)) {
            error = "damaged at byte " + std::to_string(start) + ": unknown exchange kind " + std::to_string(code);
            return false;
        }
        record.kind = static_cast<RecordKind>(code);
        if (!in.varint(delta) || delta > std::numeric_limits<uint64_t>::max() - time || !decodeBody(in, record)) {
            error = "damaged or truncated at exchange " + std::to_string(out.records.size() + 1) + " (byte " +
                    std::to_string(start) + ")";
            return false;
        }
        time += delta;
        record.timeMicros = time;
        // Version 1 stored the reading itself.
        if (record.kind == RecordKind::ClockReading && out.header.version >= 2 &&
            !readingFromBehind(time, zigzagDecoded(record.clockNanos), record.clockNanos)) {
            error = "damaged at exchange " + std::to_string(out.records.size() + 1) + " (byte " +
                    std::to_string(start) + "): a clock reading out of range";
            return false;
        }
        if (record.kind == RecordKind::End) break;
        out.records.push_back(std::move(record));
    }
    if (!in.atEnd()) {
        error = "damaged: " + std::to_string(in.left()) + " bytes after the end mark";
        return false;
    }
    return true;
}

bool inflateRecording(const uint8_t* bytes, size_t size, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    z_stream stream{};
    if (inflateInit2(&stream, kGzipWindowBits) != Z_OK) {
        error = "cannot start decompression";
        return false;
    }
    stream.next_in = const_cast<Bytef*>(bytes);
    stream.avail_in = static_cast<uInt>(std::min<size_t>(size, std::numeric_limits<uInt>::max()));
    int status = Z_OK;
    while (status == Z_OK) {
        if (out.size() >= kMaxContentSize) {
            inflateEnd(&stream);
            error = "content larger than " + std::to_string(kMaxContentSize >> 20) + " MiB";
            return false;
        }
        const size_t before = out.size();
        out.resize(before + kInflateChunk);
        stream.next_out = out.data() + before;
        stream.avail_out = kInflateChunk;
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(before + kInflateChunk - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in == 0) break;
    }
    const bool complete = status == Z_STREAM_END;
    const bool trailing = complete && stream.avail_in != 0;
    const bool started = stream.total_out > 0;
    inflateEnd(&stream);
    if (complete && !trailing) return true;
    if (trailing)
        error = "damaged: data after the compressed stream";
    else if (status == Z_BUF_ERROR || status == Z_OK)
        error = "truncated (the compressed stream ends early)";
    else if (!started)
        error = "not a recording (no gzip stream)";
    else
        error = "damaged compressed data";
    return false;
}

bool readRecording(const std::string& path, Recording& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    const std::vector<uint8_t> compressed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        error = "cannot read " + path;
        return false;
    }
    std::vector<uint8_t> content;
    std::string inflateError;
    const bool inflated = inflateRecording(compressed.data(), compressed.size(), content, inflateError);
    // A stream cut short still yields what came before the cut: decode it, so
    // that the recording of a run that died can be looked at.
    const bool decoded = decodeRecording(content.data(), content.size(), out, error);
    if (!inflated) {
        error = inflateError;
        if (!out.records.empty()) error += ", " + std::to_string(out.records.size()) + " exchanges readable";
        return false;
    }
    return decoded;
}

bool RecordingWriter::open(const std::string& path, const RecordingHeader& header, std::string& error) {
    close();
    file_ = gzopen(path.c_str(), "wb6");
    if (!file_) {
        error = std::string("cannot create ") + path + ": " + std::strerror(errno);
        return false;
    }
    failed_ = false;
    lastMicros_ = 0;
    buffer_.clear();
    encodeHeader(header, buffer_);
    flush();
    return !failed_;
}

void RecordingWriter::append(const ExchangeRecord& record) {
    if (!file_) return;
    encodeRecord(record, lastMicros_, buffer_);
    lastMicros_ = std::max(lastMicros_, record.timeMicros);
    if (buffer_.size() >= kWriteBufferSize) writeBuffer();
}

void RecordingWriter::writeBuffer() {
    if (!buffer_.empty() &&
        gzwrite(file_, buffer_.data(), static_cast<unsigned>(buffer_.size())) != static_cast<int>(buffer_.size()))
        failed_ = true;
    buffer_.clear();
}

void RecordingWriter::flush() {
    if (!file_) return;
    writeBuffer();
    if (gzflush(file_, Z_SYNC_FLUSH) != Z_OK) failed_ = true;
}

bool RecordingWriter::close() {
    if (!file_) return !failed_;
    ExchangeRecord end;
    end.kind = RecordKind::End;
    end.timeMicros = lastMicros_;
    encodeRecord(end, lastMicros_, buffer_);
    writeBuffer();
    if (gzclose(file_) != Z_OK) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

bool writeRecording(const std::string& path, const Recording& recording, std::string& error) {
    RecordingWriter writer;
    if (!writer.open(path, recording.header, error)) return false;
    for (const auto& record : recording.records) writer.append(record);
    if (!writer.close()) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace veltrion::recording
