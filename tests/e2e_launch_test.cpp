#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "platform/Module.h"

using namespace testing_support;

namespace {

// Calls the launcher `name` of `library` from `folder` as the current folder;
// -1 when the library lacks it.
int LaunchFrom(const std::filesystem::path& folder, platform::ModuleHandle library, const char* name) {
    auto launch = platform::Resolve<int (*)()>(library, name);
    if (!launch) return -1;
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    int result = launch();
    std::filesystem::current_path(old);
    return result;
}

}  // namespace

// The library installed in a folder of its own, beside a sibling program.
TEST(LaunchE2E, StartsTheSiblingBesideTheLibrary) {
    TempDir install, work;
    std::filesystem::copy_file(std::filesystem::path(BinDir()) / "libvorbel.so", install.path() / "libvorbel.so");
    WriteFile(install.path() / "quillsen", "#!/bin/sh\necho \"$1\" > started.txt\nexit 5\n");
    chmod(install.file("quillsen").c_str(), 0755);

    platform::ModuleHandle library = platform::LoadModule(install.file("libvorbel.so"));
    ASSERT_NE(library, nullptr) << platform::LastLoadError();
    for (const char* name : {"OpenUF1Dlg", "OpenHASMAListDlg", "_OpenUF1", "_LstHASMA", "RunMorak"})
        EXPECT_NE(platform::ResolveSymbol(library, name), nullptr) << name;
    EXPECT_EQ(LaunchFrom(work.path(), library, "RunQuillsen"), 1);
    EXPECT_EQ(ReadFile(work.path() / "started.txt"), "-c\n");
}

// However long the library's folder, the launchers start the sibling in it.
TEST(LaunchE2E, LibraryInADeepFolderStartsItsSibling) {
    TempDir work;
    std::filesystem::path deep = work.path();
    while (deep.string().size() < 300) deep /= std::string(60, 'd');
    std::filesystem::create_directories(deep);
    std::filesystem::copy_file(std::filesystem::path(BinDir()) / "libvorbel.so", deep / "libvorbel.so");
    WriteFile(deep / "morak", "#!/bin/sh\necho beside > started.txt\n");
    chmod((deep / "morak").c_str(), 0755);

    platform::ModuleHandle library = platform::LoadModule((deep / "libvorbel.so").string());
    ASSERT_NE(library, nullptr) << platform::LastLoadError();
    EXPECT_EQ(LaunchFrom(work.path(), library, "RunMorak"), 1);
    EXPECT_EQ(ReadFile(work.path() / "started.txt"), "beside\n");
}

// A program that loads the library by a relative path and then moves to its
// data folder still starts the sibling beside the library, not one found from
// the new folder.
TEST(LaunchE2E, LibraryLoadedByARelativePathKeepsItsFolder) {
    TempDir install, work;
    std::filesystem::copy_file(std::filesystem::path(BinDir()) / "libvorbel.so", install.path() / "libvorbel.so");
    WriteFile(install.path() / "morak", "#!/bin/sh\necho beside > started.txt\n");
    WriteFile(work.path() / "morak", "#!/bin/sh\necho elsewhere > started.txt\n");
    chmod(install.file("morak").c_str(), 0755);
    chmod(work.file("morak").c_str(), 0755);

    auto old = std::filesystem::current_path();
    std::filesystem::current_path(install.path());
    platform::ModuleHandle library = platform::LoadModule("./libvorbel.so");
    std::filesystem::current_path(work.path());
    // A later call of the entry routine keeps the folder it found at load time.
    auto entry = library ? platform::Resolve<int (*)(void*, unsigned, void*)>(library, "DllEntryPoint") : nullptr;
    if (entry) entry(library, 0, nullptr);
    auto runMorak = library ? platform::Resolve<int (*)()>(library, "RunMorak") : nullptr;
    int result = runMorak ? runMorak() : -1;
    std::filesystem::current_path(old);
    ASSERT_NE(library, nullptr) << platform::LastLoadError();
    auto instance = platform::Resolve<void* (*)()>(library, "_GetVorbelDLLInst");
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance(), library);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ReadFile(work.path() / "started.txt"), "beside\n");
}
