#include "MapImage.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

TMapImage::TMapImage(QWidget* parent) : QWidget(parent) {
    // Every paint covers its whole rectangle (the map, or the background
    // beside a picture smaller than the widget).
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool TMapImage::Open(const std::string& bmpPath) {
    failureReported_ = false;
    const bool opened = picture_.Open(bmpPath);
    update();
    return opened;
}

void TMapImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // A scroll across and down at once exposes two strips: each is painted
    // on its own rather than the rectangle around both.
    for (const QRect& exposed : event->region()) PaintPart(painter, exposed);
}

void TMapImage::PaintPart(QPainter& painter, const QRect& exposed) {
    // What lies outside the picture, or what can't be read, keeps the
    // window's background.
    painter.fillRect(exposed, palette().window());
    const QRect shown = exposed & QRect(0, 0, picture_.Width(), picture_.Height());
    if (shown.isEmpty()) return;
    QImage part(shown.size(), QImage::Format_RGB32);
    if (picture_.Fill(shown.left(), shown.top(), shown.width(), shown.height(),
                      reinterpret_cast<std::uint32_t*>(part.bits()), part.bytesPerLine() / 4)) {
        painter.drawImage(shown.topLeft(), part);
        return;
    }
    if (failureReported_ || !OnReadFailure) return;
    failureReported_ = true;
    // A message box must not open inside a paint event.
    QTimer::singleShot(0, this, [this] { OnReadFailure(); });
}
