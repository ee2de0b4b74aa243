// The single-instance marker: advisory locks on files named after the
// marker. Testing for another instance and marking this one are one atomic
// step, and the lock goes away with the process, so a crashed instance leaves
// nothing stale behind.
//
// The lock files are the user's own: one in $XDG_RUNTIME_DIR when that is a
// folder of the user's that the user can write, one in the temp folder under
// the marker's name followed by "-" and the user id, and one in the folder of
// the user's settings store. A start holds every one it can have: the last is
// the same for every start of the user, with or without a runtime folder and
// whatever the temp folder, and no other user can take it away or stand in
// its place. A file is used only when it is a regular file of the user's
// that nobody else can open, so nobody else can hold the lock, in a folder
// of the user's or a sticky one, so nobody else can take it away (and root
// leaves nothing of its own in a user's settings folder: when it makes that
// folder, the folder is the user's).
#pragma once

#include <string>

namespace platform {

// Both create the lock files when missing, and throw Exception "<file>: <the
// system's reason>" (the last place tried) when no lock file can be had, as
// the check is never skipped.

// True when another process holds the marker `name`; takes nothing.
bool InstanceRunning(const std::string& name);

// Takes the marker `name` for the rest of this process. False when another
// process holds it.
bool TakeInstanceLock(const std::string& name);

}  // namespace platform
