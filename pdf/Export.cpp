#include "Export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include "Base64.h"
#include "ExportDraw.h"
#include "Import.h"

namespace foliumpdf {

namespace {

using nlohmann::json;
using OH = QPDFObjectHandle;

constexpr const char kChanged[] = "the original PDF has changed since it was imported: ";

[[noreturn]] void BadState(const std::string& what) { throw ExportError("bad state: " + what); }

// Typed reads of the state: a missing key gives the default, a key of the wrong type is
// refused with its place in the state.
std::string Str(const json& j, const char* key, const std::string& where, const std::string& def = "") {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return def;
    if (!it->is_string()) BadState(where + "." + key + " is not a text");
    return it->get<std::string>();
}
double Num(const json& j, const char* key, const std::string& where, double def = 0) {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return def;
    if (it->is_boolean()) return it->get<bool>() ? 1 : 0;
    if (!it->is_number()) BadState(where + "." + key + " is not a number");
    double v = it->get<double>();
    if (!std::isfinite(v)) BadState(where + "." + key + " is not a finite number");
    return v;
}
long Int(const json& j, const char* key, const std::string& where, long def = 0) {
    double v = Num(j, key, where, def);
    if (v < -2147483648.0 || v > 2147483647.0) BadState(where + "." + key + " is out of range");
    return static_cast<long>(v);
}
bool Flag(const json& j, const char* key) {
    auto it = j.find(key);
    return it != j.end() && (it->is_boolean() ? it->get<bool>() : it->is_number() && it->get<double>() != 0);
}
const json& Array(const json& j, const char* key, const std::string& where) {
    static const json empty = json::array();
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return empty;
    if (!it->is_array()) BadState(where + "." + key + " is not a list");
    return *it;
}
void NeedObject(const json& j, const std::string& where) {
    if (!j.is_object()) BadState(where + " is not an object");
}
std::string Where(const std::string& base, size_t i) { return base + "[" + std::to_string(i) + "]"; }

struct Rect {
    double l = 0, b = 0, r = 0, t = 0;
};
Rect ReadRect(const json& a, const std::string& where) {
    Rect rc;
    auto it = a.find("rect");
    if (it == a.end()) return rc;
    if (!it->is_array() || it->size() != 4) BadState(where + ".rect is not four numbers");
    double v[4];
    for (int i = 0; i < 4; ++i) {
        if (!(*it)[i].is_number()) BadState(where + ".rect is not four numbers");
        v[i] = (*it)[i].get<double>();
    }
    rc = {std::min(v[0], v[2]), std::min(v[1], v[3]), std::max(v[0], v[2]), std::max(v[1], v[3])};
    return rc;
}

QPDFObjGen ReadRef(const json& j, const std::string& where) {
    std::string text = Str(j, "source", where);
    int obj = 0, gen = -1;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d %d%c", &obj, &gen, &tail) != 2 || obj <= 0 || gen < 0)
        BadState(where + ".source \"" + text + "\" is not an object reference");
    return QPDFObjGen(obj, gen);
}

std::string Bytes(const std::string& base64) {
    auto v = folium::DecodeBase64(base64);
    return std::string(v.begin(), v.end());
}

std::string Sha256Hex(const std::string& path) {
    auto sha = QPDFCryptoProvider::getImpl();
    sha->SHA2_init(256);
    std::ifstream in(path, std::ios::binary);
    char buf[1 << 16];
    while (in) {
        in.read(buf, sizeof buf);
        if (in.gcount() > 0) sha->SHA2_update(reinterpret_cast<unsigned char*>(buf), static_cast<size_t>(in.gcount()));
    }
    sha->SHA2_finalize();
    return QUtil::hex_encode(sha->SHA2_digest());
}

OH RealArray(std::initializer_list<double> values) {
    std::vector<OH> items;
    for (double v : values) items.push_back(OH::newReal(v, 3));
    return OH::newArray(items);
}
OH RectArray(const Rect& r) { return RealArray({r.l, r.b, r.r, r.t}); }
OH ColourArray(long c) {
    return RealArray({(c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0});
}

// Keys the export writes from the state; a custom value of the same name is not written
// over them.
const std::set<std::string> kStandardKeys = {
    "/Type", "/Subtype", "/Rect", "/Contents", "/P", "/NM", "/M", "/F", "/AP", "/AS", "/Border", "/C",
    "/StructParent", "/OC", "/T", "/Popup", "/CA", "/RC", "/CreationDate", "/IRT", "/Subj", "/IT", "/RT",
    "/Name", "/Open", "/State", "/StateModel", "/DA", "/Q", "/DS", "/BM", "/Parent", "/QxWatermark",
    "/QuadPoints", "/L", "/InkList", "/Vertices", "/BS", "/IC", "/FixedPrint", "/BE", "/Rotate", "/QxKind"};

// Standard subtypes that need geometry besides /Rect: the export derives it from the rectangle.
enum class Geometry { None, Quad, Line, Ink, Vertices };
Geometry GeometryOf(const std::string& type) {
    static const std::map<std::string, Geometry> table = {
        {"Highlight", Geometry::Quad}, {"Underline", Geometry::Quad}, {"Squiggly", Geometry::Quad},
        {"StrikeOut", Geometry::Quad}, {"Redact", Geometry::Quad},   {"Line", Geometry::Line},
        {"Ink", Geometry::Ink},        {"Polygon", Geometry::Vertices}, {"PolyLine", Geometry::Vertices}};
    auto it = table.find(type);
    return it == table.end() ? Geometry::None : it->second;
}

// What the reader simulator writes for a key the import leaves out: a key the import did
// not write compares equal to the simulator's default, so only real changes are written.
const json kAnnotDefaults = {{"kind", 0}, {"author", ""}, {"contents", ""}, {"uniqueName", ""}, {"creationDate", ""},
                             {"modDate", ""}, {"blendMode", ""}, {"rect", {0, 0, 0, 0}}, {"flags", 0}, {"color", 0},
                             {"rotation", 0}, {"imageRotation", 0}, {"imageFlag", 0}, {"stampKind", 0},
                             {"opacity", 1}, {"visible", true}, {"stampText", ""}, {"image", ""}, {"imagePath", ""},
                             {"values", json::object()}};
const json kWatermarkDefaults = {{"name", ""}, {"text", ""}, {"image", ""}, {"align", 0}, {"color", 0},
                                 {"rotation", 0}, {"underlay", 0}, {"x", 0}, {"y", 0}, {"scale", 1},
                                 {"fontSize", 0}, {"opacity", 1}, {"noPrint", false}};

json WithDefaults(const json& j, const json& defaults) {
    json out = defaults;
    if (j.is_object())
        for (auto& [k, v] : j.items()) out[k] = v;
    return out;
}

class Exporter {
public:
    Exporter(const json& state, const json& baseline, QPDF& pdf) : state_(state), base_(baseline), pdf_(pdf), draw_(pdf) {}

    ExportSummary Run() {
        IndexOriginal();
        BuildPages();
        ApplyFields();
        ApplyAttachments();
        return sum_;
    }

private:
    const json& state_;
    const json& base_;
    QPDF& pdf_;
    AppearanceMaker draw_;
    ExportSummary sum_;

    std::vector<OH> origPages_;
    std::map<std::string, std::unique_ptr<QPDF>> foreign_;  // files of inserted pages, open until written
    std::map<QPDFObjGen, OH> origAnnots_;       // every entry of every original page's /Annots
    std::map<std::string, const json*> baseAnnots_;  // "n g" -> the import's annotation
    std::set<QPDFObjGen> listed_;               // annotations the import listed (state may delete them)
    std::set<QPDFObjGen> usedAnnots_;
    std::set<size_t> usedPages_;
    // The page being built: the import's coordinates start at its crop box's lower-left
    // corner, the PDF's at the media box origin.
    struct Frame {
        double x = 0, y = 0, width = 595, height = 842;
    } frame_;

    void IndexOriginal() {
        origPages_ = pdf_.getAllPages();
        for (auto& page : origPages_) {
            OH annots = page.getKey("/Annots");
            if (!annots.isArray()) continue;
            for (auto& a : annots.getArrayAsVector())
                if (a.isDictionary() && a.isIndirect()) origAnnots_[a.getObjGen()] = a;
        }
        const json& pages = Array(base_, "pages", "original");
        // Field widgets are not listed: they go with their fields (ApplyFields).
        for (size_t i = 0; i < pages.size(); ++i)
            for (auto& a : Array(pages[i], "annotations", "original")) AddListed(a);
    }
    void AddListed(const json& a) {
        if (!a.is_object() || !a.contains("source") || !a["source"].is_string()) return;
        QPDFObjGen og = ReadRef(a, "original");
        listed_.insert(og);
        baseAnnots_[a["source"].get<std::string>()] = &a;
    }

    // ---- pages --------------------------------------------------------------------------

    void BuildPages() {
        const json& pages = Array(state_, "pages", "state");
        if (pages.empty()) BadState("no pages");
        pdf_.pushInheritedAttributesToPage();
        const json& basePages = Array(base_, "pages", "original");
        std::vector<OH> out;
        for (size_t i = 0; i < pages.size(); ++i) {
            std::string where = Where("pages", i);
            const json& p = pages[i];
            NeedObject(p, where);
            OH page;
            const json* basePage = nullptr;
            bool foreign = p.contains("sourceFile") && !p["sourceFile"].is_null();
            if (foreign) {
                page = ForeignPage(Str(p, "sourceFile", where), Int(p, "source", where, -1), where);
                ++sum_.pagesAdded;
            } else if (p.contains("source") && !p["source"].is_null()) {
                long src = Int(p, "source", where, -1);
                if (src < 0 || src >= static_cast<long>(origPages_.size()) || src >= static_cast<long>(basePages.size()))
                    throw ExportError(std::string(kChanged) + "it has " + std::to_string(origPages_.size()) +
                                      " pages, the state uses page " + std::to_string(src + 1));
                basePage = &basePages[src];
                page = usedPages_.insert(src).second ? origPages_[src]
                                                     : pdf_.makeIndirectObject(origPages_[src].shallowCopy());
                if (Int(p, "rotation", where) != Int(*basePage, "rotation", "original"))
                    page.replaceKey("/Rotate", OH::newInteger(((Int(p, "rotation", where) % 360) + 360) % 360));
            } else {
                page = NewPage(p, where);
                ++sum_.pagesAdded;
            }
            frame_ = FrameOf(page);
            BuildAnnotations(page, p, basePage, foreign, where);
            out.push_back(page);
        }
        OH root = pdf_.getRoot().getKey("/Pages");
        for (auto& page : out) page.replaceKey("/Parent", root);
        root.replaceKey("/Kids", OH::newArray(out));
        root.replaceKey("/Count", OH::newInteger(static_cast<long long>(out.size())));
        pdf_.updateAllPagesCache();
        // A deleted page must not live on in the file through what still names it (outline,
        // links, named destinations, structure): every reference to it now reads null.
        for (size_t i = 0; i < origPages_.size(); ++i)
            if (!usedPages_.count(i)) pdf_.replaceObject(origPages_[i].getObjGen(), OH::newNull());
        sum_.pages = static_cast<int>(out.size());
        sum_.pagesDeleted = static_cast<int>(origPages_.size() - usedPages_.size());
    }

    static Frame FrameOf(OH& page) {
        OH box = page.getKey("/CropBox");
        if (!box.isRectangle()) box = page.getKey("/MediaBox");
        if (!box.isRectangle()) return Frame();
        auto r = box.getArrayAsRectangle();
        return {std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::fabs(r.urx - r.llx), std::fabs(r.ury - r.lly)};
    }
    // A rectangle of the state in the PDF's coordinates.
    Rect Place(Rect r) const { return {r.l + frame_.x, r.b + frame_.y, r.r + frame_.x, r.t + frame_.y}; }

    OH NewPage(const json& p, const std::string& where) {
        double w = Num(p, "width", where, 595), h = Num(p, "height", where, 842);
        if (w <= 0 || h <= 0 || w > 14400 || h > 14400) BadState(where + " has an impossible size");
        std::string content;
        auto text = p.find("text");
        if (text != p.end() && text->is_string()) {
            // A plain text page: one line per "\n" from the top margin, as the reader lays it out.
            std::istringstream lines(text->get<std::string>());
            std::string line;
            for (double y = h - 72; std::getline(lines, line); y -= 16) content += draw_.Text(line, 12, 72, y);
        } else {
            const json& runs = Array(p, "text", where);
            for (size_t k = 0; k < runs.size(); ++k) {
                std::string rw = Where(where + ".text", k);
                NeedObject(runs[k], rw);
                content += draw_.Text(Str(runs[k], "text", rw), Num(runs[k], "size", rw, 12), Num(runs[k], "x", rw, 72),
                                      Num(runs[k], "y", rw, 770));
            }
        }
        double box[4] = {0, 0, w, h};
        OH form = draw_.Form(box, "");  // only for its resources
        OH page = pdf_.makeIndirectObject(OH::newDictionary(
            {{"/Type", OH::newName("/Page")},
             {"/MediaBox", RealArray({0, 0, w, h})},
             {"/Rotate", OH::newInteger(((Int(p, "rotation", where) % 360) + 360) % 360)},
             {"/Resources", form.getDict().getKey("/Resources")},
             {"/Contents", pdf_.newStream(content)}}));
        return page;
    }

    // ---- annotations --------------------------------------------------------------------

    // A page inserted from another real PDF, copied from it as it is, without its
    // annotations: the state lists those, and they are added as new ones.
    OH ForeignPage(const std::string& file, long index, const std::string& where) {
        auto& other = foreign_[file];
        if (!other) {
            other = std::make_unique<QPDF>();
            other->setSuppressWarnings(true);
            try {
                other->processFile(file.c_str());
            } catch (const std::exception& e) {
                throw ExportError("the PDF " + file + " of inserted pages cannot be opened: " + e.what());
            }
            other->pushInheritedAttributesToPage();
        }
        const auto& pages = other->getAllPages();
        if (index < 0 || index >= static_cast<long>(pages.size()))
            throw ExportError("the PDF " + file + " of inserted pages has changed: " + where + " uses page " +
                              std::to_string(index + 1) + " of " + std::to_string(pages.size()));
        OH bare = OH(pages[index]).shallowCopy();
        for (const char* key : {"/Annots", "/Parent", "/StructParents", "/B"}) bare.removeKey(key);
        return pdf_.copyForeignObject(other->makeIndirectObject(bare));
    }

    void BuildAnnotations(OH& page, const json& p, const json* basePage, bool foreign, const std::string& where) {
        std::vector<OH> annots;
        std::set<QPDFObjGen> wanted;  // original annotations the state keeps on this page
        const json& list = Array(p, "annotations", where);
        std::vector<std::pair<const json*, std::string>> added;
        for (size_t k = 0; k < list.size(); ++k) {
            std::string aw = Where(where + ".annotations", k);
            NeedObject(list[k], aw);
            if (!foreign && list[k].contains("source") && !list[k]["source"].is_null())
                wanted.insert(ReadRef(list[k], aw));
            else
                added.emplace_back(&list[k], aw);
        }
        // Original entries first, in their order: kept unless the import listed them and the
        // state dropped them; a pop-up goes with its parent.
        OH orig = basePage ? page.getKey("/Annots") : OH::newNull();
        std::vector<OH> origList = orig.isArray() ? orig.getArrayAsVector() : std::vector<OH>{};
        std::set<QPDFObjGen> dropped;
        for (auto& a : origList)
            if (a.isIndirect() && listed_.count(a.getObjGen()) && !wanted.count(a.getObjGen()))
                dropped.insert(a.getObjGen());
        std::vector<OH> waterOrig;
        for (auto& a : origList) {
            if (!a.isDictionary()) continue;
            QPDFObjGen og = a.getObjGen();
            if (dropped.count(og)) {
                ++sum_.annotationsDeleted;
                continue;
            }
            OH parent = a.getKey("/Parent");
            if (a.getKey("/Subtype").isNameAndEquals("/Popup") && parent.isIndirect() &&
                dropped.count(parent.getObjGen()))
                continue;
            if (a.getKey("/QxWatermark").isDictionary() && basePage && !Array(*basePage, "watermarks", "original").empty()) {
                waterOrig.push_back(a);  // decided with the page's watermarks below
                continue;
            }
            if (wanted.count(og)) continue;  // placed in the state's order below
            annots.push_back(a);
        }
        for (size_t k = 0; k < list.size(); ++k) {
            if (foreign || !list[k].contains("source") || list[k]["source"].is_null()) continue;
            std::string aw = Where(where + ".annotations", k);
            QPDFObjGen og = ReadRef(list[k], aw);
            auto it = origAnnots_.find(og);
            auto base = baseAnnots_.find(list[k]["source"].get<std::string>());
            if (it == origAnnots_.end() || base == baseAnnots_.end())
                throw ExportError(std::string(kChanged) + aw + " refers to annotation " + og.unparse(' ') +
                                  ", which it does not have");
            OH a = it->second;
            if (!usedAnnots_.insert(og).second) a = pdf_.makeIndirectObject(a.shallowCopy());
            a.replaceKey("/P", page);
            if (ApplyChanges(a, list[k], WithDefaults(*base->second, kAnnotDefaults), aw)) ++sum_.annotationsChanged;
            annots.push_back(a);
            OH popup = a.getKey("/Popup");
            if (popup.isDictionary() && std::find_if(annots.begin(), annots.end(), [&](OH& x) {
                                            return x.getObjGen() == popup.getObjGen();
                                        }) == annots.end() &&
                !(orig.isArray() && popup.isIndirect() && InArray(orig, popup)))
                annots.push_back(popup);
        }
        for (auto& [a, aw] : added) {
            for (auto& made : NewAnnotation(*a, page, aw)) annots.push_back(made);
            ++sum_.annotationsAdded;
        }
        Watermarks(page, p, basePage, where, waterOrig, annots);
        if (annots.empty()) page.removeKey("/Annots");
        else page.replaceKey("/Annots", OH::newArray(annots));
    }

    static bool InArray(OH& array, OH& item) {
        for (auto& x : array.getArrayAsVector())
            if (x.isIndirect() && x.getObjGen() == item.getObjGen()) return true;
        return false;
    }

    static bool Same(const json& a, const json& b, const char* key) {
        auto x = a.find(key), y = b.find(key);
        if (x == a.end() || y == b.end()) return x == a.end() && y == b.end();
        if (x->is_number() && y->is_number()) return std::fabs(x->get<double>() - y->get<double>()) < 0.005;
        if (x->is_array() && y->is_array() && x->size() == y->size()) {
            for (size_t i = 0; i < x->size(); ++i)
                if ((*x)[i].is_number() && (*y)[i].is_number()
                        ? std::fabs((*x)[i].get<double>() - (*y)[i].get<double>()) >= 0.005
                        : (*x)[i] != (*y)[i])
                    return false;
            return true;
        }
        return *x == *y;
    }

    // Writes the keys the script changed (state against the import of the original).
    bool ApplyChanges(OH& a, const json& s, const json& base, const std::string& where) {
        bool changed = false;
        auto differs = [&](const char* key) {
            bool d = s.contains(key) && !Same(s, base, key);
            changed = changed || d;
            return d;
        };
        auto text = [&](const char* key, const char* pdfKey) {
            if (!differs(key)) return;
            std::string v = Str(s, key, where);
            if (v.empty()) a.removeKey(pdfKey);
            else a.replaceKey(pdfKey, OH::newUnicodeString(v));
        };
        if (differs("rect")) a.replaceKey("/Rect", RectArray(Place(ReadRect(s, where))));
        text("contents", "/Contents");
        text("author", "/T");
        text("uniqueName", "/NM");
        text("modDate", "/M");
        text("creationDate", "/CreationDate");
        if (differs("flags") || differs("visible")) a.replaceKey("/F", OH::newInteger(Flags(s, where)));
        if (differs("color")) a.replaceKey("/C", ColourArray(Int(s, "color", where)));
        if (differs("opacity")) a.replaceKey("/CA", OH::newReal(Num(s, "opacity", where, 1), 3));
        if (differs("popup")) {
            OH popup = a.getKey("/Popup");
            const json& pj = s["popup"];
            if (popup.isDictionary() && pj.is_object())
                popup.replaceKey("/Open", OH::newBool(Flag(pj, "open")));
        }
        if (differs("values")) {
            const json old = base.value("values", json::object()), now = s.value("values", json::object());
            if (old.is_object())
                for (auto& [k, v] : old.items())
                    if (!now.is_object() || !now.contains(k)) a.removeKey("/" + k);
            WriteValues(a, s, where);
        }
        if (differs("image") || differs("stampText")) a.replaceKey("/AP", Appearance(s, ReadRect(s, where), where));
        return changed;
    }

    long Flags(const json& s, const std::string& where) {
        long flags = Int(s, "flags", where);
        if (s.contains("visible") && s["visible"].is_boolean()) {
            if (s["visible"].get<bool>()) flags &= ~2L;
            else flags |= 2L;  // Hidden
        }
        return flags;
    }

    void WriteValues(OH& a, const json& s, const std::string& where) {
        auto it = s.find("values");
        if (it == s.end() || it->is_null()) return;
        if (!it->is_object()) BadState(where + ".values is not an object");
        for (auto& [k, v] : it->items()) {
            if (!v.is_string()) BadState(where + ".values." + k + " is not a text");
            std::string key = "/" + k;
            if (k.empty() || kStandardKeys.count(key)) continue;
            a.replaceKey(key, OH::newUnicodeString(v.get<std::string>()));
        }
    }

    std::vector<OH> NewAnnotation(const json& s, OH& page, const std::string& where) {
        std::string type = Str(s, "type", where);
        long kind = Int(s, "kind", where);
        if (type.empty()) type = kind == 0 ? "Text" : kind == 2 ? "FreeText" : kind == 12 ? "Stamp" : "Square";
        Rect r = ReadRect(s, where);
        if (r.r - r.l < 1) r.r = r.l + 20;
        if (r.t - r.b < 1) r.t = r.b + 20;
        r = Place(r);
        OH a = OH::newDictionary({{"/Type", OH::newName("/Annot")},
                                  {"/Subtype", OH::newName("/" + type)},
                                  {"/QxKind", OH::newInteger(kind)},
                                  {"/Rect", RectArray(r)},
                                  {"/P", page}});
        WriteValues(a, s, where);
        for (auto [key, pdfKey] : {std::pair{"contents", "/Contents"}, {"author", "/T"}, {"uniqueName", "/NM"}, {"modDate", "/M"},
                                   {"creationDate", "/CreationDate"}}) {
            std::string v = Str(s, key, where);
            if (!v.empty()) a.replaceKey(pdfKey, OH::newUnicodeString(v));
        }
        long flags = Flags(s, where);
        a.replaceKey("/F", OH::newInteger(flags ? flags : 4));  // Print
        a.replaceKey("/C", ColourArray(Int(s, "color", where)));
        double opacity = Num(s, "opacity", where, 1);
        if (opacity < 1) a.replaceKey("/CA", OH::newReal(std::max(0.0, opacity), 3));
        switch (GeometryOf(type)) {
        case Geometry::Quad: a.replaceKey("/QuadPoints", RealArray({r.l, r.t, r.r, r.t, r.l, r.b, r.r, r.b})); break;
        case Geometry::Line: a.replaceKey("/L", RealArray({r.l, r.b, r.r, r.t})); break;
        case Geometry::Ink: a.replaceKey("/InkList", OH::newArray({RealArray({r.l, r.b, r.r, r.t})})); break;
        case Geometry::Vertices: a.replaceKey("/Vertices", RealArray({r.l, r.b, r.r, r.b, r.r, r.t})); break;
        case Geometry::None: break;
        }
        if (type == "FreeText")
            a.replaceKey("/DA", OH::newString("/Helv " + AppearanceMaker::Number(FontSize(s, where)) + " Tf 0 g"));
        // Viewers draw notes from their icon; everything else gets an appearance of its own.
        if (type != "Text") a.replaceKey("/AP", Appearance(s, r, where));
        a = pdf_.makeIndirectObject(a);
        std::vector<OH> made{a};
        if (s.contains("popup") && s["popup"].is_object()) {
            const json& pj = s["popup"];
            OH popup = pdf_.makeIndirectObject(OH::newDictionary(
                {{"/Type", OH::newName("/Annot")},
                 {"/Subtype", OH::newName("/Popup")},
                 {"/Rect", RectArray({r.r, r.t - 120, r.r + 180, r.t})},
                 {"/Parent", a},
                 {"/P", page},
                 {"/F", OH::newInteger(28)},  // Print, NoZoom, NoRotate
                 {"/Open", OH::newBool(Flag(pj, "open"))}}));
            std::string title = Str(pj, "title", where + ".popup");
            if (!title.empty()) popup.replaceKey("/T", OH::newUnicodeString(title));
            a.replaceKey("/Popup", popup);
            made.push_back(popup);
        }
        return made;
    }

    double FontSize(const json& s, const std::string& where) {
        auto it = s.find("textStyle");
        double size = it != s.end() && it->is_object() ? Num(*it, "fontSize", where + ".textStyle", 12) : 12;
        return size > 0 && size < 400 ? size : 12;
    }

    // An appearance for a new or redrawn annotation: its image stretched over the
    // rectangle, or a frame with its stamp text, or (free text) its contents.
    OH Appearance(const json& s, const Rect& r, const std::string& where) {
        double w = r.r - r.l, h = r.t - r.b;
        double box[4] = {0, 0, w, h};
        std::string type = Str(s, "type", where);
        std::string image = Bytes(Str(s, "image", where));
        double opacity = std::clamp(Num(s, "opacity", where, 1), 0.0, 1.0);
        long colour = Int(s, "color", where, 0x0000FF);
        if (!image.empty()) {
            if (auto xobject = MakeImageXObject(pdf_, image))
                return OH::newDictionary({{"/N", draw_.Form(box,
                                                            "q " + AppearanceMaker::Number(w) + " 0 0 " +
                                                                AppearanceMaker::Number(h) + " 0 0 cm /Im0 Do Q\n",
                                                            xobject->stream, opacity)}});
            std::cerr << "folium-pdf: warning: " << where << ": the image is not readable; drawn as a frame\n";
            ++sum_.warnings;
        }
        std::string content;
        if (type == "FreeText") {
            double size = FontSize(s, where);
            std::istringstream lines(Str(s, "contents", where));
            std::string line;
            content = "0 g\n";
            for (double y = h - size - 2; std::getline(lines, line) && y > -size; y -= size * 1.2)
                content += draw_.Text(line, size, 2, y);
        } else {
            std::string label = Str(s, "stampText", where);
            if (label.empty()) label = Str(s, "contents", where);
            double size = std::clamp(h * 0.5, 4.0, 24.0);
            double tw = AppearanceMaker::TextWidth(label, size);
            if (tw > w - 4 && tw > 0) size = std::max(2.0, size * (w - 4) / tw);
            content = AppearanceMaker::Colour(colour, false) + " " + AppearanceMaker::Colour(colour, true) +
                      " 1.5 w 1 1 " + AppearanceMaker::Number(w - 2) + " " + AppearanceMaker::Number(h - 2) + " re S\n";
            if (!label.empty())
                content += draw_.Text(label, size, (w - AppearanceMaker::TextWidth(label, size)) / 2, (h - size * 0.7) / 2);
        }
        return OH::newDictionary({{"/N", draw_.Form(box, content, {}, opacity)}});
    }

    // ---- watermarks ---------------------------------------------------------------------

    static std::string WatermarkKey(const json& w) {
        json copy = WithDefaults(w, kWatermarkDefaults);
        for (auto& [k, v] : copy.items())
            if (v.is_number()) v = AppearanceMaker::Number(v.get<double>());
        return copy.dump();
    }

    void Watermarks(OH& page, const json& p, const json* basePage, const std::string& where, std::vector<OH>& waterOrig,
                    std::vector<OH>& annots) {
        const json& list = Array(p, "watermarks", where);
        std::multimap<std::string, size_t> wanted;
        for (size_t k = 0; k < list.size(); ++k) {
            NeedObject(list[k], Where(where + ".watermarks", k));
            wanted.emplace(WatermarkKey(list[k]), k);
        }
        std::set<size_t> kept;
        // The import lists the original's watermark annotations in page order.
        const json& baseList = basePage ? Array(*basePage, "watermarks", "original") : json::array();
        for (size_t i = 0; i < waterOrig.size(); ++i) {
            auto it = i < baseList.size() ? wanted.find(WatermarkKey(baseList[i])) : wanted.end();
            if (it == wanted.end()) {
                ++sum_.watermarksDeleted;
                continue;
            }
            kept.insert(it->second);
            wanted.erase(it);
            annots.push_back(waterOrig[i]);
        }
        for (size_t k = 0; k < list.size(); ++k) {
            if (kept.count(k)) continue;
            annots.push_back(NewWatermark(list[k], page, Where(where + ".watermarks", k)));
            ++sum_.watermarksAdded;
        }
    }

    std::string WatermarkImage(const std::string& image) {
        if (image.rfind("base64:", 0) == 0) return Bytes(image.substr(7));
        std::string path = image;
        // A script's path on the Unix drive of Wine ("Z:\home\...") is a Unix path here.
        if (path.size() > 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') {
            path = path.substr(2);
            std::replace(path.begin(), path.end(), '\\', '/');
        }
        std::ifstream in(path, std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string();
    }

    OH NewWatermark(const json& w, OH& page, const std::string& where) {
        double pageW = frame_.width, pageH = frame_.height;
        std::string text = Str(w, "text", where);
        double scale = Num(w, "scale", where, 1);
        if (!(scale > 0 && scale < 100)) scale = 1;
        double size = Num(w, "fontSize", where);
        if (size <= 0) size = std::min(72.0, std::floor(pageW / std::max<size_t>(1, DecodeUtf8(text).size())));
        size = std::clamp(size * scale, 1.0, 400.0);
        double opacity = std::clamp(Num(w, "opacity", where, 1), 0.0, 1.0);
        long colour = Int(w, "color", where);
        std::string content;
        OH image;
        double bw = 0, bh = 0;
        std::string imageText = Str(w, "image", where);
        if (!imageText.empty()) {
            if (auto x = MakeImageXObject(pdf_, WatermarkImage(imageText))) {
                image = x->stream;
                bw = x->width * 0.75 * scale;  // 96 pixels to the inch
                bh = x->height * 0.75 * scale;
                content = "q " + AppearanceMaker::Number(bw) + " 0 0 " + AppearanceMaker::Number(bh) + " " +
                          AppearanceMaker::Number(-bw / 2) + " " + AppearanceMaker::Number(-bh / 2) + " cm /Im0 Do Q\n";
            } else {
                std::cerr << "folium-pdf: warning: " << where << ": the watermark image is not readable; left out\n";
                ++sum_.warnings;
            }
        }
        if (!image.isInitialized()) {
            bw = AppearanceMaker::TextWidth(text, size);
            bh = size;
            content = AppearanceMaker::Colour(colour, true) + "\n" + draw_.Text(text, size, -bw / 2, -size * 0.35);
        }
        // The watermark is centred on (x, y) and turned by its rotation about that point.
        double rad = Num(w, "rotation", where) * 3.14159265358979 / 180, c = std::cos(rad), sn = std::sin(rad);
        double ex = (std::fabs(c) * bw + std::fabs(sn) * bh) / 2, ey = (std::fabs(sn) * bw + std::fabs(c) * bh) / 2;
        double x = Num(w, "x", where, pageW / 2) + frame_.x, y = Num(w, "y", where, pageH / 2) + frame_.y;
        double box[4] = {-bw / 2, -bh / 2, bw / 2, bh / 2};
        double matrix[6] = {c, sn, -sn, c, 0, 0};
        OH form = draw_.Form(box, content, image, opacity, matrix);
        OH attrs = OH::newDictionary();
        for (auto& [k, v] : w.items()) {
            if (k.empty()) continue;
            std::string key = "/" + std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(k[0])))) +
                              k.substr(1);
            if (v.is_string()) attrs.replaceKey(key, OH::newUnicodeString(v.get<std::string>()));
            else if (v.is_boolean()) attrs.replaceKey(key, OH::newBool(v.get<bool>()));
            else if (v.is_number_integer()) attrs.replaceKey(key, OH::newInteger(v.get<long long>()));
            else if (v.is_number()) attrs.replaceKey(key, OH::newReal(v.get<double>(), 4));
        }
        bool noPrint = Flag(w, "noPrint");
        return pdf_.makeIndirectObject(OH::newDictionary(
            {{"/Type", OH::newName("/Annot")},
             {"/Subtype", OH::newName("/Watermark")},
             {"/Rect", RectArray({x - ex, y - ey, x + ex, y + ey})},
             {"/P", page},
             {"/NM", OH::newUnicodeString(Str(w, "name", where))},
             {"/Contents", OH::newUnicodeString(text)},
             {"/F", OH::newInteger(noPrint ? 0 : 4)},
             {"/AP", OH::newDictionary({{"/N", form}})},
             {"/QxWatermark", attrs}}));
    }

