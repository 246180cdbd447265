#ifndef ZELT_TOOL_BASE64_H
#define ZELT_TOOL_BASE64_H

#include <string_view>

#include "output.h"

namespace zelt_tool {

/// Writes @p bytes in base64 (RFC 4648's alphabet, padded with `=`, no line breaks).
void writeBase64(Output& out, std::string_view bytes);

} // namespace zelt_tool

#endif
