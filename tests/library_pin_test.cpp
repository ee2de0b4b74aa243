// Pin attributes (offsets, minimums) and the pin's size, place and drawing.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <memory>
#include <vector>

#include "platform/forms/Application.h"
#include "vorbel/Pin.h"

namespace {

class PinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform::EnsureQApplication(); }
};

struct Offsets {
    int top, left;
};

TEST_F(PinTest, NewAttributesHaveTheDefaults) {
    TPinAttrib a;
    EXPECT_EQ(a.Color(), 0xFFFFu);
    EXPECT_EQ(a.Pos(), dt10Key4);
    EXPECT_EQ(a.Radius(), 6);
    EXPECT_EQ(a.Length(), 24);
    EXPECT_EQ(a.BtnHeight(), 25);
    EXPECT_EQ(a.BtnWidth(), 50);
    EXPECT_EQ(a.BtnTop(), -11);
    EXPECT_EQ(a.BtnLeft(), 19);
    EXPECT_EQ(a.Owner(), nullptr);
}

TEST_F(PinTest, OffsetsForEveryDirectionWithDefaults) {
    const Offsets expected[8] = {{19, -24}, {19, 19}, {-11, 19}, {-42, 19},
                                 {-42, -24}, {-42, -67}, {-11, -67}, {19, -67}};
    TPinAttrib a;
    for (int d = 0; d < 8; ++d) {
        a.SetDir(static_cast<TDir>(d));
        EXPECT_EQ(a.BtnTop(), expected[d].top) << d;
        EXPECT_EQ(a.BtnLeft(), expected[d].left) << d;
    }
    a.SetDir(static_cast<TDir>(-1));
    EXPECT_EQ(a.BtnTop(), 19);  // left as direction 7 gave them
    a.SetDir(static_cast<TDir>(8));
    EXPECT_EQ(a.BtnLeft(), -67);
}

TEST_F(PinTest, SettersRaiseValuesToTheirMinimums) {
    TPinAttrib a;
    a.SetRadius(3);
    a.SetLength(10);
    a.SetBtnHt(0);
    a.SetBtnWh(49);
    EXPECT_EQ(a.Radius(), 6);
    EXPECT_EQ(a.Length(), 24);
    EXPECT_EQ(a.BtnHeight(), 25);
    EXPECT_EQ(a.BtnWidth(), 50);
    a.SetBtnWh(51);
    a.SetDir(dt10Key8);
    EXPECT_EQ(a.BtnLeft(), -24);
    a.SetDir(dt10Key2);
    EXPECT_EQ(a.BtnLeft(), -24);
    a.SetDir(dt10Key4);
    a.SetBtnHt(27);
    EXPECT_EQ(a.BtnTop(), -12);
    a.SetLength(48);
    a.SetRadius(10);
    EXPECT_EQ(a.BtnLeft(), 48 - 10 + 1);
}

TEST_F(PinTest, AnchoredPinFollowsItsDirection) {
    QWidget parent;
    TPin pin(&parent, 100, 50);
    EXPECT_EQ(pin.geometry(), QRect(94, 44, 24, 12));
    EXPECT_EQ(pin.ButtonLeft(), 19);
    EXPECT_EQ(pin.ButtonTop(), -11);
    pin.PinStyle()->SetDir(dt10Key3);
    EXPECT_EQ(pin.geometry(), QRect(82, 32, 24, 24));
    EXPECT_EQ(100 + pin.ButtonLeft(), 33);
    EXPECT_EQ(50 + pin.ButtonTop(), 8);
    pin.PinStyle()->SetDir(dt10Key8);
    pin.PinStyle()->SetBtnWh(80);
    EXPECT_EQ(pin.ButtonLeft(), -39);
    pin.SetBtnLeft(1234);
    pin.SetBtnTop(-1234);
    EXPECT_EQ(pin.ButtonLeft(), -39);
    EXPECT_EQ(pin.ButtonTop(), 19);
    EXPECT_EQ(pin.PinStyle()->BtnLeft(), -39);
}

