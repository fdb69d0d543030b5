// Forced updates of simulated cameras under the realistic timing model, run
// by the built console tool: one camera alone, then eight cameras with
// -p all --jobs 8, and the ratio of the two wall times. Each update is bound
// by its own camera's flash, so eight at once should take little longer than
// one. Usage: bench_parallel_update [cameras]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchImages.h"
#include "Bus.h"

namespace {

double runTool(const std::string& arguments) {
    const std::string command = std::string(VELTRION_BIN_DIR) + "/VemtoK4UtilsExe " + arguments + " > /dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) std::printf("  (%s exited with %d)\n", arguments.c_str(), status);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int cameras = argc > 1 ? std::atoi(argv[1]) : 8;
    char pattern[] = "/tmp/bench-parallel-XXXXXX";
    if (!::mkdtemp(pattern) || cameras < 1) return 1;
    const std::filesystem::path dir = pattern;
    const std::filesystem::path busDir = dir / "bus";
    ::setenv("VELTRION_SIM", busDir.c_str(), 1);
    {
        camsim::Bus bus(busDir);
        for (int i = 0; i < cameras; ++i) bus.add("cam" + std::to_string(i));
        const std::string image = buildNewerImage(dir, {"--group", "V3G"});
        for (int i = 0; i < cameras; ++i) bus.set("cam" + std::to_string(i), "timing", "realistic");

        const double one = runTool("-p 0 -f " + image);
        const double all = runTool("-p all -f --jobs " + std::to_string(cameras) + " " + image);
        std::printf("forced update, realistic timing: 1 camera %.1f s; %d cameras with --jobs %d %.1f s; ratio %.2f\n",
                    one, cameras, cameras, all, all / one);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
