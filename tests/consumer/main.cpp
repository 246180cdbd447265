// Writes one element, reads it back and checks it, as a user's program would.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ZELTFxXMLImpl.h"
#include "ZELTRecord.h"
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
    // A record, from the installed ZELTRecord.h and its templates.
    std::map<std::string, std::vector<int>> written = {{"a b", {1, 2}}}, read;
    ZELT::ZELTBuffer records;
    ZELT::ZELTRecordError error;
    if (!ZELT::writeValue(*fx, records, "m", written) || !ZELT::readValue(*fx, records, "m", read, &error) ||
        read != written) {
        std::printf("consumer: record round trip failed: %s\n", error.message.c_str());
        return 1;
    }
    std::printf("consumer: wrote and read %s", out.getBufferString());
    return 0;
}
