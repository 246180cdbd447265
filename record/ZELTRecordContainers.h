#ifndef ZELT_RECORD_CONTAINERS_H
#define ZELT_RECORD_CONTAINERS_H

// Containers: sequences and sets as lists (`path[0]`, `path[1]`, ...), maps
// with their keys in the path (`path[HOME]`), raw bytes as one raw block.

#include <algorithm>
#include <array>
#include <cstddef>
#include <deque>
#include <iterator>
#include <list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "ZELTRecordScalars.h"

namespace ZELT {
namespace records {

// Raw bytes: one raw block, whatever they hold.
template <class Byte, class Allocator>
struct RawBytes {
    using Bytes = std::vector<Byte, Allocator>;
    static bool write(Writer& w, const Bytes& value) { return w.bytes(value.data(), value.size()); }
    static bool read(Reader& r, const ZELTElement& element, Bytes& value) {
        std::string_view text;
        if (!r.text(element, text, "raw bytes")) {
            return false;
        }
        const auto* bytes = reinterpret_cast<const Byte*>(text.data());
        value.assign(bytes, bytes + text.size());
        return true;
    }
};
template <class Allocator>
struct Value<std::vector<std::byte, Allocator>> : RawBytes<std::byte, Allocator> {};
template <class Allocator>
struct Value<std::vector<unsigned char, Allocator>> : RawBytes<unsigned char, Allocator> {};

// Every sequence writes a list header and its present items by position.
template <class Container>
bool writeList(Writer& w, const Container& items) {
    size_t count = 0;
    for (const auto& item : items) {
        count += present(item) ? 1 : 0;
    }
    if (!w.header(Kind::list, count)) {
        return false;
    }
    size_t index = 0;
    for (const auto& item : items) {
        size_t mark = 0;
        w.pushIndex(index++, mark);
        const bool ok = records::write(w, item);
        w.pop(mark);
        if (!ok) {
            return false;
        }
    }
    return true;
}

// Reads each item of a list into the slot @p place(index) gives (null to
// skip it), after @p prepare(count).
template <class Place, class Prepare>
bool readList(Reader& r, const ZELTElement& element, const char* expected, Place place, Prepare prepare) {
    size_t children = 0;
    if (!r.count(element, Kind::list, children, expected) || !r.enter(element)) {
        return false;
    }
    prepare(children);
    bool ok = true;
    for (size_t index = 0; ok && index < children; ++index) {
        ZELTElement item;
        std::string_view rest;
        ok = r.child(element, '[', item, rest);
        if (ok) {
            auto* target = place(index);
            ok = target != nullptr ? records::read(r, item, *target) : r.skipChildren(item);
        }
    }
    r.leave();
    return ok;
}

// vector, deque and list: the content replaced by the items read.
template <class Container>
struct Sequence {
    static bool write(Writer& w, const Container& value) { return writeList(w, value); }
    static bool read(Reader& r, const ZELTElement& element, Container& value) {
        value.clear();
        const auto prepare = [&](size_t count) {
            if constexpr (std::is_same_v<Container, std::vector<typename Container::value_type,
                                                                typename Container::allocator_type>>) {
                // Room for the items a text of this size can hold, never more than its own size.
                using Item = typename Container::value_type;
                value.reserve(std::min(count, r.unread() / std::max(sizeof(Item), size_t{16})));
            }
        };
        return readList(r, element, "a list", [&](size_t) { return &value.emplace_back(); }, prepare);
    }
};
template <class T, class Allocator>
struct Value<std::vector<T, Allocator>> : Sequence<std::vector<T, Allocator>> {};
template <class T, class Allocator>
struct Value<std::deque<T, Allocator>> : Sequence<std::deque<T, Allocator>> {};
template <class T, class Allocator>
struct Value<std::list<T, Allocator>> : Sequence<std::list<T, Allocator>> {};

// std::array: items past its size are skipped, items the text lacks kept.
template <class T, size_t N>
struct Value<std::array<T, N>> {
    static bool write(Writer& w, const std::array<T, N>& value) { return writeList(w, value); }
    static bool read(Reader& r, const ZELTElement& element, std::array<T, N>& value) {
        return readList(
            r, element, "a list", [&](size_t index) { return index < N ? &value[index] : nullptr; }, [](size_t) {});
    }
};

// std::set: the items read as a list, then inserted.
template <class T, class Compare, class Allocator>
struct Value<std::set<T, Compare, Allocator>> {
    using Set = std::set<T, Compare, Allocator>;
    static bool write(Writer& w, const Set& value) { return writeList(w, value); }
    static bool read(Reader& r, const ZELTElement& element, Set& value) {
        std::vector<T> items;
        if (!Sequence<std::vector<T>>::read(r, element, items)) {
            return false;
        }
        value.clear();
        value.insert(std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
        return true;
    }
};

// Maps with string or integer keys: `path[KEY]` for each entry.
template <class Map>
struct Mapping {
    using Key = typename Map::key_type;
    static_assert(std::is_same_v<Key, std::string> || std::is_integral_v<Key>,
                  "record maps take std::string or integer keys");
    static constexpr bool textKey = std::is_same_v<Key, std::string>;
    using KeyNumber = std::conditional_t<std::is_signed_v<Key>, long long, unsigned long long>;
    using KeyText = std::conditional_t<textKey, std::string, KeyNumber>;
    using KeyView = std::conditional_t<textKey, std::string_view, KeyNumber>;

    static bool write(Writer& w, const Map& value) {
        size_t count = 0;
        for (const auto& entry : value) {
            count += present(entry.second) ? 1 : 0;
        }
        if (!w.header(Kind::map, count)) {
            return false;
        }
        for (const auto& entry : value) {
            if (present(entry.second)) {
                size_t mark = 0;
                w.pushKey(static_cast<KeyView>(entry.first), mark);
                const bool ok = records::write(w, entry.second);
                w.pop(mark);
                if (!ok) {
                    return false;
                }
            }
        }
        return true;
    }
    static bool read(Reader& r, const ZELTElement& element, Map& value) {
        size_t children = 0;
        if (!r.count(element, Kind::map, children, "a map") || !r.enter(element)) {
            return false;
        }
        value.clear();
        bool ok = true;
        for (size_t index = 0; ok && index < children; ++index) {
            ZELTElement entry;
            std::string_view rest;
            KeyText key{};
            ok = r.child(element, '[', entry, rest) && r.key(entry, rest, key) && inRange(r, entry, key) &&
                 records::read(r, entry, value[static_cast<Key>(std::move(key))]);
        }
        r.leave();
        return ok;
    }
    static bool inRange(Reader& r, const ZELTElement& entry, const KeyText& key) {
        if constexpr (!textKey) {
            if (static_cast<KeyText>(static_cast<Key>(key)) != key) {
                return r.badValue(entry, std::string("key out of range for ") + expectedName<Key>());
            }
        }
        return true;
    }
};
template <class K, class T, class Compare, class Allocator>
struct Value<std::map<K, T, Compare, Allocator>> : Mapping<std::map<K, T, Compare, Allocator>> {};
template <class K, class T, class Hash, class Equal, class Allocator>
struct Value<std::unordered_map<K, T, Hash, Equal, Allocator>>
    : Mapping<std::unordered_map<K, T, Hash, Equal, Allocator>> {};

} // namespace records
} // namespace ZELT

#endif
