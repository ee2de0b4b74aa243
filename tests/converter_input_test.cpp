// The map-bounds dialog: what may be typed, what is put back, what is asked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <vector>

#include "WindowHelpers.h"
#include "Input.h"
#include "Locales.h"
#include "MessageBoxRecorder.h"
#include "core/BoundsRules.h"

namespace {

using platform::MessageBoxCall;

class InputDialogTest : public ::testing::Test {
protected:
    void SetUp() override { platform::EnsureQApplication(); }

    static void Type(QLineEdit* edit, const QString& keys) {
        for (QChar c : keys) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
    }

    testing_support::MessageBoxRecorder recorder;
    std::vector<MessageBoxCall>& boxes = recorder.calls;
};

TEST(BoundsRules, TextGrammar) {
    for (const char* good : {"", "-", ".", "-.", "5.", ".5", "-12.50", "180"}) EXPECT_TRUE(strova::IsBoundsText(good)) << good;
    for (const char* bad : {"1-", "1.2.3", "+1", "1e5", " 1", "1,5", "--1", "1 "}) EXPECT_FALSE(strova::IsBoundsText(bad)) << bad;
    EXPECT_FALSE(strova::ParseBoundsValue("-"));
    EXPECT_FALSE(strova::ParseBoundsValue("."));
    EXPECT_FALSE(strova::ParseBoundsValue(""));
    EXPECT_EQ(*strova::ParseBoundsValue("5."), 5.0);
    EXPECT_EQ(*strova::ParseBoundsValue("-.5"), -0.5);
    // Too small to hold is a number near zero; too large is none.
    EXPECT_EQ(strova::ParseBoundsValue("0." + std::string(400, '0') + "1").value_or(1.0), 0.0);
    EXPECT_FALSE(strova::ParseBoundsValue("1" + std::string(400, '0')));
}

TEST(BoundsRules, RangesIncludeTheirLimits) {
    EXPECT_TRUE(strova::IsInRange(strova::BottomLatEdit, 90));
    EXPECT_FALSE(strova::IsInRange(strova::BottomLatEdit, 90.5));
    EXPECT_TRUE(strova::IsInRange(strova::RightLonEdit, -180));
    EXPECT_FALSE(strova::IsInRange(strova::LeftLonEdit, 180.0001));
    EXPECT_TRUE(strova::IsInRange(strova::TopLatEdit, -90));
}

TEST(BoundsRules, LogLineHasSixDecimalsAndNoBlanks) {
    EXPECT_EQ(strova::BoundsLogLine(135, 30, 140, 36.5),
              "Longitude(X) and Latitude(Y): (135.000000,30.000000)-(140.000000,36.500000)");
}

TEST_F(InputDialogTest, StartsAtZeroAndRefusesEqualCorners) {
    TInputDialog dialog(nullptr, 640, 480, false);
    for (QLineEdit* edit : {dialog.LongitEd1, dialog.LatitEd1, dialog.LongitEd2, dialog.LatitEd2})
        EXPECT_EQ(edit->text(), "0.0");
    EXPECT_EQ(dialog.WidthTxt->text(), "   640 ");
    EXPECT_EQ(dialog.HeightTxt->text(), "   480 ");
    EXPECT_EQ(dialog.windowTitle(), "Strova - Input Dialog for Gray Map Configuration");
    dialog.BBtnOk->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Input data set is invalid.\rInput again carefully...");
    EXPECT_EQ(boxes[0].caption, "Strova - Error");
    EXPECT_EQ(boxes[0].flags, 0x30u);
    EXPECT_EQ(dialog.result(), 0);
}

TEST_F(InputDialogTest, TypingKeepsOnlyValidTexts) {
    TInputDialog dialog(nullptr, 10, 10, false);
    QLineEdit* edit = dialog.LongitEd1;
    edit->clear();
    EXPECT_EQ(edit->text(), "");  // clearing is allowed and leaves the edit empty
    Type(edit, "a+");
    EXPECT_EQ(edit->text(), "");
    Type(edit, "1-");
    EXPECT_EQ(edit->text(), "1");
    Type(edit, ".2.");
    EXPECT_EQ(edit->text(), "1.2");
    EXPECT_EQ(edit->cursorPosition(), 3);
}

TEST_F(InputDialogTest, PastedTextIsPutBackWithTheCaret) {
    TInputDialog dialog(nullptr, 10, 10, false);
    QLineEdit* edit = dialog.LatitEd2;
    edit->setText("5");
    edit->setCursorPosition(1);
    edit->insert("12x");
    EXPECT_EQ(edit->text(), "5");
    EXPECT_EQ(edit->cursorPosition(), 1);
    EXPECT_EQ(dialog.LastValidText[3], "5");
}

TEST_F(InputDialogTest, LeavingAnEditChecksItsRange) {
    TInputDialog dialog(nullptr, 10, 10, false);
    dialog.LatitEd1->setText("90");
    dialog.EditExit(dialog.LatitEd1);
    EXPECT_EQ(dialog.LatitEd1->text(), "90");
    dialog.LatitEd1->setText("90.5");
    dialog.EditExit(dialog.LatitEd1);
    EXPECT_EQ(dialog.LatitEd1->text(), "0.0");
    dialog.LongitEd2->setText("-180");
    dialog.EditExit(dialog.LongitEd2);
    EXPECT_EQ(dialog.LongitEd2->text(), "-180");
    dialog.LongitEd2->clear();
    dialog.EditExit(dialog.LongitEd2);
    EXPECT_EQ(dialog.LongitEd2->text(), "0.0");
    EXPECT_EQ(dialog.LastValidText[2], "0.0");
}

TEST_F(InputDialogTest, ConfirmedBoundsCloseTheDialogWithOk) {
    TInputDialog dialog(nullptr, 10, 10, false);
    dialog.LongitEd1->setText("135");
    dialog.LatitEd1->setText("30");
    dialog.LongitEd2->setText("140");
    dialog.LatitEd2->setText("36");
    dialog.BBtnOk->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Left Bottom : (135.000000, 30.000000)\r  Right Top : (140.000000, 36.000000)\rIs this setting Ok?");
    EXPECT_EQ(boxes[0].caption, "Strova - Confirmation");
    EXPECT_EQ(boxes[0].flags, 0x20u);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.LeftLon, 135.0);
    EXPECT_EQ(dialog.BottomLat, 30.0);
    EXPECT_EQ(dialog.RightLon, 140.0);
    EXPECT_EQ(dialog.TopLat, 36.0);
}

