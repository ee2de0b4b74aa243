// Date forms, day numbers, weekdays and the Japanese public holidays.
#include "vorbel/Calendar.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "Library.h"
#include "platform/Cp932.h"
#include "platform/forms/Application.h"

namespace {

struct HolidayRow {
    int fromYear;
    int month;
    int day;
};

// The holidays in the order the lookup counts them: a year's table is the
// rows whose from-year it has reached. Rows 2 and 10 (second Mondays from
// 2000) and 4 and 9 (the equinoxes) are rewritten for each year asked for.
HolidayRow holidays[] = {
    {1981, 1, 1},  {1981, 1, 15},  {1981, 2, 11}, {1981, 3, 21}, {1981, 4, 29},
    {1981, 5, 3},  {1981, 5, 5},   {1981, 9, 15}, {1981, 9, 23}, {1981, 10, 10},
    {1981, 11, 3}, {1981, 11, 23}, {1986, 5, 4},  {1989, 12, 23}, {1996, 7, 20},
};
HolidayRow& comingOfAgeDay = holidays[1];
HolidayRow& vernalEquinoxDay = holidays[3];
HolidayRow& autumnalEquinoxDay = holidays[8];
HolidayRow& sportsDay = holidays[9];

constexpr int FirstHolidayYear = 1981;
constexpr int FirstMondayHolidayYear = 2000;
constexpr int Sunday = 1;
constexpr int Monday = 2;
constexpr int TdayYear = 2006;  // the year of TAdate(int)

const int monthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int MonthLength(int month, int year) { return monthLengths[month - 1] + (month == 2 && Is_Leap(year) ? 1 : 0); }

// Moves the row to the second Monday among the first 31 days of its month.
void MoveToSecondMonday(HolidayRow& row, int year) {
    int mondays = 0;
    for (int day = 1; day <= 31; ++day) {
        TIntDate date{year, row.month, day};
        if (GetWeek(IntDateToJday(&date)) == Monday && ++mondays == 2) {
            row.day = day;
            return;
        }
    }
}

// The date's full text; it may be longer than a TStrDate holds.
std::string DateText(const TIntDate& date) {
    char text[40];
    std::snprintf(text, sizeof text, "%4d/%02d/%02d", date.year, date.month, date.day);
    return text;
}

// The integer at the start of text[from, to): leading white space and a sign,
// then digits up to the first non-digit. Fields are at most four characters,
// so the value always fits.
int FieldValue(const char* text, std::size_t from, std::size_t to) {
    std::size_t at = from;
    while (at < to && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    bool negative = at < to && text[at] == '-';
    if (at < to && (text[at] == '-' || text[at] == '+')) ++at;
    int value = 0;
    for (; at < to && std::isdigit(static_cast<unsigned char>(text[at])); ++at) value = value * 10 + (text[at] - '0');
    return negative ? -value : value;
}

TIntDate Corrected(TIntDate date) {
    if (date.year == 0) date.year = 1;
    date.month = std::clamp(date.month, 1, 12);
    date.day = std::clamp(date.day, 1, MonthLength(date.month, date.year));
    return date;
}

bool operator==(const TIntDate& a, const TIntDate& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

void WarnOfCorrection(const std::string& argument, const std::string& corrected) {
    std::string text = " Argument: " + argument + " was incorrect.\r\n" + "Corrected: " + corrected;
    vorbel::App().MessageBox(QString::fromStdString(platform::Cp932ToUtf8(text)), "Input Warning",
                             platform::MB_OK | platform::MB_ICONWARNING);
}

void PointIntoItself(TAdate& date) {
    date.pIntDate = &date.IntDate;
    date.pStrDate = date.StrDate;
}

// What the constructors from a date share once StrDate holds the text of the
// date as passed: correct the date (telling the user), then derive its other
// forms.
void Settle(TAdate& date, const TIntDate& passed, const std::string& argumentText) {
    date.IntDate = Corrected(passed);
    if (!(date.IntDate == passed)) {
        IntDateToStrDate(&date.IntDate, date.StrDate);
        WarnOfCorrection(argumentText, DateText(date.IntDate));
    }
    date.Tday = IntDateToTday(&date.IntDate);
    date.Jday = IntDateToJday(&date.IntDate);
    date.DetWeek();
}

}  // namespace

extern "C" {

int SetHolidayArray(int year) {
    year = std::max(year, FirstHolidayYear);
    int a = year - 1980;
    int b = a / 4;
    vernalEquinoxDay.day = static_cast<int>(a * 0.242194 + 20.8431 - b);
    autumnalEquinoxDay.day = static_cast<int>(a * 0.242194 + 23.2488 - b);
    comingOfAgeDay.day = 15;
    sportsDay.day = 10;
    if (year >= FirstMondayHolidayYear) {
        MoveToSecondMonday(comingOfAgeDay, year);
        MoveToSecondMonday(sportsDay, year);
    }
    auto inForce = [year](const HolidayRow& row) { return row.fromYear <= year; };
    return static_cast<int>(std::count_if(std::begin(holidays), std::end(holidays), inForce));
}

bool Is_Holiday(TIntDate* date) {
    int inForce = SetHolidayArray(date->year);
    return std::any_of(holidays, holidays + inForce,
                       [date](const HolidayRow& row) { return row.month == date->month && row.day == date->day; });
}

bool Is_Leap(int year) {
    if (year <= 1582) return false;
    if (year % 400 == 0) return true;
    if (year % 100 == 0) return false;
    return year % 4 == 0;
}

void IntDateToStrDate(TIntDate* date, char* text) {
    std::string full = DateText(*date);
    std::size_t length = std::min<std::size_t>(full.size(), StrDateLength);
    std::memcpy(text, full.data(), length);
    text[length] = '\0';
}

void StrDateToIntDate(char* text, TIntDate* out) {
    std::size_t length = strnlen(text, StrDateLength);
    out->year = FieldValue(text, 0, std::min<std::size_t>(4, length));
    out->month = FieldValue(text, 5, std::min<std::size_t>(7, length));
    out->day = FieldValue(text, 8, length);
    for (std::size_t separator : {4u, 7u})
        if (separator < length) text[separator] = '/';
}

void TdayToIntDate(int tday, int year, TIntDate* out) {
    tday = std::clamp(tday, 1, Is_Leap(year) ? 366 : 365);
    int month = 1;
    int before = 0;  // days of the months before `month`
    while (before + MonthLength(month, year) < tday) before += MonthLength(month++, year);
    *out = {year, month, tday - before};
}

void TdayToStrDate(int tday, int year, char* text) {
    TIntDate date;
    TdayToIntDate(tday, year, &date);
    IntDateToStrDate(&date, text);
}

int IntDateToTday(TIntDate* date) {
    int monthsBefore = std::clamp(date->month, 1, 13) - 1;
    long long tday = date->day;
    for (int month = 1; month <= monthsBefore; ++month) tday += MonthLength(month, date->year);
    return static_cast<int>(tday);
}

int StrDateToTday(char* text) {
    TIntDate date;
    StrDateToIntDate(text, &date);
    return IntDateToTday(&date);
}

int IntDateToJday(TIntDate* date) {
    const int year = date->year;
    const int month = date->month;
    const int day = date->day;
    if (year == 0) return -1;
    // Years count without a year 0 and a year starts in March.
    double jy = year < 0 ? year + 1.0 : year;
    double jm = month + 1.0;
    if (month <= 2) {
        jy -= 1;
        jm = month + 13.0;
    }
    // Held wider than an int so that a date far out of range gives a number
    // (wrapped) rather than an overflow.
    long long jd = static_cast<long long>(std::floor(365.25 * jy)) + static_cast<long long>(std::floor(30.6001 * jm)) +
                   day + 1720995;
    constexpr long long GregorianStart = 15 + 31 * (10 + 12 * 1582LL);  // 15 October 1582
    if (day + 31 * (month + 12LL * year) >= GregorianStart) {
        long long ja = static_cast<long long>(0.01 * jy);
        jd += 2 - ja + static_cast<long long>(0.25 * ja);
    }
    return static_cast<int>(jd);
}

int StrDateToJday(char* text) {
    TIntDate date;
    StrDateToIntDate(text, &date);
    return IntDateToJday(&date);
}

int GetWeek(int jday) { return static_cast<int>((jday + 1LL) % 7) + 1; }

}  // extern "C"

TAdate::TAdate(int tday) : HolidayCheck(true), Tday(tday) {
    PointIntoItself(*this);
    TdayToIntDate(tday, TdayYear, &IntDate);
    IntDateToStrDate(&IntDate, StrDate);
    Jday = IntDateToJday(&IntDate);
    DetWeek();
}

TAdate::TAdate(int year, int month, int day) : HolidayCheck(true) {
    PointIntoItself(*this);
    TIntDate passed{year, month, day};
    IntDateToStrDate(&passed, StrDate);
    Settle(*this, passed, DateText(passed));
}

TAdate::TAdate(TIntDate& date) : TAdate(date.year, date.month, date.day) {}

TAdate::TAdate(TStrDate& text) : HolidayCheck(true), StrDate() {
    PointIntoItself(*this);
    std::memcpy(StrDate, text, strnlen(text, StrDateLength));
    TIntDate passed;
    StrDateToIntDate(StrDate, &passed);
    Settle(*this, passed, StrDate);
}

TAdate::TAdate(const TAdate& other) { *this = other; }

TAdate& TAdate::operator=(const TAdate& other) {
    HolidayCheck = other.HolidayCheck;
    IntDate = other.IntDate;
    std::memcpy(StrDate, other.StrDate, sizeof StrDate);
    Jday = other.Jday;
    Tday = other.Tday;
    Week = other.Week;
    Holiday = other.Holiday;
    PointIntoItself(*this);
    return *this;
}

void TAdate::DetWeek() {
    Week = static_cast<std::uint8_t>(GetWeek(Jday));
    Holiday = 0;
    if (!HolidayCheck) return;
    if (Is_Holiday(&IntDate)) {
        Holiday = Week == Sunday ? 9 : 1;
    } else if (Week == Monday) {
        TIntDate dayBefore;
        TdayToIntDate(Tday - 1, IntDate.year, &dayBefore);
        if (Is_Holiday(&dayBefore)) Holiday = 8;
    }
}
