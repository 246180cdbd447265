#ifndef ZELT_CLOSING_TEXT_H
#define ZELT_CLOSING_TEXT_H

// Internal to the library, never installed.
//
// Where an element's value ends: the first closing text, "</tag>" and a line
// feed. One search serves the typed readers, the scanner and the explainer.
// A text searched ends where its caller knows it to end (a buffer's content,
// NUL bytes included), or, when that is not known (null), at its first NUL.

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "ZELTShortBytes.h"
#include "ZELTWordSearch.h"

namespace ZELT::closingText {

constexpr size_t extra = 4; // "</", ">" and the line feed around the tag

// Whether "</tag>\n" stands at @p at, compared up to the first difference:
// a NUL is one (the tag, a C string, holds none), so nothing past the text's
// NUL is read.
ZELT_INLINE bool standsBeforeNul(const char* at, std::string_view tag) {
    if (at[0] != '<' || at[1] != '/') {
        return false;
    }
    const char* const tagInText = at + 2;
    for (size_t i = 0; i < tag.size(); ++i) {
        if (tagInText[i] != tag[i]) {
            return false;
        }
    }
    return tagInText[tag.size()] == '>' && tagInText[tag.size() + 1] == '\n';
}

// Whether "</tag>\n" stands at @p at, in a text that ends at @p end (null: at
// its first NUL). @p tagInText: the tag stands in the same text before @p at
// (a tag the scanner read, not a caller's), so a word read at it stays
// within the text.
template <bool tagInText = false>
ZELT_INLINE bool standsAt(const char* at, const char* end, std::string_view tag) {
    if (end == nullptr) {
        return standsBeforeNul(at, tag);
    }
    const size_t tagLength = tag.size();
    // Tags of up to six bytes, most of them, are compared with "</" as one
    // word and the ">\n" after them as another. A word read at a tag in the
    // text stays within the content, which goes on at least to @p at + 10.
    using wordSearch::Word;
    constexpr size_t shortTag = wordSearch::wordSize - 2;
    if constexpr (tagInText) {
        if (tagLength <= shortTag && end - at >= wordSearch::wordSize + 2) {
            const Word expected = Word{'<'} | Word{'/'} << 8 | shortBytes::load<Word>(tag.data()) << 16;
            const Word compared = ~Word{0} >> (64 - 8 * (tagLength + 2));
            return ((shortBytes::load<Word>(at) ^ expected) & compared) == 0 &&
                   shortBytes::load<std::uint16_t>(at + tagLength + 2) == (std::uint16_t{'\n'} << 8 | '>');
        }
    }
    return static_cast<size_t>(end - at) >= tagLength + extra && at[0] == '<' && at[1] == '/' &&
           at[tagLength + 2] == '>' && at[tagLength + 3] == '\n' && shortBytes::same(at + 2, tag.data(), tagLength);
}

// The next '<' from @p from on, or null.
ZELT_INLINE const char* nextLessThan(const char* from, const char* end) {
    if (end == nullptr) {
        return std::strchr(from, '<');
    }
    const char* const found = wordSearch::findByte(from, end, '<');
    return found != end ? found : nullptr;
}

// The first "</tag>\n" from @p from on, past the first candidate. Should a
// few more candidates fail (crafted text, say a value full of "</"), memmem
// or strstr takes over, whose time stays linear. @p needle: the closing text,
// NUL-terminated, when the caller has composed it.
template <bool tagInText>
const char* searchOn(const char* from, const char* end, std::string_view tag, const char* needle) {
    constexpr int candidatesTried = 3;
    for (int tried = 0; tried < candidatesTried; ++tried) {
        from = nextLessThan(from, end);
        if (from == nullptr || standsAt<tagInText>(from, end, tag)) {
            return from;
        }
        ++from;
    }
    std::string composed;
    if (needle == nullptr) {
        composed.reserve(tag.size() + extra);
        composed.append("</").append(tag).append(">\n");
        needle = composed.c_str();
    }
    if (end == nullptr) {
        return std::strstr(from, needle);
    }
    return static_cast<const char*>(memmem(from, static_cast<size_t>(end - from), needle, tag.size() + extra));
}

// The first "</tag>\n" from @p from on in a text that ends at @p end (null:
// at its first NUL), or null. A value seldom holds '<', so the first '<' is
// nearly always the closing text's, and it is tried inline.
template <bool tagInText = false>
ZELT_INLINE const char* find(const char* from, const char* end, std::string_view tag,
                             const char* needle = nullptr) {
    const char* const first = nextLessThan(from, end);
    if (first == nullptr || standsAt<tagInText>(first, end, tag)) {
        return first;
    }
    return searchOn<tagInText>(first + 1, end, tag, needle);
}

// Whether an element whose value is @p value would read back shorter: its
// first closing text would begin before the one written after the value,
// either within the value or, for a tag that holds a '<' (only then can a
// closing text begin in itself again), across the value's end.
inline bool endsEarly(std::string_view value, std::string_view tag) {
    const char* const end = value.data() + value.size();
    if (closingText::find(value.data(), end, tag) != nullptr) {
        return true;
    }
    if (tag.find('<') == std::string_view::npos) {
        return false;
    }
    const size_t tail = std::min(value.size(), tag.size() + extra - 1);
    std::string joined(end - tail, tail);
    joined.append("</").append(tag).append(">\n");
    const char* const first = closingText::find(joined.data(), joined.data() + joined.size(), tag);
    return static_cast<size_t>(first - joined.data()) < tail;
}

} // namespace ZELT::closingText

#endif
