// The station files and texts of step 2: *.ame and *_a.dat bytes, the log
// block, unticking, mark positions and the step's messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/AmeCore.h"

using namespace strova;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

AmeRecord Station(int x, int y, int cd, int id, const char* name, const char* belong) {
    AmeRecord r;
    std::memset(&r, 0, sizeof r);
    r.X = x;
    r.Y = y;
    r.CD = static_cast<std::int16_t>(cd);
    r.Id = static_cast<std::int16_t>(id);
    std::strcpy(r.Name, name);
    std::strcpy(r.Belong, belong);
    return r;
}

// The 44 bytes of a record, written out field by field from the format.
std::string RecordBytes(std::int32_t x, std::int32_t y, std::int16_t cd, std::int16_t id, const std::string& name,
                        const std::string& belong) {
    std::string bytes;
    for (const std::uint32_t v : {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)})
        for (int b = 0; b < 4; ++b) bytes += static_cast<char>(v >> (8 * b));
    for (const std::uint16_t v : {static_cast<std::uint16_t>(cd), static_cast<std::uint16_t>(id)})
        for (int b = 0; b < 2; ++b) bytes += static_cast<char>(v >> (8 * b));
    return bytes + name + std::string(20 - name.size(), '\0') + belong + std::string(12 - belong.size(), '\0');
}

Placement Sample() {
    Placement p;
    p.selected = {Station(10, 20, 1, 101, "Chiba", "Chiba"), Station(300, 7, 4, 5, "Choshi", "Chiba"),
                  Station(-3, 1000, 2, 842, "Hateruma", "Okinawa")};
    p.internalCount = 1;
    return p;
}

}  // namespace

TEST(AmeCore, StationFilesByteForByte) {
    TempDir dir;
    const Placement p = Sample();
    std::FILE* ame = std::fopen(dir.file("m.ame").c_str(), "wb");
    ASSERT_TRUE(WriteAmeFile(ame, p.selected));
    std::fclose(ame);
    EXPECT_EQ(ReadFile(dir.file("m.ame")), RecordBytes(10, 20, 1, 101, "Chiba", "Chiba") +
                                               RecordBytes(300, 7, 4, 5, "Choshi", "Chiba") +
                                               RecordBytes(-3, 1000, 2, 842, "Hateruma", "Okinawa"));
    std::FILE* dat = std::fopen(dir.file("m_a.dat").c_str(), "wb");
    ASSERT_TRUE(WriteTextLines(dat, StationListLines("m", p.selected)));
    std::fclose(dat);
    EXPECT_EQ(ReadFile(dir.file("m_a.dat")),
              "m\r\n"
              "  3\r\n"
              "0.0        1 101 Chiba             \r\n"
              "0.0        4   5 Choshi            \r\n"
              "0.0        2 842 Hateruma          \r\n");
}

TEST(AmeCore, StationLogBlock) {
    const std::vector<std::string> expected{
        "AMeDAS stations for this map",
        "     Total number: 3  ",
        "  Internal number: 1  ",
        "Additional number: 2  ",
        "CD Id Name                    ( X-pixel,  Y-pixel)",
        "1 101 Chiba                   (      10,       20)",
        "4   5 Choshi                  (     300,        7)",
        "2 842 Hateruma                (      -3,     1000)",
        "These data were saved in: ./m.ame as a binary file",
        "                          ./m_a.dat as a text file",
        "The former is important to run Tessadyn!",
        "The Later is useful to prepare potential data by yourself.",
    };
    EXPECT_EQ(StationLogLines(Sample(), "./m.ame", "./m_a.dat"), expected);
}

TEST(AmeCore, UntickingKeepsTheOrder) {
    Placement p;
    p.internalCount = 2;
    for (int i = 1; i <= 7; ++i) p.selected.push_back(Station(i, i, 1, i, "S", ""));
    KeepTicked(p, {true, false, true, false, true});
    ASSERT_EQ(p.selected.size(), 5u);
    EXPECT_EQ(p.additionalCount(), 3);
    const int ids[] = {1, 2, 3, 5, 7};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(p.selected[i].Id, ids[i]);
    EXPECT_EQ(StationListLines("m", p.selected)[1], "  5");
}

TEST(AmeCore, MarksStayOnTheMap) {
    const AmeRecord low = Station(50, 3, 1, 1, "", "");
    EXPECT_EQ(CheckBoxPosition(low, 300, 200).top, 183);
    EXPECT_EQ(CheckBoxPosition(low, 300, 200).left, 42);
    EXPECT_EQ(CheckBoxPosition(Station(2, 100, 1, 1, "", ""), 300, 200).left, 1);
    EXPECT_EQ(CheckBoxPosition(Station(300, 200, 1, 1, "", ""), 300, 200).left, 283);
    EXPECT_EQ(CheckBoxPosition(Station(300, 200, 1, 1, "", ""), 300, 200).top, 1);
    EXPECT_EQ(CirclePosition(Station(2, 199, 1, 1, "", ""), 200).left, -3);
    EXPECT_EQ(CirclePosition(Station(2, 199, 1, 1, "", ""), 200).top, -4);
    EXPECT_EQ(StationProgressIncrement(100, 10, 4), 23);  // 22.5 rounds up
    EXPECT_EQ(StationProgressIncrement(100, 10, 0), 0);
}

TEST(AmeCore, MessagesInBothLanguages) {
    EXPECT_EQ(InfoFileErrorText(false), "Internal Information File :\r<gm_info.dat> can't open.");
    EXPECT_EQ(OutputOpenErrorText("./m.ame", false), "Internal Information File :\r<./m.ame> can't open.");
    EXPECT_EQ(OutputOpenErrorText("./m.ame", true), "出力先のﾌｧｲﾙ：\r<./m.ame>\rが読み込めません．");
    EXPECT_EQ(PixelReadErrorText("./tmp_$$$.loc", false), "Read error:\r<./tmp_$$$.loc>");
    EXPECT_EQ(PixelReadErrorText("./tmp_$$$.loc", true), "読み込みｴﾗｰ：\r<./tmp_$$$.loc>");
}
