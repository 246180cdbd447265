#include "input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include <unistd.h>

#include "diagnostics.h"

namespace zelt_tool {

namespace {

// Bytes read at a time: enough to make a read's cost small against the
// scanning of what it brings, little enough to stay in the processor's cache.
constexpr long window = 1L << 16;
// More than a diagnostic shows of the text after an element that cannot be
// read, so that the excerpt never ends early with the window.
constexpr long excerptRoom = 256;
// Elements longer than this are skipped when values are: a few windows.
constexpr long longElement = 4 * window;

std::string_view unreadOf(const ZELT::ZELTBuffer& in) {
    return {in.getBufferString() + in.getMarkerPos(), static_cast<size_t>(in.getBufferSize() - in.getMarkerPos())};
}

// The opening tag of the element at @p text's start, of which no closing text
// follows in @p text, and its tag; false when @p text ends within the opening
// tag. The scanner decides, on the text with the closing text put after it.
bool findOpening(std::string_view text, std::string& opening, std::string& tag) {
    const size_t tagEnd = text.find_first_of(" >", 1);
    if (tagEnd == std::string_view::npos) {
        return false;
    }
    ZELT::ZELTBuffer probe;
    const std::string closing = "</" + std::string(text.substr(1, tagEnd - 1)) + ">\n";
    probe.setBufferString(text.data(), static_cast<long>(text.size()));
    probe.appendBufferString(closing.data(), static_cast<long>(closing.size()));
    // Read to the closing text put there, unless the text ends within an attribute.
    ZELT::ZELTElement element;
    const char* const end = probe.getBufferString() + probe.getBufferSize();
    if (!ZELT::scanElement(probe, element) || element.value.data() + element.value.size() + closing.size() != end) {
        return false;
    }
    opening.assign(text.data(), static_cast<size_t>(element.value.data() - probe.getBufferString()));
    tag.assign(element.tag);
    return true;
}

// Where @p part first stands in @p text, or npos: by memmem, linear in any text.
size_t find(std::string_view text, const std::string& part) {
    const void* const found = memmem(text.data(), text.size(), part.data(), part.size());
    return found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - text.data()) : std::string_view::npos;
}

ZELT::ZELTFileReader openReader(const char* path) {
    return isStandardInput(path) ? ZELT::ZELTFileReader(STDIN_FILENO, displayName(path)) : ZELT::ZELTFileReader(path);
}

} // namespace

Input::Input(const char* path, Values values) : path(path), values(values), reader(openReader(path)) { fill(); }

bool Input::fill() {
    const char* const text = in.getBufferString();
    lines.drop(text, in.getMarkerPos());
    std::string error;
    try {
        // The reasons name the file: "data.txt: cannot read: Is a directory".
        const bool filled = reader.fill(in, window, &error);
        windowStart = reader.consumed();
        if (filled) {
            return true;
        }
    } catch (const std::bad_alloc&) {
        // An element larger than the memory the program may have: the other files may still fit.
        error = std::string(displayName(path)) + ": " + std::strerror(ENOMEM);
    }
    if (!reader.atEnd()) {
        complain("zelt: " + error);
        failed = true;
    }
    return false;
}

bool Input::blankToTheWindowsEnd() const { return unreadOf(in).find_first_not_of(" \t\r\n") == std::string_view::npos; }

bool Input::skipsLongElement() const {
    return values == Values::skipped && in.getBufferSize() - in.getMarkerPos() > longElement;
}

Status Input::skipElement() {
    std::string opening, tag;
    if (!findOpening(unreadOf(in), opening, tag)) {
        return fill() || !failed ? good : failure;
    }
    const long line = lines.lineAt(in.getBufferString(), in.getMarkerPos());
    const long offset = windowStart + in.getMarkerPos();
    const std::string closing = "</" + tag + ">\n";
    const std::string crlfClosing = "</" + tag + ">\r\n";
    bool crlf = false;
    long from = in.getMarkerPos() + static_cast<long>(opening.size());
    for (;;) {
        const std::string_view unread = unreadOf(in);
        const std::string_view searched = unread.substr(static_cast<size_t>(from - in.getMarkerPos()));
        if (const size_t found = find(searched, closing); found != std::string_view::npos) {
            in.setMarkerPos(from + static_cast<long>(found + closing.size()));
            return good;
        }
        crlf = crlf || find(searched, crlfClosing) != std::string_view::npos;
        if (reader.atEnd()) {
            break;
        }
        // Only the last bytes may begin a closing text that the next ones end.
        from = std::max(from, in.getBufferSize() - static_cast<long>(closing.size()));
        in.setMarkerPos(from);
        if (!fill() && failed) {
            return failure;
        }
        from = in.getMarkerPos();
    }
    // Explained as the whole element would be: by its opening tag, and by a
    // closing text with a carriage return, when one was found.
    const std::string shown = crlf ? opening + crlfClosing : opening;
    ZELT::ZELTBuffer element;
    element.setBufferString(shown.data(), static_cast<long>(shown.size()));
    ZELT::ZELTReadError error = ZELT::explainScan(element);
    error.line = line;
    error.offset = offset;
    reportReadError(path, error);
    return badText;
}

void Input::countBatch() {
    const char* const text = in.getBufferString();
    current.counted = true;
    current.firstLine = lines.lineAt(text, current.begin);
    current.oneLineEach = countLineFeeds(text + current.begin, text + current.end) == current.count;
    if (current.oneLineEach) {
        lines.skip(current.end, current.count);
    }
}

Status Input::refused() {
    if (in.getMarkerPos() == in.getBufferSize()) {
        return good;
    }
    // The excerpt needs some text past the marker, and text is blank to the
    // end (as explainScan names it) only when no other byte follows.
    while (!reader.atEnd() && (in.getBufferSize() - in.getMarkerPos() < excerptRoom || blankToTheWindowsEnd()) &&
           fill()) {
    }
    ZELT::ZELTReadError error = ZELT::explainScan(in);
    // The window starts where an element ended, after a line feed, so only
    // the line and the offset move with it, not the column.
    error.line += lines.firstLine() - 1;
    error.offset += windowStart;
    reportReadError(path, error);
    return failed ? failure : badText;
}

} // namespace zelt_tool
