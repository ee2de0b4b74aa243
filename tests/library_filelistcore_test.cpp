#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "FileListCore.h"
#include "TestSupport.h"
#include "platform/Cp932.h"
#include "vorbel/Stations.h"

using namespace vorbel;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

FileRow RowNamed(const std::string& name, bool japanese = false) {
    platform::FoundFile file{name, platform::faArchive, 1234567, {}};
    file.lastWrite.tm_year = 99;
    file.lastWrite.tm_mon = 11;
    file.lastWrite.tm_mday = 31;
    return MakeFileRow(file, {japanese, "/", ","});
}

std::vector<std::string> SortedNames(std::vector<FileRow> rows, const SortState& sort) {
    std::stable_sort(rows.begin(), rows.end(), [&](const FileRow& a, const FileRow& b) {
        return CompareRows(a, b, sort.SortColumn, sort.Ascending()) < 0;
    });
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.fileName);
    return names;
}

std::string Pron(int index) {
    char buffer[StationTextBufferSize];
    return GetAMeDASPron(index, buffer);
}

}  // namespace

TEST(FileListCore, DataFileNames) {
    struct Case {
        const char* name;
        int station, year;
    } cases[] = {
        {"0471999.uf1", 47, 1999}, {"0010009.uf1", 1, 9},     {"0449999.uf1", 44, 9999},
        {"9999999.uf1", 999, 9999}, {"0471999.bak.uf1", 47, 1999}, {"0471999", 47, 1999},
        {"0000000.UF1", 0, 0},     {".uf1", -1, -1},            {"abc.uf1", -1, -1},
        {"04719990.uf1", -1, -1},  {"abcdefg.uf1", -1, -1},     {"047199x.uf1", 47, -1},
        {"-471999.uf1", -47, 1999}, {"-011999.uf1", -1, 1999},  {"+01-999.uf1", 1, -999},
        {" 471999.uf1", -1, 1999}, {"0-1+99-.uf1", -1, -1},     {"--11999", -1, 1999},
        {".0471999", -1, -1},
        {"", -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StationFromFileName(c.name), c.station) << c.name;
        EXPECT_EQ(YearFromFileName(c.name), c.year) << c.name;
    }
    EXPECT_EQ(SplitFileName("0471999.bak.uf1").base, "0471999");
    EXPECT_EQ(SplitFileName("0471999.bak.uf1").extension, "bak.uf1");
    EXPECT_EQ(SplitFileName(".uf1").base, ".uf1");
}

TEST(FileListCore, FoldersSplitAtTheSeparator) {
    EXPECT_EQ(SplitPath("/data/uf1/0471999.uf1"), "/data/uf1");
    EXPECT_EQ(SplitPath("0471999.uf1"), "");
    EXPECT_EQ(SplitPath("/x"), "");
    EXPECT_EQ(DefaultDataFolder("/opt/wx/bin/"), "/opt/wx/Tmp/");
    EXPECT_EQ(DefaultDataFolder("/opt/wx/bin"), "/opt/wx/Tmp/");
    EXPECT_EQ(DefaultDataFolder("/"), "/Tmp/");
    EXPECT_EQ(DefaultDataFolder(""), "/Tmp/");
    EXPECT_EQ(DefaultDataFolder("bin/"), "/Tmp/");
    EXPECT_EQ(DefaultDataFolder("./bin/"), "./Tmp/");
}

TEST(FileListCore, DatesAndSizes) {
    std::tm day{};
    day.tm_year = 105;
    day.tm_mon = 0;
    day.tm_mday = 2;
    EXPECT_EQ(FileDateText(day, "/"), "05/01/02");
    EXPECT_EQ(FileDateText(day, "."), "05.01.02");
    EXPECT_EQ(SizeText(0, ","), "0");
    EXPECT_EQ(SizeText(999, ","), "999");
    EXPECT_EQ(SizeText(1000, ","), "1,000");
    EXPECT_EQ(SizeText(1234567, ","), "1,234,567");
    // Ten digits and more stay exact and positive.
    EXPECT_EQ(SizeText(2147483648ull, ","), "2,147,483,648");
    EXPECT_EQ(SizeText(5000000000ull, "."), "5.000.000.000");
}

