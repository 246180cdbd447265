#include <algorithm>

#include "commands.h"
#include "diagnostics.h"
#include "elements.h"
#include "input.h"

namespace zelt_tool {

Status runCheck(const std::vector<const char*>& paths) {
    Status worst = good;
    for (const char* path : paths) {
        ZELT::ZELTBuffer in;
        Status status = failure;
        if (loadInput(path, in)) {
            const ZELT::ZELTReadError error = readElements(in, [](const ZELT::ZELTElement&) { return true; });
            status = error.reason == ZELT::ZELTReadError::none ? good : badText;
            if (status == badText) {
                reportReadError(path, error);
            }
        }
        worst = std::max(worst, status);
    }
    return worst;
}

} // namespace zelt_tool
