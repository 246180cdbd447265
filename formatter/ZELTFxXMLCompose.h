#ifndef ZELT_FX_XML_COMPOSE_H
#define ZELT_FX_XML_COMPOSE_H

// Composing a text in the conversion buffer, for the writers and the readers
// alike (they live in two sources). Internal to the library, never installed;
// inline, so that no instantiation is exported.

#include <algorithm>
#include <cassert>

#include "ZELTFxXMLImpl.h"

namespace ZELT {

template <typename Text>
inline long ZELTFxXMLImpl::composeText(const Text& text, long room) {
    const long size = text.size();
    if (!convBufferHolds(std::max(size + 1, room))) {
        return -1;
    }
    char* const end = text.compose(convBuffer);
    assert(end == convBuffer + size);
    *end = '\0';
    return size;
}

} // namespace ZELT

#endif
