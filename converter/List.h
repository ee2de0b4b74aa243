// The process-log window: a copy of the log in a fixed-pitch font that the
// user can copy to the clipboard, save as text or print.
#pragma once

#include <QDialog>

class QFileDialog;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QStatusBar;
class QToolButton;
class QWidget;

class TListForm : public QDialog {
    Q_OBJECT
public:
    TListForm(QWidget* owner, QPlainTextEdit* log, bool jpMode);

    QWidget* Panel;
    QToolButton* CopyBtn;
    QToolButton* SaveBtn;
    QToolButton* PrintBtn;
    QPushButton* BBtnClose;
    QPlainTextEdit* Memo;
    QStatusBar* StatusBar;
    QFileDialog* SaveDialog;

    void FormCreate();
    void ShowHintInStatusBar();
    void CloseBtnClick();
    void CopyBtnClick();
    void SaveBtnClick();
    void PrintBtnClick();

    // Prints the log on a printer that is ready (the print dialog confirmed);
    // throws platform::Exception when the print job can't start.
    void PrintTo(QPrinter& printer);
    // Writes every line of the log to `path`, each ended by CR LF; throws
    // platform::Exception when the file can't be written.
    void SaveTo(const QString& path) const;

    bool JPMode;
    QPrinter* ActivePrinter;

private:
    void BuildLayout();
};

// The print job's title and the font size the log is printed in.
inline constexpr const char* LogPrintTitle = "Ostrane - Process Log";
inline constexpr int LogPrintPoints = 9;
