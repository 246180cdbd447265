// Records, two ways, chosen by the first byte.
//
// Reading: the rest of the input is a text, each "@" in it replaced by the
// root tag (lengthened by a scale byte past 64 KiB), read as a nested record.
// The read must end without a sanitizer finding; on refusal the marker is
// back at 0 and the error has a reason, a path and a position within the
// text; on success the marker has moved within the text.
//
// Round trip: the input chooses a nested record's values (strings of any
// bytes, those holding their closing text included, long ones too) and a
// tag; writing must succeed, and reading must give the same value and take
// the whole text.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZELTRecord.h"
#include "fuzz_support.h"

namespace {

struct Leaf {
    int number = 0;
    std::string text;
    std::optional<std::vector<std::uint16_t>> list;
    template <class Fields>
    void fields(Fields& f) {
        f("number", number), f("text", text), f("list", list);
    }
    bool operator==(const Leaf& o) const { return number == o.number && text == o.text && list == o.list; }
};

struct Tree {
    long wide = 0;
    double real = 0;
    bool flag = false;
    std::vector<std::byte> raw;
    std::map<std::string, Leaf> byName;
    std::vector<Leaf> leaves;
    std::map<int, std::vector<std::string>> byNumber;
    template <class Fields>
    void fields(Fields& f) {
        f("wide", wide), f("real", real), f("flag", flag), f("raw", raw), f("byName", byName), f("leaves", leaves),
            f("byNumber", byNumber);
    }
    bool operator==(const Tree& o) const {
        return wide == o.wide && std::memcmp(&real, &o.real, sizeof real) == 0 && flag == o.flag && raw == o.raw &&
               byName == o.byName && leaves == o.leaves && byNumber == o.byNumber;
    }
};

std::string rootTag(uint8_t scale) { return zelt_fuzz::lengthened("t", zelt_fuzz::scaledExtra(scale), 't'); }

void readArbitraryText(ZELT::ZELTFx& fx, FuzzedDataProvider& input) {
    const std::string tag = rootTag(input.ConsumeIntegral<uint8_t>());
    std::string text;
    for (const char c : input.ConsumeRemainingBytesAsString()) {
        c == '@' ? text += tag : text += c;
    }
    ZELT::ZELTBuffer in;
    in.setBufferString(text.data(), static_cast<long>(text.size()));
    Tree tree;
    ZELT::ZELTRecordError error;
    if (ZELT::readValue(fx, in, tag.c_str(), tree, &error)) {
        ZELT_FUZZ_CHECK(error.reason == ZELT::ZELTRecordError::none);
        ZELT_FUZZ_CHECK(in.getMarkerPos() > 0 && in.getMarkerPos() <= in.getBufferSize());
        return;
    }
    ZELT_FUZZ_CHECK(error.reason != ZELT::ZELTRecordError::none);
    ZELT_FUZZ_CHECK(!error.path.empty() && !error.message.empty());
    ZELT_FUZZ_CHECK(error.offset >= 0 && error.offset <= in.getBufferSize());
    ZELT_FUZZ_CHECK(error.line >= 1 && error.column >= 1);
    ZELT_FUZZ_CHECK(in.getMarkerPos() == 0);
}

std::string anyBytes(FuzzedDataProvider& input) {
    const size_t extra = zelt_fuzz::scaledExtra(input.ConsumeIntegral<uint8_t>());
    return zelt_fuzz::lengthened(input.ConsumeRandomLengthString(64), extra, '<');
}

Leaf makeLeaf(FuzzedDataProvider& input) {
    Leaf leaf;
    leaf.number = input.ConsumeIntegral<int>();
    leaf.text = anyBytes(input);
    if (input.ConsumeBool()) {
        leaf.list.emplace(input.ConsumeIntegralInRange<size_t>(0, 8), input.ConsumeIntegral<uint16_t>());
    }
    return leaf;
}

void roundTrip(ZELT::ZELTFx& fx, FuzzedDataProvider& input) {
    const std::string tag = rootTag(input.ConsumeIntegral<uint8_t>());
    Tree tree;
    tree.wide = input.ConsumeIntegral<long>();
    const uint64_t bits = input.ConsumeIntegral<uint64_t>();
    std::memcpy(&tree.real, &bits, sizeof bits);
    if (std::isnan(tree.real)) {
        tree.real = std::signbit(tree.real) ? -NAN : NAN; // a NaN's payload is not kept, its sign is
    }
    tree.flag = input.ConsumeBool();
    for (const char c : anyBytes(input)) {
        tree.raw.push_back(static_cast<std::byte>(c));
    }
    for (int count = input.ConsumeIntegralInRange(0, 4); count > 0; --count) {
        const std::string key = input.ConsumeRandomLengthString(16);
        tree.byName[key] = makeLeaf(input);
        tree.leaves.push_back(makeLeaf(input));
        tree.byNumber[input.ConsumeIntegral<int>()].push_back(anyBytes(input));
    }
    ZELT::ZELTBuffer out;
    ZELT_FUZZ_CHECK(ZELT::writeValue(fx, out, tag.c_str(), tree));
    Tree back;
    back.wide = ~tree.wide;
    ZELT::ZELTRecordError error;
    ZELT_FUZZ_CHECK(ZELT::readValue(fx, out, tag.c_str(), back, &error));
    ZELT_FUZZ_CHECK(out.getMarkerPos() == out.getBufferSize());
    ZELT_FUZZ_CHECK(back == tree);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::unique_ptr<ZELT::ZELTFx> fx = [] {
        ZELT::ZELTFx* created = nullptr;
        ZELT::ZELTFx::instantiate(created, 0);
        char* const unused = nullptr;
        created->setConvBuffer(unused, 0);
        return std::unique_ptr<ZELT::ZELTFx>(created);
    }();
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        roundTrip(*fx, input);
    } else {
        readArbitraryText(*fx, input);
    }
    return 0;
}
