#include <algorithm>

#include "commands.h"
#include "input.h"

namespace zelt_tool {

Status runCheck(const std::vector<const char*>& paths) {
    Status worst = good;
    for (const char* path : paths) {
        Input input(path, Values::skipped);
        const Status status = input.ok() ? input.forEach([](const ZELT::ZELTElement&) { return true; }) : failure;
        worst = std::max(worst, status);
    }
    return worst;
}

} // namespace zelt_tool
