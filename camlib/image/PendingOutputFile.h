#pragma once

// An output file that is written under a temporary name beside its target
// and takes the target's name only once it is complete: a creation that
// fails half way leaves whatever file had the name before, never a truncated
// one in its place.

#include <string>

namespace veltrion::images {

class PendingOutputFile {
public:
    // Creates (truncates) "<target>.part"; created() tells whether it could.
    explicit PendingOutputFile(std::string target);
    // Removes the temporary file unless it was committed.
    ~PendingOutputFile();
    PendingOutputFile(const PendingOutputFile&) = delete;
    PendingOutputFile& operator=(const PendingOutputFile&) = delete;

    bool created() const { return created_; }
    // Where the bytes go until commit().
    const std::string& path() const { return temporary_; }
    // Renames the complete file to the target's name.
    bool commit();

private:
    std::string target_;
    std::string temporary_;
    bool created_ = false;
    bool committed_ = false;
};

}  // namespace veltrion::images
