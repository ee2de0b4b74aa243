// The map dialog's hints as a program with Qt and an application object of
// its own sees them: they reach the dialog's memo and never the program's
// hint event, whether the program made its application object before the
// library made its own or after.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "TestSupport.h"
#include "platform/Module.h"
#include "platform/ModuleNames.h"
#include "platform/forms/Application.h"

namespace {

QDialog* ShownMapDialog() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == "FmPrefect" && window->isVisible()) return qobject_cast<QDialog*>(window);
    return nullptr;
}

QPushButton* ButtonCalled(QWidget* dialog, const QString& text) {
    for (auto* button : dialog->findChildren<QPushButton*>())
        if (button->text() == text) return button;
    return nullptr;
}

// Acts on the map dialog once it is shown.
void OnMapDialog(std::function<void(QDialog*)> act) {
    QTimer::singleShot(10, [act] {
        if (QDialog* dialog = ShownMapDialog()) act(dialog);
        else OnMapDialog(act);
    });
}

class CallerHints {
public:
    CallerHints() { app.OnHint = [this] { ++calls; }; }
    platform::Application app;
    int calls = 0;
};

// Rests the mouse on OK and on CANCEL, checks the memo, then leaves with Esc.
void HoverAndCancel(QDialog* dialog) {
    auto* memo = dialog->findChild<QPlainTextEdit*>();
    QPushButton* ok = ButtonCalled(dialog, "&OK");
    QPushButton* cancel = ButtonCalled(dialog, "&CANCEL");
    ASSERT_TRUE(memo && ok && cancel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    QTest::mouseMove(ok);
    EXPECT_EQ(memo->toPlainText().toStdString(),
              "If the station on the left is correct, click here.\nThis dialog will close after clicking.");
    QTest::mouseMove(cancel);
    EXPECT_EQ(memo->toPlainText().toStdString(), "Ignore the edit result and close this dialog.");
    QTest::keyClick(dialog, Qt::Key_Escape);
}

TEST(MapDialogHints, StayWithTheDialogWhicheverApplicationObjectCameFirst) {
    platform::EnsureQApplication();
    CallerHints before;
    platform::ModuleHandle vorbel =
        platform::LoadModule(testing_support::BinDir() + "/" + platform::LibraryFileName);
    ASSERT_NE(vorbel, nullptr) << platform::LastLoadError();
    auto selectDlg = platform::Resolve<int (*)(bool)>(vorbel, "SelectDlg");
    ASSERT_NE(selectDlg, nullptr);

    OnMapDialog(HoverAndCancel);
    EXPECT_EQ(selectDlg(true), 999);
    EXPECT_EQ(before.calls, 0);

    // The library's application object exists now; the program's comes later.
    CallerHints after;
    OnMapDialog(HoverAndCancel);
    EXPECT_EQ(selectDlg(true), 999);
    EXPECT_EQ(after.calls, 0);
    EXPECT_EQ(before.calls, 0);
    EXPECT_TRUE(after.app.Hint.isEmpty());

    // The program's own windows still give it their hints.
    QPushButton own("own");
    platform::SetHint(&own, "Own|The program's own button");
    own.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&own));
    QTest::mouseMove(&own);
    EXPECT_GE(after.calls, 1);
    EXPECT_EQ(after.app.Hint, "The program's own button");
}

}  // namespace
