#include "Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace platform {

namespace {

// `unit`: the bytes of the source encoding's smallest character, skipped
// past one that can't be converted.
std::string Convert(std::string_view in, const char* from, const char* to, std::string_view bad,
                    std::size_t unit = 1) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no code page 932");
    std::string out;
    char buffer[256];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            out.append(bad);  // invalid or cut sequence: skip one unit
            const std::size_t skip = std::min(unit, srcLeft);
            src += skip;
            srcLeft -= skip;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) { return Convert(cp932, "CP932", "UTF-8", "\xEF\xBF\xBD"); }

std::string Utf8ToCp932(std::string_view utf8) { return Convert(utf8, "UTF-8", "CP932", "?"); }

std::string Utf16LeToCp932(std::string_view utf16le) { return Convert(utf16le, "UTF-16LE", "CP932", "?", 2); }

}  // namespace platform
