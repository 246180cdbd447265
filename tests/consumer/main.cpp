// Writes one element, reads it back and checks it, as a user's program would.
#include <cstdio>
#include <memory>

#include "ZELTFxXMLImpl.h"
#include "ZELTScan.h"

int main() {
    ZELT::ZELTFx* created = nullptr;
    if (ZELT::ZELTFx::instantiate(created, 0) != 0 || created == nullptr) {
        std::puts("consumer: instantiate failed");
        return 1;
    }
    std::unique_ptr<ZELT::ZELTFx> fx(created);
    // Needs the typeinfo of both classes from libzelt.so.
    if (dynamic_cast<ZELT::ZELTFxXMLImpl*>(fx.get()) == nullptr) {
        std::puts("consumer: the formatter is not a ZELTFxXMLImpl");
        return 1;
    }
    char* const unused = nullptr;
    fx->setConvBuffer(unused, 0);

    ZELT::ZELTBuffer out;
    if (!fx->serializeInt32_t(-42, "count", out)) {
        std::puts("consumer: write failed");
        return 1;
    }
    ZELT::ZELTBuffer in;
    in.setBufferString(out.getBufferString(), out.getBufferSize());
    int count = 0;
    if (!fx->deserializeInt32_t("count", in, count) || count != -42 ||
        in.getMarkerPos() != in.getBufferSize()) {
        std::printf("consumer: read back %d from %s", count, out.getBufferString());
        return 1;
    }
    // The scanner and its explanations, from the installed ZELTScan.h.
    in.setMarkerPos(0);
    ZELT::ZELTElement element;
    if (!ZELT::scanElement(in, element) || element.tag != "count" || element.value != "-42" ||
        ZELT::explainRead("count", in).reason != ZELT::ZELTReadError::endOfText) {
        std::puts("consumer: scanElement or explainRead failed");
        return 1;
    }
    std::printf("consumer: wrote and read %s", out.getBufferString());
    return 0;
}
