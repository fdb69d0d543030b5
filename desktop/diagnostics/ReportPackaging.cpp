#include "diagnostics/ReportPackaging.h"

#include <zip.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

namespace veltrion::desktop {

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// An archive being written: discarded unless closed successfully.
class ArchiveWriter {
public:
    explicit ArchiveWriter(const std::string& path) {
        int error = 0;
        archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    }
    ~ArchiveWriter() {
        if (archive_) zip_discard(archive_);
    }
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    bool isOpen() const { return archive_ != nullptr; }
    bool addDirectory(const std::string& name) { return zip_dir_add(archive_, name.c_str(), ZIP_FL_ENC_UTF_8) >= 0; }
    bool addFile(const std::string& name, const std::string& path) {
        zip_source_t* source = zip_source_file(archive_, path.c_str(), 0, -1);
        if (!source) return false;
        if (zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            return false;
        }
        return true;
    }
    const char* error() { return zip_strerror(archive_); }
    // Writes the archive out; the files are read here.
    bool close() {
        if (zip_close(archive_) != 0) return false;
        archive_ = nullptr;
        return true;
    }

private:
    zip_t* archive_ = nullptr;
};

}  // namespace

bool copyFile(const std::string& destination, const std::string& source, Logger& log) {
    File out(std::fopen(destination.c_str(), "wb"));
    if (!out) {
        log.log(kLogError, "copyFile: failed to open outfile %s\n", destination.c_str());
        return false;
    }
    File in(std::fopen(source.c_str(), "rb"));
    if (!in) {
        log.log(kLogInfo, "copyFile: no log file generated before\n");
        return true;
    }
    char piece[1024];
    for (;;) {
        const size_t read = std::fread(piece, 1, sizeof piece, in.get());
        if (read == 0) break;
        if (std::fwrite(piece, 1, read, out.get()) != read) {
            log.log(kLogError, "copyFile: fwrite failed\n");
            return false;
        }
    }
    if (std::fflush(out.get()) != 0) {
        log.log(kLogError, "copyFile: fwrite failed\n");
        return false;
    }
    return true;
}

bool createZip(const std::string& folder, Logger& log) {
    const fs::path root(folder);
    const std::string zipPath = folder + ".zip";
    const std::string partPath = zipPath + ".part";
    const std::string top = root.filename().string();
    std::error_code error;
    fs::remove(partPath, error);
    {
        ArchiveWriter archive(partPath);
        if (!archive.isOpen()) {
            log.log(kLogError, "createZip: open %s failed\n", partPath.c_str());
            return false;
        }
        bool added = archive.addDirectory(top);
        // Sorted, so the same folder always gives the same archive.
        std::vector<fs::path> entries;
        for (auto it = fs::recursive_directory_iterator(root, error); added && !error && it != fs::end(it);
             it.increment(error))
            entries.push_back(it->path());
        std::sort(entries.begin(), entries.end());
        for (const auto& path : entries) {
            if (!added) break;
            const std::string name = top + "/" + fs::relative(path, root, error).generic_string();
            if (fs::is_directory(path, error))
                added = archive.addDirectory(name);
            else if (fs::is_regular_file(path, error))
                added = archive.addFile(name, path.string());
        }
        if (!added || error) {
            log.log(kLogError, "createZip: failed to add the report folder %s: %s\n", folder.c_str(),
                    error ? error.message().c_str() : archive.error());
            return false;  // the archive is discarded
        }
        if (!archive.close()) {
            log.log(kLogError, "createZip: writing %s failed: %s\n", partPath.c_str(), archive.error());
            fs::remove(partPath, error);
            return false;
        }
    }
    fs::rename(partPath, zipPath, error);
    if (error) {
        log.log(kLogError, "createZip: failed to move %s into place: %s\n", partPath.c_str(), error.message().c_str());
        fs::remove(partPath, error);
        return false;
    }
    return true;
}

}  // namespace veltrion::desktop
