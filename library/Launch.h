// Starting the family's sibling programs from the library folder.
#pragma once

#include <string>

namespace vorbel {

// Starts `folder` + `fileName` with the argument "-c" in the caller's current
// folder and waits until it has ended: 1, whatever its exit code. When it
// can't be started, or `folder` is empty, shows
// "<fileName>を起動できませんでした．" under "Yondrel - Error" and gives 0.
int RunSibling(const std::string& folder, const char* fileName);

}  // namespace vorbel