// Attributes handed over with SetAttrib repaint nothing; the pin takes its
// size and place from them when it is next painted.
TEST_F(PinTest, HandedOverAttributesShapeThePinAtItsNextPaint) {
    QWidget parent;
    std::vector<std::unique_ptr<TPinAttrib>> made;
    parent.resize(200, 200);
    TPin anchored(&parent, 100, 50);
    TPin free(&parent);
    free.move(5, 7);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    for (TPin* pin : {&anchored, &free}) {
        auto* attributes = new TPinAttrib;
        attributes->SetDir(dt10Key8);
        attributes->SetLength(30);
        made.emplace_back(pin->PinStyle());  // the caller's once replaced
        pin->SetAttrib(attributes);
        pin->repaint();
    }
    EXPECT_EQ(anchored.geometry(), QRect(94, 44, 12, 30));
    EXPECT_EQ(free.geometry(), QRect(5, 7, 12, 30));
}

TEST_F(PinTest, UnanchoredPinOnlyResizes) {
    QWidget parent;
    TPin pin(&parent);
    pin.move(5, 7);
    pin.PinStyle()->SetDir(dt10Key2);
    EXPECT_EQ(pin.geometry(), QRect(5, 7, 12, 24));
    pin.PinStyle()->SetDir(static_cast<TDir>(9));
    EXPECT_EQ(pin.geometry(), QRect(5, 7, 12, 24));
}

TEST_F(PinTest, ColourGoesToAttributesAndPin) {
    QWidget parent;
    TPin pin(&parent, 30, 30);
    pin.SetColor(0x0000FF);
    EXPECT_EQ(pin.PinColor(), 0x0000FFu);
    EXPECT_EQ(pin.PinStyle()->Color(), 0x0000FFu);
    pin.PinStyle()->SetColor(0x00FF00);
    EXPECT_EQ(pin.PinColor(), 0x00FF00u);
}

// Attributes that count their own destruction.
struct CountedAttributes : TPinAttrib {
    explicit CountedAttributes(int& freed) : freed(freed) {}
    ~CountedAttributes() override { ++freed; }
    int& freed;
};

// A pin owns the attributes it holds at its end, and only those: the ones
// SetAttrib replaces stay their holder's, so that two pins may swap theirs.
TEST_F(PinTest, APinFreesOnlyTheAttributesItHoldsAtItsEnd) {
    QWidget parent;
    int freed = 0;
    std::unique_ptr<TPinAttrib> made;
    {
        TPin pin(&parent, 40, 40);
        made.reset(pin.PinStyle());
        auto* attributes = new CountedAttributes(freed);
        pin.SetAttrib(attributes);
        EXPECT_EQ(pin.PinStyle(), attributes);
        EXPECT_EQ(made->Owner(), nullptr) << "replaced attributes repaint the pin no more";
        attributes->SetDir(dt10Key8);  // repaints this pin now
        EXPECT_EQ(pin.ButtonTop(), 19);
        EXPECT_EQ(pin.geometry(), QRect(34, 34, 12, 24));
        pin.SetAttrib(attributes);
        pin.SetAttrib(nullptr);
        EXPECT_EQ(pin.PinStyle(), attributes);
        EXPECT_EQ(freed, 0);
    }
    EXPECT_EQ(freed, 1);

    // Two pins swap their attributes; each frees the other's, once.
    freed = 0;
    auto* a = new TPin(&parent, 10, 10);
    auto* b = new TPin(&parent, 90, 90);
    TPinAttrib* first = a->PinStyle();
    TPinAttrib* second = b->PinStyle();
    a->SetAttrib(second);
    b->SetAttrib(first);
    EXPECT_EQ(first->Owner(), b);
    EXPECT_EQ(second->Owner(), a);
    first->SetDir(dt10Key2);  // repaints b, which now holds it
    EXPECT_EQ(b->ButtonTop(), -42);
    EXPECT_EQ(a->ButtonTop(), -11);
    auto* counted = new CountedAttributes(freed);
    a->SetAttrib(counted);
    b->SetAttrib(second);
    delete b;  // frees second
    made.reset(first);
    delete a;  // frees counted
    EXPECT_EQ(freed, 1);
}

