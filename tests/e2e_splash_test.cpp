// The splash exports called the way a program without Qt calls them: the
// library is loaded by path and makes the QApplication itself.
#include <gtest/gtest.h>

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

}  // namespace
