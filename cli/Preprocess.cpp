#include "Preprocess.h"

#include <algorithm>
#include <cstdio>

#include "NumberArgument.h"
#include "Usage.h"
#include "image/ImageFiles.h"

namespace veltrion::cli {

namespace {

constexpr const char* kLogFileOption = "-o";
constexpr const char* kUvcOption = "--uvc";
constexpr const char* kJobsOption = "--jobs";
constexpr const char* kRecordOption = "--record";
constexpr const char* kLogFileMode = "w+";

// Position of the first argument after the program name equal to option.
std::vector<std::string>::iterator findOption(std::vector<std::string>& args, const char* option) {
    if (args.empty()) return args.end();
    return std::find(args.begin() + 1, args.end(), option);
}

}  // namespace

PreprocessResult preprocessArguments(std::vector<std::string> args, Preprocessed& out) {
    auto logOption = findOption(args, kLogFileOption);
    if (logOption != args.end()) {
        auto path = logOption + 1;
        if (path == args.end()) {
            std::printf("ERROR: -o option missing path of the log file\n");
            usage(args.front().c_str());
            return PreprocessResult::Failed;
        }
        // Opening the log truncates it: a log named like an input (or a link
        // to one, or the same file under another name) would destroy it.
        for (auto other = args.begin() + 1; other != args.end(); ++other) {
            if (other == logOption || other == path || !images::isSameFile(*path, *other)) continue;
            std::printf("ERROR: log file %s is the file %s of the action\n", path->c_str(), other->c_str());
            return PreprocessResult::Failed;
        }
        FilePtr file(std::fopen(path->c_str(), kLogFileMode));
        if (!file) {
            std::printf("ERROR: Unable to open log file %s\n", path->c_str());
            return PreprocessResult::Failed;
        }
        out.logFile = std::move(file);
        out.logPath = *path;
        args.erase(logOption, path + 1);
    }

    auto uvcOption = findOption(args, kUvcOption);
    if (uvcOption != args.end()) {
        out.useVendorChannel = false;
        args.erase(uvcOption);
    }

    auto jobsOption = findOption(args, kJobsOption);
    if (jobsOption != args.end()) {
        auto count = jobsOption + 1;
        uint32_t jobs = 0;
        if (count == args.end() || parseNumber(*count, NumberBase::Decimal, kMaxJobs, jobs) != NumberParse::Ok ||
            jobs == 0) {
            std::printf("ERROR: --jobs needs the number of cameras to update at once, 1 to %u\n", kMaxJobs);
            return PreprocessResult::Failed;
        }
        out.jobs = jobs;
        args.erase(jobsOption, count + 1);
    }

    auto recordOption = findOption(args, kRecordOption);
    if (recordOption != args.end()) {
        auto path = recordOption + 1;
        if (path == args.end() || path->empty()) {
            std::printf("ERROR: --record option missing path of the recording file\n");
            return PreprocessResult::Failed;
        }
        out.recordFile = *path;
        args.erase(recordOption, path + 1);
    }

    out.args = std::move(args);
    return PreprocessResult::Ok;
}

}  // namespace veltrion::cli
