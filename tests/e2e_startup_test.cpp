// Strova's start-up as a user meets it: the program started as a process with
// its own settings store, instance-lock folder and message log.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "TestSupport.h"
#include "core/StepJournal.h"
#include "platform/InstanceLock.h"
#include "platform/Module.h"
#include "platform/ModuleNames.h"
#include "platform/SafeFile.h"

namespace {

using testing_support::BinDir;
using testing_support::GiveToOrdinaryUser;
using testing_support::OrdinaryUserId;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace fs = std::filesystem;

class StartupTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string store = dir.file("registry.reg");
    std::string boxes = dir.file("boxes.log");

    void SetUp() override { fs::permissions(dir.path(), fs::perms::owner_all); }  // a proper runtime folder

    using Env = std::map<std::string, std::optional<std::string>>;

    Env Environment(const Env& changes) const {
        Env env = {{"VORBEL_REGISTRY", store},
                   {"XDG_RUNTIME_DIR", dir.path().string()},
                   {"TMPDIR", dir.path().string()},
                   {"VORBEL_MESSAGE_LOG", boxes},
                   {"QT_QPA_PLATFORM", "offscreen"},
                   {"LC_ALL", "C.UTF-8"},
                   {"LD_LIBRARY_PATH", std::nullopt}};
        for (const auto& [name, value] : changes) env[name] = value;
        return env;
    }

    pid_t Start(const Env& changes = {}) {
        return testing_support::StartProcess(BinDir() + "/strova", {}, Environment(changes));
    }
    // The same as the ordinary user, whom file modes bind.
    pid_t StartAsUser(const Env& changes = {}) {
        return testing_support::StartAsOrdinaryUser(BinDir() + "/strova", {}, Environment(changes));
    }

    // Exit code of a start that ends by itself (-1 when it had to be stopped).
    int RunToEnd(const Env& changes = {}) { return testing_support::WaitForExit(Start(changes), 60); }
    int RunToEndAsUser(const Env& changes = {}) { return testing_support::WaitForExit(StartAsUser(changes), 60); }

    std::string Boxes() const { return fs::exists(boxes) ? ReadFile(boxes) : std::string(); }

    void WriteStore(const std::string& body) {
        WriteFile(store, "Windows Registry Editor Version 5.00\r\n\r\n" + body);
    }
};

const std::string InvokedAlready = "Strova - Error\t0x10\t\"Strova\" has been invoked already.\n";

// Whether `pid` holds the exclusive flock of the file at `path`.
bool HoldsLock(pid_t pid, const std::string& path) { return testing_support::HoldsExclusiveLock(pid, path); }

// A started instance, stopped when the test leaves it, however it leaves.
class Instance {
public:
    explicit Instance(pid_t pid) : pid_(pid) {}
    ~Instance() {
        if (Ended()) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    pid_t pid() const { return pid_; }
    // Whether it has ended; then `Status` is its wait status.
    bool Ended() {
        if (!ended_) ended_ = waitpid(pid_, &status_, WNOHANG) == pid_;
        return ended_;
    }
    int Status() const { return status_; }

private:
    pid_t pid_;
    bool ended_ = false;
    int status_ = 0;
};

// Waits until `instance` has taken its marker at `lockPath`, that is, until
// it runs; false when it ended or never got there.
bool WaitUntilRunning(Instance& instance, const std::string& lockPath) {
    for (int i = 0; i < 600; ++i) {
        if (HoldsLock(instance.pid(), lockPath)) return true;
        if (instance.Ended()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool MapsHold(pid_t pid, const std::string& path) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(path) != std::string::npos) return true;
    return false;
}

TEST_F(StartupTest, SecondInstanceIsToldAndLeavesEverythingAlone) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    ScopedEnv temp("TMPDIR", dir.path().string());
    ASSERT_TRUE(platform::TakeInstanceLock(platform::StrovaInstanceLockName));
    EXPECT_EQ(RunToEnd(), 0);
    EXPECT_EQ(Boxes(), "Strova - Error\t0x10\t\"Strova\" has been invoked already.\n");
    EXPECT_FALSE(fs::exists(store));  // the registry was never touched
}

TEST_F(StartupTest, FirstStartStoresTheProgramFolderAndLoadsTheLibraryFromIt) {
    pid_t pid = Start();
    std::string library = BinDir() + "/" + platform::LibraryFileName;
    bool loaded = false;
    for (int i = 0; i < 600 && !loaded; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        loaded = fs::exists(store) && ReadFile(store).find("UseJP") != std::string::npos && MapsHold(pid, library);
    }
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "strova ended during start-up";
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    EXPECT_TRUE(loaded);
    std::string text = ReadFile(store);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Vorbel]\n\"DllPath\"=\"" + BinDir() + "/\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\n\"UseJP\"=dword:00000000"),
              std::string::npos)
        << text;
    EXPECT_EQ(Boxes(), "");
}

