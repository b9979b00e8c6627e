#include "AnnotRecords.h"

#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

namespace folium {

namespace {

std::string MemberText(const nlohmann::json& record, const char* key) {
    const auto it = record.find(key);
    if (it == record.end()) return {};
    const nlohmann::json& v = *it;
    if (v.is_string()) return v.get<std::string>();
    if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
    if (v.is_number()) return v.dump();
    return {};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::vector<AnnotRecord>> ReadAnnotRecords(std::string_view json) {
    json = json.substr(0, json.find('\0'));
    if (json.empty()) return std::nullopt;
    const nlohmann::json root = nlohmann::json::parse(json.begin(), json.end(), nullptr,
                                                      /*allow_exceptions=*/false,
                                                      /*ignore_comments=*/true);
    if (root.is_discarded() || !root.is_object()) return std::nullopt;
    const auto annots = root.find("annots");
    if (annots == root.end() || !annots->is_array() || annots->empty()) return std::nullopt;

    std::vector<AnnotRecord> records;
    records.reserve(annots->size());
    for (const nlohmann::json& r : *annots) {
        if (!r.is_object()) continue;
        AnnotRecord a;
        a.styleId = MemberText(r, "styleId");
        a.styleName = MemberText(r, "styleName");
        a.unType = MemberText(r, "unType");
        a.pageNo = MemberText(r, "pageNo");
        a.authorName = MemberText(r, "authorName");
        a.authorId = MemberText(r, "authorId");
        a.X = MemberText(r, "X");
        a.Y = MemberText(r, "Y");
        a.width = MemberText(r, "width");
        a.height = MemberText(r, "height");
        a.createTime = MemberText(r, "createTime");
        a.curDateTime = MemberText(r, "curDateTime");
        a.annotContent = MemberText(r, "annotContent");
        a.annotSignature = MemberText(r, "annotSignature");
        a.showwidth = MemberText(r, "showwidth");
        a.showheight = MemberText(r, "showheight");
        a.annotrotate = MemberText(r, "annotrotate");
        a.annotInfo = MemberText(r, "annotInfo");
        a.uniqueName = MemberText(r, "uniqueName");
        records.push_back(std::move(a));
    }
    return records;
}

long RecordInteger(const std::string& text) {
    // strtol and not atoi: out-of-range input is clamped instead of undefined.
    return std::strtol(text.c_str(), nullptr, 10);
}

float RecordReal(const std::string& text) {
    return static_cast<float>(std::strtod(text.c_str(), nullptr));
}

std::string FormatRecordInteger(long value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld", value);
    return buf;
}

std::string FormatRecordReal(double value) {
    char buf[512];  // "%f" of the largest double has over 300 digits
    const int n = std::snprintf(buf, sizeof buf, "%f", value);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string EncodeHex(const std::uint8_t* data, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out(size * 2, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        out[2 * i] = kDigits[data[i] >> 4];
        out[2 * i + 1] = kDigits[data[i] & 15];
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> DecodeHex(std::string_view text) {
    if (text.size() % 2) return std::nullopt;
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return bytes;
}

std::string WriteJsonRecords(const std::vector<RecordFields>& records) {
    if (records.empty()) return {};
    nlohmann::json array = nlohmann::json::array();
    for (const RecordFields& fields : records) {
        nlohmann::json object = nlohmann::json::object();
        for (const auto& [key, value] : fields) object[key] = value;
        array.push_back(std::move(object));
    }
    // Compact, keys ascending (nlohmann keeps object members in a std::map).
    std::string text = array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    text += '\n';
    return text;
}

}  // namespace folium
