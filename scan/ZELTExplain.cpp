#include "ZELTScan.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "ZELTClosingText.h"
#include "ZELTScanText.h"

namespace ZELT {

using namespace scanning;

namespace {

// How much of the text, and of a caller's tag, a message shows.
constexpr size_t excerptLength = 24;
constexpr size_t tagShownLength = 64;

// @p text as a C string literal would hold it; a quote is escaped only when
// the text stands in quotes.
std::string escaped(std::string_view text, bool quoted) {
    static constexpr char hex[] = "0123456789abcdef"; // lower case, as the zelt program writes bytes
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

// Text where an element should begin: blank text to the end (an editor's
// last line ends, spaces) is named as such, being harmless to remove.
std::string textBefore(const Unread& unread) {
    const std::string_view text = between(unread.at, unread.end);
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return "blank text after the last element";
    }
    return "text before an element: " + shortened(text, excerptLength, true);
}

// A refusal at the marker: its position, and @p detail after "line L, column C: ".
ZELTReadError refusal(const Unread& unread, ZELTReadError::Reason reason, const std::string& detail) {
    ZELTReadError error;
    error.reason = reason;
    error.offset = unread.offset;
    if (unread.text != nullptr) {
        linePosition(unread.text, unread.offset, error.line, error.column);
    }
    error.message = positionPrefix(error.line, error.column) + detail;
    return error;
}

// Why no closing text of @p tag follows in [from, end), @p where saying where
// the search stopped; a text whose lines end with a carriage return and a line
// feed has the closing text but for it.
std::string noClosingText(std::string_view tag, const char* from, const char* end, const std::string& where = {}) {
    std::string detail = "no </" + shownTag(tag) + "> and line feed follows" + where;
    std::string crlfClosing;
    crlfClosing.append("</").append(tag).append(">\r\n");
    if (memmem(from, static_cast<size_t>(end - from), crlfClosing.data(), crlfClosing.size()) != nullptr) {
        detail += " (a CRLF line end?)";
    }
    return detail;
}

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

namespace scanning {

std::string shortened(std::string_view text, size_t limit, bool quoted) {
    std::string out = escaped(text.substr(0, limit), quoted);
    if (quoted) {
        out = '"' + out + '"';
    }
    return text.size() > limit ? out + "..." : out;
}

void linePosition(const char* text, long offset, long& line, long& column) {
    const std::string_view before(text, static_cast<size_t>(offset));
    line = 1 + static_cast<long>(std::count(before.begin(), before.end(), '\n'));
    const size_t lineFeed = before.rfind('\n');
    column = offset - (lineFeed == std::string_view::npos ? -1 : static_cast<long>(lineFeed));
}

std::string positionPrefix(long line, long column) {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

} // namespace scanning

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
    const char* const closing = closingText::find(unread.at, limit, tag);
    if (closing == nullptr || closing < unread.at + tag.size() + 2) {
        const std::string where =
            limit < unread.end ? " before the NUL byte at offset " + std::to_string(limit - unread.text) : "";
        return refusal(unread, ZELTReadError::noClosingText, noClosingText(tag, unread.at, limit, where));
    }
    return {};
}

ZELTReadError explainScan(const ZELTBuffer& in) {
    const AtMarker at(in);
    if (!at.opens) {
        return explainOpening(at.unread, at.opening);
    }
    if (at.closing() == nullptr) {
        return refusal(at.unread, ZELTReadError::noClosingText,
                       noClosingText(at.opening.tag, at.opening.stop, at.unread.end));
    }
    return {};
}

} // namespace ZELT