TEST_F(StartupTest, MissingLibraryIsReportedAndEndsWithZero) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=\"" + dir.file("nowhere/") + "\"\r\n");
    std::string before = ReadFile(store);
    EXPECT_EQ(RunToEnd(), 0);
    EXPECT_EQ(Boxes(), "strova\t0x10\t" + dir.file("nowhere/") +
                           "libvorbel.so can't be loaded.\rTerminate with the error.\n");
    EXPECT_EQ(ReadFile(store), before);
}

TEST_F(StartupTest, DllPathWithoutTrailingSeparatorIsJoinedUnchanged) {
    fs::create_directories(dir.file("lib"));
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=\"" + dir.file("lib") + "\"\r\n");
    EXPECT_EQ(RunToEnd(), 0);
    EXPECT_EQ(Boxes(), "strova\t0x10\t" + dir.file("liblibvorbel.so") +
                           " can't be loaded.\rTerminate with the error.\n");
}

// A missing DllPath is an empty prefix: the library is looked for by its bare
// name, and nothing is written to fill the value in.
TEST_F(StartupTest, MissingDllPathLoadsTheLibraryByItsBareName) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"TmpPath\"=\"\"\r\n");
    std::string before = ReadFile(store);
    EXPECT_EQ(RunToEnd(), 0);
    EXPECT_EQ(Boxes(), "strova\t0x10\tlibvorbel.so can't be loaded.\rTerminate with the error.\n");
    EXPECT_EQ(ReadFile(store), before);
}

TEST_F(StartupTest, ForeignLibraryIsReportedInsteadOfCalled) {
    // A loadable library that is not Vorbel: it lacks every export Strova binds.
    fs::create_directories(dir.file("foreign"));
    std::string libm;
    for (const char* candidate : {"/lib/x86_64-linux-gnu/libm.so.6", "/usr/lib/x86_64-linux-gnu/libm.so.6",
                                  "/lib64/libm.so.6", "/usr/lib/libm.so.6", "/lib/aarch64-linux-gnu/libm.so.6"})
        if (fs::exists(candidate)) libm = candidate;
    if (libm.empty()) GTEST_SKIP() << "no libm to stand in for a foreign library";
    fs::create_symlink(libm, dir.file("foreign/libvorbel.so"));
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=\"" + dir.file("foreign/") + "\"\r\n");
    EXPECT_EQ(RunToEnd(), 0);
    EXPECT_EQ(Boxes(), "strova\t0x10\t" + dir.file("foreign/") +
                           "libvorbel.so lacks the function Is_JP.\rTerminate with the error.\n");
}

TEST_F(StartupTest, UnexpectedValueTypesEndStartUpWithTheRegistryError) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=dword:00000001\r\n");
    EXPECT_EQ(RunToEnd(), 0);
    EXPECT_EQ(Boxes().rfind("strova\t0x10\t", 0), 0u) << Boxes();
    EXPECT_NE(Boxes().find("DllPath"), std::string::npos) << Boxes();

    fs::remove(boxes);
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=\"" + BinDir() +
               "/\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\r\n\"UseJP\"=\"1\"\r\n");
    std::string before = ReadFile(store);
    EXPECT_EQ(RunToEnd(), 0);
    EXPECT_EQ(Boxes().rfind("Strova\t0x10\t", 0), 0u) << Boxes();  // the title is set by then
    EXPECT_NE(Boxes().find("UseJP"), std::string::npos) << Boxes();
    EXPECT_EQ(ReadFile(store), before);
}