    // ---- fields -------------------------------------------------------------------------

    void ApplyFields() {
        std::map<std::string, const json*> base;
        for (auto& f : Array(base_, "fields", "original"))
            if (f.is_object()) base[Str(f, "fullName", "original")] = &f;
        std::map<std::string, const json*> wanted;
        const json& fields = Array(state_, "fields", "state");
        for (size_t i = 0; i < fields.size(); ++i) {
            std::string where = Where("fields", i);
            NeedObject(fields[i], where);
            std::string name = Str(fields[i], "fullName", where, Str(fields[i], "name", where));
            if (!base.count(name)) throw ExportError(std::string(kChanged) + "it has no field \"" + name + "\"");
            wanted[name] = &fields[i];
        }
        QPDFAcroFormDocumentHelper form(pdf_);
        if (!form.hasAcroForm()) return;
        std::set<QPDFObjGen> onPages;
        for (OH page : pdf_.getAllPages()) {
            OH annots = page.getKey("/Annots");
            if (annots.isArray())
                for (auto& a : annots.getArrayAsVector())
                    if (a.isIndirect()) onPages.insert(a.getObjGen());
        }
        std::set<QPDFObjGen> remove;
        for (auto& field : form.getFormFields()) {
            std::string name = field.getFullyQualifiedName();
            auto widgets = form.getAnnotationsForField(field);
            // A widget whose page was deleted stays with its field, on no page (as in the
            // reader); it no longer names the deleted page, which then is not written.
            for (auto& w : widgets)
                if (!onPages.count(w.getObjectHandle().getObjGen())) w.getObjectHandle().removeKey("/P");
            auto s = wanted.find(name);
            auto b = base.find(name);
            if (b == base.end()) continue;  // not one the import lists (kept as it is)
            if (s == wanted.end()) {
                remove.insert(field.getObjectHandle().getObjGen());
                continue;
            }
            std::string value = Str(*s->second, "value", "fields." + name);
            if (value == Str(*b->second, "value", "original")) continue;
            long kind = Int(*s->second, "kind", "fields." + name, 1);
            if (kind == 6 || kind == 7) continue;  // signatures and buttons carry no value
            if (kind == 2 || kind == 3) {
                field.setV(OH::newName("/" + (value.empty() ? std::string("Off") : value)), false);
            } else {
                // Every widget gets a picture of the new value, so no viewer shows the old
                // one: qpdf draws ASCII in the field's own font; other text is drawn here
                // in the wide font, which the field's font would not have.
                field.setV(value, false);
                bool ascii = std::all_of(value.begin(), value.end(), [](char c) { return (c & 0x80) == 0; });
                for (auto& w : widgets) {
                    if (ascii) field.generateAppearance(w);
                    else WidgetAppearance(w.getObjectHandle(), value, field.getDefaultAppearance());
                }
            }
            ++sum_.fieldsSet;
        }
        if (!remove.empty()) form.removeFormFields(remove);
    }

