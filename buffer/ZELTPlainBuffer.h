#ifndef ZELT_PLAIN_BUFFER_H
#define ZELT_PLAIN_BUFFER_H

// Internal to the library, never installed.

#include <typeinfo>

#include "ZELTBuffer.h"

namespace ZELT {

// Exactly a ZELTBuffer, not a derived class: such a buffer cannot observe how
// it is called, so the library calls its operations directly and hands it
// texts whose length it already knows. A derived buffer receives every call
// the interface promises, as virtual calls. The type_info is the library's
// own, so comparing addresses is enough (and costs no call); were it ever
// another copy, the buffer would only take the general way.
inline bool isPlainBuffer(const ZELTBuffer& buffer) { return &typeid(buffer) == &typeid(ZELTBuffer); }

} // namespace ZELT

#endif
