// {fmt}: one format_to per record into a memory buffer, write only.
#include <fmt/format.h>

#include "document.h"

namespace zelt_bench {

namespace {

class FmtDocument {
public:
    using Output = fmt::memory_buffer;
    static constexpr bool readable = false;
    static constexpr bool limitForm = true;

    static std::string_view text(const Output& out) { return {out.data(), out.size()}; }

    Output write(const Records& data) {
        fmt::memory_buffer out;
        for (const Record& r : data) {
            fmt::format_to(std::back_inserter(out),
                           "<id>{}</id>\n<serial>{}</serial>\n<delta>{}</delta>\n<flag>{}</flag>\n<level>{}</level>\n"
                           "<text>{}</text>\n<label Name=\"nm\">{}</label>\n",
                           r.id, r.serial, r.delta, r.flag ? 1 : 0, unsigned{r.level}, r.text, r.label);
        }
        return out;
    }
};

[[maybe_unused]] const bool registered = registerDocument<FmtDocument>("fmt");

} // namespace

} // namespace zelt_bench
