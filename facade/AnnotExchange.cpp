// Annotation exchange records: the document's comments and stamps out as one
// JSON text (and as the annotation file), and records back into a document.
// Comment records are assembled by hand exactly as the exchange format has
// always been written (no escaping); stamp records go through the JSON writer.
#include "FoliumFun.h"

#include <shlobj.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../bridge/Bridge.h"
#include "../bridge/Walks.h"
#include "../support/AnnotRecords.h"
#include "../support/win/CodePages.h"

using folium::ComPtr;
using folium::Guarded;
using folium::InvokeByName;
using folium::ScopedVariant;
using folium::UniqueBstr;

namespace {

constexpr LONG kStampKind = 12;
constexpr wchar_t kInkpad[] = L"Veridane.Inkpad";

std::wstring Wide(const UniqueBstr& b) { return std::wstring(b.c_str(), b.length()); }
std::string Utf8(std::wstring_view w) { return folium::NarrowToCodePage(CP_UTF8, w); }
std::wstring FromUtf8(std::string_view s) { return folium::WideFromCodePage(CP_UTF8, s); }

std::wstring WideRecordReal(double value) { return FromUtf8(folium::FormatRecordReal(value)); }
std::wstring WideRecordInteger(long value) { return FromUtf8(folium::FormatRecordInteger(value)); }

// Reads of one annotation; a read that fails leaves the default.
struct AnnotationReader {
    IQxAnnotation* a;

    std::wstring Text(HRESULT (STDMETHODCALLTYPE IQxAnnotation::*get)(BSTR*)) const {
        UniqueBstr v;
        (a->*get)(v.put());
        return Wide(v);
    }
    double Real(HRESULT (STDMETHODCALLTYPE IQxAnnotation::*get)(double*)) const {
        double v = 0;
        (a->*get)(&v);
        return v;
    }
    LONG Integer(HRESULT (STDMETHODCALLTYPE IQxAnnotation::*get)(LONG*)) const {
        LONG v = 0;
        (a->*get)(&v);
        return v;
    }
    std::wstring Value(const wchar_t* key) const {
        UniqueBstr k(key), v;
        a->GetValue(k.get(), v.put());
        return Wide(v);
    }
};

// Every annotation of the document, page by page in order, each in its page's order.
template <class Visit>
void ForEachAnnotation(IQxDocument* document, Visit&& visit) {
    ComPtr<IQxPages> pages = folium::PagesOf(document);
    folium::WalkPages(pages.get(), folium::PageCountOf(pages.get(), 0), [&](LONG, IQxPage* page) {
        ComPtr<IQxAnnotations> annotations;
        page->get_Annotations(annotations.put());
        LONG count = 0;
        if (annotations) annotations->get_Count(&count);
        for (LONG i = 0; i < count; ++i) {
            ComPtr<IQxAnnotation> annotation;
            annotations->Item(i, annotation.put());
            if (annotation) visit(annotation.get());
        }
        return folium::Walk::Continue;
    });
}

void AppendPair(folium::TextBuilder& out, const wchar_t* key, std::wstring_view value, bool last = false) {
    out += L'"';
    out += key;
    out += L"\":\"";
    out += value;
    out += last ? L"\"" : L"\",";
}

// One comment record, hand-assembled in its fixed pair order; texts are copied
// as they are, so a quote or backslash in them is not escaped.
void AppendCommentRecord(folium::TextBuilder& out, const AnnotationReader& r, LONG kind, const std::wstring& type) {
    out += L'{';
    AppendPair(out, L"styleId", WideRecordInteger(kind));
    AppendPair(out, L"styleName", type);
    AppendPair(out, L"unType", L"");
    AppendPair(out, L"createTime", r.Text(&IQxAnnotation::get_CreationDate));
    AppendPair(out, L"annotContent", r.Text(&IQxAnnotation::get_Contents));
    AppendPair(out, L"pageNo", WideRecordInteger(r.Integer(&IQxAnnotation::get_PageIndex) + 1L));
    AppendPair(out, L"authorName", r.Text(&IQxAnnotation::get_Author));
    AppendPair(out, L"height", WideRecordReal(r.Real(&IQxAnnotation::get_Height)));
    AppendPair(out, L"width", WideRecordReal(r.Real(&IQxAnnotation::get_Width)));
    AppendPair(out, L"X", WideRecordReal(r.Real(&IQxAnnotation::get_Left)));
    AppendPair(out, L"Y", WideRecordReal(r.Real(&IQxAnnotation::get_Top)));
    AppendPair(out, L"annotSignature", L"");
    AppendPair(out, L"authorId", r.Value(L"AnnotID"), /*last=*/true);
    out += L"},";
}

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    return n && n <= MAX_PATH ? std::wstring(folder, n) : std::wstring();
}

