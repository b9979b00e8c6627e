#include "Render.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

namespace foliumpdf {

namespace {

// Larger pictures than this (pixels) are refused: a huge page at a high resolution.
constexpr double kMaxPixels = 200e6;

std::unique_ptr<poppler::document> Open(const std::string& path) {
    // poppler's complaints about the file go nowhere; what matters is whether it opens.
    poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    if (!doc) throw RenderError("cannot open " + path + " as a PDF file");
    if (doc->is_locked()) throw RenderError("encrypted: password needed: " + path);
    return doc;
}

poppler::image Draw(poppler::document& doc, int page, double dpi) {
    if (!(dpi >= 1 && dpi <= 2400)) throw RenderError("the resolution must be 1 to 2400 dpi");
    if (page < 1 || page > doc.pages()) throw RenderError("page " + std::to_string(page) + " is not in the document");
    std::unique_ptr<poppler::page> p(doc.create_page(page - 1));
    if (!p) throw RenderError("page " + std::to_string(page) + " cannot be read");
    auto box = p->page_rect(poppler::media_box);
    if (box.width() * box.height() * dpi * dpi / (72.0 * 72.0) > kMaxPixels)
        throw RenderError("page " + std::to_string(page) + " is too large at " + std::to_string(int(dpi)) + " dpi");
    poppler::page_renderer renderer;
    renderer.set_render_hints(poppler::page_renderer::antialiasing | poppler::page_renderer::text_antialiasing);
    poppler::image image = renderer.render_page(p.get(), dpi, dpi);
    if (!image.is_valid()) throw RenderError("page " + std::to_string(page) + " cannot be drawn");
    return image;
}

}  // namespace

long Picture::DifferingPixels(const Picture& other, int x0, int y0, int x1, int y1) const {
    long count = 0;
    for (int y = std::max(0, y0); y < std::min({y1, height, other.height}); ++y)
        for (int x = std::max(0, x0); x < std::min({x1, width, other.width}); ++x) {
            size_t a = (static_cast<size_t>(y) * width + x) * 3, b = (static_cast<size_t>(y) * other.width + x) * 3;
            if (rgb[a] != other.rgb[b] || rgb[a + 1] != other.rgb[b + 1] || rgb[a + 2] != other.rgb[b + 2]) ++count;
        }
    return count;
}

std::vector<int> ParsePageList(const std::string& text, int pageCount) {
    std::vector<int> pages;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        long first = std::strtol(item.c_str(), &end, 10), last = first;
        if (end != item.c_str() && *end == '-') {
            const char* rest = end + 1;
            last = std::strtol(rest, &end, 10);
            if (end == rest) end = const_cast<char*>(rest) - 1;  // "3-" is not a range
        }
        if (item.empty() || end == item.c_str() || *end != '\0' || first < 1 || last < first)
            throw RenderError("bad page list \"" + text + "\" (use e.g. 1,3-5)");
        if (last > pageCount)
            throw RenderError("page " + std::to_string(last) + " is not in the document (" + std::to_string(pageCount) +
                              " pages)");
        for (long p = first; p <= last; ++p) pages.push_back(static_cast<int>(p));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return pages;
}

Picture RenderPage(const std::string& pdfPath, int page, double dpi) {
    auto doc = Open(pdfPath);
    poppler::image image = Draw(*doc, page, dpi);
    Picture picture;
    picture.width = image.width();
    picture.height = image.height();
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(image.const_data() + y * image.bytes_per_row());
        for (int x = 0; x < picture.width; ++x) {
            // poppler draws 32-bit pixels as B, G, R, A in memory.
            size_t o = (static_cast<size_t>(y) * picture.width + x) * 3;
            picture.rgb[o] = row[x * 4 + 2];
            picture.rgb[o + 1] = row[x * 4 + 1];
            picture.rgb[o + 2] = row[x * 4];
        }
    }
    return picture;
}

std::vector<std::string> RenderPages(const std::string& pdfPath, const std::string& dir, const std::vector<int>& pages,
                                     double dpi) {
    auto doc = Open(pdfPath);
    std::vector<int> list = pages;
    if (list.empty())
        for (int p = 1; p <= doc->pages(); ++p) list.push_back(p);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) throw RenderError("cannot make the folder " + dir);
    std::vector<std::string> written;
    for (int page : list) {
        std::string file = (std::filesystem::path(dir) / ("page-" + std::to_string(page) + ".png")).string();
        if (!Draw(*doc, page, dpi).save(file, "png", static_cast<int>(dpi)))
            throw RenderError("cannot write " + file);
        written.push_back(file);
    }
    return written;
}

int RunRenderCommand(int argc, char** argv) {
    std::vector<std::string> positional;
    std::string pageList;
    double dpi = 96;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "--pages" || arg == "--dpi") && i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "--pages") pageList = value;
            else {
                char* end = nullptr;
                dpi = std::strtod(value.c_str(), &end);
                if (end == value.c_str() || *end) dpi = 0;
            }
        } else if (arg.rfind("--", 0) == 0) {
            positional.clear();
            break;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        std::cerr << "folium-pdf: usage: folium-pdf render IN.pdf DIR [--pages LIST] [--dpi N]\n";
        return 1;
    }
    try {
        std::vector<int> pages;
        if (!pageList.empty()) pages = ParsePageList(pageList, Open(positional[0])->pages());
        auto files = RenderPages(positional[0], positional[1], pages, dpi);
        std::cout << "folium-pdf: wrote " << files.size() << " page pictures in " << positional[1] << "\n";
        return 0;
    } catch (const RenderError& e) {
        std::cerr << "folium-pdf: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "folium-pdf: render failed: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace foliumpdf
