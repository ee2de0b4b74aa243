#include "Application.h"

#include <dlfcn.h>

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusTipEvent>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/Language.h"

namespace platform {

namespace {

MessageBoxHook& BoxHook() {
    static MessageBoxHook hook;
    return hook;
}

ModalFormHook& FormHook() {
    static ModalFormHook hook;
    return hook;
}

HelpViewerHook& ViewerHook() {
    static HelpViewerHook hook;
    return hook;
}

// Never destroyed: application objects may outlive the statics of their module.
std::vector<Application*>& LiveApplications() {
    static auto* apps = new std::vector<Application*>;
    return *apps;
}

// Errors that escape an event handler are shown in the standard error box of
// the program's application object, and the window stays open.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            if (Application* app = MainApplication()) app->ShowException(error);
            return false;
        }
    }
};

QString WithLineBreaks(QString text) {
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    return text;
}

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & 0xF0) {
        case MB_ICONERROR: return QMessageBox::Critical;
        case MB_ICONQUESTION: return QMessageBox::Question;
        case MB_ICONWARNING: return QMessageBox::Warning;
        case MB_ICONINFORMATION: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

struct ButtonSet {
    QMessageBox::StandardButton button;
    int result;
};

std::vector<ButtonSet> ButtonsOf(unsigned flags) {
    using B = QMessageBox;
    switch (flags & 0x0F) {
        case MB_OKCANCEL: return {{B::Ok, IDOK}, {B::Cancel, IDCANCEL}};
        case MB_ABORTRETRYIGNORE: return {{B::Abort, IDABORT}, {B::Retry, IDRETRY}, {B::Ignore, IDIGNORE}};
        case MB_YESNOCANCEL: return {{B::Yes, IDYES}, {B::No, IDNO}, {B::Cancel, IDCANCEL}};
        case MB_YESNO: return {{B::Yes, IDYES}, {B::No, IDNO}};
        case MB_RETRYCANCEL: return {{B::Retry, IDRETRY}, {B::Cancel, IDCANCEL}};
        default: return {{B::Ok, IDOK}};
    }
}

std::size_t DefaultIndexOf(unsigned flags, std::size_t count) {
    std::size_t index = (flags >> 8) & 0x3;
    return index < count ? index : 0;
}

// Appends the box to the message log named by the environment; false when no
// log is asked for.
bool LogMessageBox(const QString& text, const QString& caption, unsigned flags) {
    const char* path = std::getenv(MessageLogVariable);
    if (!path || !*path) return false;
    std::ofstream log(path, std::ios::binary | std::ios::app);
    log << caption.toStdString() << '\t' << QString::asprintf("0x%02X", flags).toStdString() << '\t'
        << text.toStdString() << '\n';
    return true;
}

// The process's windows in the order they were last activated, the latest at
// the back. Never destroyed, like the application objects that fill it.
std::vector<QPointer<QWidget>>& ActivatedWindows() {
    static auto* windows = new std::vector<QPointer<QWidget>>;
    return *windows;
}

void NoteActivation(QObject* watched) {
    auto* window = qobject_cast<QWidget*>(watched);
    if (!window || (window->windowType() != Qt::Window && window->windowType() != Qt::Dialog)) return;
    auto& windows = ActivatedWindows();
    std::erase_if(windows, [window](const QPointer<QWidget>& w) { return !w || w == window; });
    windows.emplace_back(window);
}

// The window in front, to which a message box belongs: the modal window, else
// the active one, else, while the user works in another program, the shown
// window that was active last; none when there is no such window.
QWidget* FrontWindow() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    const auto& windows = ActivatedWindows();
    auto last = std::find_if(windows.rbegin(), windows.rend(), [](const QPointer<QWidget>& w) { return w && w->isVisible(); });
    return last == windows.rend() ? nullptr : last->data();
}

// Puts the box's middle on the middle of `front`, kept on front's screen.
void CentreOver(QWidget& box, const QWidget& front) {
    QRect frame = box.frameGeometry();
    frame.moveCenter(front.frameGeometry().center());
    if (QScreen* screen = front.screen()) {
        const QRect room = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() + 1 - frame.width())));
        frame.moveTop(std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height())));
    }
    box.move(frame.topLeft());
}

