#include <string_view>

#include "base64.h"
#include "commands.h"
#include "convert.h"
#include "escapes.h"

namespace zelt_tool {

namespace {

constexpr std::string_view otherForm = "element";

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiNameChar(char c) { return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether @p tag can name its own child element. Only ASCII names qualify
// (parsers disagree on the others), without ':' (namespace prefixes), not
// beginning with "xml" in any case (reserved), not the other form's name, and
// no longer than a writer's longest tag (parsers limit names: libxml2 to 50,000).
bool namesItsElement(std::string_view tag) {
    constexpr size_t longestName = 255;
    if (tag.empty() || tag.size() > longestName || !(isAsciiLetter(tag[0]) || tag[0] == '_')) {
        return false;
    }
    for (const char c : tag) {
        if (!isAsciiNameChar(c)) {
            return false;
        }
    }
    const bool reserved = tag.size() >= 3 && lower(tag[0]) == 'x' && lower(tag[1]) == 'm' && lower(tag[2]) == 'l';
    return !reserved && tag != otherForm;
}

// ` key="text"`, or ` key-base64="..."` when XML cannot carry the text.
void putAttribute(Output& out, std::string_view key, std::string_view text) {
    out.put(' ');
    out.write(key);
    if (xmlCanCarry(text)) {
        out.write("=\"");
        writeXmlAttribute(out, text);
    } else {
        out.write("-base64=\"");
        writeBase64(out, text);
    }
    out.put('"');
}

class XmlWriter : public ElementWriter {
public:
    void begin(Output& out) override { out.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zelt>\n"); }

    bool numbersLines() const override { return false; }

    void element(Output& out, const ZELT::ZELTElement& element, long /*line*/) override {
        const std::string_view name = namesItsElement(element.tag) ? element.tag : otherForm;
        out.write("  <");
        out.write(name);
        if (name == otherForm) {
            putAttribute(out, "tag", element.tag);
        }
        if (!element.name.empty()) {
            putAttribute(out, "Name", element.name);
        }
        if (!element.idx.empty()) {
            putAttribute(out, "Idx", element.idx);
        }
        if (xmlCanCarry(element.value)) {
            out.put('>');
            writeXmlText(out, element.value);
        } else {
            out.write(" encoding=\"base64\">");
            writeBase64(out, element.value);
        }
        out.write("</");
        out.write(name);
        out.write(">\n");
    }

    void end(Output& out) override { out.write("</zelt>\n"); }
};

} // namespace

Status runXml(const char* path) {
    XmlWriter writer;
    return convert(path, writer);
}

} // namespace zelt_tool
