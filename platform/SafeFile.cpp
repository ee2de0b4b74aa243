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

namespace {

// Temporaries are named ".<name>.<6 letters or digits>.tmp" in the folder of
// their final name: hidden, and recognisable when a killed run left one.
constexpr std::size_t kTagLength = 6;
constexpr const char* kTempSuffix = ".tmp";
constexpr int kLinkLimit = 40;
constexpr int kNameTries = 100;

void Checkpoint() {
    if (SafeFileCheckpoint) SafeFileCheckpoint();
}

std::string FolderOf(const std::string& path) {
    const auto cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

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
    return "." + finalName.substr(0, room) + ".";
}

std::string TempPrefix(const std::string& target) { return FolderOf(target) + "/" + TempHead(NameOf(target)); }

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
        temp = TempPrefix(target) + RandomTag() + kTempSuffix;
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

// An existing regular file must be writable by the user, as if it were
// overwritten in place; opening it for writing without truncating it changes
// nothing.
int ExistingFileError(const std::string& target) {
    struct stat info {};
    if (stat(target.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode)) return 0;
    const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

// A device or a pipe can't be replaced by a file: it is written directly.
bool IsSpecialFile(const std::string& target) {
    struct stat info {};
    return stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

void SyncFolder(const std::string& target) {
    const int folder = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    fsync(folder);
    close(folder);
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


// A loop of links ends after kLinkLimit links, where the rename then fails.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < kLinkLimit; ++hop) {
        char target[4096];
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length < 0) break;
        std::string link(target, static_cast<std::size_t>(length));
        path = link.starts_with('/') || path.find('/') == std::string::npos ? link : FolderOf(path) + "/" + link;
    }
    return path;
}

SafeFile::SafeFile(std::string path) : path_(std::move(path)), target_(FollowLinks(path_)) {}

SafeFile::~SafeFile() { Discard(); }

int SafeFile::Error() const { return error_ == 0 && sink_ ? sink_->error : error_; }

bool SafeFile::Fail() {
    if (error_ == 0) error_ = Error();
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
    Discard();
    return false;
}

bool SafeFile::Open() {
    if (stream_) return true;
    error_ = path_.empty() ? ENOENT : ExistingFileError(target_);
    if (error_ != 0) return false;
    direct_ = IsSpecialFile(target_);
    const int fd = direct_ ? open(target_.c_str(), O_WRONLY | O_CLOEXEC) : OpenTemp();
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

int SafeFile::OpenTemp() {
    RemoveStaleTemporaries(path_);
    const int fd = CreateTemp(target_, temp_);
    if (fd < 0) {
        temp_.clear();
        return -1;
    }
    // The new file keeps the permissions of the one it replaces.
    struct stat old {};
    if (stat(target_.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
    return fd;
}

bool SafeFile::Write(const void* bytes, std::size_t size) {
    if (!stream_) return false;
    if (std::fwrite(bytes, 1, size, stream_) == size) return true;
    return Fail();
}

bool SafeFile::Commit() {
    if (!stream_) {
        if (error_ == 0) error_ = EBADF;
        return false;
    }
    if (std::fflush(stream_) != 0) return Fail();
    if (direct_) {
        Discard();
        return true;
    }
    if (fsync(fd_) != 0) return Fail();
    Checkpoint();
    if (rename(temp_.c_str(), target_.c_str()) != 0) return Fail();
    temp_.clear();
    Checkpoint();
    SyncFolder(target_);
    std::fclose(stream_);
    stream_ = nullptr;
    sink_ = nullptr;
    fd_ = -1;
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
}

std::string SafeFile::Reason() const { return Error() != 0 ? std::strerror(Error()) : std::string(); }

std::string FinalName(const std::string& path) { return FollowLinks(path); }

int ReplaceError(const std::string& path) {
    const std::string target = FollowLinks(path);
    if (const int error = ExistingFileError(target); error != 0) return error;
    std::string temp;
    const int fd = CreateTemp(target, temp);
    if (fd < 0) return errno;
    unlink(temp.c_str());
    close(fd);
    return 0;
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::string target = FollowLinks(path);
    const std::string folder = FolderOf(target), name = NameOf(target);
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
