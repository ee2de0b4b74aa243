// Strova's start-up as a user meets it: the program started as a process with
// its own settings store, instance-lock folder and message log.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "platform/InstanceLock.h"
#include "platform/ModuleNames.h"

namespace {

using testing_support::BinDir;
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

    pid_t Start() {
        return testing_support::StartProcess(BinDir() + "/strova", {},
                                             {{"VORBEL_REGISTRY", store},
                                              {"XDG_RUNTIME_DIR", dir.path().string()},
                                              {"VORBEL_MESSAGE_LOG", boxes},
                                              {"QT_QPA_PLATFORM", "offscreen"},
                                              {"LC_ALL", "C.UTF-8"},
                                              {"LD_LIBRARY_PATH", std::nullopt}});
    }

    // Exit code of a start that ends by itself (-1 when it had to be stopped).
    int RunToEnd() { return testing_support::WaitForExit(Start(), 60); }

    std::string Boxes() const { return fs::exists(boxes) ? ReadFile(boxes) : std::string(); }

    void WriteStore(const std::string& body) {
        WriteFile(store, "Windows Registry Editor Version 5.00\r\n\r\n" + body);
    }
};

bool MapsHold(pid_t pid, const std::string& path) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(path) != std::string::npos) return true;
    return false;
}

TEST_F(StartupTest, SecondInstanceIsToldAndLeavesEverythingAlone) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
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
    EXPECT_NE(Boxes().find(store), std::string::npos) << Boxes();
    EXPECT_EQ(ReadFile(store), "this is not a registry export\n[HKEY_CURRENT_USER\\Software\n");
}

}  // namespace
