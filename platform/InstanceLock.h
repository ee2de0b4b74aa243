// The single-instance marker: an advisory lock on a file named after the
// marker in $XDG_RUNTIME_DIR (else the temp folder). Testing for another
// instance and marking this one are one atomic step, and the lock goes away
// with the process, so a crashed instance leaves nothing stale behind.
#pragma once

#include <string>

namespace platform {

// The lock file of the marker `name`.
std::string InstanceLockPath(const std::string& name);

// Takes the marker `name` for the rest of this process. False when another
// process holds it. A lock file that can't be opened at all is taken as no
// other instance, so that a read-only temp folder never keeps the program from
// starting.
bool TakeInstanceLock(const std::string& name);

}  // namespace platform
