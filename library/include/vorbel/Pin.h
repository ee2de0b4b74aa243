// The map pin: a small windowless control whose round head sits on a
// station's map pixel (the anchor) and whose stick points toward the
// station's label button. TPinAttrib holds its look and computes where the
// label button goes relative to the anchor.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>

#include "Export.h"

// 0x00BBGGRR.
using TColor = std::uint32_t;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clBlack = 0x000000;

// Pin directions, named after the numeric keypad key at which the head lies
// when seen from the label; counter-clockwise from up in steps of 45 degrees.
enum TDir : std::int8_t {
    dt10Key8 = 0,  // label below, centred
    dt10Key7 = 1,  // label below-right
    dt10Key4 = 2,  // label right, centred
    dt10Key1 = 3,  // label above-right
    dt10Key2 = 4,  // label above, centred
    dt10Key3 = 5,  // label above-left
    dt10Key6 = 6,  // label left, centred
    dt10Key9 = 7,  // label below-left
};

class TPin;

class VORBEL_API TPinAttrib {
public:
    static constexpr int MinRadius = 6;
    static constexpr int MinLength = 24;
    static constexpr int MinBtnHeight = 25;
    static constexpr int MinBtnWidth = 50;

    TPinAttrib();
    // The owner is repainted after every change; it is not owned.
    explicit TPinAttrib(TPin* owner);
    virtual ~TPinAttrib();

    // Recomputes the label button's offsets from the anchor.
    void CalcXY();
    void SetColor(TColor color);
    // Stored unchecked; a value outside 0..7 leaves the offsets as they were.
    void SetDir(TDir direction);
    // Values below the minimum are raised to it.
    void SetRadius(int radius);
    void SetLength(int length);
    void SetBtnHt(int height);
    void SetBtnWh(int width);

    TColor Color() const { return color_; }
    TDir Pos() const { return direction_; }
    int Radius() const { return radius_; }
    int Length() const { return length_; }
    int BtnHeight() const { return btnHeight_; }
    int BtnWidth() const { return btnWidth_; }
    int BtnTop() const { return btnTop_; }
    int BtnLeft() const { return btnLeft_; }
    TPin* Owner() const { return owner_; }
    void SetOwner(TPin* owner) { owner_ = owner; }

private:
    void Changed();

    TColor color_ = clYellow;
    TDir direction_ = dt10Key4;
    int radius_ = MinRadius;
    int length_ = MinLength;
    int btnHeight_ = MinBtnHeight;
    int btnWidth_ = MinBtnWidth;
    int btnTop_ = 0;
    int btnLeft_ = 0;
    TPin* owner_ = nullptr;
};

class VORBEL_API TPin : public QWidget {
public:
    // A pin that painting never moves; only its size follows its direction.
    explicit TPin(QWidget* owner);
    // A pin whose head centre stays on the anchor point (x, y) of its parent.
    TPin(QWidget* owner, int x, int y);
    ~TPin() override;

    // Copies the attributes' offsets and colour into the pin, brings its size
    // (and, when anchored, its position) in line with its direction and
    // schedules a repaint.
    virtual void Invalidate();
    // Draws stick, shadow and head on `canvas` in the pin's own coordinates;
    // nothing for a direction outside 0..7.
    virtual void Paint(QPainter& canvas);
    // Takes ownership of `attributes` in place of the current ones, which
    // are not freed: they go back to whoever holds them, without an owner to
    // repaint. A null pointer changes nothing.
    virtual void SetAttrib(TPinAttrib* attributes);

    void SetColor(TColor color);
    // Both ignore the value and re-read the attributes' offset.
    void SetBtnTop(int);
    void SetBtnLeft(int);

    TPinAttrib* PinStyle() const { return attributes_; }
    int ButtonTop() const { return buttonTop_; }
    int ButtonLeft() const { return buttonLeft_; }
    TColor PinColor() const { return pinColor_; }
    int AnchorX() const { return anchorX_; }
    int AnchorY() const { return anchorY_; }

    // Called with the pin when it is clicked.
    std::function<void(QObject* sender)> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void CopyAttributes();
    void FitToDirection();

    int buttonTop_ = 0;
    int buttonLeft_ = 0;
    int anchorX_ = 0;
    int anchorY_ = 0;
    TColor pinColor_ = clYellow;
    TPinAttrib* attributes_ = nullptr;
    bool anchored_ = false;
};
