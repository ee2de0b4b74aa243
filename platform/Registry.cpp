#include "Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "Cp932.h"
#include "Files.h"
#include "SafeFile.h"

namespace platform {

namespace {

constexpr std::string_view Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view Hive = "HKEY_CURRENT_USER";

// ---- names ----------------------------------------------------------------

// Names are code page 932 bytes: the second byte of a double-byte character
// may be a backslash or an ASCII letter and belongs to that character.
bool IsLeadByte(char c) {
    auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::size_t CharLength(std::string_view s, std::size_t i) { return IsLeadByte(s[i]) && i + 1 < s.size() ? 2 : 1; }

// A byte's place in the order of names: ASCII letters folded to lower case
// and the separator before every other byte, unless it is the second byte of
// a double-byte character.
int Rank(char c, bool trailByte) {
    auto b = static_cast<unsigned char>(c);
    if (trailByte) return b;
    if (c == '\\') return -1;
    return c >= 'A' && c <= 'Z' ? b - 'A' + 'a' : b;
}

// Orders names without regard to letter case; for key paths this is the order
// component by component, so that every key comes right after its parents.
// Up to the first difference both names have the same bytes but for letter
// case, so the two agree on which bytes are second bytes.
int CompareNames(std::string_view a, std::string_view b) {
    bool trailByte = false;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        int x = Rank(a[i], trailByte), y = Rank(b[i], trailByte);
        if (x != y) return x < y ? -1 : 1;
        trailByte = !trailByte && IsLeadByte(a[i]);
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Most names compared are spelt alike or differ in length.
bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && (a == b || CompareNames(a, b) == 0);
}

// A hash of the name with letter case folded away, so that the same name
// (SameName) has the same hash; `seed` tells names of different places apart.
std::uint64_t FoldedHash(std::string_view name, std::uint64_t seed) {
    std::uint64_t hash = 14695981039346656037u ^ seed;  // FNV-1a
    bool trailByte = false;
    for (char c : name) {
        auto folded = static_cast<unsigned char>(!trailByte && c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        hash = (hash ^ folded) * 1099511628211u;
        trailByte = !trailByte && IsLeadByte(c);
    }
    return hash;
}

// The path with its components joined by single separators: empty
// components (doubled, leading or trailing separators) are dropped.
std::string NormalPath(std::string_view path) {
    std::string normal;
    std::size_t start = 0;  // of the component being read
    auto component = [&](std::size_t end) {
        if (end == start) return;
        if (!normal.empty()) normal += '\\';
        normal.append(path.substr(start, end - start));
    };
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
        if (path[i] != '\\') continue;
        component(i);
        start = i + 1;
    }
    component(path.size());
    return normal;
}

// Calls `visit` with every key above the key at the normal `path`, the
// topmost first, and then with `path` itself.
template <typename Visit>
void ForEachKeyDownTo(std::string_view path, Visit visit) {
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
        if (path[i] == '\\') visit(path.substr(0, i));
    visit(path);
}

// Line breaks and NULs can't stand in a line of the export format.
bool FitsOneLine(std::string_view name) { return name.find_first_of(std::string_view("\r\n\0", 3)) == name.npos; }

bool KeyBefore(const RegistryKey& key, std::string_view path) { return CompareNames(key.path, path) < 0; }

// The key (of a const or a changeable store) at `path`, nullptr when missing.
// Keys are kept in order, so this is a binary search.
template <typename Keys>
auto FindKey(Keys& keys, std::string_view path) -> decltype(keys.data()) {
    auto at = std::lower_bound(keys.begin(), keys.end(), path, KeyBefore);
    return at != keys.end() && SameName(at->path, path) ? &*at : nullptr;
}

template <typename Key>
auto FindValue(Key& key, std::string_view name) -> decltype(key.values.data()) {
    for (auto& value : key.values)
        if (SameName(value.name, name)) return &value;
    return nullptr;
}

// The hive itself always exists.
bool HasKey(const RegistryKeys& keys, const std::string& path) { return path.empty() || FindKey(keys, path); }

RegistryKey& FindOrAddKey(RegistryKeys& keys, std::string_view path) {
    auto at = std::lower_bound(keys.begin(), keys.end(), path, KeyBefore);
    if (at == keys.end() || !SameName(at->path, path)) at = keys.insert(at, RegistryKey{std::string(path), {}});
    return *at;
}

// Finds or creates the key at the normal `path` and every key above it, each
// in its sorted place.
RegistryKey& EnsureKey(RegistryKeys& keys, const std::string& path) {
    RegistryKey* key = nullptr;
    ForEachKeyDownTo(path, [&](std::string_view each) { key = &FindOrAddKey(keys, each); });
    return *key;
}

// A value keeps the spelling of its name from when it was created. False
// when the value already held exactly this.
bool SetValue(RegistryKey& key, const RegistryValue& value) {
    if (RegistryValue* old = FindValue(key, value.name)) {
        if (old->kind == value.kind && old->data == value.data) return false;
        old->kind = value.kind;
        old->data = value.data;
    } else {
        key.values.push_back(value);
    }
    return true;
}

// ---- reading the export format ---------------------------------------------

RegistryError ParseError(int line, const std::string& what) {
    return RegistryError("line " + std::to_string(line) + ": " + what);
}

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    // The next line without its end and surrounding blanks; false at the end.
    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == text_.npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        auto first = line.find_first_not_of(" \t\r");
        line = first == line.npos ? std::string_view() : line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
        return true;
    }
    int Number() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits.
bool ParseHexNumber(std::string_view digits, std::uint32_t& number) {
    if (digits.empty() || digits.size() > 8) return false;
    number = 0;
    for (char c : digits) {
        if (HexDigit(c) < 0) return false;
        number = number * 16 + static_cast<std::uint32_t>(HexDigit(c));
    }
    return true;
}

// What a reading of the export format keeps of the keys and values it meets.
class StoreSink {
public:
    virtual ~StoreSink() = default;
    // A key line names the key at `path`; it is given once for every key
    // above it and then for itself, whose values follow.
    virtual void Key(std::string_view path) = 0;
    virtual void Value(RegistryValue value) = 0;
};

// Checks the whole text and hands its keys and values to a sink.
class Parser {
public:
    Parser(std::string_view text, StoreSink& sink) : in_(text), sink_(sink) {}

