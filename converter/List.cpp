#include "List.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include <cerrno>

#include "WindowHelpers.h"
#include "core/LogPrint.h"
#include "platform/Exception.h"
#include "platform/SafeFile.h"

namespace {

// Draws the printed log with a painter on the printer.
class PainterTarget : public strova::LogPrintTarget {
public:
    PainterTarget(QPrinter& printer, QPainter& painter) : printer_(printer), painter_(painter) {}
    void DrawCentred(const strova::PrintRect& r, const std::string& text) override {
        painter_.drawText(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)),
                          Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, QString::fromLocal8Bit(text.c_str()));
    }
    void DrawText(int x, int y, const std::string& text) override {
        QFontMetrics metrics(painter_.font(), &printer_);
        painter_.drawText(QPoint(x, y + metrics.ascent()), QString::fromLocal8Bit(text.c_str()));
    }
    void DrawRule(int x0, int x1, int y) override { painter_.drawLine(x0, y, x1, y); }
    void NewPage() override {
        printer_.newPage();
        ++page_;
    }
    int PageNumber() const override { return page_; }

private:
    QPrinter& printer_;
    QPainter& painter_;
    int page_ = 1;
};

std::vector<std::string> LinesOf(const QPlainTextEdit* memo) {
    std::vector<std::string> lines;
    for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toLocal8Bit().toStdString());
    if (lines.size() == 1 && lines[0].empty()) lines.clear();  // an empty memo holds one empty block
    return lines;
}

}  // namespace

TListForm::TListForm(QWidget* owner, QPlainTextEdit* log, bool jpMode)
    : QDialog(owner), JPMode(jpMode), ActivePrinter(nullptr) {
    BuildLayout();
    Memo->setUpdatesEnabled(false);
    for (const std::string& line : LinesOf(log)) Memo->appendPlainText(QString::fromLocal8Bit(line.c_str()));
    Memo->moveCursor(QTextCursor::Start);
    Memo->setUpdatesEnabled(true);
    FormCreate();
}

void TListForm::BuildLayout() {
    setFont(platform::FontInPixels("MS Sans Serif", 13));
    resize(579, 388);
    setMinimumSize(300, 200);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Panel = new QWidget(this);
    Panel->setFixedHeight(51);
    Panel->setAutoFillBackground(true);
    QPalette silver = Panel->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    Panel->setPalette(silver);
    CopyBtn = strova::SpeedButton(Panel, "copy", 10, 9);
    SaveBtn = strova::SpeedButton(Panel, "save", 50, 9);
    PrintBtn = strova::SpeedButton(Panel, "print", 90, 9);
    BBtnClose = new QPushButton("&CLOSE", Panel);
    BBtnClose->setFixedSize(105, 33);
    auto* row = new QHBoxLayout(Panel);
    row->setContentsMargins(0, 9, 10, 9);
    row->addStretch();
    row->addWidget(BBtnClose);
    column->addWidget(Panel);

    Memo = new QPlainTextEdit(this);
    Memo->setFont(platform::FontInPixels("Courier New", 15));
    Memo->setReadOnly(true);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    platform::UseReadableScrollBars(Memo);
    Memo->setAttribute(Qt::WA_InputMethodEnabled, false);
    column->addWidget(Memo);

    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    column->addWidget(StatusBar);

    SaveDialog = new QFileDialog(this);
    SaveDialog->setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setDefaultSuffix("txt");
    // The last brackets of each filter hold its patterns; the user sees the
    // names before them.
    SaveDialog->setOption(QFileDialog::HideNameFilterDetails);
    SaveDialog->setNameFilters({"*.txt (text file) (*.txt)", "*.* (non specified file) (*)"});

    connect(CopyBtn, &QToolButton::clicked, this, &TListForm::CopyBtnClick);
    connect(SaveBtn, &QToolButton::clicked, this, &TListForm::SaveBtnClick);
    connect(PrintBtn, &QToolButton::clicked, this, &TListForm::PrintBtnClick);
    connect(BBtnClose, &QPushButton::clicked, this, &TListForm::CloseBtnClick);
}

