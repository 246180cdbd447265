#include "ZELTScan.h"

#include <algorithm>
#include <cstring>

namespace ZELT {

namespace {

// The unread part of a buffer's content, [at, end), and the content's start.
// Without an area, or with a marker outside the content, nothing is unread.
struct Unread {
    const char* text = nullptr;
    const char* at = nullptr;
    const char* end = nullptr;
    long offset = 0; // the marker, as far as it lies in the content
};

Unread unreadOf(const ZELTBuffer& in) {
    Unread unread;
    unread.text = in.getBufferString();
    const long size = in.getBufferSize();
    const long marker = in.getMarkerPos();
    if (unread.text == nullptr || size < 0) {
        unread.text = nullptr;
        return unread;
    }
    unread.offset = std::clamp(marker, 0L, size);
    unread.end = unread.text + size;
    unread.at = marker == unread.offset ? unread.text + marker : unread.end;
    return unread;
}

std::string_view between(const char* begin, const char* end) { return {begin, static_cast<size_t>(end - begin)}; }

// How the text at the marker fails to open an element in one of the three
// written forms; ok when it does.
enum class Opening { ok, endOfText, notAnElement, noEnd, unknownAttribute, unterminatedValue };

struct OpeningTag {
    Opening state = Opening::ok;
    std::string_view tag, name, idx;
    // ok: the value's first byte; otherwise where the opening tag went wrong.
    const char* stop = nullptr;
};

// The attributes the writers put after the tag, in their order.
constexpr std::string_view attributeStarts[] = {" Name=\"", " Idx=\""};

OpeningTag parseOpening(const char* at, const char* end) {
    OpeningTag opening;
    opening.stop = at;
    if (at == end) {
        opening.state = Opening::endOfText;
        return opening;
    }
    if (*at != '<') {
        opening.state = Opening::notAnElement;
        return opening;
    }
    const char* p = at + 1;
    while (p < end && *p != ' ' && *p != '>') {
        ++p;
    }
    opening.tag = between(at + 1, p);
    std::string_view* const values[] = {&opening.name, &opening.idx};
    for (size_t attribute = 0;; ++attribute) {
        opening.stop = p;
        if (p == end) {
            opening.state = Opening::noEnd;
            return opening;
        }
        if (*p == '>') {
            opening.stop = p + 1;
            return opening;
        }
        if (attribute == std::size(attributeStarts) ||
            between(p, end).substr(0, attributeStarts[attribute].size()) != attributeStarts[attribute]) {
            opening.state = *p == ' ' ? Opening::unknownAttribute : Opening::noEnd;
            return opening;
        }
        const char* const value = p + attributeStarts[attribute].size();
        const void* const quote = std::memchr(value, '"', static_cast<size_t>(end - value));
        if (quote == nullptr) {
            opening.stop = value;
            opening.state = Opening::unterminatedValue;
            return opening;
        }
        p = static_cast<const char*>(quote);
        *values[attribute] = between(value, p);
        ++p;
    }
}

constexpr size_t closingExtra = 4; // "</", ">" and the line feed around the tag

// Whether "</tag>\n" stands at @p at, within [at, end).
bool isClosingText(const char* at, const char* end, std::string_view tag) {
    const size_t tagLength = tag.size();
    return static_cast<size_t>(end - at) >= tagLength + closingExtra && at[0] == '<' && at[1] == '/' &&
           std::memcmp(at + 2, tag.data(), tagLength) == 0 && at[tagLength + 2] == '>' && at[tagLength + 3] == '\n';
}

// The first "</tag>\n" in [from, end), or null.
const char* findClosingText(const char* from, const char* end, std::string_view tag) {
    // A value seldom holds "<", so the first candidate is nearly always the
    // closing text. Values full of "<" go to memmem, which keeps the search
    // linear however the candidates fail.
    constexpr int candidatesTried = 4;
    for (int tried = 0; tried < candidatesTried; ++tried) {
        const void* const candidate = std::memchr(from, '<', static_cast<size_t>(end - from));
        if (candidate == nullptr) {
            return nullptr;
        }
        from = static_cast<const char*>(candidate);
        if (isClosingText(from, end, tag)) {
            return from;
        }
        ++from;
    }
    std::string closing;
    closing.reserve(tag.size() + closingExtra);
    closing.append("</").append(tag).append(">\n");
    return static_cast<const char*>(memmem(from, static_cast<size_t>(end - from), closing.data(), closing.size()));
}

// Moves the marker past the element whose value ends at @p valueEnd and fills
// @p element; false, changing nothing, when the buffer refuses the marker.
bool take(ZELTBuffer& in, const Unread& unread, const OpeningTag& opening, const char* valueEnd, ZELTElement& element) {
    const char* const next = valueEnd + opening.tag.size() + closingExtra;
    if (!in.setMarkerPos(next - unread.text)) {
        return false;
    }
    element.tag = opening.tag;
    element.name = opening.name;
    element.idx = opening.idx;
    element.value = between(opening.stop, valueEnd);
    element.offset = unread.at - unread.text;
    return true;
}

// --- Explaining refusals ---

// How much of the text, and of a caller's tag, a message shows.
constexpr size_t excerptLength = 24;
constexpr size_t tagShownLength = 64;

// @p text as a C string literal would hold it; a quote is escaped only when
// the text stands in quotes.
std::string escaped(std::string_view text, bool quoted) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\\' || (quoted && c == '"')) {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

// The first @p limit bytes of @p text, escaped, and "..." when that is not all.
std::string shortened(std::string_view text, size_t limit, bool quoted = false) {
    std::string out = escaped(text.substr(0, limit), quoted);
    if (quoted) {
        out = '"' + out + '"';
    }
    return text.size() > limit ? out + "..." : out;
}

std::string shownTag(std::string_view tag) { return shortened(tag, tagShownLength); }

// The opening tag found at the marker, or the start of the text when no ">"
// ends it soon.
std::string foundTag(const Unread& unread) {
    std::string_view found = between(unread.at, unread.end);
    const size_t close = found.find('>');
    if (close < excerptLength) {
        found = found.substr(0, close + 1);
    }
    return shortened(found, excerptLength);
}

std::string textBefore(const Unread& unread) {
    return "text before an element: " + shortened(between(unread.at, unread.end), excerptLength, true);
}

// A refusal at the marker: its position, and @p detail after "line L, column C: ".
ZELTReadError refusal(const Unread& unread, ZELTReadError::Reason reason, const std::string& detail) {
    ZELTReadError error;
    error.reason = reason;
    error.offset = unread.offset;
    if (unread.text != nullptr) {
        const std::string_view before(unread.text, static_cast<size_t>(unread.offset));
        error.line = 1 + static_cast<long>(std::count(before.begin(), before.end(), '\n'));
        const size_t lineFeed = before.rfind('\n');
        error.column = unread.offset - (lineFeed == std::string_view::npos ? -1 : static_cast<long>(lineFeed));
    }
    error.message = "line " + std::to_string(error.line) + ", column " + std::to_string(error.column) + ": " + detail;
    return error;
}

std::string noClosingText(std::string_view tag) { return "no </" + shownTag(tag) + "> and line feed follows"; }

// Why the opening tag at the marker is not one of the three written forms.
ZELTReadError explainOpening(const Unread& unread, const OpeningTag& opening) {
    if (opening.state == Opening::endOfText) {
        return refusal(unread, ZELTReadError::endOfText, "end of text where an element was expected");
    }
    if (opening.state == Opening::notAnElement) {
        return refusal(unread, ZELTReadError::notAnElement, textBefore(unread));
    }
    std::string detail = "after " + shortened(between(unread.at, opening.stop), excerptLength) + ": ";
    if (opening.state == Opening::noEnd) {
        detail += "no \">\" ends the opening tag";
    } else if (opening.state == Opening::unterminatedValue) {
        detail += "unterminated attribute value";
    } else {
        detail += "unknown attribute";
        // Right after the tag, the space more likely belongs to the tag itself.
        if (opening.stop == opening.tag.data() + opening.tag.size()) {
            detail += " (a tag cannot hold a space or '>')";
        }
    }
    return refusal(unread, ZELTReadError::attributes, detail);
}

} // namespace

bool scanElement(ZELTBuffer& in, ZELTElement& element) {
    const Unread unread = unreadOf(in);
    const OpeningTag opening = parseOpening(unread.at, unread.end);
    if (opening.state != Opening::ok) {
        return false;
    }
    const char* const closing = findClosingText(opening.stop, unread.end, opening.tag);
    return closing != nullptr && take(in, unread, opening, closing, element);
}

bool scanBytes(ZELTBuffer& in, long length, ZELTElement& element) {
    const Unread unread = unreadOf(in);
    const OpeningTag opening = parseOpening(unread.at, unread.end);
    if (opening.state != Opening::ok || length < 0 || length > unread.end - opening.stop) {
        return false;
    }
    const char* const closing = opening.stop + length;
    return isClosingText(closing, unread.end, opening.tag) && take(in, unread, opening, closing, element);
}

std::string_view ZELTReadError::detail() const {
    const std::string_view text(message);
    const size_t prefixEnd = text.find(": ");
    if (text.compare(0, 5, "line ") != 0 || prefixEnd == std::string_view::npos) {
        return text;
    }
    return text.substr(prefixEnd + 2);
}

ZELTReadError explainRead(const char* name, const ZELTBuffer& in) {
    const Unread unread = unreadOf(in);
    if (name == nullptr) {
        return refusal(unread, ZELTReadError::otherTag, "no tag given (the name is null)");
    }
    const std::string_view tag(name);
    const std::string expected = "<" + shownTag(tag) + ">";
    if (unread.at == unread.end) {
        return refusal(unread, ZELTReadError::endOfText, "end of text where " + expected + " was expected");
    }
    if (*unread.at != '<') {
        return refusal(unread, ZELTReadError::notAnElement,
                       textBefore(unread) + " where " + expected + " was expected");
    }
    // The typed readers compare "<", the tag and ">" and do not parse further.
    const auto remaining = static_cast<size_t>(unread.end - unread.at);
    const bool sameTag = remaining > tag.size() && std::memcmp(unread.at + 1, tag.data(), tag.size()) == 0;
    const char after = sameTag && remaining > tag.size() + 1 ? unread.at[tag.size() + 1] : '\0';
    if (after == ' ') {
        return refusal(unread, ZELTReadError::attributes, expected + " carries attributes");
    }
    if (after != '>') {
        return refusal(unread, ZELTReadError::otherTag, "expected " + expected + ", found " + foundTag(unread));
    }
    // They search the text up to its first NUL, from the opening tag on, and
    // take the first closing text found.
    const void* const nul = std::memchr(unread.at, '\0', remaining);
    const size_t searched = nul == nullptr ? remaining : static_cast<size_t>(static_cast<const char*>(nul) - unread.at);
    const char* const limit = unread.at + searched;
    const char* const closing = findClosingText(unread.at, limit, tag);
    if (closing == nullptr || closing < unread.at + tag.size() + 2) {
        std::string detail = noClosingText(tag);
        if (limit < unread.end) {
            detail += " before the NUL byte at offset " + std::to_string(limit - unread.text);
        }
        return refusal(unread, ZELTReadError::noClosingText, detail);
    }
    return {};
}

ZELTReadError explainScan(const ZELTBuffer& in) {
    const Unread unread = unreadOf(in);
    const OpeningTag opening = parseOpening(unread.at, unread.end);
    if (opening.state != Opening::ok) {
        return explainOpening(unread, opening);
    }
    if (findClosingText(opening.stop, unread.end, opening.tag) == nullptr) {
        return refusal(unread, ZELTReadError::noClosingText, noClosingText(opening.tag));
    }
    return {};
}

} // namespace ZELT
