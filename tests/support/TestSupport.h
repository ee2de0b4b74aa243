// Small helpers the test programs share: scratch folders, environment
// variables set for one test, whole-file reads and writes.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh empty folder below the build's test scratch area (or below
// $STROVA_SCRATCH, which a test sets for a child it starts as another user),
// removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // path() / name as text.
    std::string file(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// Sets (or with nullopt unsets) an environment variable until destroyed.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string ReadFile(const std::filesystem::path& path);
// The names of the entries of `folder`, sorted.
std::vector<std::string> FilesIn(const std::filesystem::path& folder);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The regular files of a folder by name, with their contents.
std::map<std::string, std::string> ContentsOf(const std::filesystem::path& folder);

// The disk is full while the object lives: a file can't grow beyond `bytes`,
// and a write past that fails with EFBIG ("File too large").
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// Ends the test program (SIGALRM) when the object lives longer than
// `seconds`: an open that blocks fails the test at once instead of hanging it.
class HangGuard {
public:
    explicit HangGuard(unsigned seconds);
    ~HangGuard();
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
};

// Starts `program` with `args` (after the program name) in this process's
// environment changed by `env`: a value replaces or adds a variable, nullopt
// removes it. Returns the process id.
pid_t StartProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::map<std::string, std::optional<std::string>>& env);
// The exit code of `pid` once it ends; a process still running after
// `limitSeconds` is killed and gives -1, as does one ended by a signal.
int WaitForExit(pid_t pid, int limitSeconds);

// Permission cases run as an ordinary user, whom file modes bind as they
// don't bind root: as nobody when the tests run as root (as in CI), else as
// the user running them.
uid_t OrdinaryUserId();
// That user's group: nogroup when the tests run as root, else this process's.
gid_t OrdinaryGroupId();
// Hands `path` to that user (when the tests run as root).
void GiveToOrdinaryUser(const std::filesystem::path& path);
// Runs `body` in a child process as that user; its result is the child's
// exit code (-1 when it ended otherwise).
int AsOrdinaryUser(const std::function<int()>& body);
// StartProcess as the ordinary user nobody (group nogroup, no other groups)
// when this process runs as root, else as this process's own user; either way
// the user's file permissions apply to what `program` does.
pid_t StartAsOrdinaryUser(const std::string& program, const std::vector<std::string>& args,
                          const std::map<std::string, std::optional<std::string>>& env);
// The running test program, to start one of its own tests in a child process.
std::string SelfPath();
// Lets the ordinary user write to `folder` (and pass through its parents).
void OpenToOrdinaryUser(const std::filesystem::path& folder);
// Makes `folder` a folder of the ordinary user's own, as a home or
// configuration folder is: that user's and group's, writable by that user
// alone (rwxr-xr-x), its parents passable.
void MakeOrdinaryUsersFolder(const std::filesystem::path& folder);

// Whether process `pid` holds an exclusive flock on the file at `path`, as
// /proc/locks tells (a lock that a process took, not one it inherited).
bool HoldsExclusiveLock(pid_t pid, const std::string& path);

// The program `name` as the search path finds it; empty when it is nowhere.
std::string FindOnPath(const std::string& name);

// Runs the tests `filter` of this program again on an X server of their own
// (xvfb-run, a 1024 x 768 screen), with `childVariable` set so that they know
// they are the run inside, in this environment changed by `env`. Returns
// their exit code.
int RunOnOwnDisplay(const std::string& filter, const std::string& childVariable,
                    const std::map<std::string, std::optional<std::string>>& env = {});

// The built modules' folder (where strova, libvorbel.so and libbruvik.so lie).
std::string BinDir();
std::string SourceDir();

}  // namespace testing_support
