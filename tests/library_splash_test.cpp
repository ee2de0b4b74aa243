#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "ScreenProbes.h"
#include "SplDlg.h"
#include "SplDlg2.h"
#include "platform/forms/Application.h"
#include "vorbel/Splash.h"

namespace {

void PressEscape(QWidget* form) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(form, &press);
}

TEST(SplashTest, PictureIs320By240With24BitsPerPixel) {
    SplashDlg_On();  // registers the library's pictures
    SplashDlg_Off();
    QFile file(":/vorbel/splash.bmp");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 54);
    auto le32 = [&](int at) { return qFromLittleEndian<qint32>(bytes.constData() + at); };
    EXPECT_EQ(bytes.left(2), "BM");
    EXPECT_EQ(le32(18), 320);
    EXPECT_EQ(le32(22), 240);
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 28), 24);
}

TEST(SplashTest, TextsLieOnOpenSea) {
    SplashDlg_On();  // registers the library's pictures
    SplashDlg_Off();
    EXPECT_EQ(testing_support::TextPixelsNearLand(QImage(":/vorbel/splash.bmp")), 0);
}

// The frame's outer bevel is raised and its inner one lowered, two pixels
// each: the inner bevel repeats the outer one's shades the other way round,
// dark on the left and top, light on the right and bottom.
TEST(SplashTest, FrameHasARaisedOuterAndALoweredInnerBevel) {
    platform::EnsureQApplication();
    TFmSplDlg form(nullptr);
    const QImage shot = form.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(328, 248));
    const QRgb light = shot.pixel(0, 120), dark = shot.pixel(327, 120);
    EXPECT_GT(QColor(light).lightness(), QColor(dark).lightness());
    for (int at : {60, 120}) {
        SCOPED_TRACE(at);
        for (int edge : {0, 1}) {
            EXPECT_EQ(shot.pixel(edge, at), light);
            EXPECT_EQ(shot.pixel(at, edge), light);
            EXPECT_EQ(shot.pixel(2 + edge, at), dark);
            EXPECT_EQ(shot.pixel(at, 2 + edge), dark);
            EXPECT_EQ(shot.pixel(324 + edge, at), light);
            EXPECT_EQ(shot.pixel(at, 244 + edge), light);
            EXPECT_EQ(shot.pixel(326 + edge, at), dark);
            EXPECT_EQ(shot.pixel(at, 246 + edge), dark);
        }
    }
}

TEST(SplashTest, SplashShowsItsWindowModallyUntilItClosesItself) {
    EXPECT_EQ(_FmSplDlg2, nullptr);
    int closings = 0;
    bool seen = false;
    platform::SetModalFormHook([&](QWidget* form) {
        seen = true;
        ASSERT_EQ(form, _FmSplDlg2);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->size(), QSize(328, 248));
        EXPECT_EQ(_FmSplDlg2->SplashImg->geometry(), QRect(4, 4, 320, 240));
        EXPECT_EQ(_FmSplDlg2->SplashImg->pixmap().size(), QSize(320, 240));
        EXPECT_TRUE(_FmSplDlg2->Timer->isActive());
        EXPECT_EQ(_FmSplDlg2->Timer->interval(), 1500);
        QObject::connect(_FmSplDlg2, &QDialog::finished, [&] {
            ++closings;
            EXPECT_FALSE(_FmSplDlg2->Timer->isActive());
        });
        PressEscape(form);  // only the timer ends it
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(closings, 0);
    });
    Splash();
    platform::SetModalFormHook(nullptr);
    EXPECT_TRUE(seen);
    EXPECT_EQ(closings, 1);
    EXPECT_EQ(_FmSplDlg2, nullptr);
}

TEST(SplashTest, TimerWaitsUntilTheWindowIsShown) {
    SplashDlg_On();  // the QApplication
    TFmSplDlg2 form(nullptr);
    EXPECT_EQ(form.DisplayTime(), 1500);
    EXPECT_FALSE(form.Timer->isActive());
    SplashDlg_Off();
}

TEST(SplashTest, ModelessSplashStaysUntilTurnedOff) {
    SplashDlg_Off();  // nothing open: nothing happens
    EXPECT_EQ(_FmSplDlg, nullptr);
    SplashDlg_On();
    ASSERT_NE(_FmSplDlg, nullptr);
    TFmSplDlg* first = _FmSplDlg;
    EXPECT_TRUE(first->isVisible());
    PressEscape(first);  // nothing on it reacts to input
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
    SplashDlg_On();  // the open window is kept
    EXPECT_EQ(_FmSplDlg, first);
    SplashDlg_Off();
    EXPECT_EQ(_FmSplDlg, nullptr);
    SplashDlg_Off();
    EXPECT_EQ(_FmSplDlg, nullptr);
}

}  // namespace
