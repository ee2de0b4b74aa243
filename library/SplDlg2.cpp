#include "SplDlg2.h"

#include <QShowEvent>
#include <QTimer>

#include "Library.h"
#include "SplDlg.h"
#include "platform/forms/Application.h"
#include "vorbel/Splash.h"

TFmSplDlg2::TFmSplDlg2(QWidget* owner) : QDialog(owner) {
    vorbel::SplashLayout layout = vorbel::BuildSplashLayout(this);
    SplashFrame = layout.frame;
    SplashImg = layout.image;
    Timer = new QTimer(this);
    Timer->setTimerType(Qt::PreciseTimer);
    Timer->setInterval(1500);
    connect(Timer, &QTimer::timeout, this, &TFmSplDlg2::CloseMe);
    displayTime_ = 1500;
}

void TFmSplDlg2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

// The display time counts from the moment the window is shown.
void TFmSplDlg2::FormShow() {
    Timer->setInterval(displayTime_);
    Timer->start();
}

void TFmSplDlg2::CloseMe() {
    Timer->stop();
    done(platform::mrOk);
}

extern "C" {

TFmSplDlg2* _FmSplDlg2 = nullptr;

void Splash() {
    vorbel::App();
    _FmSplDlg2 = new TFmSplDlg2(nullptr);
    platform::ShowModal(_FmSplDlg2);
    delete _FmSplDlg2;
    _FmSplDlg2 = nullptr;
}

}  // extern "C"
