#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"

using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

// Whether a child process could take the marker right now.
bool OtherProcessCanTake(const std::string& name) {
    pid_t child = fork();
    if (child == 0) _exit(platform::TakeInstanceLock(name) ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(InstanceLockTest, MarkerLivesInTheRuntimeFolderAndExcludesOthers) {
    TempDir dir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    EXPECT_EQ(platform::InstanceLockPath("Marker"), dir.file("Marker"));
    EXPECT_TRUE(OtherProcessCanTake("Marker"));  // the child's lock ended with it
    ASSERT_TRUE(platform::TakeInstanceLock("Marker"));
    EXPECT_FALSE(OtherProcessCanTake("Marker"));
    EXPECT_TRUE(OtherProcessCanTake("OtherMarker"));
}

TEST(InstanceLockTest, UnusableFolderNeverBlocksTheStart) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", "/nonexistent/folder");
    EXPECT_TRUE(platform::TakeInstanceLock("Marker"));
}

TEST(InstanceLockTest, TempFolderWithoutRuntimeFolder) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(platform::InstanceLockPath("Marker"), "/var/tmp/Marker");
}

}  // namespace
