// tinyxml2: XMLPrinter streams the document; XMLDocument::Parse builds the
// tree that the reader then walks.
#include <tinyxml2.h>

#include <memory>

#include "document.h"

namespace zelt_bench {

namespace {

class Tinyxml2Document {
public:
    // XMLPrinter cannot be copied or moved.
    using Output = std::unique_ptr<tinyxml2::XMLPrinter>;
    static constexpr bool readable = true;
    static constexpr bool limitForm = false;

    static std::string_view text(const Output& out) {
        return {out->CStr(), static_cast<size_t>(out->CStrSize() - 1)};
    }

    Output write(const Records& data) {
        auto out = std::make_unique<tinyxml2::XMLPrinter>();
        out->OpenElement("doc");
        auto field = [&out](const char* name, auto value) {
            out->OpenElement(name);
            out->PushText(value);
            out->CloseElement();
        };
        for (const Record& r : data) {
            forEachCheckedField(r, field);
            out->OpenElement(tag::label);
            out->PushAttribute("Name", tag::labelName);
            out->PushText(r.label.c_str());
            out->CloseElement();
        }
        out->CloseElement();
        return out;
    }

    bool read(Output& in, const Records& data) {
        tinyxml2::XMLDocument document;
        const std::string_view input = text(in);
        if (document.Parse(input.data(), input.size()) != tinyxml2::XML_SUCCESS) {
            return false;
        }
        const tinyxml2::XMLElement* e = document.RootElement()->FirstChildElement();
        Record got{};
        unsigned level = 0;
        bool ok = true;
        auto next = [&e] {
            const tinyxml2::XMLElement* const current = e;
            e = e->NextSiblingElement();
            return current;
        };
        for (const Record& want : data) {
            if (e == nullptr) {
                return false;
            }
            ok = next()->QueryIntText(&got.id) == tinyxml2::XML_SUCCESS && ok;
            ok = next()->QueryUnsigned64Text(&got.serial) == tinyxml2::XML_SUCCESS && ok;
            ok = next()->QueryInt64Text(&got.delta) == tinyxml2::XML_SUCCESS && ok;
            ok = next()->QueryBoolText(&got.flag) == tinyxml2::XML_SUCCESS && ok;
            ok = next()->QueryUnsignedText(&level) == tinyxml2::XML_SUCCESS && ok;
            got.level = static_cast<uint8_t>(level);
            got.text.assign(next()->GetText());
            next(); // the label
            ok = sameReadFields(got, want) && ok;
        }
        return ok && e == nullptr;
    }
};

[[maybe_unused]] const bool registered = registerDocument<Tinyxml2Document>("tinyxml2");

} // namespace

} // namespace zelt_bench
