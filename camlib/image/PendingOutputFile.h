#pragma once

// An output file that is written under a temporary name beside its target
// and takes the target's name only once it is complete: a creation that
// fails half way leaves whatever file had the name before, never a truncated
// one in its place. The temporary file is made new (never opened through a
// link planted under its name), and the rename replaces a link that has the
// target's name instead of writing through it.

#include <cstdint>
#include <span>
#include <string>

namespace veltrion::images {

class PendingOutputFile {
public:
    // Creates "<target>.part" afresh (an old file or link of that name is
    // removed first); created() tells whether it could.
    explicit PendingOutputFile(std::string target);
    // Removes the temporary file unless it was committed.
    ~PendingOutputFile();
    PendingOutputFile(const PendingOutputFile&) = delete;
    PendingOutputFile& operator=(const PendingOutputFile&) = delete;

    bool created() const { return made_; }
    // Where the bytes go until commit().
    const std::string& path() const { return temporary_; }
    // Appends bytes through the file made by the constructor; false (errno
    // set) when they are not all written.
    bool write(std::span<const uint8_t> bytes);
    // Closes the file and renames it to the target's name; false when the
    // close reports a lost write or the rename fails.
    bool commit();

private:
    std::string target_;
    std::string temporary_;
    int fd_ = -1;  // open from creation until commit()
    bool made_ = false;
    bool committed_ = false;
};

}  // namespace veltrion::images
