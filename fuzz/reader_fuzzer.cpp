// Readers against arbitrary text.
//
// Input: a tag, a NUL byte, a sequence of steps (one byte each), a NUL byte,
// and the text, which may hold NUL bytes itself. The text is loaded into a
// buffer (marker 0) and the steps run in order: each runs one reader with the
// tag, moves the marker, or takes away or restores the conversion buffer.
// After every reader call its result, the stored value and the marker must
// match what the reference rules in fuzz_support.h say; on false the marker
// and the destination are untouched. The sanitizers catch any read outside
// the content. Where the string reader runs, the scanner and the
// explanations are checked first (scan_checks.h).

#include <cstddef>
#include <cstdint>
#include <string>

#include "ZELTFxXMLImpl.h"
#include "fuzz_support.h"
#include "scan_checks.h"

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
    const std::string unread = session.text.c_str() + marker;
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t tagEnd = std::min(input.find('\0'), input.size());
    const size_t stepsEnd = std::min(input.find('\0', tagEnd + 1), input.size());

    Session session;
    session.tag = input.substr(0, tagEnd);
    const std::string steps = tagEnd < size ? input.substr(tagEnd + 1, stepsEnd - tagEnd - 1) : std::string();
    session.text = stepsEnd < size ? input.substr(stepsEnd + 1) : std::string();
    session.setConvBuffer();
    ZELT_FUZZ_CHECK(session.in.setBufferString(session.text.data(), static_cast<long>(session.text.size())));

    for (const char byte : steps) {
        runStep(session, static_cast<uint8_t>(byte));
    }
    return 0;
}
