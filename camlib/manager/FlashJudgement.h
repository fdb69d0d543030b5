#pragma once

namespace veltrion {

// What a camera's flash holds, judged against an update image before the
// update decides what to write. Versions alone cannot tell a component that
// was cut off half way: the camera may boot its backup firmware, which
// already carries the new version, or keep reporting an old JSON record.
struct FlashJudgement {
    // Signed and whole: the camera's checksum query matches, or, where the
    // camera has no such query, the boot chain walks and sums (FX3 boot
    // images) or the "VM" header is signed and equals the image's.
    bool bootLoaderSound = true;
    bool fx3Sound = true;
    bool backupFx3Sound = true;
    bool fpgaSound = true;
    bool audioSound = true;
    bool ispSound = true;
    // The feature JSON record equals the one the image would write.
    bool jsonEqual = true;

    bool bootComponentsSound() const { return bootLoaderSound && backupFx3Sound; }
    bool allSound() const {
        return bootComponentsSound() && fx3Sound && fpgaSound && audioSound && ispSound && jsonEqual;
    }
};

}  // namespace veltrion
