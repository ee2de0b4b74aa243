#include "Process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace platform {

namespace {

// The file actions of one start, released on every path.
class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    bool ChangeFolder(const std::string& folder) {
        return posix_spawn_file_actions_addchdir_np(&actions_, folder.c_str()) == 0;
    }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

int StatusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return 0;
}

}  // namespace

std::optional<int> RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& folder) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    SpawnActions actions;
    if (!folder.empty() && !actions.ChangeFolder(folder)) return std::nullopt;
    pid_t child = 0;
    bool searchPath = program.find('/') == std::string::npos;
    int error = searchPath ? posix_spawnp(&child, program.c_str(), actions.get(), nullptr, argv.data(), environ)
                           : posix_spawn(&child, program.c_str(), actions.get(), nullptr, argv.data(), environ);
    if (error != 0) return std::nullopt;

    int waitStatus = 0;
    pid_t ended;
    do {
        ended = waitpid(child, &waitStatus, 0);
    } while (ended < 0 && errno == EINTR);
    // The program ran; when its status is lost (SIGCHLD ignored by the caller)
    // it still counts as started and ended.
    return ended == child ? StatusOf(waitStatus) : 0;
}

}  // namespace platform
