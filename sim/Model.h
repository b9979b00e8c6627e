// In-memory documents of the simulated reader and their JSON fixture format
// (described in docs/simulator.md).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qxsim {

struct TextRun {
    double x = 0, y = 0;  // baseline start, page units, origin bottom-left
    double size = 12;     // font size: a wide (CJK) character advances by size, others by size / 2
    std::wstring text;
    double width = 0;          // real width (runs from a PDF): the advances are scaled to it; 0: unscaled
    std::wstring sep = L"\n";  // what stands between the previous run and this one in the page text
};

struct PopupData {
    std::wstring title;
    bool open = false;
};

struct TextStyleData {
    double secondOption = 0;
    std::wstring intent;
    long color = 0;
    double fontSize = 12;
    std::wstring fontName;
};

struct PageData;

struct AnnotData {
    long kind = 0;
    std::wstring type = L"Text";
    std::wstring author, contents, uniqueName, creationDate, modDate, blendMode;
    double left = 0, bottom = 0, right = 0, top = 0;
    long flags = 0, color = 0, rotation = 0, imageRotation = 0, imageFlag = 0, stampKind = 0;
    double opacity = 1.0;
    bool visible = true;
    std::wstring stampText;
    std::string image;       // image bytes
    std::wstring imagePath;  // image given as a path or URL
    bool hasPopup = false;
    PopupData popup;
    TextStyleData textStyle;
    std::map<std::wstring, std::wstring> values;
    std::wstring source;  // "objnum gen" of the annotation in the original PDF; "" when added here
    bool deleted = false;
    bool committed = true;
    PageData* page = nullptr;  // owner, null once removed
};

struct WatermarkData {
    std::wstring name, text, image;
    long align = 0, color = 0, rotation = 0, underlay = 0;
    double x = 0, y = 0, scale = 1, fontSize = 0, opacity = 1;
    bool noPrint = false;
};

struct PageData {
    double width = 595, height = 842;
    long rotation = 0;
    bool grayscale = false;
    std::vector<TextRun> runs;
    std::vector<std::shared_ptr<AnnotData>> annots;
    std::vector<WatermarkData> watermarks;
    long index = 0;  // 0-based, kept current by the document
    long source = -1;  // 0-based page index in the original PDF (or in sourceFile); -1 when not from one
    std::wstring sourceFile;  // Unix path of another PDF the page was inserted from; "" for the document's own

    // Page text: the runs joined by "\n"; built on first use.
    const std::wstring& Text();
    const std::wstring& LowerText();
    // Box of characters [begin, end) of Text() in page coordinates.
    void Box(size_t begin, size_t end, double* x1, double* y1, double* x2, double* y2);
    void Invalidate() { textBuilt = false; }

private:
    bool textBuilt = false;
    std::wstring text, lower;
    std::vector<int> runOf;      // run of each character (-1 for separators)
    std::vector<double> xOf;     // left edge of each character
    std::vector<double> advOf;   // advance of each character
    void Build();
};

struct BookmarkData {
    std::wstring title;
    long page = 1;  // 1-based target page
    BookmarkData* parent = nullptr;
    size_t slot = 0;  // position among its siblings
    std::vector<std::shared_ptr<BookmarkData>> children;
};

struct FieldData {
    std::wstring name, fullName, value;
    long kind = 1;
    bool signedField = false;
    std::wstring signer;
    std::shared_ptr<AnnotData> widget;  // lives on a page too when page >= 0
};

struct AttachmentData {
    std::wstring name, description;
    std::string data;
};

struct DocData {
    std::wstring path;  // full path of the file the document was opened from or saved to
    std::wstring source;  // Unix path of the original PDF of an imported document; "" for fixtures
    std::wstring sourceDigest;  // SHA-256 (hex) of that file when it was imported
    long type = 0;      // 0 PDF, 1 OFD
    long security = 0;
    std::map<long, bool> permissions;  // kind -> allowed; absent kinds are allowed
    std::vector<std::shared_ptr<PageData>> pages;
    std::vector<std::shared_ptr<BookmarkData>> bookmarks;
    std::vector<std::shared_ptr<FieldData>> fields;
    std::vector<AttachmentData> attachments;
    std::wstring selectedBookmark;
    long modified = 0;
    long nextUnique = 1;

    void Reindex();
};

// Loads a fixture, or a real PDF (a file starting with "%PDF") through the import
// tool (with its password, if any); false (with a reason) when the file is missing
// or neither.
bool LoadDocument(const std::wstring& path, DocData* doc, std::wstring* error, const std::wstring& password = L"");
bool ParseDocument(const std::string& json, DocData* doc, std::wstring* error);
// Writes the document in the fixture format.
bool SaveDocument(const DocData& doc, const std::wstring& path);
// Saves as the reader's "Save As" does: a document read from a real PDF, saved under a
// ".pdf" name, becomes a real PDF (the export tool applies the changes onto its original);
// everything else is written as a fixture. False with a reason on failure.
bool SaveDocumentAs(const DocData& doc, const std::wstring& path, std::wstring* error);
// sourceText false leaves out the text of pages from an original PDF (the export's state).
std::string SerializeDocument(const DocData& doc, bool sourceText = true);
// Copies pages [first, last] (0-based) of src into a document whose original is
// targetSource: a page of another real PDF keeps that file ("sourceFile") and its
// index; annotation markers stay only between pages of the same original.
std::vector<std::shared_ptr<PageData>> CopyPages(const DocData& src, long first, long last,
                                                 const std::wstring& targetSource);

std::string Base64Encode(const std::string& bytes);
std::string Base64Decode(const std::string& text);
bool ReadWholeFile(const std::wstring& path, std::string* bytes);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace qxsim
