// Fixture reading and writing, page text layout.
#include "Model.h"

#include <windows.h>

#include <nlohmann/json.hpp>

#include "NativeTool.h"
#include "SimCore.h"

using nlohmann::json;

namespace qxsim {

namespace {

bool IsWide(wchar_t c) { return c >= 0x2E80; }

std::wstring W(const json& j, const char* key, const std::wstring& def = L"") {
    auto it = j.find(key);
    if (it == j.end() || !it->is_string()) return def;
    return ToWide(it->get_ref<const std::string&>());
}
double D(const json& j, const char* key, double def) {
    auto it = j.find(key);
    return (it != j.end() && it->is_number()) ? it->get<double>() : def;
}
long L(const json& j, const char* key, long def) {
    auto it = j.find(key);
    if (it == j.end()) return def;
    if (it->is_number_integer()) return static_cast<long>(it->get<long long>());
    if (it->is_number()) return static_cast<long>(it->get<double>());
    if (it->is_boolean()) return it->get<bool>() ? 1 : 0;
    return def;
}
bool B(const json& j, const char* key, bool def) {
    auto it = j.find(key);
    if (it == j.end()) return def;
    if (it->is_boolean()) return it->get<bool>();
    if (it->is_number()) return it->get<double>() != 0;
    return def;
}
std::string U(const std::wstring& w) { return ToUtf8(w); }

std::shared_ptr<AnnotData> ReadAnnot(const json& a) {
    auto d = std::make_shared<AnnotData>();
    d->kind = L(a, "kind", 0);
    d->type = W(a, "type", d->kind == 0 ? L"Text" : d->kind == 2 ? L"FreeText" : d->kind == 12 ? L"Stamp" : L"");
    d->author = W(a, "author");
    d->contents = W(a, "contents");
    d->uniqueName = W(a, "uniqueName");
    d->creationDate = W(a, "creationDate");
    d->modDate = W(a, "modDate");
    d->blendMode = W(a, "blendMode");
    if (auto r = a.find("rect"); r != a.end() && r->is_array() && r->size() == 4) {
        d->left = (*r)[0].get<double>();
        d->bottom = (*r)[1].get<double>();
        d->right = (*r)[2].get<double>();
        d->top = (*r)[3].get<double>();
    }
    d->flags = L(a, "flags", 0);
    d->color = L(a, "color", 0);
    d->rotation = L(a, "rotation", 0);
    d->imageRotation = L(a, "imageRotation", 0);
    d->imageFlag = L(a, "imageFlag", 0);
    d->stampKind = L(a, "stampKind", 0);
    d->opacity = D(a, "opacity", 1.0);
    d->visible = B(a, "visible", true);
    d->stampText = W(a, "stampText");
    d->image = Base64Decode(U(W(a, "image")));
    d->imagePath = W(a, "imagePath");
    d->source = W(a, "source");
    if (auto p = a.find("popup"); p != a.end() && p->is_object()) {
        d->hasPopup = true;
        d->popup.title = W(*p, "title");
        d->popup.open = B(*p, "open", false);
    }
    if (auto t = a.find("textStyle"); t != a.end() && t->is_object()) {
        d->textStyle.secondOption = D(*t, "secondOption", 0);
        d->textStyle.intent = W(*t, "intent");
        d->textStyle.color = L(*t, "color", 0);
        d->textStyle.fontSize = D(*t, "fontSize", 12);
        d->textStyle.fontName = W(*t, "fontName");
    }
    if (auto v = a.find("values"); v != a.end() && v->is_object()) {
        for (auto& [k, val] : v->items())
            if (val.is_string()) d->values[ToWide(k)] = ToWide(val.get<std::string>());
    }
    return d;
}

json WriteAnnot(const AnnotData& d) {
    json a = json::object();
    a["kind"] = d.kind;
    a["type"] = U(d.type);
    a["author"] = U(d.author);
    a["contents"] = U(d.contents);
    a["uniqueName"] = U(d.uniqueName);
    a["creationDate"] = U(d.creationDate);
    a["modDate"] = U(d.modDate);
    a["blendMode"] = U(d.blendMode);
    a["rect"] = json::array({d.left, d.bottom, d.right, d.top});
    a["flags"] = d.flags;
    a["color"] = d.color;
    a["rotation"] = d.rotation;
    a["imageRotation"] = d.imageRotation;
    a["imageFlag"] = d.imageFlag;
    a["stampKind"] = d.stampKind;
    a["opacity"] = d.opacity;
    a["visible"] = d.visible;
    a["stampText"] = U(d.stampText);
    a["image"] = Base64Encode(d.image);
    a["imagePath"] = U(d.imagePath);
    if (!d.source.empty()) a["source"] = U(d.source);
    if (d.hasPopup) a["popup"] = {{"title", U(d.popup.title)}, {"open", d.popup.open}};
    a["textStyle"] = {{"secondOption", d.textStyle.secondOption},
                      {"intent", U(d.textStyle.intent)},
                      {"color", d.textStyle.color},
                      {"fontSize", d.textStyle.fontSize},
                      {"fontName", U(d.textStyle.fontName)}};
    json v = json::object();
    for (auto& [k, val] : d.values) v[U(k)] = U(val);
    a["values"] = v;
    return a;
}

std::shared_ptr<BookmarkData> ReadBookmark(const json& b, BookmarkData* parent) {
    auto d = std::make_shared<BookmarkData>();
    d->title = W(b, "title");
    d->page = L(b, "page", 1);
    d->parent = parent;
    if (auto c = b.find("children"); c != b.end() && c->is_array())
        for (auto& child : *c) {
            d->children.push_back(ReadBookmark(child, d.get()));
            d->children.back()->slot = d->children.size() - 1;
        }
    return d;
}

json WriteBookmark(const BookmarkData& d) {
    json b = {{"title", U(d.title)}, {"page", d.page}};
    if (!d.children.empty()) {
        json c = json::array();
        for (auto& child : d.children) c.push_back(WriteBookmark(*child));
        b["children"] = c;
    }
    return b;
}

json WritePage(const PageData& p, const DocData& doc, bool sourceText) {
    json j = {{"width", p.width}, {"height", p.height}, {"rotation", p.rotation}};
    if (p.grayscale) j["grayscale"] = true;
    if (p.source >= 0) j["source"] = p.source;
    if (!p.sourceFile.empty()) j["sourceFile"] = U(p.sourceFile);
    json runs = json::array();
    for (auto& r : p.runs) {
        if (!sourceText && p.source >= 0) break;
        json run = {{"x", r.x}, {"y", r.y}, {"size", r.size}, {"text", U(r.text)}};
        if (r.width > 0) run["width"] = r.width;
        if (r.sep != L"\n") run["sep"] = U(r.sep);
        runs.push_back(std::move(run));
    }
    j["text"] = runs;
    json annots = json::array();
    for (auto& a : p.annots) {
        bool isWidget = false;
        for (auto& f : doc.fields)
            if (f->widget == a) isWidget = true;
        if (!isWidget) annots.push_back(WriteAnnot(*a));
    }
    j["annotations"] = annots;
    json wms = json::array();
    for (auto& w : p.watermarks)
        wms.push_back({{"name", U(w.name)}, {"text", U(w.text)}, {"image", U(w.image)}, {"align", w.align},
                       {"color", w.color}, {"rotation", w.rotation}, {"underlay", w.underlay}, {"x", w.x},
                       {"y", w.y}, {"scale", w.scale}, {"fontSize", w.fontSize}, {"opacity", w.opacity},
                       {"noPrint", w.noPrint}});
    j["watermarks"] = wms;
    return j;
}

TextRun ReadRun(const json& rj) {
    TextRun r;
    r.x = D(rj, "x", 72);
    r.y = D(rj, "y", 770);
    r.size = D(rj, "size", 12);
    r.text = W(rj, "text");
    r.width = std::max(0.0, D(rj, "width", 0));
    r.sep = W(rj, "sep", L"\n");
    return r;
}

// runs: the page's text runs when the parser already took them out of pj.
std::shared_ptr<PageData> ReadPage(const json& pj, std::vector<TextRun> runs) {
    auto p = std::make_shared<PageData>();
    p->width = D(pj, "width", 595);
    p->height = D(pj, "height", 842);
    p->rotation = L(pj, "rotation", 0);
    p->grayscale = B(pj, "grayscale", false);
    p->source = L(pj, "source", -1);
    p->sourceFile = W(pj, "sourceFile");
    if (auto t = pj.find("text"); t != pj.end()) {
        if (t->is_string()) {
            // Plain text: one run per line from the top margin down.
            std::wstring all = ToWide(t->get<std::string>());
            double y = p->height - 72;
            size_t start = 0;
            while (start <= all.size()) {
                size_t nl = all.find(L'\n', start);
                if (nl == std::wstring::npos) nl = all.size();
                TextRun r;
                r.x = 72;
                r.y = y;
                r.size = 12;
                r.text = all.substr(start, nl - start);
                p->runs.push_back(std::move(r));
                y -= 16;
                start = nl + 1;
            }
        } else if (t->is_array()) {
            p->runs = std::move(runs);
            for (auto& rj : *t) p->runs.push_back(ReadRun(rj));
        }
    }
    if (auto a = pj.find("annotations"); a != pj.end() && a->is_array())
        for (auto& aj : *a) {
            auto d = ReadAnnot(aj);
            d->page = p.get();
            p->annots.push_back(d);
        }
    if (auto w = pj.find("watermarks"); w != pj.end() && w->is_array())
        for (auto& wj : *w) {
            WatermarkData d;
            d.name = W(wj, "name");
            d.text = W(wj, "text");
            d.image = W(wj, "image");
            d.align = L(wj, "align", 0);
            d.color = L(wj, "color", 0);
            d.rotation = L(wj, "rotation", 0);
            d.underlay = L(wj, "underlay", 0);
            d.x = D(wj, "x", 0);
            d.y = D(wj, "y", 0);
            d.scale = D(wj, "scale", 1);
            d.fontSize = D(wj, "fontSize", 0);
            d.opacity = D(wj, "opacity", 1);
            d.noPrint = B(wj, "noPrint", false);
            p->watermarks.push_back(d);
        }
    return p;
}

}  // namespace

void PageData::Build() {
    size_t total = 0;
    for (auto& r : runs) total += r.text.size() + r.sep.size();
    text.clear();
    runOf.clear();
    xOf.clear();
    advOf.clear();
    text.reserve(total);
    runOf.reserve(total);
    xOf.reserve(total);
    advOf.reserve(total);
    for (size_t r = 0; r < runs.size(); ++r) {
        if (r)
            for (wchar_t c : runs[r].sep) {
                text.push_back(c);
                runOf.push_back(-1);
                xOf.push_back(0);
                advOf.push_back(0);
            }
        double x = runs[r].x;
        // A run from a real PDF spans its measured width exactly.
        double natural = 0;
        for (wchar_t c : runs[r].text) natural += IsWide(c) ? runs[r].size : runs[r].size * 0.5;
        double scale = (runs[r].width > 0 && natural > 0) ? runs[r].width / natural : 1.0;
        for (wchar_t c : runs[r].text) {
            double adv = (IsWide(c) ? runs[r].size : runs[r].size * 0.5) * scale;
            text.push_back(c);
            runOf.push_back(static_cast<int>(r));
            xOf.push_back(x);
            advOf.push_back(adv);
            x += adv;
        }
    }
    lower = text;
    if (!lower.empty()) CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
    textBuilt = true;
}

const std::wstring& PageData::Text() {
    if (!textBuilt) Build();
    return text;
}

const std::wstring& PageData::LowerText() {
    if (!textBuilt) Build();
    return lower;
}

void PageData::Box(size_t begin, size_t end, double* x1, double* y1, double* x2, double* y2) {
    if (!textBuilt) Build();
    double left = 1e300, right = -1e300, top = -1e300, bottom = 1e300;
    for (size_t i = begin; i < end && i < text.size(); ++i) {
        if (runOf[i] < 0) continue;
        const TextRun& r = runs[runOf[i]];
        left = std::min(left, xOf[i]);
        right = std::max(right, xOf[i] + advOf[i]);
        top = std::max(top, r.y + r.size);
        bottom = std::min(bottom, r.y);
    }
    if (left > right) left = right = top = bottom = 0;
    *x1 = left;
    *y1 = top;
    *x2 = right;
    *y2 = bottom;
}

void DocData::Reindex() {
    for (size_t i = 0; i < pages.size(); ++i) pages[i]->index = static_cast<long>(i);
}

bool ParseDocument(const std::string& text, DocData* doc, std::wstring* error) {
    // Text runs are most of an imported PDF (hundreds per page): they are read as
    // the parser meets them instead of being kept in the tree, which halves the time
    // and saves most of the memory of a long document.
    std::vector<std::vector<TextRun>> pageRuns;
    std::string topKey, pageKey;
    auto takeRuns = [&](int depth, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::key) {
            if (depth == 1) topKey = parsed.get<std::string>();
            else if (depth == 3) pageKey = parsed.get<std::string>();
        } else if (depth == 2 && topKey == "pages" &&
                   (event == json::parse_event_t::object_start || event == json::parse_event_t::array_start ||
                    event == json::parse_event_t::value)) {  // one slot per page, whatever it holds
            pageRuns.emplace_back();
            pageKey.clear();
        } else if (depth == 4 && event == json::parse_event_t::object_end && topKey == "pages" && pageKey == "text" &&
                   !pageRuns.empty()) {
            pageRuns.back().push_back(ReadRun(parsed));
            return false;
        }
        return true;
    };
    json j = json::parse(text, takeRuns, false);
    if (j.is_discarded() || !j.is_object()) {
        if (error) *error = L"not a JSON object";
        return false;
    }
    auto pages = j.find("pages");
    if (pages == j.end() || !pages->is_array()) {
        if (error) *error = L"no pages";
        return false;
    }
    std::wstring type = W(j, "type", L"PDF");
    doc->type = EqualNoCase(type, L"OFD") ? 1 : 0;
    doc->security = L(j, "security", 0);
    doc->source = W(j, "source");
    doc->sourceDigest = W(j, "sourceDigest");
    doc->modified = 0;
    if (auto p = j.find("permissions"); p != j.end() && p->is_object())
        for (auto& [k, v] : p->items()) doc->permissions[std::stol(k)] = v.is_boolean() ? v.get<bool>() : v.get<double>() != 0;
    doc->pages.reserve(pages->size());
    for (size_t i = 0; i < pages->size(); ++i)
        doc->pages.push_back(ReadPage((*pages)[i], i < pageRuns.size() ? std::move(pageRuns[i]) : std::vector<TextRun>()));
    doc->Reindex();
    if (auto b = j.find("bookmarks"); b != j.end() && b->is_array())
        for (auto& bj : *b) {
            doc->bookmarks.push_back(ReadBookmark(bj, nullptr));
            doc->bookmarks.back()->slot = doc->bookmarks.size() - 1;
        }
    doc->selectedBookmark = W(j, "selectedBookmark");
    if (auto f = j.find("fields"); f != j.end() && f->is_array())
        for (auto& fj : *f) {
            auto fd = std::make_shared<FieldData>();
            fd->name = W(fj, "name");
            fd->fullName = W(fj, "fullName", fd->name);
            fd->value = W(fj, "value");
            fd->kind = L(fj, "kind", 1);
            fd->signedField = B(fj, "signed", false);
            fd->signer = W(fj, "signer");
            json wj = fj.contains("widget") && fj["widget"].is_object() ? fj["widget"] : json::object();
            auto w = ReadAnnot(wj);
            w->kind = L(wj, "kind", 20);
            w->type = W(wj, "type", L"Widget");
            long page = L(wj, "page", fj.contains("widget") ? 0 : -1);
            if (page >= 0 && page < static_cast<long>(doc->pages.size())) {
                w->page = doc->pages[page].get();
                doc->pages[page]->annots.push_back(w);
            }
            fd->widget = w;
            doc->fields.push_back(fd);
        }
    if (auto a = j.find("attachments"); a != j.end() && a->is_array())
        for (auto& aj : *a) {
            AttachmentData d;
            d.name = W(aj, "name");
            d.description = W(aj, "description");
            d.data = Base64Decode(U(W(aj, "data")));
            doc->attachments.push_back(std::move(d));
        }
    return true;
}

