#include "input.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include <unistd.h>

#include "ZELTFile.h"

namespace zelt_tool {

const char* displayName(const char* path) { return std::strcmp(path, "-") == 0 ? "<stdin>" : path; }

bool loadInput(const char* path, ZELT::ZELTBuffer& in) {
    std::string error;
    // The reasons name the file: "data.txt: cannot open: No such file or directory".
    const bool loaded = std::strcmp(path, "-") == 0 ? ZELT::loadDescriptor(STDIN_FILENO, displayName(path), in, &error)
                                                    : ZELT::loadFile(path, in, &error);
    if (!loaded) {
        std::fprintf(stderr, "zelt: %s\n", error.c_str());
    }
    return loaded;
}

void reportReadError(const char* path, const ZELT::ZELTReadError& error) {
    const std::string_view detail = error.detail();
    std::fprintf(stderr, "%s:%ld:%ld: %.*s\n", displayName(path), error.line, error.column,
                 static_cast<int>(detail.size()), detail.data());
}

} // namespace zelt_tool
