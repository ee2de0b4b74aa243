// The single-instance marker: an advisory lock on a file named after the
// marker. Testing for another instance and marking this one are one atomic
// step, and the lock goes away with the process, so a crashed instance leaves
// nothing stale behind.
//
// The lock file is the user's own: in $XDG_RUNTIME_DIR when that is a folder
// of the user's that the user can write; else in the temp folder under the
// marker's name followed by "-" and the user id; when another user holds that
// name, in the folder of the user's settings store. A file is
// used only when it is a regular file of the user's that nobody else can
// open, so nobody else can hold the lock.
#pragma once

#include <string>

namespace platform {

// The lock file of the marker `name` for this user (created when missing).
// This and the two below throw Exception "<file>: <the system's reason>" when
// no lock file can be had, as the check is never skipped.
std::string InstanceLockPath(const std::string& name);

// True when another process holds the marker `name`; takes nothing.
bool InstanceRunning(const std::string& name);

// Takes the marker `name` for the rest of this process. False when another
// process holds it.
bool TakeInstanceLock(const std::string& name);

}  // namespace platform