    void WidgetAppearance(OH widget, const std::string& value, const std::string& da) {
        Rect r;
        OH rect = widget.getKey("/Rect");
        if (rect.isRectangle()) {
            auto box = rect.getArrayAsRectangle();
            r = {std::min(box.llx, box.urx), std::min(box.lly, box.ury), std::max(box.llx, box.urx),
                 std::max(box.lly, box.ury)};
        }
        double w = r.r - r.l, h = r.t - r.b, size = 0;
        // "/Helv 12 Tf 0 g": the number before Tf is the size; 0 means fit the box.
        size_t tf = da.find(" Tf");
        if (tf != std::string::npos) {
            size_t start = da.rfind(' ', tf - 1);
            size = std::atof(da.substr(start == std::string::npos ? 0 : start + 1, tf).c_str());
        }
        if (!(size > 0)) size = std::clamp(h * 0.7, 4.0, 14.0);
        double box[4] = {0, 0, w, h};
        // The widget's own background and border colours (/MK), as qpdf keeps them for ASCII.
        std::string frame;
        OH mk = widget.getKey("/MK");
        auto rgb = [&](const char* key, const char* op) {
            OH c = mk.isDictionary() ? mk.getKey(key) : OH::newNull();
            if (!c.isArray() || c.getArrayNItems() != 3) return;
            for (auto& v : c.getArrayAsVector()) frame += AppearanceMaker::Number(v.isNumber() ? v.getNumericValue() : 0) + " ";
            frame += std::string(op) + " 0.5 0.5 " + AppearanceMaker::Number(w - 1) + " " + AppearanceMaker::Number(h - 1) +
                     " re " + (op[1] == 'g' ? "f" : "S") + "\n";
        };
        rgb("/BG", "rg");
        rgb("/BC", "RG");
        std::string content = frame + "/Tx BMC q 1 1 " + AppearanceMaker::Number(w - 2) + " " + AppearanceMaker::Number(h - 2) +
                              " re W n 0 g\n" + draw_.Text(value, size, 2, (h - size * 0.7) / 2) + "Q EMC\n";
        widget.replaceKey("/AP", OH::newDictionary({{"/N", draw_.Form(box, content)}}));
    }

