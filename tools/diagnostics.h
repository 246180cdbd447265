#ifndef ZELT_TOOL_DIAGNOSTICS_H
#define ZELT_TOOL_DIAGNOSTICS_H

#include <string_view>

#include "ZELTScan.h"
#include "commands.h"
#include "output.h"

namespace zelt_tool {

/// Whether @p path stands for standard input ("-").
bool isStandardInput(const char* path);

/// How diagnostics name @p path: "<stdin>" for "-".
const char* displayName(const char* path);

/// Prints @p message and a line feed to standard error.
void complain(std::string_view message);

/// Prints @p error as `FILE:LINE:COLUMN: reason` to standard error, the
/// position where the element that cannot be read begins.
void reportReadError(const char* path, const ZELT::ZELTReadError& error);

/// Writes out what @p out still holds. A failed write is reported as
/// `zelt: write error: reason` and gives failure; a reader that went away is
/// no failure.
Status finishOutput(Output& out);

} // namespace zelt_tool

#endif
