// Every calendar export resolves by name from the built library and answers.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Module.h"
#include "vorbel/Calendar.h"

namespace {

TEST(CalendarExports, ResolveByNameFromTheBuiltLibrary) {
    platform::ModuleHandle library = platform::LoadModule(testing_support::BinDir() + "/libvorbel.so");
    ASSERT_NE(library, nullptr) << platform::LastLoadError();
    const char* names[] = {
        "SetHolidayArray", "Is_Holiday", "Is_Leap", "IntDateToStrDate", "StrDateToIntDate", "TdayToIntDate",
        "TdayToStrDate", "IntDateToTday", "StrDateToTday", "IntDateToJday", "StrDateToJday", "GetWeek",
        // TAdate's constructors from a day, a year-month-day, a TIntDate and a TStrDate, and DetWeek.
        "_ZN6TAdateC1Ei", "_ZN6TAdateC1Eiii", "_ZN6TAdateC1ER8TIntDate", "_ZN6TAdateC1ERA11_c",
        "_ZN6TAdate7DetWeekEv"};
    for (const char* name : names) EXPECT_NE(platform::ResolveSymbol(library, name), nullptr) << name;

    auto toJday = platform::Resolve<int (*)(char*)>(library, "StrDateToJday");
    auto holidays = platform::Resolve<int (*)(int)>(library, "SetHolidayArray");
    ASSERT_TRUE(toJday && holidays);
    char text[] = "2000-01-01";
    EXPECT_EQ(toJday(text), 2451545);
    EXPECT_STREQ(text, "2000/01/01");
    EXPECT_EQ(holidays(1988), 13);
    platform::UnloadModule(library);
}

}  // namespace
