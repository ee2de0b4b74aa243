// The per-user registry store: the stand-in for HKEY_CURRENT_USER.
//
// One text file in the registry-export format holds every key and value:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Vorbel]
//   "DllPath"="/opt/vorbel/"
//   "UseJP"=dword:00000001
//
// It lives at $VORBEL_REGISTRY when that is set, else at
// ${XDG_CONFIG_HOME:-~/.config}/vorbel/registry.reg; the folder is made on the
// first write. What root (sudo) makes among a user's settings (the folder,
// the store, its lock) is the user's, as a store replaced by root stays its
// owner's. Every change rewrites the whole file through a temporary file
// beside it, fsync and rename, under an exclusive flock on the companion file
// "<store>.lock"; reads take a shared lock on it. A writer that dies midway
// leaves the old store (and its temporary file, which the next change
// removes). A store that is a symbolic link stays one: its target is what is
// read and replaced. A store file without write permission is never changed:
// writes fail and reads go on.
//
// Key and value names compare without regard to ASCII letter case and keep
// the spelling they were created with. Names are code page 932 bytes: the
// second byte of a double-byte character is never a separator or a letter.
// Values are byte strings passed through unchanged: texts are written
// between quotes with \ and " escaped (in hex(1) form when they hold a line
// break or a NUL), followed by their NUL in hex form. Values of other kinds
// (expandable texts, binary data) come only from files people bring and are
// written back as they were read.
//
// A store that does not parse is never overwritten: reads behave as for an
// empty store, writes fail with a RegistryError naming the file and the line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "Exception.h"

namespace platform {

// A store file that can't be read, parsed or replaced; says which file and
// (for a parse error) which line.
class RegistryError : public Exception {
public:
    using Exception::Exception;
};

// The registry's own type codes, as the export format writes them in hex(n).
constexpr std::uint32_t RegSz = 1, RegExpandSz = 2, RegBinary = 3, RegDword = 4;

// One value as the store keeps it: the type code and the raw data (a text
// without its NUL, a 32-bit integer as 4 little-endian bytes).
struct RegistryValue {
    std::string name;
    std::uint32_t kind = RegSz;
    std::string data;
    bool operator==(const RegistryValue&) const = default;
};

struct RegistryKey {
    std::string path;  // below the hive, components joined by '\'; "" is the hive itself
    std::vector<RegistryValue> values;
    bool operator==(const RegistryKey&) const = default;
};

// The whole store: every key once, each after the keys above it, in a fixed
// order (component by component, ignoring letter case).
using RegistryKeys = std::vector<RegistryKey>;

// Reads the export format. Throws RegistryError "line <n>: <what is wrong>".
// Keys that appear only as the parents of other keys are added, sections of
// one key are merged and a later value replaces an earlier one of that name.
RegistryKeys ParseRegistryText(std::string_view text);
// Writes the export format; ParseRegistryText gives the same keys back.
std::string FormatRegistryText(const RegistryKeys& keys);

// Path of the store file in use.
std::string RegistryStorePath();

// Makes `folder` (the folder of the store, or of a lock file beside it) and
// every missing folder above it. A folder made in another user's folder
// belongs to that folder's owner and group, where the process may give it
// away (root started with a user's settings), unless the folder it is made in
// is sticky and open to everyone, such as /tmp: there it stays the maker's.
// The store file and its lock, when they are made, go to their folder's owner
// in the same way, so that root leaves a user's settings the user's. Returns
// the system's error, or an empty code when the folder is there.
std::error_code MakeSettingsFolder(const std::string& folder);
// A file this process has just made at `path` beside the settings (open as
// `fd`) goes to its folder's owner and group in the same way.
void GiveToSettingsOwner(int fd, const std::string& path);

// An accessor in the manner of the form framework's registry object: open one
// key at a time under HKEY_CURRENT_USER, read or write its values, close it.
// Key paths are backslash-separated; a leading backslash makes a path
// absolute, otherwise it is taken below the open key (or the root when none
// is open).
class Registry {
public:
    Registry() = default;
    ~Registry() = default;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Opens `key`; with canCreate the key and every missing key above it are
    // created. False when the key is missing (and not created) or the store
    // can't be read or written.
    bool OpenKey(const std::string& key, bool canCreate);
    // Opens `key`; when it is missing, creates it (and every missing key above
    // it) holding `value` in one change of the store, so that nobody ever sees
    // the new key without the value. True when the key was created. Throws
    // RegistryError when the store can't be read or changed.
    bool OpenOrCreateKey(const std::string& key, const RegistryValue& value);
    void CloseKey();
    bool ValueExists(const std::string& name) const;

    // Readers throw RegistryError ("Invalid data type for '<name>'") when the
    // value is missing or of another type, as the framework's accessor did.
    // A text as stored; an expandable text (which the registry editor
    // exports as UTF-16LE) in code page 932, its references not expanded.
    std::string ReadString(const std::string& name) const;
    std::int32_t ReadInteger(const std::string& name) const;

    // Writers throw RegistryError when no key is open or the store can't be
    // replaced.
    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, std::int32_t value);

private:
    // The open key's value `name` as the store holds it now.
    std::optional<RegistryValue> Find(const std::string& name) const;
    void Write(const RegistryValue& value);
    // Creates the key at the full `path` with `value` (when given) unless it
    // exists; true when it was created.
    static bool CreateKey(const std::string& path, const RegistryValue* value);

    std::string current_;  // full key path below the hive, e.g. "Software\Vorbel"
    bool open_ = false;
};

}  // namespace platform
