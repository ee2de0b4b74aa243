// The rules of the map-bounds dialog that need no window: which texts an
// edit may hold, how they convert, the range of each edit, and the texts the
// dialog shows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace strova {

// Edit indexes, as the edits' tags: left longitude, bottom latitude, right
// longitude, top latitude.
enum BoundsEdit { LeftLonEdit = 0, BottomLatEdit = 1, RightLonEdit = 2, TopLatEdit = 3 };

// True for an optional leading '-', digits, and optionally '.' and digits:
// "-", ".", "5.", ".5" and "-12.50" pass; "1-", "1.2.3", "+1", "1e5", " 1" fail.
bool IsBoundsText(std::string_view text);

// The number a bounds text stands for; nullopt when it holds no digit or
// does not convert as a whole ("", "-", ".", "-.").
std::optional<double> ParseBoundsValue(std::string_view text);

// Longitudes (edits 0 and 2) lie in [-180, 180], latitudes in [-90, 90].
bool IsInRange(int edit, double value);

// Where the caret goes when a rejected text is put back to the last valid
// one: the caret moves back by as many characters as the text grew.
int RestoredCaret(int caret, int rejectedLength, int validLength);

// "%6lu " of a bitmap dimension.
std::string PixelCountText(unsigned long pixels);

// The confirmation of four bounds, in the order left, bottom, right, top.
std::string BoundsConfirmation(double left, double bottom, double right, double top, bool japanese);

// The message for corners out of order.
std::string InvalidBoundsMessage(bool japanese);

// The conversion error of a text that is no number.
std::string NotAFloatMessage(std::string_view text);

}  // namespace strova
