#include "FileListView.h"

#include <QColor>
#include <QDialog>
#include <QFile>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>

#include "platform/Cp932.h"
#include "platform/forms/Application.h"

namespace vorbel {

namespace {

struct ColumnText {
    const char* japanese;
    const char* english;
    bool rightAligned;
    const char* sample;  // nullptr: the dialog's own sample
};

const ColumnText Columns[FileColumnCount] = {
    {"ﾌｧｲﾙ名", "File Name", false, nullptr},   {"地番", "Stn.No.", true, "XXXXXXX"},
    {"地点名", "Stn.Name", false, "Hamaonishibetsu "}, {"年", "Year", false, "STANDARD YEAR"},
    {"更新日", "Update", false, "XX/XX/XXX"},       {"ｻｲｽﾞ", "Size", true, "99,999,999"},
};
constexpr int StationNumberColumn = 1;
constexpr int StationNameColumn = 2;
constexpr int YearColumn = 3;

QString Cp932Text(const std::string& bytes) { return QString::fromStdString(platform::Cp932ToUtf8(bytes)); }

// The first character of the locale's short date format that is no part of
// a field; "/" where the locale has none of its own.
QString DateSeparator() {
    QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C) return QStringLiteral("/");
    for (QChar c : locale.dateFormat(QLocale::ShortFormat))
        if (!c.isLetter() && !c.isSpace()) return QString(c);
    return QStringLiteral("/");
}

QStringList Cells(const FileRow& row) {
    return {QFile::decodeName(row.fileName.c_str()), QString::number(row.station), Cp932Text(row.stationName),
            Cp932Text(row.yearText), QString::fromStdString(row.dateText), QString::fromStdString(row.sizeText)};
}

Qt::Alignment AlignmentOf(int column) {
    return (Columns[column].rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

FileItem::FileItem(const FileRow& row, Compare compare) : QTreeWidgetItem(Cells(row)), row_(row), compare_(compare) {
    for (int column = 0; column < FileColumnCount; ++column) setTextAlignment(column, AlignmentOf(column));
}

const FileRow& RowOf(const QTreeWidgetItem* item) { return static_cast<const FileItem*>(item)->Row(); }

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

void SetUpListDialog(QDialog* dialog, int width, int height) {
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(15);
    dialog->setFont(font);
}

QFont EnglishFont() { return QFont(QStringLiteral("Liberation Sans"), 8); }

RowFormat LocaleRowFormat(bool japanese) {
    return {japanese, DateSeparator().toStdString(), QLocale::system().groupSeparator().toStdString()};
}

void SetUpFileList(QTreeWidget* list, int left, int top, int width, int height) {
    list->setGeometry(left, top, width, height);
    list->setColumnCount(FileColumnCount);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);  // the dialog sorts on its own column clicks
    list->header()->setSectionsClickable(true);
    list->header()->setSectionsMovable(false);
    list->header()->setStretchLastSection(false);
    platform::UseReadableScrollBars(list);
}

namespace {

// The width the columns have beside the list's frame and its vertical
// scroll bar: wider columns would bring up a horizontal one.
int ColumnRoom(const QTreeWidget* list) {
    return list->width() - 2 * list->frameWidth() - list->verticalScrollBar()->sizeHint().width();
}

// Columns narrower than `room` leave the rest to the station name. Wider ones
// (the Japanese font is wider than the samples were made for) take the excess
// from the station number, name and year, in proportion to their widths:
// their samples are far wider than the numbers, kanji names and years they
// show in Japanese.
void FitColumns(int (&widths)[FileColumnCount], int room) {
    const int sum = std::accumulate(std::begin(widths), std::end(widths), 0);
    if (sum <= room) {
        widths[StationNameColumn] += room - sum;
        return;
    }
    const int roomy = widths[StationNumberColumn] + widths[StationNameColumn] + widths[YearColumn];
    const int kept = std::max(0, roomy - (sum - room));
    widths[StationNumberColumn] = widths[StationNumberColumn] * kept / roomy;
    widths[YearColumn] = widths[YearColumn] * kept / roomy;
    widths[StationNameColumn] = kept - widths[StationNumberColumn] - widths[YearColumn];
}

}  // namespace

void SetFileColumns(QTreeWidget* list, bool japanese, const QString& firstSample) {
    QFontMetricsF metrics(list->font());  // whole pixels would cut the last one short
    // A cell draws its text inside a margin on either side.
    const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    auto* header = list->headerItem();
    int widths[FileColumnCount];
    for (int column = 0; column < FileColumnCount; ++column) {
        const ColumnText& text = Columns[column];
        header->setText(column, Text(japanese ? text.japanese : text.english));
        header->setTextAlignment(column, AlignmentOf(column));
        const QString sample = text.sample ? Text(text.sample) : firstSample;
        widths[column] = static_cast<int>(std::ceil(metrics.horizontalAdvance(sample))) + margins;
    }
    FitColumns(widths, ColumnRoom(list));
    for (int column = 0; column < FileColumnCount; ++column) list->setColumnWidth(column, widths[column]);
}

void SetUpShowField(QLineEdit* edit, int left, int top, int width, int height, const QColor& textColor) {
    edit->setGeometry(left, top, width, height);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Text, textColor);
    edit->setPalette(palette);
}

std::tuple<QLineEdit*, QTreeWidget*, QLabel*> AddFolderListAndCount(QDialog* dialog) {
    auto* path = new QLineEdit(Text("Current Folder"), dialog);
    SetUpShowField(path, 192, 8, 305, 23, QColor(0, 128, 128));
    auto* list = new QTreeWidget(dialog);
    SetUpFileList(list, 8, 40, 553, 185);
    auto* count = new QLabel(dialog);
    count->setGeometry(208, 232, 353, 17);
    count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return {path, list, count};
}

QString CountText(bool japanese, int count, const QString& word) {
    QString number = QString::number(count);
    if (japanese) return Text("ﾌｫﾙﾀﾞ内に全部で") + number + Text("個の") + word + Text("ﾌｧｲﾙがあります．");
    return QStringLiteral("Totally ") + number + QStringLiteral(" ") + word + QStringLiteral(" file(s) in this folder.");
}

void ShowName(QLineEdit* edit, const std::string& name) {
    edit->setText(QFile::decodeName(name.c_str()));
    edit->setCursorPosition(0);
}

int FillFileList(QTreeWidget* list, const std::string& pattern, bool japanese, const SortState& order,
                 const FileItem::Compare& compare, const std::function<void()>& noFiles) {
    list->hide();
    list->setUpdatesEnabled(false);
    {
        // Removing the rows is no change of selection the dialog acts on.
        QSignalBlocker quiet(list->selectionModel());
        list->clear();
    }
    for (const FileRow& row : ScanRows(pattern, LocaleRowFormat(japanese)))
        list->addTopLevelItem(new FileItem(row, compare));
    // The order is the items' own comparison.
    if (order.SortColumn < SizeColumn) list->sortItems(0, Qt::AscendingOrder);
    list->setUpdatesEnabled(true);
    int count = list->topLevelItemCount();
    if (count == 0) noFiles();
    list->show();
    return count;
}

void SortOnColumnClick(QTreeWidget* list, SortState& order, int column) {
    if (order.ColumnClick(column)) list->sortItems(0, Qt::AscendingOrder);
}

int CompareItems(const QTreeWidgetItem* item1, const QTreeWidgetItem* item2, const SortState& order) {
    return CompareRows(RowOf(item1), RowOf(item2), order.SortColumn, order.Ascending());
}

}  // namespace vorbel
