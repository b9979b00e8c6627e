// The PDF import of a 500-page text document next to poppler's own
// `pdftotext -bbox` (the same text layout, written as XHTML) on the same file.
// One iteration is the whole document; the pages/s counter is the rate to compare.
//   build/native/bench/pdf/folium_pdf_import_bench --benchmark_min_time=2
#include "Import.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr int kPages = 500;

std::string Document() {
    const char* path = std::getenv("FOLIUM_BENCH_PDF");
    return path ? path : FOLIUM_BENCH_PDF_DEFAULT;
}

void Pages(benchmark::State& state) {
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(kPages) * state.iterations(), benchmark::Counter::kIsRate);
}

// The tool's work without process start: read, import, write the fixture.
void BM_FoliumImport(benchmark::State& state) {
    const std::string in = Document(), out = in + ".bench.json";
    for (auto _ : state) {
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        foliumpdf::ImportPdfFile(in, {}, file);
    }
    std::remove(out.c_str());
    Pages(state);
}

// Both as programs, process start included.
void BM_FoliumPdfTool(benchmark::State& state) {
    const std::string command = std::string(FOLIUM_PDF_TOOL) + " import '" + Document() + "' /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("folium-pdf failed");
    Pages(state);
}

void BM_PdftotextBbox(benchmark::State& state) {
    const std::string command = "pdftotext -bbox '" + Document() + "' /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("pdftotext failed (poppler-utils missing?)");
    Pages(state);
}

BENCHMARK(BM_FoliumImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FoliumPdfTool)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PdftotextBbox)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
