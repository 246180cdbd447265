#ifndef ZELT_RECORD_VALUES_H
#define ZELT_RECORD_VALUES_H

// How each supported type is written and read, one Value<T> per family:
// records, pairs and optionals here, the others in ZELTRecordScalars.h and
// ZELTRecordContainers.h. Included by ZELTRecord.h.

#include <cstddef>
#include <optional>
#include <type_traits>
#include <utility>

#include "ZELTRecordCore.h"

namespace ZELT {
namespace records {

template <class T, class = void>
struct Value {
    static_assert(sizeof(T) == 0, "not a type records support: see ZELTRecord.h and docs/records.md");
};

// Records: a member fields(f) or a free fields(f, value) found by lookup.
struct FieldProbe {
    template <class V>
    void operator()(const char*, V&) {}
};
template <class T, class = void>
struct HasMemberFields : std::false_type {};
template <class T>
struct HasMemberFields<T, std::void_t<decltype(std::declval<T&>().fields(std::declval<FieldProbe&>()))>>
    : std::true_type {};
template <class T, class = void>
struct HasFreeFields : std::false_type {};
template <class T>
struct HasFreeFields<T, std::void_t<decltype(fields(std::declval<FieldProbe&>(), std::declval<T&>()))>>
    : std::true_type {};
template <class T>
constexpr bool isRecord = HasMemberFields<T>::value || HasFreeFields<T>::value;

template <class Fields, class T>
void describe(Fields& f, T& value) {
    if constexpr (HasMemberFields<T>::value) {
        value.fields(f);
    } else {
        fields(f, value);
    }
}

// Whether a value writes anything: only an empty optional does not.
template <class T>
bool present(const T&) {
    return true;
}
template <class T>
bool present(const std::optional<T>& value) {
    return value.has_value();
}

template <class T>
bool write(Writer& w, const T& value) {
    return Value<T>::write(w, value);
}
template <class T>
bool read(Reader& r, const ZELTElement& element, T& value) {
    return Value<T>::read(r, element, value);
}

// Records, and anything else written as named fields (std::pair).
struct CountFields {
    size_t count = 0;
    size_t present = 0;
    template <class V>
    void operator()(const char*, V& value) {
        ++count;
        present += records::present(value) ? 1 : 0;
    }
};

struct WriteFields {
    Writer& w;
    bool ok = true;
    template <class V>
    void operator()(const char* name, V& value) {
        size_t mark = 0;
        if (ok) {
            // The name is checked even where an empty optional writes nothing.
            ok = w.pushField(name, mark) && (!present(value) || records::write(w, value));
            w.pop(mark);
        }
    }
};

template <class V>
void resetOptional(void* target) {
    static_cast<V*>(target)->reset();
}
template <class V>
bool readField(Reader& r, const ZELTElement& element, void* target) {
    return records::read(r, element, *static_cast<V*>(target));
}
template <class V>
struct IsOptional : std::false_type {};
template <class V>
struct IsOptional<std::optional<V>> : std::true_type {};

struct FillTable {
    FieldTable& table;
    template <class V>
    void operator()(const char* name, V& value) {
        ResetField reset = nullptr;
        if constexpr (IsOptional<V>::value) {
            reset = &resetOptional<V>;
        }
        table.add(name, &value, &readField<V>, reset);
    }
};

template <class Describe>
bool writeFields(Writer& w, Describe describeWith) {
    CountFields counted;
    describeWith(counted);
    WriteFields writing{w};
    return w.header(Kind::record, counted.present) && (describeWith(writing), writing.ok);
}

template <class Describe>
bool readFields(Reader& r, const ZELTElement& element, Describe describeWith) {
    size_t children = 0;
    if (!r.count(element, Kind::record, children, "a record") || !r.enter(element)) {
        return false;
    }
    CountFields counted;
    describeWith(counted);
    FieldTable table(counted.count);
    FillTable filling{table};
    describeWith(filling);
    const bool ok = r.readFields(element, children, table);
    r.leave();
    return ok;
}

template <class T>
struct Value<T, std::enable_if_t<isRecord<T>>> {
    static bool write(Writer& w, const T& value) {
        // Writing only reads the fields; the description is shared with reading.
        return writeFields(w, [&](auto& f) { describe(f, const_cast<T&>(value)); });
    }
    static bool read(Reader& r, const ZELTElement& element, T& value) {
        return readFields(r, element, [&](auto& f) { describe(f, value); });
    }
};

template <class A, class B>
struct Value<std::pair<A, B>> {
    template <class P, class F>
    static void describePair(F& f, P& pair) {
        f("first", pair.first);
        f("second", pair.second);
    }
    static bool write(Writer& w, const std::pair<A, B>& value) {
        return writeFields(w, [&](auto& f) { describePair(f, value); });
    }
    static bool read(Reader& r, const ZELTElement& element, std::pair<A, B>& value) {
        return readFields(r, element, [&](auto& f) { describePair(f, value); });
    }
};

template <class T>
struct Value<std::optional<T>> {
    static bool write(Writer& w, const std::optional<T>& value) { return !value || records::write(w, *value); }
    static bool read(Reader& r, const ZELTElement& element, std::optional<T>& value) {
        return records::read(r, element, value.emplace());
    }
};

} // namespace records
} // namespace ZELT

#endif
