// A forced firmware update of one simulated camera under the realistic timing
// model: wall time, what went over the wire, and the model's own floor for
// the same work (every page programmed and sector erased, each transfer the
// work needs at the least: one status poll per program or erase), with the
// ratio of the two. Usage: bench_update [fpga-bytes]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Bus.h"
#include "Timing.h"
#include "manager/Veltrion2CamMgr.h"
#include "support/FirmwareImages.h"

int main(int argc, char** argv) {
    const std::string fpgaSize = argc > 1 ? argv[1] : "1048576";
    char pattern[] = "/tmp/bench-update-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::filesystem::path dir = pattern;
    const std::filesystem::path busDir = dir / "bus";
    ::setenv("VELTRION_SIM", busDir.c_str(), 1);

    int status = 0;
    {
        camsim::Bus bus(busDir);
        bus.add("cam0");
        veltrion::Veltrion2CamMgr mgr(true);
        QuietLogger quiet;
        mgr.setLogger(&quiet);
        const std::string image =
            testimages::buildSingleImage(mgr, dir, "newer", {"--group", "V3G", "--fpga-size", fpgaSize});
        bus.set("cam0", "timing", "realistic");
        const std::string path = bus.find("cam0").path;

        const auto start = std::chrono::steady_clock::now();
        bool updated = false;
        const bool ok = mgr.updateCameraFirmware(true, updated, 0, 0, path, image);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

        std::printf("forced update, realistic timing, FPGA component of %s bytes: %s in %.1f s\n", fpgaSize.c_str(),
                    ok ? "done" : "FAILED", seconds);
        auto stats = bus.stats("cam0");
        uint64_t transfers = 0;
        for (const auto& [key, value] : stats) {
            if (value != 0) std::printf("  %-20s %llu\n", key.c_str(), static_cast<unsigned long long>(value));
            if (key.rfind("transfers-", 0) == 0) transfers += value;
        }
        const camsim::TimingModel model = *camsim::timingPreset("realistic");
        const uint64_t commands = stats["pages-programmed"] + stats["sectors-erased-4k"] +
                                  stats["sectors-erased-32k"] + stats["sectors-erased-64k"];
        const uint64_t neededTransfers = transfers - stats["status-polls"] + commands;
        const double floorUs = double(stats["pages-programmed"]) * model.pageProgramUs +
                               double(stats["sectors-erased-4k"]) * model.erase4kUs +
                               double(stats["sectors-erased-32k"]) * model.erase32kUs +
                               double(stats["sectors-erased-64k"]) * model.erase64kUs +
                               double(neededTransfers) * model.transferLatencyUs + double(stats["checksum-us"]);
        std::printf("model floor %.1f s (%llu transfers needed); wall time / floor = %.3f\n", floorUs / 1e6,
                    static_cast<unsigned long long>(neededTransfers), seconds / (floorUs / 1e6));
        status = ok ? 0 : 1;
    }
    std::error_code error;
    std::filesystem::remove_all(dir, error);
    return status;
}
