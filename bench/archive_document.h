#ifndef ZELT_BENCH_ARCHIVE_DOCUMENT_H
#define ZELT_BENCH_ARCHIVE_DOCUMENT_H

#include <algorithm>
#include <sstream>

#include "document.h"

namespace zelt_bench {

/// The document through a serialization library's XML archives on string
/// streams, the records saved and loaded as one std::vector. @p Archives gives
/// the Out and In archive types and save/load functions for the vector.
template <typename Archives>
class ArchiveDocument {
public:
    using Output = std::string;
    static constexpr bool readable = true;
    static constexpr bool limitForm = false;

    static std::string_view text(const Output& out) { return out; }

    Output write(const Records& data) {
        std::ostringstream stream;
        {
            // Archives may write their text only when destroyed.
            typename Archives::Out archive(stream);
            Archives::save(archive, data);
        }
        return stream.str();
    }

    bool read(Output& in, const Records& data) {
        std::istringstream stream(in);
        Records got;
        {
            typename Archives::In archive(stream);
            Archives::load(archive, got);
        }
        return std::equal(got.begin(), got.end(), data.begin(), data.end(), sameReadFields);
    }
};

} // namespace zelt_bench

#endif
