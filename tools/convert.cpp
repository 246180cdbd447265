#include "convert.h"

#include <unistd.h>

#include "diagnostics.h"
#include "input.h"

namespace zelt_tool {

Status convert(const char* path, ElementWriter& writer) {
    Input input(path);
    if (!input.ok()) {
        return failure;
    }
    Output out(STDOUT_FILENO);
    writer.begin(out);
    const bool numbersLines = writer.numbersLines();
    const Status status = input.forEach([&](const ZELT::ZELTElement& element) {
        writer.element(out, element, numbersLines ? input.lineOf(element) : 0);
        return !out.stopped();
    });
    writer.end(out);
    return finishOutput(out) == failure ? failure : status;
}

} // namespace zelt_tool
