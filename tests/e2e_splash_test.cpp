// The splash exports called the way a program without Qt calls them: the
// library is loaded by path and makes the QApplication itself.
#include <gtest/gtest.h>
#include <locale.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "TestSupport.h"
#include "platform/Module.h"
#include "platform/ModuleNames.h"

namespace {

TEST(SplashExportsTest, WorkInAProgramWithoutQt) {
    platform::ModuleHandle vorbel =
        platform::LoadModule(testing_support::BinDir() + "/" + platform::LibraryFileName);
    ASSERT_NE(vorbel, nullptr) << platform::LastLoadError();
    auto on = platform::Resolve<void (*)()>(vorbel, "SplashDlg_On");
    auto off = platform::Resolve<void (*)()>(vorbel, "SplashDlg_Off");
    auto splash = platform::Resolve<void (*)()>(vorbel, "Splash");
    auto modeless = static_cast<void**>(platform::ResolveSymbol(vorbel, "_FmSplDlg"));
    auto modal = static_cast<void**>(platform::ResolveSymbol(vorbel, "_FmSplDlg2"));
    ASSERT_TRUE(on && off && splash && modeless && modal);

    on();
    EXPECT_NE(*modeless, nullptr);
    off();
    EXPECT_EQ(*modeless, nullptr);
    splash();  // returns once the window has closed itself
    EXPECT_EQ(*modal, nullptr);
    splash();  // and again, with a new window
    EXPECT_EQ(*modal, nullptr);
}

// The QApplication the library makes would set the program's C library
// locale from the environment: its number texts, dates and system messages
// must stay as the program had them, every category alike, whatever the
// desktop's locale. This program chose German dates and nothing else.
TEST(SplashExportsTest, LeaveTheProgramsLocaleAlone) {
    locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t{});
    ASSERT_NE(german, locale_t{}) << "the locale de_DE.UTF-8 is not installed; scripts/install-deps.sh makes it";
    freelocale(german);
    testing_support::ScopedEnv all("LC_ALL", std::nullopt);
    testing_support::ScopedEnv messages("LC_MESSAGES", std::nullopt);
    testing_support::ScopedEnv lang("LANG", "de_DE.UTF-8");
    ASSERT_NE(std::setlocale(LC_TIME, "de_DE.UTF-8"), nullptr);
    const std::string before = std::setlocale(LC_ALL, nullptr);
    platform::ModuleHandle vorbel =
        platform::LoadModule(testing_support::BinDir() + "/" + platform::LibraryFileName);
    ASSERT_NE(vorbel, nullptr) << platform::LastLoadError();
    auto on = platform::Resolve<void (*)()>(vorbel, "SplashDlg_On");
    auto off = platform::Resolve<void (*)()>(vorbel, "SplashDlg_Off");
    ASSERT_TRUE(on && off);

    on();
    off();
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
    char text[32];
    std::snprintf(text, sizeof text, "%lf", 138.4);
    EXPECT_STREQ(text, "138.400000");
    double read = 0;
    EXPECT_EQ(std::sscanf("34.8", "%lf", &read), 1);
    EXPECT_EQ(read, 34.8);
    std::tm thursday{};
    thursday.tm_year = 124, thursday.tm_mon = 0, thursday.tm_mday = 4, thursday.tm_wday = 4;
    std::strftime(text, sizeof text, "%A", &thursday);
    EXPECT_STREQ(text, "Donnerstag");
    EXPECT_STREQ(std::strerror(ENOENT), "No such file or directory");
}

}  // namespace
