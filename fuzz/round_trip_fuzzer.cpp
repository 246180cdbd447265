// Write a sequence of elements, then read them back in the same order.
//
// The input chooses each element's type, value, and tag or tag|Name|Idx text.
// Scalar tags and string and raw-block values are lengthened by a scale byte
// (fuzz_support.h), so that texts past the conversion buffer's 64 KiB occur.
// Writing must append exactly the text the reference rules in fuzz_support.h
// compose (or refuse an unfit tag|Name|Idx and append nothing). Reading
// starts each element at its own offset: an element whose tag holds no "<",
// ">" or "/" and whose string value holds no closing text of its own must read
// back equal; a string with a Name attribute must be refused with marker and
// destination untouched; raw blocks, which the typed readers do not read, and
// the remaining elements must keep the marker within the content. Before each read, the
// scanner must read the element as scan_checks.h says.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ZELTFx.h"
#include "fuzz_support.h"
#include "scan_checks.h"

namespace {

using ZELT::ZELTBuffer;
using ZELT::ZELTFx;

enum class Expect { equal, refused, inBounds };

struct Element {
    size_t offset = 0;
    size_t length = 0;
    // Reads the element back from @p in, whose marker stands at its offset.
    std::function<void(ZELTFx&, ZELTBuffer&)> readBack;
};

bool isReadableTag(const std::string& tag) { return tag.find_first_of("<>/") == std::string::npos; }

// Reads with @p read (bool(T&)) and checks the outcome @p expect asks for.
template <typename T, typename Read>
void checkRead(ZELTBuffer& in, const Element& element, Expect expect, const T& written, const T& sentinel,
               Read read) {
    const auto start = static_cast<long>(element.offset);
    ZELT_FUZZ_CHECK(in.getMarkerPos() == start);
    T value = sentinel;
    const bool ok = read(value);
    const long marker = in.getMarkerPos();
    ZELT_FUZZ_CHECK(marker >= 0 && marker <= in.getBufferSize());
    if (expect == Expect::equal) {
        ZELT_FUZZ_CHECK(ok);
        ZELT_FUZZ_CHECK(value == written);
        ZELT_FUZZ_CHECK(marker == start + static_cast<long>(element.length));
    }
    if (expect == Expect::refused) {
        ZELT_FUZZ_CHECK(!ok);
    }
    if (!ok) {
        ZELT_FUZZ_CHECK(value == sentinel);
        ZELT_FUZZ_CHECK(marker == start);
    }
}

class RoundTrip {
public:
    explicit RoundTrip(FuzzedDataProvider& provider) : input(provider) {
        ZELTFx* created = nullptr;
        ZELT_FUZZ_CHECK(ZELTFx::instantiate(created, 0) == 0);
        fx.reset(created);
        char* const unused = nullptr;
        fx->setConvBuffer(unused, input.ConsumeIntegralInRange<long>(-1, 70000));
    }

    void writeAll() {
        while (input.remaining_bytes() > 0 && elements.size() < maximumElements) {
            const auto kind = input.ConsumeIntegralInRange<size_t>(0, zelt_fuzz::scalarCount + 1);
            if (kind < zelt_fuzz::scalarCount) {
                zelt_fuzz::visitScalar(kind, [this](auto scalar) { writeScalar(scalar); });
            } else if (kind == zelt_fuzz::scalarCount) {
                writeString();
            } else {
                writeRawBlock();
            }
            ZELT_FUZZ_CHECK(out.getBufferSize() == static_cast<long>(expected.size()));
        }
        checkWritten();
    }

    size_t longestTag = 0;

    void readAll() {
        ZELTBuffer in;
        ZELT_FUZZ_CHECK(in.setBufferString(out.getBufferString(), out.getBufferSize()));
        for (const Element& element : elements) {
            ZELT_FUZZ_CHECK(in.setMarkerPos(static_cast<long>(element.offset)));
            element.readBack(*fx, in);
        }
    }

private:
    static constexpr size_t maximumElements = 64;
    static constexpr size_t maximumText = 320 * 1024;

    // A tag or tag|Name|Idx text; NUL ends it as it ends a C string.
    std::string consumeName(size_t maximumLength) {
        return input.ConsumeRandomLengthString(maximumLength).c_str();
    }

    // @p seed lengthened by a scale byte, as far as @p copies of it (and some
    // markup) still fit in what is left of maximumText.
    std::string consumeLengthened(const std::string& seed, char filler, size_t copies) {
        const size_t share = (maximumText - std::min(expected.size(), maximumText)) / copies;
        const size_t room = share > seed.size() + 64 ? share - seed.size() - 64 : 0;
        const size_t extra = zelt_fuzz::scaledExtra(input.ConsumeIntegral<uint8_t>());
        return zelt_fuzz::lengthened(seed, std::min(extra, room), filler);
    }

