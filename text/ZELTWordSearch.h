#ifndef ZELT_WORD_SEARCH_H
#define ZELT_WORD_SEARCH_H

// Internal to the library, never installed.
//
// Elements are short, so searches of a few bytes run inline on 64-bit words
// rather than in the C library, which pays off only for longer ones.

#include <cstdint>
#include <cstring>

#include "ZELTShortBytes.h"

namespace ZELT::wordSearch {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte of a loaded word must be its lowest");

using Word = std::uint64_t;
constexpr long wordSize = sizeof(Word);
constexpr Word lowBits = 0x0101010101010101U;
constexpr Word highBits = 0x8080808080808080U;

constexpr Word repeated(char c) { return lowBits * static_cast<unsigned char>(c); }

// The high bit of each byte of @p word that equals @p c: exact up to the
// first such byte (a borrow may flag bytes after it), which is all the
// searches use.
ZELT_INLINE constexpr Word bytesEqual(Word word, char c) {
    const Word x = word ^ repeated(c);
    return (x - lowBits) & ~x & highBits;
}

ZELT_INLINE long firstFlagged(Word flags) { return __builtin_ctzll(flags) / 8; }

// The first byte in [p, end) that is @p c or @p d, or end.
ZELT_INLINE const char* findEither(const char* p, const char* end, char c, char d) {
    for (; end - p >= wordSize; p += wordSize) {
        const Word word = shortBytes::load<Word>(p);
        if (const Word flags = bytesEqual(word, c) | bytesEqual(word, d)) {
            return p + firstFlagged(flags);
        }
    }
    while (p < end && *p != c && *p != d) {
        ++p;
    }
    return p;
}

// The first @p c in [p, end), or end: the first words inline, the rest, when
// the distance is long, by memchr.
ZELT_INLINE const char* findByte(const char* p, const char* end, char c) {
    for (const char* const inlineEnd = p + 2 * wordSize; p < inlineEnd && end - p >= wordSize; p += wordSize) {
        if (const Word flags = bytesEqual(shortBytes::load<Word>(p), c)) {
            return p + firstFlagged(flags);
        }
    }
    const void* const found = std::memchr(p, c, static_cast<size_t>(end - p));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

} // namespace ZELT::wordSearch

#endif
