#include "convert.h"

#include <unistd.h>

#include "diagnostics.h"
#include "elements.h"
#include "input.h"

namespace zelt_tool {

Status convert(const char* path, ElementWriter& writer) {
    ZELT::ZELTBuffer in;
    if (!loadInput(path, in)) {
        return failure;
    }
    Output out(STDOUT_FILENO);
    LineCounter lines(in.getBufferString());
    writer.begin(out);
    const ZELT::ZELTReadError error = readElements(in, [&](const ZELT::ZELTElement& element) {
        writer.element(out, element, lines.lineAt(element.offset));
        return !out.stopped();
    });
    writer.end(out);
    if (finishOutput(out) == failure) {
        return failure;
    }
    if (error.reason != ZELT::ZELTReadError::none) {
        reportReadError(path, error);
        return badText;
    }
    return good;
}

} // namespace zelt_tool
