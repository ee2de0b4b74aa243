// Splitting paths and file names, and the names File > Open derives from the
// bitmap's base name. Texts are bytes; nothing here touches the disk.
#pragma once

#include <string>
#include <utility>

namespace strova {

// {folder with its trailing '/', file name}; no '/' gives {"", path}.
std::pair<std::string, std::string> SplitAtLastSeparator(const std::string& path);
// {base name, extension} without the dot; no '.' gives {"", name}.
std::pair<std::string, std::string> SplitAtLastDot(const std::string& name);

// The output files of one bitmap and their backups, by plain concatenation of
// the folder prefixes and the base name.
struct OutputPaths {
    std::string ame, cfg, dat;
    std::string ameBackup, cfgBackup, datBackup;
};
OutputPaths DeriveOutputPaths(const std::string& amePath, const std::string& cfgPath, const std::string& base);

// The relative prefix of the files kept in the current folder.
constexpr const char* CurrentFolderPrefix = "./";
// The temporary pixel file of a run.
constexpr const char* TempPixelFile = "./tmp_$$$.loc";

// True for the base names of the family's default maps, in any letter case.
bool IsReservedBaseName(const std::string& base);

}  // namespace strova
