// The 842 AMeDAS stations of 1981-1995 and their accessors.
//
// A station index is 0..841 (the ID minus one). Every accessor answers an
// index outside that range with 0, 0.0, the empty text or {0, 0, 0} without
// reading the table. Text results are code page 932 bytes copied with their
// NUL into the caller's buffer, which must hold 34 bytes; the buffer is
// returned.
#pragma once

#include <cstdint>

#include "Export.h"

constexpr int AMeDASCount = 842;
constexpr int StationTextBufferSize = 34;

// One row of the table, packed in this order with native pointers. Programs
// read the exported array directly, so the layout is part of the interface
// (47 bytes a row where pointers are 4 bytes wide).
#pragma pack(push, 1)
struct StationRecord {
    std::uint8_t Volume;       // data volume 1..4
    std::uint16_t ID;          // 1..842, index + 1
    const char* Name;          // kanji
    const char* Pron;          // romaji
    const char* Yomi;          // half-width katakana
    const char* Belong;        // prefecture or Hokkaido subprefecture, kanji
    const char* BelongPron;    // the same in English
    const char* BelongYomi;    // the same in half-width katakana
    std::int32_t Latitude;     // packed angle: degrees*1000 + minutes*10 + tenths
    std::int32_t Longitude;    // packed angle
    std::int16_t Height;       // metres above sea level
    std::int16_t WindLevelOld; // tenths of a metre
    const char* FirstDate;     // YYMMDD
    const char* LastDate;      // YYMMDD
};
#pragma pack(pop)

struct DegMinSec {
    std::int32_t Degrees;
    std::int32_t Minutes;
    std::int32_t Seconds;
};

extern "C" {

VORBEL_API extern const StationRecord _AMeDASItems[AMeDASCount];

// The library's module handle (its dlopen handle here).
VORBEL_API void* _GetVorbelDLLInst();
// The library's entry routine, run when the library is loaded: keeps the
// module handle and works out the library folder. Returns 1.
VORBEL_API int DllEntryPoint(void* instance, std::uint32_t reason, void* reserved);

VORBEL_API int GetMaxAMeDAS();
VORBEL_API int GetAMeDASVolume(int index);
VORBEL_API int GetAMeDASID(int index);
VORBEL_API char* GetAMeDASName(int index, char* buffer);
VORBEL_API char* GetAMeDASPron(int index, char* buffer);
VORBEL_API char* GetAMeDASYomi(int index, char* buffer);
VORBEL_API char* GetAMeDASBelong(int index, char* buffer);
VORBEL_API char* GetAMeDASBelongPron(int index, char* buffer);
VORBEL_API char* GetAMeDASBelongYomi(int index, char* buffer);
VORBEL_API double GetAMeDASLatitude(int index);
VORBEL_API DegMinSec GetAMeDASLatit60(int index);
VORBEL_API double GetAMeDASLongitude(int index);
VORBEL_API DegMinSec GetAMeDASLongit60(int index);
VORBEL_API double GetAMeDASHeight(int index);
VORBEL_API double GetAMeDASWindLevelOld(int index);
VORBEL_API double GetAMeDASWindLevel(int index);
VORBEL_API char* GetFirstDate(int index, char* buffer);
VORBEL_API char* GetLastDate(int index, char* buffer);

}  // extern "C"
