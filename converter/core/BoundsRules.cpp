#include "BoundsRules.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "platform/Numbers.h"

namespace strova {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool IsBoundsText(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && text[i] == '-') ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i;
    }
    return i == text.size();
}

std::optional<double> ParseBoundsValue(std::string_view text) {
    bool hasDigit = false;
    for (char c : text) hasDigit = hasDigit || IsDigit(c);
    if (!hasDigit || !IsBoundsText(text)) return std::nullopt;
    std::string copy(text);
    errno = 0;
    char* end = nullptr;
    double value = platform::ParseNumber(copy.c_str(), &end);
    // Too large a number does not convert; one too small to hold is zero.
    if (end != copy.c_str() + copy.size() || (errno == ERANGE && std::isinf(value))) return std::nullopt;
    return value;
}

bool IsInRange(int edit, double value) {
    double limit = (edit == LeftLonEdit || edit == RightLonEdit) ? 180.0 : 90.0;
    return value >= -limit && value <= limit;
}

int RestoredCaret(int caret, int rejectedLength, int validLength) { return caret - (rejectedLength - validLength); }

std::string PixelCountText(unsigned long pixels) {
    char text[32];
    std::snprintf(text, sizeof text, "%6lu ", pixels);
    return text;
}

std::string BoundsConfirmation(double left, double bottom, double right, double top, bool japanese) {
    const char* format = japanese ? "左下：(%lf, %lf)\r右上：(%lf, %lf)\r"
                                  : "Left Bottom : (%lf, %lf)\r  Right Top : (%lf, %lf)\r";
    return platform::FormatNumbers(format, left, bottom, right, top) +
           (japanese ? "この設定でよろしいですか？" : "Is this setting Ok?");
}

std::string BoundsLogLine(double left, double bottom, double right, double top) {
    return platform::FormatNumbers("Longitude(X) and Latitude(Y): (%lf,%lf)-(%lf,%lf)", left, bottom, right, top);
}

std::string InvalidBoundsMessage(bool japanese) {
    return japanese ? "入力ﾃﾞｰﾀが不正です．\r入力し直してください..." : "Input data set is invalid.\rInput again carefully...";
}

std::string NotAFloatMessage(std::string_view text) {
    return "'" + std::string(text) + "' は浮動小数点数ではありません";
}

}  // namespace strova