bool LoadDocument(const std::wstring& path, DocData* doc, std::wstring* error, const std::wstring& password) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) {
        if (error) *error = L"cannot read the file";
        return false;
    }
    if (bytes.compare(0, 4, "%PDF") == 0) {
        std::string fixture;
        if (!ImportPdf(path, password, &fixture, error)) return false;
        bytes.swap(fixture);
    }
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF) bytes.erase(0, 3);
    if (!ParseDocument(bytes, doc, error)) return false;
    doc->path = path;
    return true;
}

bool SaveDocumentAs(const DocData& doc, const std::wstring& path, std::wstring* error) {
    if (error) error->clear();
    bool pdfName = path.size() > 4 && EqualNoCase(path.substr(path.size() - 4), L".pdf");
    // The export takes the text of pages from the original from the original itself.
    if (!doc.source.empty() && pdfName) return ExportPdf(SerializeDocument(doc, false), path, error);
    if (!path.empty() && SaveDocument(doc, path)) return true;
    if (error) *error = L"cannot write the file";
    return false;
}

std::string SerializeDocument(const DocData& doc, bool sourceText) {
    json j = json::object();
    j["format"] = "quirex-sim-document";
    j["version"] = 1;
    j["type"] = doc.type == 1 ? "OFD" : "PDF";
    j["security"] = doc.security;
    if (!doc.source.empty()) j["source"] = U(doc.source);
    if (!doc.sourceDigest.empty()) j["sourceDigest"] = U(doc.sourceDigest);
    json perms = json::object();
    for (auto& [k, v] : doc.permissions) perms[std::to_string(k)] = v;
    j["permissions"] = perms;
    json pages = json::array();
    for (auto& p : doc.pages) pages.push_back(WritePage(*p, doc, sourceText));
    j["pages"] = pages;
    json bms = json::array();
    for (auto& b : doc.bookmarks) bms.push_back(WriteBookmark(*b));
    j["bookmarks"] = bms;
    j["selectedBookmark"] = U(doc.selectedBookmark);
    json fields = json::array();
    for (auto& f : doc.fields) {
        json fj = {{"name", U(f->name)}, {"fullName", U(f->fullName)}, {"value", U(f->value)},
                   {"kind", f->kind},    {"signed", f->signedField},   {"signer", U(f->signer)}};
        if (f->widget) {
            json w = WriteAnnot(*f->widget);
            w["page"] = f->widget->page ? f->widget->page->index : -1;
            fj["widget"] = w;
        }
        fields.push_back(fj);
    }
    j["fields"] = fields;
    json atts = json::array();
    for (auto& a : doc.attachments)
        atts.push_back({{"name", U(a.name)}, {"description", U(a.description)}, {"data", Base64Encode(a.data)}});
    j["attachments"] = atts;
    return j.dump(1);
}

