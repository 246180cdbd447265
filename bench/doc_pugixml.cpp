// pugixml: builds the document tree and saves it into a string; load_buffer
// parses the text into a tree that the reader then walks.
#include <pugixml.hpp>

#include "document.h"

namespace zelt_bench {

namespace {

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

class PugixmlDocument {
public:
    using Output = std::string;
    static constexpr bool readable = true;
    static constexpr bool limitForm = false;

    // pugixml allocates with malloc unless told otherwise; count its memory too.
    PugixmlDocument() { pugi::set_memory_management_functions(countedMalloc, countedFree); }

    static std::string_view text(const Output& out) { return out; }

    Output write(const Records& data) {
        pugi::xml_document document;
        pugi::xml_node root = document.append_child("doc");
        auto field = [&root](const char* name, auto value) { root.append_child(name).text().set(value); };
        for (const Record& r : data) {
            forEachCheckedField(r, field);
            pugi::xml_node label = root.append_child(tag::label);
            label.append_attribute("Name") = tag::labelName;
            label.text().set(r.label.c_str());
        }
        StringWriter writer;
        document.save(writer, "\t", pugi::format_default);
        return std::move(writer.text);
    }

    bool read(Output& in, const Records& data) {
        pugi::xml_document document;
        if (!document.load_buffer(in.data(), in.size())) {
            return false;
        }
        pugi::xml_node e = document.document_element().first_child();
        auto next = [&e] {
            const pugi::xml_text current = e.text();
            e = e.next_sibling();
            return current;
        };
        Record got{};
        bool ok = true;
        for (const Record& want : data) {
            got.id = next().as_int();
            got.serial = next().as_ullong();
            got.delta = next().as_llong();
            got.flag = next().as_bool();
            got.level = static_cast<uint8_t>(next().as_uint());
            got.text.assign(next().get());
            next(); // the label
            ok = sameReadFields(got, want) && ok;
        }
        return ok && e.empty();
    }
};

[[maybe_unused]] const bool registered = registerDocument<PugixmlDocument>("pugixml");

} // namespace

} // namespace zelt_bench
