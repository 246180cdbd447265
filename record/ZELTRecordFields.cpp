#include <cstring>

#include "ZELTRecordCore.h"

namespace ZELT {
namespace records {

namespace {

// Up to this many fields a miss compares them all; beyond, a hash index
// keeps a record read in any order linear.
constexpr size_t fewFields = 8;

// FNV-1a: short names, no need for more.
size_t hashOf(std::string_view name) {
    size_t hash = 14695981039346656037ull;
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

// Whether the slot's C string is @p name, which may hold any bytes: read no
// further than the slot's NUL.
bool named(const Slot& slot, std::string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        if (slot.name[i] != name[i] || slot.name[i] == '\0') {
            return false;
        }
    }
    return slot.name[name.size()] == '\0';
}

} // namespace

FieldTable::FieldTable(size_t count) : slots(inlineSlots) {
    if (count > inlineCount) {
        // Every slot is set before it is read, so none is zeroed first, as make_unique would.
        heapSlots.reset(new Slot[count]); // NOLINT(modernize-make-unique)
        slots = heapSlots.get();
    }
}

void FieldTable::add(const char* name, void* target, ReadField read, ResetField reset) {
    slots[count++] = Slot{name, target, read, reset, false};
}

Slot* FieldTable::find(std::string_view name) {
    Slot* found = next < count && named(slots[next], name) ? &slots[next] : lookUp(name);
    if (found != nullptr) {
        found->seen = true;
        next = static_cast<size_t>(found - slots) + 1;
    }
    return found;
}

Slot* FieldTable::lookUp(std::string_view name) {
    if (count <= fewFields) {
        for (size_t i = 0; i < count; ++i) {
            if (named(slots[i], name)) {
                return &slots[i];
            }
        }
        return nullptr;
    }
    if (!byHash) {
        // Open addressing at most half full; a later slot of the same name is not entered.
        for (buckets = 2; buckets < 2 * count; buckets *= 2) {
        }
        byHash = std::make_unique<unsigned[]>(buckets);
        for (size_t i = 0; i < count; ++i) {
            const std::string_view slotName(slots[i].name);
            size_t at = hashOf(slotName) & (buckets - 1);
            while (byHash[at] != 0 && !named(slots[byHash[at] - 1], slotName)) {
                at = (at + 1) & (buckets - 1);
            }
            if (byHash[at] == 0) {
                byHash[at] = static_cast<unsigned>(i + 1);
            }
        }
    }
    for (size_t at = hashOf(name) & (buckets - 1); byHash[at] != 0; at = (at + 1) & (buckets - 1)) {
        if (named(slots[byHash[at] - 1], name)) {
            return &slots[byHash[at] - 1];
        }
    }
    return nullptr;
}

void FieldTable::resetUnseen() {
    for (size_t i = 0; i < count; ++i) {
        if (!slots[i].seen && slots[i].reset != nullptr) {
            slots[i].reset(slots[i].target);
        }
    }
}

} // namespace records
} // namespace ZELT