bool SaveDocument(const DocData& doc, const std::wstring& path) {
    return WriteWholeFile(path, SerializeDocument(doc));
}

std::vector<std::shared_ptr<PageData>> CopyPages(const DocData& src, long first, long last,
                                                 const std::wstring& targetSource) {
    std::vector<std::shared_ptr<PageData>> out;
    for (long i = std::max(0L, first); i <= last && i < static_cast<long>(src.pages.size()); ++i) {
        auto p = std::make_shared<PageData>();
        const PageData& s = *src.pages[i];
        p->width = s.width;
        p->height = s.height;
        p->rotation = s.rotation;
        p->grayscale = s.grayscale;
        p->runs = s.runs;
        p->watermarks = s.watermarks;
        // Where the page really comes from: its own other file, else src's original.
        std::wstring from = s.sourceFile.empty() ? src.source : s.sourceFile;
        bool sameOriginal = !from.empty() && from == targetSource;
        if (!from.empty() && s.source >= 0) {
            p->source = s.source;
            if (!sameOriginal) p->sourceFile = from;
        }
        // Annotation markers name objects of src's own original.
        bool keepSources = s.sourceFile.empty() && sameOriginal;
        for (auto& a : s.annots) {
            bool isWidget = false;
            for (auto& f : src.fields)
                if (f->widget == a) isWidget = true;
            if (isWidget) continue;
            auto c = std::make_shared<AnnotData>(*a);
            c->page = p.get();
            if (!keepSources) c->source.clear();
            p->annots.push_back(c);
        }
        out.push_back(p);
    }
    return out;
}

