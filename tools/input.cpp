#include "input.h"

#include <cstring>
#include <string>

#include <unistd.h>

#include "ZELTFile.h"
#include "diagnostics.h"

namespace zelt_tool {

const char* displayName(const char* path) { return std::strcmp(path, "-") == 0 ? "<stdin>" : path; }

bool loadInput(const char* path, ZELT::ZELTBuffer& in) {
    std::string error;
    // The reasons name the file: "data.txt: cannot open: No such file or directory".
    const bool loaded = std::strcmp(path, "-") == 0 ? ZELT::loadDescriptor(STDIN_FILENO, displayName(path), in, &error)
                                                    : ZELT::loadFile(path, in, &error);
    if (!loaded) {
        complain("zelt: " + error);
    }
    return loaded;
}

} // namespace zelt_tool
