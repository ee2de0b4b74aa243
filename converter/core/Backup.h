// Backups of output files: a step copies an existing output file to its
// backup before it overwrites anything, and a failed step puts it back.
#pragma once

#include <string>

namespace strova {

// Copies `path` over `backup` (replacing an older backup). False when the copy
// failed; the step must then stop before it writes `path`.
bool CopyToBackup(const std::string& path, const std::string& backup);
// Puts a backup back over `path` and deletes the backup. False when the
// backup could not be copied back (it is then kept).
bool RestoreFromBackup(const std::string& path, const std::string& backup);
// Deletes a file a failed step created; a missing file is fine.
void DeleteNewFile(const std::string& path);

// The message when a backup can't be put back after a failed step: the old
// contents are still in the backup (caption "Strova - Error").
std::string RestoreFailedText(const std::string& path, const std::string& backup, bool japanese);

// The message when a backup copy failed (caption "Strova - Error").
std::string BackupFailedText(const std::string& path, const std::string& backup, bool japanese);

}  // namespace strova
