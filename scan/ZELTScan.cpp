#include "ZELTScan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ZELTScanText.h"

namespace ZELT {

using namespace scanning;

namespace {

// Moves the marker past the element whose value ends at @p valueEnd and fills
// @p element; false, changing nothing, when the buffer refuses the marker.
ZELT_ALWAYS_INLINE bool take(ZELTBuffer& in, const AtMarker& at, const char* valueEnd, ZELTElement& element) {
    const Unread& unread = at.unread;
    const OpeningTag& opening = at.opening;
    const long next = valueEnd + opening.tag.size() + closingExtra - unread.text;
    if (!(unread.plain ? in.ZELTBuffer::setMarkerPos(next) : in.setMarkerPos(next))) {
        return false;
    }
    element.tag = opening.tag;
    element.name = opening.name;
    element.idx = opening.idx;
    element.value = between(opening.stop, valueEnd);
    element.offset = unread.at - unread.text;
    return true;
}

// --- The common element at once ---

#if defined(__SSE2__)
// The next 32 bytes of the text, searched for single bytes with SSE2.
class Ahead {
public:
    static constexpr long span = 32;

    ZELT_ALWAYS_INLINE explicit Ahead(const char* at)
        : low(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))),
          high(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + span / 2))) {}

    // Bit i set for each byte i that is @p c.
    ZELT_ALWAYS_INLINE std::uint64_t find(char c) const {
        return mask(low, c) | mask(high, c) << (span / 2);
    }
    // The same for the first half only, where short tags end.
    ZELT_ALWAYS_INLINE std::uint64_t findNear(char c) const { return mask(low, c); }

    // The first '<' in [from, end) sixteen bytes at a time, inline rather
    // than by memchr, a call that would cost the quick way its registers;
    // null when none is found before fewer than sixteen bytes are left.
    ZELT_ALWAYS_INLINE static const char* findLessThan(const char* from, const char* end) {
        for (; end - from >= span / 2; from += span / 2) {
            if (const std::uint64_t found = mask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), '<')) {
                return from + __builtin_ctzll(found);
            }
        }
        return nullptr;
    }

private:
    ZELT_ALWAYS_INLINE static std::uint64_t mask(__m128i bytes, char c) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
    }

    const __m128i low, high;
};

// The first byte flagged in @p found at or after @p from, as an index.
ZELT_ALWAYS_INLINE long firstFrom(std::uint64_t found, long from) {
    const std::uint64_t after = found & (~std::uint64_t{0} << from);
    return after != 0 ? __builtin_ctzll(after) : Ahead::span;
}
#endif

// Reads the element at the marker of a plain buffer when its opening tag is
// `<tag>` or `<tag Name="...">` within the next bytes, which one SSE2 search
// of them finds together with the first '<' after it, and when that '<'
// begins the closing text. Returns false, changing nothing, in every other
// case, which the general way then decides; so it reads exactly what that
// way reads, only faster.
ZELT_ALWAYS_INLINE bool scanQuickly(ZELTBuffer& in, ZELTElement& element) {
#if defined(__SSE2__)
    const char* const text = isPlain(in) ? in.ZELTBuffer::getBufferString() : nullptr;
    if (text == nullptr) {
        return false;
    }
    // A plain buffer keeps its marker within the content.
    const long marker = in.ZELTBuffer::getMarkerPos();
    const char* const at = text + marker;
    const char* const end = text + in.ZELTBuffer::getBufferSize();
    if (end - at < Ahead::span || *at != '<') {
        return false;
    }
    const Ahead ahead(at);
    const std::uint64_t tagEnds = ahead.findNear(' ') | ahead.findNear('>');
    if (tagEnds == 0) {
        return false;
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
            return false;
        }
        name = between(at + nameStart, at + quote);
        valueStart = quote + 2;
    }
    const long lessThan = firstFrom(ahead.find('<'), valueStart);
    const char* const closing = lessThan < Ahead::span ? at + lessThan : Ahead::findLessThan(at + Ahead::span, end);
    const std::string_view tag = between(at + 1, at + tagEnd);
    if (closing == nullptr || !isClosingText(closing, end, tag)) {
        return false;
    }
    element.tag = tag;
    element.name = name;
    element.idx = {};
    element.value = between(at + valueStart, closing);
    element.offset = marker;
    // The closing text lies within the content, so the buffer takes the marker.
    return in.ZELTBuffer::setMarkerPos(closing + tag.size() + closingExtra - text);
#else
    static_cast<void>(in);
    static_cast<void>(element);
    return false;
#endif
}

// scanElement for every element: see scanQuickly. Out of line, so that the
// quick way keeps few registers to save.
[[gnu::noinline]] bool scanGenerally(ZELTBuffer& in, ZELTElement& element) {
    const AtMarker at(in);
    if (!at.opens) {
        return false;
    }
    const char* const closing = at.closing();
    return closing != nullptr && take(in, at, closing, element);
}

} // namespace

bool scanElement(ZELTBuffer& in, ZELTElement& element) { return scanQuickly(in, element) || scanGenerally(in, element); }

bool scanBytes(ZELTBuffer& in, long length, ZELTElement& element) {
    const AtMarker at(in);
    if (!at.opens || length < 0 || length > at.unread.end - at.opening.stop) {
        return false;
    }
    const char* const closing = at.opening.stop + length;
    return isClosingText(closing, at.unread.end, at.opening.tag) && take(in, at, closing, element);
}

bool scanNeedsMore(const ZELTBuffer& in) {
    const AtMarker at(in);
    // An element waiting for its closing text: "</tag>\n" would complete it.
    return at.opens ? at.closing() == nullptr : at.opening.cut;
}

} // namespace ZELT
