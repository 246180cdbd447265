#include "ZELTScan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "ZELTBufferAccess.h"
#include "ZELTClosingText.h"
#include "ZELTPlainBuffer.h"
#include "ZELTScanQuick.h"
#include "ZELTScanText.h"
#include "ZELTShortBytes.h"
#include "ZELTWordSearch.h"

namespace ZELT {

using namespace scanning;
using wordSearch::findByte;
using wordSearch::findEither;

namespace {

ZELT_INLINE Unread readUnread(const ZELTBuffer& in) {
    Unread unread;
    unread.plain = isPlainBuffer(in);
    unread.text = unread.plain ? in.ZELTBuffer::getBufferString() : in.getBufferString();
    const long size = unread.plain ? in.ZELTBuffer::getBufferSize() : in.getBufferSize();
    const long marker = unread.plain ? in.ZELTBuffer::getMarkerPos() : in.getMarkerPos();
    if (unread.text == nullptr || size < 0) {
        unread.text = nullptr;
        return unread;
    }
    unread.offset = std::clamp(marker, 0L, size);
    unread.end = unread.text + size;
    unread.at = marker == unread.offset ? unread.text + marker : unread.end;
    return unread;
}

ZELT_INLINE bool refuse(OpeningTag& opening, Opening state, const char* stop, bool cut) {
    opening.state = state;
    opening.stop = stop;
    opening.cut = cut;
    return false;
}

// The attributes from @p p, where the tag ended, on; see parseOpening.
bool parseAttributes(const char* p, const char* end, OpeningTag& opening) {
    for (size_t attribute = 0;; ++attribute) {
        if (p == end) {
            return refuse(opening, Opening::noEnd, p, true);
        }
        if (*p == '>') {
            opening.stop = p + 1;
            return true;
        }
        const Opening wrong = *p == ' ' ? Opening::unknownAttribute : Opening::noEnd;
        if (attribute == std::size(attributeStarts)) {
            return refuse(opening, wrong, p, false);
        }
        const std::string_view start = attributeStarts[attribute];
        const auto remaining = static_cast<size_t>(end - p);
        if (remaining < start.size() || !shortBytes::same(p, start.data(), start.size())) {
            // Cut when what there is begins the attribute.
            return refuse(opening, wrong, p, remaining < start.size() && shortBytes::same(p, start.data(), remaining));
        }
        const char* const value = p + start.size();
        p = findByte(value, end, '"');
        if (p == end) {
            return refuse(opening, Opening::unterminatedValue, value, true);
        }
        (attribute == 0 ? opening.name : opening.idx) = between(value, p);
        ++p;
    }
}

// Reads the opening tag at @p at into @p opening: true when it is one of the
// three written forms, otherwise false with the state saying how it fails.
ZELT_INLINE bool parseOpening(const char* at, const char* end, OpeningTag& opening) {
    if (at == end || *at != '<') {
        return refuse(opening, at == end ? Opening::endOfText : Opening::notAnElement, at, at == end);
    }
    const char* const tagEnd = findEither(at + 1, end, ' ', '>');
    opening.tag = between(at + 1, tagEnd);
    if (tagEnd != end && *tagEnd == '>') { // the plain form, the most common
        opening.stop = tagEnd + 1;
        return true;
    }
    return parseAttributes(tagEnd, end, opening);
}

} // namespace

namespace scanning {

AtMarker::AtMarker(const ZELTBuffer& in)
    : unread(readUnread(in)), opens(parseOpening(unread.at, unread.end, opening)) {}

const char* AtMarker::closing() const { return closingText::find<true>(opening.stop, unread.end, opening.tag); }

Unread unreadOf(const ZELTBuffer& in) { return readUnread(in); }

} // namespace scanning

namespace {

// Moves the marker past the element whose value ends at @p valueEnd and fills
// @p element; false, changing nothing, when the buffer refuses the marker.
ZELT_INLINE bool take(ZELTBuffer& in, const AtMarker& at, const char* valueEnd, ZELTElement& element) {
    const Unread& unread = at.unread;
    const OpeningTag& opening = at.opening;
    const long next = valueEnd + opening.tag.size() + closingText::extra - unread.text;
    if (!(unread.plain ? in.ZELTBuffer::setMarkerPos(next) : in.setMarkerPos(next))) {
        return false;
    }
    element.tag = opening.tag;
    element.name = opening.name;
    element.idx = opening.idx;
    element.value = between(opening.stop, valueEnd);
    element.offset = unread.at - unread.text;
    return true;
}

// scanElement for every element: see scanQuickly. Out of line, so that the
// quick way keeps few registers to save.
[[gnu::noinline]] bool scanGenerally(ZELTBuffer& in, ZELTElement& element) {
    const AtMarker at(in);
    if (!at.opens) {
        return false;
    }
    const char* const closing = at.closing();
    return closing != nullptr && take(in, at, closing, element);
}

} // namespace

bool scanElement(ZELTBuffer& in, ZELTElement& element) {
    const PlainText content = plainText(in);
    const long next = scanQuickly(content, content.text != nullptr ? in.ZELTBuffer::getMarkerPos() : 0, element);
    if (next == noElement) {
        return scanGenerally(in, element);
    }
    // The closing text lies within the content, so a plain buffer takes the marker past it.
    ZELTBufferAccess::moveMarker(in, next);
    return true;
}

long scanElements(ZELTBuffer& in, ZELTElement* elements, long count) {
    long read = 0;
    for (;;) {
        const PlainText content = plainText(in);
        if (content.text != nullptr) {
            // The marker is kept here and set once, after the elements read the quick way.
            long marker = in.ZELTBuffer::getMarkerPos();
            for (long next = 0; read < count && (next = scanQuickly(content, marker, elements[read])) != noElement;
                 ++read) {
                marker = next;
            }
            in.ZELTBuffer::setMarkerPos(marker);
        }
        // An element the quick way leaves, then the quick way again.
        if (read == count || !scanGenerally(in, elements[read])) {
            return read;
        }
        ++read;
    }
}

bool scanBytes(ZELTBuffer& in, long length, ZELTElement& element) {
    const AtMarker at(in);
    if (!at.opens || length < 0 || length > at.unread.end - at.opening.stop) {
        return false;
    }
    const char* const closing = at.opening.stop + length;
    return closingText::standsAt<true>(closing, at.unread.end, at.opening.tag) && take(in, at, closing, element);
}

bool scanNeedsMore(const ZELTBuffer& in) {
    const AtMarker at(in);
    // An element waiting for its closing text: "</tag>\n" would complete it.
    return at.opens ? at.closing() == nullptr : at.opening.cut;
}

} // namespace ZELT
