// Boost.Serialization: the records as a std::vector through xml_oarchive and
// xml_iarchive on string streams.
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>

#include "archive_document.h"

namespace boost::serialization {

// Boost has no attributes: the label is an element like the others.
template <typename Archive>
void serialize(Archive& archive, zelt_bench::Record& r, const unsigned int /*version*/) {
    namespace tag = zelt_bench::tag;
    archive& make_nvp(tag::id, r.id) & make_nvp(tag::serial, r.serial) & make_nvp(tag::delta, r.delta) &
        make_nvp(tag::flag, r.flag) & make_nvp(tag::level, r.level) & make_nvp(tag::text, r.text) &
        make_nvp(tag::label, r.label);
}

} // namespace boost::serialization

namespace zelt_bench {

namespace {

struct BoostArchives {
    using Out = boost::archive::xml_oarchive;
    using In = boost::archive::xml_iarchive;
    static void save(Out& archive, const Records& data) { archive << boost::serialization::make_nvp("records", data); }
    static void load(In& archive, Records& data) { archive >> boost::serialization::make_nvp("records", data); }
};

[[maybe_unused]] const bool registered = registerDocument<ArchiveDocument<BoostArchives>>("boost");

} // namespace

} // namespace zelt_bench
