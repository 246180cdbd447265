#include "diagnostics.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace zelt_tool {

bool isStandardInput(const char* path) { return std::strcmp(path, "-") == 0; }

const char* displayName(const char* path) { return isStandardInput(path) ? "<stdin>" : path; }

void complain(std::string_view message) {
    const std::string line = std::string(message) + '\n';
    // Nothing is left to tell a failure to standard error to.
    (void)std::fwrite(line.data(), 1, line.size(), stderr);
}

void reportReadError(const char* path, const ZELT::ZELTReadError& error) {
    complain(std::string(displayName(path)) + ':' + std::to_string(error.line) + ':' + std::to_string(error.column) +
             ": " + std::string(error.detail()));
}

Status finishOutput(Output& out) {
    out.flush();
    if (out.error() != 0) {
        complain(std::string("zelt: write error: ") + std::strerror(out.error()));
        return failure;
    }
    return good;
}

} // namespace zelt_tool
