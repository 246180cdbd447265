#ifndef ZELT_RECORD_SCALARS_H
#define ZELT_RECORD_SCALARS_H

// Values of one element: integers, enums, floating point and strings.

#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

#include "ZELTRecordValues.h"

namespace ZELT {
namespace records {

// How a refusal names what the element should have held.
template <class T>
constexpr const char* expectedName() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_enum_v<U>) return "an enum value";
    else if constexpr (std::is_same_v<U, bool>) return "a bool";
    else if constexpr (std::is_same_v<U, char>) return "a char";
    else if constexpr (std::is_same_v<U, signed char>) return "a signed char";
    else if constexpr (std::is_same_v<U, unsigned char>) return "an unsigned char";
    else if constexpr (std::is_same_v<U, short>) return "a short";
    else if constexpr (std::is_same_v<U, unsigned short>) return "an unsigned short";
    else if constexpr (std::is_same_v<U, int>) return "an int";
    else if constexpr (std::is_same_v<U, unsigned>) return "an unsigned int";
    else if constexpr (std::is_same_v<U, long>) return "a long";
    else if constexpr (std::is_same_v<U, unsigned long>) return "an unsigned long";
    else if constexpr (std::is_same_v<U, long long>) return "a long long";
    else if constexpr (std::is_same_v<U, unsigned long long>) return "an unsigned long long";
    else if constexpr (std::is_signed_v<U>) return "a signed integer";
    else return "an unsigned integer";
}

template <class T, bool = std::is_enum_v<T>>
struct NumberOf {
    using type = T;
};
template <class T>
struct NumberOf<T, true> {
    using type = std::underlying_type_t<T>;
};

// Integers, bool and enums (as their underlying integer): decimal, as the
// typed writers write them.
template <class T>
struct Value<T, std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>>> {
    using Number = typename NumberOf<T>::type;
    using Limits = std::numeric_limits<Number>;

    static bool write(Writer& w, const T& value) {
        const auto number = static_cast<Number>(value);
        if constexpr (std::is_signed_v<Number>) {
            return w.signedNumber(number);
        } else {
            return w.unsignedNumber(number);
        }
    }
    static bool read(Reader& r, const ZELTElement& element, T& value) {
        if constexpr (std::is_signed_v<Number> || std::is_same_v<Number, bool>) {
            long long number = 0;
            const long long low = std::is_same_v<Number, bool> ? 0 : Limits::min();
            if (!r.signedNumber(element, low, static_cast<long long>(Limits::max()), number, expectedName<T>())) {
                return false;
            }
            value = static_cast<T>(static_cast<Number>(number));
        } else {
            unsigned long long number = 0;
            if (!r.unsignedNumber(element, Limits::max(), number, expectedName<T>())) {
                return false;
            }
            value = static_cast<T>(static_cast<Number>(number));
        }
        return true;
    }
};

// float and double: the shortest text that reads back to the same value.
template <class T>
struct Value<T, std::enable_if_t<std::is_same_v<T, float> || std::is_same_v<T, double>>> {
    static bool write(Writer& w, const T& value) { return w.floating(value); }
    static bool read(Reader& r, const ZELTElement& element, T& value) { return r.floating(element, value); }
};

template <>
struct Value<std::string> {
    static bool write(Writer& w, const std::string& value) { return w.text(value); }
    static bool read(Reader& r, const ZELTElement& element, std::string& value) {
        std::string_view text;
        if (!r.text(element, text, "a string")) {
            return false;
        }
        value.assign(text.data(), text.size());
        return true;
    }
};

// Written only: there is nothing to read a view or a pointer into.
template <>
struct Value<std::string_view> {
    static bool write(Writer& w, std::string_view value) { return w.text(value); }
};
template <>
struct Value<const char*> {
    static bool write(Writer& w, const char* value) { return value != nullptr && w.text(value); }
};
template <>
struct Value<char*> : Value<const char*> {};
template <size_t N>
struct Value<char[N]> {
    static bool write(Writer& w, const char (&value)[N]) { return w.text({value, strnlen(value, N)}); }
};

} // namespace records
} // namespace ZELT

#endif
