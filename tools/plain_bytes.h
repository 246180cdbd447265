#ifndef ZELT_TOOL_PLAIN_BYTES_H
#define ZELT_TOOL_PLAIN_BYTES_H

// Which bytes stand for themselves in an output format, one at a time or sixteen at once.

#include <array>
#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zelt_tool {

/// Whether byte @p c stands for itself in @p Format: the printable ASCII
/// bytes and DEL (0x20 to 0x7F) but the format's notPlain, and its alsoPlain.
template <typename Format>
constexpr bool standsForItself(int c) {
    const auto byte = static_cast<char>(c);
    return (c >= 0x20 && c < 0x80 && Format::notPlain.find(byte) == std::string_view::npos) ||
           (c < 0x20 && Format::alsoPlain.find(byte) != std::string_view::npos);
}

/// standsForItself as a 256-entry table of 1 and 0 (numbers, so that entries
/// combine with `&` without branches).
template <typename Format>
constexpr std::array<unsigned char, 256> plainBytes = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<size_t>(c)] = standsForItself<Format>(c) ? 1 : 0;
    }
    return table;
}();

#if defined(__SSE2__)
/// standsForItself for sixteen bytes at once: bit i for byte i.
template <typename Format>
unsigned plainMask(__m128i bytes) {
    const auto equal = [&bytes](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    // As signed numbers, 0x20 to 0x7F are the bytes above 0x1F.
    __m128i plain = _mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F));
    for (const char c : Format::notPlain) {
        plain = _mm_andnot_si128(equal(c), plain);
    }
    for (const char c : Format::alsoPlain) {
        plain = _mm_or_si128(plain, equal(c));
    }
    return static_cast<unsigned>(_mm_movemask_epi8(plain));
}
#endif

} // namespace zelt_tool

#endif
