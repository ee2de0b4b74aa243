// The HAS/SMA list dialog: lists the files of the data folder that match the
// caller's pattern, sortable by column, and only closes.
#pragma once

#include <QDialog>

#include <string>

#include "FileListCore.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TLstHASMA : public QDialog, public vorbel::SortState {
    Q_OBJECT
public:
    TLstHASMA(QWidget* owner, const QString& pattern, bool japanese);

    QLabel* Label;
    QLineEdit* EdtPath;
    QLabel* LblCount;
    QPushButton* BbtnOk;
    QTreeWidget* LvwFiles;

    bool JPMode;
    std::string Folder;
    QString Pattern;
    QString Extension;

    void InitFolder();
    int ScanFolder();

    void FormCreate();
    void LvwFilesColumnClick(int column);
    int LvwFilesCompare(const QTreeWidgetItem* item1, const QTreeWidgetItem* item2) const;

protected:
    // The dialog has no cancel button: Esc closes nothing.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildLayout();
};
