// The HAS/SMA list dialog and its export.
#include "Lsthasma.h"

#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include <functional>
#include <tuple>

#include "FileListView.h"
#include "Library.h"
#include "platform/Cp932.h"
#include "platform/forms/Application.h"
#include "vorbel/FileDialogs.h"

using namespace vorbel;

extern "C" {
TLstHASMA* _LstHASMA = nullptr;
}

TLstHASMA::TLstHASMA(QWidget* owner, const QString& pattern, bool japanese)
    : QDialog(owner), JPMode(japanese), Pattern(pattern), Extension(pattern.right(3).toUpper()) {
    BuildLayout();
    setWindowTitle(Text("List of Files (") + Pattern + Text(")"));
    FormCreate();
}

void TLstHASMA::BuildLayout() {
    SetUpListDialog(this, 569, 297);

    Label = new QLabel(Text("ﾌｧｲﾙの場所 :"), this);
    Label->setGeometry(24, 7, 161, 25);
    Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    std::tie(EdtPath, LvwFiles, LblCount) = AddFolderListAndCount(this);
    BbtnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), Text("&OK"), this);
    BbtnOk->setGeometry(456, 252, 99, 33);
    BbtnOk->setDefault(true);

    setTabOrder(LvwFiles, BbtnOk);
    connect(BbtnOk, &QPushButton::clicked, this, [this] { done(platform::mrOk); });
    connect(LvwFiles->header(), &QHeaderView::sectionClicked, this, &TLstHASMA::LvwFilesColumnClick);
}

void TLstHASMA::FormCreate() {
    InitFolder();
    if (!JPMode) {
        setFont(EnglishFont());
        Label->setText(Text("Files In :"));
    }
    SetFileColumns(LvwFiles, JPMode, Text("IXXXXXXX.SMA"));
    LblCount->setText(CountText(JPMode, ScanFolder(), Extension));
    if (QTreeWidgetItem* first = LvwFiles->topLevelItem(0))
        LvwFiles->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
}

// Reads the data folder; this dialog never stores it.
void TLstHASMA::InitFolder() {
    std::string stored = ReadRootText("TmpPath");
    Folder = stored.empty() ? DefaultDataFolder(ReadRootText("DllPath")) : stored;
    ShowName(EdtPath, Folder);
}

int TLstHASMA::ScanFolder() {
    auto compare = std::bind_front(&TLstHASMA::LvwFilesCompare, this);
    std::string pattern = Folder + QFile::encodeName(Pattern).toStdString();
    return FillFileList(LvwFiles, pattern, JPMode, *this, compare, [this] {
        QString message = JPMode ? Text("このﾌｫﾙﾀﾞには，") + Extension + Text("\rﾌｧｲﾙがありません．")
                                 : Text("There is no ") + Extension + Text(" file\rin this foler.");
        App().MessageBox(message, Text("Info. - HAS/SMA list dialog"), platform::MB_OK | platform::MB_ICONINFORMATION);
    });
}

void TLstHASMA::LvwFilesColumnClick(int column) {
    SortOnColumnClick(LvwFiles, *this, column);
}

int TLstHASMA::LvwFilesCompare(const QTreeWidgetItem* item1, const QTreeWidgetItem* item2) const {
    return CompareItems(item1, item2, *this);
}

void TLstHASMA::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

extern "C" void OpenHASMAListDlg(const char* pattern, std::uint8_t english) {
    App();  // the QApplication, when the calling program has none
    TLstHASMA dialog(nullptr, QString::fromStdString(platform::Cp932ToUtf8(pattern ? pattern : "")), english == 0);
    _LstHASMA = &dialog;
    platform::ShowModal(&dialog);
    _LstHASMA = nullptr;
}