std::vector<std::uint8_t> ReadWholeFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    folium::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return bytes;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF) return bytes;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
    return bytes;
}

// The temporary file the host writes stamp appearances to: made on first use,
// emptied before each stamp and deleted when the text is complete (one file for
// the whole text: under Wine each new temporary file costs milliseconds).
class ExportFile {
public:
    ExportFile() = default;
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;
    ~ExportFile() {
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }
    // The stamp's appearance as lower-case hexadecimal ("" when it cannot be had).
    std::string ImageHex(IQxAnnotation* a) {
        if (path_.empty()) {
            const std::wstring folder = TempFolder();
            wchar_t path[MAX_PATH];
            if (folder.empty() || !GetTempFileNameW(folder.c_str(), L"", 0, path)) return std::string();
            path_ = path;
        } else {
            folium::UniqueHandle truncate(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        }
        UniqueBstr file(path_.c_str()), size;
        a->ExportImage(file.get(), size.put());
        const std::vector<std::uint8_t> bytes = ReadWholeFile(path_);
        return folium::EncodeHex(bytes.data(), bytes.size());
    }

private:
    std::wstring path_;
};

// One stamp record (UTF-8 values; the writer orders the keys).
folium::RecordFields StampRecord(const AnnotationReader& r, LONG kind, ExportFile& exportFile) {
    const std::wstring info = r.Value(L"AnnotInfo");
    const std::wstring_view infoView(info);
    double showWidth = 0, showHeight = 0;
    const std::wstring displaySize = r.Text(&IQxAnnotation::get_DisplaySize);
    swscanf(displaySize.c_str(), L"%lf*%lf", &showWidth, &showHeight);

    folium::RecordFields f = {
        {"styleId", folium::FormatRecordInteger(kind)},
        {"styleName", Utf8(r.Text(&IQxAnnotation::get_Type))},
        {"unType", ""},
        {"createTime", Utf8(r.Text(&IQxAnnotation::get_CreationDate))},
        {"curDateTime", Utf8(r.Text(&IQxAnnotation::get_ModDate))},
        {"pageNo", folium::FormatRecordInteger(r.Integer(&IQxAnnotation::get_PageIndex) + 1L)},
        {"authorName", Utf8(folium::FindAnnotInfoValue(infoView, std::wstring_view(L"author")))},
        {"authorId", Utf8(folium::FindAnnotInfoValue(infoView, std::wstring_view(L"authorId")))},
        {"X", folium::FormatRecordReal(r.Real(&IQxAnnotation::get_Left))},
        {"Y", folium::FormatRecordReal(r.Real(&IQxAnnotation::get_Top))},
        {"width", folium::FormatRecordReal(r.Real(&IQxAnnotation::get_Width))},
        {"height", folium::FormatRecordReal(r.Real(&IQxAnnotation::get_Height))},
        {"uniqueName", Utf8(r.Text(&IQxAnnotation::get_UniqueName))},
        {"annotInfo", Utf8(info)},
        {"annotrotate", folium::FormatRecordInteger(r.Integer(&IQxAnnotation::get_Rotation))},
        {"showwidth", folium::FormatRecordReal(showWidth)},
        {"showheight", folium::FormatRecordReal(showHeight)},
    };
    switch (r.Integer(&IQxAnnotation::get_StampKind)) {
        case 0:
            f.push_back({"annotContent", Utf8(r.Text(&IQxAnnotation::get_StampText))});
            f.push_back({"annotSignature", ""});
            break;
        case 1:
            f.push_back({"annotContent", ""});
            f.push_back({"annotSignature", exportFile.ImageHex(r.a)});
            break;
        default:
            break;
    }
    return f;
}

// Ends the exchange text after its comment records: without a stamp part the last
// "," becomes "]"; a stamp part (a JSON array text) follows without its own "[".
void FinishExchangeText(folium::TextBuilder& text, std::wstring_view stamps) {
    if (stamps.empty()) {
        if (!text.empty() && text.back() == L',') text.pop_back();
        text += L']';
    } else {
        text += stamps.substr(1);
    }
}

ComPtr<IQxDocument> ActiveDocumentOf(IQxApplication* app) {
    ComPtr<IQxDocuments> documents;
    ComPtr<IQxDocument> document;
    if (app) app->get_Documents(documents.put());
    if (documents) documents->get_ActiveDocument(document.put());
    return document;
}

bool IsOfd(IQxDocument* document) {
    if (!document) return false;
    document->AddRef();  // IsOfdDocument takes over a reference
    return folium::IsOfdDocument(document);
}

// The comment records of the active document ("[" and each record followed by
// ",") written into text as each annotation is read, and optionally its stamp
// records as the JSON writer's array text (they come after all comments).
void WriteAnnotText(folium::TextBuilder& text, IQxDocument* document, std::wstring* stampPart) {
    text = L"[";
    std::vector<folium::RecordFields> stamps;
    ExportFile exportFile;
    const bool stampsWanted = stampPart && document && !IsOfd(document);
    ForEachAnnotation(document, [&](IQxAnnotation* a) {
        const AnnotationReader r{a};
        const std::wstring type = r.Text(&IQxAnnotation::get_Type);
        const LONG kind = r.Integer(&IQxAnnotation::get_Kind);
        if (CompareStringOrdinal(type.c_str(), static_cast<int>(type.size()), L"Text", 4, TRUE) == CSTR_EQUAL)
            AppendCommentRecord(text, r, kind, type);
        if (stampsWanted && kind == kStampKind) stamps.push_back(StampRecord(r, kind, exportFile));
    });
    if (stampPart) *stampPart = stamps.empty() ? std::wstring() : FromUtf8(folium::WriteJsonRecords(stamps));
}

}  // namespace

