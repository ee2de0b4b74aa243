// The station table against its source data and the rules callers rely on.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Library.h"
#include "TestSupport.h"
#include "platform/Cp932.h"
#include "vorbel/Stations.h"

namespace {

std::vector<std::vector<std::string>> ReadCsv() {
    std::ifstream in(testing_support::SourceDir() + "/library/data/amedas_stations.csv");
    std::vector<std::vector<std::string>> rows;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

TEST(StationTable, LayoutIsPackedInFieldOrder) {
    constexpr std::size_t P = sizeof(void*);
    EXPECT_EQ(offsetof(StationRecord, Volume), 0u);
    EXPECT_EQ(offsetof(StationRecord, ID), 1u);
    EXPECT_EQ(offsetof(StationRecord, Name), 3u);
    EXPECT_EQ(offsetof(StationRecord, Pron), 3 + P);
    EXPECT_EQ(offsetof(StationRecord, Yomi), 3 + 2 * P);
    EXPECT_EQ(offsetof(StationRecord, Belong), 3 + 3 * P);
    EXPECT_EQ(offsetof(StationRecord, BelongPron), 3 + 4 * P);
    EXPECT_EQ(offsetof(StationRecord, BelongYomi), 3 + 5 * P);
    EXPECT_EQ(offsetof(StationRecord, Latitude), 3 + 6 * P);
    EXPECT_EQ(offsetof(StationRecord, Longitude), 7 + 6 * P);
    EXPECT_EQ(offsetof(StationRecord, Height), 11 + 6 * P);
    EXPECT_EQ(offsetof(StationRecord, WindLevelOld), 13 + 6 * P);
    EXPECT_EQ(offsetof(StationRecord, FirstDate), 15 + 6 * P);
    EXPECT_EQ(offsetof(StationRecord, LastDate), 15 + 7 * P);
    EXPECT_EQ(sizeof(StationRecord), 15 + 8 * P);
    EXPECT_EQ(reinterpret_cast<const char*>(&_AMeDASItems[1]) - reinterpret_cast<const char*>(&_AMeDASItems[0]),
              static_cast<std::ptrdiff_t>(sizeof(StationRecord)));
}

TEST(StationTable, MatchesTheSourceDataRowForRow) {
    auto rows = ReadCsv();
    ASSERT_EQ(rows.size(), 842u);
    for (int i = 0; i < 842; ++i) {
        const auto& f = rows[i];
        const StationRecord& r = _AMeDASItems[i];
        SCOPED_TRACE("row " + f[0]);
        ASSERT_EQ(f.size(), 14u);
        EXPECT_EQ(int(r.ID), std::stoi(f[0]));
        EXPECT_EQ(int(r.Volume), std::stoi(f[1]));
        EXPECT_EQ(std::string(r.Name), platform::Utf8ToCp932(f[2]));
        EXPECT_EQ(std::string(r.Pron), f[3]);
        EXPECT_EQ(std::string(r.Yomi), platform::Utf8ToCp932(f[4]));
        EXPECT_EQ(std::string(r.Belong), platform::Utf8ToCp932(f[5]));
        EXPECT_EQ(std::string(r.BelongPron), f[6]);
        EXPECT_EQ(std::string(r.BelongYomi), platform::Utf8ToCp932(f[7]));
        EXPECT_EQ(int(r.Latitude), std::stoi(f[8]));
        EXPECT_EQ(int(r.Longitude), std::stoi(f[9]));
        EXPECT_EQ(int(r.Height), std::stoi(f[10]));
        EXPECT_EQ(int(r.WindLevelOld), std::stoi(f[11]));
        EXPECT_EQ(std::string(r.FirstDate), f[12]);
        EXPECT_EQ(std::string(r.LastDate), f[13]);
    }
}

TEST(StationTable, KeepsTheRulesCallersRelyOn) {
    std::set<std::string> belongs, belongProns;
    int belowSea = 0;
    for (int i = 0; i < 842; ++i) {
        const StationRecord& r = _AMeDASItems[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(int(r.ID), i + 1);
        int expectedVolume = r.ID <= 162 ? 1 : r.ID <= 388 ? 2 : r.ID <= 604 ? 3 : 4;
        EXPECT_EQ(int(r.Volume), expectedVolume);
        for (const char* text : {r.Name, r.Pron, r.Yomi, r.Belong, r.BelongPron, r.BelongYomi, r.FirstDate, r.LastDate})
            EXPECT_LT(std::strlen(text), static_cast<size_t>(StationTextBufferSize));
        EXPECT_GE(std::strlen(r.Name), 2u);
        EXPECT_LE(std::strlen(r.Name), 8u);
        EXPECT_GE(std::strlen(r.Pron), 2u);
        EXPECT_LE(std::strlen(r.Pron), 16u);
        for (const char* c = r.Pron; *c; ++c) EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(*c)));
        EXPECT_GE(std::strlen(r.Yomi), 1u);
        EXPECT_LE(std::strlen(r.Yomi), 9u);
        EXPECT_GE(std::strlen(r.Belong), 6u);
        EXPECT_LE(std::strlen(r.Belong), 14u);
        EXPECT_GE(std::strlen(r.BelongPron), 14u);
        EXPECT_LE(std::strlen(r.BelongPron), 33u);
        EXPECT_GE(std::strlen(r.BelongYomi), 4u);
        EXPECT_LE(std::strlen(r.BelongYomi), 17u);
        for (int packed : {int(r.Latitude), int(r.Longitude)}) {
            EXPECT_LE((packed % 1000) / 10, 59);
        }
        EXPECT_GE(int(r.Latitude), 24000);
        EXPECT_LE(int(r.Latitude), 45600);
        EXPECT_GE(int(r.Longitude), 122900);
        EXPECT_LE(int(r.Longitude), 146000);
        EXPECT_STREQ(r.LastDate, "951231");
        EXPECT_EQ(std::strlen(r.FirstDate), 6u);
        belongs.insert(r.Belong);
        belongProns.insert(r.BelongPron);
        if (r.Height < 0) ++belowSea;
        if (i > 0 && std::strcmp(r.Belong, _AMeDASItems[i - 1].Belong) != 0) {
            for (int j = 0; j < i - 1; ++j)
                EXPECT_STRNE(_AMeDASItems[j].Belong, r.Belong) << "district runs must be contiguous";
        }
    }
    EXPECT_EQ(belongs.size(), 60u);
    EXPECT_EQ(belongProns.size(), 60u);
    EXPECT_EQ(belowSea, 1);
}

TEST(StationTable, FirstAndLastRowsAreThePublishedOnes) {
    const StationRecord& first = _AMeDASItems[0];
    EXPECT_EQ(platform::Cp932ToUtf8(first.Name), "宗谷岬");
    EXPECT_STREQ(first.Pron, "Soyamisaki");
    EXPECT_EQ(platform::Cp932ToUtf8(first.Yomi), "ｿｳﾔﾐｻｷ");
    EXPECT_EQ(platform::Cp932ToUtf8(first.Belong), "北海道宗谷支庁");
    EXPECT_STREQ(first.BelongPron, "Hokkaido Soya Subprefecture");
    EXPECT_EQ(platform::Cp932ToUtf8(first.BelongYomi), "ﾎｯｶｲﾄﾞｳ ｿｳﾔｼﾁｮｳ");
    EXPECT_EQ(int(first.Latitude), 45311);
    EXPECT_EQ(int(first.Longitude), 141564);
    EXPECT_EQ(int(first.Height), 26);
    EXPECT_EQ(int(first.WindLevelOld), 80);
    const StationRecord& last = _AMeDASItems[841];
    EXPECT_EQ(int(last.Volume), 4);
    EXPECT_EQ(int(last.ID), 842);
    EXPECT_EQ(platform::Cp932ToUtf8(last.Name), "波照間");
    EXPECT_STREQ(last.Pron, "Hateruma");
    EXPECT_STREQ(last.BelongPron, "Okinawa Prefecture");
    EXPECT_EQ(int(last.Latitude), 24035);
    EXPECT_EQ(int(last.Longitude), 123461);
    EXPECT_EQ(int(last.Height), 32);
    EXPECT_EQ(int(last.WindLevelOld), 81);
}

TEST(LibraryFolder, IsTheFolderWithItsSeparator) {
    EXPECT_EQ(vorbel::FolderOfModule("/opt/apps/wx/libvorbel.so"), "/opt/apps/wx/");
    EXPECT_EQ(vorbel::FolderOfModule("libvorbel.so"), "");
    EXPECT_EQ(vorbel::FolderOfModule("/libvorbel.so"), "/");
}

}  // namespace
