#ifndef ZELT_TOOL_BASE64_H
#define ZELT_TOOL_BASE64_H

#include <cstddef>
#include <string_view>

#include "output.h"

namespace zelt_tool {

/// How many bytes writeBase64 takes at a time: whole 3-byte groups.
constexpr size_t base64Chunk = size_t{3} * 4096;

/// Writes @p bytes in base64 (RFC 4648's alphabet, padded with `=`, no line breaks).
void writeBase64(Output& out, std::string_view bytes);

} // namespace zelt_tool

#endif
