// Writes a 6 MiB FPGA component to one simulated camera, as an update does,
// and prints the wall time, the host's CPU time and what went over the wire.
// Usage: bench_flash_write [realistic|zero]   (default realistic)

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "Bus.h"
#include "Factory.h"
#include "format/FlashMap.h"
#include "manager/Veltrion2CamMgr.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string timing = argc > 1 ? argv[1] : "realistic";
    char pattern[] = "/tmp/bench-flash-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::filesystem::path busDir = std::filesystem::path(pattern) / "bus";
    ::setenv("VELTRION_SIM", busDir.c_str(), 1);

    int status = 0;
    {
        camsim::Bus bus(busDir);
        bus.add("cam0");
        bus.set("cam0", "timing", timing);
        veltrion::Veltrion2CamMgr mgr(true);
        QuietLogger quiet;
        mgr.setLogger(&quiet);
        const auto fpga = camsim::makeFpgaComponent("F1.9.0.0", veltrion::flashmap::kFpgaRegionSize);
        const std::string path = bus.find("cam0").path;

        const double cpuBefore = cpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = mgr.programFPGAFlash(false, fpga.data(), static_cast<uint32_t>(fpga.size()),
                                             veltrion::flashmap::kFpgaAddress, path);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = cpuSeconds() - cpuBefore;

        std::printf("6 MiB FPGA component, %s timing: %s, wall %.2f s, host CPU %.2f s (the camera's side included)\n",
                    timing.c_str(), ok ? "written" : "FAILED", wall, cpu);
        for (const auto& [key, value] : bus.stats("cam0"))
            if (value != 0) std::printf("  %-20s %llu\n", key.c_str(), static_cast<unsigned long long>(value));
        status = ok ? 0 : 1;
    }
    std::error_code error;
    std::filesystem::remove_all(pattern, error);
    return status;
}
