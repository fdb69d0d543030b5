#pragma once

// Reading and writing recordings: a gzip stream (zlib) holding a header and
// the exchanges in the order they ended, as docs/recording-format.md
// describes.

#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ExchangeRecord.h"

namespace veltrion::recording {

inline constexpr char kMagic[] = "VELTREC";  // 7 bytes, no NUL in the file
// Written: 2. Read: 1 too (it stored clock readings as they were).
inline constexpr uint32_t kFormatVersion = 2;
inline constexpr uint32_t kOldestFormatVersion = 1;

struct RecordingHeader {
    uint32_t version = kFormatVersion;
    std::string program;       // the program that made it
    uint64_t startedUnix = 0;  // wall-clock start, seconds since 1970
};

// The header's start as a time of day.
inline std::chrono::system_clock::time_point startedAt(uint64_t startedUnix) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(startedUnix));
}

struct Recording {
    RecordingHeader header;
    std::vector<ExchangeRecord> records;  // without the end mark
};

// Appends one record's encoding; previousMicros is the time of the record
// before it (times are stored as differences).
void encodeRecord(const ExchangeRecord& record, uint64_t previousMicros, std::string& out);
void encodeHeader(const RecordingHeader& header, std::string& out);

// Decodes the uncompressed content. False with a one-line reason when it is
// damaged or ends before its end mark; the records before the fault are kept.
bool decodeRecording(const uint8_t* bytes, size_t size, Recording& out, std::string& error);
// Decompresses a whole gzip stream, at most maxSize bytes of content.
bool inflateRecording(const uint8_t* bytes, size_t size, std::vector<uint8_t>& out, std::string& error);
// Reads, decompresses and decodes a recording file.
bool readRecording(const std::string& path, Recording& out, std::string& error);

// Writes a recording as it happens. Not thread-safe (the recorder serialises).
class RecordingWriter {
public:
    // False with a reason when the file cannot be created.
    bool open(const std::string& path, const RecordingHeader& header, std::string& error);
    void append(const ExchangeRecord& record);
    // Pushes what is buffered into the file, so that a program that dies
    // leaves a readable (if unfinished) recording.
    void flush();
    // Writes the end mark and closes the stream; false when a write failed.
    bool close();
    ~RecordingWriter() { close(); }

    bool isOpen() const { return file_ != nullptr; }

private:
    // Hands what is buffered to the compressor.
    void writeBuffer();

    gzFile file_ = nullptr;
    uint64_t lastMicros_ = 0;
    bool failed_ = false;
    std::string buffer_;
};

// Writes a whole recording (the mask command).
bool writeRecording(const std::string& path, const Recording& recording, std::string& error);

}  // namespace veltrion::recording
