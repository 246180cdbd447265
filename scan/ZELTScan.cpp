#include "ZELTScan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ZELTScanText.h"
#include "ZELTBufferAccess.h"
#include "ZELTPlainBuffer.h"
#include "ZELTShortBytes.h"

// The scanner's steps are small and run once per element. Optimised, they
// are always inlined, so that they cost no calls and their results stay in
// registers; unoptimised (debugging, coverage), each is kept once.
#if defined(__OPTIMIZE__)
#define ZELT_SCAN_INLINE [[gnu::always_inline]] inline
#else
#define ZELT_SCAN_INLINE inline
#endif

namespace ZELT {

using namespace scanning;

namespace {

ZELT_SCAN_INLINE Unread readUnread(const ZELTBuffer& in) {
    Unread unread;
    unread.plain = isPlainBuffer(in);
    unread.text = unread.plain ? in.ZELTBuffer::getBufferString() : in.getBufferString();
    const long size = unread.plain ? in.ZELTBuffer::getBufferSize() : in.getBufferSize();
    const long marker = unread.plain ? in.ZELTBuffer::getMarkerPos() : in.getMarkerPos();
    if (unread.text == nullptr || size < 0) {
        unread.text = nullptr;
        return unread;
    }
    unread.offset = std::clamp(marker, 0L, size);
    unread.end = unread.text + size;
    unread.at = marker == unread.offset ? unread.text + marker : unread.end;
    return unread;
}

// --- A word at a time ---
// Elements are short, so searches of a few bytes run inline on 64-bit words
// rather than in the C library, which pays off only for longer ones; the
// scanner's steps are always inlined, so that they cost no calls and their
// results stay in registers.

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first byte of a loaded word must be its lowest");

using Word = std::uint64_t;
constexpr long wordSize = sizeof(Word);
constexpr Word lowBits = 0x0101010101010101U;
constexpr Word highBits = 0x8080808080808080U;

constexpr Word repeated(char c) { return lowBits * static_cast<unsigned char>(c); }

// The high bit of each byte of @p word that equals @p c: exact up to the
// first such byte (a borrow may flag bytes after it), which is all the
// searches use.
ZELT_SCAN_INLINE constexpr Word bytesEqual(Word word, char c) {
    const Word x = word ^ repeated(c);
    return (x - lowBits) & ~x & highBits;
}

ZELT_SCAN_INLINE long firstFlagged(Word flags) { return __builtin_ctzll(flags) / 8; }

// The first byte in [p, end) that is @p c or @p d, or end.
ZELT_SCAN_INLINE const char* findEither(const char* p, const char* end, char c, char d) {
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
ZELT_SCAN_INLINE const char* findByte(const char* p, const char* end, char c) {
    for (const char* const inlineEnd = p + 2 * wordSize; p < inlineEnd && end - p >= wordSize; p += wordSize) {
        if (const Word flags = bytesEqual(shortBytes::load<Word>(p), c)) {
            return p + firstFlagged(flags);
        }
    }
    const void* const found = std::memchr(p, c, static_cast<size_t>(end - p));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

// Whether the @p length bytes at @p a and @p b are the same.
ZELT_SCAN_INLINE bool sameText(const char* a, const char* b, size_t length) { return shortBytes::same(a, b, length); }

// The attributes the writers put after the tag, in their order.
constexpr std::string_view attributeStarts[] = {" Name=\"", " Idx=\""};

ZELT_SCAN_INLINE bool refuse(OpeningTag& opening, Opening state, const char* stop, bool cut) {
    opening.state = state;
    opening.stop = stop;
    opening.cut = cut;
    return false;
}

// The attributes from @p p, where the tag ended, on; see parseOpening.
bool parseAttributes(const char* p, const char* end, OpeningTag& opening) {
    for (size_t attribute = 0;; ++attribute) {
        if (p == end) {
            return refuse(opening, Opening::noEnd, p, true);
        }
        if (*p == '>') {
            opening.stop = p + 1;
            return true;
        }
        const Opening wrong = *p == ' ' ? Opening::unknownAttribute : Opening::noEnd;
        if (attribute == std::size(attributeStarts)) {
            return refuse(opening, wrong, p, false);
        }
        const std::string_view start = attributeStarts[attribute];
        const auto remaining = static_cast<size_t>(end - p);
        if (remaining < start.size() || !sameText(p, start.data(), start.size())) {
            // Cut when what there is begins the attribute.
            return refuse(opening, wrong, p, remaining < start.size() && sameText(p, start.data(), remaining));
        }
        const char* const value = p + start.size();
        p = findByte(value, end, '"');
        if (p == end) {
            return refuse(opening, Opening::unterminatedValue, value, true);
        }
        (attribute == 0 ? opening.name : opening.idx) = between(value, p);
        ++p;
    }
}

// Reads the opening tag at @p at into @p opening: true when it is one of the
// three written forms, otherwise false with the state saying how it fails.
ZELT_SCAN_INLINE bool parseOpening(const char* at, const char* end, OpeningTag& opening) {
    if (at == end || *at != '<') {
        return refuse(opening, at == end ? Opening::endOfText : Opening::notAnElement, at, at == end);
    }
    const char* const tagEnd = findEither(at + 1, end, ' ', '>');
    opening.tag = between(at + 1, tagEnd);
    if (tagEnd != end && *tagEnd == '>') { // the plain form, the most common
        opening.stop = tagEnd + 1;
        return true;
    }
    return parseAttributes(tagEnd, end, opening);
}

// --- The closing text ---

constexpr size_t closingExtra = 4; // "</", ">" and the line feed around the tag

// Whether "</tag>\n" stands at @p at, within [at, end). @p tagInText: the
// tag stands in the same text before @p at (not so a caller's tag).
template <bool tagInText = true>
ZELT_SCAN_INLINE bool isClosingText(const char* at, const char* end, std::string_view tag) {
    const size_t tagLength = tag.size();
    // Tags of up to six bytes, most of them, are compared with "</" as one
    // word and the ">\n" after them as another. A word read at a tag in the
    // text stays within the content, which goes on at least to @p at + 10.
    constexpr size_t shortTag = wordSize - 2;
    if constexpr (tagInText) {
        if (tagLength <= shortTag && end - at >= wordSize + 2) {
            const Word expected = Word{'<'} | Word{'/'} << 8 | shortBytes::load<Word>(tag.data()) << 16;
            const Word compared = ~Word{0} >> (64 - 8 * (tagLength + 2));
            return ((shortBytes::load<Word>(at) ^ expected) & compared) == 0 &&
                   shortBytes::load<std::uint16_t>(at + tagLength + 2) == (std::uint16_t{'\n'} << 8 | '>');
        }
    }
    return static_cast<size_t>(end - at) >= tagLength + closingExtra && at[0] == '<' && at[1] == '/' &&
           at[tagLength + 2] == '>' && at[tagLength + 3] == '\n' && sameText(at + 2, tag.data(), tagLength);
}

// The first "</tag>\n" in [from, end), or null.
template <bool tagInText = true>
const char* searchClosingText(const char* from, const char* end, std::string_view tag) {
    // Values full of "<" go to memmem after a few candidates, which keeps the
    // search linear however the candidates fail.
    constexpr int candidatesTried = 3;
    for (int tried = 0; tried < candidatesTried; ++tried) {
        from = findByte(from, end, '<');
        if (isClosingText<tagInText>(from, end, tag)) {
            return from;
        }
        if (from == end) {
            return nullptr;
        }
        ++from;
    }
    std::string closing;
    closing.reserve(tag.size() + closingExtra);
    closing.append("</").append(tag).append(">\n");
    return static_cast<const char*>(memmem(from, static_cast<size_t>(end - from), closing.data(), closing.size()));
}

// The first "</tag>\n" in [from, end), or null. A value seldom holds "<", so
// the first "<" is nearly always the closing text's.
ZELT_SCAN_INLINE const char* findClosingText(const char* from, const char* end, std::string_view tag) {
    const char* const first = findByte(from, end, '<');
    if (isClosingText(first, end, tag)) {
        return first;
    }
    return first == end ? nullptr : searchClosingText(first + 1, end, tag);
}

} // namespace

namespace scanning {

AtMarker::AtMarker(const ZELTBuffer& in)
    : unread(readUnread(in)), opens(parseOpening(unread.at, unread.end, opening)) {}

const char* AtMarker::closing() const { return findClosingText(opening.stop, unread.end, opening.tag); }

const char* searchCallersClosingText(const char* from, const char* end, std::string_view tag) {
    return searchClosingText<false>(from, end, tag);
}

Unread unreadOf(const ZELTBuffer& in) { return readUnread(in); }

} // namespace scanning

namespace {

// Moves the marker past the element whose value ends at @p valueEnd and fills
// @p element; false, changing nothing, when the buffer refuses the marker.
ZELT_SCAN_INLINE bool take(ZELTBuffer& in, const AtMarker& at, const char* valueEnd, ZELTElement& element) {
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

    ZELT_SCAN_INLINE explicit Ahead(const char* at)
        : low(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))),
          high(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + span / 2))) {}

