#include "About.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "WindowHelpers.h"

TVerInfo::TVerInfo(QWidget* owner, bool jpMode) : QDialog(owner) {
    strova::InitResources();
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(platform::FontInPixels("MS Sans Serif", 13));
    setFixedSize(322, 242);

    Panel = new QFrame(this);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel->setLineWidth(1);
    Panel->setGeometry(0, 0, 322, 242);
    Image = new QLabel(Panel);
    Image->setGeometry(1, 1, 320, 240);
    Image->setPixmap(QPixmap(":/strova/about.bmp"));
    Image->installEventFilter(this);
    OkBtn = new QPushButton("&OK", Panel);
    OkBtn->setGeometry(116, 192, 89, 33);
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &TVerInfo::OkBtnClick);

    QString hint = jpMode ? "閉じる|" : "Close|";
    platform::SetHint(Image, hint);
    platform::SetHint(OkBtn, hint);
    setWindowTitle(strova::CaptionPrefix + "Version Information");
}

void TVerInfo::OkBtnClick() { done(platform::mrOk); }

bool TVerInfo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OkBtnClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
