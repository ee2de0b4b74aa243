// Starting another program and waiting for it to end.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// Starts `program` with `arguments` (argv[1] onwards; argv[0] is `program`)
// and the caller's environment, in `folder` when it is not empty, else in the
// caller's current folder. A program name without '/' is looked up in PATH.
// Waits until the program has ended, without a time limit, and returns its
// exit status (128 + signal number when a signal ended it); nullopt when it
// could not be started (missing, not executable, no such folder).
std::optional<int> RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& folder = {});

}  // namespace platform