    // Bit i set for each byte i that is @p c.
    ZELT_SCAN_INLINE std::uint64_t find(char c) const {
        return mask(low, c) | mask(high, c) << (span / 2);
    }
    // The same for the first half only, where short tags end.
    ZELT_SCAN_INLINE std::uint64_t findNear(char c) const { return mask(low, c); }

    // The first '<' in [from, end) sixteen bytes at a time, inline rather
    // than by memchr, a call that would cost the quick way its registers;
    // null when none is found before fewer than sixteen bytes are left.
    ZELT_SCAN_INLINE static const char* findLessThan(const char* from, const char* end) {
        for (; end - from >= span / 2; from += span / 2) {
            if (const std::uint64_t found = mask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), '<')) {
                return from + __builtin_ctzll(found);
            }
        }
        return nullptr;
    }

private:
    ZELT_SCAN_INLINE static std::uint64_t mask(__m128i bytes, char c) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
    }

    const __m128i low, high;
};

// The first byte flagged in @p found at or after @p from, as an index.
ZELT_SCAN_INLINE long firstFrom(std::uint64_t found, long from) {
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

ZELT_SCAN_INLINE PlainText plainText(const ZELTBuffer& in) {
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
ZELT_SCAN_INLINE long scanQuickly(const PlainText& content, long marker, ZELTElement& element) {
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
        if (quote >= Ahead::span - 1 || !sameText(at + tagEnd, start.data(), start.size()) || at[quote + 1] != '>') {
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
    if (closing == nullptr || closing < at + valueStart || !isClosingText(closing, end, tag)) {
        return noElement;
    }
    element.tag = tag;
    element.name = name;
    element.idx = {};
    element.value = between(at + valueStart, closing);
    element.offset = marker;
    return closing + tag.size() + closingExtra - text;
#else
    static_cast<void>(content);
    static_cast<void>(marker);
    static_cast<void>(element);
    return noElement;
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

bool scanElement(ZELTBuffer& in, ZELTElement& element) {
    const PlainText content = plainText(in);
    const long next = scanQuickly(content, content.text != nullptr ? in.ZELTBuffer::getMarkerPos() : 0, element);
    if (next == noElement) {
        return scanGenerally(in, element);
    }
    // The closing text lies within the content, so a plain buffer takes the marker past it.
    ZELTBufferAccess::moveMarker(in, next);
    return true;
}

long scanElements(ZELTBuffer& in, ZELTElement* elements, long count) {
    long read = 0;
    for (;;) {
        const PlainText content = plainText(in);
        if (content.text != nullptr) {
            // The marker is kept here and set once, after the elements read the quick way.
            long marker = in.ZELTBuffer::getMarkerPos();
            for (long next = 0; read < count && (next = scanQuickly(content, marker, elements[read])) != noElement;
                 ++read) {
                marker = next;
            }
            in.ZELTBuffer::setMarkerPos(marker);
        }
        // An element the quick way leaves, then the quick way again.
        if (read == count || !scanGenerally(in, elements[read])) {
            return read;
        }
        ++read;
    }
}

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
