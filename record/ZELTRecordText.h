#ifndef ZELT_RECORD_TEXT_H
#define ZELT_RECORD_TEXT_H

// The small pieces of the record text shared by writing and reading:
// names, attributes, key encoding. Internal to the library, never installed.

#include <cstddef>
#include <string>
#include <string_view>

#include "ZELTRecordCore.h"

namespace ZELT {
namespace records {

// Room for any number's shortest decimal: 20 digits and a sign for integers,
// 24 characters for a double.
constexpr size_t longestNumber = 32;

// The Name attribute of a raw block, whose Idx is its byte count.
constexpr std::string_view rawName = "bytes";

// ` Name="record"` and so on, for a header of @p kind.
std::string_view headerAttributes(Kind kind);
// The kind a header's Name attribute stands for; false for any other name.
bool kindNamed(std::string_view name, Kind& kind);

// A tag scanElement can find: non-empty, without a space or `>`.
bool findableTag(std::string_view tag);
// A field name: non-empty, without `.`, `[`, `]`, `|`, space, `<`, `>` or `"`.
bool fieldName(std::string_view name);

// Map keys in a path: `%` and two upper-case hex digits for every byte that
// could not stand in a tag or would end the brackets; the rest as it is.
void encodeKey(std::string_view key, std::string& out);
// False for a `%` without two hex digits after it, or an unencoded `]`.
bool decodeKey(std::string_view encoded, std::string& key);

} // namespace records
} // namespace ZELT

#endif
