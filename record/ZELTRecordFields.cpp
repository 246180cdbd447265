#include <algorithm>

#include "ZELTRecordCore.h"

namespace ZELT {
namespace records {

namespace {

// Below this many fields a miss looks through them all; above it, a sorted
// index keeps a record read in any order linear in practice.
constexpr size_t fewFields = 8;

} // namespace

FieldTable::FieldTable(size_t count) : slots(inlineSlots) {
    if (count > inlineCount) {
        heapSlots = std::make_unique<Slot[]>(count);
        slots = heapSlots.get();
    }
}

void FieldTable::add(const char* name, void* target, ReadField read, ResetField reset) {
    Slot& slot = slots[count++];
    slot.name = name;
    slot.target = target;
    slot.read = read;
    slot.reset = reset;
}

Slot* FieldTable::find(std::string_view name) {
    Slot* found = nullptr;
    if (next < count && slots[next].name == name) {
        found = &slots[next];
    } else if (count <= fewFields) {
        found = std::find_if(slots, slots + count, [&](const Slot& slot) { return slot.name == name; });
        found = found == slots + count ? nullptr : found;
    } else {
        if (!byName) {
            byName = std::make_unique<unsigned[]>(count);
            for (size_t i = 0; i < count; ++i) {
                byName[i] = static_cast<unsigned>(i);
            }
            std::sort(byName.get(), byName.get() + count,
                      [&](unsigned a, unsigned b) { return slots[a].name < slots[b].name; });
        }
        const unsigned* const end = byName.get() + count;
        const unsigned* const at = std::lower_bound(static_cast<const unsigned*>(byName.get()), end, name,
                                                    [&](unsigned i, std::string_view n) { return slots[i].name < n; });
        found = at != end && slots[*at].name == name ? &slots[*at] : nullptr;
    }
    if (found != nullptr) {
        found->seen = true;
        next = static_cast<size_t>(found - slots) + 1;
    }
    return found;
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