STDMETHODIMP CFoliumFun::GetAnnotString(BSTR* sInfo) {
    if (!sInfo) return E_POINTER;
    return Guarded([&] {
        ComPtr<IQxDocument> document = ActiveDocumentOf(m_spApplication.get());
        if (!document) {
            *sInfo = folium::ToBstr(L"");
            return S_OK;
        }
        folium::TextBuilder text;
        std::wstring stamps;
        WriteAnnotText(text, document.get(), &stamps);
        FinishExchangeText(text, stamps);
        *sInfo = text.Detach();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GetAnnotTextFile(BSTR* sFileName) {
    if (!sFileName) return E_POINTER;
    return Guarded([&] {
        wchar_t folder[MAX_PATH];
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
            *sFileName = folium::ToBstr(L"");
            return S_OK;
        }
        const std::wstring path = std::wstring(folder) + L"\\AnnotFile.txt";
        DeleteFileW(path.c_str());

        ComPtr<IQxDocument> document = ActiveDocumentOf(m_spApplication.get());
        folium::TextBuilder text;
        WriteAnnotText(text, document.get(), nullptr);

        // The stamp part is the handwriting add-in's own text of its kind-12 annotations.
        std::wstring stamps;
        ComPtr<IDispatch> inkpad;
        if (GetSiblingAddIn(UniqueBstr(kInkpad).get(), inkpad.put())) {
            ScopedVariant kind = ScopedVariant::I4(kStampKind), result;
            if (SUCCEEDED(InvokeByName(DISPATCH_METHOD, result.get(), inkpad.get(), L"GetAnnotString", kind.get()))) {
                if (auto part = folium::ReadBstr(result.get())) stamps = Wide(*part);
                if (stamps == L"null\n") stamps.clear();
            }
        }
        FinishExchangeText(text, stamps);
        folium::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (file.valid())
            WriteFile(file.get(), text.view().data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                      nullptr);
        *sFileName = folium::ToBstr(path);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::ImportAnnot(LONG nPage, LONG nType, FLOAT leftX, FLOAT leftY, FLOAT fWidth, FLOAT fHeight,
                                     BSTR CTime, BSTR MTime, BSTR authorId, BSTR authorName, BSTR annotContent,
                                     LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&] {
        ComPtr<IDispatch> inkpad;
        if (!GetSiblingAddIn(UniqueBstr(kInkpad).get(), inkpad.put())) return S_OK;
        ScopedVariant page = ScopedVariant::I4(nPage), type = ScopedVariant::I4(nType),
                      x = ScopedVariant::R4(leftX), y = ScopedVariant::R4(leftY), w = ScopedVariant::R4(fWidth),
                      h = ScopedVariant::R4(fHeight), created = ScopedVariant::Bstr(CTime, SysStringLen(CTime)),
                      modified = ScopedVariant::Bstr(MTime, SysStringLen(MTime)),
                      id = ScopedVariant::Bstr(authorId, SysStringLen(authorId)),
                      name = ScopedVariant::Bstr(authorName, SysStringLen(authorName)),
                      content = ScopedVariant::Bstr(annotContent, SysStringLen(annotContent)), result;
        // Arguments in reverse order: the callee's last parameter first.
        if (SUCCEEDED(InvokeByName(DISPATCH_METHOD, result.get(), inkpad.get(), L"ImportAnnot", content.get(),
                                   name.get(), id.get(), modified.get(), created.get(), h.get(), w.get(), y.get(),
                                   x.get(), type.get(), page.get())))
            *lResult = folium::ReadI4(result.get()).value_or(0);
        return S_OK;
    });
}

// ---- SetAnnotString -------------------------------------------------------------------

namespace {

// The "AnnotInfo" text of a stamp made from a record: the stored text when the
// script set one, else the author and the author identifier with the stamp type.
std::wstring RecordAnnotInfo(const UniqueBstr& annotInfo, const UniqueBstr& stampType,
                             const std::wstring& author, const std::wstring& authorId) {
    if (!annotInfo.empty()) return Wide(annotInfo);
    return L"{\"author\":\"" + author + L"\",{\"authorId\":\"" + authorId + L"\",\"customType\":\"" +
           Wide(stampType) + L"\"}";
}


}  // namespace

STDMETHODIMP CFoliumFun::SetAnnotString(BSTR strInfo, LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = 1;
    return Guarded([&] {
        const std::string text = Utf8(folium::TextArg(strInfo).view());
        const auto records = folium::ReadAnnotRecords(text);
        if (!records) return S_OK;

        // Comment records carry no modification time: the last stamp's is handed on.
        std::wstring lastModified;
        for (const folium::AnnotRecord& rec : *records) {
            const long pageNo = folium::RecordInteger(rec.pageNo);
            const float x = folium::RecordReal(rec.X), y = folium::RecordReal(rec.Y);
            const float width = folium::RecordReal(rec.width), height = folium::RecordReal(rec.height);
            if (rec.styleId == "0") {
                UniqueBstr content(FromUtf8(rec.annotContent).c_str()), created(FromUtf8(rec.createTime).c_str()),
                    modified(lastModified.c_str()), author(FromUtf8(rec.authorName).c_str()),
                    authorId(FromUtf8(rec.authorId).c_str()), commentId(L"");
                LONG ignored = 1;
                AddCommentExt(pageNo, x, y, content.get(), created.get(), modified.get(), author.get(),
                              authorId.get(), commentId.get(), &ignored);
                continue;
            }
            const bool stamp = rec.styleId == "12";
            if (stamp) lastModified = FromUtf8(rec.curDateTime);

            ComPtr<IQxDocument> document = ActiveDocumentOf(m_spApplication.get());
            if (!document) continue;
            // A malformed image ends the record: nothing half-made is left behind.
            const auto imageBytes = folium::DecodeHex(rec.annotSignature);
            if (!imageBytes) continue;
            if (stamp) {
                VARIANT_BOOL editable = VARIANT_FALSE;
                document->Permission(1, &editable);
                if (!editable || IsOfd(document.get())) continue;
            }
            ComPtr<IQxPages> pages = folium::PagesOf(document.get());
            ComPtr<IQxPage> page;
            if (pages) pages->Item(pageNo - 1, page.put());
            ComPtr<IQxAnnotations> annotations;
            if (page) page->get_Annotations(annotations.put());
            ComPtr<IQxAnnotation> a;
            if (annotations) annotations->Add(kStampKind, a.put());
            if (!a) continue;

            const std::wstring author = FromUtf8(rec.authorName);
            a->SetRect(x, y, static_cast<double>(x) + width, static_cast<double>(y) + height);
            if (stamp) {
                a->put_ImageRotation(folium::RecordInteger(rec.annotrotate));
                a->put_BlendMode(UniqueBstr(L"Multiply").get());
                a->SetValue(UniqueBstr(L"AnnotInfo").get(),
                            UniqueBstr(RecordAnnotInfo(m_stamps.info, m_stamps.stampType, author,
                                                       FromUtf8(rec.authorId))
                                           .c_str())
                                .get());
            } else {
                // Any other style is the handwriting component's: marked as its own.
                a->put_Contents(UniqueBstr(FromUtf8(rec.annotContent).c_str()).get());
                a->SetValue(UniqueBstr(L"CustomType").get(), UniqueBstr(L"VDInkpad Annotation").get());
                a->SetValue(UniqueBstr(L"ModDate").get(), UniqueBstr(FromUtf8(rec.curDateTime).c_str()).get());
            }
            a->put_Author(UniqueBstr(author.c_str()).get());
            a->SetValue(UniqueBstr(L"CreationDate").get(), UniqueBstr(FromUtf8(rec.createTime).c_str()).get());
            if (!imageBytes->empty()) {
                ScopedVariant image = ScopedVariant::Bytes(imageBytes->data(), imageBytes->size());
                LONG result = 0;
                a->SetImage(*image.get(), &result);
            }
            a->Commit();
        }
        return S_OK;
    });
}