    // ---- attachments --------------------------------------------------------------------

    void ApplyAttachments() {
        std::map<std::string, const json*> base, wanted;
        for (auto& a : Array(base_, "attachments", "original"))
            if (a.is_object()) base[Str(a, "name", "original")] = &a;
        const json& list = Array(state_, "attachments", "state");
        for (size_t i = 0; i < list.size(); ++i) {
            std::string where = Where("attachments", i);
            NeedObject(list[i], where);
            std::string name = Str(list[i], "name", where);
            if (name.empty()) BadState(where + " has no name");
            wanted[name] = &list[i];
        }
        QPDFEmbeddedFileDocumentHelper files(pdf_);
        for (auto& [name, b] : base)
            if (!wanted.count(name) && files.removeEmbeddedFile(name)) ++sum_.attachmentsRemoved;
        for (auto& [name, s] : wanted) {
            auto b = base.find(name);
            std::string data = Str(*s, "data", "attachment " + name), desc = Str(*s, "description", "attachment " + name);
            if (b != base.end() && Str(*b->second, "data", "original") == data) {
                if (Str(*b->second, "description", "original") != desc)
                    if (auto attachment = files.getEmbeddedFile(name))
                        attachment->getObjectHandle().replaceKey("/Desc", OH::newUnicodeString(desc));
                continue;
            }
            auto stream = QPDFEFStreamObjectHelper::createEFStream(pdf_, Bytes(data));
            auto attachment = QPDFFileSpecObjectHelper::createFileSpec(pdf_, name, stream);
            if (!desc.empty()) attachment.getObjectHandle().replaceKey("/Desc", OH::newUnicodeString(desc));
            files.replaceEmbeddedFile(name, attachment);
            ++sum_.attachmentsAdded;
        }
    }
};

json ReadStateFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ExportError("cannot read the state file " + path);
    std::ostringstream whole;
    whole << in.rdbuf();
    std::string text = std::move(whole).str();
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    // Pages from the original have their text there; the state's copy of it (most of a
    // saved state) is skipped while parsing. The simulator writes "source" before "text".
    std::string topKey, pageKey;
    bool sourced = false;
    json j = json::parse(
        text,
        [&](int depth, json::parse_event_t event, json& parsed) {
            using Event = json::parse_event_t;
            if (depth == 1 && event == Event::key) topKey = parsed.get<std::string>();
            if (topKey != "pages") return true;
            if (depth == 2 && event == Event::object_start) sourced = false;
            if (depth == 3 && event == Event::key) {
                pageKey = parsed.get<std::string>();
                return !(sourced && pageKey == "text");
            }
            if (depth == 3 && event == Event::value && pageKey == "source" && parsed.is_number()) sourced = true;
            return true;
        },
        false, true);
    if (j.is_discarded()) BadState("the file is not JSON");
    return j;
}

}  // namespace

