// A desktop for the tests that run on an X server of their own: a window
// manager that gives windows their frames and the keyboard, as a user's
// desktop does, and the user's keys and clicks sent as real X input
// (xdotool) while the program goes on handling its events.
#pragma once

#include <signal.h>
#include <sys/wait.h>

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

namespace testing_support {

// openbox on the display for as long as the object lives (scripts/install-deps.sh
// installs it and xdotool).
class WindowManager {
public:
    WindowManager() : pid_(StartProcess(FindOnPath("openbox"), {"--sm-disable"}, {})) {}
    ~WindowManager() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // Shows `window` and waits until the window manager has framed and
    // activated it.
    static bool Front(QWidget& window) {
        window.show();
        return QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }, 20000) &&
               QTest::qWaitForWindowActive(&window, 20000);
    }

private:
    pid_t pid_;
};

// Runs `script` with sh while this program handles its events (the script's
// keys may open modal windows, which run their own loops). Returns its exit
// code, -1 when it is still running after `limitSeconds` (it is killed).
inline int RunUserScript(const std::string& script, int limitSeconds) {
    pid_t pid = StartProcess("/bin/sh", {"-c", script}, {});
    int status = 0;
    if (!QTest::qWaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limitSeconds * 1000)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
