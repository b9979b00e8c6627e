// Import of a real PDF: qpdf for the document's objects (pages, outline, form,
// annotations, attachments, encryption), poppler for the laid-out text.
#define POINTERHOLDER_TRANSITION 4  // qpdf: std::shared_ptr only
#include "Import.h"

#include <GlobalParams.h>
#include <PDFDoc.h>
#include <Stream.h>
#include <TextOutputDev.h>
#include <Error.h>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>

using nlohmann::json;

namespace foliumpdf {

namespace {

// Numbers in page units to a thousandth of a point: enough for any box and
// keeps the fixture short.
double Round(double v) { return std::fabs(v) < 1e12 ? std::round(v * 1000.0) / 1000.0 : v; }

void AppendUtf8(std::string& out, unsigned u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x110000) {
        out += static_cast<char>(0xF0 | (u >> 18));
        out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        AppendUtf8(out, 0xFFFD);
    }
}

// poppler's shared settings; its messages go nowhere (the tool reports one
// reason of its own). poppler-cpp (page pictures) drops them when its last
// document closes, so they are checked before every import.
void InitPoppler() {
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    if (!globalParams) {
        globalParams = std::make_unique<GlobalParams>();
        globalParams->setErrQuiet(true);
    }
    setErrorCallback([](ErrorCategory, Goffset, const char*) {});
}

bool NoAnnotations(Annot*, void*) { return false; }

// ---- text (poppler) ----

struct PageBox {
    double x1 = 0, y1 = 0, x2 = 612, y2 = 792;
    double Width() const { return x2 - x1; }
    double Height() const { return y2 - y1; }
};

// The words of one page, in reading order, in crop-box coordinates with y upwards.
// Annotation appearances (field values among them) are not page text.
std::vector<Word> PageWords(PDFDoc& doc, int pageNo, int rotation, double height) {
    TextOutputDev dev(nullptr, false, 0, false, false);
    if (!dev.isOk()) throw ImportError("cannot lay out text");
    // Undo the page's own rotation: the words come out in unrotated page space.
    doc.displayPage(&dev, pageNo, 72, 72, (360 - rotation) % 360, false, true, false, nullptr, nullptr, NoAnnotations,
                    nullptr);
    std::vector<Word> words;
    for (const TextFlow* flow = dev.getFlows(); flow; flow = flow->getNext())
        for (const TextBlock* block = flow->getBlocks(); block; block = block->getNext())
            for (const TextLine* line = block->getLines(); line; line = line->getNext()) {
                bool first = true;
                for (const TextWord* w = line->getWords(); w; w = w->getNext()) {
                    Word word;
                    for (int i = 0; i < w->getLength(); ++i) AppendUtf8(word.text, *w->getChar(i));
                    double xMin, yMin, xMax, yMax;
                    w->getBBox(&xMin, &yMin, &xMax, &yMax);
                    word.x = xMin;
                    word.width = xMax - xMin;
                    if (w->getRotation() == 0) {
                        word.baseline = height - w->getBaseline();
                        word.size = w->getFontSize();
                    } else {
                        // Vertical or upside-down text: its box stands in for the line.
                        word.baseline = height - yMax;
                        word.size = yMax - yMin;
                    }
                    word.spaceAfter = w->hasSpaceAfter();
                    word.newLine = first;
                    first = false;
                    words.push_back(std::move(word));
                }
            }
    return words;
}

// ---- objects (qpdf) ----

std::string Utf8(QPDFObjectHandle h) {
    if (h.isString()) return h.getUTF8Value();
    if (h.isName()) return h.getName().substr(1);
    return "";
}

std::string Text(QPDFObjectHandle dict, const char* key) {
    return dict.isDictionary() ? Utf8(dict.getKey(key)) : std::string();
}

std::string Ref(QPDFObjectHandle h) {
    QPDFObjGen og = h.getObjGen();
    return std::to_string(og.getObj()) + " " + std::to_string(og.getGen());
}

// Annotation kinds in the order of the PDF annotation types; the simulator's
// widgets are kind 20.
long AnnotKind(const std::string& type) {
    static const std::map<std::string, long> kinds = {
        {"Text", 0},        {"Link", 1},        {"FreeText", 2},        {"Line", 3},     {"Square", 4},
        {"Circle", 5},      {"Polygon", 6},     {"PolyLine", 7},        {"Highlight", 8}, {"Underline", 9},
        {"Squiggly", 10},   {"StrikeOut", 11},  {"Stamp", 12},          {"Caret", 13},   {"Ink", 14},
        {"Popup", 15},      {"FileAttachment", 16}, {"Sound", 17},      {"Movie", 18},   {"Widget", 20},
        {"Screen", 21},     {"PrinterMark", 22}, {"TrapNet", 23},       {"Watermark", 24}, {"3D", 25}};
    auto it = kinds.find(type);
    return it == kinds.end() ? -1 : it->second;
}

// Keys the PDF format gives annotations and fields; any other key with a text,
// name or number value is one of the annotation's custom values.
bool StandardKey(const std::string& key) {
    static const std::set<std::string> keys = {
        "/Type", "/Subtype", "/Rect", "/Contents", "/P", "/NM", "/M", "/F", "/AP", "/AS", "/Border", "/C",
        "/StructParent", "/OC", "/T", "/Popup", "/CA", "/RC", "/CreationDate", "/IRT", "/Subj", "/RT", "/IT",
        "/ExData", "/Open", "/Name", "/State", "/StateModel", "/QuadPoints", "/DA", "/Q", "/DS", "/RD", "/BS",
        "/BE", "/IC", "/LE", "/L", "/LL", "/LLE", "/LLO", "/Cap", "/CP", "/CL", "/Measure", "/Vertices",
        "/InkList", "/FS", "/Sound", "/Movie", "/Parent", "/MK", "/A", "/AA", "/H", "/FT", "/Ff", "/V", "/DV",
        "/Kids", "/TU", "/TM", "/Opt", "/TI", "/I", "/MaxLen", "/Lock", "/SV", "/Dest", "/PA", "/Lang", "/DR",
        "/Rotate", "/ca", "/BM", "/Path", "/QxKind", "/QxWatermark"};
    return keys.count(key) != 0;
}

long ColorRef(QPDFObjectHandle c) {
    if (!c.isArray()) return 0;
    std::vector<double> v;
    for (auto& item : c.getArrayAsVector())
        if (item.isNumber()) v.push_back(std::clamp(item.getNumericValue(), 0.0, 1.0));
    auto byte = [](double f) { return static_cast<long>(std::lround(f * 255)); };
    if (v.size() == 1) return byte(v[0]) * 0x010101;
    if (v.size() == 3) return byte(v[0]) | byte(v[1]) << 8 | byte(v[2]) << 16;
    if (v.size() == 4) {  // CMYK, naive
        auto k = [&](double x) { return byte((1 - x) * (1 - v[3])); };
        return k(v[0]) | k(v[1]) << 8 | k(v[2]) << 16;
    }
    return 0;
}

json Annotation(QPDFObjectHandle a, const PageBox& box, bool widget) {
    json j = json::object();
    std::string type = Text(a, "/Subtype");
    // Annotations the export added carry the simulator's own kind.
    j["kind"] = a.getKey("/QxKind").isInteger() ? a.getKey("/QxKind").getIntValueAsInt() : AnnotKind(type);
    j["type"] = type;
    j["source"] = Ref(a);
    QPDFObjectHandle rect = a.getKey("/Rect");
    if (rect.isRectangle()) {
        auto r = rect.getArrayAsRectangle();
        j["rect"] = {Round(std::min(r.llx, r.urx) - box.x1), Round(std::min(r.lly, r.ury) - box.y1),
                     Round(std::max(r.llx, r.urx) - box.x1), Round(std::max(r.lly, r.ury) - box.y1)};
    }
    for (auto [key, name] : {std::pair{"/T", "author"}, {"/Contents", "contents"}, {"/NM", "uniqueName"},
                             {"/M", "modDate"}, {"/CreationDate", "creationDate"}})
        if (a.hasKey(key) && !(widget && std::string(key) == "/T")) j[name] = Text(a, key);  // a widget's /T is its field's name
    if (a.getKey("/F").isInteger()) j["flags"] = a.getKey("/F").getIntValueAsInt();
    if (a.hasKey("/C")) j["color"] = ColorRef(a.getKey("/C"));
    if (a.getKey("/CA").isNumber()) j["opacity"] = Round(a.getKey("/CA").getNumericValue());
    if (a.getKey("/BM").isName()) j["blendMode"] = Text(a, "/BM");
    QPDFObjectHandle popup = a.getKey("/Popup");
    if (popup.isDictionary())
        j["popup"] = {{"title", Text(a, "/T")}, {"open", popup.getKey("/Open").isBool() && popup.getKey("/Open").getBoolValue()}};
    json values = json::object();
    for (auto& [key, value] : a.getDictAsMap()) {
        if (StandardKey(key)) continue;
        if (value.isString() || value.isName()) values[key.substr(1)] = Utf8(value);
        else if (value.isInteger()) values[key.substr(1)] = std::to_string(value.getIntValue());
        else if (value.isReal()) values[key.substr(1)] = value.getRealValue();
    }
    if (!values.empty()) j["values"] = values;
    return j;
}

// A page watermark the export wrote as a /Watermark annotation: its simulator
// attributes come back from the private /QxWatermark dictionary.
json Watermark(QPDFObjectHandle attributes) {
    static const std::pair<const char*, const char*> keys[] = {
        {"/Name", "name"},         {"/Text", "text"},     {"/Image", "image"},   {"/Align", "align"},
        {"/Color", "color"},       {"/Rotation", "rotation"}, {"/Underlay", "underlay"}, {"/X", "x"},
        {"/Y", "y"},               {"/Scale", "scale"},   {"/FontSize", "fontSize"}, {"/Opacity", "opacity"},
        {"/NoPrint", "noPrint"}};
    json w = json::object();
    for (auto [key, name] : keys) {
        QPDFObjectHandle v = attributes.getKey(key);
        if (v.isString() || v.isName()) w[name] = Utf8(v);
        else if (v.isInteger()) w[name] = v.getIntValue();
        else if (v.isReal()) w[name] = v.getNumericValue();
        else if (v.isBool()) w[name] = v.getBoolValue();
    }
    return w;
}

std::string Sha256Hex(const std::string& bytes) {
    auto sha = QPDFCryptoProvider::getImpl();
    sha->SHA2_init(256);
    sha->SHA2_update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    sha->SHA2_finalize();
    std::string digest = sha->SHA2_digest(), hex;
    static const char digits[] = "0123456789abcdef";
    for (unsigned char c : digest) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

long FieldKind(QPDFFormFieldObjectHelper& f) {
    std::string type = f.getFieldType();
    if (type == "/Tx") return 1;
    if (type == "/Sig") return 6;
    if (type == "/Ch") return (f.getFlags() & (1 << 17)) ? 4 : 5;
    if (type == "/Btn") return f.isPushbutton() ? 7 : f.isRadioButton() ? 3 : 2;
    return 1;
}

json Field(QPDFFormFieldObjectHelper& f) {
    json j = {{"name", f.getPartialName()}, {"fullName", f.getFullyQualifiedName()}, {"kind", FieldKind(f)}};
    QPDFObjectHandle v = f.getInheritableFieldValue("/V");
    if (v.isString() || v.isName()) j["value"] = Utf8(v);
    if (f.getFieldType() == "/Sig") {
        j["signed"] = v.isDictionary();
        if (v.isDictionary()) j["signer"] = Text(v, "/Name");
    }
    return j;
}

json Outline(std::vector<QPDFOutlineObjectHelper> items, const std::map<QPDFObjGen, long>& pageOf, int depth) {
    json list = json::array();
    if (depth > 64) return list;  // a looping or absurdly deep outline stops here
    for (auto& item : items) {
        json b = {{"title", item.getTitle()}};
        auto page = pageOf.find(item.getDestPage().getObjGen());
        b["page"] = page == pageOf.end() ? 0 : page->second + 1;
        json kids = Outline(item.getKids(), pageOf, depth + 1);
        if (!kids.empty()) b["children"] = kids;
        list.push_back(b);
    }
    return list;
}

std::string Base64(const std::string& in) {
    static const char t[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    for (size_t i = 0; i < in.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        if (i + 2 < in.size()) v |= static_cast<unsigned char>(in[i + 2]);
        out += t[v >> 18];
        out += t[(v >> 12) & 63];
        out += i + 1 < in.size() ? t[(v >> 6) & 63] : '=';
        out += i + 2 < in.size() ? t[v & 63] : '=';
    }
    return out;
}

json Attachments(QPDF& q) {
    json list = json::array();
    QPDFEmbeddedFileDocumentHelper files(q);
    for (auto& [name, attached] : files.getEmbeddedFiles()) {
        json a = {{"name", attached->getFilename().empty() ? name : attached->getFilename()},
                  {"description", attached->getDescription()}};
        QPDFObjectHandle stream = attached->getEmbeddedFileStream();
        std::string data;
        if (stream.isStream()) {
            auto buffer = stream.getStreamData(qpdf_dl_generalized);
            data.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
        }
        a["data"] = Base64(data);
        list.push_back(a);
    }
    return list;
}

// Security.Kind: 0 none, 1 password (standard handler), 2 any other handler.
void Security(QPDF& q, json& fixture) {
    if (!q.isEncrypted()) {
        fixture["security"] = 0;
        return;
    }
    QPDFObjectHandle encrypt = q.getTrailer().getKey("/Encrypt");
    fixture["security"] = Text(encrypt, "/Filter") == "Standard" ? 1 : 2;
    int R = 0, P = 0, V = 0;
    QPDF::encryption_method_e stream, string, file;
    q.isEncrypted(R, P, V, stream, string, file);
    static const char* methods[] = {"none", "unknown", "RC4", "AESv2", "AESv3"};
    fixture["encryption"] = {{"R", R}, {"V", V}, {"method", methods[std::clamp(int(stream), 0, 4)]}};
    // Permission kinds: 0 print, 1 edit, 2 copy, 3 annotate, 4 fill forms, 5 assemble.
    fixture["permissions"] = {{"0", q.allowPrintLowRes()},   {"1", q.allowModifyOther()},
                              {"2", q.allowExtractAll()},    {"3", q.allowModifyAnnotation()},
                              {"4", q.allowModifyForm()},    {"5", q.allowModifyAssembly()}};
}

bool LooksLikePdf(const std::string& bytes) {
    return bytes.substr(0, 1024).find("%PDF-") != std::string::npos;
}

}  // namespace

json AssembleRuns(const std::vector<Word>& words) {
    json runs = json::array();
    const Word* last = nullptr;
    double right = 0;  // right edge of the run being built
    for (const Word& w : words) {
        if (w.text.empty() || !(w.size > 0) || !(w.width >= 0) || !std::isfinite(w.size) || !std::isfinite(w.baseline) ||
            !std::isfinite(w.x + w.width) || !std::isfinite(w.x))
            continue;  // nothing a page can show
        // A word glued to the previous one (no space, same baseline, touching)
        // extends that run, so that the run's text is what a reader selects.
        if (last && !w.newLine && !last->spaceAfter && std::fabs(w.baseline - last->baseline) < 0.01 &&
            std::fabs(w.x - right) < 0.2 * w.size) {
            json& run = runs.back();
            run["text"] = run["text"].get<std::string>() + w.text;
            right = std::max(right, w.x + w.width);
            run["width"] = Round(right - run["x"].get<double>());
            last = &w;
            continue;
        }
        json run = {{"x", Round(w.x)}, {"y", Round(w.baseline)}, {"size", Round(w.size)}, {"text", w.text},
                    {"width", Round(w.width)}};
        if (last && !w.newLine) run["sep"] = last->spaceAfter ? " " : "";
        runs.push_back(std::move(run));
        right = w.x + w.width;
        last = &w;
    }
    return runs;
}

void ImportPdfBytes(const std::string& bytes, const std::string& source, const ImportOptions& options,
                    std::ostream& out) {
    if (!LooksLikePdf(bytes)) throw ImportError("not a PDF file");
    QPDF q;
    q.setSuppressWarnings(true);
    // A broken cross-reference table is reported rather than patched up: the
    // export writes back onto this very file.
    q.setAttemptRecovery(false);
    try {
        q.processMemoryFile(source.c_str(), bytes.data(), bytes.size(),
                            options.password.empty() ? nullptr : options.password.c_str());
    } catch (QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password)
            throw ImportError(options.password.empty() ? "encrypted: password needed" : "encrypted: wrong password");
        throw ImportError("damaged PDF file");
    } catch (std::exception&) {
        throw ImportError("damaged PDF file");
    }

    try {
        json head = json::object();  // every top-level member but "pages"
        head["format"] = "quirex-sim-document";
        head["version"] = 1;
        head["type"] = "PDF";
        head["source"] = source;
        head["sourceDigest"] = Sha256Hex(bytes);  // the export refuses an original changed since
        Security(q, head);

        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(q).getAllPages();
        if (pages.empty()) throw ImportError("damaged PDF file: no pages");
        if (static_cast<long>(pages.size()) > options.maxPages)
            throw ImportError("too many pages: " + std::to_string(pages.size()) + " (at most " +
                              std::to_string(options.maxPages) + ")");

        // poppler may find the cross-reference table broken only later, while
        // laying out a page: the flag outlives the document.
        bool rebuilt = false;
        std::unique_ptr<PDFDoc> doc;
        if (options.text) {
            InitPoppler();
            std::optional<GooString> password;
            if (!options.password.empty()) password = GooString(options.password);
            // poppler reads the same bytes; MemStream does not own them.
            doc = std::make_unique<PDFDoc>(
                new MemStream(bytes.data(), 0, static_cast<Goffset>(bytes.size()), Object(objNull)), password, password,
                nullptr, [&] { rebuilt = true; });
            if (!doc->isOk() || rebuilt || doc->getNumPages() != static_cast<int>(pages.size()))
                throw ImportError(doc->getErrorCode() == errEncrypted ? "encrypted: password needed" : "damaged PDF file");
        }

        // First the objects of every page (fields need their widgets' pages), then
        // the text page by page, written out as soon as it is laid out.
        std::map<QPDFObjGen, long> pageOf;
        std::vector<json> pageHeads;
        std::vector<PageBox> boxes;
        QPDFAcroFormDocumentHelper form(q);
        std::map<QPDFObjGen, json> widgetOf;  // field object -> its first widget
        for (size_t i = 0; i < pages.size(); ++i) {
            QPDFPageObjectHelper& page = pages[i];
            pageOf[page.getObjectHandle().getObjGen()] = static_cast<long>(i);
            PageBox box;
            QPDFObjectHandle crop = page.getCropBox();
            if (crop.isRectangle()) {
                auto r = crop.getArrayAsRectangle();
                box = {std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx), std::max(r.lly, r.ury)};
            }
            if (!(box.Width() > 0) || !(box.Height() > 0)) box = PageBox();
            boxes.push_back(box);
            QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
            int rotation = rotate.isInteger() ? static_cast<int>(((rotate.getIntValue() % 360) + 360) % 360) : 0;
            rotation -= rotation % 90;
            json p = {{"width", Round(box.Width())}, {"height", Round(box.Height())}, {"rotation", rotation},
                      {"source", i}};
            json annots = json::array(), watermarks = json::array();
            QPDFObjectHandle list = page.getObjectHandle().getKey("/Annots");
            if (list.isArray())
                for (auto& a : list.getArrayAsVector()) {
                    if (!a.isDictionary()) continue;
                    std::string type = Text(a, "/Subtype");
                    if (type == "Popup") continue;  // belongs to its parent annotation
                    if (type == "Watermark" && a.getKey("/QxWatermark").isDictionary()) {
                        watermarks.push_back(Watermark(a.getKey("/QxWatermark")));
                        continue;
                    }
                    if (type == "Widget") {
                        QPDFFormFieldObjectHelper field = form.getFieldForAnnotation(QPDFAnnotationObjectHelper(a));
                        QPDFObjGen og = field.getObjectHandle().getObjGen();
                        if (!widgetOf.count(og)) {
                            json w = Annotation(a, box, true);
                            w["page"] = i;
                            widgetOf[og] = w;
                        }
                        continue;
                    }
                    annots.push_back(Annotation(a, box, false));
                }
            p["annotations"] = std::move(annots);
            if (!watermarks.empty()) p["watermarks"] = std::move(watermarks);
            pageHeads.push_back(std::move(p));
        }

        json fields = json::array();
        for (auto& f : form.getFormFields()) {
            json field = Field(f);
            auto w = widgetOf.find(f.getObjectHandle().getObjGen());
            field["widget"] = w != widgetOf.end() ? w->second : json{{"page", -1}};
            fields.push_back(std::move(field));
        }
        head["fields"] = std::move(fields);
        head["bookmarks"] = Outline(QPDFOutlineDocumentHelper(q).getTopLevelOutlines(), pageOf, 0);
        head["attachments"] = Attachments(q);

        // The members in ascending order, "pages" among them, as json::dump orders them.
        auto member = [&](const std::string& key, const json& value, bool first) {
            out << (first ? "{" : ",") << json(key).dump() << ':' << value.dump(-1, ' ', false, json::error_handler_t::replace);
        };
        bool first = true, pagesDone = false;
        auto writePages = [&] {
            out << (first ? "{" : ",") << "\"pages\":[";
            for (size_t i = 0; i < pageHeads.size(); ++i) {
                json& p = pageHeads[i];
                if (doc)
                    p["text"] = AssembleRuns(PageWords(*doc, static_cast<int>(i) + 1, p["rotation"].get<int>(), boxes[i].Height()));
                if (rebuilt) throw ImportError("damaged PDF file");
                if (i) out << ',';
                out << p.dump(-1, ' ', false, json::error_handler_t::replace);
                p = nullptr;  // the text of a page is not kept
            }
            out << ']';
            first = false;
            pagesDone = true;
        };
        for (auto& [key, value] : head.items()) {
            if (!pagesDone && key > "pages") writePages();
            member(key, value, first);
            first = false;
        }
        if (!pagesDone) writePages();
        out << "}\n";
        if (!out) throw ImportError("cannot write the fixture");
    } catch (ImportError&) {
        throw;
    } catch (QPDFExc&) {
        throw ImportError("damaged PDF file");
    } catch (std::bad_alloc&) {
        throw ImportError("out of memory");
    } catch (std::exception&) {
        throw ImportError("damaged PDF file");
    }
}

void ImportPdfFile(const std::string& path, const ImportOptions& options, std::ostream& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ImportError("cannot read " + path);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw ImportError("cannot read " + path);
    ImportPdfBytes(bytes, std::filesystem::absolute(path).lexically_normal().string(), options, out);
}

json ImportPdfFile(const std::string& path, const ImportOptions& options) {
    std::ostringstream out;
    ImportPdfFile(path, options, out);
    return json::parse(out.str());
}

}  // namespace foliumpdf
