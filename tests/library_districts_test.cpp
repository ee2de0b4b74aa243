// District codes: the station lookup over the whole table, the region rule
// and the prefecture lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vorbel/Districts.h"

namespace {

struct Range {
    int code, first, last;
};

// Each district's station IDs as the station table holds them.
const Range DistrictRanges[] = {
    {1001, 1, 11},    {1002, 12, 31},   {1003, 32, 40},   {1004, 41, 49},   {1005, 50, 61},   {1006, 62, 72},
    {1007, 73, 92},   {1008, 93, 100},  {1009, 101, 111}, {1010, 112, 129}, {1011, 130, 140}, {1012, 141, 148},
    {1013, 149, 156}, {1014, 157, 162}, {2001, 163, 184}, {2002, 185, 208}, {2003, 209, 241}, {2004, 242, 259},
    {2005, 260, 279}, {2006, 280, 308}, {3001, 309, 322}, {3002, 323, 336}, {3003, 337, 349}, {3004, 350, 357},
    {3005, 358, 369}, {3006, 370, 383}, {3007, 384, 388}, {4001, 389, 417}, {4002, 418, 427}, {4003, 428, 444},
    {4004, 445, 455}, {4005, 456, 478}, {4006, 491, 517}, {4007, 518, 526}, {4008, 527, 536}, {4009, 537, 545},
    {5001, 479, 490}, {5002, 546, 553}, {5003, 554, 561}, {5004, 562, 568}, {5005, 569, 587}, {5006, 588, 593},
    {5007, 594, 604}, {6001, 605, 619}, {6002, 620, 637}, {6003, 654, 662}, {6004, 638, 653}, {6005, 706, 720},
    {6006, 663, 670}, {6007, 671, 676}, {6008, 677, 690}, {6009, 691, 705}, {7001, 721, 732}, {7002, 733, 746},
    {7003, 747, 760}, {7004, 761, 765}, {7005, 766, 782}, {7006, 783, 798}, {7007, 799, 824}, {7008, 825, 842},
};

std::vector<std::string> Items(const TPrefItems& list) {
    std::vector<std::string> items;
    for (int k = 0; k < list.Count(); ++k) items.push_back(list[k]);
    return items;
}

TEST(WhichPref, EveryStationGetsTheDistrictOfItsRange) {
    int covered = 0;
    for (const Range& r : DistrictRanges) {
        for (int id = r.first; id <= r.last; ++id) EXPECT_EQ(Which_Pref(id), r.code) << "station " << id;
        covered += r.last - r.first + 1;
    }
    EXPECT_EQ(covered, 842);
}

TEST(WhichPref, ClampsIdsOutsideTheTable) {
    EXPECT_EQ(Which_Pref(0), 1001);
    EXPECT_EQ(Which_Pref(-7), 1001);
    EXPECT_EQ(Which_Pref(843), 7008);
    EXPECT_EQ(Which_Pref(1 << 30), 7008);
}

TEST(RegionOfDistrict, ThresholdsAreTheRegionsLastCodes) {
    EXPECT_EQ(RegionOfDistrict(1014), 1000);
    EXPECT_EQ(RegionOfDistrict(1015), 2000);
    EXPECT_EQ(RegionOfDistrict(1500), 2000);
    EXPECT_EQ(RegionOfDistrict(3005), 3000);
    EXPECT_EQ(RegionOfDistrict(3007), 3000);
    EXPECT_EQ(RegionOfDistrict(3008), 4000);
    EXPECT_EQ(RegionOfDistrict(7008), 7000);
    EXPECT_EQ(RegionOfDistrict(9999), 7000);
    EXPECT_EQ(RegionOfDistrict(0), 1000);
    EXPECT_EQ(RegionOfDistrict(-5), 1000);
    for (const Range& r : DistrictRanges) EXPECT_EQ(RegionOfDistrict(r.code), r.code / 1000 * 1000) << r.code;
}

TEST(TPrefItems, ListsTheRegionInEitherLanguage) {
    TPrefItems romaji(3000, 1);
    EXPECT_EQ(Items(romaji),
              (std::vector<std::string>{"Ibaragi", "Tochigi", "Gumma", "Saitama", "Tokyo", "Chiba", "Kanagawa"}));
    EXPECT_EQ(romaji.NameCount, 7);
    TPrefItems kanji(3000, 0);
    EXPECT_EQ(Items(kanji), (std::vector<std::string>{"茨城", "栃木", "群馬", "埼玉", "東京", "千葉", "神奈川"}));
    TPrefItems west(6000, 1);
    EXPECT_EQ(west[2], "Tottori");
    EXPECT_EQ(west[3], "Shimane");
}

TEST(TPrefItems, ItemKNamesDistrictRegionPlusKPlusOne) {
    const int counts[] = {14, 6, 7, 9, 7, 9, 8};
    int total = 0;
    for (int item = 0; item < RegionCount; ++item) {
        std::int16_t region = static_cast<std::int16_t>((item + 1) * 1000);
        TPrefItems list(region, 1);
        ASSERT_EQ(list.Count(), counts[item]) << region;
        EXPECT_EQ(list.NameCount, counts[item]);
        total += list.Count();
    }
    EXPECT_EQ(total, 60);
    EXPECT_EQ(TPrefItems(7000, 1)[7], "Okinawa");
    EXPECT_EQ(TPrefItems(1000, 0)[13], "桧山");
}

TEST(TPrefItems, OtherRegionCodesGiveNoItem) {
    for (std::int16_t region : {0, 3005, 8000, -1000}) {
        TPrefItems list(region, 1);
        EXPECT_EQ(list.Count(), 0) << region;
        EXPECT_EQ(list.NameCount, 0);
    }
}

TEST(IsDistrictCode, OnlyTheSixtyCodes) {
    int count = 0;
    for (int code = -1; code <= 9000; ++code) count += IsDistrictCode(static_cast<std::int16_t>(code));
    EXPECT_EQ(count, 60);
    for (const Range& r : DistrictRanges) EXPECT_TRUE(IsDistrictCode(r.code)) << r.code;
}

TEST(RegionName, BothLanguagesInRegionOrder) {
    EXPECT_STREQ(RegionName(2, true), "Kanto");
    EXPECT_STREQ(RegionName(2, false), "関東");
    EXPECT_STREQ(RegionName(5, true), "Chugoku/Shikoku");
    EXPECT_STREQ(RegionName(6, false), "九州・沖縄");
    EXPECT_STREQ(RegionName(7, true), "");
}

}  // namespace
