// cereal: the records as a std::vector through its XML output and input archives.
#include <cereal/archives/xml.hpp>
#include <cereal/types/string.hpp>
#include <cereal/types/vector.hpp>

#include "archive_document.h"

namespace zelt_bench {

// cereal's archives take the label as an element like the others.
template <typename Archive>
void serialize(Archive& archive, Record& r) {
    archive(cereal::make_nvp(tag::id, r.id), cereal::make_nvp(tag::serial, r.serial),
            cereal::make_nvp(tag::delta, r.delta), cereal::make_nvp(tag::flag, r.flag),
            cereal::make_nvp(tag::level, r.level), cereal::make_nvp(tag::text, r.text),
            cereal::make_nvp(tag::label, r.label));
}

namespace {

struct CerealArchives {
    using Out = cereal::XMLOutputArchive;
    using In = cereal::XMLInputArchive;
    static void save(Out& archive, const Records& data) { archive(cereal::make_nvp("records", data)); }
    static void load(In& archive, Records& data) { archive(cereal::make_nvp("records", data)); }
};

[[maybe_unused]] const bool registered = registerDocument<ArchiveDocument<CerealArchives>>("cereal");

} // namespace

} // namespace zelt_bench