TEST_F(StartupTest, DamagedStoreIsReportedAndLeftAsItWas) {
    WriteFile(store, "this is not a registry export\n[HKEY_CURRENT_USER\\Software\n");
    EXPECT_EQ(RunToEnd(), 0);
    EXPECT_EQ(Boxes().rfind("strova\t0x10\t", 0), 0u) << Boxes();
    EXPECT_NE(Boxes().find(store + ", line 1: "), std::string::npos) << Boxes();
    EXPECT_EQ(ReadFile(store), "this is not a registry export\n[HKEY_CURRENT_USER\\Software\n");
}

// Root's first start (sudo) with a user's settings that are not there yet:
// the settings folder, the store and its lock are the user's, root leaves no
// lock file of its own beside them, and the user's own settings functions
// (through the loaded library) go on storing and reading back.
TEST_F(StartupTest, FirstStartAsRootLeavesTheUsersNewSettingsTheUsers) {
    if (OrdinaryUserId() == geteuid()) GTEST_SKIP() << "needs root to start with another user's settings";
    TempDir config;  // the user's configuration folder, empty
    testing_support::MakeOrdinaryUsersFolder(config.path());
    const std::string settings = config.file("vorbel"), userStore = settings + "/registry.reg";
    {
        Instance strova(Start({{"VORBEL_REGISTRY", std::nullopt}, {"XDG_CONFIG_HOME", config.path().string()}}));
        ASSERT_TRUE(WaitUntilRunning(strova, dir.file(platform::StrovaInstanceLockName)));
        // Its last change of the store, UseJP in the converter's own key (made
        // by the change before), is whole before it is ended.
        for (int i = 0; i < 600 && !(fs::exists(userStore) && ReadFile(userStore).find("\\Strova]\n\"UseJP\"") !=
                                                                    std::string::npos);
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(fs::exists(userStore));
    EXPECT_NE(ReadFile(userStore).find("\"DllPath\"=\"" + BinDir() + "/\""), std::string::npos) << ReadFile(userStore);
    for (const std::string& made : {settings, userStore, userStore + ".lock"}) {
        struct stat info {};
        ASSERT_EQ(stat(made.c_str(), &info), 0) << made;
        EXPECT_EQ(info.st_uid, OrdinaryUserId()) << made;
        EXPECT_EQ(info.st_gid, testing_support::OrdinaryGroupId()) << made;
    }
    EXPECT_EQ(testing_support::FilesIn(settings), (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));

    ScopedEnv noStore("VORBEL_REGISTRY", std::nullopt);
    ScopedEnv userConfig("XDG_CONFIG_HOME", config.path().string());
    using SetStr = void (*)(const char*, const char*, const char*);
    using GetStr = void (*)(const char*, const char*, char*);
    EXPECT_EQ(testing_support::AsOrdinaryUser([&] {
                  platform::ModuleHandle vorbel = platform::LoadModule(BinDir() + "/" + platform::LibraryFileName);
                  auto set = platform::Resolve<SetStr>(vorbel, "SetStrRegistry");
                  auto get = platform::Resolve<GetStr>(vorbel, "GetStrRegistry");
                  if (!set || !get) return 1;
                  set("Tessadyn", "AmePath", "/home/user/ame/");
                  char buffer[64];
                  get("Tessadyn", "AmePath", buffer);
                  if (std::string(buffer) != "/home/user/ame/") return 2;
                  get("", "DllPath", buffer);
                  return std::string(buffer) == BinDir() + "/" ? 0 : 3;
              }),
              0);
    const std::string stored = "[HKEY_CURRENT_USER\\Software\\Vorbel\\Tessadyn]\n\"AmePath\"=\"/home/user/ame/\"";
    EXPECT_NE(ReadFile(userStore).find(stored), std::string::npos) << ReadFile(userStore);
}

// A second start while the first one runs, whatever the folders are like:
// told and ended, the first one untouched.
class TwoStarts : public StartupTest {
protected:
    TempDir temp;  // the temp folder of both starts
    std::string lockName = platform::StrovaInstanceLockName;

    void SetUp() override {
        StartupTest::SetUp();
        fs::permissions(temp.path(), fs::perms::all | fs::perms::sticky_bit);
        // Settings that no start has reason to change.
        WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=\"" + BinDir() +
                   "/\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\r\n\"UseJP\"=dword:00000000\r\n");
        for (const auto& path : {dir.path(), fs::path(store)}) GiveToOrdinaryUser(path);
    }

    void ExpectOneInstance(const Env& changes, const std::string& lockPath) {
        ExpectOneInstance(changes, changes, lockPath);
    }
    // The first start with `firstChanges` holds `lockPath`; the second, with
    // `secondChanges`, is told.
    void ExpectOneInstance(const Env& firstChanges, const Env& secondChanges, const std::string& lockPath) {
        std::string before = ReadFile(store);
        {
            Instance first(StartAsUser(firstChanges));
            ASSERT_TRUE(WaitUntilRunning(first, lockPath)) << lockPath;
            EXPECT_EQ(RunToEndAsUser(secondChanges), 0);
            EXPECT_EQ(Boxes(), InvokedAlready);
            EXPECT_TRUE(HoldsLock(first.pid(), lockPath)) << "the first instance must be left running";
        }
        EXPECT_EQ(ReadFile(store), before);
    }
};

TEST_F(TwoStarts, RuntimeFolderMissingOrClosedUsesTheTempFolder) {
    TempDir closed;
    GiveToOrdinaryUser(closed.path());
    fs::permissions(closed.path(), fs::perms::owner_read | fs::perms::owner_exec);
    std::string tempLock = temp.file(lockName + "-" + std::to_string(OrdinaryUserId()));
    WriteFile(dir.file("plain"), "");  // below a file, nobody can make the folder
    for (const std::string& runtime : {dir.file("plain/missing"), closed.path().string()}) {
        fs::remove(boxes);
        ExpectOneInstance({{"XDG_RUNTIME_DIR", runtime}, {"TMPDIR", temp.path().string()}}, tempLock);
    }
}

// Another user's file under the user's name in the temp folder neither stops
// the start nor lets two instances run: the lock moves to the settings folder.
TEST_F(TwoStarts, TempNameTakenByAnotherUser) {
    if (OrdinaryUserId() == geteuid()) GTEST_SKIP() << "needs root to make another user's files";
    std::string tempLock = temp.file(lockName + "-" + std::to_string(OrdinaryUserId()));
    WriteFile(tempLock, "");
    fs::permissions(tempLock, fs::perms::all);
    ExpectOneInstance({{"XDG_RUNTIME_DIR", std::nullopt}, {"TMPDIR", temp.path().string()}}, dir.file(lockName));
    EXPECT_EQ(ReadFile(tempLock), "");
}

// A start with a runtime folder and one without (a desktop session and a
// plain login of the same user) exclude each other, in either order, also
// when the temp folder's name is another user's.
TEST_F(TwoStarts, StartsWithAndWithoutARuntimeFolder) {
    Env withRuntime = {{"TMPDIR", temp.path().string()}};
    Env without = {{"XDG_RUNTIME_DIR", std::nullopt}, {"TMPDIR", temp.path().string()}};
    std::string runtimeLock = dir.file(lockName);
    std::string tempLock = temp.file(lockName + "-" + std::to_string(OrdinaryUserId()));
    ExpectOneInstance(withRuntime, without, runtimeLock);
    fs::remove(boxes);
    ExpectOneInstance(without, withRuntime, tempLock);
    if (OrdinaryUserId() == geteuid()) return;  // only root can make another user's file
    fs::remove(tempLock);
    WriteFile(tempLock, "");
    fs::permissions(tempLock, fs::perms::all);
    fs::remove(boxes);
    ExpectOneInstance(withRuntime, without, runtimeLock);
    EXPECT_EQ(ReadFile(tempLock), "");
}

// Starts without a runtime folder and with different temp folders (two
// logins of the user) exclude each other through the settings folder.
TEST_F(TwoStarts, StartsWithDifferentTempFolders) {
    TempDir otherTemp;
    fs::permissions(otherTemp.path(), fs::perms::all | fs::perms::sticky_bit);
    ExpectOneInstance({{"XDG_RUNTIME_DIR", std::nullopt}, {"TMPDIR", temp.path().string()}},
                      {{"XDG_RUNTIME_DIR", std::nullopt}, {"TMPDIR", otherTemp.path().string()}}, dir.file(lockName));
}

// Another user who plants the temp folder's lock name before a start and
// removes it once the start runs lets no second start run beside it: both
// starts hold the lock beside the settings store.
TEST_F(StartupTest, ALockNamePlantedAndRemovedByAnotherUserLetsNoSecondStartRun) {
    if (OrdinaryUserId() == geteuid()) GTEST_SKIP() << "needs root to start as one user and plant as another";
    TempDir temp;
    testing_support::OpenToOrdinaryUser(temp.path());
    fs::permissions(temp.path(), fs::perms::all | fs::perms::sticky_bit);
    const std::string lockName = platform::StrovaInstanceLockName;
    const std::string planted = temp.file(lockName + "-" + std::to_string(geteuid()));
    const Env env = {{"XDG_RUNTIME_DIR", std::nullopt}, {"TMPDIR", temp.path().string()}};
    ASSERT_EQ(testing_support::AsOrdinaryUser([&] {
                  WriteFile(planted, "");
                  return chmod(planted.c_str(), 0666);
              }),
              0);
    Instance first(Start(env));
    ASSERT_TRUE(WaitUntilRunning(first, dir.file(lockName)));
    ASSERT_EQ(testing_support::AsOrdinaryUser([&] { return std::remove(planted.c_str()); }), 0);
    EXPECT_EQ(RunToEnd(env), 0);
    EXPECT_EQ(Boxes(), InvokedAlready);
    EXPECT_TRUE(HoldsLock(first.pid(), dir.file(lockName))) << "the first instance must be left running";
}

// With no place at all for the lock file the start ends with the reason: it
// never goes on unchecked.
TEST_F(StartupTest, NoPlaceForTheInstanceLockEndsTheStartWithTheReason) {
    EXPECT_EQ(RunToEnd({{"XDG_RUNTIME_DIR", std::nullopt},
                        {"TMPDIR", dir.file("missing")},
                        {"VORBEL_REGISTRY", "/proc/nonexistent/registry.reg"}}),
              0);
    EXPECT_EQ(Boxes(), "strova\t0x10\t\"Strova\" can't tell whether it has been invoked already:\r"
                       "/proc/nonexistent/" + std::string(platform::StrovaInstanceLockName) +
                           ": No such file or directory\n");
}

// An instance that can't load its library holds no marker while its box is
// up: a start with a working library runs beside it.
TEST_F(StartupTest, AnInstanceShowingWhyItCantStartBlocksNobody) {
    // The failing instance's box goes to a full pipe, where it stays until
    // the pipe is read.
    std::string pipePath = dir.file("box.pipe");
    ASSERT_EQ(mkfifo(pipePath.c_str(), 0600), 0);
    // Not inherited by the starts: the box is seen as shown once the failing
    // start has opened the pipe itself.
    int pipe = open(pipePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(pipe, 0);
    std::string filler(4096, '.');
    while (write(pipe, filler.data(), filler.size()) > 0) {
    }
    std::string failingStore = dir.file("failing.reg");
    WriteFile(failingStore, "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n"
                            "\"DllPath\"=\"" + dir.file("nowhere/") + "\"\r\n");
    Instance failing(Start({{"VORBEL_REGISTRY", failingStore}, {"VORBEL_MESSAGE_LOG", pipePath}}));

    bool boxShown = false;
    for (int i = 0; i < 600 && !boxShown; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::error_code error;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(failing.pid()) + "/fd", error))
            boxShown = boxShown || fs::read_symlink(fd.path(), error) == pipePath;
    }
    ASSERT_TRUE(boxShown);

    {
        Instance working(Start());
        EXPECT_TRUE(WaitUntilRunning(working, dir.file(platform::StrovaInstanceLockName)));
    }

    // Reading the pipe lets the box go by and the failing start end.
    std::string log;
    char chunk[4096];
    for (bool ended = false; !ended;) {
        ended = failing.Ended();
        for (ssize_t got; (got = read(pipe, chunk, sizeof chunk)) > 0;) log.append(chunk, static_cast<std::size_t>(got));
    }
    close(pipe);
    EXPECT_TRUE(WIFEXITED(failing.Status()) && WEXITSTATUS(failing.Status()) == 0) << failing.Status();
    EXPECT_NE(log.find("strova\t0x10\t" + dir.file("nowhere/") + "libvorbel.so can't be loaded.\rTerminate with the error.\n"),
              std::string::npos);
    EXPECT_EQ(Boxes(), "");
}

