#ifndef ZELT_TOOL_ESCAPE_WRITERS_H
#define ZELT_TOOL_ESCAPE_WRITERS_H

// The pieces escapes are written with: hex digits, fixed texts, copied bytes, named bytes.

#include <algorithm>
#include <cstring>
#include <string_view>

namespace zelt_tool {

/// Writes @p value's two lower-case hex digits at @p to.
inline char* putHex(char* to, unsigned value) {
    constexpr std::string_view digits = "0123456789abcdef";
    *to++ = digits[(value >> 4) & 0xFu];
    *to++ = digits[value & 0xFu];
    return to;
}

/// Copies @p text to @p to.
inline char* put(char* to, std::string_view text) { return std::copy(text.begin(), text.end(), to); }

/// Copies @p length bytes from @p at to @p to.
inline char* copy(char* to, const unsigned char* at, int length) {
    std::memcpy(to, at, static_cast<size_t>(length));
    return to + length;
}

/// An ASCII byte and the text that stands for it in an output format.
struct Named {
    char c;
    std::string_view text;
};

/// An ASCII byte that does not stand for itself in @p Format, escaped.
template <typename Format>
char* escapeAscii(char* to, unsigned char c) {
    for (const Named& name : Format::named) {
        if (static_cast<unsigned char>(name.c) == c) {
            return put(to, name.text);
        }
    }
    return Format::otherAscii(to, c);
}

} // namespace zelt_tool

#endif
