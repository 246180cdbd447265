#include "lines.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zelt_tool {

long countLineFeeds(const char* begin, const char* end) {
    long count = 0;
#if defined(__SSE2__)
    // Long ranges sixteen bytes at a time: a compare gives -1 in each byte
    // that is a line feed, subtracted into byte-wide sums for at most 255
    // rounds, which are then added up. Short ones, such as an element, hold
    // few line feeds, and memchr finds them sooner.
    constexpr long width = 16;
    constexpr long roundsPerSum = 255;
    constexpr long longRange = 8 * width;
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    while (end - begin >= longRange) {
        const long rounds = std::min((end - begin) / width, roundsPerSum);
        __m128i sums = _mm_setzero_si128();
        for (long round = 0; round < rounds; ++round, begin += width) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
            sums = _mm_sub_epi8(sums, _mm_cmpeq_epi8(bytes, lineFeeds));
        }
        const __m128i halves = _mm_sad_epu8(sums, _mm_setzero_si128());
        count += _mm_cvtsi128_si64(halves) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves));
    }
#endif
    while (begin < end) {
        const void* const found = std::memchr(begin, '\n', static_cast<size_t>(end - begin));
        if (found == nullptr) {
            break;
        }
        ++count;
        begin = static_cast<const char*>(found) + 1;
    }
    return count;
}

} // namespace zelt_tool
