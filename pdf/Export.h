// Export: applies what a page script did to a document in the reader simulator back onto
// the original PDF. The simulator's saved state (its fixture JSON with "source" markers)
// is compared with the original, and only the differences are written: pages deleted,
// reordered or added, annotations added, changed and deleted, field values, watermarks,
// page rotation and attachments. Everything the state does not describe (fonts, content,
// outline, metadata, links, signatures) is kept as it was.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace foliumpdf {

// A refusal with a reason a user can act on ("bad state: ...", "the original PDF ...").
// `badInput` is false for failures of the machine (e.g. the output cannot be written).
struct ExportError : std::runtime_error {
    ExportError(const std::string& what, bool badInput = true) : std::runtime_error(what), badInput(badInput) {}
    bool badInput;
};

struct ExportSummary {
    int pages = 0;            // pages in the output
    int pagesDeleted = 0;     // original pages not in the output
    int pagesAdded = 0;       // pages that did not come from the original
    int annotationsAdded = 0;
    int annotationsChanged = 0;
    int annotationsDeleted = 0;
    int fieldsSet = 0;
    int watermarksAdded = 0;
    int watermarksDeleted = 0;
    int attachmentsAdded = 0;
    int attachmentsRemoved = 0;
    int warnings = 0;  // things drawn in a simpler form (e.g. an unreadable stamp image)
};

// Reads the state file and writes `outPath`; the output appears only when complete.
ExportSummary ExportPdf(const std::string& statePath, const std::string& outPath);
ExportSummary ExportState(const nlohmann::json& state, const std::string& outPath);

// The tool's "export" command, given the tool's whole command line
// (`folium-pdf export STATE.json OUT.pdf`). Exit code 0, 2 for bad input, 1 for a bad
// command line or a failure to write; reasons go to stderr as "folium-pdf: <reason>".
int RunExportCommand(int argc, char** argv);

}  // namespace foliumpdf
