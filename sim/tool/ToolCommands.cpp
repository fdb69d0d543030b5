#include "ToolCommands.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

#include "Bus.h"
#include "MakeFirmware.h"
#include "SimError.h"

namespace camsim {

namespace {

constexpr const char* kUsage =
    "usage: veltrion-sim [--dir DIR] COMMAND\n"
    "  add NAME [--pid HEX4] [--vid HEX4] [--serial TEXT] [--blank]\n"
    "  list\n"
    "  remove NAME\n"
    "  replug NAME\n"
    "  stats NAME             (counters, and the fd-sen and face-box the host set)\n"
    "  events                 (the bus's hot-plug log: due time in ms, add|remove, path, name)\n"
    "  set NAME KEY VALUE     (streaming 0|1, usb-type N, ext-power N, system-loaded auto|0|1,\n"
    "                          timing zero|realistic, sensor-temp T|T0,T1,T2, xu-ready 0|1,\n"
    "                          framing 0|1, enhancement 0|1, friendly-name TEXT, serial-hidden 0|1,\n"
    "                          control-NAME V for brightness, contrast, hue, saturation, sharpness,\n"
    "                          gamma, white-balance, backlight-compensation, gain,\n"
    "                          white-balance-auto, hue-auto, pan, tilt, zoom;\n"
    "                          fd-sen HEX (0..0x944), face-box 0|1, roi-support auto|0|1,\n"
    "                          roi STEPS (comma-separated none, START-END or stall, one per\n"
    "                          read, the last repeats), isp-select-reply N,\n"
    "                          isp0-faces .. isp2-faces SLOTS (L,T,R,B or -, ';'-separated, or\n"
    "                          none), face-ready N|never or three, face-inconsistent 0|1 or three;\n"
    "                          selftest-status S or S0,..,S5 and selftest-rev R or R0,..,R5 (hex;\n"
    "                          fpga, fx3, isp0, isp1, isp2, ddr), isp-info-0 .. isp-info-2 TEXT|default\n"
    "                          (up to 512 bytes, read in two parts), isp-info-end zero|none,\n"
    "                          serial-answer TEXT|default (the serial string descriptor's text),\n"
    "                          runtime-switches 0|1 (the framing and enhancement controls are there),\n"
    "                          checksum-ms T or T0,..,T5 (summing time by component type),\n"
    "                          page-program-us N, lut erased|factory (the lookup table in flash))\n"
    "  fault NAME KEY VALUE   (refuse-df, refuse-c1, refuse-checksum, checksum-inconsistent,\n"
    "                          busy-stuck, ram-readback-corrupt 0|1; power-loss-after-pages N;\n"
    "                          short-reply REQ:N (the next N IN replies to REQ come short);\n"
    "                          power-loss-during-erase N; fail-next REQ:N; xu-stall-ms N;\n"
    "                          xu-vanish-after N; fail-nth REQ:N (the N-th REQ from now fails);\n"
    "                          fail-read-at ADDR[:K]|none (reads of ADDR's page fail after K))\n"
    "  make-firmware --group V2G|V2sG|V3G --out DIR [--fx3 VER] [--fpga VER] [--audio VER]\n"
    "                [--isp VER] [--bootloader VER] [--backup-fx3 VER] [--fpga-size BYTES]\n"
    "                [--fx3-size BYTES] [--audio-size BYTES] [--isp-size BYTES]\n"
    "                [--bootloader-size BYTES] [--backup-fx3-size BYTES]\n"
    "                [--lut SERIAL]...   (component files for -c; prints the -c arguments)\n"
    "  recording show|pcap|mask FILE [OUT]  (list a recording; write its vendor transfers as a\n"
    "                          usbmon capture; replace its serials and unit data)\n"
    "DIR defaults to $VELTRION_SIM.\n";

// Counters printed first, in this order; the rest follow by name.
constexpr const char* kLeadingStats[] = {"resets", "power-cycles"};

class UsageError : public SimError {
public:
    using SimError::SimError;
};

uint16_t parseId(const std::string& text, const char* what) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.erase(0, 2);
    if (digits.size() != 4 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c) != 0; }))
        throw SimError(std::string("bad ") + what + " '" + text + "' (four hex digits)");
    return static_cast<uint16_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

