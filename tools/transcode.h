#ifndef ZELT_TOOL_TRANSCODE_H
#define ZELT_TOOL_TRANSCODE_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "output.h"

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

/// A 256-entry table, 1 for the bytes for which @p keep holds and 0 for the
/// others (numbers, so that entries combine with `&` without branches).
template <typename Keep>
constexpr std::array<unsigned char, 256> byteTable(Keep keep) {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<size_t>(c)] = keep(c) ? 1 : 0;
    }
    return table;
}

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

/// How many bytes writeTranscoded takes at a time.
constexpr size_t transcodeChunk = 4096;

/// Writes @p text to @p out in an output format's escaped form. The format
/// says which ASCII bytes stand for themselves (plain), names the escapes of
/// others (named) and writes the rest of them (otherAscii), each well-formed
/// multi-byte UTF-8 character (character) and each byte that belongs to none
/// (invalid), none of them taking more than widest bytes per byte read.
template <typename Format>
void writeTranscoded(Output& out, std::string_view text) {
    // Small enough to leave the output buffer room, large enough to make
    // reserving cheap.
    constexpr size_t chunk = transcodeChunk;
    constexpr size_t longestSequence = 4;
    static_assert((chunk + longestSequence) * Format::widest <= Output::capacity);
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = at + text.size();
    while (at < end) {
        // A sequence that starts before stop may end past it.
        const auto* const stop = at + std::min(static_cast<size_t>(end - at), chunk);
        char* to = out.reserve((static_cast<size_t>(stop - at) + longestSequence) * Format::widest);
        while (at < stop) {
            // Runs of bytes that stand for themselves go eight at a time.
            if (stop - at >= 8 && (Format::plain[at[0]] & Format::plain[at[1]] & Format::plain[at[2]] &
                                   Format::plain[at[3]] & Format::plain[at[4]] & Format::plain[at[5]] &
                                   Format::plain[at[6]] & Format::plain[at[7]])) {
                std::memcpy(to, at, 8);
                to += 8;
                at += 8;
                continue;
            }
            const unsigned char c = *at;
            if (Format::plain[c]) {
                *to++ = static_cast<char>(c);
                ++at;
                continue;
            }
            if (c < 0x80) {
                to = escapeAscii<Format>(to, c);
                ++at;
                continue;
            }
            char32_t codePoint = 0;
            const int length = decodeUtf8(at, end, codePoint);
            if (length == 0) {
                to = Format::invalid(to, c);
                ++at;
            } else {
                to = Format::character(to, at, length, codePoint);
                at += length;
            }
        }
        out.commit(to);
    }
}

} // namespace zelt_tool

#endif
