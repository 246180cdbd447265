#ifndef ZELT_TOOL_UTF8_H
#define ZELT_TOOL_UTF8_H

// Decoding one UTF-8 sequence, as the output formats need it.

#include <cstdint>

namespace zelt_tool {

/// Length (2 to 4) of the well-formed UTF-8 sequence that starts at @p at,
/// with its code point in @p codePoint; 0 when the byte starts none (an ASCII
/// byte, a stray continuation byte, an overlong form, a surrogate, a value past
/// U+10FFFF, or a sequence cut short by @p end).
inline int decodeUtf8(const unsigned char* at, const unsigned char* end, char32_t& codePoint) {
    const unsigned char lead = at[0];
    // The second byte's range narrows after E0, ED, F0 and F4 (Unicode's table
    // of well-formed sequences): that rules out overlong forms and surrogates.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    int length = 0;
    char32_t value = 0;
    if (lead < 0xC2 || lead > 0xF4) {
        return 0;
    }
    if (lead < 0xE0) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead < 0xF0) {
        length = 3;
        value = lead & 0x0Fu;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else {
        length = 4;
        value = lead & 0x07u;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    }
    if (end - at < length || at[1] < low || at[1] > high) {
        return 0;
    }
    value = value << 6 | (at[1] & 0x3Fu);
    for (int i = 2; i < length; ++i) {
        if ((at[i] & 0xC0u) != 0x80u) {
            return 0;
        }
        value = value << 6 | (at[i] & 0x3Fu);
    }
    codePoint = value;
    return length;
}

} // namespace zelt_tool

#endif
