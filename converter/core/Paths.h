// Splitting paths and file names, and the names File > Open derives from the
// bitmap's base name. Texts are bytes; only the test whether two backups would
// be one file looks at the disk.
#pragma once

#include <string>
#include <utility>

namespace strova {

// {folder with its trailing '/', file name}; no '/' gives {"", path}.
std::pair<std::string, std::string> SplitAtLastSeparator(const std::string& path);
// {base name, extension} without the dot; no '.' gives {"", name}.
std::pair<std::string, std::string> SplitAtLastDot(const std::string& name);
// The bitmap's file name without its folder and its extension.
std::string BaseNameOf(const std::string& bitmapPath);

// The output files of one bitmap and their backups, by plain concatenation of
// the folder prefixes and the base name. When AmePath and CfgPath name one
// folder, base + ".bak" would be the backup of both the *.ame and the *.cfg
// file, and step 3 would overwrite step 2's backup: the *.cfg backup is then
// base + ".cfg.bak".
struct OutputPaths {
    std::string ame, cfg, dat;
    std::string ameBackup, cfgBackup, datBackup;
};
OutputPaths DeriveOutputPaths(const std::string& amePath, const std::string& cfgPath, const std::string& base);

// Whether two paths name one file (the same text after making them absolute,
// or one name in two spellings of one existing folder).
bool NameOneFile(const std::string& a, const std::string& b);

// The relative prefix of the files kept in the current folder.
constexpr const char* CurrentFolderPrefix = "./";
// The temporary pixel file of a run.
constexpr const char* TempPixelFile = "./tmp_$$$.loc";

// True for the base names of the family's default maps, in any letter case.
bool IsReservedBaseName(const std::string& base);

}  // namespace strova
