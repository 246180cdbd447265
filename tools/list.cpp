#include <string_view>

#include "commands.h"
#include "convert.h"
#include "escapes.h"
#include "utf8.h"

namespace zelt_tool {

namespace {

// The length of @p value cut to at most @p limit bytes, moved back to the
// start of a well-formed UTF-8 character that the limit would split.
size_t cutLength(std::string_view value, size_t limit) {
    if (value.size() <= limit) {
        return value.size();
    }
    const auto* const bytes = reinterpret_cast<const unsigned char*>(value.data());
    for (size_t back = 1; back <= 3 && back <= limit; ++back) {
        const size_t start = limit - back;
        if ((bytes[start] & 0xC0u) != 0x80u) { // not a continuation byte: the character starts here
            char32_t codePoint = 0;
            const int length = decodeUtf8(bytes + start, bytes + value.size(), codePoint);
            return static_cast<size_t>(length) > back ? start : limit;
        }
    }
    return limit;
}

class ListWriter : public ElementWriter {
public:
    explicit ListWriter(long maxValue) : maxValue(maxValue) {}

    void element(Output& out, const ZELT::ZELTElement& element, long line) override {
        out.putNumber(line);
        for (const std::string_view field : {element.tag, element.name, element.idx}) {
            out.put('\t');
            if (!field.empty()) { // most elements have no Name and no Idx
                writeListField(out, field);
            }
        }
        out.put('\t');
        std::string_view value = element.value;
        const bool cut = maxValue >= 0 && value.size() > static_cast<size_t>(maxValue);
        if (cut) {
            value = value.substr(0, cutLength(value, static_cast<size_t>(maxValue)));
        }
        writeListField(out, value);
        out.write(cut ? "...\n" : "\n");
    }

private:
    long maxValue;
};

} // namespace

Status runList(const char* path, long maxValue) {
    ListWriter writer(maxValue);
    return convert(path, writer);
}

} // namespace zelt_tool
