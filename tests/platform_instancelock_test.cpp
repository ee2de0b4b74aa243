#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "TestSupport.h"
#include "platform/Exception.h"

using testing_support::AsOrdinaryUser;
using testing_support::GiveToOrdinaryUser;
using testing_support::OrdinaryUserId;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

// Whether a child process could take the marker right now.
bool OtherProcessCanTake(const std::string& name) {
    pid_t child = fork();
    if (child == 0) _exit(platform::TakeInstanceLock(name) ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Takes the marker and checks that nobody else can have it meanwhile, and
// which files the lock has landed on: this process holds every one of `held`
// and none of `notHeld`. 0 when all holds (for a child's exit code).
int TakeAndHold(const std::string& name, const std::vector<std::string>& held,
                const std::vector<std::string>& notHeld = {}) {
    if (platform::InstanceRunning(name) || !OtherProcessCanTake(name)) return 2;
    if (!platform::TakeInstanceLock(name)) return 3;
    if (!platform::InstanceRunning(name) || OtherProcessCanTake(name)) return 4;
    for (const auto& path : held)
        if (!testing_support::HoldsExclusiveLock(getpid(), path)) return 5;
    for (const auto& path : notHeld)
        if (testing_support::HoldsExclusiveLock(getpid(), path)) return 6;
    return 0;
}

// A lock file of the ordinary user's: a regular file of that user's that
// nobody else may open.
bool IsUsersLockFile(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == OrdinaryUserId() &&
           (info.st_mode & 077) == 0;
}

// Settings store and temp folder of the ordinary user.
class InstanceLockAsUser : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& folder : {temp.path(), home.path()}) GiveToOrdinaryUser(folder);
        fs::permissions(temp.path(), fs::perms::all | fs::perms::sticky_bit);
    }
    TempDir temp, home;
    ScopedEnv tmpdir{"TMPDIR", temp.path().string()};
    ScopedEnv store{"VORBEL_REGISTRY", home.file("registry.reg")};
    std::string tempLock = temp.file("Marker-" + std::to_string(OrdinaryUserId()));
};

TEST(InstanceLockTest, MarkerLivesInTheRuntimeFolderAndExcludesOthers) {
    TempDir dir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    ScopedEnv tmp("TMPDIR", dir.path().string());
    EXPECT_EQ(TakeAndHold("Marker", {dir.file("Marker"), dir.file("Marker-" + std::to_string(geteuid()))}), 0);
    EXPECT_TRUE(OtherProcessCanTake("OtherMarker"));
}

// A runtime folder that is missing, not a folder, someone else's or closed
// to writing is passed over for the temp folder, never for no check at all.
TEST_F(InstanceLockAsUser, UnusableRuntimeFolderFallsBackToTheTempFolder) {
    TempDir foreign, closed;
    fs::permissions(foreign.path(), fs::perms::all);  // writable, but not the user's
    GiveToOrdinaryUser(closed.path());
    fs::permissions(closed.path(), fs::perms::owner_read | fs::perms::owner_exec);
    testing_support::WriteFile(foreign.file("file"), "");
    for (const std::string& runtime : {std::string("/nonexistent/folder"), foreign.file("file"),
                                      foreign.path().string(), closed.path().string()}) {
        ScopedEnv env("XDG_RUNTIME_DIR", runtime);
        EXPECT_EQ(AsOrdinaryUser([&] { return TakeAndHold("Marker", {tempLock, home.file("Marker")}); }), 0)
            << runtime;
        EXPECT_FALSE(fs::exists(fs::path(runtime) / "Marker")) << runtime;
    }
}

// With the temp folder unusable, the settings folder stands in; when that is
// the runtime folder too, its one file is locked once and the start goes on.
TEST(InstanceLockTest, RuntimeFolderThatIsAlsoTheSettingsFolder) {
    TempDir dir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    ScopedEnv tmp("TMPDIR", "/nonexistent/temp");
    ScopedEnv store("VORBEL_REGISTRY", dir.file("registry.reg"));
    EXPECT_EQ(TakeAndHold("Marker", {dir.file("Marker")}), 0);
    EXPECT_EQ(testing_support::FilesIn(dir.path()), std::vector<std::string>{"Marker"});
}

// Without a runtime folder the lock lands in the temp folder, under the
// marker's name and the user id, and beside the settings.
TEST(InstanceLockTest, TempFolderNameCarriesTheUserId) {
    TempDir temp, settings;
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv tmp("TMPDIR", temp.path().string());
    ScopedEnv store("VORBEL_REGISTRY", settings.file("registry.reg"));
    EXPECT_EQ(TakeAndHold("Marker", {temp.file("Marker-" + std::to_string(geteuid())), settings.file("Marker")}), 0);
    EXPECT_EQ(testing_support::FilesIn(temp.path()), std::vector<std::string>{"Marker-" + std::to_string(geteuid())});
}