TEST_F(InputDialogTest, JapaneseConfirmationAndOrderCheck) {
    TInputDialog dialog(nullptr, 10, 10, true);
    dialog.LongitEd1->setText("140");
    dialog.LatitEd1->setText("30");
    dialog.LongitEd2->setText("135");
    dialog.LatitEd2->setText("36");
    dialog.BBtnOk->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "入力ﾃﾞｰﾀが不正です．\r入力し直してください...");
    dialog.LongitEd2->setText("141.5");
    dialog.BBtnOk->click();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "左下：(140.000000, 30.000000)\r右上：(141.500000, 36.000000)\rこの設定でよろしいですか？");
}

TEST_F(InputDialogTest, AnUnconvertibleTextStopsAtItsEdit) {
    strova::App().Title = "Strova";
    TInputDialog dialog(nullptr, 10, 10, false);
    dialog.LongitEd1->setText("1");
    dialog.LatitEd1->setText("-");
    dialog.BBtnOk->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "'-' は浮動小数点数ではありません");
    EXPECT_EQ(boxes[0].caption, "Strova");
    EXPECT_EQ(boxes[0].flags, 0x10u);
    EXPECT_EQ(dialog.LeftLon, 1.0);  // converted before the failing edit
    EXPECT_EQ(dialog.result(), 0);
}

