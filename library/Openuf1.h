// The .uf1 file dialog: lists the *.uf1 files of the data folder, lets the
// user sort them, change the folder and choose one.
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>

#include "FileListCore.h"

class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TOpenUF1 : public QDialog, public vorbel::SortState {
    Q_OBJECT
public:
    TOpenUF1(QWidget* owner, bool japanese, std::uint8_t canChangeFolder);

    QPushButton* BtnIncludedPath;
    QLineEdit* EdtPath;
    QLineEdit* EdtFile;
    QFileDialog* OpenDialog;
    QLabel* LblCount;
    QLabel* LblDesc;
    QPushButton* BbtnOk;
    QPushButton* BbtnCancel;
    QTreeWidget* LvwFiles;
    QLabel* Label;

    bool JPMode;
    std::uint8_t CanChangeFolder;
    std::string Folder;
    std::string SelectedFile;
    int Station = -1;
    int Year = -1;

    void InitFolder();
    void SaveFolder();
    int ScanFolder();

    void FormCreate();
    void BtnIncludedPathClick();
    void LvwFilesSelectItem(QTreeWidgetItem* item, bool selected);
    void LvwFilesColumnClick(int column);
    int LvwFilesCompare(const QTreeWidgetItem* item1, const QTreeWidgetItem* item2) const;
    void BbtnOkClick();
    void BbtnCancelClick();

    // The window's close box and Esc count as Cancel.
    void reject() override;

private:
    void BuildLayout();
    void ShowSelectedFile();
};
