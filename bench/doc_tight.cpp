// The tight limit: the least work that makes and reads the document. The
// writer sizes its output once from an upper bound and copies constant tag
// texts around std::to_chars; the reader knows the tags, compares each
// opening tag with memcmp where it must stand, parses digits in place and
// expects the closing text right after the value (a text value ends at its
// first '<'). No memmem, no strlen, no growing.
#include <charconv>
#include <cstring>
#include <memory>


#include "document.h"
#include "hand_written.h"

namespace zelt_bench {

namespace {

// One field's element texts, sized at compile time.
struct Tags {
    std::string_view open;
    std::string_view close;
};

constexpr Tags idTags{"<id>", "</id>\n"};
constexpr Tags serialTags{"<serial>", "</serial>\n"};
constexpr Tags deltaTags{"<delta>", "</delta>\n"};
constexpr Tags flagTags{"<flag>", "</flag>\n"};
constexpr Tags levelTags{"<level>", "</level>\n"};
constexpr Tags textTags{"<text>", "</text>\n"};
constexpr Tags labelTags{"<label Name=\"nm\">", "</label>\n"};
constexpr Tags allTags[] = {idTags, serialTags, deltaTags, flagTags, levelTags, textTags, labelTags};

using hand::maximumDigits;

constexpr size_t markupPerRecord() {
    size_t bytes = 0;
    for (const Tags& t : allTags) {
        bytes += t.open.size() + t.close.size();
    }
    return bytes + 5 * maximumDigits;
}

using hand::putNumber;
using hand::putText;

// Whether @p text stands at @p at (within @p end); moves @p at past it.
bool expect(const char*& at, const char* end, std::string_view text) {
    if (static_cast<size_t>(end - at) < text.size() || std::memcmp(at, text.data(), text.size()) != 0) {
        return false;
    }
    at += text.size();
    return true;
}

template <typename T>
bool takeNumber(const char*& at, const char* end, const Tags& t, T& value) {
    if (!expect(at, end, t.open)) {
        return false;
    }
    if constexpr (std::is_same_v<T, bool>) {
        int number = 0;
        const auto result = std::from_chars(at, end, number);
        value = number > 0;
        at = result.ptr;
        return result.ec == std::errc() && expect(at, end, t.close);
    } else {
        const auto result = std::from_chars(at, end, value);
        at = result.ptr;
        return result.ec == std::errc() && expect(at, end, t.close);
    }
}

bool takeText(const char*& at, const char* end, const Tags& t, std::string_view& value) {
    if (!expect(at, end, t.open)) {
        return false;
    }
    const auto* const stop = static_cast<const char*>(std::memchr(at, '<', static_cast<size_t>(end - at)));
    if (stop == nullptr) {
        return false;
    }
    value = std::string_view(at, static_cast<size_t>(stop - at));
    at = stop;
    return expect(at, end, t.close);
}

struct Text {
    std::unique_ptr<char[]> area;
    size_t size = 0;
};

class TightDocument {
public:
    using Output = Text;
    static constexpr bool readable = true;
    static constexpr bool limitForm = true;

    static std::string_view text(const Output& out) { return {out.area.get(), out.size}; }

    Output write(const Records& data) {
        size_t bound = 0;
        for (const Record& r : data) {
            bound += markupPerRecord() + r.text.size() + r.label.size();
        }
        Text out{std::unique_ptr<char[]>(new char[bound]), 0};
        adviseHugePages(out.area.get(), bound); // as zelt's buffer does for large areas
        char* at = out.area.get();
        for (const Record& r : data) {
            at = putNumber(at, idTags, r.id);
            at = putNumber(at, serialTags, r.serial);
            at = putNumber(at, deltaTags, r.delta);
            at = putNumber(at, flagTags, static_cast<int>(r.flag));
            at = putNumber(at, levelTags, static_cast<unsigned>(r.level));
            at = putText(at, textTags, r.text);
            at = putText(at, labelTags, r.label);
        }
        out.size = static_cast<size_t>(at - out.area.get());
        return out;
    }

    bool read(Output& in, const Records& data) {
        const char* at = in.area.get();
        const char* const end = at + in.size;
        Record got{};
        std::string_view value;
        bool ok = true;
        for (const Record& want : data) {
            ok = takeNumber(at, end, idTags, got.id) && ok;
            ok = takeNumber(at, end, serialTags, got.serial) && ok;
            ok = takeNumber(at, end, deltaTags, got.delta) && ok;
            ok = takeNumber(at, end, flagTags, got.flag) && ok;
            ok = takeNumber(at, end, levelTags, got.level) && ok;
            ok = takeText(at, end, textTags, value) && ok;
            got.text.assign(value); // as a reader that hands out strings must
            ok = takeText(at, end, labelTags, value) && value == want.label && sameReadFields(got, want) && ok;
        }
        return ok && at == end;
    }
};

[[maybe_unused]] const bool registered = registerDocument<TightDocument>("limit");

} // namespace

std::string limitText(const Records& data) {
    const Text text = TightDocument().write(data);
    return std::string(text.area.get(), text.size);
}

} // namespace zelt_bench
