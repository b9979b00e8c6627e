// Import of a real PDF into the reader simulator's document fixture (JSON).
// poppler lays out the text, qpdf reads the objects; this code only maps what
// they report onto the fixture model.
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace foliumpdf {

// A failure with the one-line reason the tool prints ("not a PDF file", ...).
struct ImportError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ImportOptions {
    std::string password;
    long maxPages = 100000;  // more pages: ImportError "too many pages"
    bool text = true;        // false: no text layout (pages get no "text"; the export's baseline)
};

// A word as poppler reports it, in page coordinates (y upwards, origin at the
// lower-left corner of the crop box).
struct Word {
    std::string text;  // UTF-8
    double x = 0, baseline = 0, width = 0, size = 0;
    bool spaceAfter = false;
    bool newLine = false;  // first word of a text line
};

// Words -> fixture text runs: words that touch (no space between them) become
// one run; a run continuing the previous run's line carries "sep" " " (or "").
nlohmann::json AssembleRuns(const std::vector<Word>& words);

// Writes the fixture of a PDF held in memory to out: compact JSON, keys ascending,
// a final line feed; `source` becomes the top-level "source". Page texts are
// written as they are laid out, so a long document is never held whole.
void ImportPdfBytes(const std::string& bytes, const std::string& source, const ImportOptions& options,
                    std::ostream& out);
// The same for a PDF file (its absolute path is the "source").
void ImportPdfFile(const std::string& path, const ImportOptions& options, std::ostream& out);
// The same fixture as a value (for callers that compare with it, e.g. the export).
nlohmann::json ImportPdfFile(const std::string& path, const ImportOptions& options);

}  // namespace foliumpdf