// Settings in a folder, or a store file, that the user can't write: a start
// that would only correct UseJP goes on and leaves the store as it is; a first
// start that must store DllPath says why it can't, naming the store itself.
class UnwritableStore : public StartupTest {
protected:
    TempDir settings;  // not the user's: closed to the user's writing
    void SetUp() override {
        StartupTest::SetUp();
        GiveToOrdinaryUser(dir.path());
        store = settings.file("registry.reg");
        WriteFile(store + ".lock", "");
    }
    std::string CantStore(const std::string& reason) const {
        return "strova\t0x10\tThe settings can't be stored in " + store + ":\r" + store + ": " + reason + "\n";
    }
};

TEST_F(UnwritableStore, UseJPOfAnotherDesktopIsLeftAndTheStartGoesOn) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=\"" + BinDir() +
               "/\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vorbel\\Strova]\r\n\"UseJP\"=dword:00000001\r\n");
    std::string before = ReadFile(store);
    // Still running (and so stopped) once the settings have long been read
    // and the splash window has come and gone.
    EXPECT_EQ(testing_support::WaitForExit(StartAsUser(), 5), -1);
    EXPECT_EQ(Boxes(), "");
    EXPECT_EQ(ReadFile(store), before);
}

TEST_F(UnwritableStore, FirstStartNamesTheStoreAndTheReason) {
    WriteStore("[HKEY_CURRENT_USER\\Software\\Other]\r\n\"AmePath\"=\"\"\r\n");
    std::string before = ReadFile(store);
    EXPECT_EQ(RunToEndAsUser(), 0);
    EXPECT_EQ(Boxes(), CantStore("can't write the registry store: Permission denied"));
    EXPECT_EQ(ReadFile(store), before);

    // The user's own store, made read-only by the user, in a folder the user may write.
    fs::remove(boxes);
    for (const auto& path : {settings.path(), fs::path(store), fs::path(store + ".lock")}) GiveToOrdinaryUser(path);
    fs::permissions(store, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(RunToEndAsUser(), 0);
    EXPECT_EQ(Boxes(), CantStore("can't write the registry store: Permission denied"));
    EXPECT_EQ(ReadFile(store), before);
    // No temporary file is left beside the store and its locks.
    for (const auto& entry : fs::directory_iterator(settings.path()))
        EXPECT_TRUE(entry.path() == store || entry.path() == store + ".lock" ||
                    entry.path() == settings.file(platform::StrovaInstanceLockName))
            << entry.path();
}

// A first start killed while it writes the store (here: by the file size
// limit, as a full disk would stop it) leaves no key without DllPath, and the
// next start finds the library and stores it.
TEST_F(StartupTest, FirstStartCutShortLeavesNoKeyWithoutDllPath) {
    std::string header = "Windows Registry Editor Version 5.00\n\n";
    std::string keys = header + "[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\Vorbel]\n";
    std::string keyAlone = keys + "\n";
    std::string withDllPath = keys + "\"DllPath\"=\"" + BinDir() + "/\"\n\n";
    // Room for the key alone, not for the key with its value.
    std::size_t limit = keyAlone.size() + 4;
    ASSERT_GT(withDllPath.size(), limit);
    pid_t cut = testing_support::StartProcess("/usr/bin/prlimit",
                                              {"--fsize=" + std::to_string(limit), "--core=0", BinDir() + "/strova"},
                                              Environment({}));
    EXPECT_EQ(testing_support::WaitForExit(cut, 60), -1) << "the write must have been stopped";
    EXPECT_FALSE(fs::exists(store) && ReadFile(store).find("DllPath") == std::string::npos) << ReadFile(store);

    {
        Instance strova(Start());
        EXPECT_TRUE(WaitUntilRunning(strova, dir.file(platform::StrovaInstanceLockName)));
        // Its last change of the store, UseJP in the converter's own key (made
        // by the change before), is whole before it is ended: a start killed
        // while writing would leave its own temporary file.
        for (int i = 0; i < 600 && ReadFile(store).find("\\Strova]\n\"UseJP\"") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(ReadFile(store).rfind(withDllPath, 0), 0u) << ReadFile(store);
    EXPECT_EQ(Boxes(), "");
    for (const auto& entry : fs::directory_iterator(dir.path()))  // the cut start's temporary file is gone
        EXPECT_FALSE(entry.path().filename().string().starts_with(".registry.reg.")) << entry.path();
}

// Copies of the library cut short (an interrupted copy): the message that it
// can't be loaded, never a crash.
TEST_F(StartupTest, LibraryCutShortIsReportedAsNotLoadable) {
    std::string whole = ReadFile(BinDir() + "/" + platform::LibraryFileName);
    fs::create_directories(dir.file("cut"));
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=\"" + dir.file("cut/") + "\"\r\n");
    for (std::size_t size : {std::size_t{0}, std::size_t{20}, std::size_t{63}, std::size_t{64}, std::size_t{300},
                             std::size_t{4096}, whole.size() / 3, whole.size() / 2, whole.size() - 4096,
                             whole.size() - 1}) {
        fs::remove(boxes);
        WriteFile(dir.file("cut/libvorbel.so"), whole.substr(0, size));
        EXPECT_EQ(RunToEnd(), 0) << size;
        EXPECT_EQ(Boxes(), "strova\t0x10\t" + dir.file("cut/") +
                               "libvorbel.so can't be loaded.\rTerminate with the error.\n")
            << size;
    }
}

// A library name that is a pipe or a folder: the same message, and a pipe
// never holds the start waiting for a writer.
TEST_F(StartupTest, LibraryThatIsNoFileIsReportedAsNotLoadable) {
    fs::create_directories(dir.file("odd"));
    WriteStore("[HKEY_CURRENT_USER\\Software\\Vorbel]\r\n\"DllPath\"=\"" + dir.file("odd/") + "\"\r\n");
    std::string library = dir.file("odd/libvorbel.so");
    ASSERT_EQ(mkfifo(library.c_str(), 0600), 0);
    for (bool pipe : {true, false}) {
        if (!pipe) {
            fs::remove(library);
            fs::create_directory(library);
        }
        fs::remove(boxes);
        EXPECT_EQ(RunToEnd(), 0) << pipe;
        EXPECT_EQ(Boxes(), "strova\t0x10\t" + library + " can't be loaded.\rTerminate with the error.\n") << pipe;
    }
}

// A run killed in the middle of a step left its journal beside the store:
// the next start, from any folder, puts the earlier files back before its
// window comes up, and names the one it can't put back and where it is kept.
TEST_F(StartupTest, AStartTakesBackTheStepsAKilledRunLeft) {
    fs::create_directories(dir.file("maps"));
    const std::string older = dir.file("maps/m.bak"), blocked = dir.file("maps/m_a.bak");
    for (const std::string& target : {older, blocked}) {
        WriteFile(target, "older " + target);
        int error = 0;
        const auto journal = strova::StepJournal::Create(dir.path().string(), {target}, error);
        ASSERT_TRUE(journal) << error;
        const std::string kept = platform::NewKeptName(target), temp = target + ".new";
        WriteFile(temp, "new");
        struct stat made {};
        ASSERT_EQ(stat(temp.c_str(), &made), 0);
        ASSERT_EQ(journal->Record({strova::ReplacementOf(target, kept, temp)}), 0);
        ASSERT_EQ(link(target.c_str(), kept.c_str()), 0);
        ASSERT_EQ(rename(temp.c_str(), target.c_str()), 0);
    }
    fs::remove(blocked);
    fs::create_directories(blocked + "/taken");
    Instance instance(Start());
    bool up = false;
    for (int i = 0; i < 600 && !up && !instance.Ended(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        up = fs::exists(store) && ReadFile(store).find("UseJP") != std::string::npos;
    }
    ASSERT_TRUE(up) << "the window never came up";
    EXPECT_EQ(ReadFile(older), "older " + older);
    const std::string box = Boxes();
    const std::string head = "Strova - Error\t0x10\t<" + blocked + "> can't be put back.\rFile exists\r"
                             "Its earlier file is kept as <";
    ASSERT_EQ(box.rfind(head, 0), 0u) << box;
    const std::string kept = box.substr(head.size(), box.find(">.\n") - head.size());
    EXPECT_EQ(ReadFile(kept), "older " + blocked);
}

}  // namespace
