#ifndef ZELT_ELEMENT_TEXT_H
#define ZELT_ELEMENT_TEXT_H

// The texts the formatter writes. Internal to the library, never installed.

#include <cstddef>
#include <string_view>

#include "ZELTShortBytes.h"

namespace ZELT::elementText {

// One text the formatter composes in its conversion buffer: a whole element
// (opening tag with its attributes, value, closing text), or an opening tag
// or a closing text alone. Its size and its bytes both come from forEachPart,
// so the room reserved for a text and what is written into it cannot
// disagree.
template <bool Opening, bool Closing, bool Attributes = true>
struct Text {
    std::string_view tag;
    std::string_view name{};  // the Name attribute, written when not empty
    std::string_view idx{};   // the Idx attribute, written only together with a Name
    std::string_view value{}; // between the tags, in a whole element

    template <typename Put>
    ZELT_INLINE void forEachPart(Put&& put) const {
        if constexpr (Opening) {
            put("<");
            put(tag);
            if (Attributes && !name.empty()) {
                put(" Name=\"");
                put(name);
                put("\"");
                if (!idx.empty()) {
                    put(" Idx=\"");
                    put(idx);
                    put("\"");
                }
            }
            put(">");
        }
        if constexpr (Opening && Closing) {
            put(value);
        }
        if constexpr (Closing) {
            put("</");
            put(tag);
            put(">\n");
        }
    }

    ZELT_INLINE long size() const {
        size_t total = 0;
        forEachPart([&total](std::string_view part) ZELT_INLINE_LAMBDA { total += part.size(); });
        return static_cast<long>(total);
    }

    // Writes size() bytes at @p at and returns their end.
    ZELT_INLINE char* compose(char* at) const {
        char* cursor = at;
        forEachPart([&cursor](std::string_view part) ZELT_INLINE_LAMBDA {
            shortBytes::move(cursor, part.data(), part.size());
            cursor += part.size();
        });
        return cursor;
    }
};

using ElementText = Text<true, true>;
using PlainElementText = Text<true, true, false>; // never with attributes: the scalar elements
using OpeningText = Text<true, false>;
using ClosingText = Text<false, true>;

} // namespace ZELT::elementText

#endif
