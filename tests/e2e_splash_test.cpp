// The splash exports called the way a program without Qt calls them: the
// library is loaded by path and makes the QApplication itself.
#include <gtest/gtest.h>
#include <locale.h>

#include <clocale>
#include <cstdio>

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
// locale from the environment; the program's own number texts must keep
// reading and writing '.', whatever the desktop's locale.
TEST(SplashExportsTest, LeaveTheProgramsNumberTextsAlone) {
    locale_t comma = newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t{});
    ASSERT_NE(comma, locale_t{}) << "the locale de_DE.UTF-8 is not installed; scripts/install-deps.sh makes it";
    freelocale(comma);
    testing_support::ScopedEnv all("LC_ALL", "de_DE.UTF-8");
    platform::ModuleHandle vorbel =
        platform::LoadModule(testing_support::BinDir() + "/" + platform::LibraryFileName);
    ASSERT_NE(vorbel, nullptr) << platform::LastLoadError();
    auto on = platform::Resolve<void (*)()>(vorbel, "SplashDlg_On");
    auto off = platform::Resolve<void (*)()>(vorbel, "SplashDlg_Off");
    ASSERT_TRUE(on && off);

    on();
    off();
    char text[16];
    std::snprintf(text, sizeof text, "%lf", 138.4);
    EXPECT_STREQ(text, "138.400000");
    double read = 0;
    EXPECT_EQ(std::sscanf("34.8", "%lf", &read), 1);
    EXPECT_EQ(read, 34.8);
}

}  // namespace
