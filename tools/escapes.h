#ifndef ZELT_TOOL_ESCAPES_H
#define ZELT_TOOL_ESCAPES_H

#include <string_view>

#include "output.h"

namespace zelt_tool {

/// A field of `zelt list`: printable UTF-8 as it is; tab, line feed, carriage
/// return and backslash as \t, \n, \r and \\; every other byte that is not
/// printable UTF-8 (C0 and C1 controls, DEL, bytes outside well-formed UTF-8)
/// as \xHH, one per byte. The result never holds a tab or a line feed.
void writeListField(Output& out, std::string_view text);

/// A JSON string, quotes included. Well-formed UTF-8 stands as it is, but for
/// `"` and `\`, the C0 controls (\n, \r, \t, else \u00XX) and the line breaks
/// U+0085, U+2028 and U+2029 (\uXXXX, so no line splitter cuts a record). A
/// byte outside well-formed UTF-8 becomes the lone surrogate \udcXX (XX the
/// byte, 80 to ff), the "surrogateescape" mapping: well-formed UTF-8 never
/// holds a surrogate, so the bytes can be told apart and restored.
void writeJsonString(Output& out, std::string_view text);

/// Whether XML 1.0 can carry @p text, escaped, as character data or an
/// attribute value: well-formed UTF-8 holding only characters XML allows
/// (tab, line feed, carriage return, U+0020 to U+D7FF, U+E000 to U+FFFD and
/// U+10000 up).
bool xmlCanCarry(std::string_view text);

/// XML character data for a text xmlCanCarry accepts: & < > as entities, a
/// carriage return as &#13; (a parser would turn a literal one into a line
/// feed). What it writes for other texts is not XML.
void writeXmlText(Output& out, std::string_view text);

/// An XML attribute value, without its quotes, for a text xmlCanCarry
/// accepts: writeXmlText's escapes, `"` as &quot;, and tab and line feed as
/// &#9; and &#10; (a parser would turn literal ones into spaces).
void writeXmlAttribute(Output& out, std::string_view text);

} // namespace zelt_tool

#endif
