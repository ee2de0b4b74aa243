#include "TestSupport.h"

#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const char* scratch = std::getenv("STROVA_SCRATCH");
    path_ = std::filesystem::path(scratch ? scratch : STROVA_TEST_TMP) /
            ("t" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const { return (path_ / name).string(); }

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    if (value)
        setenv(name_.c_str(), value->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    out << bytes;
}

std::map<std::string, std::string> ContentsOf(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadFile(entry.path());
    return files;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_;
    small.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) throw std::runtime_error("cannot limit the file size");
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
}

HangGuard::HangGuard(unsigned seconds) { alarm(seconds); }
HangGuard::~HangGuard() { alarm(0); }

pid_t StartProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::map<std::string, std::optional<std::string>>& env) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        std::size_t eq = text.find('=');
        if (eq != std::string::npos) merged[text.substr(0, eq)] = text.substr(eq + 1);
    }
    for (const auto& [name, value] : env) {
        if (value)
            merged[name] = *value;
        else
            merged.erase(name);
    }
    std::vector<std::string> entries;
    for (const auto& [name, value] : merged) entries.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        throw std::runtime_error("cannot start " + program);
    return pid;
}

int WaitForExit(pid_t pid, int limitSeconds) {
    for (int i = 0; i < limitSeconds * 10; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

namespace {
constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;
bool IsRoot() { return geteuid() == 0; }
}  // namespace

uid_t OrdinaryUserId() { return IsRoot() ? Nobody : geteuid(); }
gid_t OrdinaryGroupId() { return IsRoot() ? NoGroup : getegid(); }

void GiveToOrdinaryUser(const std::filesystem::path& path) {
    if (IsRoot() && lchown(path.c_str(), Nobody, NoGroup) != 0)
        throw std::runtime_error("cannot hand " + path.string() + " to nobody");
}

int AsOrdinaryUser(const std::function<int()>& body) {
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot fork");
    if (child == 0) {
        if (IsRoot() && (setgroups(0, nullptr) != 0 || setgid(NoGroup) != 0 || setuid(Nobody) != 0)) _exit(120);
        int result = 121;
        try {
            result = body();
        } catch (...) {
        }
        _exit(result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

pid_t StartAsOrdinaryUser(const std::string& program, const std::vector<std::string>& args,
                          const std::map<std::string, std::optional<std::string>>& env) {
    if (geteuid() != 0) return StartProcess(program, args, env);
    std::vector<std::string> words = {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program};
    words.insert(words.end(), args.begin(), args.end());
    return StartProcess("/usr/bin/setpriv", words, env);
}

std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

void OpenToOrdinaryUser(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::all);
    for (fs::path up = folder.parent_path(); !up.empty() && up != up.root_path(); up = up.parent_path())
        fs::permissions(up, fs::perms::others_exec, fs::perm_options::add);
}

bool HoldsExclusiveLock(pid_t pid, const std::string& path) {
    struct stat file {};
    if (stat(path.c_str(), &file) != 0) return false;
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF", the inode last of the
    // device field; a waiting lock ("1: -> FLOCK ...") is not held. Only the
    // inode is compared: on an overlay file system the lock names the device
    // below, not the one stat gives.
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream words(line);
        std::string number, kind, mode, access, device;
        pid_t holder = 0;
        words >> number >> kind >> mode >> access >> holder >> device;
        const std::string inode = device.substr(device.rfind(':') + 1);
        if (kind == "FLOCK" && access == "WRITE" && holder == pid && inode == std::to_string(file.st_ino))
            return true;
    }
    return false;
}

void MakeOrdinaryUsersFolder(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    OpenToOrdinaryUser(folder);
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    GiveToOrdinaryUser(folder);
}

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::filesystem::path candidate = std::filesystem::path(folders.substr(start, end - start)) / name;
        if (std::filesystem::exists(candidate)) return candidate.string();
        start = end + 1;
    }
    return {};
}

int RunOnOwnDisplay(const std::string& filter, const std::string& childVariable,
                    const std::map<std::string, std::optional<std::string>>& env) {
    std::map<std::string, std::optional<std::string>> inside = env;
    inside[childVariable] = "1";
    inside["QT_QPA_PLATFORM"] = std::nullopt;
    // timeout ends the X server with the tests inside (its whole process
    // group) before ctest's own limit would end this program alone.
    pid_t pid = StartProcess(FindOnPath("timeout"),
                             {"-s", "KILL", "240", FindOnPath("xvfb-run"), "-a", "-s", "-screen 0 1024x768x24",
                              SelfPath(), "--gtest_filter=" + filter},
                             inside);
    return WaitForExit(pid, 250);
}

std::string BinDir() { return STROVA_BIN_DIR; }
std::string SourceDir() { return STROVA_SOURCE_DIR; }

}  // namespace testing_support
