#ifndef ZELT_SHORT_BYTES_H
#define ZELT_SHORT_BYTES_H

// Internal to the library, not installed.
//
// Copying, comparing and clearing a few bytes (a tag, an element) is much of
// what writing or reading an element costs, and a call into the C library
// for each costs more than the bytes themselves (a quarter of a read,
// measured). Up to 16 or 32 bytes, overlapping word moves do the work in
// place; longer runs go to the C library. Always inlined, so that constant
// lengths ("</", ">\n") fold into single moves.

#include <cstddef>
#include <cstdint>
#include <cstring>

// The library's small steps run once per element: optimised, they are always
// inlined, so that they cost no calls and their results stay in registers.
// Unoptimised builds (debugging, coverage) keep one copy of each, so that
// coverage counts its branches over all its callers rather than per call site.
#if defined(__OPTIMIZE__) && !defined(ZELT_COUNT_INLINE_CODE_ONCE)
#define ZELT_INLINE [[gnu::always_inline]] inline
#define ZELT_INLINE_LAMBDA __attribute__((always_inline))
#else
#define ZELT_INLINE inline
#define ZELT_INLINE_LAMBDA
#endif

namespace ZELT::shortBytes {

template <typename Word>
ZELT_INLINE Word load(const char* at) {
    Word word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

template <typename Word>
ZELT_INLINE void store(char* at, Word word) {
    std::memcpy(at, &word, sizeof word);
}

// Both words are loaded before either is stored, so the ranges may overlap.
template <typename Word>
ZELT_INLINE void moveTwoWords(char* to, const char* from, size_t length) {
    const auto head = load<Word>(from);
    const auto tail = load<Word>(from + length - sizeof(Word));
    store(to, head);
    store(to + length - sizeof(Word), tail);
}

template <typename Word>
ZELT_INLINE bool sameTwoWords(const char* a, const char* b, size_t length) {
    return load<Word>(a) == load<Word>(b) &&
           load<Word>(a + length - sizeof(Word)) == load<Word>(b + length - sizeof(Word));
}

/// memmove of @p length bytes.
ZELT_INLINE void move(char* to, const char* from, size_t length) {
    if (length > 32) {
        std::memmove(to, from, length);
    } else if (length > 16) {
        // Four words, all loaded first: 17 to 32 bytes.
        const auto a = load<uint64_t>(from);
        const auto b = load<uint64_t>(from + 8);
        const auto c = load<uint64_t>(from + length - 16);
        const auto d = load<uint64_t>(from + length - 8);
        store(to, a);
        store(to + 8, b);
        store(to + length - 16, c);
        store(to + length - 8, d);
    } else if (length >= 8) {
        moveTwoWords<uint64_t>(to, from, length);
    } else if (length >= 4) {
        moveTwoWords<uint32_t>(to, from, length);
    } else if (length >= 2) {
        moveTwoWords<uint16_t>(to, from, length);
    } else if (length == 1) {
        *to = *from;
    }
}

/// memcmp(a, b, length) == 0.
ZELT_INLINE bool same(const char* a, const char* b, size_t length) {
    if (length > 16) {
        return std::memcmp(a, b, length) == 0;
    }
    if (length >= 8) {
        return sameTwoWords<uint64_t>(a, b, length);
    }
    if (length >= 4) {
        return sameTwoWords<uint32_t>(a, b, length);
    }
    if (length >= 2) {
        return sameTwoWords<uint16_t>(a, b, length);
    }
    return length == 0 || *a == *b;
}

/// Zeroes [at, at + length), which must lie within [at, limit); where room
/// allows, 64 bytes are cleared whatever @p length, up to @p limit at most.
ZELT_INLINE void zero(char* at, size_t length, const char* limit) {
    if (length <= 64 && static_cast<size_t>(limit - at) >= 64) {
        for (size_t word = 0; word < 64; word += 8) {
            store<uint64_t>(at + word, 0);
        }
    } else {
        std::memset(at, 0, length);
    }
}

} // namespace ZELT::shortBytes

#endif