int ShowMessageBox(const QString& text, const QString& caption, unsigned flags) {
    EnsureQApplication();
    // A box with a parent is transient for its window. Qt places it before
    // it has its final size, so it is centred again once it shows.
    QPointer<QWidget> front = FrontWindow();
    QMessageBox box(IconOf(flags), caption, WithLineBreaks(text), QMessageBox::NoButton, front);
    if (front) QTimer::singleShot(0, &box, [&box, front] {
        if (front) CentreOver(box, *front);
    });
    std::vector<ButtonSet> buttons = ButtonsOf(flags);
    for (const auto& b : buttons) box.addButton(b.button);
    box.setDefaultButton(buttons[DefaultIndexOf(flags, buttons.size())].button);
    int pressed = box.exec();
    for (const auto& b : buttons)
        if (b.button == pressed) return b.result;
    return buttons.size() == 1 ? IDOK : IDCANCEL;
}

// Base address of the loaded module that holds `address`.
const void* ModuleBaseOf(const void* address) {
    Dl_info info{};
    return dladdr(address, &info) ? info.dli_fbase : nullptr;
}

const void* OwnModuleBase() {
    static const void* base = ModuleBaseOf(reinterpret_cast<const void*>(&OwnModuleBase));
    return base;
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { BoxHook() = std::move(hook); }
void SetModalFormHook(ModalFormHook hook) { FormHook() = std::move(hook); }
void SetHelpViewerHook(HelpViewerHook hook) { ViewerHook() = std::move(hook); }

int DefaultButtonOf(unsigned flags) {
    std::vector<ButtonSet> buttons = ButtonsOf(flags);
    return buttons[DefaultIndexOf(flags, buttons.size())].result;
}

bool EnsureQApplication() {
    // Named after the running program, as the desktop shows it.
    static int argc = 1;
    static char* argv[] = {program_invocation_short_name, nullptr};
    return EnsureQApplication(argc, argv);
}

bool EnsureQApplication(int& argc, char** argv) {
    if (QCoreApplication::instance()) return false;
    // With no display Qt is told to draw offscreen, through the environment
    // that it reads while the application object is made. Then the caller's
    // environment is as it was again: every program that the caller (or a
    // launcher of the library) starts would otherwise inherit the setting and
    // draw offscreen too, whatever display it is given.
    const bool offscreen =
        !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
    if (offscreen) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new GuardedApplication(argc, argv);  // lives as long as the process
    if (offscreen) unsetenv("QT_QPA_PLATFORM");
    QApplication::setFont(ProportionalUiFont(QApplication::font()));
    return true;
}

namespace {

// The line edits of `form` that complete what is typed, such as a file
// dialog's name field.
QList<QLineEdit*> CompletingEdits(QWidget* form) {
    QList<QLineEdit*> edits = form->findChildren<QLineEdit*>();
    edits.removeIf([](QLineEdit* edit) { return !edit->completer(); });
    return edits;
}

int RunModal(QWidget* form) {
    if (auto* dialog = qobject_cast<QDialog*>(form)) {
        int result = dialog->exec();
        return result == QDialog::Rejected ? mrCancel : result;
    }
    QPointer<QWidget> guard(form);
    Qt::WindowModality modality = form->windowModality();
    form->setProperty("ModalResult", mrNone);
    form->setWindowModality(Qt::ApplicationModal);
    form->show();
    QEventLoop loop;
    while (guard && guard->isVisible()) loop.processEvents(QEventLoop::WaitForMoreEvents);
    if (!guard) return mrCancel;
    guard->setWindowModality(modality);
    int result = guard->property("ModalResult").toInt();
    return result == mrNone ? mrCancel : result;
}

// After a modal form has closed: its completion popups go with it, and the
// window that opened it has the keyboard and shows its own hint again. A
// file dialog lists folders on a thread of its own, and a listing that
// arrives after Enter has closed the dialog would open the name field's
// popup again, on its own, holding the keyboard: a completer without its
// edit completes nothing, and gets the edit back before the form shows again.
void AfterModal(QWidget& form) {
    for (QLineEdit* edit : CompletingEdits(&form)) edit->completer()->setWidget(nullptr);
    QWidget* owner = form.parentWidget() ? form.parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) return;
    owner->activateWindow();
    RenewHint(owner);
}

}  // namespace

