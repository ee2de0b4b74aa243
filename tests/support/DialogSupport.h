// Helpers for the tests of the library's data-file list dialogs: a private
// settings store with the root values, a data folder, and the list's cells.
#pragma once

#include <QStringList>
#include <QTreeWidget>

#include <optional>
#include <string>

#include "TestSupport.h"
#include "platform/Registry.h"

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
