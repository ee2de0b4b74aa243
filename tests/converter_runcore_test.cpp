// Output paths and backups of a bitmap, reserved names, the driver's log lines.
#include <gtest/gtest.h>

#include "core/RunCore.h"

using namespace strova;

TEST(RunCore, OutputPathsAndBackups) {
    const OutputPaths apart = DeriveOutputPaths("ame/", "cfg/", "tokai");
    EXPECT_EQ(apart.ame, "ame/tokai.ame");
    EXPECT_EQ(apart.cfg, "cfg/tokai.cfg");
    EXPECT_EQ(apart.dat, "./tokai_a.dat");
    EXPECT_EQ(apart.ameBackup, "ame/tokai.bak");
    EXPECT_EQ(apart.cfgBackup, "cfg/tokai.bak");
    EXPECT_EQ(apart.datBackup, "./tokai_a.bak");
    // One folder, however it is written: the two backups stay apart.
    for (const auto& [ame, cfg] : {std::pair{"", ""}, {"./", ""}, {"maps/", "maps/"}, {"maps/", "./maps/"}}) {
        const OutputPaths together = DeriveOutputPaths(ame, cfg, "tokai");
        EXPECT_EQ(together.ameBackup, std::string(ame) + "tokai.bak");
        EXPECT_EQ(together.cfgBackup, std::string(cfg) + "tokai_cfg.bak");
    }
    // No dot in the file name: an empty base name.
    EXPECT_EQ(DeriveOutputPaths("./", "x/", "").ame, "./.ame");
}

TEST(RunCore, ReservedNamesIgnoreCase) {
    EXPECT_TRUE(IsReservedBaseName("Kanto"));
    EXPECT_TRUE(IsReservedBaseName("JAPAN"));
    EXPECT_TRUE(IsReservedBaseName("chushi"));
    EXPECT_FALSE(IsReservedBaseName("kanto2"));
    EXPECT_FALSE(IsReservedBaseName("kanto.old"));
    EXPECT_FALSE(IsReservedBaseName(""));
}

TEST(RunCore, DriverLogLines) {
    EXPECT_EQ(BoundsLogLine(135, 30, 140, 36.5),
              "Longitude(X) and Latitude(Y): (135.000000,30.000000)-(140.000000,36.500000)");
    EXPECT_EQ(StepDoneLogLine(2), "--- Step 2: Normally processed.");
    EXPECT_EQ(CfgCreatedLogLine("./m.cfg"), "File: ./m.cfg created.");
}
