// Feeds arbitrary bytes to the cookie text rule as UTF-8 JSON and checks the
// shape of what it produces.
#include "CookieText.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    const auto cookie = folium::MakeCookieText(json);
    if (!cookie) return 0;
    // Only an object yields text, and every pair is closed by ";".
    if (json.find('{') == std::string_view::npos) std::abort();
    if (!cookie->empty() && (cookie->back() != ';' || cookie->find('=') == std::string::npos)) {
        std::abort();
    }
    return 0;
}
