#ifndef ZELT_TOOL_TRANSCODE_H
#define ZELT_TOOL_TRANSCODE_H

// Writing a value in an output format's escaped form: short texts copied at once,
// longer ones in runs of bytes that stand for themselves and escapes between.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "escape_writers.h"
#include "output.h"
#include "plain_bytes.h"
#include "utf8.h"

namespace zelt_tool {

/// Room for @p length bytes and, unless @p quote is NUL, a quote on either
/// side, which it writes: where the bytes go. Commit with quotedEnd.
template <char quote>
char* quotedRoom(Output& out, size_t length) {
    constexpr size_t quotes = quote != '\0' ? 1 : 0;
    char* const to = out.reserve(length + 2 * quotes) + quotes;
    if constexpr (quotes != 0) {
        to[-1] = quote;
        to[length] = quote;
    }
    return to;
}

/// Where what quotedRoom made room for ends, the closing quote included.
template <char quote>
char* quotedEnd(char* to, size_t length) {
    return to + length + (quote != '\0' ? 1 : 0);
}

#if defined(__SSE2__)
/// copiedAtOnce for @p length bytes at @p at, from sizeof(Half) to twice as
/// many: a Half at the start and one at the end, which overlap.
template <typename Half, typename Format, char quote>
bool copiedInHalves(Output& out, const char* at, size_t length) {
    Half first;
    Half last;
    std::memcpy(&first, at, sizeof first);
    std::memcpy(&last, at + length - sizeof last, sizeof last);
    const __m128i both = _mm_set_epi64x(static_cast<long long>(last), static_cast<long long>(first));
    constexpr unsigned halfLanes = (1U << sizeof(Half)) - 1;
    constexpr unsigned lanes = halfLanes | halfLanes << 8;
    if ((plainMask<Format>(both) & lanes) != lanes) {
        return false;
    }
    char* const to = quotedRoom<quote>(out, length);
    std::memcpy(to + length - sizeof last, &last, sizeof last);
    std::memcpy(to, &first, sizeof first);
    out.commit(quotedEnd<quote>(to, length));
    return true;
}
#endif

/// Copies @p text, when it is at most 32 bytes long and every byte of it
/// stands for itself in @p Format, with a few loads and stores that
/// overlap rather than byte by byte, between quotes unless @p quote is NUL;
/// false, writing nothing, otherwise.
template <typename Format, char quote>
bool copiedAtOnce(Output& out, std::string_view text) {
    const size_t length = text.size();
    const char* const at = text.data();
    if (length < 4) {
        // Its first, middle and last byte are all of it.
        constexpr auto& plain = plainBytes<Format>;
        const size_t middle = length / 2;
        const auto byte = [at](size_t i) { return static_cast<unsigned char>(at[i]); };
        if (length > 0 && (plain[byte(0)] & plain[byte(middle)] & plain[byte(length - 1)]) == 0) {
            return false;
        }
        char* const to = quotedRoom<quote>(out, length);
        if (length > 0) {
            to[0] = at[0];
            to[middle] = at[middle];
            to[length - 1] = at[length - 1];
        }
        out.commit(quotedEnd<quote>(to, length));
        return true;
    }
#if defined(__SSE2__)
    if (length < 16) {
        // Two loads of eight (or four) bytes, the second one ending where the text does.
        return length >= 8 ? copiedInHalves<std::uint64_t, Format, quote>(out, at, length)
                           : copiedInHalves<std::uint32_t, Format, quote>(out, at, length);
    }
    if (length <= 32) {
        // The same with sixteen bytes at either end.
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + length - 16));
        if ((plainMask<Format>(first) & plainMask<Format>(last)) != 0xFFFFU) {
            return false;
        }
        char* const to = quotedRoom<quote>(out, length);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + length - 16), last);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), first);
        out.commit(quotedEnd<quote>(to, length));
        return true;
    }
#endif
    return false;
}

/// How many bytes writeTranscoded takes at a time.
constexpr size_t transcodeChunk = 4096;

/// writeTranscoded for every text. Out of line, so that the short texts
/// copied at once need few registers saved.
template <typename Format>
[[gnu::noinline]] void writeEscaped(Output& out, std::string_view text) {
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
#if defined(__SSE2__)
            // Runs of bytes that stand for themselves go sixteen at a time:
            // all sixteen are stored, and as many as stand for themselves
            // kept; the byte that ends a run is escaped below.
            constexpr long width = 16;
            if (stop - at >= width) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to), bytes);
                const unsigned standing = plainMask<Format>(bytes);
                if (standing == 0xFFFFU) {
                    at += width;
                    to += width;
                    continue;
                }
                const int run = __builtin_ctz(~standing);
                at += run;
                to += run;
            }
#endif
            // Shorter ones eight at a time.
            constexpr auto& plain = plainBytes<Format>;
            if (stop - at >= 8 && (plain[at[0]] & plain[at[1]] & plain[at[2]] & plain[at[3]] & plain[at[4]] &
                                   plain[at[5]] & plain[at[6]] & plain[at[7]])) {
                std::memcpy(to, at, 8);
                to += 8;
                at += 8;
                continue;
            }
            const unsigned char c = *at;
            if (plain[c]) {
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

/// Writes @p text to @p out in an output format's escaped form. The format
/// says which bytes stand for themselves (notPlain, alsoPlain: see
/// standsForItself), names the escapes of the other ASCII bytes (named) and
/// writes the rest of them (otherAscii), each well-formed multi-byte UTF-8
/// character (character) and each byte that belongs to none (invalid), none
/// of them taking more than widest bytes per byte read. Unless @p quote is
/// NUL, the text stands between two of it.
template <typename Format, char quote = '\0'>
void writeTranscoded(Output& out, std::string_view text) {
    if (!copiedAtOnce<Format, quote>(out, text)) {
        if constexpr (quote != '\0') {
            out.put(quote);
        }
        writeEscaped<Format>(out, text);
        if constexpr (quote != '\0') {
            out.put(quote);
        }
    }
}

} // namespace zelt_tool

#endif
