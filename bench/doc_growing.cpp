// Hand-written code that must grow its output as zelt must (it does not know
// the final size): memcpy and std::to_chars into a doubling area; a reader
// that finds each closing text with memmem. And a naive snprintf loop.
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

#include "document.h"
#include "hand_written.h"

namespace zelt_bench {

namespace {

// The opening and closing text of one field's element.
struct Element {
    std::string open;
    std::string close;
};

Element element(const std::string& tagName, const std::string& attributes = "") {
    return {"<" + tagName + attributes + ">", "</" + tagName + ">\n"};
}

// In field order: id, serial, delta, flag, level, text, label.
const Element fields[] = {element(tag::id),    element(tag::serial), element(tag::delta),
                          element(tag::flag),  element(tag::level),  element(tag::text),
                          element(tag::label, std::string(" Name=\"") + tag::labelName + "\"")};

size_t fixedRecordBytes() {
    size_t bytes = 0;
    for (const Element& e : fields) {
        bytes += e.open.size() + e.close.size();
    }
    return bytes;
}

using hand::maximumDigits;
using hand::putNumber;
using hand::putText;

// The value of the element @p e at @p at, which then moves past the element.
bool take(const char*& at, const char* end, const Element& e, std::string_view& value) {
    if (static_cast<size_t>(end - at) < e.open.size() || std::memcmp(at, e.open.data(), e.open.size()) != 0) {
        return false;
    }
    const char* const begin = at + e.open.size();
    const auto* const closing =
        static_cast<const char*>(memmem(begin, static_cast<size_t>(end - begin), e.close.data(), e.close.size()));
    if (closing == nullptr) {
        return false;
    }
    value = std::string_view(begin, static_cast<size_t>(closing - begin));
    at = closing + e.close.size();
    return true;
}

template <typename T>
bool takeNumber(const char*& at, const char* end, const Element& e, T& value) {
    std::string_view digits;
    if (!take(at, end, e, digits)) {
        return false;
    }
    const char* const last = digits.data() + digits.size();
    if constexpr (std::is_same_v<T, bool>) {
        int number = 0;
        const auto result = std::from_chars(digits.data(), last, number);
        value = number > 0;
        return result.ec == std::errc() && result.ptr == last;
    } else {
        const auto result = std::from_chars(digits.data(), last, value);
        return result.ec == std::errc() && result.ptr == last;
    }
}

// A growable text area: doubling, and no zero-filling of the spare room.
class TextArea {
public:
    // Room for @p extra more bytes, at the end of the text.
    char* room(size_t extra) {
        if (size + extra > capacity) {
            const size_t grown = std::max(size + extra, capacity * 2);
            std::unique_ptr<char[]> larger(new char[grown]);
            std::memcpy(larger.get(), area.get(), size);
            area = std::move(larger);
            capacity = grown;
        }
        return area.get() + size;
    }
    void commit(const char* end) { size = static_cast<size_t>(end - area.get()); }
    std::string_view view() const { return {area.get(), size}; }

private:
    std::unique_ptr<char[]> area = std::make_unique<char[]>(4096);
    size_t size = 0;
    size_t capacity = 4096;
};

class GrowingDocument {
public:
    using Output = TextArea;
    static constexpr bool readable = true;
    static constexpr bool limitForm = true;

    static std::string_view text(const Output& out) { return out.view(); }

    Output write(const Records& data) {
        TextArea out;
        const size_t fixed = fixedRecordBytes();
        for (const Record& r : data) {
            char* at = out.room(fixed + 5 * maximumDigits + r.text.size() + r.label.size());
            at = putNumber(at, fields[0], r.id);
            at = putNumber(at, fields[1], r.serial);
            at = putNumber(at, fields[2], r.delta);
            at = putNumber(at, fields[3], static_cast<int>(r.flag));
            at = putNumber(at, fields[4], static_cast<unsigned>(r.level));
            at = putText(at, fields[5], r.text);
            out.commit(putText(at, fields[6], r.label));
        }
        return out;
    }

    bool read(Output& in, const Records& data) {
        const char* at = in.view().data();
        const char* const end = at + in.view().size();
        Record got{};
        std::string_view value;
        bool ok = true;
        for (const Record& want : data) {
            ok = takeNumber(at, end, fields[0], got.id) && ok;
            ok = takeNumber(at, end, fields[1], got.serial) && ok;
            ok = takeNumber(at, end, fields[2], got.delta) && ok;
            ok = takeNumber(at, end, fields[3], got.flag) && ok;
            ok = takeNumber(at, end, fields[4], got.level) && ok;
            ok = take(at, end, fields[5], value) && ok;
            got.text.assign(value); // as a reader that hands out strings must
            ok = take(at, end, fields[6], value) && sameReadFields(got, want) && ok;
        }
        return ok && at == end;
    }
};

// The plain C way: one snprintf per record into a line, appended to a string.
class SnprintfDocument {
public:
    using Output = std::string;
    static constexpr bool readable = false;
    static constexpr bool limitForm = true;

    static std::string_view text(const Output& out) { return out; }

    Output write(const Records& data) {
        std::string out;
        char line[512];
        for (const Record& r : data) {
            const int length = std::snprintf(line, sizeof line,
                                             "<id>%" PRId32 "</id>\n<serial>%" PRIu64 "</serial>\n<delta>%" PRId64
                                             "</delta>\n<flag>%d</flag>\n<level>%u</level>\n<text>%s</text>\n"
                                             "<label Name=\"nm\">%s</label>\n",
                                             r.id, r.serial, r.delta, r.flag ? 1 : 0, unsigned{r.level},
                                             r.text.c_str(), r.label.c_str());
            out.append(line, static_cast<size_t>(length));
        }
        return out;
    }
};

[[maybe_unused]] const bool registered =
    registerDocument<GrowingDocument>("growing") && registerDocument<SnprintfDocument>("snprintf");

} // namespace

} // namespace zelt_bench
