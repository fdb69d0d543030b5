// libFuzzer entry for the recording reader and the replay's loading of it.
// The first byte chooses the input's form: odd, a gzip file as written;
// even, the content after decompression. What decodes must encode back to
// the same records, and a replay must load it or refuse it with a reason.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "device/recording/RecordingFile.h"
#include "device/recording/ReplaySession.h"

using fuzzsupport::require;
using namespace veltrion::recording;

namespace {

std::string encoded(const Recording& recording) {
    std::string bytes;
    encodeHeader(recording.header, bytes);
    uint64_t previous = 0;
    for (const auto& record : recording.records) {
        encodeRecord(record, previous, bytes);
        previous = record.timeMicros;
    }
    ExchangeRecord end;
    end.kind = RecordKind::End;
    encodeRecord(end, previous, bytes);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool compressed = data[0] & 1;
    std::vector<uint8_t> content(data + 1, data + size);
    std::string error;
    if (compressed) {
        std::vector<uint8_t> inflated;
        if (!inflateRecording(data + 1, size - 1, inflated, error)) {
            require(!error.empty());
            return 0;
        }
        content = std::move(inflated);
    }
    Recording recording;
    if (!decodeRecording(content.data(), content.size(), recording, error)) {
        require(!error.empty());
        return 0;
    }
    // A record's time is the sum of its differences; re-encoding keeps them.
    const std::string again = encoded(recording);
    Recording reread;
    require(decodeRecording(reinterpret_cast<const uint8_t*>(again.data()), again.size(), reread, error));
    require(reread.records.size() == recording.records.size());
    require(encoded(reread) == again);

    ReplaySession session;
    if (!session.load(std::move(recording), error)) require(!error.empty());
    return 0;
}