ExportSummary ExportState(const json& state, const std::string& outPath) {
    NeedObject(state, "the state");
    std::string source = Str(state, "source", "state");
    if (source.empty()) BadState("it names no original PDF (\"source\")");
    {
        std::ifstream probe(source, std::ios::binary);
        if (!probe) throw ExportError("the original PDF " + source + " cannot be read");
    }
    std::string digest = Str(state, "sourceDigest", "state");
    if (!digest.empty() && QUtil::str_compare_nocase(digest.c_str(), Sha256Hex(source).c_str()) != 0)
        throw ExportError(std::string(kChanged) + source);
    ImportOptions options;
    options.text = false;
    json baseline;
    try {
        baseline = ImportPdfFile(source, options);
    } catch (const ImportError& e) {
        throw ExportError("the original PDF " + source + ": " + e.what());
    }
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    try {
        pdf.processFile(source.c_str());
    } catch (const std::exception& e) {
        throw ExportError("the original PDF " + source + " cannot be opened: " + e.what());
    }
    Exporter exporter(state, baseline, pdf);  // kept until written: it holds the files pages were copied from
    ExportSummary summary = exporter.Run();
    std::string partial = outPath + ".partial";
    try {
        QPDFWriter writer(pdf, partial.c_str());
        writer.write();
    } catch (const std::exception& e) {
        std::remove(partial.c_str());
        throw ExportError(std::string("cannot write ") + outPath + ": " + e.what(), false);
    }
    if (std::rename(partial.c_str(), outPath.c_str()) != 0) {
        std::remove(partial.c_str());
        throw ExportError("cannot write " + outPath, false);
    }
    return summary;
}

ExportSummary ExportPdf(const std::string& statePath, const std::string& outPath) {
    return ExportState(ReadStateFile(statePath), outPath);
}

int RunExportCommand(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "folium-pdf: usage: folium-pdf export STATE.json OUT.pdf\n";
        return 1;
    }
    try {
        ExportSummary s = ExportPdf(argv[2], argv[3]);
        std::cout << "folium-pdf: wrote " << argv[3] << ": " << s.pages << " pages (" << s.pagesDeleted << " deleted, "
                  << s.pagesAdded << " added), annotations " << s.annotationsAdded << " added, "
                  << s.annotationsChanged << " changed, " << s.annotationsDeleted << " deleted, " << s.fieldsSet
                  << " fields set, watermarks " << s.watermarksAdded << " added, " << s.watermarksDeleted
                  << " deleted, attachments " << s.attachmentsAdded << " added, " << s.attachmentsRemoved
                  << " removed\n";
        return 0;
    } catch (const ExportError& e) {
        std::cerr << "folium-pdf: " << e.what() << "\n";
        return e.badInput ? 2 : 1;
    } catch (const std::exception& e) {
        std::cerr << "folium-pdf: export failed: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace foliumpdf
