// Readers against arbitrary text.
//
// Input: two scale bytes, a tag, a NUL byte, a sequence of steps (one byte
// each), a NUL byte, and the text, which may hold NUL bytes itself. The scale
// bytes lengthen the tag and a value up to 127 KiB (fuzz_support.h); in the
// text, each byte 0x01 stands for the tag and each 0x02 for the value, so that
// elements with tags and values past the conversion buffer's 64 KiB occur.
// The text is loaded into a buffer (marker 0) and the steps run in order: each
// runs one reader with the tag, moves the marker, or takes away or restores
// the conversion buffer. After every reader call its result, the stored value
// and the marker must match what the reference rules in fuzz_support.h say;
// on false the marker and the destination are untouched. The sanitizers catch
// any read outside the content. Where the string reader runs, the scanner
// and the explanations are checked first (scan_checks.h). Once per input the
// text is also read a window at a time, of 1 to 128 KiB as the scale bytes
// say, into a plain and a derived buffer, in batches of 1 to 70 elements
// (stream_checks.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ZELTFxXMLImpl.h"
#include "fuzz_support.h"
#include "scan_checks.h"
#include "stream_checks.h"

namespace {

using zelt_fuzz::ElementAt;

struct Session {
    ZELT::ZELTFxXMLImpl fx;
    ZELT::ZELTBuffer in;
    std::string text;
    std::string tag;
    bool hasConvBuffer = false;

    void setConvBuffer() {
        char* const unused = nullptr;
        fx.setConvBuffer(unused, 0);
        hasConvBuffer = true;
    }
};

// Runs @p read (bool(T&)) once and checks it against the element that the
// reference rules find at the marker; @p convert turns the element's value
// text into the T the reader must store.
template <typename T, typename Read, typename Convert>
void checkReader(Session& session, const T& sentinel, Read read, Convert convert) {
    const long marker = session.in.getMarkerPos();
    // The reader sees the unread text only up to its first NUL.
    const std::string_view unread = session.text.c_str() + marker;
    const ElementAt element = session.hasConvBuffer ? zelt_fuzz::elementAt(unread, session.tag) : ElementAt();

    T value = sentinel;
    const bool ok = read(value);
    const long after = session.in.getMarkerPos();
    ZELT_FUZZ_CHECK(after >= 0 && after <= session.in.getBufferSize());
    ZELT_FUZZ_CHECK(ok == element.found);
    if (ok) {
        ZELT_FUZZ_CHECK(value == convert(element.value));
        ZELT_FUZZ_CHECK(after == marker + static_cast<long>(element.length));
    } else {
        ZELT_FUZZ_CHECK(value == sentinel);
        ZELT_FUZZ_CHECK(after == marker);
    }
}

void runScalarReader(Session& session, size_t row) {
    zelt_fuzz::visitScalar(row, [&session](auto scalar) {
        using Row = decltype(scalar);
        using T = typename Row::Type;
        checkReader(
            session, static_cast<T>(0x5a),
            [&session](T& value) { return (session.fx.*Row::read)(session.tag.c_str(), session.in, value); },
            zelt_fuzz::expectedValue<T, typename Row::WideType>);
    });
}

void runStringReader(Session& session) {
    zelt_fuzz::checkScanAt(session.hasConvBuffer ? &session.fx : nullptr, session.text, session.in.getMarkerPos(),
                           session.tag);
    checkReader(
        session, std::string("untouched"),
        [&session](std::string& value) { return session.fx.deserializeString(session.tag.c_str(), session.in, value); },
        [](const std::string& text) { return text; });
}

enum Step : uint8_t {
    stringReader = zelt_fuzz::scalarCount,
    markerToStart,
    markerForward,
    dropConvBuffer,
    restoreConvBuffer,
    stepCount
};

void runStep(Session& session, uint8_t byte) {
    const auto step = static_cast<size_t>(byte % stepCount);
    switch (step) {
    case stringReader:
        runStringReader(session);
        break;
    case markerToStart:
        ZELT_FUZZ_CHECK(session.in.setMarkerPos(0));
        break;
    case markerForward: {
        const long next = session.in.getMarkerPos() + 1;
        ZELT_FUZZ_CHECK(session.in.setMarkerPos(next) == (next <= session.in.getBufferSize()));
        break;
    }
    case dropConvBuffer:
        // Copy assignment releases the conversion buffer.
        session.fx = ZELT::ZELTFxXMLImpl();
        session.hasConvBuffer = false;
        break;
    case restoreConvBuffer:
        session.setConvBuffer();
        break;
    default:
        runScalarReader(session, step);
        break;
    }
}

// @p text with each 0x01 replaced by @p tag and each 0x02 by @p value, as
// long as the result stays within 1 MiB.
std::string expandPlaceholders(const std::string& text, const std::string& tag, const std::string& value) {
    constexpr size_t budget = 1 << 20;
    std::string expanded;
    for (const char c : text) {
        const std::string* const replacement = c == '\x01' ? &tag : c == '\x02' ? &value : nullptr;
        if (replacement != nullptr && expanded.size() + replacement->size() <= budget) {
            expanded += *replacement;
        } else {
            expanded += c;
        }
    }
    return expanded;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t tagExtra = zelt_fuzz::scaledExtra(data[0]);
    const size_t valueExtra = zelt_fuzz::scaledExtra(data[1]);
    const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
    const size_t tagEnd = std::min(input.find('\0'), input.size());
    const size_t stepsEnd = std::min(input.find('\0', tagEnd + 1), input.size());

    Session session;
    session.tag = zelt_fuzz::lengthened(input.substr(0, tagEnd), tagExtra, 't');
    zelt_fuzz::LongTagStats::count(session.tag.size());
    const std::string steps = tagEnd < input.size() ? input.substr(tagEnd + 1, stepsEnd - tagEnd - 1) : std::string();
    const std::string text = stepsEnd < input.size() ? input.substr(stepsEnd + 1) : std::string();
    session.text = expandPlaceholders(text, session.tag, zelt_fuzz::lengthened("", valueExtra, '9'));
    session.setConvBuffer();
    ZELT_FUZZ_CHECK(session.in.setBufferString(session.text.data(), static_cast<long>(session.text.size())));

    for (const char byte : steps) {
        runStep(session, static_cast<uint8_t>(byte));
    }
    // Not exactly a ZELTBuffer: the reader reads into memory of its own for it.
    class DerivedBuffer : public ZELT::ZELTBuffer {};
    const long window = 1 + (data[0] << 9 | data[1] << 1);
    const long batchSize = 1 + data[1] % 70;
    zelt_fuzz::checkStreaming<ZELT::ZELTBuffer>(session.text, window, batchSize);
    zelt_fuzz::checkStreaming<DerivedBuffer>(session.text, window, batchSize);
    return 0;
}
