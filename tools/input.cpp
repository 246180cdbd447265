#include "input.h"

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

bool isStandardInput(const char* path) { return std::strcmp(path, "-") == 0; }

ZELT::ZELTFileReader openReader(const char* path) {
    return isStandardInput(path) ? ZELT::ZELTFileReader(STDIN_FILENO, displayName(path)) : ZELT::ZELTFileReader(path);
}

} // namespace

const char* displayName(const char* path) { return isStandardInput(path) ? "<stdin>" : path; }

Input::Input(const char* path) : path(path), reader(openReader(path)) { fill(); }

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

bool Input::blankToTheWindowsEnd() const {
    const std::string_view unread(in.getBufferString() + in.getMarkerPos(),
                                  static_cast<size_t>(in.getBufferSize() - in.getMarkerPos()));
    return unread.find_first_not_of(" \t\r\n") == std::string_view::npos;
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
