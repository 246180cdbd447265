#ifndef ZELT_TOOL_LINES_H
#define ZELT_TOOL_LINES_H

namespace zelt_tool {

/// The number of line feeds in [begin, end).
long countLineFeeds(const char* begin, const char* end);

/// Line numbers (from 1) in a text read a window at a time. Offsets asked for
/// never decrease within a window; each call counts line feeds only since the
/// one before, so the whole text is counted once.
class LineCounter {
public:
    /// The line of the byte at @p offset of the window that starts at @p text.
    long lineAt(const char* text, long offset) {
        line += countLineFeeds(text + counted, text + offset);
        counted = offset;
        return line;
    }
    /// The window's first @p length bytes are dropped: what of them was not
    /// counted yet is counted now, and offsets start again at the window's start.
    void drop(const char* text, long length) {
        lineAt(text, length);
        counted = 0;
        first = line;
    }
    /// The line of the window's first byte.
    long firstLine() const { return first; }

private:
    long counted = 0;
    long line = 1;
    long first = 1;
};

} // namespace zelt_tool

#endif
