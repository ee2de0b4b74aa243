// The map pin and its attributes.
#include "vorbel/Pin.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <optional>

namespace {

// Where the pin's parts lie in its own box for one direction.
struct PinGeometry {
    int width, height;
    QPoint head, stickEnd, shadowFrom, shadowTo;
};

std::optional<PinGeometry> GeometryOf(TDir direction, int R, int L) {
    switch (direction) {
        case dt10Key8: return PinGeometry{2 * R, L, {R, R}, {R, L}, {R + 1, R}, {R + 1, L}};
        case dt10Key7: return PinGeometry{L, L, {R, R}, {L, L}, {R, R + 1}, {L - 1, L}};
        case dt10Key4: return PinGeometry{L, 2 * R, {R, R}, {L, R}, {R, R + 1}, {L, R + 1}};
        case dt10Key1: return PinGeometry{L, L, {R, L - R}, {L, 0}, {R, L - R + 1}, {L, 1}};
        case dt10Key2: return PinGeometry{2 * R, L, {R, L - R}, {R, 0}, {R + 1, L - R}, {R + 1, 0}};
        case dt10Key3: return PinGeometry{L, L, {L - R, L - R}, {0, 0}, {L - R, L - R + 1}, {0, 1}};
        case dt10Key6: return PinGeometry{L, 2 * R, {L - R, R}, {0, R}, {L - R, R + 1}, {0, R + 1}};
        case dt10Key9: return PinGeometry{L, L, {L - R, R}, {0, L}, {L - R, R + 1}, {1, L}};
    }
    return std::nullopt;
}

QColor ColorOf(TColor color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

// A move-to/line-to line: every pixel from `from` up to, not including, `to`.
// The pin's lines all run straight or at 45 degrees.
void LineTo(QPainter& canvas, QPoint from, QPoint to, TColor color) {
    canvas.setPen(ColorOf(color));
    QPoint step((to.x() > from.x()) - (to.x() < from.x()), (to.y() > from.y()) - (to.y() < from.y()));
    for (QPoint p = from; p != to; p += step) canvas.drawPoint(p);
}

}  // namespace

// --- TPinAttrib -------------------------------------------------------------

TPinAttrib::TPinAttrib() { CalcXY(); }

TPinAttrib::TPinAttrib(TPin* owner) : TPinAttrib() { owner_ = owner; }

TPinAttrib::~TPinAttrib() = default;

void TPinAttrib::CalcXY() {
    const int R = radius_, L = length_, H = btnHeight_, W = btnWidth_;
    const int below = L - R + 1, above = R - L - H + 1;
    const int right = L - R + 1, left = R - L - W + 1;
    const int centredTop = 1 - H / 2, centredLeft = 1 - W / 2;
    switch (direction_) {
        case dt10Key8: btnTop_ = below, btnLeft_ = centredLeft; break;
        case dt10Key7: btnTop_ = below, btnLeft_ = right; break;
        case dt10Key4: btnTop_ = centredTop, btnLeft_ = right; break;
        case dt10Key1: btnTop_ = above, btnLeft_ = right; break;
        case dt10Key2: btnTop_ = above, btnLeft_ = centredLeft; break;
        case dt10Key3: btnTop_ = above, btnLeft_ = left; break;
        case dt10Key6: btnTop_ = centredTop, btnLeft_ = left; break;
        case dt10Key9: btnTop_ = below, btnLeft_ = left; break;
    }
}

void TPinAttrib::Changed() {
    if (owner_) owner_->Invalidate();
}

void TPinAttrib::SetColor(TColor color) {
    color_ = color;
    Changed();
}

void TPinAttrib::SetDir(TDir direction) {
    direction_ = direction;
    CalcXY();
    Changed();
}

void TPinAttrib::SetRadius(int radius) {
    radius_ = std::max(radius, MinRadius);
    CalcXY();
    Changed();
}

void TPinAttrib::SetLength(int length) {
    length_ = std::max(length, MinLength);
    CalcXY();
    Changed();
}

void TPinAttrib::SetBtnHt(int height) {
    btnHeight_ = std::max(height, MinBtnHeight);
    CalcXY();
    Changed();
}

void TPinAttrib::SetBtnWh(int width) {
    btnWidth_ = std::max(width, MinBtnWidth);
    CalcXY();
    Changed();
}

// --- TPin -------------------------------------------------------------------

TPin::TPin(QWidget* owner) : QWidget(owner), attributes_(new TPinAttrib(this)) {
    resize(attributes_->Length(), 2 * attributes_->Radius());
    CopyAttributes();
}

TPin::TPin(QWidget* owner, int x, int y) : QWidget(owner), anchorX_(x), anchorY_(y) {
    attributes_ = new TPinAttrib(this);
    const int R = attributes_->Radius();
    setGeometry(x - R, y - R, attributes_->Length(), 2 * R);
    CopyAttributes();
    anchored_ = true;
}

TPin::~TPin() { delete attributes_; }

void TPin::CopyAttributes() {
    buttonTop_ = attributes_->BtnTop();
    buttonLeft_ = attributes_->BtnLeft();
    pinColor_ = attributes_->Color();
}

void TPin::FitToDirection() {
    auto shape = GeometryOf(attributes_->Pos(), attributes_->Radius(), attributes_->Length());
    if (!shape) return;
    if (anchored_)
        setGeometry(anchorX_ - shape->head.x(), anchorY_ - shape->head.y(), shape->width, shape->height);
    else
        resize(shape->width, shape->height);
}

void TPin::Invalidate() {
    CopyAttributes();
    FitToDirection();
    update();
}

void TPin::SetColor(TColor color) {
    attributes_->SetColor(color);
    pinColor_ = color;
}

void TPin::SetAttrib(TPinAttrib* attributes) {
    // Size, offsets and painting all read the attributes: a pin keeps its own
    // rather than take none.
    if (!attributes || attributes == attributes_) return;
    // The replaced attributes stay the caller's (two pins may swap theirs);
    // they no longer repaint this pin, which may go before them.
    if (attributes_->Owner() == this) attributes_->SetOwner(nullptr);
    attributes_ = attributes;
    attributes_->SetOwner(this);
}

void TPin::SetBtnTop(int) { buttonTop_ = attributes_->BtnTop(); }
void TPin::SetBtnLeft(int) { buttonLeft_ = attributes_->BtnLeft(); }

void TPin::Paint(QPainter& canvas) {
    const int R = attributes_->Radius();
    auto shape = GeometryOf(attributes_->Pos(), R, attributes_->Length());
    if (!shape) return;
    canvas.setRenderHint(QPainter::Antialiasing, false);
    LineTo(canvas, shape->head, shape->stickEnd, clWhite);
    LineTo(canvas, shape->shadowFrom, shape->shadowTo, clGray);
    canvas.setPen(ColorOf(clBlack));
    canvas.setBrush(ColorOf(attributes_->Color()));
    // The head fills the pixels cx - R .. cx + R - 1, outline included.
    canvas.drawEllipse(QRect(shape->head.x() - R, shape->head.y() - R, 2 * R - 1, 2 * R - 1));
}

void TPin::paintEvent(QPaintEvent*) {
    // Attributes handed over by SetAttrib reach the pin's box here.
    FitToDirection();
    QPainter canvas(this);
    Paint(canvas);
}

void TPin::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) OnClick(this);
}
