// Number texts that files and messages fix: '.' as the decimal point and
// printf's "%lf" digits, the same in every locale. The QApplication sets the
// C library's locale from the environment, so the plain printf and scanf
// families would write and read "138,400000" in a decimal-comma locale;
// these run them in the C locale instead, on the calling thread only.
#pragma once

#include <string>

namespace platform {

// printf's `format` with `...`, as the C locale makes it.
std::string FormatNumbers(const char* format, ...) __attribute__((format(printf, 1, 2)));

// sscanf of `text` with `format`, as the C locale reads it; the same result.
int ScanNumbers(const char* text, const char* format, ...) __attribute__((format(scanf, 2, 3)));

// strtod as the C locale reads it.
double ParseNumber(const char* text, char** end);

}  // namespace platform
