#include "SafeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>

namespace platform {

void (*SafeFileCheckpoint)() = nullptr;

void Checkpoint() {
    if (SafeFileCheckpoint) SafeFileCheckpoint();
}

namespace {

// Temporaries are named ".<name>.<6 letters or digits>.tmp" in the folder of
// their final name: hidden, and recognisable when a killed run left one. A
// replaced file that a commit keeps ends in ".old" instead, so that no
// cleaner of temporaries ever takes it.
constexpr std::size_t kTagLength = 6;
constexpr const char* kTempSuffix = ".tmp";
constexpr const char* kKeptSuffix = ".old";
constexpr int kNameTries = 100;

std::string NameOf(const std::string& path) {
    const auto cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string RandomTag() {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}() ^ static_cast<unsigned>(getpid())};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string tag(kTagLength, ' ');
    for (char& c : tag) c = letters[pick(generator)];
    return tag;
}

// The temporary's name up to its tag. A final name that leaves no room for
// the rest within the longest name a folder takes is cut.
std::string TempHead(const std::string& finalName) {
    constexpr std::size_t kNameMax = 255;
    constexpr std::size_t room = kNameMax - 2 - kTagLength - std::char_traits<char>::length(kTempSuffix);
    static_assert(std::char_traits<char>::length(kKeptSuffix) == std::char_traits<char>::length(kTempSuffix));
    return "." + finalName.substr(0, room) + ".";
}

std::string TempPrefix(const std::string& target) { return ContainingFolder(target) + "/" + TempHead(NameOf(target)); }

// A new name for a temporary of `target`; taken only once a file is made under it.
std::string NewTempName(const std::string& target) { return TempPrefix(target) + RandomTag() + kTempSuffix; }

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool IsTempOf(const std::string& entry, const std::string& finalName) {
    const std::string head = TempHead(finalName);
    return entry.size() == head.size() + kTagLength + std::strlen(kTempSuffix) && entry.starts_with(head) &&
           entry.ends_with(kTempSuffix);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Makes a new temporary for `target` and locks it, so that no cleaner takes it
// for a stale one. Returns the descriptor (or -1 with errno) and sets `temp`.
int CreateTemp(const std::string& target, std::string& temp) {
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        temp = NewTempName(target);
        const int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return -1;
        struct stat mine {}, named {};
        // A cleaner may have removed the name between open and lock.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &mine) == 0 && stat(temp.c_str(), &named) == 0 &&
            SameFile(mine, named))
            return fd;
        close(fd);
    }
    errno = EEXIST;
    return -1;
}

// An existing file must be a regular file the user may write, as if it were
// overwritten in place; opening it for writing without truncating it changes
// nothing. A device or a pipe is no file to replace (and writing into one
// could block or reach a disk).
int ExistingFileError(const std::string& target) {
    struct stat info {};
    if (stat(target.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode)) return NotRegularFile;
    const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

// The owner first: giving a file away may clear set-ID bits that the mode
// then puts back. Only root may give a file away; any other user keeps at
// least the group where it is one of the user's, and else the new file is
// the user's own.
void TakeOwnerAndMode(int fd, const struct stat& model) {
    const bool given = fchown(fd, model.st_uid, model.st_gid) == 0 || fchown(fd, static_cast<uid_t>(-1), model.st_gid) == 0;
    static_cast<void>(given);
    fchmod(fd, model.st_mode & 07777);
}

}  // namespace

// The file under a stream, and the error number of the first write to it
// that failed: the stream itself keeps only that one failed.
struct SafeFile::Sink {
    int fd = -1;
    int error = 0;
    std::uint64_t written = 0;  // bytes put into the file
    std::uint64_t queued = 0;   // bytes whose writing to disk has been started
};

namespace {

// A large file is sent on to the disk while it is still being written, a
// few MiB at a time, so that the sync before the rename only waits for the
// last of it instead of for the whole file.
void StartWriteback(SafeFile::Sink& sink, std::size_t added) {
    constexpr std::uint64_t kWritebackBytes = std::uint64_t{4} << 20;
    sink.written += added;
    if (sink.written - sink.queued < kWritebackBytes) return;
    sync_file_range(sink.fd, static_cast<off_t>(sink.queued), static_cast<off_t>(sink.written - sink.queued),
                    SYNC_FILE_RANGE_WRITE);  // only a head start: the sync before the rename decides
    sink.queued = sink.written;
}

// The stream's writes reach the file through here, so that each is a point
// at which tests may stop the process.
ssize_t WriteToFd(void* cookie, const char* bytes, std::size_t size) {
    auto* sink = static_cast<SafeFile::Sink*>(cookie);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = write(sink->fd, bytes + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && sink->error == 0) sink->error = errno;
        if (put < 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
        done += static_cast<std::size_t>(put);
        Checkpoint();
    }
    StartWriteback(*sink, done);
    return static_cast<ssize_t>(done);
}

int CloseFd(void* cookie) {
    auto* sink = static_cast<SafeFile::Sink*>(cookie);
    const int result = close(sink->fd);
    delete sink;
    return result;
}

}  // namespace

// The stream owns its sink and frees it when it is closed.
std::FILE* SafeFile::StreamOn(int fd) {
    cookie_io_functions_t functions{};
    functions.write = WriteToFd;
    functions.close = CloseFd;
    auto* sink = new Sink{fd};
    std::FILE* stream = fopencookie(sink, "w", functions);
    if (!stream) delete sink;
    sink_ = stream ? sink : nullptr;
    return stream;
}

SafeFile::SafeFile(std::string path) : path_(std::move(path)) {}

SafeFile::~SafeFile() { Discard(); }

