#include "core/StepJournal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "core/FileIo.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/SafeFile.h"

namespace strova {

namespace {

// A journal is a run of fields, each ended by a NUL, so that any path can be
// one: the header, then "name" records (a path), "replace" records (target,
// kept, temp, device, inode, size, modification time) and at last
// "committed". A record cut short by a
// power cut is not read.
constexpr const char* kHeader = "strova step journal 1";
constexpr const char* kPrefix = "strova.";
constexpr const char* kSuffix = ".journal";

std::string Field(const std::string& text) { return text + '\0'; }

std::string NameRecord(const std::string& path) { return Field("name") + Field(path); }

std::string ReplaceRecord(const Replacement& r) {
    return Field("replace") + Field(r.target) + Field(r.kept) + Field(r.temp) + Field(std::to_string(r.device)) +
           Field(std::to_string(r.inode)) + Field(std::to_string(r.size)) + Field(std::to_string(r.modified));
}

std::vector<std::string> Fields(const std::string& bytes) {
    std::vector<std::string> fields;
    for (std::size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(bytes.substr(start, end - start));
    return fields;
}

std::string Absolute(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return absolute.empty() ? path : absolute.string();
}

bool Same(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes `path`, gone already or not; 0 or the error number.
int RemoveFile(const std::string& path) {
    const int error = ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
    platform::Checkpoint();
    return error;
}

int Rename(const std::string& from, const std::string& to) {
    const int error = ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    platform::Checkpoint();
    return error;
}

bool IsMade(const struct stat& file, const Replacement& r) {
    const FileIdentity identity = IdentityOf(file);
    return S_ISREG(file.st_mode) && identity.device == r.device && identity.inode == r.inode &&
           identity.size == r.size && identity.modified == r.modified;
}

// Puts the earlier file of one replacement back under its name, wherever
// the step was cut: 0, or the reason it could not.
int PutBack(const Replacement& r) {
    struct stat now {}, kept {};
    const bool present = ::lstat(r.target.c_str(), &now) == 0;
    const bool hasKept = !r.kept.empty() && ::lstat(r.kept.c_str(), &kept) == 0;
    if (present && IsMade(now, r))  // the new file is in place
        // where there was none before, or none once another program removed it
        return hasKept ? Rename(r.kept, r.target) : RemoveFile(r.target);
    RemoveFile(r.temp);  // one that can't go holds nothing of the user's
    if (!hasKept) return 0;
    if (!present) return Rename(r.kept, r.target);  // it had been moved aside
    if (Same(now, kept)) return RemoveFile(r.kept);  // a second name of the file still in place
    return EEXIST;  // another file took the name meanwhile: the earlier one stays where it is kept
}

// A journal names files to put back and to remove: only one the user made
// is followed, never one another user planted beside the settings (the
// folder may be shared), and only once no live step holds it.
bool MaySettle(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() &&
           ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

}  // namespace

StepJournal::StepJournal(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

StepJournal::~StepJournal() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<StepJournal> StepJournal::Create(const std::string& folder, const std::vector<std::string>& names,
                                                 int& error) {
    std::string path = folder + "/" + kPrefix + "XXXXXX" + kSuffix;
    const int fd = ::mkostemps(path.data(), static_cast<int>(std::char_traits<char>::length(kSuffix)), O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    ::flock(fd, LOCK_EX);  // a start of another user of the same settings leaves a live step alone
    platform::GiveToSettingsOwner(fd, path);  // a start as the user must settle what root's run left
    std::unique_ptr<StepJournal> journal(new StepJournal(path, fd));
    std::string bytes = Field(kHeader);
    for (const std::string& name : names) {
        journal->names_.push_back(Absolute(name));
        bytes += NameRecord(journal->names_.back());
    }
    // Not synced yet: until the first record, the step has made nothing but
    // temporaries, which hold nothing of the user's.
    error = journal->Append(bytes, false);
    if (error == 0) return journal;
    journal->Remove();
    return nullptr;
}

std::unique_ptr<StepJournal> StepJournal::Read(const std::string& path) {
    int error = 0;
    const int fd = platform::OpenRegularFile(path, error);
    if (fd < 0) return nullptr;
    if (!MaySettle(fd)) {
        ::close(fd);
        return nullptr;
    }
    std::string bytes;
    char buffer[1 << 12];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<std::size_t>(got));
    std::unique_ptr<StepJournal> journal(new StepJournal(path, fd));
    const std::vector<std::string> fields = Fields(bytes);
    // An empty one is a journal a kill cut before its first line; a file of
    // other bytes is someone else's.
    if (!bytes.empty() && (fields.empty() || fields.front() != kHeader)) return nullptr;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const std::size_t left = fields.size() - i - 1;
        if (fields[i] == "name" && left >= 1) {
            journal->names_.push_back(fields[++i]);
        } else if (fields[i] == "replace" && left >= 7) {
            const auto number = [&](std::size_t k) { return std::strtoull(fields[i + k].c_str(), nullptr, 10); };
            const auto time = static_cast<std::int64_t>(std::strtoll(fields[i + 7].c_str(), nullptr, 10));
            journal->replacements_.push_back(
                {fields[i + 1], fields[i + 2], fields[i + 3], number(4), number(5), number(6), time});
            i += 7;
        } else if (fields[i] == "committed") {
            journal->committed_ = true;
        }
    }
    return journal;
}

int StepJournal::Append(const std::string& bytes, bool sync) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return errno;
        done += static_cast<std::size_t>(put);
    }
    const int error = !sync || ::fsync(fd_) == 0 ? 0 : errno;
    platform::Checkpoint();
    return error;
}

int StepJournal::Record(const std::vector<Replacement>& replacements) {
    std::string bytes;
    for (Replacement r : replacements) {
        r.target = Absolute(r.target);
        r.kept = r.kept.empty() ? r.kept : Absolute(r.kept);
        r.temp = Absolute(r.temp);
        bytes += ReplaceRecord(r);
        replacements_.push_back(std::move(r));
    }
    const int error = Append(bytes, true);
    return error != 0 ? error : platform::SyncFolderOf(path_);  // the journal itself is found after a power cut
}

int StepJournal::MarkCommitted() {
    committed_ = true;
    return Append(Field("committed"), true);
}

std::vector<KeptFile> StepJournal::Settle() {
    if (!committed_) return RollBack();
    Finish();
    return {};
}

std::vector<KeptFile> StepJournal::RollBack() {
    std::vector<KeptFile> kept;
    for (auto r = replacements_.rbegin(); r != replacements_.rend(); ++r)
        if (const int error = PutBack(*r); error != 0) kept.push_back({r->target, r->kept, error});
    RemoveTemporaries();
    if (kept.empty()) Remove();
    return kept;
}

void StepJournal::Finish() {
    for (const Replacement& r : replacements_)
        if (!r.kept.empty()) RemoveFile(r.kept);
    RemoveTemporaries();
    Remove();
}

void StepJournal::RemoveTemporaries() const {
    for (const std::string& name : names_) platform::RemoveStaleTemporaries(name);
}

// Removed while its lock still keeps other starts off it.
void StepJournal::Remove() {
    RemoveFile(path_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Replacement ReplacementOf(const std::string& target, const std::string& kept, const std::string& temp) {
    const FileIdentity made = IdentityOf(temp);
    return {target, kept, temp, made.device, made.inode, made.size, made.modified};
}

std::string StepJournalFolder() { return platform::ContainingFolder(platform::RegistryStorePath()); }

std::vector<KeptFile> RecoverSteps(const std::string& folder) {
    std::vector<KeptFile> kept;
    DIR* entries = ::opendir(folder.c_str());
    if (!entries) return kept;
    std::vector<std::string> journals;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string name = entry->d_name;
        if (name.starts_with(kPrefix) && name.ends_with(kSuffix)) journals.push_back(folder + "/" + name);
    }
    ::closedir(entries);
    for (const std::string& path : journals)
        if (const std::unique_ptr<StepJournal> journal = StepJournal::Read(path)) {
            std::vector<KeptFile> left = journal->Settle();
            kept.insert(kept.end(), left.begin(), left.end());
        }
    return kept;
}

std::string KeptFileText(const KeptFile& kept, bool japanese, const std::string& lineBreak) {
    const std::string reason = ReasonOnNewLine(kept.error, japanese, lineBreak);
    if (japanese)
        return "<" + kept.path + ">" + lineBreak + "を元に戻せません．" + reason + lineBreak + "元のﾌｧｲﾙは <" +
               kept.keptAs + "> にあります．";
    return "<" + kept.path + "> can't be put back." + reason + lineBreak + "Its earlier file is kept as <" +
           kept.keptAs + ">.";
}

}  // namespace strova
