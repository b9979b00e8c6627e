// Feeds arbitrary bytes to the exchange-text reader as UTF-8 and checks what
// comes out: hexadecimal images decode exactly when they are well formed, and
// every record read survives being written and read again.
#include "AnnotRecords.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void CheckHex(const std::string& text) {
    const auto bytes = folium::DecodeHex(text);
    bool wellFormed = text.size() % 2 == 0;
    for (char c : text) wellFormed = wellFormed && std::isxdigit(static_cast<unsigned char>(c));
    if (bytes.has_value() != wellFormed) std::abort();
    if (!bytes) return;
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (folium::EncodeHex(bytes->data(), bytes->size()) != lower) std::abort();
}

folium::RecordFields Fields(const folium::AnnotRecord& r) {
    return {{"styleId", r.styleId},       {"styleName", r.styleName},   {"unType", r.unType},
            {"pageNo", r.pageNo},         {"authorName", r.authorName}, {"authorId", r.authorId},
            {"X", r.X},                   {"Y", r.Y},                   {"width", r.width},
            {"height", r.height},         {"createTime", r.createTime}, {"curDateTime", r.curDateTime},
            {"annotContent", r.annotContent}, {"annotSignature", r.annotSignature},
            {"showwidth", r.showwidth},   {"showheight", r.showheight}, {"annotrotate", r.annotrotate},
            {"annotInfo", r.annotInfo},   {"uniqueName", r.uniqueName}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckHex(std::string(text.substr(0, 64)));
    const auto records = folium::ReadAnnotRecords(text);
    if (!records) return 0;
    if (records->empty() && text.find('{') == std::string_view::npos) std::abort();
    std::vector<folium::RecordFields> fields;
    for (const auto& r : *records) {
        CheckHex(r.annotSignature);
        (void)folium::RecordInteger(r.pageNo);
        (void)folium::RecordReal(r.X);
        (void)folium::FindAnnotInfoValue<char>(r.annotInfo, "author");
        fields.push_back(Fields(r));
    }
    if (fields.empty()) return 0;
    const auto again = folium::ReadAnnotRecords("{\"annots\":" + folium::WriteJsonRecords(fields) + "}");
    if (!again || again->size() != records->size()) std::abort();
    for (std::size_t i = 0; i < records->size(); ++i)
        if (Fields((*again)[i]) != fields[i]) std::abort();
    return 0;
}
