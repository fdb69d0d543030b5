#pragma once

// umockdev keeps a testbed in a folder /tmp/umockdev.XXXXXX that goes with the
// testbed; a crash or a kill leaves it behind. Bridges mark theirs, so later
// runs can remove those of processes that are gone and only those.

#include <string>

namespace veltrion::realports {

// Marks a testbed root as this process's.
void claimTestbedRoot(const std::string& root);

// Removes testbed roots claimed by processes that no longer run; roots of
// running processes and roots nobody claimed (other programs') stay.
void sweepAbandonedTestbeds();

}  // namespace veltrion::realports
