#include "CookieText.h"

#include <nlohmann/json.hpp>

namespace folium {

std::optional<std::string> MakeCookieText(std::string_view text) {
    if (text.empty()) return std::nullopt;
    // nlohmann::json keeps object members in a std::map, so iteration is
    // already in ascending byte order of the names.
    const nlohmann::json root = nlohmann::json::parse(text.begin(), text.end(), nullptr,
                                                      /*allow_exceptions=*/false,
                                                      /*ignore_comments=*/true);
    if (root.is_discarded() || !root.is_object()) return std::nullopt;

    std::string cookie;
    for (const auto& [name, value] : root.items()) {
        cookie += name;
        cookie += '=';
        if (value.is_string()) {
            cookie += value.get_ref<const std::string&>();
        } else if (!value.is_null()) {
            // The parser has already rejected ill-formed UTF-8, so replacing
            // never happens; it only keeps dump() from throwing.
            cookie += value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        }
        cookie += ';';
    }
    return cookie;
}

}  // namespace folium
