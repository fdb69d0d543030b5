// veltrion-sim: plugs simulated cameras into a simulated USB bus directory.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "ToolCommands.h"

int main(int argc, char** argv) {
    const char* env = std::getenv("VELTRION_SIM");
    return camsim::runTool(std::vector<std::string>(argv + 1, argv + argc), env ? env : "", std::cout, std::cerr);
}
