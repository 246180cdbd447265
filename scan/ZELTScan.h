#ifndef ZELT_SCAN_H
#define ZELT_SCAN_H

#include <string>
#include <string_view>

#include "ZELTBuffer.h"

namespace ZELT {

/// One element found at a buffer's read marker by scanElement or scanBytes.
/// The views point into the buffer's content and stay valid until the
/// content changes.
struct ZELTElement {
    std::string_view tag, name, idx, value; // views into the buffer's content; name/idx empty when absent
    long offset = 0;                        // where the element's "<" stands in the content
};

/// Reads the element at @p in's marker whatever its tag, in the three forms
/// the writers produce: `<tag>`, `<tag Name="...">` and `<tag Name="..."
/// Idx="...">`. The tag runs to the first space or `>`, an attribute value to
/// the next `"`, and the value to the first `</tag>` and line feed after the
/// opening tag, searched within the content by its size (NUL bytes included).
/// On success fills @p element and moves the marker just past the line feed;
/// otherwise returns false and changes neither. explainScan says why.
ZELT_API bool scanElement(ZELTBuffer& in, ZELTElement& element);

/// Reads up to @p count elements one after the other into @p elements (room
/// for @p count), as that many calls of scanElement would; returns how many
/// it read, fewer than @p count when scanElement refuses the next (0 when it
/// refuses the first). The marker moves past those read. Many elements at
/// once cost less than a call for each: the quickest way to read a text through.
ZELT_API long scanElements(ZELTBuffer& in, ZELTElement* elements, long count);

/// Reads a raw-byte element of exactly @p length value bytes (which may hold
/// NUL, `<` and the closing text itself): the opening tag as scanElement
/// takes it, the bytes, then `</tag>` and a line feed right after them.
/// Refusals as scanElement, and for a negative @p length.
ZELT_API bool scanBytes(ZELTBuffer& in, long length, ZELTElement& element);

/// Why a read at a buffer's marker was refused. A default-made one (reason
/// none) stands for a read that succeeds.
struct ZELT_API ZELTReadError {
    enum Reason { none, endOfText, notAnElement, otherTag, attributes, noClosingText };
    Reason reason = none;
    long offset = 0, line = 1, column = 1; // where the refused element should begin; line and column count from 1
    std::string message;                   // one line a person can act on: "line 12, column 1: expected <count>, ..."

    /// The message without its "line L, column C: " prefix, for callers that
    /// show the position their own way (`FILE:LINE:COLUMN: detail`).
    std::string_view detail() const;
};

/// What a typed reader of @p name would do at @p in's marker, changing
/// nothing: reason none exactly when it would read the element (the other
/// members then keep their defaults); otherwise the reason, the marker's
/// offset, line and column, and a message showing a short, escaped excerpt of
/// what was found. A null @p name, which every reader refuses, gives otherTag.
/// Counting lines costs time proportional to the offset, and only on refusal.
ZELT_API ZELTReadError explainRead(const char* name, const ZELTBuffer& in);

/// Why scanElement would refuse the element at the marker (reason none when
/// it would read it), as explainRead reports: endOfText, notAnElement,
/// attributes (an opening tag that is none of the three forms: an unknown or
/// unterminated attribute, no `>`) or noClosingText.
ZELT_API ZELTReadError explainScan(const ZELTBuffer& in);

/// Whether text appended to @p in could let scanElement read the element at
/// its marker, which it refuses now: true when the unread text is empty, or
/// ends within an opening tag of one of the three forms or before the closing
/// text, as at the end of a window onto a longer text (see ZELTFileReader);
/// false when scanElement reads the element, or refuses it whatever follows.
ZELT_API bool scanNeedsMore(const ZELTBuffer& in);

} // namespace ZELT

#endif