void expectCount(const std::vector<std::string>& args, size_t count, const std::string& command) {
    if (args.size() != count) throw UsageError("wrong number of arguments for " + command);
}

void add(Bus& bus, const std::vector<std::string>& args) {
    if (args.size() < 2) throw UsageError("add needs a camera name");
    AddOptions options;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--blank") {
            options.blank = true;
        } else if (args[i] == "--pid" && i + 1 < args.size()) {
            options.productId = parseId(args[++i], "pid");
        } else if (args[i] == "--vid" && i + 1 < args.size()) {
            options.vendorId = parseId(args[++i], "vid");
        } else if (args[i] == "--serial" && i + 1 < args.size()) {
            options.serial = args[++i];
            if (options.serial.empty()) throw SimError("bad serial '' (12 letters or digits)");
        } else {
            throw UsageError("unknown option '" + args[i] + "' for add");
        }
    }
    bus.add(args[1], options);
}

void list(Bus& bus, std::ostream& out) {
    for (const CameraListing& camera : bus.list()) {
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", camera.vendorId, camera.productId);
        out << camera.name << ' ' << ids << ' ' << (camera.serial.empty() ? "-" : camera.serial) << ' '
            << (camera.present ? "present" : "absent") << ' ' << (camera.bootLoader ? "boot-loader" : "running")
            << '\n';
    }
}

void stats(Bus& bus, const std::string& name, std::ostream& out) {
    auto counters = bus.stats(name);
    for (const char* key : kLeadingStats) {
        out << key << ": " << counters[key] << '\n';
        counters.erase(key);
    }
    for (const auto& [key, value] : counters) out << key << ": " << value << '\n';
}

}  // namespace

int runTool(const std::vector<std::string>& argsIn, const std::string& defaultDir, std::ostream& out,
            std::ostream& err) {
    std::vector<std::string> args;
    std::string dir = defaultDir;
    try {
        for (size_t i = 0; i < argsIn.size(); ++i) {
            if (argsIn[i] == "--dir") {
                if (i + 1 >= argsIn.size()) throw UsageError("--dir needs a directory");
                dir = argsIn[++i];
            } else if (argsIn[i] == "--help" || argsIn[i] == "-h") {
                out << kUsage;
                return kToolOk;
            } else {
                args.push_back(argsIn[i]);
            }
        }
        if (args.empty()) throw UsageError("no command given");
        if (args[0] == "make-firmware") {  // needs no bus
            makeFirmware(args, out);
            return kToolOk;
        }
        if (dir.empty()) throw SimError("no bus directory: set VELTRION_SIM or give --dir DIR");

        Bus bus(dir);
        const std::string& command = args[0];
        if (command == "add") {
            add(bus, args);
        } else if (command == "list") {
            expectCount(args, 1, command);
            list(bus, out);
        } else if (command == "remove") {
            expectCount(args, 2, command);
            bus.remove(args[1]);
        } else if (command == "replug") {
            expectCount(args, 2, command);
            bus.replug(args[1]);
        } else if (command == "stats") {
            expectCount(args, 2, command);
            stats(bus, args[1], out);
        } else if (command == "events") {
            expectCount(args, 1, command);
            out << bus.eventLog();
        } else if (command == "set") {
            expectCount(args, 4, command);
            bus.set(args[1], args[2], args[3]);
        } else if (command == "fault") {
            expectCount(args, 4, command);
            bus.fault(args[1], args[2], args[3]);
        } else {
            throw UsageError("unknown command '" + command + "'");
        }
        return kToolOk;
    } catch (const UsageError& error) {
        err << "veltrion-sim: " << error.what() << '\n' << kUsage;
        return kToolError;
    } catch (const SimError& error) {
        err << "veltrion-sim: " << error.what() << '\n';
        return kToolError;
    }
}

}  // namespace camsim
