// The benchmark program where it can't write its files: it ends with the
// file or folder and the system's reason, and the exit code 1, never with a
// crash or a figure it could not measure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace {

using testing_support::TempDir;

struct Ended {
    int code;  // -1 when it did not end by itself
    std::string errors;
};

// strova_bench --quick with `temp` as its temp folder, started by the shell
// command `launch`, in which "$0" is the program and "$1" the temp folder.
Ended RunBench(const std::string& launch, const std::string& temp) {
    TempDir dir;
    const std::string errors = dir.file("errors");
    const pid_t pid = testing_support::StartProcess(
        "/bin/sh", {"-c", launch + " >/dev/null 2>\"$2\"", testing_support::BinDir() + "/strova_bench", temp, errors},
        {{"TMPDIR", temp}});
    const int code = testing_support::WaitForExit(pid, 120);
    return {code, testing_support::ReadFile(errors)};
}

TEST(BenchProgram, ATempFolderClosedToWritingIsNamed) {
    TempDir temp;
    testing_support::OpenToOrdinaryUser(temp.path());
    std::filesystem::permissions(temp.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                                  std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const std::string asUser = geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
    const Ended ended = RunBench("exec " + asUser + "\"$0\" --quick", temp.path().string());
    EXPECT_EQ(ended.code, 1);
    EXPECT_EQ(ended.errors.rfind("strova_bench: ", 0), 0u) << ended.errors;
    EXPECT_NE(ended.errors.find(temp.path().string() + "/strova_bench."), std::string::npos) << ended.errors;
    EXPECT_NE(ended.errors.find("Permission denied"), std::string::npos) << ended.errors;
}

// A temp folder of 3 MiB holds the map and the first pixel file, not the
// production's: that step says why it failed, and nothing after it runs.
TEST(BenchProgram, AFullTempFolderEndsTheRunWithTheReason) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small temp folder";
    TempDir temp;
    const Ended ended = RunBench("exec unshare -m sh -c 'mount -t tmpfs -o size=3m tmpfs \"$1\" && exec \"$0\" --quick' "
                                 "\"$0\" \"$1\"",
                                 temp.path().string());
    EXPECT_EQ(ended.code, 1);
    EXPECT_NE(ended.errors.find("/prod.loc> can't be written. No space left on device\n"), std::string::npos)
        << ended.errors;
    EXPECT_NE(ended.errors.find("strova_bench: the production scan failed"), std::string::npos) << ended.errors;
}

}  // namespace
