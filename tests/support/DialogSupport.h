// Helpers for the tests of the library's data-file list dialogs: a private
// settings store with the root values, a data folder, the list's cells and
// the parts both dialogs place alike.
#pragma once

#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "Library.h"
#include "TestSupport.h"
#include "platform/Registry.h"
#include "platform/forms/Application.h"

namespace testing_support {

// A settings store of its own for one test, with the root values given
// (nullopt leaves a value out; no values at all leaves the root key out).
class DialogSettings {
public:
    DialogSettings() : env_("VORBEL_REGISTRY", dir_.file("registry.reg")) {}
    void SetRoot(std::optional<std::string> dllPath, std::optional<std::string> tmpPath) {
        platform::Registry registry;
        registry.OpenKey("\\Software\\Vorbel", true);
        if (dllPath) registry.WriteString("DllPath", *dllPath);
        if (tmpPath) registry.WriteString("TmpPath", *tmpPath);
    }
    std::string StoreFile() const { return dir_.file("registry.reg"); }

private:
    TempDir dir_;
    ScopedEnv env_;
};

// A dialog test over its own settings and data folder; the data folder is
// TmpPath and DllPath is "/opt/wx/bin/".
class DataFolderTest : public ::testing::Test {
protected:
    DataFolderTest() {
        vorbel::App();
        settings.SetRoot("/opt/wx/bin/", Folder());
    }
    ~DataFolderTest() override { platform::SetModalFormHook(nullptr); }

    std::string Folder() const { return data.path().string() + "/"; }
    void AddFiles(std::initializer_list<const char*> names) {
        for (const char* name : names) WriteFile(data.path() / name, "data");
    }

    DialogSettings settings;
    TempDir data;
};

inline QStringList RowCells(const QTreeWidget* list, int row) {
    QStringList cells;
    for (int column = 0; column < list->columnCount(); ++column) cells << list->topLevelItem(row)->text(column);
    return cells;
}

inline QStringList ColumnCells(const QTreeWidget* list, int column) {
    QStringList cells;
    for (int row = 0; row < list->topLevelItemCount(); ++row) cells << list->topLevelItem(row)->text(column);
    return cells;
}

// A read-only field on the button face in `color`, out of the tab order.
inline void ExpectShowField(const QLineEdit* field, const QRect& geometry, const QColor& color) {
    EXPECT_EQ(field->geometry(), geometry);
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(field->palette().color(QPalette::Text), color);
    EXPECT_EQ(field->palette().color(QPalette::Base), field->palette().color(QPalette::Button));
}

// Every cell of the list shows its text whole, and the columns leave room for
// a vertical scroll bar without needing a horizontal one.
inline void ExpectColumnsFitTheList(QTreeWidget* list) {
    ASSERT_TRUE(list->verticalScrollBar()->isVisible()) << "too few rows to try the room of the scroll bar";
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
    // A cell draws its text inside a margin on either side.
    const qreal margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    const QFontMetricsF metrics(list->font());
    for (int column = 0; column < list->columnCount(); ++column)
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QString text = list->topLevelItem(row)->text(column);
            EXPECT_LE(metrics.horizontalAdvance(text) + margins, list->columnWidth(column)) << text.toStdString();
        }
}

// The folder field in teal above the list, the count label below it.
inline void ExpectFolderListAndCount(const QLineEdit* path, const QTreeWidget* list, const QLabel* count) {
    ExpectShowField(path, QRect(192, 8, 305, 23), QColor(0, 128, 128));
    EXPECT_EQ(list->geometry(), QRect(8, 40, 553, 185));
    EXPECT_EQ(count->geometry(), QRect(208, 232, 353, 17));
    EXPECT_EQ(count->alignment(), Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace testing_support
