// Folder search with wildcard patterns and the attributes, times and sizes of
// the entries found, in the terms the family's code uses for them; and the
// rules for opening a file that a program reads or replaces: symbolic links
// followed only where the user may trust them, and never an open that blocks.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Attribute bits of a found entry.
enum : std::uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faNormal = 0x80,       // an entry that is neither a regular file nor a folder
    faAnyKnown = 0x3F,     // every bit a plain file or folder can carry
};

// A regular file is faArchive, plus faReadOnly when the user can't write it
// and faHidden when its name starts with a dot; a folder is faDirectory (plus
// faHidden for a leading dot); any other kind (device, pipe, socket, broken
// link) is faNormal alone, outside faAnyKnown. Symbolic links count as what
// they point to.
std::uint32_t FileAttributes(const std::filesystem::path& path);

// One entry of a folder search.
struct FoundFile {
    std::string name;          // file name with extension, no folder
    std::uint32_t attributes;  // see FileAttributes
    std::uint64_t size;        // bytes; 0 for anything but a regular file
    std::tm lastWrite;         // last change, local time
};

// True when `name` matches `pattern`, where '*' stands for any run of
// characters and '?' for any one; letters compare without regard to case.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// The entries of a folder that match a pattern such as "/data/tmp/*.uf1":
// the text after the last '/' is the wildcard, the text before it the folder
// (the current folder when there is no '/'). Every kind of entry is returned,
// hidden ones and folders included, sorted by name. A folder that is missing
// or can't be read gives no entries.
std::vector<FoundFile> FindFiles(const std::string& pattern);

// Refusals of a file that is read or replaced, beside the system's error
// numbers (which are positive).
enum FileRefusal : int {
    NotRegularFile = -1,  // a pipe, a device or a socket where a file belongs
    ForeignLink = -2,     // another user's symbolic link in a shared folder
};
// The text of a system error number or of a refusal, such as "Permission
// denied" or "Not a regular file".
std::string ErrorText(int error);

// The folder that the last entry of `path` lies in ("." for a bare name).
std::string ContainingFolder(const std::string& path);

// `path` with every symbolic link on it followed, those to a folder on the
// way as well as the last one, to the file it ends at (which need not exist);
// a loop of links ends after 40 links. A link is followed only where the
// kernel's protected-symlinks rule would follow it: the link is the user's
// own, or its folder is not both sticky and world-writable, or the folder's
// owner made the link. Returns 0,
// or ForeignLink for another user's link in a shared folder such as /tmp
// (`target` is then the link), or ELOOP for a loop of links.
int FollowPermittedLinks(const std::string& path, std::string& target);

// Opens an existing regular file for reading without ever blocking: links are
// followed as FollowPermittedLinks allows, and anything but a regular file is
// refused (a folder with EISDIR, a pipe or a device with NotRegularFile).
// Returns the descriptor, or -1 with the reason in `error`.
int OpenRegularFile(const std::string& path, int& error);

}  // namespace platform
