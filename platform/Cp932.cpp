#include "Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace platform {

namespace {

std::string Convert(std::string_view in, const char* from, const char* to, std::string_view bad) {
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
            out.append(bad);  // invalid or cut sequence: skip one byte
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) { return Convert(cp932, "CP932", "UTF-8", "\xEF\xBF\xBD"); }

std::string Utf8ToCp932(std::string_view utf8) { return Convert(utf8, "UTF-8", "CP932", "?"); }

}  // namespace platform
