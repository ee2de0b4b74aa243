#include "Numbers.h"

#include <locale.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

// Made once, kept for the life of the process.
locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    return c;
}

// Puts this thread into the C locale while it lives.
class InCLocale {
public:
    InCLocale() : previous_(uselocale(CLocale())) {}
    ~InCLocale() { uselocale(previous_); }
    InCLocale(const InCLocale&) = delete;
    InCLocale& operator=(const InCLocale&) = delete;

private:
    locale_t previous_;
};

}  // namespace

std::string FormatNumbers(const char* format, ...) {
    InCLocale c;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

int ScanNumbers(const char* text, const char* format, ...) {
    InCLocale c;
    va_list args;
    va_start(args, format);
    const int read = std::vsscanf(text, format, args);
    va_end(args);
    return read;
}

double ParseNumber(const char* text, char** end) { return strtod_l(text, end, CLocale()); }

}  // namespace platform
