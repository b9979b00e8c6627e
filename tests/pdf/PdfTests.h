// Shared by the PDF tool's tests.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

namespace pdftest {

// Set by CTest: the generated samples and the tool.
inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// An import without object references, file names and digests, attachments by name:
// what a script sees.
inline nlohmann::json Visible(nlohmann::json j) {
    if (j.is_object()) {
        for (const char* key : {"source", "sourceDigest", "sourceFile"}) j.erase(key);
        for (auto& [k, v] : j.items()) v = Visible(v);
        if (j.contains("attachments"))
            std::sort(j["attachments"].begin(), j["attachments"].end(),
                      [](const auto& a, const auto& b) { return a.value("name", "") < b.value("name", ""); });
    } else if (j.is_array()) {
        for (auto& v : j) v = Visible(v);
    }
    return j;
}

}  // namespace pdftest