int ShowModal(QWidget* form) {
    QPointer<QWidget> guard(form);
    if (FormHook()) {
        QTimer::singleShot(0, form, [guard] {
            // A copy, so that a hook may replace itself while it runs.
            ModalFormHook hook = FormHook();
            if (guard && hook) hook(guard);
        });
    }
    for (QLineEdit* edit : CompletingEdits(form)) edit->completer()->setWidget(edit);
    int result = RunModal(form);
    if (guard) AfterModal(*guard);
    return result;
}

void RenewHint(QWidget* window) {
    QTimer::singleShot(0, window, [window] {
        QWidget* under = QApplication::widgetAt(QCursor::pos());
        if (!under || under->window() != window) under = nullptr;
        QStatusTipEvent tip(under ? under->statusTip() : QString());
        QApplication::sendEvent(under ? under : window, &tip);
    });
}

Application* MainApplication() { return LiveApplications().empty() ? nullptr : LiveApplications().front(); }

Application::Application() {
    EnsureQApplication();
    Title = QCoreApplication::applicationName();
    qApp->installEventFilter(this);
    LiveApplications().push_back(this);
}

Application::~Application() {
    auto& apps = LiveApplications();
    std::erase(apps, this);
}

// With no screen (the offscreen platform) a modal box could never be
// answered; the message goes to the standard error stream instead and the box
// counts as answered with its default button.
static bool NoScreen() {
    EnsureQApplication();
    QString platform = QGuiApplication::platformName();
    return platform == "offscreen" || platform == "minimal";
}

int Application::MessageBox(const QString& text, const QString& caption, unsigned flags) {
    if (BoxHook()) return BoxHook()({text.toStdString(), caption.toStdString(), flags});
    if (LogMessageBox(text, caption, flags)) return DefaultButtonOf(flags);
    if (NoScreen()) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), WithLineBreaks(text).toLocal8Bit().constData());
        return DefaultButtonOf(flags);
    }
    return ShowMessageBox(text, caption, flags);
}

void Application::ShowException(const std::exception& error) {
    MessageBox(QString::fromUtf8(error.what()), Title, MB_OK | MB_ICONSTOP);
}

void Application::ProcessMessages() { QCoreApplication::processEvents(); }

namespace {

// Runs xdg-open on `url`, as Qt would, but keeps it to read its exit status:
// one other than 0 says that it found no program for the page (3 when it had
// none to try, 4 when the desktop's own opener failed). While a program shows
// the page, xdg-open may go on running until that program ends.
void RunOpener(QObject* owner, const QString& opener, const QUrl& url, QObject* context,
               const std::function<void()>& noViewer) {
    auto* process = new QProcess(owner);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    auto ended = [process, alive = QPointer<QObject>(context), noViewer](bool found) {
        if (!found && alive) noViewer();
        process->deleteLater();
    };
    QObject::connect(process, &QProcess::finished, process, [ended](int code, QProcess::ExitStatus status) {
        ended(status != QProcess::NormalExit || code == 0);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [ended](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) ended(false);
    });
    process->start(opener, {url.toString()});
}

}  // namespace

void Application::ShowHelpContents(QObject* context, std::function<void(HelpFailure)> failed) {
    const QString path = QFileInfo(HelpFile).absoluteFilePath();
    if (!QFileInfo::exists(path)) return failed(HelpFailure::Missing);
    auto noViewer = [failed] { failed(HelpFailure::NoViewer); };
    if (ViewerHook()) {
        if (!ViewerHook()(path)) noViewer();
        return;
    }
    const QUrl url = QUrl::fromLocalFile(path);
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) return RunOpener(this, opener, url, context, noViewer);
    // Without xdg-open, Qt starts a browser it knows, and fails when it finds none.
    if (!QDesktopServices::openUrl(url)) noViewer();
}

namespace {

// The module whose form a widget sits on: the first window, going out from
// the widget's own through the windows that own it, whose class is not one of
// Qt's (a menu or a file dialog belongs to the form that opened it).
const void* FormModuleOf(QWidget* widget) {
    const void* qt = ModuleBaseOf(&QWidget::staticMetaObject);
    for (QWidget* window = widget->window(); window;
         window = window->parentWidget() ? window->parentWidget()->window() : nullptr) {
        const void* base = ModuleBaseOf(window->metaObject());
        if (base != qt) return base;
    }
    return qt;
}

}  // namespace

