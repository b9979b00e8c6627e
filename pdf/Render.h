// Page pictures of a PDF, drawn by poppler with annotations and form fields, so that a
// user can look at what a page script did.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace foliumpdf {

struct RenderError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A drawn page: 8-bit red, green, blue per pixel, rows top first.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    // Pixels of the box (x0, y0)-(x1, y1) (pixels, clipped) that differ from `other`'s.
    long DifferingPixels(const Picture& other, int x0, int y0, int x1, int y1) const;
};

// "1,3-5" -> {1, 3, 4, 5} (1-based, in the order given); every page must exist.
std::vector<int> ParsePageList(const std::string& text, int pageCount);

// Draws page `page` (1-based) at `dpi`.
Picture RenderPage(const std::string& pdfPath, int page, double dpi);

// Writes DIR/page-N.png for the pages given (all when empty); returns the files written.
std::vector<std::string> RenderPages(const std::string& pdfPath, const std::string& dir, const std::vector<int>& pages,
                                     double dpi);

// The tool's "render" command, given the tool's whole command line
// (`folium-pdf render IN.pdf DIR [--pages LIST] [--dpi N]`): exit 0, 2 for bad input,
// 1 for a bad command line or a failure to write.
int RunRenderCommand(int argc, char** argv);

}  // namespace foliumpdf
