// What a user sees of a window, read from its pixels: whether a scroll
// bar's handle stands out against its track.
#pragma once

#include <QImage>
#include <QRect>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <cstdlib>

namespace testing_support {

inline int MeanGray(const QImage& image, const QRect& area) {
    long sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) sum += qGray(image.pixel(x, y));
    return area.isEmpty() ? 0 : static_cast<int>(sum / (static_cast<long>(area.width()) * area.height()));
}

// The difference of the mean gray levels (0 to 255) of the handle of `bar`
// and of the track after it, as the bar draws them; the bar must have room
// after its handle.
inline int HandleContrast(QScrollBar* bar) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    if (bar->orientation() == Qt::Horizontal) option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    const QImage shot = bar->grab().toImage();
    auto inside = [&](QStyle::SubControl part) {
        return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).adjusted(2, 2, -2, -2);
    };
    return std::abs(MeanGray(shot, inside(QStyle::SC_ScrollBarSlider)) - MeanGray(shot, inside(QStyle::SC_ScrollBarAddPage)));
}

// A handle a user makes out at a glance: the usual look differs by some 20.
constexpr int ReadableHandleContrast = 60;

}  // namespace testing_support