    void Run() {
        if (!SkipToHeader()) return;
        std::string_view line;
        while (in_.Next(line)) {
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[')
                OpenSection(line);
            else if (line[0] == '"' || line[0] == '@')
                ReadValue(line);
            else
                throw Error("expected a [key] or a \"name\"=value line");
        }
    }

private:
    RegistryError Error(const std::string& what) const { return ParseError(in_.Number(), what); }

    // False for a file with nothing in it.
    bool SkipToHeader() {
        std::string_view line;
        while (in_.Next(line)) {
            if (in_.Number() == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
            if (line.empty()) continue;
            if (line != Header) throw Error("the file does not start with \"" + std::string(Header) + "\"");
            return true;
        }
        return false;
    }

    void OpenSection(std::string_view line) {
        if (line.back() != ']') throw Error("a key line must end with ']'");
        std::string_view path = line.substr(1, line.size() - 2);
        if (path.starts_with('-')) throw Error("deleting keys is not supported");
        if (!SameName(path.substr(0, Hive.size()), Hive) || (path.size() > Hive.size() && path[Hive.size()] != '\\'))
            throw Error("keys must lie under " + std::string(Hive));
        ForEachKeyDownTo(NormalPath(path.substr(Hive.size())), [&](std::string_view key) { sink_.Key(key); });
        inKey_ = true;
    }

    void ReadValue(std::string_view line) {
        if (!inKey_) throw Error("a value must follow a [key] line");
        RegistryValue value;
        std::size_t pos = 1;
        if (line[0] == '"')
            value.name = Quoted(line, pos);
        if (pos >= line.size() || line[pos] != '=') throw Error("expected '=' after the value name");
        ReadData(line.substr(pos + 1), value);
        sink_.Value(std::move(value));
    }

    // The text of a quoted string from just after its opening quote; `pos`
    // ends after the closing quote. Only \\ and \" are escapes.
    std::string Quoted(std::string_view line, std::size_t& pos) const {
        std::string text;
        // The next quote, looked for again only once an escaped one has been
        // passed: a text of many escapes reads in time linear in its length.
        std::size_t quote = line.find('"', pos);
        while (pos < line.size()) {
            if (quote < pos) quote = line.find('"', pos);
            const std::size_t stop = std::min(line.substr(0, quote).find('\\', pos), quote);
            if (stop == line.npos) break;
            text.append(line.substr(pos, stop - pos));
            pos = stop + 1;
            if (line[stop] == '"') return text;
            if (pos >= line.size() || (line[pos] != '\\' && line[pos] != '"'))
                throw Error("a backslash in a quoted text must be written \\\\");
            text += line[pos++];
        }
        throw Error("a quoted text has no closing '\"'");
    }

    void ReadData(std::string_view data, RegistryValue& value) {
        std::uint32_t number = 0;
        if (data.starts_with('"')) {
            std::size_t pos = 1;
            value.kind = RegSz;
            value.data = Quoted(data, pos);
            if (pos != data.size()) throw Error("unexpected text after the closing '\"'");
        } else if (data.starts_with("dword:")) {
            if (!ParseHexNumber(data.substr(6), number)) throw Error("a dword needs 1 to 8 hex digits");
            value.kind = RegDword;
            for (int i = 0; i < 4; ++i) value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
        } else if (data.starts_with("hex:")) {
            value.kind = RegBinary;
            value.data = HexBytes(WithContinuations(data.substr(4)));
        } else if (data.starts_with("hex(")) {
            auto close = data.find("):");
            if (close == data.npos || !ParseHexNumber(data.substr(4, close - 4), number))
                throw Error("expected hex(<type>):");
            value.kind = number;
            value.data = HexBytes(WithContinuations(data.substr(close + 2)));
            // Texts in hex form carry their terminating NUL.
            if ((number == RegSz || number == RegExpandSz) && value.data.ends_with('\0')) value.data.pop_back();
        } else if (data == "-") {
            throw Error("deleting values is not supported");
        } else {
            throw Error("unknown kind of value");
        }
    }

    // Hex data may go on over lines that end in a backslash.
    std::string WithContinuations(std::string_view first) {
        std::string data(first);
        std::string_view line;
        while (data.ends_with('\\')) {
            data.pop_back();
            if (!in_.Next(line)) throw Error("the hex data breaks off at the end of the file");
            data += line;
        }
        return data;
    }

    std::string HexBytes(std::string_view list) const {
        std::string bytes;
        for (std::size_t pos = 0; pos < list.size(); pos += 3) {
            int high = HexDigit(list[pos]);
            int low = pos + 1 < list.size() ? HexDigit(list[pos + 1]) : -1;
            if (high < 0 || low < 0 || (pos + 2 < list.size() && list[pos + 2] != ',') || pos + 3 == list.size())
                throw Error("hex data must be two-digit bytes separated by commas");
            bytes += static_cast<char>(high * 16 + low);
        }
        return bytes;
    }

    LineReader in_;
    StoreSink& sink_;
    bool inKey_ = false;  // a key line came before
};

// The whole store. Keys and values are found by the hashes of their folded
// names as they come, and the keys are put in order once at the end, so the
// time a reading takes grows with the size of the store, not with its square.
class StoreBuilder : public StoreSink {
public:
    // Sections of one key are merged; keys that appear only as the parents of
    // other keys are there too.
    void Key(std::string_view path) override {
        const std::uint64_t hash = FoldedHash(path, 0);
        auto [from, to] = keyIndex_.equal_range(hash);
        for (auto at = from; at != to; ++at)
            if (SameName(keys_[at->second].path, path)) {
                current_ = at->second;
                return;
            }
        current_ = keys_.size();
        keyIndex_.emplace(hash, current_);
        keys_.push_back(RegistryKey{std::string(path), {}});
    }

    // A later value replaces the data of an earlier one of the same name in
    // the same key, which keeps its place and spelling.
    void Value(RegistryValue value) override {
        auto& values = keys_[current_].values;
        const std::uint64_t hash = FoldedHash(value.name, current_ + 1);
        auto [from, to] = valueIndex_.equal_range(hash);
        for (auto at = from; at != to; ++at) {
            auto [key, place] = at->second;
            if (key == current_ && SameName(values[place].name, value.name)) {
                values[place].kind = value.kind;
                values[place].data = std::move(value.data);
                return;
            }
        }
        valueIndex_.emplace(hash, std::pair(current_, values.size()));
        values.push_back(std::move(value));
    }

    RegistryKeys Keys() && {
        // A store this program wrote has its keys in order already.
        auto before = [](const RegistryKey& a, const RegistryKey& b) { return CompareNames(a.path, b.path) < 0; };
        if (!std::is_sorted(keys_.begin(), keys_.end(), before)) std::sort(keys_.begin(), keys_.end(), before);
        // An unnamed hive section without values says nothing.
        if (!keys_.empty() && keys_.front().path.empty() && keys_.front().values.empty()) keys_.erase(keys_.begin());
        return std::move(keys_);
    }

private:
    RegistryKeys keys_;  // in the order they were first named
    std::size_t current_ = 0;
    // The keys and the values (key, place among its values) by FoldedHash.
    std::unordered_multimap<std::uint64_t, std::size_t> keyIndex_;
    std::unordered_multimap<std::uint64_t, std::pair<std::size_t, std::size_t>> valueIndex_;
};

// What one read asks of the store: whether a key exists and, when a name is
// given, that value of it. Nothing else is kept.
class ValueLookup : public StoreSink {
public:
    ValueLookup(std::string path, const std::string* name) : path_(std::move(path)), name_(name) {}

    void Key(std::string_view path) override {
        inKey_ = SameName(path, path_);
        keyFound_ = keyFound_ || inKey_;
    }
    // The last value of that name counts, as it does for the whole store.
    void Value(RegistryValue value) override {
        if (inKey_ && name_ && SameName(value.name, *name_)) value_ = std::move(value);
    }

    // The hive itself always exists.
    bool KeyFound() const { return path_.empty() || keyFound_; }
    const std::optional<RegistryValue>& Found() const { return value_; }

private:
    std::string path_;
    const std::string* name_;
    bool inKey_ = false;
    bool keyFound_ = false;
    std::optional<RegistryValue> value_;
};

// ---- writing the export format ---------------------------------------------

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// Bytes as two-digit hex, wrapped the way the registry editor wraps them.
void AppendHex(std::string& out, std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::size_t lineStart = out.rfind('\n') + 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out += ',';
            if (out.size() - lineStart > 76) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
        auto b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
}

void AppendValue(std::string& out, const RegistryValue& value) {
    if (value.name.empty())
        out += '@';
    else
        AppendQuoted(out, value.name);
    out += '=';
    bool plainText = value.kind == RegSz && FitsOneLine(value.data);
    if (plainText) {
        AppendQuoted(out, value.data);
    } else if (value.kind == RegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = number * 256 + static_cast<unsigned char>(value.data[i]);
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", number);
        out += "dword:";
        out += hex;
    } else if (value.kind == RegBinary) {
        out += "hex:";
        AppendHex(out, value.data);
    } else {
        char kind[16];
        std::snprintf(kind, sizeof kind, "hex(%x):", value.kind);
        out += kind;
        bool text = value.kind == RegSz || value.kind == RegExpandSz;
        AppendHex(out, text ? value.data + '\0' : value.data);
    }
    out += '\n';
}

// ---- the store file --------------------------------------------------------

std::string SystemError(const std::string& path, const std::string& what, int error = errno) {
    return path + ": " + what + ": " + ErrorText(error);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

std::filesystem::path FolderOf(const std::string& path) {
    auto folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? "." : folder;
}

// The file the store is kept in: the end of its links, as far as they may
// be followed. Another user's link in a shared folder such as /tmp is
// refused, so that it never redirects the user's settings.
std::string StoreFile() {
    const std::string path = RegistryStorePath();
    std::string target;
    if (const int error = FollowPermittedLinks(path, target); error != 0)
        throw RegistryError(SystemError(path, "can't use the registry store", error));
    return target;
}

// The last entry of `path`.
std::string EntryName(const std::string& path) {
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A folder where everyone may make files and only a file's owner may take it
// away, such as /tmp: a file made there stays its maker's, as one given to
// the folder's owner would be that user's without the user having made it.
bool IsSharedFolder(const struct stat& folder) {
    constexpr mode_t shared = S_ISVTX | S_IWOTH;
    return (folder.st_mode & shared) == shared;
}

// A file or folder that root (sudo) makes among another user's settings
// would shut that user out of every later change: what this process has just
// made (`made`, open as `fd`) in the folder `folder` goes to that folder's
// owner and group, where the process may give it (only root may give a file
// away), unless the folder is shared. Only a file of this process's own with
// no other name is given, never a link someone made to another file. False
// when nothing was given.
bool GiveToFolderOwner(int fd, const struct stat& made, const struct stat& folder) {
    if (IsSharedFolder(folder) || made.st_uid != geteuid() || folder.st_uid == made.st_uid) return false;
    if (!S_ISDIR(made.st_mode) && (!S_ISREG(made.st_mode) || made.st_nlink != 1)) return false;
    return fchown(fd, folder.st_uid, folder.st_gid) == 0;
}

// The folder that holds `path`, open for looking up its entries (-1 when it
// can't be had), and its status in `info`. Entries looked up from it lie in
// the folder whose owner `info` names, even when someone swaps folders on
// the path meanwhile.
int OpenFolderOf(const std::string& path, struct stat& info) {
    const int folder = open(ContainingFolder(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0 && fstat(folder, &info) != 0) {
        close(folder);
        return -1;
    }
    return folder;
}

// A lock file that root (sudo) makes beside another user's store would shut
// that user out of every later change: it goes to the store's owner and
// group, or, while there is no store yet, to the folder's (as the store will),
// where the process may. Only a file of this process's own with no other
// name is given, never a link someone made to another file.
void GiveLockAway(int fd, const struct stat& lock, int folder, const struct stat& folderInfo,
                  const std::string& storePath) {
    struct stat store {};
    if (fstatat(folder, EntryName(storePath).c_str(), &store, 0) != 0) {
        if (errno == ENOENT) GiveToFolderOwner(fd, lock, folderInfo);
        return;
    }
    if (lock.st_uid == geteuid() && lock.st_nlink == 1 && (store.st_uid != lock.st_uid || store.st_gid != lock.st_gid))
        static_cast<void>(fchown(fd, store.st_uid, store.st_gid));
}

// A flock on a companion file beside the store, which (unlike the store
// itself) is never replaced.
// Writers must hold it; readers go on without it when it can't be had (in a
// folder closed to writing, say), as they only ever see whole files. It is
// never a link or a pipe: either could make the lock block or land elsewhere.
class StoreLock {
public:
    StoreLock(const std::string& storePath, int operation) {
        std::string lockPath = storePath + ".lock";
        struct stat folderInfo {};
        const int folder = OpenFolderOf(lockPath, folderInfo);
        if (folder >= 0) {
            fd_ = openat(folder, EntryName(lockPath).c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                         0600);
        }
        struct stat info {};
        int error = fd_ < 0 ? errno : fstat(fd_, &info) != 0 ? errno : S_ISREG(info.st_mode) ? 0 : NotRegularFile;
        if (error == 0) GiveLockAway(fd_, info, folder, folderInfo, storePath);
        if (folder >= 0) close(folder);
        while (error == 0 && flock(fd_, operation) != 0)
            if (errno != EINTR) error = errno;
        if (error != 0) problem_ = SystemError(storePath, "can't lock the registry store", error);
    }
    ~StoreLock() {
        if (fd_ >= 0) close(fd_);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    // Empty when the lock is held.
    const std::string& Problem() const { return problem_; }

private:
    int fd_ = -1;
    std::string problem_;
};

// A store that root (sudo) has just made in the folder of another user's
// settings goes to that folder's owner and group, as the store's folder and
// its lock do: left root's, every later change of the user would fail.
// Called under the store's lock, right after the store was first written.
void GiveNewStoreAway(const std::string& path) {
    struct stat folderInfo {};
    const int folder = OpenFolderOf(path, folderInfo);
    if (folder < 0) return;
    if (!IsSharedFolder(folderInfo) && folderInfo.st_uid != geteuid()) {
        const int fd = openat(folder, EntryName(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) GiveToSettingsOwner(fd, path);
        if (fd >= 0) close(fd);
    }
    close(folder);
}

// Hands the keys and values of the store file at `path` to `sink`; nothing
// when the file does not exist. Throws RegistryError naming the file when it
// can't be read or parsed.
void ParseStore(const std::string& path, StoreSink& sink) {
    int error = 0;
    int fd = OpenRegularFile(path, error);
    if (fd < 0) {
        if (error == ENOENT) return;
        throw RegistryError(SystemError(path, "can't read the registry store", error));
    }
    std::string text;
    struct stat info {};
    if (fstat(fd, &info) == 0) text.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[65536];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            std::string problem = SystemError(path, "can't read the registry store");
            close(fd);
            throw RegistryError(problem);
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);
    try {
        Parser(text, sink).Run();
    } catch (const RegistryError& error) {
        throw RegistryError(path + ", " + error.what());
    }
}

RegistryKeys LoadStore(const std::string& path) {
    StoreBuilder store;
    ParseStore(path, store);
    return std::move(store).Keys();
}

// Reads the store as readers do, under a shared lock when it can be had.
void ParseShared(StoreSink& sink) {
    std::string path = StoreFile();
    if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) return;
    StoreLock lock(path, LOCK_SH);
    ParseStore(path, sink);
}

// What a reader sees of the key at `path` and its value `name` (none for
// nullptr): a store that can't be read counts as empty.
ValueLookup LookUp(const std::string& path, const std::string* name) {
    ValueLookup lookup(path, name);
    try {
        ParseShared(lookup);
        return lookup;
    } catch (const RegistryError&) {
        return ValueLookup(path, name);
    }
}

// A store the user made read-only is the user's word that it must not
// change, also where the system would let it (for root).
bool IsReadOnly(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (info.st_mode & 0222) == 0;
}

// Whether a change of the store could be written now: an open for writing
// is refused, as for a key closed to the user, when it could not.
bool StoreWritable() {
    try {
        std::string path = StoreFile();
        return !IsReadOnly(path) && ReplaceError(path) == 0;
    } catch (const RegistryError&) {
        return false;
    }
}

// Writes `text` whole over the store, so that the store is always either the
// old or the new file whole; the temporaries of writers killed midway go with
// it. Messages name the store: the temporary file means nothing to the user.
void ReplaceStore(const std::string& path, const std::string& text) {
    struct stat before {};
    const bool isNew = lstat(path.c_str(), &before) != 0 && errno == ENOENT;
    SafeFile file(path);
    int error = IsReadOnly(path) ? EACCES : 0;
    if (error == 0 && !(file.Open() && file.Write(text.data(), text.size()) && file.Commit())) error = file.Error();
    if (error != 0) throw RegistryError(SystemError(path, "can't write the registry store", error));
    // A replaced store keeps its owner and group (SafeFile sees to that).
    if (isNew) GiveNewStoreAway(path);
}

// Runs `change` on the current keys under the exclusive lock and writes the
// result when it says something changed. A store that can't be read or parsed,
// or that is read-only, is left alone and the change fails.
void ChangeStore(const std::function<bool(RegistryKeys&)>& change) {
    // The lock and the store are those of the file a link points to.
    std::string path = StoreFile();
    if (const std::error_code error = MakeSettingsFolder(FolderOf(path)))
        throw RegistryError(path + ": can't create the folder: " + error.message());
    StoreLock lock(path, LOCK_EX);
    if (!lock.Problem().empty()) throw RegistryError(lock.Problem());
    RegistryKeys keys = LoadStore(path);
    if (change(keys)) ReplaceStore(path, FormatRegistryText(keys));
}

// An expandable text as the registry editor exports it: UTF-16LE code units
// up to the first NUL unit, in code page 932. The reader took the last byte
// of the terminating unit away with the NUL of a text in hex form.
std::string ExpandableText(std::string units) {
    if (units.size() % 2 != 0) units += '\0';
    for (std::size_t i = 0; i < units.size(); i += 2) {
        if (units[i] == '\0' && units[i + 1] == '\0') {
            units.resize(i);
            break;
        }
    }
    return Utf16LeToCp932(units);
}

RegistryError InvalidType(const std::string& name) {
    return RegistryError("Invalid data type for '" + name + "'");
}

}  // namespace

void GiveToSettingsOwner(int fd, const std::string& path) {
    struct stat folderInfo {}, info {};
    const int folder = OpenFolderOf(path, folderInfo);
    if (folder < 0) return;
    if (fstat(fd, &info) == 0) GiveToFolderOwner(fd, info, folderInfo);
    close(folder);
}

RegistryKeys ParseRegistryText(std::string_view text) {
    StoreBuilder store;
    Parser(text, store).Run();
    return std::move(store).Keys();
}

std::string FormatRegistryText(const RegistryKeys& keys) {
    std::string out(Header);
    out += "\n\n";
    for (const auto& key : keys) {
        if (key.path.empty() && key.values.empty()) continue;
        out += '[';
        out += Hive;
        out += (key.path.empty() ? "" : "\\") + key.path + "]\n";
        for (const auto& value : key.values) AppendValue(out, value);
        out += '\n';
    }
    return out;
}

std::string RegistryStorePath() {
    if (const char* path = std::getenv("VORBEL_REGISTRY"); path && *path) return path;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder = config && *config == '/' ? config : HomeFolder() + "/.config";
    return folder + "/vorbel/registry.reg";
}

std::error_code MakeSettingsFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path wanted = folder.empty() ? fs::path(".") : fs::path(folder);
    // The missing folders, the deepest first.
    std::vector<fs::path> missing;
    struct stat info {};
    for (fs::path at = wanted; !at.empty() && stat(at.c_str(), &info) != 0 && errno == ENOENT;) {
        missing.push_back(at);
        fs::path up = at.parent_path();
        if (up == at) break;
        at = std::move(up);
    }
    for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
        const std::string name = at->filename().string();
        if (name.empty() || name == "." || name == "..") continue;
        struct stat parentInfo {};
        const int parent = OpenFolderOf(at->string(), parentInfo);
        if (parent < 0) return {errno, std::system_category()};
        if (mkdirat(parent, name.c_str(), 0777) == 0) {
            const int made = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            struct stat madeInfo {};
            if (made >= 0 && fstat(made, &madeInfo) == 0) GiveToFolderOwner(made, madeInfo, parentInfo);
            if (made >= 0) close(made);
        } else if (errno != EEXIST) {
            const int error = errno;
            close(parent);
            return {error, std::system_category()};
        }
        close(parent);
    }
    if (stat(wanted.c_str(), &info) != 0) return {errno, std::system_category()};
    if (!S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::not_a_directory);
    return {};
}

// ---- the accessor ----------------------------------------------------------

namespace {

// The full path that `key` names from `current` (nullopt when it can't be a key name).
std::optional<std::string> Resolve(const std::string& key, const std::string& current, bool open) {
    if (!FitsOneLine(key)) return std::nullopt;
    bool absolute = !open || key.starts_with('\\');
    return NormalPath(absolute ? key : current + "\\" + key);
}

}  // namespace

bool Registry::OpenKey(const std::string& key, bool canCreate) {
    auto path = Resolve(key, current_, open_);
    if (!path) return false;
    if (canCreate) {
        try {
            // A key just created proves the store writable.
            if (!CreateKey(*path, nullptr) && !StoreWritable()) return false;
        } catch (const RegistryError&) {
            return false;
        }
    } else if (!LookUp(*path, nullptr).KeyFound()) {
        return false;
    }
    current_ = *path;
    open_ = true;
    return true;
}

bool Registry::OpenOrCreateKey(const std::string& key, const RegistryValue& value) {
    auto path = Resolve(key, current_, open_);
    if (!path || !FitsOneLine(value.name)) throw RegistryError("Failed to set data for '" + value.name + "'");
    bool created = CreateKey(*path, &value);
    current_ = *path;
    open_ = true;
    return created;
}

bool Registry::CreateKey(const std::string& path, const RegistryValue* value) {
    bool created = false;
    ChangeStore([&](RegistryKeys& keys) {
        if (HasKey(keys, path)) return false;
        RegistryKey& key = EnsureKey(keys, path);
        if (value) SetValue(key, *value);
        return created = true;
    });
    return created;
}

void Registry::CloseKey() {
    current_.clear();
    open_ = false;
}

bool Registry::ValueExists(const std::string& name) const { return Find(name).has_value(); }

std::string Registry::ReadString(const std::string& name) const {
    std::optional<RegistryValue> value = Find(name);
    if (!value || (value->kind != RegSz && value->kind != RegExpandSz)) throw InvalidType(name);
    return value->kind == RegExpandSz ? ExpandableText(value->data) : value->data;
}

std::int32_t Registry::ReadInteger(const std::string& name) const {
    std::optional<RegistryValue> value = Find(name);
    if (!value || value->kind != RegDword || value->data.size() != 4) throw InvalidType(name);
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = number * 256 + static_cast<unsigned char>(value->data[i]);
    return static_cast<std::int32_t>(number);
}

void Registry::WriteString(const std::string& name, const std::string& value) { Write({name, RegSz, value}); }

void Registry::WriteInteger(const std::string& name, std::int32_t value) {
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
    Write({name, RegDword, data});
}

std::optional<RegistryValue> Registry::Find(const std::string& name) const {
    return open_ ? LookUp(current_, &name).Found() : std::nullopt;
}

// The value goes to the open key, which is made again if it went missing.
void Registry::Write(const RegistryValue& value) {
    if (!open_ || !FitsOneLine(value.name)) throw RegistryError("Failed to set data for '" + value.name + "'");
    ChangeStore([&](RegistryKeys& keys) { return SetValue(EnsureKey(keys, current_), value); });
}

}  // namespace platform
