// The calendar: holiday table, day numbers, weekdays, date texts and TAdate,
// checked against hand-picked dates and against std::chrono's calendar.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/forms/Application.h"
#include "vorbel/Calendar.h"

namespace {

using namespace std::chrono;

TIntDate Date(int y, int m, int d) { return {y, m, d}; }

// Julian Day Number and weekday (1 = Sunday) of a Gregorian date, from std::chrono.
int ChronoJday(const year_month_day& ymd) { return sys_days{ymd}.time_since_epoch().count() + 2440588; }
int ChronoWeek(const year_month_day& ymd) { return static_cast<int>(weekday{sys_days{ymd}}.c_encoding()) + 1; }
TIntDate FromChrono(const year_month_day& ymd) {
    return {int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day()))};
}

bool Holiday(int y, int m, int d) {
    TIntDate date = Date(y, m, d);
    return Is_Holiday(&date);
}

TEST(Holidays, TableGrowsWithTheYearAndComputesItsMovingDays) {
    struct Case { int year, rows; std::vector<std::pair<int, int>> holidays, workdays; };
    const Case cases[] = {
        {1970, 12, {{3, 21}, {9, 23}, {1, 15}, {10, 10}}, {{5, 4}, {3, 20}}},
        {1985, 12, {{3, 21}, {9, 23}}, {{5, 4}, {12, 23}, {7, 20}}},
        {1986, 13, {{5, 4}}, {{12, 23}}},
        {1988, 13, {{3, 20}, {5, 4}}, {{3, 21}}},
        {1989, 14, {{12, 23}}, {{7, 20}}},
        {1995, 14, {}, {{7, 20}}},
        {1996, 15, {{7, 20}, {3, 20}}, {}},
        {1999, 15, {{1, 15}, {10, 10}}, {}},
        {2000, 15, {{1, 10}, {10, 9}, {3, 20}, {9, 23}}, {{1, 15}, {10, 10}, {3, 21}}},
        {2003, 15, {{1, 13}, {10, 13}, {3, 21}, {9, 23}}, {{1, 15}, {10, 10}}},
        {2012, 15, {{9, 22}}, {{9, 23}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SetHolidayArray(c.year), c.rows) << c.year;
        for (auto [m, d] : c.holidays) EXPECT_TRUE(Holiday(c.year, m, d)) << c.year << "-" << m << "-" << d;
        for (auto [m, d] : c.workdays) EXPECT_FALSE(Holiday(c.year, m, d)) << c.year << "-" << m << "-" << d;
    }
    // The day-off rules of the table, not later law: Marine Day stays on July 20.
    EXPECT_TRUE(Holiday(2003, 7, 20));
    EXPECT_TRUE(Holiday(2003, 9, 15));
    EXPECT_FALSE(Holiday(2003, 9, 20));
    EXPECT_TRUE(Holiday(2003, 5, 4));
}

TEST(Holidays, MatchThePublishedCalendarOfYearsTheTableCovers) {
    // National holidays as published for 1999-2002, with the substitute
    // holiday of those years: the Monday after a holiday on a Sunday.
    const std::set<std::tuple<int, int, int>> published = {
        {1999, 1, 1}, {1999, 1, 15}, {1999, 2, 11}, {1999, 3, 21}, {1999, 4, 29}, {1999, 5, 3}, {1999, 5, 4},
        {1999, 5, 5}, {1999, 7, 20}, {1999, 9, 15}, {1999, 9, 23}, {1999, 10, 10}, {1999, 11, 3}, {1999, 11, 23},
        {1999, 12, 23}, {2000, 1, 1}, {2000, 1, 10}, {2000, 2, 11}, {2000, 3, 20}, {2000, 4, 29}, {2000, 5, 3},
        {2000, 5, 4}, {2000, 5, 5}, {2000, 7, 20}, {2000, 9, 15}, {2000, 9, 23}, {2000, 10, 9}, {2000, 11, 3},
        {2000, 11, 23}, {2000, 12, 23}, {2001, 1, 1}, {2001, 1, 8}, {2001, 2, 11}, {2001, 3, 20}, {2001, 4, 29},
        {2001, 5, 3}, {2001, 5, 4}, {2001, 5, 5}, {2001, 7, 20}, {2001, 9, 15}, {2001, 9, 23}, {2001, 10, 8},
        {2001, 11, 3}, {2001, 11, 23}, {2001, 12, 23}, {2002, 1, 1}, {2002, 1, 14}, {2002, 2, 11}, {2002, 3, 21},
        {2002, 4, 29}, {2002, 5, 3}, {2002, 5, 4}, {2002, 5, 5}, {2002, 7, 20}, {2002, 9, 15}, {2002, 9, 23},
        {2002, 10, 14}, {2002, 11, 3}, {2002, 11, 23}, {2002, 12, 23}};
    auto published_on = [&published](sys_days day) {
        TIntDate date = FromChrono(year_month_day{day});
        return published.count(std::make_tuple(date.year, date.month, date.day)) > 0;
    };
    for (sys_days day = sys_days{1999y / 1 / 1}; day <= sys_days{2002y / 12 / 31}; day += days{1}) {
        TIntDate date = FromChrono(year_month_day{day});
        bool holiday = published_on(day);
        bool substitute = weekday{day} == Monday && !holiday && published_on(day - days{1});
        EXPECT_EQ(Is_Holiday(&date), holiday) << date.year << "-" << date.month << "-" << date.day;
        EXPECT_EQ(TAdate(date).Holiday, holiday ? (weekday{day} == Sunday ? 9 : 1) : (substitute ? 8 : 0))
            << date.year << "-" << date.month << "-" << date.day;
    }
}

TEST(Calendar, LeapYearsFollowTheGregorianRuleFrom1583) {
    for (int y : {-4, 4, 1500, 1580, 1582, 1583, 1900, 2100, 2003}) EXPECT_FALSE(Is_Leap(y)) << y;
    for (int y : {1584, 1600, 2000, 2004}) EXPECT_TRUE(Is_Leap(y)) << y;
}

TEST(Calendar, JulianDayNumbersOfKnownDates) {
    const std::tuple<int, int, int, int> known[] = {
        {2000, 1, 1, 2451545},  {1900, 1, 1, 2415021},  {1899, 12, 31, 2415020}, {1900, 2, 28, 2415079},
        {1900, 3, 1, 2415080},  {2100, 1, 1, 2488070},  {1582, 10, 15, 2299161}, {1582, 10, 4, 2299160},
        {-4713, 1, 1, 0},       {-1, 12, 31, 1721423},  {1, 1, 1, 1721424},      {0, 6, 15, -1}};
    for (auto [y, m, d, jday] : known) {
        TIntDate date = Date(y, m, d);
        EXPECT_EQ(IntDateToJday(&date), jday) << y << "-" << m << "-" << d;
    }
    EXPECT_EQ(GetWeek(2451545), 7);
    EXPECT_EQ(GetWeek(2299161), 6);
    EXPECT_EQ(GetWeek(-1), 1);
    EXPECT_EQ(GetWeek(-2), 0);
    EXPECT_EQ(GetWeek(-7), -5);
    EXPECT_EQ(GetWeek(-8), 1);
}

TEST(Calendar, DatesFarOutOfRangeStaySafe) {
    // Under the sanitizers: no overflow, and the holiday search ends.
    EXPECT_EQ(SetHolidayArray(INT_MAX), 15);
    for (TIntDate date : {Date(INT_MAX, INT_MAX, INT_MAX), Date(INT_MIN, INT_MIN, INT_MIN), Date(INT_MAX, 1, 1)}) {
        IntDateToJday(&date);
        IntDateToTday(&date);
        Is_Holiday(&date);
    }
    EXPECT_EQ(GetWeek(INT_MAX), 3);
    EXPECT_EQ(GetWeek(INT_MIN), 0);
}

TEST(Calendar, DayNumbersAndWeekdaysAgreeWithTheGregorianCalendar) {
    int previous = 0;
    for (sys_days day = sys_days{1583y / 1 / 1}; day <= sys_days{2200y / 12 / 31}; day += days{1}) {
        year_month_day ymd{day};
        TIntDate date = FromChrono(ymd);
        int jday = IntDateToJday(&date);
        ASSERT_EQ(jday, ChronoJday(ymd)) << date.year << "-" << date.month << "-" << date.day;
        ASSERT_EQ(GetWeek(jday), ChronoWeek(ymd));
        if (previous) { ASSERT_EQ(GetWeek(jday), GetWeek(previous) % 7 + 1); }
        previous = jday;
    }
}

TEST(Calendar, JulianCalendarDaysRunOnIntoTheGregorianSwitch) {
    // Every day of the Julian calendar from 100 BC up to 4 October 1582 (no
    // year 0, every fourth year leap), then 15 October.
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    TIntDate first = Date(-100, 1, 1);
    int expected = IntDateToJday(&first);
    for (int y = -100; y <= 1582; ++y) {
        if (y == 0) continue;
        for (int m = 1; m <= 12; ++m) {
            int julianLeap = (y < 0 ? y + 1 : y) % 4 == 0;
            for (int d = 1; d <= lengths[m - 1] + (m == 2 ? julianLeap : 0); ++d) {
                if (y == 1582 && m == 10 && d == 5) d = 15;
                if (y == 1582 && m > 10) break;
                TIntDate date = Date(y, m, d);
                ASSERT_EQ(IntDateToJday(&date), expected++) << y << "-" << m << "-" << d;
            }
        }
    }
}

TEST(Calendar, DayOfYearClampsAndInvertsDates) {
    const std::tuple<int, int, TIntDate> cases[] = {
        {60, 2004, {2004, 2, 29}}, {60, 2003, {2003, 3, 1}},    {0, 2003, {2003, 1, 1}}, {-9, 2003, {2003, 1, 1}},
        {366, 2003, {2003, 12, 31}}, {400, 2004, {2004, 12, 31}}, {366, 2004, {2004, 12, 31}}};
    for (auto [tday, year, want] : cases) {
        TIntDate got;
        TdayToIntDate(tday, year, &got);
        EXPECT_EQ(std::make_tuple(got.year, got.month, got.day), std::make_tuple(want.year, want.month, want.day))
            << tday << " " << year;
    }
    for (int y = 1900; y <= 2100; ++y) {
        for (int tday = 1; tday <= (Is_Leap(y) ? 366 : 365); ++tday) {
            TIntDate date;
            TdayToIntDate(tday, y, &date);
            ASSERT_EQ(IntDateToTday(&date), tday) << y;
        }
    }
    TIntDate last = Date(2004, 12, 31), march = Date(2003, 3, 1);
    TIntDate beyond = Date(2004, 13, 1), before = Date(2004, -5, 7);
    EXPECT_EQ(IntDateToTday(&last), 366);
    EXPECT_EQ(IntDateToTday(&march), 60);
    EXPECT_EQ(IntDateToTday(&beyond), 367);
    beyond.month = 2000000000;
    EXPECT_EQ(IntDateToTday(&beyond), 367);
    EXPECT_EQ(IntDateToTday(&before), 7);
}

TEST(DateText, IsFormattedWithinElevenBytes) {
    const std::pair<TIntDate, const char*> cases[] = {
        {{2003, 7, 20}, "2003/07/20"}, {{1, 1, 1}, "   1/01/01"}, {{0, 13, 0}, "   0/13/00"},
        {{-999, -9, 99}, "-999/-9/99"}, {{12345, 1, 1}, "12345/01/0"}, {{-2147483647 - 1, 1, 1}, "-214748364"}};
    for (auto [date, want] : cases) {
        char text[sizeof(TStrDate) + 1];
        std::memset(text, '#', sizeof text);
        IntDateToStrDate(&date, text);
        EXPECT_STREQ(text, want);
        EXPECT_EQ(text[sizeof(TStrDate)], '#');
    }
    char text[sizeof(TStrDate)];
    TdayToStrDate(60, 2004, text);
    EXPECT_STREQ(text, "2004/02/29");
}

TEST(DateText, IsParsedFromItsFieldsAndGetsSlashSeparators) {
    struct Case { const char* text; TIntDate want; const char* after; };
    const Case cases[] = {
        {"2003-07-20", {2003, 7, 20}, "2003/07/20"},
        {"   1/01/01", {1, 1, 1}, "   1/01/01"},
        {"-999.-9.+9", {-999, -9, 9}, "-999/-9/+9"},
        {" 2x3/1y/ 5", {2, 1, 5}, " 2x3/1y/ 5"},
        {"2003/07/2099", {2003, 7, 20}, "2003/07/2099"},  // only the first 10 characters count
        {"2003-07", {2003, 7, 0}, "2003/07"},
        {"2003", {2003, 0, 0}, "2003"},
        {"", {0, 0, 0}, ""},
    };
    for (const auto& c : cases) {
        char text[16] = {};
        std::strcpy(text, c.text);
        std::memset(text + std::strlen(text) + 1, '#', sizeof text - std::strlen(text) - 1);
        TIntDate got;
        StrDateToIntDate(text, &got);
        EXPECT_EQ(std::make_tuple(got.year, got.month, got.day), std::make_tuple(c.want.year, c.want.month, c.want.day))
            << c.text;
        EXPECT_STREQ(text, c.after);
        EXPECT_EQ(text[std::strlen(text) + 1], '#') << c.text;
    }
    char text[] = "2004-12-31";
    EXPECT_EQ(StrDateToTday(text), 366);
    EXPECT_STREQ(text, "2004/12/31");
    char jday[] = "2000/01/01", month[] = "2004/99/31";
    EXPECT_EQ(StrDateToJday(jday), 2451545);
    EXPECT_EQ(StrDateToTday(month), 31 + 366);
}

class TAdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMessageBoxHook([this](const platform::MessageBoxCall& call) {
            boxes.push_back(call);
            return platform::IDOK;
        });
    }
    void TearDown() override { platform::SetMessageBoxHook(nullptr); }

    void ExpectWarning(const std::string& argument, const std::string& corrected) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, " Argument: " + argument + " was incorrect.\r\nCorrected: " + corrected);
        EXPECT_EQ(boxes[0].caption, "Input Warning");
        EXPECT_EQ(boxes[0].flags, 0x30u);
        boxes.clear();
    }

    static void ExpectFields(const TAdate& a, TIntDate date, const char* text, int tday, int week, int holiday) {
        EXPECT_EQ(std::make_tuple(a.IntDate.year, a.IntDate.month, a.IntDate.day),
                  std::make_tuple(date.year, date.month, date.day));
        EXPECT_STREQ(a.StrDate, text);
        EXPECT_EQ(a.Tday, tday);
        EXPECT_EQ(a.Week, week);
        EXPECT_EQ(a.Holiday, holiday);
        EXPECT_TRUE(a.HolidayCheck);
        EXPECT_EQ(a.pIntDate, &a.IntDate);
        EXPECT_EQ(a.pStrDate, a.StrDate);
    }

    std::vector<platform::MessageBoxCall> boxes;
};