void TListForm::FormCreate() {
    strova::App().OnHint = [this] { ShowHintInStatusBar(); };
    SaveDialog->setWindowTitle("Assign a Filename to Save the Log...");
    setWindowTitle(strova::CaptionPrefix + "Process Log Viewer");
    if (JPMode) StatusBar->setFont(strova::JapaneseFont());
    platform::SetHint(CopyBtn, JPMode ? "Clipboard Copy|ﾛｸﾞの内容をｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰします．"
                                      : "Clipboard Copy|Copying the displayed data to the clipboard.");
    platform::SetHint(SaveBtn, JPMode ? "File Save|ﾛｸﾞの内容をﾌｧｲﾙとして保存します．"
                                      : "File Save|Saving the displayed data as a file.");
    platform::SetHint(PrintBtn, JPMode ? "Print|ﾛｸﾞの内容を印刷します．" : "Print|Printing the displayed data.");
}

void TListForm::ShowHintInStatusBar() { StatusBar->showMessage(strova::App().Hint); }

void TListForm::CloseBtnClick() { done(platform::mrCancel); }

void TListForm::CopyBtnClick() {
    if (Memo->textCursor().hasSelection()) Memo->copy();
}

void TListForm::SaveBtnClick() {
    if (platform::ShowModal(SaveDialog) != platform::mrOk || SaveDialog->selectedFiles().isEmpty()) return;
    try {
        SaveTo(SaveDialog->selectedFiles().first());
    } catch (const std::exception& error) {
        strova::App().ShowException(error);  // the window stays open
    }
}

void TListForm::SaveTo(const QString& path) const {
    QByteArray bytes;
    for (const std::string& line : LinesOf(Memo)) bytes += QByteArray::fromStdString(line) + "\r\n";
    // Written beside the file and renamed over it, so a write that fails
    // midway (a full disk) or a kill leaves an earlier file as it was; a
    // folder where no new file may be made still lets a writable file be
    // overwritten in place.
    platform::SafeFile file(QFile::encodeName(path).toStdString());
    const bool opened = file.Open();
    bool saved = opened && file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size())) && file.Commit();
    std::string reason = file.Reason();
    if (!opened && (file.Error() == EACCES || file.Error() == EPERM)) {
        QFile inPlace(path);
        saved = inPlace.exists() && inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                inPlace.write(bytes) == bytes.size() && inPlace.flush();
        if (inPlace.isOpen() && !saved) reason = inPlace.errorString().toStdString();
    }
    // The message names the file and the system's reason.
    if (!saved) throw platform::Exception("ファイル " + path.toStdString() + " を作成できません\r" + reason);
}

void TListForm::PrintBtnClick() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (platform::ShowModal(&dialog) != platform::mrOk) return;
    try {
        PrintTo(printer);
    } catch (const std::exception& error) {
        strova::App().ShowException(error);  // the window stays open
    }
}

void TListForm::PrintTo(QPrinter& printer) {
    printer.setDocName(LogPrintTitle);
    QPainter painter;
    if (!painter.begin(&printer)) {
        QString where = printer.printerName().isEmpty() ? printer.outputFileName() : printer.printerName();
        throw platform::Exception("The log can't be printed on " + where.toStdString() + ".");
    }
    ActivePrinter = &printer;
    QFont font = Memo->font();
    int ppi = printer.logicalDpiY();
    strova::PrintGeometry geometry = strova::ComputePrintGeometry(ppi, LogPrintPoints, printer.height());
    font.setPixelSize(geometry.fontHeight);
    painter.setFont(font);
    PainterTarget target(printer, painter);
    strova::PrintLog(target, LinesOf(Memo), LogPrintTitle, geometry, printer.width(), printer.height());
    painter.end();
    ActivePrinter = nullptr;
}
