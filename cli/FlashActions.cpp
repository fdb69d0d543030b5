#include "FlashActions.h"

#include "NotAvailable.h"

namespace veltrion::cli {

bool displayFlashContents(const std::string&, const std::string&, const std::string&, Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, "-r");
}

bool programOrEraseFlash(const std::string&, const std::string&, const std::string&, bool erase,
                         Veltrion2CamMgr& mgr) {
    return notAvailable(mgr, erase ? "-e" : "-w");
}

}  // namespace veltrion::cli
