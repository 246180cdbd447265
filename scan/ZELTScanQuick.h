#ifndef ZELT_SCAN_QUICK_H
#define ZELT_SCAN_QUICK_H

// The scanner's quick way, for the common element of a plain buffer. Internal
// to the library, never installed; included only by ZELTScan.cpp, so that it
// is inlined into scanElement and scanElements.

#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ZELTClosingText.h"
#include "ZELTPlainBuffer.h"
#include "ZELTScanText.h"
#include "ZELTShortBytes.h"

namespace ZELT::scanning {

#if defined(__SSE2__)
// The next 32 bytes of the text, searched for single bytes with SSE2.
class Ahead {
public:
    static constexpr long span = 32;

    ZELT_INLINE explicit Ahead(const char* at)
        : low(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))),
          high(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + span / 2))) {}

    // Bit i set for each byte i that is @p c.
    ZELT_INLINE std::uint64_t find(char c) const {
        return mask(low, c) | mask(high, c) << (span / 2);
    }
    // The same for the first half only, where short tags end.
    ZELT_INLINE std::uint64_t findNear(char c) const { return mask(low, c); }

    // The first '<' in [from, end) sixteen bytes at a time, inline rather
    // than by memchr, a call that would cost the quick way its registers;
    // null when none is found before fewer than sixteen bytes are left.
    ZELT_INLINE static const char* findLessThan(const char* from, const char* end) {
        for (; end - from >= span / 2; from += span / 2) {
            if (const std::uint64_t found = mask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), '<')) {
                return from + __builtin_ctzll(found);
            }
        }
        return nullptr;
    }

private:
    ZELT_INLINE static std::uint64_t mask(__m128i bytes, char c) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
    }

    const __m128i low, high;
};

// The first byte flagged in @p found at or after @p from, as an index.
ZELT_INLINE long firstFrom(std::uint64_t found, long from) {
    const std::uint64_t after = found & (~std::uint64_t{0} << from);
    return after != 0 ? __builtin_ctzll(after) : Ahead::span;
}
#endif

constexpr long noElement = -1;

// The content of a plain buffer, for the quick way; text null when it has
// no area or the buffer is not plain.
struct PlainText {
    const char* text = nullptr;
    long size = 0;
};

ZELT_INLINE PlainText plainText(const ZELTBuffer& in) {
    const char* const text = isPlainBuffer(in) ? in.ZELTBuffer::getBufferString() : nullptr;
    return {text, text != nullptr ? in.ZELTBuffer::getBufferSize() : 0};
}

// Reads the element at @p marker of @p content when its opening tag is
// `<tag>` or `<tag Name="...">` within the next bytes, which one SSE2 search
// of them finds together with the first '<' after it, and when that '<'
// begins the closing text: fills @p element and returns where the marker
// goes next. Returns noElement, changing nothing, in every other case, which
// the general way then decides; so it reads exactly what that way reads,
// only faster. A plain buffer keeps its marker within its content.
ZELT_INLINE long scanQuickly(const PlainText& content, long marker, ZELTElement& element) {
#if defined(__SSE2__)
    const char* const text = content.text;
    if (text == nullptr) {
        return noElement;
    }
    const char* const at = text + marker;
    const char* const end = text + content.size;
    if (end - at < Ahead::span || *at != '<') {
        return noElement;
    }
    const Ahead ahead(at);
    const std::uint64_t tagEnds = ahead.findNear(' ') | ahead.findNear('>');
    if (tagEnds == 0) {
        return noElement;
    }
    const long tagEnd = __builtin_ctzll(tagEnds);
    long valueStart = tagEnd + 1;
    std::string_view name;
    if (at[tagEnd] == ' ') {
        const std::string_view start = attributeStarts[0];
        const long nameStart = tagEnd + static_cast<long>(start.size());
        const long quote = firstFrom(ahead.find('"'), nameStart);
        // The Name form only, with both quotes and the '>' within the bytes searched.
        if (quote >= Ahead::span - 1 || !shortBytes::same(at + tagEnd, start.data(), start.size()) || at[quote + 1] != '>') {
            return noElement;
        }
        name = between(at + nameStart, at + quote);
        valueStart = quote + 2;
    }
    // The first '<' after the opening one, found without waiting for where
    // the opening tag ends, which keeps this step off the chain of loads from
    // one element to the next. It is the first '<' of the value unless the
    // tag or the Name holds one; then it is refused here.
    const std::uint64_t lessThans = ahead.find('<');
    const long lessThan = firstFrom(lessThans & (lessThans - 1), 0);
    const char* const closing = lessThan < Ahead::span ? at + lessThan : Ahead::findLessThan(at + Ahead::span, end);
    const std::string_view tag = between(at + 1, at + tagEnd);
    if (closing == nullptr || closing < at + valueStart || !closingText::standsAt<true>(closing, end, tag)) {
        return noElement;
    }
    element.tag = tag;
    element.name = name;
    element.idx = {};
    element.value = between(at + valueStart, closing);
    element.offset = marker;
    return closing + tag.size() + closingText::extra - text;
#else
    static_cast<void>(content);
    static_cast<void>(marker);
    static_cast<void>(element);
    return noElement;
#endif
}

} // namespace ZELT::scanning

#endif