TEST_F(TAdateTest, CorrectsAnImpossibleDateAndWarns) {
    TAdate feb(2003, 2, 30);
    ExpectWarning("2003/02/30", "2003/02/28");
    ExpectFields(feb, {2003, 2, 28}, "2003/02/28", 59, 6, 0);
    EXPECT_EQ(feb.Jday, 2452699);

    TIntDate leap = Date(2004, 2, 30);
    TAdate fromRecord(leap);
    ExpectWarning("2004/02/30", "2004/02/29");
    EXPECT_EQ(leap.day, 30);
    ExpectFields(fromRecord, {2004, 2, 29}, "2004/02/29", 60, 1, 0);

    TAdate zero(0, 13, 0);
    ExpectWarning("   0/13/00", "   1/12/01");
    ExpectFields(zero, {1, 12, 1}, "   1/12/01", 335, 5, 0);

    TAdate huge(123456, 123, -456);
    ExpectWarning("123456/123/-456", "123456/12/01");
    EXPECT_STREQ(huge.StrDate, "123456/12/");

    TStrDate text = "2003-04-31";
    TAdate fromText(text);
    ExpectWarning("2003/04/31", "2003/04/30");
    EXPECT_STREQ(text, "2003-04-31");
    ExpectFields(fromText, {2003, 4, 30}, "2003/04/30", 120, 4, 0);

    TAdate negative(-44, 3, 15);
    EXPECT_TRUE(boxes.empty());
    EXPECT_STREQ(negative.StrDate, " -44/03/15");
}

