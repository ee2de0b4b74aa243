// Date arithmetic on the family's date forms and the Japanese public holidays
// from 1981 on.
//
// Date forms:
//   TIntDate  year, month 1..12, day 1..31 (passed by pointer)
//   TStrDate  "YYYY/MM/DD" made with "%4d/%02d/%02d" (years below 1000 padded
//             with spaces) and its NUL
//   Tday      day of the year, 1 = January 1
//   Jday      Julian Day Number (2000-01-01 is 2451545): the Gregorian
//             calendar from 15 October 1582, the Julian one before, and no
//             year 0
//   weekday   1 = Sunday .. 7 = Saturday
//
// Holidays come from one process-wide table that every SetHolidayArray call
// (and so every Is_Holiday call and every TAdate) rewrites for its year; use
// the calendar from one thread at a time.
//
// Texts never run past a TStrDate:
//   - IntDateToStrDate and TdayToStrDate write at most 11 bytes (10 characters
//     and the NUL). A date whose text would be longer (a year outside
//     -999..9999, a month or day outside -9..99) is cut to its first 10
//     characters.
//   - StrDateToIntDate, StrDateToTday and StrDateToJday read the text up to
//     its NUL but never more than its first 10 characters; the text must be
//     NUL-terminated or at least 10 characters long. The year is read from
//     characters 0..3, the month from 5..6 and the day from 8..9 (leading
//     white space and a sign allowed, up to the first non-digit); characters
//     4 and 7 are the separators and are set to '/'. A shorter text gives 0
//     for every field it does not reach, and only its own characters are
//     rewritten: its NUL and whatever follows it stay as they were.
//
// Day numbers are meaningful for dates whose Julian Day Number fits an int
// (years within about +-5 800 000); beyond that they wrap around.
#pragma once

#include <cstdint>

#include "Export.h"

struct TIntDate {
    std::int32_t year;
    std::int32_t month;
    std::int32_t day;
};

constexpr int StrDateLength = 10;
typedef char TStrDate[StrDateLength + 1];

extern "C" {

// Rewrites the holiday table for `year` (years before 1981 count as 1981) and
// returns how many of its rows are in force: 12, 13, 14 or 15.
VORBEL_API int SetHolidayArray(int year);
// True when the date is a public holiday of the table for its year (a
// substitute Monday is not: see TAdate::Holiday).
VORBEL_API bool Is_Holiday(TIntDate* date);
// The Gregorian leap-year rule; false for every year up to 1582.
VORBEL_API bool Is_Leap(int year);
VORBEL_API void IntDateToStrDate(TIntDate* date, char* text);
VORBEL_API void StrDateToIntDate(char* text, TIntDate* out);
// Day of year to date; a day below 1 counts as 1, one past the year's end as
// its last day.
VORBEL_API void TdayToIntDate(int tday, int year, TIntDate* out);
VORBEL_API void TdayToStrDate(int tday, int year, char* text);
// Day of year of the date. A month below 1 counts no months before the day;
// a month above 12 counts the twelve months of the year before it.
VORBEL_API int IntDateToTday(TIntDate* date);
VORBEL_API int StrDateToTday(char* text);
// Julian Day Number, -1 for the year 0.
VORBEL_API int IntDateToJday(TIntDate* date);
VORBEL_API int StrDateToJday(char* text);
// Weekday 1 (Sunday) .. 7 (Saturday) of a day number; the day -1 gives 1 and
// days below it give 1 down to -5.
VORBEL_API int GetWeek(int jday);

}  // extern "C"

// Every form of one date. The constructors from a date correct an impossible
// one (year 0 -> 1, month into 1..12, day into the month) and tell the user
// with an "Input Warning" message; TAdate(int) takes a day of the year 2006
// and corrects silently.
class VORBEL_API TAdate {
public:
    TAdate(int tday);
    TAdate(int year, int month, int day);
    TAdate(TIntDate& date);
    TAdate(TStrDate& text);
    // A copy points into itself, never into the object it was copied from.
    TAdate(const TAdate& other);
    TAdate& operator=(const TAdate& other);

    // Recomputes Week and Holiday from Jday, Tday, IntDate and HolidayCheck.
    void DetWeek();

    bool HolidayCheck;   // DetWeek classifies holidays only when set
    TIntDate* pIntDate;  // &IntDate
    char* pStrDate;      // StrDate
    TIntDate IntDate;
    TStrDate StrDate;
    int Jday;
    int Tday;
    std::uint8_t Week;  // 1 (Sunday) .. 7
    // 0 none, 1 a holiday, 8 a Monday after a Sunday holiday, 9 a holiday on
    // a Sunday.
    std::uint8_t Holiday;
};