int SafeFile::Error() const { return error_ == 0 && sink_ ? sink_->error : error_; }

bool SafeFile::Fail() {
    if (error_ == 0) error_ = Error();
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
    Discard();
    return false;
}

bool SafeFile::Open(int like) {
    if (stream_) return true;
    error_ = path_.empty() ? ENOENT : FollowPermittedLinks(path_, target_);
    if (error_ == 0) error_ = ExistingFileError(target_);
    if (error_ != 0) return false;
    const int fd = OpenTemp(like);
    if (fd < 0) return Fail();
    stream_ = StreamOn(fd);
    if (!stream_) {
        close(fd);
        return Fail();
    }
    fd_ = fd;
    Checkpoint();
    return true;
}

int SafeFile::OpenTemp(int like) {
    RemoveStaleTemporaries(path_);
    const int fd = CreateTemp(target_, temp_);
    if (fd < 0) {
        temp_.clear();
        return -1;
    }
    struct stat model {};
    const bool modelled = like >= 0 ? fstat(like, &model) == 0 : stat(target_.c_str(), &model) == 0;
    if (modelled) TakeOwnerAndMode(fd, model);
    keepTimes_ = modelled && like >= 0;
    times_[0] = model.st_atim;
    times_[1] = model.st_mtim;
    return fd;
}

bool SafeFile::Write(const void* bytes, std::size_t size) {
    if (!stream_) return false;
    if (std::fwrite(bytes, 1, size, stream_) == size) return true;
    return Fail();
}

bool SafeFile::Sync() {
    if (!stream_) {
        if (error_ == 0) error_ = EBADF;
        return false;
    }
    if (synced_) return true;
    if (std::fflush(stream_) != 0 || Error() != 0) return Fail();
    if (keepTimes_ && futimens(fd_, times_) != 0) return Fail();
    if (fsync(fd_) != 0) return Fail();
    synced_ = true;
    Checkpoint();
    return true;
}

bool SafeFile::Commit() {
    if (!Rename({})) return false;
    SyncFolderOf(target_);
    return true;
}

bool SafeFile::CommitKeeping(const std::string& keepAs) { return Rename(keepAs); }

bool SafeFile::Rename(const std::string& keepAs) {
    if (!Sync()) return false;
    bool kept = false, moved = false;
    if (!keepAs.empty() && !KeepReplaced(keepAs, kept, moved)) return Fail();
    if (rename(temp_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        // The replaced file is never dropped: where it can't be moved back
        // it stays under `keepAs`.
        if (moved)
            rename(keepAs.c_str(), target_.c_str());
        else if (kept)
            unlink(keepAs.c_str());
        errno = error;
        return Fail();
    }
    temp_.clear();
    Checkpoint();
    std::fclose(stream_);
    stream_ = nullptr;
    sink_ = nullptr;
    fd_ = -1;
    return true;
}

// The file under the final name, if any, gets `keepAs` as a second name; in
// a folder that takes no second link (FAT), the file itself moves there, and
// the final name is empty until the rename.
bool SafeFile::KeepReplaced(const std::string& keepAs, bool& kept, bool& moved) {
    struct stat info {};
    if (lstat(target_.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISREG(info.st_mode)) {  // put there since Open: no file to replace
        error_ = S_ISDIR(info.st_mode) ? EISDIR : NotRegularFile;
        return false;
    }
    if (link(target_.c_str(), keepAs.c_str()) != 0) {
        if (errno == EEXIST || rename(target_.c_str(), keepAs.c_str()) != 0) return false;
        moved = true;
    }
    kept = true;
    Checkpoint();
    return true;
}

void SafeFile::Discard() {
    if (!temp_.empty()) unlink(temp_.c_str());  // while the lock still keeps cleaners off
    temp_.clear();
    error_ = Error();  // the stream's own failure outlives the stream
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    sink_ = nullptr;
    fd_ = -1;
    synced_ = false;
}

std::string SafeFile::Reason() const { return Error() != 0 ? ErrorText(Error()) : std::string(); }

int ReplaceError(const std::string& path) {
    std::string target;
    if (const int error = FollowPermittedLinks(path, target); error != 0) return error;
    if (const int error = ExistingFileError(target); error != 0) return error;
    std::string temp;
    const int fd = CreateTemp(target, temp);
    if (fd < 0) return errno;
    Checkpoint();
    unlink(temp.c_str());
    close(fd);
    return 0;
}

int SyncFolderOf(const std::string& path) {
    const int folder = open(ContainingFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return errno;
    const int error = fsync(folder) == 0 ? 0 : errno;
    close(folder);
    return error;
}

std::string NewKeptName(const std::string& target) {
    std::string name;
    do name = TempPrefix(target) + RandomTag() + kKeptSuffix;
    while (Exists(name));
    return name;
}

void RemoveStaleTemporaries(const std::string& path) {
    std::string target;
    if (FollowPermittedLinks(path, target) != 0) return;  // no writer goes through another user's link
    const std::string folder = ContainingFolder(target), name = NameOf(target);
    DIR* entries = opendir(folder.c_str());
    if (!entries) return;
    while (const dirent* entry = readdir(entries)) {
        if (!IsTempOf(entry->d_name, name)) continue;
        const std::string temp = folder + "/" + entry->d_name;
        const int fd = open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {}, named {};
        // A live writer holds its lock until it has renamed or removed the file.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && lstat(temp.c_str(), &named) == 0 &&
            SameFile(held, named) && S_ISREG(named.st_mode))
            unlink(temp.c_str());
        close(fd);
    }
    closedir(entries);
}

}  // namespace platform
