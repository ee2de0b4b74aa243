#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "platform/Module.h"

using namespace testing_support;

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
    auto runQuillsen = platform::Resolve<int (*)()>(library, "RunQuillsen");
    ASSERT_NE(runQuillsen, nullptr);

    auto old = std::filesystem::current_path();
    std::filesystem::current_path(work.path());
    int result = runQuillsen();
    std::filesystem::current_path(old);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ReadFile(work.path() / "started.txt"), "-c\n");
}
