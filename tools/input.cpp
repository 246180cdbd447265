#include "input.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include <unistd.h>

#include "ZELTFile.h"
#include "diagnostics.h"

namespace zelt_tool {

const char* displayName(const char* path) { return std::strcmp(path, "-") == 0 ? "<stdin>" : path; }

bool loadInput(const char* path, ZELT::ZELTBuffer& in) {
    std::string error;
    bool loaded = false;
    try {
        // The reasons name the file: "data.txt: cannot open: No such file or directory".
        loaded = std::strcmp(path, "-") == 0 ? ZELT::loadDescriptor(STDIN_FILENO, displayName(path), in, &error)
                                             : ZELT::loadFile(path, in, &error);
    } catch (const std::bad_alloc&) {
        // A text larger than the memory the program may have: the other files may still fit.
        error = std::string(displayName(path)) + ": " + std::strerror(ENOMEM);
    }
    if (!loaded) {
        complain("zelt: " + error);
    }
    return loaded;
}

} // namespace zelt_tool
