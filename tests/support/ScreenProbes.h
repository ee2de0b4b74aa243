// What a user sees of a window, read from its pixels: whether a scroll
// bar's handle stands out against its track, and whether a text of a
// picture runs into its land.
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

// The land and coast of the pictures are neutral gray; their sea is blue,
// their station dots red and their texts white.
inline bool IsLand(QRgb p) {
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    return std::abs(r - g) <= 4 && std::abs(g - b) <= 4 && r > 100 && r < 215;
}

inline int LandPixels(const QImage& picture, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) count += IsLand(picture.pixel(x, y));
    return count;
}

// The white pixels of the texts of `picture` that have land less than
// `reach` pixels away: a text that runs into the land.
inline int TextPixelsNearLand(const QImage& picture, int reach = 3) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (qRed(p) < 230 || qGreen(p) < 230 || qBlue(p) < 230) continue;
            const QRect around = QRect(x - reach, y - reach, 2 * reach + 1, 2 * reach + 1) & picture.rect();
            count += LandPixels(picture, around) > 0;
        }
    return count;
}

}  // namespace testing_support
