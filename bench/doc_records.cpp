// The document as records: the whole std::vector written by one writeValue
// call and read by one readValue call, as cereal and Boost take it; and the
// same elements through hand-written typed calls, which must make the same
// text. Registered as Document/.../records and Document/.../records_hand.
#include <algorithm>
#include <memory>
#include <string>

#include "ZELTRecord.h"
#include "document.h"

namespace zelt_bench {

template <class Fields>
void fields(Fields& f, Record& r) {
    f(tag::id, r.id), f(tag::serial, r.serial), f(tag::delta, r.delta), f(tag::flag, r.flag),
        f(tag::level, r.level), f(tag::text, r.text), f(tag::label, r.label);
}

namespace {

constexpr char root[] = "records";

// What both forms share: the text travels in a unique_ptr, since ZELTBuffer
// copies give empty buffers.
struct RecordsText {
    using Output = std::unique_ptr<ZELT::ZELTBuffer>;
    static constexpr bool readable = true;
    static constexpr bool limitForm = false;

    static std::string_view text(const Output& out) {
        return {out->getBufferString(), static_cast<size_t>(out->getBufferSize())};
    }

    static bool same(const Record& got, const Record& want) {
        return sameReadFields(got, want) && got.label == want.label;
    }

    std::unique_ptr<ZELT::ZELTFx> fx = makeFormatter();
};

bool sameText();

class RecordsDocument : public RecordsText {
public:
    // An empty text, which fails reading, unless the hand-written form is the same.
    Output write(const Records& data) {
        static const bool same = sameText();
        auto out = writeAll(data);
        if (!same) {
            out->clearBufferString();
        }
        return out;
    }

    Output writeAll(const Records& data) {
        auto out = std::make_unique<ZELT::ZELTBuffer>();
        ZELT::writeValue(*fx, *out, root, data);
        return out;
    }

    bool read(Output& out, const Records& data) {
        out->setMarkerPos(0);
        Records got;
        return ZELT::readValue(*fx, *out, root, got) &&
               std::equal(got.begin(), got.end(), data.begin(), data.end(), same);
    }
};

// The tags of record number @p index: "records[index]." and a field's name.
class Paths {
public:
    void start(size_t index) {
        path.assign(root);
        path += '[';
        path += std::to_string(index);
        path += ']';
        prefix = path.size();
    }
    const char* record() {
        path.resize(prefix);
        return path.c_str();
    }
    const char* field(const char* name) {
        path.resize(prefix);
        path += '.';
        path += name;
        return path.c_str();
    }

private:
    std::string path;
    size_t prefix = 0;
};

class HandDocument : public RecordsText {
public:
    Output write(const Records& data) {
        auto out = std::make_unique<ZELT::ZELTBuffer>();
        ZELT::ZELTBuffer& o = *out;
        const std::string count = std::to_string(data.size());
        bool ok = fx->serializeString(count.c_str(), "records|list", o);
        for (size_t i = 0; i < data.size(); ++i) {
            const Record& r = data[i];
            paths.start(i);
            ok = fx->serializeString("7", (std::string(paths.record()) + "|record").c_str(), o) && ok;
            ok = fx->serializeInt32_t(r.id, paths.field(tag::id), o) && ok;
            ok = fx->serializeUInt64_t(r.serial, paths.field(tag::serial), o) && ok;
            ok = fx->serializeInt64_t(r.delta, paths.field(tag::delta), o) && ok;
            ok = fx->serializeBool(r.flag, paths.field(tag::flag), o) && ok;
            ok = fx->serializeUInt8_t(r.level, paths.field(tag::level), o) && ok;
            ok = fx->serializeString(r.text.c_str(), paths.field(tag::text), o) && ok;
            ok = fx->serializeString(r.label.c_str(), paths.field(tag::label), o) && ok;
        }
        if (!ok) {
            o.clearBufferString();
        }
        return out;
    }

    // In written order, with the typed readers; headers (which carry an
    // attribute the typed readers refuse) with scanElement.
    bool read(Output& out, const Records& data) {
        ZELT::ZELTBuffer& in = *out;
        in.setMarkerPos(0);
        ZELT::ZELTElement header;
        bool ok = ZELT::scanElement(in, header) && header.name == "list";
        Records got(data.size());
        for (size_t i = 0; i < got.size(); ++i) {
            Record& r = got[i];
            paths.start(i);
            ok = ZELT::scanElement(in, header) && header.name == "record" && header.value == "7" && ok;
            ok = fx->deserializeInt32_t(paths.field(tag::id), in, r.id) && ok;
            ok = fx->deserializeUInt64_t(paths.field(tag::serial), in, r.serial) && ok;
            ok = fx->deserializeInt64_t(paths.field(tag::delta), in, r.delta) && ok;
            ok = fx->deserializeBool(paths.field(tag::flag), in, r.flag) && ok;
            ok = fx->deserializeUInt8_t(paths.field(tag::level), in, r.level) && ok;
            ok = fx->deserializeString(paths.field(tag::text), in, r.text) && ok;
            ok = fx->deserializeString(paths.field(tag::label), in, r.label) && ok;
        }
        return ok && std::equal(got.begin(), got.end(), data.begin(), data.end(), same);
    }

private:
    Paths paths;
};

// Both forms must make the same text.
bool sameText() {
    const Records& data = records(documentSizes[0]);
    RecordsDocument records;
    HandDocument hand;
    return RecordsText::text(records.writeAll(data)) == RecordsText::text(hand.write(data));
}

[[maybe_unused]] const bool registered =
    registerDocument<RecordsDocument>("records") && registerDocument<HandDocument>("records_hand");

} // namespace

} // namespace zelt_bench
