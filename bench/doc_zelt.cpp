// zelt writing and reading the document, as a caller would use the library.
#include <memory>

#include "ZELTScan.h"
#include "document.h"

namespace zelt_bench {

namespace {

class ZeltDocument {
public:
    // ZELTBuffer copies give empty buffers, so the text travels in a unique_ptr.
    using Output = std::unique_ptr<ZELT::ZELTBuffer>;
    static constexpr bool readable = true;
    static constexpr bool limitForm = true;

    static std::string_view text(const Output& out) {
        return {out->getBufferString(), static_cast<size_t>(out->getBufferSize())};
    }

    Output write(const Records& data) {
        auto out = std::make_unique<ZELT::ZELTBuffer>();
        bool ok = true;
        for (const Record& r : data) {
            ok = fx->serializeInt32_t(r.id, tag::id, *out) && ok;
            ok = fx->serializeUInt64_t(r.serial, tag::serial, *out) && ok;
            ok = fx->serializeInt64_t(r.delta, tag::delta, *out) && ok;
            ok = fx->serializeBool(r.flag, tag::flag, *out) && ok;
            ok = fx->serializeUInt8_t(r.level, tag::level, *out) && ok;
            ok = fx->serializeString(r.text.c_str(), tag::text, *out) && ok;
            ok = fx->serializeString(r.label.c_str(), tag::labelSpec, *out) && ok;
        }
        if (!ok) {
            out->clearBufferString(); // an empty text fails the comparison with the limit's
        }
        return out;
    }

    bool read(Output& out, const Records& data) {
        ZELT::ZELTBuffer& in = *out;
        in.setMarkerPos(0);
        Record got{};
        bool ok = true;
        for (const Record& want : data) {
            ok = fx->deserializeInt32_t(tag::id, in, got.id) && ok;
            ok = fx->deserializeUInt64_t(tag::serial, in, got.serial) && ok;
            ok = fx->deserializeInt64_t(tag::delta, in, got.delta) && ok;
            ok = fx->deserializeBool(tag::flag, in, got.flag) && ok;
            ok = fx->deserializeUInt8_t(tag::level, in, got.level) && ok;
            ok = fx->deserializeString(tag::text, in, got.text) && ok;
            ok = readLabel(in, want) && sameReadFields(got, want) && ok;
        }
        return ok && in.getMarkerPos() == in.getBufferSize();
    }

private:
    // The typed readers refuse attributes; scanElement reads the element whole.
    static bool readLabel(ZELT::ZELTBuffer& in, const Record& want) {
        ZELT::ZELTElement label;
        return ZELT::scanElement(in, label) && label.tag == tag::label && label.name == tag::labelName &&
               label.value == want.label;
    }

    std::unique_ptr<ZELT::ZELTFx> fx = makeFormatter();
};

[[maybe_unused]] const bool registered = registerDocument<ZeltDocument>("zelt");

} // namespace

} // namespace zelt_bench
