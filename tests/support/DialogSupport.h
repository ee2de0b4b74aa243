// Helpers for the tests of the library's data-file list dialogs: a private
// settings store with the root values, a data folder, and the list's cells.
#pragma once

#include <QStringList>
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

}  // namespace testing_support
