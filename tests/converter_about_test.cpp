// The version window: a left click on its picture or its OK button closes
// it; other buttons of the mouse leave it open. Its texts are readable.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "About.h"
#include "ScreenProbes.h"
#include "platform/forms/Application.h"

namespace {

TEST(VersionWindow, ClosesOnALeftClickOnly) {
    platform::EnsureQApplication();
    for (bool onPicture : {true, false}) {
        TVerInfo window(nullptr, false);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QWidget* target = onPicture ? static_cast<QWidget*>(window.Image) : window.OkBtn;
        QPoint corner(5, 5);  // on the picture, clear of the button
        QTest::mouseClick(target, Qt::RightButton, Qt::NoModifier, corner);
        QTest::mouseClick(target, Qt::MiddleButton, Qt::NoModifier, corner);
        EXPECT_TRUE(window.isVisible()) << onPicture;
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, corner);
        EXPECT_FALSE(window.isVisible()) << onPicture;
        EXPECT_EQ(window.result(), platform::mrOk);
    }
}

// Every text of the picture lies on open sea, and so does the OK button
// that stands over it.
TEST(VersionWindow, TextsAndButtonLieOnOpenSea) {
    platform::EnsureQApplication();
    TVerInfo window(nullptr, false);
    const QImage picture = window.Image->pixmap().toImage();
    EXPECT_EQ(testing_support::TextPixelsNearLand(picture), 0);
    EXPECT_EQ(testing_support::LandPixels(picture, window.OkBtn->geometry().adjusted(-4, -4, 4, 4)), 0);
}

}  // namespace
