#ifndef ZELT_TOOL_INPUT_H
#define ZELT_TOOL_INPUT_H

#include "ZELTBuffer.h"
#include "ZELTFile.h"
#include "ZELTScan.h"
#include "commands.h"
#include "lines.h"

namespace zelt_tool {

/// Whether a command looks at the elements' values, or only needs to know
/// where each element ends.
enum class Values { shown, skipped };

/// The text of one file, or of standard input for "-", read a window at a
/// time with ZELTFileReader, and the elements in it. Memory holds the window
/// and at most about twice the largest element, whatever the size of the
/// text; when values are skipped, a few windows, whatever the elements.
class Input {
public:
    /// Opens @p path and reads the first window. On failure prints
    /// `zelt: FILE: reason` to standard error, and ok() is false. With
    /// Values::skipped, an element longer than a few windows is not handed to
    /// the visit: only its end is searched for, and its bytes are let go.
    explicit Input(const char* path, Values values = Values::shown);
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    bool ok() const { return !failed; }

    /// Hands each element to @p visit (bool(const ZELTElement&), its offset
    /// counted in the whole text) until the text ends or visit returns false:
    /// good. An element that cannot be read is reported as check does
    /// (`FILE:LINE:COLUMN: reason`): badText. A read error is reported as
    /// `zelt: FILE: reason`: failure.
    template <typename Visit>
    Status forEach(Visit visit) {
        // Many elements a call: one call for each would cost a third more.
        constexpr long batchSize = 64;
        ZELT::ZELTElement batch[batchSize];
        for (;;) {
            for (;;) {
                const long begin = in.getMarkerPos();
                const long read = ZELT::scanElements(in, batch, batchSize);
                if (read == 0) {
                    break;
                }
                current = Batch{begin, in.getMarkerPos(), read};
                for (long i = 0; i < read; ++i) {
                    batch[i].offset += windowStart;
                    current.index = i;
                    if (!visit(static_cast<const ZELT::ZELTElement&>(batch[i]))) {
                        return good;
                    }
                }
            }
            // Refused at the window's end: the rest of the element may follow.
            if (reader.atEnd() || !ZELT::scanNeedsMore(in)) {
                return refused();
            }
            if (skipsLongElement()) {
                if (const Status skipped = skipElement(); skipped != good) {
                    return skipped;
                }
            } else if (!fill() && failed) {
                return failure;
            }
        }
    }

    /// The line (from 1) where @p element, just handed to a visit, begins.
    /// Ask in the order of the elements.
    long lineOf(const ZELT::ZELTElement& element) {
        if (!current.counted) {
            countBatch();
        }
        return current.oneLineEach ? current.firstLine + current.index
                                   : lines.lineAt(in.getBufferString(), element.offset - windowStart);
    }

private:
    // Drops what was read and appends the next window; false at the end of
    // the text or on failure (reported, failed set).
    bool fill();
    // good when the whole text was read, otherwise reports why the element at
    // the marker cannot be read and gives badText.
    Status refused();
    // Whether the window holds only line feeds and blanks past the marker.
    bool blankToTheWindowsEnd() const;
    // Whether the element at the marker, which the window cuts, is to be
    // skipped: values are and it is longer than a few windows.
    bool skipsLongElement() const;
    // Reads past the element at the marker, holding only its opening tag and
    // the last bytes read, where its closing text may begin: good with the
    // marker past it (or, when its opening tag is not complete yet, after one
    // more fill); otherwise reports it as refused() does.
    Status skipElement();

    // The elements read by one call of scanElements, one after the other
    // from begin to end in the window, and the one being visited.
    struct Batch {
        long begin = 0, end = 0, count = 0;
        long index = 0;
        bool counted = false;     // countBatch has run
        bool oneLineEach = false; // no element holds a line feed but its last byte
        long firstLine = 0;
    };
    // Counts the batch's line feeds at once: as many as elements (each ends
    // with one) number them without counting before each.
    void countBatch();

    const char* path;
    Values values;
    ZELT::ZELTFileReader reader;
    ZELT::ZELTBuffer in;
    LineCounter lines;
    Batch current;
    long windowStart = 0; // where the window's first byte stands in the text
    bool failed = false;
};

} // namespace zelt_tool

#endif
