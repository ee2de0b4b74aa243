// District codes: the 46 prefectures and 14 Hokkaido subprefectures, grouped
// into seven regions. A code is region code (a multiple of 1000) plus the
// district's 1-based item within its region; 3005 (Tokyo) is the default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Export.h"

constexpr std::int16_t DefaultDistrict = 3005;
constexpr int RegionCount = 7;

// The region code of a district code: a code between two regions' ranges
// belongs to the higher region, anything above 7008 to 7000, anything up to
// 1014 (0 and negative codes too) to 1000.
std::int16_t RegionOfDistrict(std::int16_t district);

// True for the 60 district codes 1001-1014, 2001-2006, ... 7001-7008.
bool IsDistrictCode(std::int16_t code);

// Name of region item 0..6 (1000..7000): English "Kanto", Japanese (UTF-8) "関東".
const char* RegionName(int item, bool english);

// The district names of one region in one language, item k naming district
// region + k + 1. Language 0 lists the kanji short names (UTF-8), 1 the romaji
// names. A region code that is none of the seven gives no item.
class TPrefItems {
public:
    TPrefItems(std::int16_t region, std::uint8_t language);

    int Count() const { return static_cast<int>(names_.size()); }
    const std::string& operator[](int index) const { return names_.at(index); }

    std::int16_t Region;
    std::uint8_t Language;
    int NameCount = 0;

private:
    std::vector<std::string> names_;
};

extern "C" {

// The district code of the station with this ID (1-based; clamped to
// 1..842); 3005 when its prefecture text names no district.
VORBEL_API std::int16_t Which_Pref(int id);

}  // extern "C"
