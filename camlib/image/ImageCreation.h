#pragma once

// Building update images: a single image from component files and optional
// per-camera lookup tables, and a unified package from single images and one
// JSON file. Each step that fails logs one line and ends the creation; an
// output file already started is left as it is.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veltrion {

class Logger;

// Everything a single image is made of.
struct SingleImageSources {
    uint32_t fx3Version = 0;
    uint32_t backupFx3Version = 0;
    uint32_t bootloaderVersion = 0;
    std::string fpgaFile;
    std::string fx3File;
    std::string audioFile;
    std::string ispFile;
    std::string bootloaderFile;
    std::string backupFx3File;
    std::string jsonFile;
    bool auxBlobPresent = false;
    std::string auxBlobFile;
    // One entry per camera, in the same order in all three lists.
    std::vector<std::string> lutDirectories;
    std::vector<std::string> alignmentFiles;
    std::vector<std::string> serialNumbers;
    std::string outputFile;
};

namespace images {

// The console's argument list: FPGA, FX3, audio, ISP, bootloader, backup FX3,
// JSON and auxiliary blob files, k triples (LUT directory, alignment file,
// serial number), then the output file. The FX3, bootloader and backup FX3
// versions come from their file names.
bool createSingleImage(const std::vector<std::string>& arguments, std::span<uint8_t> lutBuffer, Logger& logger);

// Writes the single image; the lookup tables and alignment values pass
// through the lookup-table buffer (lut::kBufferSize bytes).
bool createSingleImage(const SingleImageSources& sources, std::span<uint8_t> lutBuffer, Logger& logger);

// The console's argument list: single images, then the JSON file, then the
// output file.
bool createUnifiedImage(const std::vector<std::string>& arguments, Logger& logger);

}  // namespace images

}  // namespace veltrion
