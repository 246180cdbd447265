#ifndef ZELT_TOOL_INPUT_H
#define ZELT_TOOL_INPUT_H

#include "ZELTBuffer.h"

namespace zelt_tool {

/// Loads the file at @p path, or standard input for "-", into @p in, marker
/// at 0. On failure prints `zelt: FILE: reason` to standard error and
/// returns false.
bool loadInput(const char* path, ZELT::ZELTBuffer& in);

/// How diagnostics name @p path: "<stdin>" for "-".
const char* displayName(const char* path);

} // namespace zelt_tool

#endif
