#ifndef ZELT_FUZZ_SUPPORT_H
#define ZELT_FUZZ_SUPPORT_H

// Shared by the fuzz targets: a check that turns into a libFuzzer finding,
// the table of scalar types with their writer and reader, and the reference
// rules for element text, written independently of the library.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "ZELTFx.h"

namespace zelt_fuzz {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

#define ZELT_FUZZ_CHECK(condition) ((condition) ? void() : ::zelt_fuzz::fail(#condition, __FILE__, __LINE__))

template <typename T>
using Writer = bool (ZELT::ZELTFx::*)(const T&, const char*, ZELT::ZELTBuffer&);
template <typename T>
using Reader = bool (ZELT::ZELTFx::*)(const char*, ZELT::ZELTBuffer&, T&);

// One scalar row: the value type, the 64-bit type its text is read with
// (long for strtol, unsigned long for strtoul), and its two operations.
template <typename T, typename Wide, Writer<T> WriteOp, Reader<T> ReadOp>
struct Scalar {
    using Type = T;
    using WideType = Wide;
    static constexpr Writer<T> write = WriteOp;
    static constexpr Reader<T> read = ReadOp;
};

using ZELT::ZELTFx;
using Scalars = std::tuple<
    Scalar<bool, long, &ZELTFx::serializeBool, &ZELTFx::deserializeBool>,
    Scalar<char, long, &ZELTFx::serializeChar, &ZELTFx::deserializeChar>,
    Scalar<unsigned char, long, &ZELTFx::serializeUChar, &ZELTFx::deserializeUChar>,
    Scalar<signed char, long, &ZELTFx::serializeInt8_t, &ZELTFx::deserializeInt8_t>,
    Scalar<unsigned char, unsigned long, &ZELTFx::serializeUInt8_t, &ZELTFx::deserializeUInt8_t>,
    Scalar<short, long, &ZELTFx::serializeInt16_t, &ZELTFx::deserializeInt16_t>,
    Scalar<unsigned short, unsigned long, &ZELTFx::serializeUInt16_t, &ZELTFx::deserializeUInt16_t>,
    Scalar<int, long, &ZELTFx::serializeInt32_t, &ZELTFx::deserializeInt32_t>,
    Scalar<unsigned int, unsigned long, &ZELTFx::serializeUInt32_t, &ZELTFx::deserializeUInt32_t>,
    Scalar<long, long, &ZELTFx::serializeInt64_t, &ZELTFx::deserializeInt64_t>,
    Scalar<unsigned long, unsigned long, &ZELTFx::serializeUInt64_t, &ZELTFx::deserializeUInt64_t>>;
constexpr size_t scalarCount = std::tuple_size_v<Scalars>;

// Calls visit with a default-constructed row of Scalars number @p index.
template <typename Visit, size_t... I>
void visitScalar(size_t index, Visit&& visit, std::index_sequence<I...> /*rows*/) {
    ((index == I ? (visit(std::tuple_element_t<I, Scalars>{}), 0) : 0), ...);
}
template <typename Visit>
void visitScalar(size_t index, Visit&& visit) {
    visitScalar(index, std::forward<Visit>(visit), std::make_index_sequence<scalarCount>{});
}

// The value a reader must store for the element text @p text: strtol or
// strtoul with base 10, then the low bits of T (bool: number above 0).
template <typename T, typename Wide>
T expectedValue(const std::string& text) {
    Wide wide = 0;
    if constexpr (std::is_signed_v<Wide>) {
        wide = std::strtol(text.c_str(), nullptr, 10);
    } else {
        wide = std::strtoul(text.c_str(), nullptr, 10);
    }
    if constexpr (std::is_same_v<T, bool>) {
        return wide > 0;
    } else {
        return static_cast<T>(wide);
    }
}

// Lengths past the 64 KiB conversion buffer, where its edges lie, are as
// common as short ones: a scale byte from 0x80 on adds (byte - 0x80) KiB, up
// to 127 KiB, to a text built from the input's own bytes.
constexpr size_t scaleStep = 1024;

inline size_t scaledExtra(uint8_t scale) { return scale < 0x80 ? 0 : (scale - 0x80U) * scaleStep; }

// @p seed followed by @p extra more bytes that repeat it (or @p filler).
inline std::string lengthened(const std::string& seed, size_t extra, char filler) {
    if (seed.empty()) {
        return std::string(extra, filler);
    }
    std::string text = seed;
    const size_t length = seed.size() + extra;
    while (text.size() < length) {
        text.append(text, 0, std::min(text.size(), length - text.size()));
    }
    return text;
}

// How many inputs held a tag over 32 KiB: printed at exit when the
// environment sets ZELT_FUZZ_STATS, to show how often the edges are reached.
class LongTagStats {
public:
    static void count(size_t tagLength) {
        static LongTagStats stats;
        ++stats.inputs;
        stats.longTags += tagLength > 32 * 1024 ? 1 : 0;
    }
    LongTagStats(const LongTagStats&) = delete;
    LongTagStats& operator=(const LongTagStats&) = delete;
    ~LongTagStats() {
        if (std::getenv("ZELT_FUZZ_STATS") != nullptr && inputs > 0) {
            std::fprintf(stderr, "tags over 32 KiB: %zu of %zu inputs (%.1f %%)\n", longTags, inputs,
                         100.0 * static_cast<double>(longTags) / static_cast<double>(inputs));
        }
    }

private:
    LongTagStats() = default;
    size_t inputs = 0;
    size_t longTags = 0;
};

inline std::string openingTag(const std::string& tag) { return "<" + tag + ">"; }
inline std::string closingText(const std::string& tag) { return "</" + tag + ">\n"; }

// What a reader must do with the unread text @p unread (up to its first NUL)
// for @p tag: whether the element is there, its value text and its length.
struct ElementAt {
    bool found = false;
    std::string value;
    size_t length = 0;
};

inline ElementAt elementAt(std::string_view unread, const std::string& tag) {
    ElementAt element;
    const std::string opening = openingTag(tag);
    const std::string closing = closingText(tag);
    const size_t closingAt = unread.find(closing);
    if (unread.compare(0, opening.size(), opening) != 0 || closingAt == std::string::npos ||
        closingAt < opening.size()) {
        return element;
    }
    element.found = true;
    element.value = std::string(unread.substr(opening.size(), closingAt - opening.size()));
    element.length = closingAt + closing.size();
    return element;
}

// A tag|Name|Idx text split as strtok with "|" would, with the length
// limits; valid is false when the text is refused.
struct NameSpec {
    bool valid = false;
    std::string tag;
    std::string name;
    std::string idx;
};

inline NameSpec splitNameSpec(const std::string& nameSpec) {
    NameSpec result;
    if (nameSpec.size() > 1023) {
        return result;
    }
    std::string* const fields[] = {&result.tag, &result.name, &result.idx};
    const size_t limits[] = {255, 127, 31};
    size_t at = 0;
    for (size_t part = 0; part < 3; ++part) {
        at = nameSpec.find_first_not_of('|', at);
        if (at == std::string::npos) {
            break;
        }
        const size_t end = std::min(nameSpec.find('|', at), nameSpec.size());
        if (end - at > limits[part]) {
            return NameSpec();
        }
        *fields[part] = nameSpec.substr(at, end - at);
        at = end;
    }
    result.valid = true;
    return result;
}

inline std::string openingTag(const NameSpec& names) {
    std::string text = "<" + names.tag;
    if (!names.name.empty()) {
        text += " Name=\"" + names.name + "\"";
        if (!names.idx.empty()) {
            text += " Idx=\"" + names.idx + "\"";
        }
    }
    return text + ">";
}

} // namespace zelt_fuzz

#endif
