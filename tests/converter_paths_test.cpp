#include "core/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace strova;
using Split = std::pair<std::string, std::string>;

TEST(PathsTest, SplitAtLastSeparatorKeepsTheSeparatorWithTheFolder) {
    EXPECT_EQ(SplitAtLastSeparator("/maps/old/north.bmp"), Split("/maps/old/", "north.bmp"));
    EXPECT_EQ(SplitAtLastSeparator("north.bmp"), Split("", "north.bmp"));
    EXPECT_EQ(SplitAtLastSeparator("/maps/"), Split("/maps/", ""));
    EXPECT_EQ(SplitAtLastSeparator(""), Split("", ""));
}

TEST(PathsTest, SplitAtLastDotDropsTheDot) {
    EXPECT_EQ(SplitAtLastDot("north.old.bmp"), Split("north.old", "bmp"));
    EXPECT_EQ(SplitAtLastDot("north"), Split("", "north"));
    EXPECT_EQ(SplitAtLastDot("north."), Split("north", ""));
    EXPECT_EQ(SplitAtLastDot(".bmp"), Split("", "bmp"));
}

TEST(PathsTest, BaseNameDropsFolderAndLastExtensionOnly) {
    EXPECT_EQ(BaseNameOf("/maps/v1.2/north.old.bmp"), "north.old");
    EXPECT_EQ(BaseNameOf("/maps/north"), "");
    EXPECT_EQ(BaseNameOf("north.bmp"), "north");
}

TEST(PathsTest, OutputPathsArePlainConcatenations) {
    OutputPaths p = DeriveOutputPaths("/tess/ame/", "cfg/", "north");
    EXPECT_EQ(p.ame, "/tess/ame/north.ame");
    EXPECT_EQ(p.cfg, "cfg/north.cfg");
    EXPECT_EQ(p.dat, "./north_a.dat");
    EXPECT_EQ(p.ameBackup, "/tess/ame/north.bak");
    EXPECT_EQ(p.cfgBackup, "cfg/north.bak");
    EXPECT_EQ(p.datBackup, "./north_a.bak");

    OutputPaths empty = DeriveOutputPaths("", "", "");
    EXPECT_EQ(empty.ame, ".ame");
    EXPECT_EQ(empty.cfg, ".cfg");
    EXPECT_EQ(empty.dat, "./_a.dat");
    EXPECT_EQ(empty.ameBackup, ".bak");
    EXPECT_EQ(empty.cfgBackup, ".cfg.bak");
    EXPECT_EQ(empty.datBackup, "./_a.bak");
}

TEST(PathsTest, BackupsInOneFolderKeepApart) {
    for (auto [ame, cfg] : {Split("./", ""), Split("", "./"), Split("/tess/", "/tess/"), Split("/tess/a/../", "/tess/")}) {
        OutputPaths p = DeriveOutputPaths(ame, cfg, "north");
        EXPECT_EQ(p.ameBackup, ame + "north.bak");
        EXPECT_EQ(p.cfgBackup, cfg + "north.cfg.bak") << ame << " " << cfg;
    }
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(DeriveOutputPaths("./", here + "/", "n").cfgBackup, here + "/n.cfg.bak");
    EXPECT_EQ(DeriveOutputPaths("/tess/ame/", "/tess/cfg/", "n").cfgBackup, "/tess/cfg/n.bak");
}

TEST(PathsTest, ReservedNamesMatchInAnyLetterCaseOnly) {
    for (const char* name : {"JAPAN", "hokkaido", "Tohoku", "KaNtO", "chubu", "KINKI", "Chushi", "kyushu"})
        EXPECT_TRUE(IsReservedBaseName(name)) << name;
    for (const char* name : {"kanto2", "kanto.old", " KANTO", "KANT", "", "ＫＡＮＴＯ"})
        EXPECT_FALSE(IsReservedBaseName(name)) << name;
}