// The pin drawn over a blue map, in its own coordinates.
QImage Render(TPin& pin) {
    QImage image(pin.size(), QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    pin.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

struct Drawing {
    QPoint head, stickEnd, shadowFrom, shadowTo;
};

TEST_F(PinTest, PaintsStickShadowAndHeadForEveryDirection) {
    const int R = 6, L = 24;
    const Drawing table[8] = {
        {{R, R}, {R, L}, {R + 1, R}, {R + 1, L}},
        {{R, R}, {L, L}, {R, R + 1}, {L - 1, L}},
        {{R, R}, {L, R}, {R, R + 1}, {L, R + 1}},
        {{R, L - R}, {L, 0}, {R, L - R + 1}, {L, 1}},
        {{R, L - R}, {R, 0}, {R + 1, L - R}, {R + 1, 0}},
        {{L - R, L - R}, {0, 0}, {L - R, L - R + 1}, {0, 1}},
        {{L - R, R}, {0, R}, {L - R, R + 1}, {0, R + 1}},
        {{L - R, R}, {0, L}, {L - R, R + 1}, {1, L}},
    };
    const QRgb white = qRgb(255, 255, 255), gray = qRgb(128, 128, 128), black = qRgb(0, 0, 0),
               map = qRgb(0, 0, 255), red = qRgb(255, 0, 0);
    QWidget parent;
    for (int d = 0; d < 8; ++d) {
        SCOPED_TRACE(d);
        TPin pin(&parent, 60, 60);
        pin.SetColor(0x0000FF);  // red head
        pin.PinStyle()->SetDir(static_cast<TDir>(d));
        const Drawing& t = table[d];
        EXPECT_EQ(pin.geometry().topLeft() + t.head, QPoint(60, 60));
        QImage image = Render(pin);
        QPoint step((t.stickEnd.x() > t.head.x()) - (t.stickEnd.x() < t.head.x()),
                    (t.stickEnd.y() > t.head.y()) - (t.stickEnd.y() < t.head.y()));
        // Head: filled, with a black rim at its left and top.
        EXPECT_EQ(image.pixel(t.head), red);
        EXPECT_EQ(image.pixel(t.head - QPoint(R, 0)), black);
        EXPECT_EQ(image.pixel(t.head - QPoint(0, R)), black);
        // Stick: white outside the head up to, not including, its end.
        for (int k = R + 1; t.head + k * step != t.stickEnd; ++k) EXPECT_EQ(image.pixel(t.head + k * step), white) << k;
        if (image.rect().contains(t.stickEnd)) { EXPECT_NE(image.pixel(t.stickEnd), white); }
        // Shadow: gray beside the stick, its end left out.
        QPoint mid = t.shadowFrom + (R + 2) * step;
        EXPECT_EQ(image.pixel(mid), gray);
        QPoint last = t.shadowTo - step;
        EXPECT_EQ(image.pixel(last), gray);
        if (image.rect().contains(t.shadowTo)) { EXPECT_NE(image.pixel(t.shadowTo), gray); }
        // The map shows through away from the drawing.
        QPoint corner(t.head.x() < L / 2 ? image.width() - 1 : 0, t.head.y() < L / 2 ? 0 : image.height() - 1);
        if (d % 2 == 1) { EXPECT_EQ(image.pixel(corner), map); }
    }
}

TEST_F(PinTest, HeadSpansTwiceTheRadius) {
    QWidget parent;
    TPin pin(&parent, 60, 60);
    pin.PinStyle()->SetDir(dt10Key9);  // head at (18, 6) of a 24 x 24 box
    QImage image = Render(pin);
    EXPECT_EQ(image.pixel(18, 11), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(18, 12), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(23, 6), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(12, 6), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(18, 0), qRgb(0, 0, 0));
}

TEST_F(PinTest, DirectionOutsideTheRangeDrawsNothing) {
    QWidget parent;
    TPin pin(&parent, 60, 60);
    pin.PinStyle()->SetDir(static_cast<TDir>(-3));
    QImage image = Render(pin);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ASSERT_EQ(image.pixel(x, y), qRgb(0, 0, 255));
}

}  // namespace
