// The component checksum query: for one firmware component, the checksum the
// camera stored with it and the one it computes over the flash now.
//
// Reply: byte 0 is 0 when the component matches, else 1; bytes 1..4 the
// stored checksum, bytes 5..8 the computed one, both little-endian.

#include <thread>
#include <vector>

#include "BootChain.h"
#include "Camera.h"
#include "device/VendorRequests.h"
#include "device/usb/UsbPort.h"
#include "format/ComponentHeader.h"
#include "format/FlashMap.h"
#include "format/Fx3BootImage.h"
#include "base/ByteLayout.h"
#include "base/VersionNumber.h"

namespace camsim {

namespace vreq = veltrion::vreq;
using namespace veltrion::flashmap;

namespace {

enum ComponentType : uint16_t {
    kTypeBootLoader = 0,
    kTypeFx3 = 1,
    kTypeBackupFx3 = 2,
    kTypeFpga = 3,
    kTypeIsp = 4,
    kTypeAudio = 5,
};

constexpr size_t kChecksumReplySize = 9;
constexpr uint8_t kMatch = 0;
constexpr uint8_t kMismatch = 1;
constexpr uint32_t kErasedWord = 0xFFFFFFFF;

struct ChecksumAnswer {
    bool match = false;
    uint32_t expected = 0;
    uint32_t calculated = 0;
};

std::span<const uint8_t> region(std::span<const uint8_t> flash, uint32_t address, uint32_t size) {
    return flash.subspan(address, std::min<size_t>(size, flash.size() - address));
}

// A component the firmware cannot find (no signature yet, or no walkable
// layout) has no stored checksum: it reads as erased flash, while the
// computed one still covers what lies in the region. The two then differ,
// so the host sees a plain mismatch and rewrites the component.

// FX3 images: the stored checksum is the word after the entry point, i.e.
// the image's last four bytes; the computed one is the sum of the data words.
ChecksumAnswer fx3Checksum(std::span<const uint8_t> image) {
    ChecksumAnswer answer;
    const veltrion::Fx3ImageLayout layout = veltrion::walkFx3Sections(image);
    const bool walkable =
        layout.check == veltrion::Fx3ImageCheck::Ok || layout.check == veltrion::Fx3ImageCheck::BadChecksum;
    const bool signed_ = image[0] == veltrion::fx3image::kSignature0 && image[1] == veltrion::fx3image::kSignature1;
    if (walkable && signed_) {
        answer.expected = layout.storedChecksum;
        answer.calculated = layout.computedChecksum;
        answer.match = answer.expected == answer.calculated;
        return answer;
    }
    answer.expected = kErasedWord;
    if (walkable) {
        answer.calculated = layout.computedChecksum;
    } else {
        const veltrion::ByteReader reader(image);
        for (size_t at = 0; at + 4 <= image.size(); at += 4) answer.calculated += *reader.le32(at);
    }
    return answer;
}

// "VM" components: the stored checksum is the header's, the computed one the
// fletcher16 of the body in flash.
ChecksumAnswer componentChecksum(std::span<const uint8_t> flash, uint32_t address) {
    using namespace veltrion::component;
    ChecksumAnswer answer;
    const auto component = flash.subspan(address);
    const veltrion::ByteReader reader(component);
    const uint32_t length = reader.le32(kLengthOffset).value_or(0);
    const bool sane = length >= kHeaderSize && length <= component.size();
    const bool signed_ = component[0] == kSignature0 && component[1] == kSignature1;
    // Without a usable length the firmware sums the header sector alone.
    const size_t bodyLength = sane ? length - kHeaderSize : kHeaderSize;
    const uint8_t* body = sane ? component.data() + kHeaderSize : component.data();
    answer.calculated = veltrion::fletcher16(body, bodyLength);
    if (sane && signed_) {
        answer.expected = reader.le16(kChecksumOffset).value_or(0);
        answer.match = answer.expected == answer.calculated;
    } else {
        answer.expected = kErasedWord;
    }
    return answer;
}

}  // namespace

int Camera::handleComponentChecksum(const SetupPacket& setup, uint8_t* data) {
    if (state_->faults.refuseChecksum) return veltrion::kUsbErrorPipe;
    const auto flash = flash_.all();
    ChecksumAnswer answer;
    switch (setup.value) {
        case kTypeBootLoader: answer = fx3Checksum(region(flash, kBootLoaderAddress, kBootLoaderRegionSize)); break;
        case kTypeFx3: answer = fx3Checksum(region(flash, kFx3Address, kFx3RegionSize)); break;
        case kTypeBackupFx3: answer = fx3Checksum(region(flash, kBackupFx3Address, kBackupFx3RegionSize)); break;
        case kTypeFpga: answer = componentChecksum(flash, kFpgaAddress); break;
        case kTypeIsp: answer = componentChecksum(flash, kIspAddress); break;
        case kTypeAudio: answer = componentChecksum(flash, audioAddressFor(flash)); break;
        default: return veltrion::kUsbErrorPipe;
    }
    if (state_->faults.checksumInconsistent) {
        // Firmware with a broken query: mismatch reported with equal values.
        answer.match = false;
        answer.calculated = answer.expected;
    }
    // The firmware sums the component before it answers: the vendor request
    // completes after that time, a request through the extension unit
    // latches a reply that is ready only then.
    const uint32_t computeUs = state_->timing.checksumUs[setup.value];
    live_->counters.checksumUs += computeUs;
    if (viaExtensionUnit_)
        live_->latch.readyAt = SteadyClock::now() + std::chrono::microseconds(computeUs);
    else if (computeUs > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(computeUs));

    std::vector<uint8_t> reply;
    reply.reserve(kChecksumReplySize);
    veltrion::ByteWriter writer(reply);
    writer.u8(answer.match ? kMatch : kMismatch);
    writer.le32(answer.expected);
    writer.le32(answer.calculated);
    return replyIn(setup, data, reply);
}

}  // namespace camsim
