#ifndef ZELT_SCAN_TEXT_H
#define ZELT_SCAN_TEXT_H

// How the scanner reads a text: the unread part of a buffer, searches and
// comparisons a word at a time, the opening tag and the closing text. Shared
// by scanning (ZELTScan.cpp) and explaining (ZELTExplain.cpp); internal to
// the library, never installed.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <typeinfo>

#include "ZELTScan.h"
#include "ZELTShortBytes.h"

namespace ZELT {
namespace scanning {

// --- The buffer ---

// Exactly a ZELTBuffer: its own operations are called directly, which nothing
// can observe and which saves the virtual calls; a derived buffer gets its
// overrides. Its type_info is the library's own, so comparing addresses is
// enough, and needs no call that would cost the quick way its registers;
// were it ever another copy, the buffer would only take the general way.
inline bool isPlain(const ZELTBuffer& in) { return &typeid(in) == &typeid(ZELTBuffer); }

// The unread part of a buffer's content, [at, end), and the content's start.
// Without an area, or with a marker outside the content, nothing is unread.
struct Unread {
    const char* text = nullptr;
    const char* at = nullptr;
    const char* end = nullptr;
    long offset = 0; // the marker, as far as it lies in the content
    bool plain = false;
};

ZELT_ALWAYS_INLINE Unread unreadOf(const ZELTBuffer& in) {
    Unread unread;
    unread.plain = isPlain(in);
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

inline std::string_view between(const char* begin, const char* end) { return {begin, static_cast<size_t>(end - begin)}; }

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
ZELT_ALWAYS_INLINE constexpr Word bytesEqual(Word word, char c) {
    const Word x = word ^ repeated(c);
    return (x - lowBits) & ~x & highBits;
}

ZELT_ALWAYS_INLINE long firstFlagged(Word flags) { return __builtin_ctzll(flags) / 8; }

// The first byte in [p, end) that is @p c or @p d, or end.
ZELT_ALWAYS_INLINE const char* findEither(const char* p, const char* end, char c, char d) {
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
ZELT_ALWAYS_INLINE const char* findByte(const char* p, const char* end, char c) {
    for (const char* const inlineEnd = p + 2 * wordSize; p < inlineEnd && end - p >= wordSize; p += wordSize) {
        if (const Word flags = bytesEqual(shortBytes::load<Word>(p), c)) {
            return p + firstFlagged(flags);
        }
    }
    const void* const found = std::memchr(p, c, static_cast<size_t>(end - p));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

// --- The opening tag ---

// How the text at the marker fails to open an element in one of the three
// written forms; ok when it does.
enum class Opening { ok, endOfText, notAnElement, noEnd, unknownAttribute, unterminatedValue };

struct OpeningTag {
    Opening state = Opening::ok;
    // Refused only because the text ends too soon: more text could make it
    // one of the forms.
    bool cut = false;
    std::string_view tag, name, idx;
    // ok: the value's first byte; otherwise where the opening tag went wrong.
    const char* stop = nullptr;
};

// The attributes the writers put after the tag, in their order.
constexpr std::string_view attributeStarts[] = {" Name=\"", " Idx=\""};

ZELT_ALWAYS_INLINE bool refuse(OpeningTag& opening, Opening state, const char* stop, bool cut) {
    opening.state = state;
    opening.stop = stop;
    opening.cut = cut;
    return false;
}

// The attributes from @p p, where the tag ended, on; see parseOpening.
inline bool parseAttributes(const char* p, const char* end, OpeningTag& opening) {
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
        if (remaining < start.size() || !shortBytes::same(p, start.data(), start.size())) {
            // Cut when what there is begins the attribute.
            return refuse(opening, wrong, p, remaining < start.size() && shortBytes::same(p, start.data(), remaining));
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
ZELT_ALWAYS_INLINE bool parseOpening(const char* at, const char* end, OpeningTag& opening) {
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
ZELT_ALWAYS_INLINE bool isClosingText(const char* at, const char* end, std::string_view tag) {
    const size_t tagLength = tag.size();
    // Tags of up to six bytes, most of them, are compared with "</" as one
    // word and the ">\n" after them as another. A word read at a tag in the
    // text stays within the content, which goes on at least to @p at + 10.
    constexpr size_t shortTag = wordSize - 2;
    if (tagInText && tagLength <= shortTag && end - at >= wordSize + 2) {
        const Word expected = Word{'<'} | Word{'/'} << 8 | shortBytes::load<Word>(tag.data()) << 16;
        const Word compared = ~Word{0} >> (64 - 8 * (tagLength + 2));
        return ((shortBytes::load<Word>(at) ^ expected) & compared) == 0 &&
               shortBytes::load<std::uint16_t>(at + tagLength + 2) == (std::uint16_t{'\n'} << 8 | '>');
    }
    return static_cast<size_t>(end - at) >= tagLength + closingExtra && at[0] == '<' && at[1] == '/' &&
           at[tagLength + 2] == '>' && at[tagLength + 3] == '\n' && shortBytes::same(at + 2, tag.data(), tagLength);
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
ZELT_ALWAYS_INLINE const char* findClosingText(const char* from, const char* end, std::string_view tag) {
    const char* const first = findByte(from, end, '<');
    if (isClosingText(first, end, tag)) {
        return first;
    }
    return first == end ? nullptr : searchClosingText(first + 1, end, tag);
}

// What scanElement reads at a buffer's marker: the unread text, its opening
// tag and, when it opens, where its closing text stands.
struct AtMarker {
    ZELT_ALWAYS_INLINE explicit AtMarker(const ZELTBuffer& in)
        : unread(unreadOf(in)), opens(parseOpening(unread.at, unread.end, opening)) {}

    // The closing text of an element that opens, or null.
    ZELT_ALWAYS_INLINE const char* closing() const { return findClosingText(opening.stop, unread.end, opening.tag); }

    const Unread unread;
    OpeningTag opening;
    const bool opens;
};

} // namespace scanning
} // namespace ZELT

#endif
