#include "ZELTFx.h"

#include "ZELTFxXMLImpl.h"

namespace ZELT {

ZELTFx::~ZELTFx() = default;

int ZELTFx::instantiate(ZELTFx*& out, int /*kind*/) {
    // One format exists, so every kind yields the tagged-text formatter.
    out = new ZELTFxXMLImpl();
    return 0;
}

} // namespace ZELT