TEST_F(TAdateTest, ClassifiesHolidaysSundaysAndSubstituteMondays) {
    ExpectFields(TAdate(1), {2006, 1, 1}, "2006/01/01", 1, 1, 9);
    ExpectFields(TAdate(2), {2006, 1, 2}, "2006/01/02", 2, 2, 8);
    ExpectFields(TAdate(0), {2006, 1, 1}, "2006/01/01", 0, 1, 9);
    ExpectFields(TAdate(999), {2006, 12, 31}, "2006/12/31", 999, 1, 0);
    EXPECT_EQ(TAdate(2003, 11, 3).Holiday, 1);
    EXPECT_EQ(TAdate(2003, 11, 24).Holiday, 8);
    EXPECT_EQ(TAdate(2003, 7, 21).Holiday, 8);
    EXPECT_EQ(TAdate(2003, 7, 22).Holiday, 0);
    TStrDate text = "2003/07/20";
    EXPECT_EQ(TAdate(text).Holiday, 9);
    EXPECT_TRUE(boxes.empty());

    TAdate monday(2003, 11, 24);
    monday.HolidayCheck = false;
    monday.DetWeek();
    EXPECT_EQ(monday.Holiday, 0);
    EXPECT_EQ(monday.Week, 2);
}

TEST_F(TAdateTest, ACopyPointsIntoItself) {
    TAdate original(2003, 7, 20);
    TAdate copy(original);
    TAdate assigned(1);
    assigned = original;
    for (const TAdate* a : {&copy, &assigned}) {
        EXPECT_EQ(a->pIntDate, &a->IntDate);
        EXPECT_EQ(a->pStrDate, a->StrDate);
        EXPECT_STREQ(a->StrDate, "2003/07/20");
        EXPECT_EQ(std::make_tuple(a->Jday, a->Tday, a->Week, a->Holiday),
                  std::make_tuple(original.Jday, original.Tday, original.Week, original.Holiday));
    }
}

}  // namespace
