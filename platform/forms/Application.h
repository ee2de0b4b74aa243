// What the form framework's application object did, over the one QApplication
// of the process: title, help file, the hint event that one window owns at a
// time, message boxes and the exception display.
//
// Each module (the converter, the library) has an Application object of its
// own; they share the QApplication, which EnsureQApplication creates when the
// process has none yet (a library export called by a program without Qt).
#pragma once

#include <QFont>
#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <string>

class QAbstractScrollArea;
class QAction;
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
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
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

// The environment variable that sends the message boxes of a whole process to
// a file: each box is appended as one line "caption TAB 0xFLAGS TAB text LF"
// (text as UTF-8 with its "\r" kept) and answered with its default button, so
// that a program started by a test never waits for a click.
constexpr const char* MessageLogVariable = "VORBEL_MESSAGE_LOG";

// The button a box answers with when nobody clicks: its default button.
int DefaultButtonOf(unsigned flags);

// Test hook: called with each modal form once it is shown (before the user
// could act on it); the hook may set its result or click its buttons.
using ModalFormHook = std::function<void(QWidget* form)>;
void SetModalFormHook(ModalFormHook hook);
// Runs a form modally (QDialog::exec for dialogs), calling the modal form hook
// once it is shown. Returns the modal result: a dialog closed without a result
// (its close box, Escape) gives mrCancel. A form that is not a dialog ends its
// modal state by setting its "ModalResult" property and hiding itself. Once
// the form has closed, no completion popup of it stays on the screen, and the
// window that owns it gets the keyboard back and shows its own hint again.
int ShowModal(QWidget* form);

// Delivers the hint event of whatever is under the pointer in `window` once
// the events now pending have run: the long hint of the control under the
// pointer, or the empty text when the pointer is elsewhere. For a window
// whose control under a resting pointer has changed or got a new hint.
void RenewHint(QWidget* window);

// Test hook: while set, help pages that exist go to the hook instead of the
// desktop's viewer; its result tells whether a program showed the page.
using HelpViewerHook = std::function<bool(const QString& path)>;
void SetHelpViewerHook(HelpViewerHook hook);

// Creates the QApplication when the process has none (offscreen when there is
// no display, without leaving QT_QPA_PLATFORM set in the process's
// environment). Returns true when it created one.
bool EnsureQApplication();
// The same for a program's entry, with its command line (both must outlive
// the QApplication).
bool EnsureQApplication(int& argc, char** argv);

// Why a help page was not shown: it is not there, or no program of the
// desktop could be found to open it.
enum class HelpFailure { Missing, NoViewer };

class Application : public QObject {
    Q_OBJECT
public:
    Application();
    ~Application() override;

    // The program's name until the program sets its title.
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
    // Opens HelpFile with the desktop's viewer. When that fails, `failed`
    // gets the reason: at once, or once the desktop's opener (xdg-open) has
    // ended without finding a program for the page. The opener may wait for
    // the program it started, so nothing waits for it here; `failed` is not
    // called once `context` is gone.
    void ShowHelpContents(QObject* context, std::function<void(HelpFailure)> failed);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool OwnsWindowOf(QObject* receiver) const;
};

// The application object whose standard error box shows errors that escape an
// event handler: the first one created in the process (the program's own).
Application* MainApplication();

// Splits a "short|long" hint: the short part becomes the tool tip, the long
// part the status tip that the hint event carries. A hint without "|" is both.
void SetHint(QWidget* widget, const QString& hint);
void SetHint(QAction* action, const QString& hint);
// The hint last set with SetHint, as one "short|long" text.
QString HintOf(const QObject* component);

// The Tag of a component (0 when never set).
int Tag(const QObject* component);
void SetTag(QObject* component, int tag);

// The family's font names mapped to metric-compatible fonts of this desktop:
// "MS Sans Serif" -> Liberation Sans, "ＭＳ Ｐゴシック" (either space) ->
// IPAPGothic, "Courier New" -> Liberation Mono; other names pass unchanged.
QString MapFontFamily(const QString& family);
QFont FontInPoints(const QString& family, int points);
QFont FontInPixels(const QString& family, int pixels);

// The font for menus, message boxes and the standard dialogs: the desktop's
// `desktopFont`, unless that is fixed-pitch (as the default gothic of a
// Japanese desktop often is), in which case the family's proportional font of
// the user's language in the same size. EnsureQApplication applies it.
QFont ProportionalUiFont(const QFont& desktopFont);

// Gives the scroll bars of `area` a handle that stands out against its track
// (the usual look draws it a shade lighter, hard to see on a light window).
void UseReadableScrollBars(QAbstractScrollArea* area);

}  // namespace platform
