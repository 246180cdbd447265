#ifndef ZELT_SCAN_TEXT_H
#define ZELT_SCAN_TEXT_H

// What the scanner finds at a buffer's marker, shared by scanning
// (ZELTScan.cpp, which defines the functions) and explaining refusals
// (ZELTExplain.cpp). Internal to the library, never installed.

#include <string>
#include <string_view>

#include "ZELTScan.h"

namespace ZELT {
namespace scanning {

// The unread part of a buffer's content, [at, end), and the content's start.
// Without an area, or with a marker outside the content, nothing is unread.
struct Unread {
    const char* text = nullptr;
    const char* at = nullptr;
    const char* end = nullptr;
    long offset = 0; // the marker, as far as it lies in the content
    bool plain = false;
};

Unread unreadOf(const ZELTBuffer& in);

// The attributes the writers put after the tag, in their order.
constexpr std::string_view attributeStarts[] = {" Name=\"", " Idx=\""};

inline std::string_view between(const char* begin, const char* end) { return {begin, static_cast<size_t>(end - begin)}; }

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

// What scanElement reads at a buffer's marker: the unread text, its opening
// tag and, when it opens, where its closing text stands.
struct AtMarker {
    explicit AtMarker(const ZELTBuffer& in);

    // The closing text of an element that opens, or null.
    const char* closing() const;

    const Unread unread;
    OpeningTag opening;
    const bool opens;
};

// The first @p limit bytes of @p text with unprintable bytes escaped, in
// quotes when @p quoted, and "..." when that is not all.
std::string shortened(std::string_view text, size_t limit, bool quoted = false);

// The line and column (from 1) of @p offset in @p text.
void linePosition(const char* text, long offset, long& line, long& column);
// "line L, column C: ", which every refusal's message starts with.
std::string positionPrefix(long line, long column);

} // namespace scanning
} // namespace ZELT

#endif