// A file of that name made by someone else (a plain file, a link to a file of
// the user's, one the user could open) is never used: the lock moves to the
// folder of the user's settings, where nobody else can put anything.
TEST_F(InstanceLockAsUser, SquattedTempNameFallsBackToTheUsersOwnFolder) {
    if (OrdinaryUserId() == geteuid()) GTEST_SKIP() << "needs root to make another user's files";
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    std::string fallback = home.file("Marker");
    testing_support::WriteFile(tempLock, "");
    fs::permissions(tempLock, fs::perms::all);
    EXPECT_EQ(AsOrdinaryUser([&] { return TakeAndHold("Marker", {fallback}, {tempLock}); }), 0);

    fs::remove(tempLock);
    fs::remove(fallback);
    std::string bait = home.file("bait");
    testing_support::WriteFile(bait, "");
    GiveToOrdinaryUser(bait);
    fs::permissions(bait, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(bait, tempLock);
    EXPECT_EQ(AsOrdinaryUser([&] { return TakeAndHold("Marker", {fallback}, {bait}); }), 0);
    EXPECT_TRUE(fs::is_symlink(tempLock));

    // The user's own file that others may open would let them hold the lock.
    fs::remove(tempLock);
    fs::remove(fallback);
    testing_support::WriteFile(tempLock, "");
    GiveToOrdinaryUser(tempLock);
    fs::permissions(tempLock, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(AsOrdinaryUser([&] { return TakeAndHold("Marker", {fallback}, {tempLock}); }), 0);
}

// A pipe under the user's name would hold every start in open() until
// someone writes to it: it is passed over like any other foreign file.
TEST_F(InstanceLockAsUser, PipeUnderTheTempNameNeverHoldsTheStart) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    ASSERT_EQ(mkfifo(tempLock.c_str(), 0666), 0);
    chmod(tempLock.c_str(), 0666);
    EXPECT_EQ(AsOrdinaryUser([&] {
                  alarm(20);  // a start held in open() ends here, as a failure
                  return TakeAndHold("Marker", {home.file("Marker")});
              }),
              0);
}

// A start of root's, with its temp folder in `rootTemp`, takes the marker
// and holds it there, in a process of its own.
void RootTakesAndHolds(const TempDir& rootTemp) {
    ScopedEnv tmp("TMPDIR", rootTemp.path().string());
    const pid_t root = fork();
    if (root == 0) _exit(TakeAndHold("Marker", {rootTemp.file("Marker-0")}));
    int status = 0;
    waitpid(root, &status, 0);
    EXPECT_EQ(status, 0);
}

// Root (sudo) started with the user's settings holds its marker elsewhere
// and leaves no file of its own in the user's folder, where the user's
// starts could then never lock: the user's next start holds it there.
TEST_F(InstanceLockAsUser, RootLeavesTheUsersSettingsFolderToTheUser) {
    if (OrdinaryUserId() == geteuid()) GTEST_SKIP() << "needs root to start as another user";
    TempDir rootTemp;
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    RootTakesAndHolds(rootTemp);
    EXPECT_FALSE(fs::exists(home.file("Marker")));
    ScopedEnv noTemp("TMPDIR", "/nonexistent/temp");
    EXPECT_EQ(AsOrdinaryUser([&] { return TakeAndHold("Marker", {home.file("Marker")}); }), 0);
}

// Root's first start with a user's settings whose folder is not there yet
// (sudo with the user's XDG_CONFIG_HOME) makes that folder the user's: root
// puts no lock file into it, and the user's next start holds its lock there.
TEST_F(InstanceLockAsUser, RootMakesTheUsersNewSettingsFolderTheUsers) {
    if (OrdinaryUserId() == geteuid()) GTEST_SKIP() << "needs root to start as another user";
    TempDir rootTemp;
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv noStore("VORBEL_REGISTRY", std::nullopt);
    ScopedEnv config("XDG_CONFIG_HOME", home.file("config"));
    const std::string settings = home.file("config/vorbel");
    RootTakesAndHolds(rootTemp);
    for (const std::string& folder : {home.file("config"), settings}) {
        struct stat info {};
        ASSERT_EQ(stat(folder.c_str(), &info), 0) << folder;
        EXPECT_TRUE(S_ISDIR(info.st_mode)) << folder;
        EXPECT_EQ(info.st_uid, OrdinaryUserId()) << folder;
        EXPECT_EQ(info.st_gid, testing_support::OrdinaryGroupId()) << folder;
    }
    EXPECT_EQ(testing_support::FilesIn(settings), std::vector<std::string>{});
    ScopedEnv noTemp("TMPDIR", "/nonexistent/temp");
    EXPECT_EQ(AsOrdinaryUser([&] { return TakeAndHold("Marker", {settings + "/Marker"}); }), 0);
    EXPECT_TRUE(IsUsersLockFile(settings + "/Marker"));
}

// In a sticky folder open to everyone a settings folder that root makes stays
// root's, as would a file: there root holds its lock beside the settings.
TEST(InstanceLockTest, ASettingsFolderMadeInASharedFolderStaysTheMakers) {
    if (OrdinaryUserId() == geteuid()) GTEST_SKIP() << "needs root to make another user's folder";
    TempDir shared, temp;
    GiveToOrdinaryUser(shared.path());
    fs::permissions(shared.path(), fs::perms::all | fs::perms::sticky_bit);
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv tmp("TMPDIR", temp.path().string());
    ScopedEnv store("VORBEL_REGISTRY", shared.file("vorbel/registry.reg"));
    EXPECT_EQ(TakeAndHold("Marker", {temp.file("Marker-0"), shared.file("vorbel/Marker")}), 0);
    struct stat info {};
    ASSERT_EQ(stat(shared.file("vorbel").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
}

TEST(InstanceLockTest, NoLockFileAnywhereIsAnErrorWithTheReason) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv tmp("TMPDIR", "/nonexistent/temp");
    ScopedEnv store("VORBEL_REGISTRY", "/proc/nonexistent/registry.reg");
    for (auto* test : {platform::TakeInstanceLock, platform::InstanceRunning}) {
        try {
            test("Marker");
            ADD_FAILURE() << "an instance test without a lock file must fail";
        } catch (const platform::Exception& error) {
            EXPECT_EQ(std::string(error.what()), "/proc/nonexistent/Marker: No such file or directory");
        }
    }
}

}  // namespace