    template <typename Row>
    void writeScalar(Row /*row*/) {
        using T = typename Row::Type;
        using Wide = typename Row::WideType;
        const std::string tag = consumeLengthened(consumeName(300), 't', 2); // at both ends
        longestTag = std::max(longestTag, tag.size());
        T value{};
        if constexpr (std::is_same_v<T, bool>) {
            value = input.ConsumeBool();
        } else {
            value = input.ConsumeIntegral<T>();
        }
        ZELT_FUZZ_CHECK((fx.get()->*Row::write)(value, tag.c_str(), out));
        const std::string digits = std::to_string(static_cast<Wide>(value));
        const std::string text = zelt_fuzz::openingTag(tag) + digits + zelt_fuzz::closingText(tag);
        const Expect expect = isReadableTag(tag) ? Expect::equal : Expect::inBounds;
        append(text, [tag, value, expect, digits](ZELTFx& fx, ZELTBuffer& in, const Element& element) {
            zelt_fuzz::checkScanned(fx, in, element.offset, {true, tag, "", ""}, digits, false);
            checkRead(in, element, expect, value, static_cast<T>(0x5a),
                      [&](T& read) { return (fx.*Row::read)(tag.c_str(), in, read); });
        });
    }

    // A short text, lengthened so that values beyond the conversion buffer's
    // initial size occur too.
    std::string consumeValue() { return consumeLengthened(consumeName(64), 'v', 1); }

    void writeString() {
        const std::string nameSpec = consumeName(1100);
        const std::string value = consumeValue();
        const zelt_fuzz::NameSpec names = zelt_fuzz::splitNameSpec(nameSpec);
        const std::string closing = zelt_fuzz::closingText(names.tag);
        // A value holding its own closing text could not be read back as written.
        const bool accepted = names.valid && (value + closing).find(closing) == value.size();
        ZELT_FUZZ_CHECK(fx->serializeString(value.c_str(), nameSpec.c_str(), out) == accepted);
        if (!accepted) {
            return;
        }
        Expect expect = Expect::inBounds;
        if (!names.name.empty()) {
            expect = Expect::refused;
        } else if (isReadableTag(names.tag)) {
            expect = Expect::equal;
        }
        append(zelt_fuzz::openingTag(names) + value + closing,
               [names, value, expect](ZELTFx& fx, ZELTBuffer& in, const Element& element) {
                   zelt_fuzz::checkScanned(fx, in, element.offset, names, value, false);
                   const std::string& tag = names.tag;
                   checkRead(in, element, expect, value, std::string("untouched"),
                             [&](std::string& read) { return fx.deserializeString(tag.c_str(), in, read); });
               });
    }

    // Raw bytes from the input, or now and then a piece of the output
    // written so far, which the writer must copy before the buffer moves.
    void writeRawBlock() {
        const std::string nameSpec = consumeName(1100);
        std::string bytes = consumeLengthened(input.ConsumeRandomLengthString(128), '\0', 1);
        const char* data = bytes.empty() && input.ConsumeBool() ? nullptr : bytes.data();
        if (!expected.empty() && input.ConsumeIntegralInRange(0, 3) == 0) {
            const size_t offset = input.ConsumeIntegralInRange<size_t>(0, expected.size() - 1);
            bytes = expected.substr(offset, input.ConsumeIntegralInRange<size_t>(0, expected.size() - offset));
            data = out.getBufferString() + offset;
        }
        const auto length = static_cast<long>(bytes.size());
        const zelt_fuzz::NameSpec names = zelt_fuzz::splitNameSpec(nameSpec);
        ZELT_FUZZ_CHECK(fx->serializeBuffer(data, length, nameSpec.c_str(), 0, out) == names.valid);
        if (!names.valid) {
            return;
        }
        // scanBytes reads raw blocks; reading one as a string must still stay
        // within the content.
        append(zelt_fuzz::openingTag(names) + bytes + zelt_fuzz::closingText(names.tag),
               [names, bytes](ZELTFx& fx, ZELTBuffer& in, const Element& element) {
                   zelt_fuzz::checkScanned(fx, in, element.offset, names, bytes, true);
                   const std::string& tag = names.tag;
                   checkRead(in, element, Expect::inBounds, std::string(), std::string("untouched"),
                             [&](std::string& read) { return fx.deserializeString(tag.c_str(), in, read); });
               });
    }

    template <typename Read>
    void append(const std::string& text, Read read) {
        Element element;
        element.offset = expected.size();
        element.length = text.size();
        expected += text;
        element.readBack = [read, copy = element](ZELTFx& fx, ZELTBuffer& in) { read(fx, in, copy); };
        elements.push_back(std::move(element));
    }

    // The buffer holds exactly the expected text, followed by zero bytes up
    // to its capacity.
    void checkWritten() const {
        const long size = out.getBufferSize();
        ZELT_FUZZ_CHECK(size == static_cast<long>(expected.size()));
        if (out.getBufferString() == nullptr) {
            ZELT_FUZZ_CHECK(expected.empty());
            return;
        }
        ZELT_FUZZ_CHECK(expected.compare(0, expected.size(), out.getBufferString(), expected.size()) == 0);
        ZELT_FUZZ_CHECK(out.getBufReserveSize() > size);
        const char* const tail = out.getBufferString() + size;
        const char* const areaEnd = out.getBufferString() + out.getBufReserveSize();
        ZELT_FUZZ_CHECK(std::all_of(tail, areaEnd,
                                    [](char c) { return c == '\0'; }));
    }

    FuzzedDataProvider& input;
    std::unique_ptr<ZELTFx> fx;
    ZELTBuffer out;
    std::string expected;
    std::vector<Element> elements;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    RoundTrip roundTrip(provider);
    roundTrip.writeAll();
    roundTrip.readAll();
    zelt_fuzz::LongTagStats::count(roundTrip.longestTag);
    return 0;
}
