// Malformed PDFs through the import: qpdf and poppler parse, this checks what the
// import wraps around them. A file is refused with an ImportError or yields one
// JSON document whose runs and rectangles are finite numbers.
#include "Import.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

void CheckNumbers(const nlohmann::json& j) {
    if (j.is_number_float() && !std::isfinite(j.get<double>())) std::abort();
    if (j.is_structured())
        for (auto& item : j) CheckNumbers(item);
}

// The first bytes also drive the run assembly directly with odd words.
void AssembleFromBytes(const std::uint8_t* data, std::size_t size) {
    std::vector<foliumpdf::Word> words;
    for (std::size_t at = 0; at + 34 <= size && words.size() < 64; at += 34) {
        foliumpdf::Word w;
        double v[4];
        std::memcpy(v, data + at, sizeof v);
        w.x = v[0];
        w.baseline = v[1];
        w.width = v[2];
        w.size = v[3];
        w.spaceAfter = data[at + 32] & 1;
        w.newLine = data[at + 32] & 2;
        w.text.assign(1 + data[at + 33] % 3, static_cast<char>('a' + data[at + 33] % 26));
        words.push_back(w);
    }
    nlohmann::json runs = foliumpdf::AssembleRuns(words);
    CheckNumbers(runs);
    if (runs.size() > words.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AssembleFromBytes(data, size);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    foliumpdf::ImportOptions options;
    options.maxPages = 64;  // keeps each input short
    std::ostringstream out;
    try {
        foliumpdf::ImportPdfBytes(bytes, "/fuzz/input.pdf", options, out);
    } catch (const foliumpdf::ImportError&) {
        return 0;
    }
    auto fixture = nlohmann::json::parse(out.str(), nullptr, false);
    if (fixture.is_discarded() || !fixture["pages"].is_array() || fixture["pages"].empty()) std::abort();
    CheckNumbers(fixture);
    return 0;
}
