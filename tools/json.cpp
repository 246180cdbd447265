#include <string_view>

#include "commands.h"
#include "convert.h"
#include "escapes.h"

namespace zelt_tool {

namespace {

class JsonWriter : public ElementWriter {
public:
    void element(Output& out, const ZELT::ZELTElement& element, long line) override {
        out.write("{\"line\":");
        out.putNumber(line);
        out.write(",\"offset\":");
        out.putNumber(element.offset);
        putMember(out, ",\"tag\":", element.tag);
        if (!element.name.empty()) {
            putMember(out, ",\"name\":", element.name);
        }
        if (!element.idx.empty()) {
            putMember(out, ",\"idx\":", element.idx);
        }
        putMember(out, ",\"value\":", element.value);
        out.write("}\n");
    }

private:
    static void putMember(Output& out, std::string_view key, std::string_view text) {
        out.write(key);
        writeJsonString(out, text);
    }
};

} // namespace

Status runJson(const char* path) {
    JsonWriter writer;
    return convert(path, writer);
}

} // namespace zelt_tool
