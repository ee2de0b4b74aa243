// What every window of the converter shares: its application object, the
// captions of its boxes and windows, its error box, its teal and Japanese
// font, rows of labelled values, and its pictures (speed-button glyphs).
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

#include "platform/forms/Application.h"

#include <initializer_list>
#include <utility>

class QGridLayout;
class QToolButton;
class QWidget;

namespace strova {

inline const QString CaptionPrefix = QStringLiteral("Strova - ");
inline const QString ErrorCaption = CaptionPrefix + QStringLiteral("Error");
inline const QString WarningCaption = CaptionPrefix + QStringLiteral("Warning");
// The colour of running steps, counters and station marks.
inline const QColor Teal(0, 128, 128);

// The converter's application object (the first of the process).
platform::Application& App();
// An error box of the converter: `text` under ErrorCaption, with the error icon.
void ShowErrorBox(const QString& text);

// Registers the converter's compiled-in pictures (once is enough, more is harmless).
void InitResources();
// A speed-button glyph pair: the normal look and the disabled look.
QIcon Glyph(const QString& name);
// The font of the Japanese texts of the converter's windows.
QFont JapaneseFont();
// Lays out rows of a label and its value on `parent`, labels left.
QGridLayout* LabelledRows(QWidget* parent, std::initializer_list<std::pair<QWidget*, QWidget*>> rows);
// A flat 33 x 33 speed button with the glyph pair `glyph`.
QToolButton* SpeedButton(QWidget* parent, const QString& glyph, int left, int top);

}  // namespace strova
