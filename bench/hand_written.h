#ifndef ZELT_BENCH_HAND_WRITTEN_H
#define ZELT_BENCH_HAND_WRITTEN_H

// The writing steps the hand-written contestants share: an element is its
// opening text, the value and its closing text, copied one after the other.

#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

namespace zelt_bench::hand {

// Widest decimal of any field's number.
constexpr size_t maximumDigits = 20;

inline char* put(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

// @p tags has the element's texts as `open` and `close`.
template <typename Tags, typename T>
char* putNumber(char* at, const Tags& tags, T value) {
    at = put(at, tags.open);
    at = std::to_chars(at, at + maximumDigits, value).ptr;
    return put(at, tags.close);
}

template <typename Tags>
char* putText(char* at, const Tags& tags, const std::string& value) {
    return put(put(put(at, tags.open), value), tags.close);
}

} // namespace zelt_bench::hand

#endif
