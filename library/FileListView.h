// The window parts the two data-file list dialogs share: the list view of
// data files with its six columns, and the look of the dialogs' fields.
#pragma once

#include <QFont>
#include <QTreeWidgetItem>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "FileListCore.h"

class QColor;
class QDialog;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QWidget;

namespace vorbel {

// A row of the list, keeping the cells it was made from; its order is the
// dialog's comparison.
class FileItem : public QTreeWidgetItem {
public:
    using Compare = std::function<int(const QTreeWidgetItem*, const QTreeWidgetItem*)>;
    FileItem(const FileRow& row, Compare compare);
    const FileRow& Row() const { return row_; }
    bool operator<(const QTreeWidgetItem& other) const override { return compare_(this, &other) < 0; }

private:
    FileRow row_;
    Compare compare_;
};

// The row behind a list item.
const FileRow& RowOf(const QTreeWidgetItem* item);

// A text of the dialogs, written here in UTF-8.
QString Text(const char* utf8);

// The font of the dialogs' English forms.
QFont EnglishFont();
// A fixed-size dialog window with a close box, in the Japanese layout font.
void SetUpListDialog(QDialog* dialog, int width, int height);

// The cells' format in the user's locale: its date and thousands separators.
RowFormat LocaleRowFormat(bool japanese);

// A report view at `geometry`: whole-row single selection, no editing, the
// column headers clickable, readable scroll bars.
void SetUpFileList(QTreeWidget* list, int left, int top, int width, int height);
// Captions of the language and widths from the sample texts measured in the
// list's font, with the cells' margins, fitted to the list beside its
// vertical scroll bar: the station name takes the room left over, and where
// there is too little, the station number, name and year give it up.
void SetFileColumns(QTreeWidget* list, bool japanese, const QString& firstSample);
// A read-only field on the button face, left out of the tab order.
void SetUpShowField(QLineEdit* edit, int left, int top, int width, int height, const QColor& textColor);
// The parts both dialogs place alike, made in this order: the field of the
// data folder (teal), the list of files and the label of their count.
std::tuple<QLineEdit*, QTreeWidget*, QLabel*> AddFolderListAndCount(QDialog* dialog);

// "Totally N <word> file(s) in this folder." or its Japanese form.
QString CountText(bool japanese, int count, const QString& word);

// Shows a file or folder name (as the file system spells it) from its start.
void ShowName(QLineEdit* edit, const std::string& name);

// Refills the list from the files matching `pattern` in the cells of the
// user's locale: the list is hidden while it fills, its rows compare with
// `compare` and are sorted unless the sort column of `order` is the size,
// and `noFiles` runs (with the list still hidden) when there is none. Returns
// the number of rows.
int FillFileList(QTreeWidget* list, const std::string& pattern, bool japanese, const SortState& order,
                 const FileItem::Compare& compare, const std::function<void()>& noFiles);
// A click on a column header of the list: sorts it again when `order` says so.
void SortOnColumnClick(QTreeWidget* list, SortState& order, int column);
// The order of two rows of a list by `order`: negative when `item1` comes first.
int CompareItems(const QTreeWidgetItem* item1, const QTreeWidgetItem* item2, const SortState& order);

}  // namespace vorbel
