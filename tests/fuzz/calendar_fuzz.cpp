// The calendar's text functions on arbitrary bytes: nothing is read or written
// outside the text's own buffer, and separators are the only change.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/forms/Application.h"
#include "vorbel/Calendar.h"

namespace {

int Int(const std::uint8_t* data, std::size_t size, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << 8 | (at + i < size ? data[at + i] : 0);
    return static_cast<int>(value);
}

// The text as a NUL-terminated buffer of exactly its size.
void ParseTerminated(const std::uint8_t* data, std::size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    std::vector<char> before = text;
    TIntDate date;
    StrDateToIntDate(text.data(), &date);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != before[i] && !((i == 4 || i == 7) && text[i] == '/')) __builtin_trap();
    StrDateToTday(text.data());
    StrDateToJday(text.data());
}

// Ten characters with no NUL after them, in a buffer of exactly ten.
void ParseUnterminated(const std::uint8_t* data, std::size_t size) {
    if (size < StrDateLength) return;
    std::vector<char> text(data, data + StrDateLength);
    TIntDate date;
    StrDateToIntDate(text.data(), &date);
    StrDateToTday(text.data());
    StrDateToJday(text.data());
}

void Format(const std::uint8_t* data, std::size_t size) {
    TIntDate date{Int(data, size, 0), Int(data, size, 4), Int(data, size, 8)};
    std::vector<char> text(sizeof(TStrDate));
    IntDateToStrDate(&date, text.data());
    TdayToStrDate(Int(data, size, 12), date.year, text.data());
}

void Construct(const std::uint8_t* data, std::size_t size) {
    TStrDate text = {};
    std::memcpy(text, data, size < StrDateLength ? size : StrDateLength);
    TAdate date(text);
    if (date.pStrDate != date.StrDate || std::strlen(date.StrDate) > StrDateLength) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool hooked = (platform::SetMessageBoxHook([](const platform::MessageBoxCall&) { return platform::IDOK; }),
                          true);
    (void)hooked;
    ParseTerminated(data, size);
    ParseUnterminated(data, size);
    Format(data, size);
    Construct(data, size);
    return 0;
}
