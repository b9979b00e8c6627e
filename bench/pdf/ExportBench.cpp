// Export of a 500-page text PDF after 1,000 script changes (300 comments added, 400
// moved, 300 deleted), next to qpdf copying the same file (read and write, as
// `qpdf in.pdf out.pdf` does). Both report pages per second.
//   build/native/bench/pdf/folium_export_bench --benchmark_min_time=2
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include "Export.h"
#include "Import.h"

namespace {

using nlohmann::json;
using OH = QPDFObjectHandle;
namespace fs = std::filesystem;

constexpr int kPages = 500;

// 500 pages of 40 text lines with two notes each.
std::string MakeInput() {
    std::string path = (fs::temp_directory_path() / "folium-export-bench.pdf").string();
    QPDF pdf;
    pdf.emptyPDF();
    OH font = pdf.makeIndirectObject(OH::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
    for (int p = 0; p < kPages; ++p) {
        std::string content = "BT /F1 10 Tf 72 770 Td 14 TL";
        for (int line = 0; line < 40; ++line)
            content += " (Page " + std::to_string(p + 1) + " line " + std::to_string(line + 1) +
                       ": the quick brown fox jumps over the lazy dog.) '";
        content += " ET";
        OH page = pdf.makeIndirectObject(OH::newDictionary(
            {{"/Type", OH::newName("/Page")},
             {"/MediaBox", OH::parse("[0 0 595 842]")},
             {"/Resources", OH::newDictionary({{"/Font", OH::newDictionary({{"/F1", font}})}})},
             {"/Contents", pdf.newStream(content)}}));
        std::vector<OH> annots;
        for (int k = 0; k < 2; ++k)
            annots.push_back(pdf.makeIndirectObject(OH::parse(
                "<< /Type /Annot /Subtype /Text /Rect [" + std::to_string(400 + 30 * k) + " 700 " +
                std::to_string(420 + 30 * k) + " 720] /Contents (note) /T (Bench) /F 4 >>")));
        page.replaceKey("/Annots", OH::newArray(annots));
        pdf.addPage(page, false);
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
    return path;
}

const std::string& Input() {
    static const std::string path = MakeInput();
    return path;
}

json ChangedState() {
    foliumpdf::ImportOptions options;
    options.text = false;
    json state = foliumpdf::ImportPdfFile(Input(), options);
    int moved = 0, deleted = 0, added = 0;
    for (auto& page : state["pages"]) {
        auto& annots = page["annotations"];
        if (moved < 400) {
            annots[0]["rect"] = {100, 100, 120, 120};
            ++moved;
        }
        if (deleted < 300 && annots.size() > 1) {
            annots.erase(1);
            ++deleted;
        }
        if (added < 300) {
            annots.push_back({{"kind", 0}, {"type", "Text"}, {"rect", {50, 50, 70, 70}}, {"contents", "added"}});
            ++added;
        }
    }
    return state;
}

void ExportAfter1000Changes(benchmark::State& bench) {
    json state = ChangedState();
    std::string out = (fs::temp_directory_path() / "folium-export-bench-out.pdf").string();
    for (auto _ : bench) foliumpdf::ExportState(state, out);
    bench.counters["pages/s"] = benchmark::Counter(double(kPages) * bench.iterations(), benchmark::Counter::kIsRate);
    fs::remove(out);
}

void QpdfCopy(benchmark::State& bench) {
    std::string out = (fs::temp_directory_path() / "folium-export-bench-copy.pdf").string();
    for (auto _ : bench) {
        QPDF pdf;
        pdf.processFile(Input().c_str());
        QPDFWriter writer(pdf, out.c_str());
        writer.write();
    }
    bench.counters["pages/s"] = benchmark::Counter(double(kPages) * bench.iterations(), benchmark::Counter::kIsRate);
    fs::remove(out);
}

BENCHMARK(ExportAfter1000Changes)->Unit(benchmark::kMillisecond);
BENCHMARK(QpdfCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
