#include "SplDlg.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "Library.h"
#include "vorbel/Splash.h"

// Registers the library's compiled-in pictures; outside any namespace, as the
// resource compiler's names are global.
static void InitLibraryResources() { Q_INIT_RESOURCE(vorbel); }

namespace vorbel {

SplashLayout BuildSplashLayout(QDialog* form) {
    InitLibraryResources();
    form->setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    form->setFixedSize(328, 248);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        form->move(screen->geometry().center() - form->rect().center());

    auto* frame = new QFrame(form);
    frame->setObjectName("SplashFrame");
    frame->setGeometry(0, 0, 328, 248);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(2);
    // The inner bevel, lowered, inside the raised outer one.
    auto* inner = new QFrame(frame);
    inner->setGeometry(2, 2, 324, 244);
    inner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inner->setLineWidth(2);

    auto* image = new QLabel(frame);
    image->setObjectName("SplashImg");
    image->setGeometry(4, 4, 320, 240);
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(QPixmap(":/vorbel/splash.bmp"));
    return {frame, image};
}

}  // namespace vorbel

TFmSplDlg::TFmSplDlg(QWidget* owner) : QDialog(owner) {
    vorbel::SplashLayout layout = vorbel::BuildSplashLayout(this);
    SplashFrame = layout.frame;
    SplashImg = layout.image;
}

extern "C" {

TFmSplDlg* _FmSplDlg = nullptr;

void SplashDlg_On() {
    vorbel::App();
    if (!_FmSplDlg) _FmSplDlg = new TFmSplDlg(nullptr);
    _FmSplDlg->show();
    _FmSplDlg->raise();
}

void SplashDlg_Off() {
    if (!_FmSplDlg) return;
    _FmSplDlg->close();
    delete _FmSplDlg;
    _FmSplDlg = nullptr;
}

}  // extern "C"
