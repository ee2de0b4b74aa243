// What the form framework's application object did, over the one QApplication
// of the process: title, help file, the hint event that one window owns at a
// time, message boxes and the exception display.
//
// Each module (the converter, the library) has an Application object of its
// own; they share the QApplication, which EnsureQApplication creates when the
// process has none yet (a library export called by a program without Qt).
#pragma once

#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <string>

class QWidget;

namespace platform {

// Message box styles and results, with the values the family's code uses.
enum : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_ABORTRETRYIGNORE = 0x02,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_RETRYCANCEL = 0x05,
    MB_ICONERROR = 0x10,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };
// Modal results of forms.
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3 };

// One message box as the user would have seen it (UTF-8, "\r" kept).
struct MessageBoxCall {
    std::string text;
    std::string caption;
    unsigned flags = 0;
};

// Test hook: while set, every message box of every module goes to the hook
// instead of the screen, and its return value is the button pressed.
using MessageBoxHook = std::function<int(const MessageBoxCall&)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Test hook: called with each modal form once it is shown (before the user
// could act on it); the hook may set its result or click its buttons.
using ModalFormHook = std::function<void(QWidget* form)>;
void SetModalFormHook(ModalFormHook hook);
// Runs a form modally (QDialog::exec for dialogs), calling the modal form hook
// once it is shown. Returns the modal result.
int ShowModal(QWidget* form);

// Creates the QApplication when the process has none (offscreen when there is
// no display). Returns true when it created one.
bool EnsureQApplication();

class Application : public QObject {
    Q_OBJECT
public:
    Application();
    ~Application() override;

    QString Title;
    QString HelpFile;
    // The current hint's long part, as the last hint event delivered it.
    QString Hint;
    // The hint event: called when the long part of a hint changes. One window
    // owns it at a time; a window that installs its handler keeps the one it
    // replaced and puts it back when it closes.
    std::function<void()> OnHint;

    // A modal message box; "\r" in the text is a line break. Returns the
    // button pressed (IDOK, IDCANCEL, IDYES, ...).
    int MessageBox(const QString& text, const QString& caption, unsigned flags);
    // The standard error box: the error's text, captioned with Title, OK
    // button and the stop icon.
    void ShowException(const std::exception& error);
    void ProcessMessages();

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Splits a "short|long" hint: the short part becomes the tool tip, the long
// part the status tip that the hint event carries. A hint without "|" is both.
void SetHint(QWidget* widget, const QString& hint);

}  // namespace platform
