#ifndef ZELT_TOOL_ELEMENTS_H
#define ZELT_TOOL_ELEMENTS_H

#include <algorithm>

#include "ZELTBuffer.h"
#include "ZELTScan.h"

namespace zelt_tool {

/// Reads the elements of @p in from its marker on with scanElement, handing
/// each to @p visit until visit returns false. Returns why the first element
/// that cannot be read was refused, or reason none when reading reached the
/// end of the text or visit stopped it.
template <typename Visit>
ZELT::ZELTReadError readElements(ZELT::ZELTBuffer& in, Visit visit) {
    ZELT::ZELTElement element;
    while (in.getMarkerPos() < in.getBufferSize()) {
        if (!ZELT::scanElement(in, element)) {
            return ZELT::explainScan(in);
        }
        if (!visit(element)) {
            break;
        }
    }
    return {};
}

/// Line numbers (from 1) of offsets that never decrease in one text; each
/// call counts line feeds only since the offset before.
class LineCounter {
public:
    explicit LineCounter(const char* text) : text(text) {}

    long lineAt(long offset) {
        line += std::count(text + counted, text + offset, '\n');
        counted = offset;
        return line;
    }

private:
    const char* text;
    long counted = 0;
    long line = 1;
};

} // namespace zelt_tool

#endif
