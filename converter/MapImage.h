// The map picture of the station window: a widget of the bitmap's size that
// paints only the part of it that is visible, straight from the file, so that
// maps of any size the station files can number are shown pixel for pixel.
#pragma once

#include <QWidget>

class QPainter;

#include <functional>
#include <string>

#include "core/MapPicture.h"

class TMapImage : public QWidget {
    Q_OBJECT
public:
    explicit TMapImage(QWidget* parent = nullptr);

    // Opens the bitmap; on failure the widget stays empty and the reason is
    // kept in Picture().
    bool Open(const std::string& bmpPath);
    const strova::MapPicture& Picture() const { return picture_; }
    // Called once, outside painting, when rows of an opened bitmap can no
    // longer be read (the file was cut or removed meanwhile).
    std::function<void()> OnReadFailure;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintPart(QPainter& painter, const QRect& exposed);

    strova::MapPicture picture_;
    bool failureReported_ = false;
};
