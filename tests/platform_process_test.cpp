#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "platform/Process.h"

using platform::RunAndWait;
using testing_support::ReadFile;
using testing_support::TempDir;

TEST(Process, RunsInTheGivenFolderAndReportsTheExitStatus) {
    TempDir dir;
    auto status = RunAndWait("/bin/sh", {"-c", "pwd > where.txt; exit 7"}, dir.path().string());
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 7);
    EXPECT_EQ(ReadFile(dir.path() / "where.txt"), std::filesystem::canonical(dir.path()).string() + "\n");
    EXPECT_EQ(RunAndWait("sh", {"-c", "kill -9 $$"}), 128 + 9);
}

TEST(Process, ProgramsThatCannotStart) {
    TempDir dir;
    EXPECT_FALSE(RunAndWait(dir.file("missing"), {}).has_value());
    EXPECT_FALSE(RunAndWait("no-such-program-anywhere", {}).has_value());
    EXPECT_FALSE(RunAndWait("/bin/sh", {"-c", "exit 0"}, dir.file("no-such-folder")).has_value());
    EXPECT_FALSE(RunAndWait(dir.path().string(), {}).has_value());  // a folder
}
