#ifndef ZELT_FUZZ_SCAN_CHECKS_H
#define ZELT_FUZZ_SCAN_CHECKS_H

// The properties of scanElement, scanBytes, explainScan and explainRead that
// the reader and round-trip fuzzers check, against rules written out here
// independently of the library.

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "ZELTScan.h"
#include "fuzz_support.h"

namespace zelt_fuzz {

// A handle whose content lies in an area of exactly its size, so that the
// sanitizers see any read past the content (a ZELTBuffer's own area goes on
// with zero bytes). The marker and size are the handle's own.
class ExactBuffer : public ZELT::ZELTBuffer {
public:
    ExactBuffer(const std::string& text, long marker) : exact(new char[text.size()]) {
        std::memcpy(exact.get(), text.data(), text.size());
        ZELT_FUZZ_CHECK(setBufferString(text.data(), static_cast<long>(text.size())));
        ZELT_FUZZ_CHECK(setMarkerPos(marker));
    }
    char* getBufferString() const override { return exact.get(); }

private:
    std::unique_ptr<char[]> exact;
};

// An element as the scanner must read it from the start of @p unread.
struct Scanned {
    bool opens = false; // the opening tag is one of the three written forms
    std::string tag, name, idx;
    size_t valueBegin = 0;
};

inline Scanned scannedAt(const std::string& unread) {
    Scanned scanned;
    const size_t tagEnd = unread.find_first_of(" >", 1);
    if (unread.empty() || unread[0] != '<' || tagEnd == std::string::npos) {
        return scanned;
    }
    scanned.tag = unread.substr(1, tagEnd - 1);
    size_t at = tagEnd;
    const std::string starts[] = {" Name=\"", " Idx=\""};
    std::string* const values[] = {&scanned.name, &scanned.idx};
    for (size_t i = 0; i < 2 && at < unread.size() && unread[at] != '>'; ++i) {
        const size_t quote = unread.find('"', at + starts[i].size());
        if (unread.compare(at, starts[i].size(), starts[i]) != 0 || quote == std::string::npos) {
            return scanned;
        }
        *values[i] = unread.substr(at + starts[i].size(), quote - at - starts[i].size());
        at = quote + 1;
    }
    scanned.opens = at < unread.size() && unread[at] == '>';
    scanned.valueBegin = at + 1;
    return scanned;
}

// Whether text appended to @p unread could make an element scanElement
// reads: @p unread begins one of the three opening forms, cut short, or holds
// a whole opening tag with no closing text after it.
inline bool couldComplete(const std::string& unread) {
    if (unread.empty()) {
        return true;
    }
    const size_t tagEnd = unread.find_first_of(" >", 1);
    if (unread[0] != '<' || tagEnd == std::string::npos) {
        return unread[0] == '<';
    }
    size_t at = tagEnd;
    const std::string starts[] = {" Name=\"", " Idx=\""};
    for (size_t i = 0; i < 2 && at < unread.size() && unread[at] != '>'; ++i) {
        const size_t present = std::min(starts[i].size(), unread.size() - at);
        if (unread.compare(at, present, starts[i], 0, present) != 0) {
            return false;
        }
        const size_t quote = unread.find('"', at + starts[i].size());
        if (present < starts[i].size() || quote == std::string::npos) {
            return true;
        }
        at = quote + 1;
    }
    if (at == unread.size()) {
        return true;
    }
    return unread[at] == '>' && unread.find(closingText(unread.substr(1, tagEnd - 1)), at + 1) == std::string::npos;
}

// A refusal's position and message: the marker's offset, line and column,
// and one printable line that starts with them.
inline void checkReadError(const ZELT::ZELTReadError& error, const std::string& text, long marker) {
    if (error.reason == ZELT::ZELTReadError::none) {
        return;
    }
    const auto before = text.begin() + marker;
    const long line = 1 + std::count(text.begin(), before, '\n');
    const long column = 1 + (before - std::find(std::make_reverse_iterator(before), text.rend(), '\n').base());
    ZELT_FUZZ_CHECK(error.offset == marker && error.line == line && error.column == column);
    const std::string prefix = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    ZELT_FUZZ_CHECK(error.message.compare(0, prefix.size(), prefix) == 0);
    ZELT_FUZZ_CHECK(error.detail() == std::string_view(error.message).substr(prefix.size()));
    ZELT_FUZZ_CHECK(
        std::all_of(error.message.begin(), error.message.end(), [](char c) { return c >= ' ' && c < 127; }));
}

const ZELT::ZELTElement untouched = {"t", "n", "i", "v", -5};

inline bool same(const ZELT::ZELTElement& a, const ZELT::ZELTElement& b) {
    return a.tag == b.tag && a.name == b.name && a.idx == b.idx && a.value == b.value && a.offset == b.offset;
}

// scanElement, scanBytes, explainScan and explainRead (with @p tag) at
// @p marker in @p text. @p reader, the formatter with a conversion buffer or
// null when it has none, must accept with deserializeString exactly when
// explainRead says none.
inline void checkScanAt(ZELT::ZELTFx* reader, const std::string& text, long marker, const std::string& tag) {
    ExactBuffer in(text, marker);
    const std::string unread = text.substr(static_cast<size_t>(marker));
    const Scanned scanned = scannedAt(unread);
    const std::string closing = closingText(scanned.tag);
    const size_t closingAt = scanned.opens ? unread.find(closing, scanned.valueBegin) : std::string::npos;
    const size_t valueLength = closingAt == std::string::npos ? 0 : closingAt - scanned.valueBegin;

    const ZELT::ZELTReadError scanError = ZELT::explainScan(in);
    checkReadError(scanError, text, marker);
    ZELT_FUZZ_CHECK(ZELT::scanNeedsMore(in) == couldComplete(unread));
    // A plain buffer, whose area ends right after the content, is read the
    // quick way where it can: it must read the same.
    ZELT::ZELTBuffer plain;
    ZELT_FUZZ_CHECK(plain.setBufferString(text.data(), static_cast<long>(text.size())) &&
                    plain.setBufReserveSize(0) && plain.setMarkerPos(marker));
    ZELT::ZELTElement plainElement = untouched;
    const bool plainFound = ZELT::scanElement(plain, plainElement);
    ZELT::ZELTElement element = untouched;
    const bool found = ZELT::scanElement(in, element);
    ZELT_FUZZ_CHECK(found == (closingAt != std::string::npos));
    ZELT_FUZZ_CHECK(found == (scanError.reason == ZELT::ZELTReadError::none));
    ZELT_FUZZ_CHECK(plainFound == found && plain.getMarkerPos() == in.getMarkerPos());
    ZELT_FUZZ_CHECK(plainElement.tag == element.tag && plainElement.name == element.name &&
                    plainElement.idx == element.idx && plainElement.value == element.value &&
                    plainElement.offset == element.offset);
    const auto expectRead = [&](bool ok, size_t length) {
        if (!ok) {
            ZELT_FUZZ_CHECK(same(element, untouched) && in.getMarkerPos() == marker);
            return;
        }
        ZELT_FUZZ_CHECK(element.tag == scanned.tag && element.name == scanned.name && element.idx == scanned.idx);
        ZELT_FUZZ_CHECK(element.value == std::string_view(unread).substr(scanned.valueBegin, length));
        ZELT_FUZZ_CHECK(element.offset == marker);
        ZELT_FUZZ_CHECK(in.getMarkerPos() == marker + static_cast<long>(scanned.valueBegin + length + closing.size()));
        element = untouched;
        ZELT_FUZZ_CHECK(in.setMarkerPos(marker));
    };
    expectRead(found, valueLength);

    const auto valueLong = static_cast<long>(valueLength);
    for (const long length : {-1L, valueLong - 1, valueLong, valueLong + 1, static_cast<long>(unread.size())}) {
        // The closing text must stand right after exactly @p length bytes.
        const bool exact =
            scanned.opens && length >= 0 &&
            scanned.valueBegin + static_cast<size_t>(length) + closing.size() <= unread.size() &&
            unread.compare(scanned.valueBegin + static_cast<size_t>(length), closing.size(), closing) == 0;
        const bool ok = ZELT::scanBytes(in, length, element);
        ZELT_FUZZ_CHECK(ok == exact);
        expectRead(ok, static_cast<size_t>(length));
    }

    const ZELT::ZELTReadError readError = ZELT::explainRead(tag.c_str(), in);
    checkReadError(readError, text, marker);
    if (reader != nullptr) {
        ZELT::ZELTBuffer plain;
        plain.setBufferString(text.data(), static_cast<long>(text.size()));
        plain.setMarkerPos(marker);
        std::string value;
        ZELT_FUZZ_CHECK(reader->deserializeString(tag.c_str(), plain, value) ==
                        (readError.reason == ZELT::ZELTReadError::none));
    }
}

// After a writer put the element of @p names (a scalar: the tag alone) and
// @p value at @p offset of @p in: scanElement must read exactly those parts,
// and the value the string reader reads, when the tag holds no space or ">"
// and the Name and Idx no quote; scanBytes must read a raw block whole. The
// marker is back at @p offset afterwards.
inline void checkScanned(ZELT::ZELTFx& fx, ZELT::ZELTBuffer& in, size_t offset, const NameSpec& names,
                         const std::string& value, bool raw) {
    const auto start = static_cast<long>(offset);
    const std::string closing = closingText(names.tag);
    const std::string idx = names.name.empty() ? std::string() : names.idx; // an Idx is written only with a Name
    const bool scannable = names.tag.find_first_of(" >") == std::string::npos &&
                           names.name.find('"') == std::string::npos && idx.find('"') == std::string::npos;
    ZELT_FUZZ_CHECK(in.setMarkerPos(start));
    const ZELT::ZELTReadError error = ZELT::explainScan(in);
    ZELT::ZELTElement element = untouched;
    const bool ok = ZELT::scanElement(in, element);
    ZELT_FUZZ_CHECK(ok == (error.reason == ZELT::ZELTReadError::none));
    ZELT_FUZZ_CHECK(in.getMarkerPos() >= 0 && in.getMarkerPos() <= in.getBufferSize());
    ZELT_FUZZ_CHECK(ok || (same(element, untouched) && in.getMarkerPos() == start));
    if (scannable) {
        // The value ends at the first closing text, which may lie within it.
        const std::string expected = (value + closing).substr(0, (value + closing).find(closing));
        const size_t opening = openingTag(NameSpec{true, names.tag, names.name, idx}).size();
        ZELT_FUZZ_CHECK(ok && element.tag == names.tag && element.name == names.name && element.idx == idx);
        ZELT_FUZZ_CHECK(element.value == expected && element.offset == start);
        const long after = start + static_cast<long>(opening + expected.size() + closing.size());
        ZELT_FUZZ_CHECK(in.getMarkerPos() == after);
        std::string read;
        ZELT_FUZZ_CHECK(in.setMarkerPos(start));
        if (names.name.empty() && value.find('\0') == std::string::npos) {
            ZELT_FUZZ_CHECK(fx.deserializeString(names.tag.c_str(), in, read) && read == expected);
            ZELT_FUZZ_CHECK(in.getMarkerPos() == after);
        }
        ZELT_FUZZ_CHECK(in.setMarkerPos(start));
        if (raw) {
            ZELT_FUZZ_CHECK(ZELT::scanBytes(in, static_cast<long>(value.size()), element) && element.value == value);
            ZELT_FUZZ_CHECK(in.getMarkerPos() == start + static_cast<long>(opening + value.size() + closing.size()));
        }
    }
    ZELT_FUZZ_CHECK(in.setMarkerPos(start));
}

} // namespace zelt_fuzz

#endif