TEST(FileListCore, CellsOfARow) {
    FileRow row = RowNamed("0471999.uf1");
    EXPECT_EQ(row.station, 47);
    EXPECT_EQ(row.stationName, Pron(46));
    EXPECT_EQ(row.yearText, "1999");
    EXPECT_EQ(row.dateText, "99/12/31");
    EXPECT_EQ(row.sizeText, "1,234,567");
    char kanji[StationTextBufferSize];
    EXPECT_EQ(RowNamed("0471999.uf1", true).stationName, GetAMeDASName(46, kanji));
    EXPECT_EQ(RowNamed("0010009.uf1").yearText, "9");
    EXPECT_EQ(RowNamed("8429999.uf1").stationName, Pron(841));
    EXPECT_EQ(RowNamed("8429999.uf1").yearText, "Standard Year");
    EXPECT_EQ(RowNamed("0449999.uf1", true).yearText, platform::Utf8ToCp932("標準年"));
    // Numbers outside the table have no name but keep their value.
    EXPECT_EQ(RowNamed("0001999.uf1").stationName, "");
    EXPECT_EQ(RowNamed("8431999.uf1").stationName, "");
    EXPECT_EQ(RowNamed("9999999.uf1").station, 999);
    EXPECT_EQ(RowNamed("abc.uf1").station, -1);
    EXPECT_EQ(RowNamed("abc.uf1").stationName, "");
    EXPECT_EQ(RowNamed("abc.uf1").yearText, "-1");
}

TEST(FileListCore, TextComparison) {
    EXPECT_EQ(CompareTexts("abc", "ABC"), 0);
    EXPECT_LT(CompareTexts("abc", "ABD"), 0);
    EXPECT_LT(CompareTexts("ab", "abc"), 0);
    EXPECT_GT(CompareTexts("_", "a"), 0);  // 'a' folds to 'A', before '_'
    EXPECT_GT(CompareTexts("\x95", "S"), 0);  // bytes compare unsigned
    EXPECT_LT(CompareTexts("-1", "1999"), 0);
    EXPECT_LT(CompareTexts("1999", "Standard Year"), 0);
    EXPECT_LT(CompareTexts("1999", platform::Utf8ToCp932("標準年")), 0);
}

TEST(FileListCore, ColumnClicksAndOrders) {
    std::vector<FileRow> rows = {RowNamed("0471999.uf1"), RowNamed("abc.uf1"), RowNamed("9999999.uf1")};
    SortState sort;
    EXPECT_EQ(SortedNames(rows, sort), (std::vector<std::string>{"0471999.uf1", "9999999.uf1", "abc.uf1"}));
    ASSERT_TRUE(sort.ColumnClick(1));  // first click on the station number: descending
    EXPECT_EQ(SortedNames(rows, sort), (std::vector<std::string>{"9999999.uf1", "0471999.uf1", "abc.uf1"}));
    ASSERT_TRUE(sort.ColumnClick(1));
    EXPECT_EQ(SortedNames(rows, sort), (std::vector<std::string>{"abc.uf1", "0471999.uf1", "9999999.uf1"}));
    ASSERT_TRUE(sort.ColumnClick(3));  // first click on the year: ascending, standard year last
    EXPECT_EQ(SortedNames(rows, sort), (std::vector<std::string>{"abc.uf1", "0471999.uf1", "9999999.uf1"}));

    // The size column turns nothing and orders nothing.
    SortState size;
    EXPECT_FALSE(size.ColumnClick(5));
    EXPECT_EQ(size.SortColumn, 5);
    EXPECT_EQ(std::vector<bool>(size.SortAscending, size.SortAscending + 5),
              (std::vector<bool>{true, true, false, false, false}));
    EXPECT_EQ(CompareRows(rows[0], rows[1], 5, true), 0);
    EXPECT_FALSE(size.ColumnClick(6));
    EXPECT_FALSE(size.ColumnClick(-1));
}

TEST(FileListCore, UpdateDatesSortAcrossTheCentury) {
    FileRow old = RowNamed("a"), newer = RowNamed("b"), recent = RowNamed("c");
    old.dateText = "80/01/01";
    newer.dateText = "79/12/31";
    recent.dateText = "99/06/30";
    SortState sort;
    ASSERT_TRUE(sort.ColumnClick(4));
    EXPECT_EQ(SortedNames({newer, old, recent}, sort), (std::vector<std::string>{"a", "c", "b"}));
    ASSERT_TRUE(sort.ColumnClick(4));
    EXPECT_EQ(SortedNames({newer, old, recent}, sort), (std::vector<std::string>{"b", "c", "a"}));
}

TEST(FileListCore, ScanKeepsOnlyPlainFilesAndFolders) {
    TempDir dir;
    WriteFile(dir.file("0471999.uf1"), "x");
    WriteFile(dir.file(".0010009.uf1"), "x");
    std::filesystem::create_directory(dir.path() / "folder.uf1");
    mkfifo(dir.file("0449999.uf1").c_str(), 0600);
    auto rows = ScanRows(dir.path().string() + "/*.uf1", {});
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.fileName);
    EXPECT_EQ(names, (std::vector<std::string>{".0010009.uf1", "0471999.uf1", "folder.uf1"}));
}
