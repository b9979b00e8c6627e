// Runs the native PDF tool (folium-pdf, a Linux program) from inside Wine.
#pragma once

#include <string>
#include <vector>

namespace qxsim {

// Unix path of a Windows path (Wine's own mapping); "" when it has none.
std::wstring UnixPath(const std::wstring& windowsPath);

// The tool: the environment variable FOLIUM_PDF_TOOL (a Unix path), else
// build/native/bin/folium-pdf beside the build/win/bin folder of QuirexSim.dll.
std::wstring PdfToolPath();

// Runs `folium-pdf args...` (Unix paths and plain texts) and waits for it. Returns
// its exit code (0 success, 1 usage, 2 bad input), or -1 when it could not be
// started; output and error receive its standard output and error (UTF-8 read
// as wide text), either may be null. On -1, error says why.
long RunPdfTool(const std::vector<std::wstring>& args, std::wstring* output, std::wstring* error);
// A run that takes longer is stopped (exit code 124, error "PDF tool stopped after N s").
constexpr long kPdfToolSeconds = 120;

// Imports the PDF at windowsPath (password "" for none) into fixture JSON text;
// false with the tool's reason (its "folium-pdf: " prefix removed) on failure.
// Documents of more pages than FOLIUM_PDF_MAX_PAGES (default kPdfMaxPages) are
// refused: a 2,000-page import costs the simulator some 25 s and a gigabyte.
constexpr long kPdfMaxPages = 1000;
bool ImportPdf(const std::wstring& windowsPath, const std::wstring& password, std::string* fixture,
               std::wstring* error);

// Writes the document state (fixture JSON with its "source" markers) as a real PDF at
// windowsPath through `folium-pdf export`; false with the tool's reason on failure.
bool ExportPdf(const std::string& state, const std::wstring& windowsPath, std::wstring* error);

}  // namespace qxsim
