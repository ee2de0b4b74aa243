#include "Application.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

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

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { BoxHook() = std::move(hook); }
void SetModalFormHook(ModalFormHook hook) { FormHook() = std::move(hook); }

bool EnsureQApplication() {
    if (QCoreApplication::instance()) return false;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "vorbel";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process
    return true;
}

int ShowModal(QWidget* form) {
    QPointer<QWidget> guard(form);
    if (FormHook()) {
        QTimer::singleShot(0, form, [guard] {
            if (guard && FormHook()) FormHook()(guard);
        });
    }
    if (auto* dialog = qobject_cast<QDialog*>(form)) return dialog->exec();
    form->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    form->show();
    while (guard && guard->isVisible()) loop.processEvents(QEventLoop::WaitForMoreEvents);
    return guard ? guard->property("ModalResult").toInt() : mrCancel;
}

Application::Application() = default;
Application::~Application() = default;

int Application::MessageBox(const QString& text, const QString& caption, unsigned flags) {
    if (BoxHook()) return BoxHook()({text.toStdString(), caption.toStdString(), flags});
    EnsureQApplication();
    QMessageBox box(IconOf(flags), caption, WithLineBreaks(text));
    std::vector<ButtonSet> buttons = ButtonsOf(flags);
    for (const auto& b : buttons) box.addButton(b.button);
    int pressed = box.exec();
    for (const auto& b : buttons)
        if (b.button == pressed) return b.result;
    return buttons.size() == 1 ? IDOK : IDCANCEL;
}

void Application::ShowException(const std::exception& error) {
    MessageBox(QString::fromUtf8(error.what()), Title, MB_OK | MB_ICONSTOP);
}

void Application::ProcessMessages() { QCoreApplication::processEvents(); }

bool Application::eventFilter(QObject* watched, QEvent* event) { return QObject::eventFilter(watched, event); }

void SetHint(QWidget* widget, const QString& hint) {
    int bar = hint.indexOf('|');
    widget->setToolTip(bar < 0 ? hint : hint.left(bar));
    widget->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

}  // namespace platform