// Shows the dialog as Step 1 does and waits until it has the focus.
void Open(TInputDialog& dialog) {
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
}

// Types into whatever edit has the focus, then moves on with Tab.
void TypeAndTab(const QString& keys) {
    QTest::keyClicks(QApplication::focusWidget(), keys);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

TEST_F(InputDialogTest, TypingReplacesTheBoundInTheFocusedEdit) {
    TInputDialog dialog(nullptr, 10, 10, false);
    Open(dialog);
    ASSERT_EQ(QApplication::focusWidget(), dialog.LongitEd1);
    EXPECT_EQ(dialog.LongitEd1->selectedText(), "0.0");
    QTest::keyClicks(dialog.LongitEd1, "128.5");
    EXPECT_EQ(dialog.LongitEd1->text(), "128.5");

    QTest::keyClick(dialog.LongitEd1, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.LatitEd1);
    EXPECT_EQ(dialog.LatitEd1->selectedText(), "0.0");
    TypeAndTab("30");
    TypeAndTab("-");  // leaving a text that is no number writes "0.0"
    EXPECT_EQ(dialog.LongitEd2->text(), "0.0");
    ASSERT_EQ(QApplication::focusWidget(), dialog.LatitEd2);
    EXPECT_EQ(dialog.LatitEd2->selectedText(), "0.0");
    QTest::keyClick(dialog.LatitEd2, Qt::Key_Backtab);
    EXPECT_EQ(dialog.LongitEd2->selectedText(), "0.0");

    // A click puts the caret where it lands instead.
    QTest::mouseClick(dialog.LatitEd1, Qt::LeftButton, Qt::NoModifier, QPoint(2, dialog.LatitEd1->height() / 2));
    EXPECT_EQ(QApplication::focusWidget(), dialog.LatitEd1);
    EXPECT_FALSE(dialog.LatitEd1->hasSelectedText());
}

// Step 1's whole dialog as a user in each locale fills it in: the
// fractions pass the exit checks, the confirmation and the log line read
// the same as in the C locale.
TEST_F(InputDialogTest, FractionsInEveryLocale) {
    for (const char* name : testing_support::UserLocales) {
        SCOPED_TRACE(name);
        testing_support::ScopedLocale locale(name);
        boxes.clear();
        for (bool japanese : {false, true}) {
            TInputDialog dialog(nullptr, 10, 10, japanese);
            Open(dialog);
            TypeAndTab("138.4");
            EXPECT_EQ(dialog.LongitEd1->text(), "138.4");
            TypeAndTab("-33.25");
            TypeAndTab("140.125");
            TypeAndTab("36.5");
            EXPECT_EQ(dialog.LatitEd2->text(), "36.5");
            QTest::mouseClick(dialog.BBtnOk, Qt::LeftButton);
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(dialog.LeftLon, 138.4);
            EXPECT_EQ(dialog.BottomLat, -33.25);
            EXPECT_EQ(dialog.RightLon, 140.125);
            EXPECT_EQ(dialog.TopLat, 36.5);
            EXPECT_EQ(strova::BoundsLogLine(dialog.LeftLon, dialog.BottomLat, dialog.RightLon, dialog.TopLat),
                      "Longitude(X) and Latitude(Y): (138.400000,-33.250000)-(140.125000,36.500000)");
        }
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, "Left Bottom : (138.400000, -33.250000)\r  Right Top : (140.125000, 36.500000)\r"
                                 "Is this setting Ok?");
        EXPECT_EQ(boxes[1].text,
                  "左下：(138.400000, -33.250000)\r右上：(140.125000, 36.500000)\rこの設定でよろしいですか？");
        EXPECT_EQ(strova::ParseBoundsValue("0." + std::string(400, '0') + "1").value_or(1.0), 0.0);
        EXPECT_FALSE(strova::ParseBoundsValue("1,5"));
    }
}

}  // namespace
