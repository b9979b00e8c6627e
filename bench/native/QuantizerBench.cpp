// The octree quantizer next to libimagequant, both making a 16-colour palette
// for a 1-megapixel photo-like image and mapping every pixel to it without
// dithering. One iteration is one megapixel (2^20 pixels), so the Time and
// CPU columns are the cost per megapixel; MSE is the mean squared error per
// channel of the mapped image against the original.
#include "Quantizer.h"

#include <benchmark/benchmark.h>
#include <libimagequant.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kSide = 1024;  // 1,048,576 pixels

// Smooth shaded shapes over a sky-like gradient with sensor-like noise: many
// thousands of distinct colours, most of them close to a few dominant hues.
struct Photo {
    std::vector<std::uint8_t> rgba;  // top row first
    std::vector<std::uint8_t> dib;   // 24-bit bottom-up rows, blue green red
};

const Photo& GetPhoto() {
    static const Photo photo = [] {
        Photo p;
        p.rgba.resize(std::size_t{kSide} * kSide * 4);
        p.dib.resize(folium::DibStride(kSide, 24) * kSide);
        std::mt19937 noise(7);
        std::normal_distribution<double> grain(0.0, 4.0);
        struct Blob { double x, y, r, cr, cg, cb; };
        const Blob blobs[] = {{300, 700, 260, 40, 120, 50},  {760, 760, 200, 170, 110, 60},
                              {520, 300, 180, 220, 190, 160}, {150, 200, 120, 90, 60, 140},
                              {880, 250, 150, 230, 80, 70}};
        for (std::uint32_t y = 0; y < kSide; ++y) {
            for (std::uint32_t x = 0; x < kSide; ++x) {
                const double t = static_cast<double>(y) / kSide;
                double r = 90 + 120 * t, g = 140 + 80 * t, b = 230 - 40 * t;
                for (const Blob& bl : blobs) {
                    const double d = std::hypot(x - bl.x, y - bl.y) / bl.r;
                    if (d < 1) {
                        const double shade = 0.55 + 0.45 * std::cos(d * 1.5707963);
                        const double w = std::min(1.0, (1 - d) * 6);
                        r = r * (1 - w) + bl.cr * shade * w;
                        g = g * (1 - w) + bl.cg * shade * w;
                        b = b * (1 - w) + bl.cb * shade * w;
                    }
                }
                auto clamp = [](double v) {
                    return static_cast<std::uint8_t>(std::lround(std::min(255.0, std::max(0.0, v))));
                };
                const std::uint8_t cr = clamp(r + grain(noise)), cg = clamp(g + grain(noise)),
                                   cb = clamp(b + grain(noise));
                std::uint8_t* q = &p.rgba[(std::size_t{y} * kSide + x) * 4];
                q[0] = cr, q[1] = cg, q[2] = cb, q[3] = 255;
                std::uint8_t* d = &p.dib[folium::DibStride(kSide, 24) * (kSide - 1 - y) + x * 3];
                d[0] = cb, d[1] = cg, d[2] = cr;
            }
        }
        return p;
    }();
    return photo;
}

double Mse(const std::vector<std::uint8_t>& rgba, const std::vector<std::uint8_t>& mapped,
           const std::uint8_t (*palette)[3]) {
    double sum = 0;
    for (std::size_t i = 0; i < mapped.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const double d = static_cast<double>(rgba[i * 4 + c]) - palette[mapped[i]][c];
            sum += d * d;
        }
    return sum / (static_cast<double>(mapped.size()) * 3);
}

void Octree(benchmark::State& state) {
    const Photo& photo = GetPhoto();
    const std::size_t n = std::size_t{kSide} * kSide;
    std::vector<std::uint8_t> mapped(n);
    std::vector<folium::PaletteEntry> palette;
    for (auto _ : state) {
        folium::CQuantizer q(16, 8);
        q.ScanBitmap({kSide, kSide, 24, photo.dib.data(), nullptr, 0});
        palette = q.Palette();
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* p = &photo.rgba[i * 4];
            mapped[i] = static_cast<std::uint8_t>(
                folium::NearestPaletteIndex(palette.data(), palette.size(), p[0], p[1], p[2]));
        }
        benchmark::DoNotOptimize(mapped.data());
    }
    std::uint8_t rgb[256][3] = {};
    for (std::size_t i = 0; i < palette.size(); ++i)
        rgb[i][0] = palette[i].red, rgb[i][1] = palette[i].green, rgb[i][2] = palette[i].blue;
    state.counters["MSE"] = Mse(photo.rgba, mapped, rgb);
    state.counters["colours"] = static_cast<double>(palette.size());
}

void LibImageQuant(benchmark::State& state) {
    const Photo& photo = GetPhoto();
    const std::size_t n = std::size_t{kSide} * kSide;
    std::vector<std::uint8_t> mapped(n);
    std::uint8_t rgb[256][3] = {};
    int colours = 0;
    for (auto _ : state) {
        liq_attr* attr = liq_attr_create();
        liq_set_max_colors(attr, 16);
        liq_image* image = liq_image_create_rgba(attr, photo.rgba.data(), kSide, kSide, 0);
        liq_result* result = nullptr;
        if (liq_image_quantize(image, attr, &result) != LIQ_OK) {
            state.SkipWithError("libimagequant failed");
            break;
        }
        liq_set_dithering_level(result, 0.0f);
        liq_write_remapped_image(result, image, mapped.data(), mapped.size());
        const liq_palette* pal = liq_get_palette(result);
        colours = static_cast<int>(pal->count);
        for (unsigned i = 0; i < pal->count; ++i)
            rgb[i][0] = pal->entries[i].r, rgb[i][1] = pal->entries[i].g, rgb[i][2] = pal->entries[i].b;
        liq_result_destroy(result);
        liq_image_destroy(image);
        liq_attr_destroy(attr);
        benchmark::DoNotOptimize(mapped.data());
    }
    state.counters["MSE"] = Mse(photo.rgba, mapped, rgb);
    state.counters["colours"] = colours;
}

BENCHMARK(Octree)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LibImageQuant)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
