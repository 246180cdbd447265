#ifndef ZELT_DECIMAL_H
#define ZELT_DECIMAL_H

// The typed readers' number conversion. Internal to the library, never installed.

#include <climits>
#include <type_traits>

namespace ZELT::decimal {

inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Base-10 conversion with exactly the results of strtol (Wide = long) or
// strtoul (Wide = unsigned long) in the C locale: leading blanks and a sign
// accepted, no digits give 0, out-of-range values saturate, and strtoul takes
// a negative number modulo 2^64. Stores the number in @p number and returns
// where the conversion stopped (at the latest at the text's NUL).
template <typename Wide>
inline const char* parse(const char* text, Wide& number) {
    const char* at = text;
    while (isSpace(*at)) {
        ++at;
    }
    const bool negative = *at == '-';
    if (negative || *at == '+') {
        ++at;
    }
    unsigned long magnitude = 0;
    // Nineteen digits always fit in 64 bits; only later ones may overflow.
    // Two at a time: a digit is no NUL, so the byte after it can be read.
    const char* const safeEnd = at + 18;
    while (at < safeEnd && isDigit(at[0])) {
        if (!isDigit(at[1])) {
            magnitude = magnitude * 10 + static_cast<unsigned long>(at[0] - '0');
            ++at;
            break;
        }
        magnitude = magnitude * 100 + static_cast<unsigned long>(at[0] - '0') * 10 +
                    static_cast<unsigned long>(at[1] - '0');
        at += 2;
    }
    if (at == safeEnd && isDigit(*at)) {
        magnitude = magnitude * 10 + static_cast<unsigned long>(*at - '0');
        ++at;
    }
    bool overflow = false;
    for (; isDigit(*at); ++at) {
        const auto digit = static_cast<unsigned long>(*at - '0');
        overflow = __builtin_mul_overflow(magnitude, 10UL, &magnitude) ||
                   __builtin_add_overflow(magnitude, digit, &magnitude) || overflow;
    }
    if constexpr (std::is_signed_v<Wide>) {
        const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
        if (overflow || magnitude > limit) {
            number = negative ? LONG_MIN : LONG_MAX;
        } else {
            number = static_cast<long>(negative ? 0 - magnitude : magnitude);
        }
    } else {
        number = overflow ? ULONG_MAX : negative ? 0 - magnitude : magnitude;
    }
    return at;
}

} // namespace ZELT::decimal

#endif
