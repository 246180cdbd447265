// Settings saved by "version 1" of a program and loaded by "version 2",
// which added a field (zoom), dropped one (legacy) and moved one (theme to
// the front), and the other way round. Prints both texts and what each
// version loaded; exits with 1 when a load is refused.
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZELTRecord.h"

namespace v1 {
struct Settings {
    std::string user = "ada";
    int legacy = 7;
    std::vector<std::string> recent = {"notes.txt", "plan.md"};
    std::map<std::string, int> sizes = {{"font", 12}, {"tab width", 4}};
    std::string theme = "dark";
    template <class Fields>
    void fields(Fields& f) {
        f("user", user), f("legacy", legacy), f("recent", recent), f("sizes", sizes), f("theme", theme);
    }
};
} // namespace v1

namespace v2 {
struct Settings {
    std::string theme = "light";
    std::string user = "nobody";
    std::vector<std::string> recent;
    std::map<std::string, int> sizes;
    double zoom = 1.25;
    std::optional<std::string> proxy;
    template <class Fields>
    void fields(Fields& f) {
        f("theme", theme), f("user", user), f("recent", recent), f("sizes", sizes), f("zoom", zoom),
            f("proxy", proxy);
    }
};
} // namespace v2

namespace {

template <class Settings>
std::string save(ZELT::ZELTFx& fx, const Settings& settings) {
    ZELT::ZELTBuffer out;
    ZELT::writeValue(fx, out, "settings", settings);
    return std::string(out.getBufferString(), static_cast<size_t>(out.getBufferSize()));
}

template <class Settings>
bool load(ZELT::ZELTFx& fx, const std::string& text, Settings& settings) {
    ZELT::ZELTBuffer in;
    in.setBufferString(text.data(), static_cast<long>(text.size()));
    ZELT::ZELTRecordError error;
    if (!ZELT::readValue(fx, in, "settings", settings, &error)) {
        std::printf("refused: %s\n", error.message.c_str());
        return false;
    }
    return true;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

} // namespace

int main() {
    ZELT::ZELTFx* created = nullptr;
    ZELT::ZELTFx::instantiate(created, 0);
    const std::unique_ptr<ZELT::ZELTFx> fx(created);
    char* const unused = nullptr;
    fx->setConvBuffer(unused, 0);

    const std::string oldText = save(*fx, v1::Settings{});
    std::printf("version 1 saved:\n%s\n", oldText.c_str());
    v2::Settings newer;
    if (!load(*fx, oldText, newer)) {
        return 1;
    }
    std::printf("version 2 loaded: theme %s, user %s, recent [%s], font %d, zoom %g (kept), proxy %s\n\n",
                newer.theme.c_str(), newer.user.c_str(), joined(newer.recent).c_str(), newer.sizes["font"], newer.zoom,
                newer.proxy ? newer.proxy->c_str() : "none");

    newer.proxy = "http://proxy:3128";
    newer.recent.push_back("todo.txt");
    const std::string newText = save(*fx, newer);
    std::printf("version 2 saved:\n%s\n", newText.c_str());
    v1::Settings older;
    older.legacy = 3;
    if (!load(*fx, newText, older)) {
        return 1;
    }
    std::printf("version 1 loaded: theme %s, user %s, recent [%s], legacy %d (kept)\n", older.theme.c_str(),
                older.user.c_str(), joined(older.recent).c_str(), older.legacy);
    return 0;
}