static const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const std::string& in) {
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    size_t i = 0;
    while (i + 2 < in.size()) {
        unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8 | (unsigned char)in[i + 2];
        out += kB64[v >> 18];
        out += kB64[(v >> 12) & 63];
        out += kB64[(v >> 6) & 63];
        out += kB64[v & 63];
        i += 3;
    }
    if (i + 1 == in.size()) {
        unsigned v = (unsigned char)in[i] << 16;
        out += kB64[v >> 18];
        out += kB64[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8;
        out += kB64[v >> 18];
        out += kB64[(v >> 12) & 63];
        out += kB64[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string Base64Decode(const std::string& in) {
    std::string out;
    unsigned acc = 0;
    int bits = 0;
    for (char c : in) {
        const char* p = (c && c != '=') ? strchr(kB64, c) : nullptr;
        if (!p) continue;
        acc = acc << 6 | static_cast<unsigned>(p - kB64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return out;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) != 0;
    if (ok) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (ok && done < bytes->size()) {
            DWORD got = 0;
            DWORD want = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1 << 24));
            ok = ReadFile(h, &(*bytes)[done], want, &got, nullptr) && got > 0;
            done += got;
        }
    }
    CloseHandle(h);
    return ok;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD put = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        ok = WriteFile(h, bytes.data() + done, want, &put, nullptr) && put > 0;
        done += put;
    }
    CloseHandle(h);
    return ok;
}

}  // namespace qxsim
