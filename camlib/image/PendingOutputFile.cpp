#include "image/PendingOutputFile.h"

#include <cstdio>
#include <utility>

namespace veltrion::images {

namespace {
constexpr const char* kTemporarySuffix = ".part";
}

PendingOutputFile::PendingOutputFile(std::string target)
    : target_(std::move(target)), temporary_(target_ + kTemporarySuffix) {
    std::FILE* file = std::fopen(temporary_.c_str(), "wb");
    created_ = file && std::fclose(file) == 0;
}

PendingOutputFile::~PendingOutputFile() {
    if (created_ && !committed_) std::remove(temporary_.c_str());
}

bool PendingOutputFile::commit() {
    committed_ = created_ && std::rename(temporary_.c_str(), target_.c_str()) == 0;
    return committed_;
}

}  // namespace veltrion::images
