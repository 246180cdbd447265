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
    // Long ranges 64 bytes at a time: a compare gives -1 in each byte that is
    // a line feed, subtracted into byte-wide sums, four of them so that the
    // rounds do not wait on one another, for at most 255 rounds; then the
    // sums are added up. Short ones, such as an element, hold few line feeds,
    // and memchr finds them sooner.
    constexpr long width = 16;
    constexpr long lanes = 4;
    constexpr long roundsPerSum = 255;
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    const auto countIn = [&lineFeeds](const char* at) {
        return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), lineFeeds);
    };
    while (end - begin >= 2 * lanes * width) {
        const long rounds = std::min((end - begin) / (lanes * width), roundsPerSum);
        __m128i sums[lanes] = {};
        for (long round = 0; round < rounds; ++round, begin += lanes * width) {
            for (long lane = 0; lane < lanes; ++lane) {
                sums[lane] = _mm_sub_epi8(sums[lane], countIn(begin + lane * width));
            }
        }
        for (const __m128i sum : sums) {
            const __m128i halves = _mm_sad_epu8(sum, _mm_setzero_si128());
            count += _mm_cvtsi128_si64(halves) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves));
        }
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
