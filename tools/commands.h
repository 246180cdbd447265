#ifndef ZELT_TOOL_COMMANDS_H
#define ZELT_TOOL_COMMANDS_H

#include <vector>

namespace zelt_tool {

/// Exit statuses: every text good; a text holds an element that cannot be
/// read; a usage error, a file that cannot be read or output that cannot be
/// written.
enum Status { good = 0, badText = 1, failure = 2 };

/// `zelt check`: reports the first element that cannot be read in each of
/// @p paths as `FILE:LINE:COLUMN: reason` on standard error.
Status runCheck(const std::vector<const char*>& paths);

/// `zelt list`: one tab-separated line per element on standard output; a
/// value longer than @p maxValue bytes is cut and marked with "..." (a
/// negative @p maxValue keeps every value whole).
Status runList(const char* path, long maxValue);

/// `zelt xml`: the elements as one XML document on standard output.
Status runXml(const char* path);

/// `zelt json`: one JSON object per element and line on standard output.
Status runJson(const char* path);

} // namespace zelt_tool

#endif
