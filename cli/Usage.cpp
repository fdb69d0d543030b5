#include "Usage.h"

#include <cstdio>

namespace veltrion::cli {

void usage(const char* programName) {
    const char* p = programName;
    std::printf("Usage: %s <action arg> <arguments for given action arg>\n", p);
    std::printf("       Where <action arg> is defined as\n");
    std::printf("             -v - print the version of the tool: %s\n", kToolVersion);
    std::printf("             -b - Check number of broken \"WestBridge\" Veltrion2 is presence in the system\n");
    std::printf("             -d all - Display all connected camera device information\n");
    std::printf("             -d <num> - Display the <num>TH connected camera device information\n");
    std::printf("             -p all [-f] - Recover & Program all connected cameras from an image file\n");
    std::printf("             -p <num> [-f] - Program connected cameras num <num> from image file\n");
    std::printf("             -p all [-f] --jobs <N> - the same as -p all, updating up to N cameras at once\n");
    std::printf("             -c - create image file from a collection of image files for FPGA, FX3, Audio, ISP, bootloader, backup_fx3, json, auxiliary_blob_file\n");
    std::printf("             --uni - create unified image file from a collection of image types + json file + package file name\n");
    std::printf("             -t <num> - Check whether the given <num>TH connected camera device can be updated and how long it will take to update\n");
    std::printf("             -i all - Display all connected camera device self-testing information\n");
    std::printf("             -i <num> - Display the <num>TH connected camera device self-testing information\n");
    std::printf("                      ***WARNING***: using this option (-s) will set the camera to SPI mode, and reboot of the camera is required afterward.\n");
    std::printf("             -o <path to log file> - Use this option to also save the log messages to the given file.\n");
    std::printf("             --record <path to recording file> - Use this option to also record every exchange with the cameras into the given file.\n");
    std::printf("             -g <num> <fid1> <fid1 len> [<fid2> <fid1 len> ...] - return a current feature id values in the <num>TH connected camera\n");
    std::printf("             -g all <fid1> <fid1 len> [<fid2> <fid1 len> ...]  - return a current feature id values in all the connected cameras\n");
    std::printf("             -m <num> <addr> <length> - return the <length> bytes of data at the given <addr> in EEPROM of the <num>TH connected camera\n");
    std::printf("             --read-calib <num> - display V2s calibration parameters for the <num>TH connected camera\n");
    std::printf("             --read-calib all - display V2s calibration parameters for all connected camera\n");
    std::printf("             --write-calib <num> <arg file> - write V2s calib params given by the <arg file>, where <arg file> is \":\" seperated key value pair per line\n");
    std::printf("             --start-roi <num> - display and keep monitoring the V2s ROI data\n");
    std::printf("             --start-raw-face <num> - display and keep monitoring the ISP raw face data\n");
    std::printf("             ***WARNING***: using the following options will set the camera to SPI mode, and reboot of the camera is required afterward.\n");
    std::printf("             -s <num> - Display the config block contents of the given <num>TH connected camera\n");
    std::printf("             -r <num> <addr> <length> - return flash contents at given <addr> of <length> bytes for the <num>TH connected camera\n");
    std::printf("             -w <num> <addr> <file / 0x...> - write file content or bytes to the <addr> of the <num>TH connected camera\n");
    std::printf("             -e <num> <addr> - erase the 4K sector on the flash for which the <addr> belongs to for the <num>TH connected camera\n");
    std::printf("             --reboot <num> - reboot the <num>TH connected camera\n");
    std::printf("             --reboot all - reboot all connected camera\n");
    std::printf("             -j <cam num> <output json file name> - extract the json file from the connected camera\n");
    std::printf("             -z <num> - generate the device health report for the <num>TH connected camera\n");
    std::printf("             --preset <cam num> <action: save/apply/reset> <type: ptz/control> <btn num> - save/apply/reset the current camera settings to/from a preset btn num. It can be PTZ or filter control (brightness,etc)\n");
    std::printf("             --fd-sen <cam num> <sen in hex 0x...> - set the face detection sensitivity (0x000 to 0x944)\n");
    std::printf("             --face-box <cam num> <enable: 0/1> - enable/disable face box in the video\n");
    std::printf("             --sensor-temp <cam num> - read all 3 sensor temperatures. This only works with UVC channel.\n");
    std::printf("Examples:\n");
    std::printf("To check number of camera(s) is(are) in unbootable state: %s -b \n", p);
    std::printf("To display first device information: %s -d 0 \n", p);
    std::printf("To display all devices information: %s -d all \n", p);
    std::printf("To program all cameras: %s -p all <image file>\n", p);
    std::printf("To program a single camera : %s -p 1 <image file>\n", p);
    std::printf("  In programming mode: -f forces update even if the image versions are the same as the ones in the camera\n");
    std::printf("To create an image file : %s -c <fpga_file> <fx3_file> <audio_file> <isp_file> <bootloader_file>\n", p);
    std::printf("                                <backup_fx3_file> <json_file> <auxiliary_blob_file>\n");
    std::printf("                                [<LUT Dir 1> <alignment data 1> <cam serial 1> ...] <output image file>\n");
    std::printf("To create a unified image file : %s -uni <image1> <image2> ... <output image file>\n", p);
    std::printf("To check the first device update information: %s -t 0 <image file>\n", p);
    std::printf("To see the self-testing information for the first connected camera: %s -i 0\n", p);
    std::printf("To see the self-testing information for all connected cameras: %s -i all\n", p);
    std::printf("To see the config block contents for the first connected camera: %s -s 0\n", p);
    std::printf("To see the config block contents for all connected cameras: %s -s all\n", p);
    std::printf("To get the features values for ID 3, 4 (each has 3 bytes) for the first connected camera:\n");
    std::printf("   %s -g 0 3 3 4 3\n", p);
}

}  // namespace veltrion::cli
