// The .uf1 file dialog and its export.
#include "Openuf1.h"

#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include <functional>
#include <tuple>

#include "FileListView.h"
#include "Library.h"
#include "platform/forms/Application.h"
#include "vorbel/FileDialogs.h"

using namespace vorbel;

extern "C" {
TOpenUF1* _OpenUF1 = nullptr;
}

namespace {

constexpr int CancelResult = 9999999;
const QColor Maroon(128, 0, 0);

}  // namespace

TOpenUF1::TOpenUF1(QWidget* owner, bool japanese, std::uint8_t canChangeFolder)
    : QDialog(owner), JPMode(japanese), CanChangeFolder(canChangeFolder) {
    BuildLayout();
    FormCreate();
}

void TOpenUF1::BuildLayout() {
    SetUpListDialog(this, 569, 290);
    setWindowTitle(Text("Open a source file (*.uf1)"));

    // The label lies under the folder button and shows only while the button is hidden.
    Label = new QLabel(Text("ﾌｧｲﾙの場所 :"), this);
    Label->setGeometry(8, 8, 177, 23);
    Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    BtnIncludedPath = new QPushButton(Text("ﾌｧｲﾙの場所(&I) :"), this);
    BtnIncludedPath->setGeometry(16, 8, 169, 25);
    BtnIncludedPath->setFocusPolicy(Qt::ClickFocus);
    // Enter presses OK, also after a click on this button.
    BtnIncludedPath->setAutoDefault(false);
    std::tie(EdtPath, LvwFiles, LblCount) = AddFolderListAndCount(this);
    LblDesc = new QLabel(Text("選択されたﾌｧｲﾙ:"), this);
    LblDesc->setGeometry(8, 256, 137, 25);
    LblDesc->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    EdtFile = new QLineEdit(Text("Selected File"), this);
    SetUpShowField(EdtFile, 152, 256, 105, 23, Maroon);
    BbtnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), Text("&OK"), this);
    BbtnOk->setGeometry(344, 252, 99, 33);
    BbtnOk->setDefault(true);
    BbtnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), Text("&CANCEL"), this);
    BbtnCancel->setGeometry(456, 252, 99, 33);
    OpenDialog = new QFileDialog(this, Text("Change folder including uf1 files"));
    OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog->setNameFilter(Text("uf1 files (*.uf1)"));
    OpenDialog->setDefaultSuffix(Text("uf1"));
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);

    setTabOrder(LvwFiles, BbtnOk);
    setTabOrder(BbtnOk, BbtnCancel);
    // The dialog opens on the list, not on its default button.
    LvwFiles->setFocus();
    connect(BtnIncludedPath, &QPushButton::clicked, this, &TOpenUF1::BtnIncludedPathClick);
    connect(BbtnOk, &QPushButton::clicked, this, &TOpenUF1::BbtnOkClick);
    connect(BbtnCancel, &QPushButton::clicked, this, &TOpenUF1::BbtnCancelClick);
    connect(LvwFiles->header(), &QHeaderView::sectionClicked, this, &TOpenUF1::LvwFilesColumnClick);
    connect(LvwFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                for (const QModelIndex& index : deselected.indexes())
                    if (index.column() == 0) LvwFilesSelectItem(LvwFiles->topLevelItem(index.row()), false);
                for (const QModelIndex& index : selected.indexes())
                    if (index.column() == 0) LvwFilesSelectItem(LvwFiles->topLevelItem(index.row()), true);
            });
}

void TOpenUF1::FormCreate() {
    InitFolder();
    if (!JPMode) {
        setFont(EnglishFont());
        BtnIncludedPath->setText(Text("Files &In"));
        Label->setText(Text("Files In :"));
        LblDesc->setText(Text("Selected File :"));
    }
    BtnIncludedPath->setVisible(CanChangeFolder != 0);
    Label->setVisible(CanChangeFolder == 0);
    SetFileColumns(LvwFiles, JPMode, Text("IXXXXXXX.UF1"));
    LblCount->setText(CountText(JPMode, ScanFolder(), Text("UF1")));
    if (QTreeWidgetItem* first = LvwFiles->topLevelItem(0)) {
        // Chosen and focused, but not highlighted.
        LvwFiles->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
        SelectedFile = RowOf(first).fileName;
        ShowSelectedFile();
    }
}

void TOpenUF1::ShowSelectedFile() { ShowName(EdtFile, SelectedFile); }

void TOpenUF1::InitFolder() {
    std::string stored = ReadRootText("TmpPath");
    if (stored.empty()) {
        Folder = DefaultDataFolder(ReadRootText("DllPath"));
        SaveFolder();
    } else {
        Folder = stored;
    }
    ShowName(EdtPath, Folder);
}

void TOpenUF1::SaveFolder() {
    ShowName(EdtPath, Folder);
    WriteRootText("TmpPath", Folder);
}

int TOpenUF1::ScanFolder() {
    auto compare = std::bind_front(&TOpenUF1::LvwFilesCompare, this);
    return FillFileList(LvwFiles, Folder + "*.uf1", JPMode, *this, compare, [this] {
        const char* message = JPMode ? "このﾌｫﾙﾀﾞには，uf1ﾌｧｲﾙが\r\n存在しません．" : "There is no uf1 file\r\nin this foler.";
        App().MessageBox(Text(message), Text("Error - uf1 file selection dialog"),
                         platform::MB_OK | platform::MB_ICONERROR);
    });
}

void TOpenUF1::BtnIncludedPathClick() {
    if (CanChangeFolder == 0) return;
    OpenDialog->setDirectory(QFile::decodeName(Folder.substr(0, Folder.empty() ? 0 : Folder.size() - 1).c_str()));
    if (platform::ShowModal(OpenDialog) == QDialog::Accepted && !OpenDialog->selectedFiles().isEmpty()) {
        Folder = SplitPath(QFile::encodeName(OpenDialog->selectedFiles().first()).toStdString()) + "/";
        SaveFolder();
    }
    LblCount->setText(CountText(JPMode, ScanFolder(), Text("uf1")));
    if (QTreeWidgetItem* first = LvwFiles->topLevelItem(0)) LvwFiles->setCurrentItem(first);
    LvwFiles->setFocus();
}

void TOpenUF1::LvwFilesSelectItem(QTreeWidgetItem* item, bool) {
    if (!item) return;
    SelectedFile = RowOf(item).fileName;
    ShowSelectedFile();
}

void TOpenUF1::LvwFilesColumnClick(int column) {
    SortOnColumnClick(LvwFiles, *this, column);
}

int TOpenUF1::LvwFilesCompare(const QTreeWidgetItem* item1, const QTreeWidgetItem* item2) const {
    return CompareItems(item1, item2, *this);
}

void TOpenUF1::BbtnOkClick() {
    Station = StationFromFileName(SelectedFile);
    Year = YearFromFileName(SelectedFile);
    done(platform::mrOk);
}

void TOpenUF1::BbtnCancelClick() {
    SelectedFile.clear();
    Station = Year = -1;
    done(platform::mrCancel);
}

void TOpenUF1::reject() { done(platform::mrCancel); }

extern "C" int OpenUF1Dlg(std::uint8_t english, std::uint8_t changeFolder) {
    App();  // the QApplication, when the calling program has none
    TOpenUF1 dialog(nullptr, english == 0, changeFolder);
    _OpenUF1 = &dialog;
    int result = platform::ShowModal(&dialog) == platform::mrOk ? dialog.Station * 10000 + dialog.Year : CancelResult;
    _OpenUF1 = nullptr;
    return result;
}