// A status-tip event belongs to this application object when it comes from
// one of this module's forms, or from a window no module's form owns: the
// converter's hint handling never sees the library's dialogs.
bool Application::OwnsWindowOf(QObject* receiver) const {
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget) return false;
    const void* base = FormModuleOf(widget);
    return base == OwnModuleBase() || base == ModuleBaseOf(&QWidget::staticMetaObject);
}

bool Application::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowActivate) NoteActivation(watched);
    if (event->type() != QEvent::StatusTip || !OwnsWindowOf(watched)) return QObject::eventFilter(watched, event);
    Hint = static_cast<QStatusTipEvent*>(event)->tip();
    if (OnHint) OnHint();
    return true;
}

// The whole hint is kept as a property, since Qt fills an empty tool tip of an
// action with the action's text.
template <typename Component>
void SetHintOf(Component* component, const QString& hint) {
    int bar = hint.indexOf('|');
    component->setProperty("Hint", hint);
    component->setToolTip(bar < 0 ? hint : hint.left(bar));
    component->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

void SetHint(QWidget* widget, const QString& hint) { SetHintOf(widget, hint); }
void SetHint(QAction* action, const QString& hint) { SetHintOf(action, hint); }
QString HintOf(const QObject* component) { return component->property("Hint").toString(); }

int Tag(const QObject* component) { return component->property("Tag").toInt(); }
void SetTag(QObject* component, int tag) { component->setProperty("Tag", tag); }

QString MapFontFamily(const QString& family) {
    if (family == QStringLiteral("MS Sans Serif")) return QStringLiteral("Liberation Sans");
    if (family == QStringLiteral("Courier New")) return QStringLiteral("Liberation Mono");
    if (family == QStringLiteral("ＭＳ Ｐゴシック") || family == QStringLiteral("ＭＳ　Ｐゴシック"))
        return QStringLiteral("IPAPGothic");
    return family;
}

QFont FontInPoints(const QString& family, int points) {
    QFont font(MapFontFamily(family));
    font.setPointSize(points);
    return font;
}

QFont ProportionalUiFont(const QFont& desktopFont) {
    // Latin letters of one width: fontconfig calls a gothic whose Latin half
    // is fixed "dual" width, not fixed pitch, so the widths are compared.
    QFontMetrics metrics(desktopFont);
    if (metrics.horizontalAdvance('i') != metrics.horizontalAdvance('W')) return desktopFont;
    QFont font = desktopFont;
    font.setFamily(MapFontFamily(UserDefaultLangID() == LangJapanese ? "ＭＳ Ｐゴシック" : "MS Sans Serif"));
    return font;
}

QFont FontInPixels(const QString& family, int pixels) {
    QFont font(MapFontFamily(family));
    font.setPixelSize(pixels);
    return font;
}

namespace {

// The application's style, with the handle of a scroll bar drawn as a
// button of darker gray: the usual styles draw it a shade lighter than its
// track, which on a light gray window is hard to make out.
class ReadableScrollBarStyle : public QProxyStyle {
public:
    ReadableScrollBarStyle() : QProxyStyle(QApplication::style()->name()) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || !bar) return QProxyStyle::drawComplexControl(control, option, painter, widget);
        QStyleOptionSlider track = *bar;
        track.subControls &= ~SC_ScrollBarSlider;
        QProxyStyle::drawComplexControl(control, &track, painter, widget);
        if (!(bar->subControls & SC_ScrollBarSlider)) return;
        QStyleOptionSlider handle = *bar;
        handle.subControls = SC_ScrollBarSlider;
        handle.palette.setColor(QPalette::Button, QColor(128, 128, 128));
        QProxyStyle::drawComplexControl(control, &handle, painter, widget);
    }
};

}  // namespace

void UseReadableScrollBars(QAbstractScrollArea* area) {
    auto* style = new ReadableScrollBarStyle;
    style->setParent(area);  // a widget does not own its style
    for (QScrollBar* bar : {area->horizontalScrollBar(), area->verticalScrollBar()}) bar->setStyle(style);
}

}  // namespace platform
