// Comments, text and image annotations: the annotation rights, the comment window,
// finding annotations by identifier, the pen and handwriting tools, stamp models, and
// notes, free texts and image stamps placed on a page.
// Statuses of host calls are not looked at unless a member's result depends on them:
// a read that fails keeps the member's default, a step that fails changes nothing.
#include "FoliumFun.h"

#include <commdlg.h>

#include <cstdio>
#include <string>

#include "../bridge/Bridge.h"
#include "../bridge/Positions.h"
#include "../bridge/Walks.h"
#include "../support/win/CodePages.h"
#include "../support/win/PathText.h"
#include "AnnotationCommon.h"
#include "FileHelpers.h"
#include "StampImage.h"
#include "../support/Base64.h"

using folium::ComPtr;
using folium::Guarded;
using folium::NameMatch;
using folium::ScopedVariant;
using folium::TextArg;
using folium::UniqueBstr;
using folium::Walk;
using namespace folium::annots;

namespace {

constexpr wchar_t kAnnotsAddIn[] = L"Quirex.Annots";
constexpr wchar_t kInkpadAddIn[] = L"Veridane.Inkpad";
constexpr wchar_t kSignatureEngine[] = L"Veridane.Folium2015";
constexpr wchar_t kImageCaption[] = L"Folium2018";
constexpr wchar_t kMissingFile[] = L"文件不存在！";
constexpr wchar_t kMultiply[] = L"Multiply";
constexpr LONG kTextNote = 0;
constexpr LONG kFreeText = 2;
constexpr LONG kImageStamp = 12;
constexpr LONG kNoteFlags = 28;  // print, no zoom, no rotate
constexpr LONG kStampColor = 0x0000FFFF;
constexpr LONG kHandWriterControl = 50036;

ComPtr<IDispatch> Sibling(CFoliumFun& fun, const wchar_t* progId) {
    ComPtr<IDispatch> target;
    UniqueBstr id(progId);
    fun.GetSiblingAddIn(id.get(), target.put());
    return target;
}

void PutText(IDispatch* target, const wchar_t* name, BSTR value) {
    ScopedVariant v = MakeText(value);
    CallByName(target, DISPATCH_PROPERTYPUT, name, {v.get()}, nullptr);
}

bool ContainsWebPrefix(std::wstring_view text) {
    return text.find(L"http://") != std::wstring_view::npos || text.find(L"https://") != std::wstring_view::npos;
}

// Where a new note, free text or image stamp goes: the active document (read through
// the documents collection), its page PageNo (1-based, checked against the count) and
// the author. False when there is no document or the page is out of range.
struct PageTarget {
    ComPtr<IQxDocument> document;
    ComPtr<IQxPage> page;
    std::wstring author;
};

bool FindPageTarget(CFoliumFun& fun, LONG pageNo, PageTarget* target) {
    target->document = folium::files::HostActiveDocument(fun);
    if (!target->document) return false;
    ComPtr<IQxPages> pages = folium::PagesOf(target->document.get());
    const LONG count = folium::PageCountOf(pages.get(), 0);
    if (pageNo < 1 || pageNo > count) return false;
    target->author = ReaderAuthor(fun.Application());
    pages->Item(pageNo - 1, target->page.put());
    return static_cast<bool>(target->page);
}

ComPtr<IQxAnnotation> AddAnnotation(IQxPage* page, LONG kind) {
    ComPtr<IQxAnnotations> annotations;
    page->get_Annotations(annotations.put());
    ComPtr<IQxAnnotation> annotation;
    if (annotations) annotations->Add(kind, annotation.put());
    return annotation;
}

void PutString(IQxAnnotation* a, HRESULT (STDMETHODCALLTYPE IQxAnnotation::*put)(BSTR), const std::wstring& text) {
    UniqueBstr b(text.data(), static_cast<UINT>(text.size()));
    (a->*put)(b.get());
}

void SetValue(IQxAnnotation* a, const wchar_t* key, const std::wstring& value) {
    UniqueBstr k(key), v(value.data(), static_cast<UINT>(value.size()));
    a->SetValue(k.get(), v.get());
}

// Creation time as fourteen digits, local time.
std::wstring TimeDigits() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t buf[32];
    swprintf(buf, 32, L"%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return buf;
}

// The 20 x 18 note icon placed by the page rotation: left, bottom, right, top.
struct Rect {
    double l, b, r, t;
};
Rect NoteRect(LONG rotation, double x, double y) {
    switch (rotation) {
        case 90: return {x, y, x + 18, y + 20};
        case 180: return {x - 20, y, x, y + 18};
        case 270: return {x - 18, y - 20, x, y};
        default: return {x, y - 18, x + 20, y};
    }
}

void OpenPopup(IQxAnnotation* a) {
    ComPtr<IQxAnnotPopup> popup;
    a->get_Popup(popup.put());
    if (!popup) return;
    popup->put_Open(VARIANT_TRUE);
    UniqueBstr title(L"Comment");
    popup->put_Title(title.get());
}

// The stamp settings every image stamp gets before its image: blending, colour,
// author and the "AnnotInfo" value.
void StampAttributes(CFoliumFun& fun, IQxAnnotation* a, bool multiply, LONG color, const std::wstring& author) {
    if (multiply) PutString(a, &IQxAnnotation::put_BlendMode, kMultiply);
    a->put_Color(color);
    PutString(a, &IQxAnnotation::put_Author, author);
    SetValue(a, L"AnnotInfo", AnnotInfoText(fun, author));
}

LONG SetImagePath(IQxAnnotation* a, BSTR path) {
    ScopedVariant image = MakeText(path);
    LONG result = -1;
    a->SetImage(*image.get(), &result);
    return result;
}

// Visits every annotation of the document, page by page; stops when the visitor does.
void WalkDocumentAnnotations(IQxDocument* document, folium::FunctionRef<Walk(IQxAnnotation*)> visit) {
    ComPtr<IQxPages> pages = folium::PagesOf(document);
    folium::WalkPages(pages.get(), folium::PageCountOf(pages.get(), 0), [&](LONG, IQxPage* page) {
        return folium::WalkAnnotations(page, visit);
    });
}

// The first annotation whose custom value under one of keys equals id ignoring case
// is shown; true when one was found.
bool GoToAnnotationById(IQxDocument* document, BSTR id, std::initializer_list<const wchar_t*> keys) {
    TextArg wanted(id);
    std::wstring target(wanted.view());
    bool found = false;
    WalkDocumentAnnotations(document, [&](IQxAnnotation* a) {
        for (const wchar_t* key : keys) {
            UniqueBstr k(key), value;
            a->GetValue(k.get(), value.put());
            if (CompareStringOrdinal(value.c_str(), static_cast<int>(value.length()), target.data(),
                                     static_cast<int>(target.size()), TRUE) == CSTR_EQUAL) {
                a->GoTo();
                found = true;
                return Walk::Stop;
            }
        }
        return Walk::Continue;
    });
    return found;
}

}  // namespace

// ---- rights ------------------------------------------------------------------------

// Rights and switches the component keeps for itself: the getter only copies the kept value.
template <class T, class F>
static HRESULT ReadKept(T* out, F value) {
    if (!out) return E_POINTER;
    *out = static_cast<T>(value);
    return S_OK;
}

STDMETHODIMP CFoliumFun::get_AllowMoveAnnot(VARIANT_BOOL* pVal) { return ReadKept(pVal, m_bAllowMoveAnnot); }
STDMETHODIMP CFoliumFun::put_AllowMoveAnnot(VARIANT_BOOL value) {
    m_bAllowMoveAnnot = value;
    return S_OK;
}
STDMETHODIMP CFoliumFun::get_ImageAnnotDelRight(LONG* pVal) { return ReadKept(pVal, m_nImageAnnotDelRight); }
STDMETHODIMP CFoliumFun::put_ImageAnnotDelRight(LONG value) {
    m_nImageAnnotDelRight = value;
    return S_OK;
}
STDMETHODIMP CFoliumFun::get_ImageAnnotMoveRight(LONG* pVal) { return ReadKept(pVal, m_nImageAnnotMoveRight); }
STDMETHODIMP CFoliumFun::put_ImageAnnotMoveRight(LONG value) {
    m_nImageAnnotMoveRight = value;
    return S_OK;
}
STDMETHODIMP CFoliumFun::get_CommentTextMoveRight(LONG* pVal) { return ReadKept(pVal, m_nCommentTextMoveRight); }
STDMETHODIMP CFoliumFun::put_CommentTextMoveRight(LONG value) {
    m_nCommentTextMoveRight = value;
    return S_OK;
}
STDMETHODIMP CFoliumFun::get_TextCommentRight(LONG* pVal) { return ReadKept(pVal, m_nTextCommentRight); }

// 1 and 3 also lock the comment tool bars; nothing here ever unlocks them.
STDMETHODIMP CFoliumFun::put_TextCommentRight(LONG value) {
    m_nTextCommentRight = value;
    if (value != 1 && value != 3) return S_OK;
    return Guarded([&] {
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        folium::ForEveryCommandBarNamed(bars.get(), {L"Comments", L"Annots"}, NameMatch::Exact,
                                        [](IQxCommandBar* bar) { bar->put_Enabled(VARIANT_FALSE); });
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::get_AnnotPopupEditRight(LONG* pVal) { return ReadKept(pVal, m_nAnnotPopupEditRight); }
STDMETHODIMP CFoliumFun::put_AnnotPopupEditRight(LONG value) {
    m_nAnnotPopupEditRight = value;
    return S_OK;
}
STDMETHODIMP CFoliumFun::get_PositionBack(VARIANT_BOOL* pVal) { return ReadKept(pVal, m_stamps.positionBack); }
STDMETHODIMP CFoliumFun::put_PositionBack(VARIANT_BOOL value) {
    m_stamps.positionBack = value;
    return S_OK;
}

// ---- comment window and visibility ---------------------------------------------------

STDMETHODIMP CFoliumFun::CommentWindow(LONG AllOpen, LONG* Result) {
    if (!Result) return E_POINTER;
    if (m_nAnnotPopupEditRight == -1 || m_bEnabledCommentWindow == 0) return S_OK;
    return Guarded([&] {
        m_bCommentWindowOpen = AllOpen != 0 ? 1 : 0;
        if (RefreshActiveDocument() != 0) return S_OK;
        LONG current = 0;
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) view->get_CurrentPage(&current);
        auto annots = Sibling(*this, kAnnotsAddIn);
        if (!annots) return S_OK;
        auto open = ScopedVariant::I4(m_bCommentWindowOpen), page = ScopedVariant::I4(current - 1);
        ScopedVariant result;
        if (SUCCEEDED(CallByName(annots.get(), DISPATCH_METHOD, L"CommentWindow", {open.get(), page.get()},
                                 result.get())))
            *Result = ResultLong(*result.get(), *Result);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::CommentVisible(LONG lVisible, LONG* Result) {
    if (!Result) return E_POINTER;
    return Guarded([&] {
        if (lVisible == 0) {
            LONG ignored = 0;
            CommentWindow(0, &ignored);
        }
        if (RefreshActiveDocument() != 0) return S_OK;
        CommentWindow(m_bCommentWindowOpen, Result);
        ComPtr<IQxDocument> document = m_spActiveDocument;
        if (!document) return S_OK;
        const VARIANT_BOOL visible = lVisible != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        ComPtr<IQxPages> pages = folium::PagesOf(document.get());
        folium::WalkPages(pages.get(), folium::PageCountOf(pages.get(), 0), [&](LONG, IQxPage* page) {
            folium::WalkAnnotations(page, [&](IQxAnnotation* a) {
                UniqueBstr type;
                a->get_Type(type.put());
                // Seals and form widgets keep their own visibility.
                if (!folium::SameName(type.get(), L"Brimwell:AddSeal", NameMatch::IgnoreCase) &&
                    !folium::SameName(type.get(), L"Widget", NameMatch::IgnoreCase))
                    a->put_Visible(visible);
                return Walk::Continue;
            });
            page->Update();
            return Walk::Continue;
        });
        if (auto view = folium::PageViewOf(document.get())) view->Refresh();
        return S_OK;
    });
}

// ---- finding annotations ----------------------------------------------------------------

STDMETHODIMP CFoliumFun::GoToTextComment(BSTR TextID, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        if (RefreshActiveDocument() != 0) return S_FALSE;
        *lRet = GoToAnnotationById(m_spActiveDocument.get(), TextID, {L"TextID"}) ? 0 : 1;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GoToAnnot(BSTR strID, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = -1;
        if (RefreshActiveDocument() != 0) return S_FALSE;
        *lRet = GoToAnnotationById(m_spActiveDocument.get(), strID, {L"PostilID", L"TextID"}) ? 0 : 1;
        return S_OK;
    });
}

// ---- pen and handwriting ----------------------------------------------------------------

STDMETHODIMP CFoliumFun::SetPostilPenColor(LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        // The custom colours stay for the life of the process, as the dialog expects.
        static COLORREF customColours[16] = {};
        CHOOSECOLORW cc = {};
        cc.lStructSize = sizeof(cc);
        cc.hwndOwner = GetActiveWindow();
        cc.rgbResult = 0;
        cc.lpCustColors = customColours;
        cc.Flags = CC_RGBINIT;
        // Only TRUE means a colour was chosen (a dialog that cannot be shown may answer otherwise).
        const COLORREF colour = ChooseColorW(&cc) == TRUE ? cc.rgbResult : 0;
        auto inkpad = Sibling(*this, kInkpadAddIn);
        if (!inkpad) return S_OK;
        auto option = ScopedVariant::I4(1), value = ScopedVariant::UI4(colour);
        ScopedVariant result;
        if (SUCCEEDED(CallByName(inkpad.get(), DISPATCH_METHOD, L"SetOption", {option.get(), value.get()},
                                 result.get())))
            *lRet = ResultLong(*result.get(), *lRet);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::SetPostilPenWidth(LONG pWidth, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        auto inkpad = Sibling(*this, kInkpadAddIn);
        if (!inkpad) return S_OK;
        auto option = ScopedVariant::I4(2), value = ScopedVariant::I4(pWidth);
        ScopedVariant result;
        if (SUCCEEDED(CallByName(inkpad.get(), DISPATCH_METHOD, L"SetOption", {option.get(), value.get()},
                                 result.get())))
            *lRet = ResultLong(*result.get(), *lRet);
        return S_OK;
    });
}

// Back to the reader's first tool, which ends any annotation tool in use.
STDMETHODIMP CFoliumFun::CancelPostil(VARIANT_BOOL* Result) {
    if (!Result) return E_POINTER;
    *Result = VARIANT_FALSE;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        ComPtr<IQxTools> tools;
        m_spApplication->get_Tools(tools.put());
        if (!tools) return S_OK;
        auto first = ScopedVariant::I4(0);
        ComPtr<IQxTool> tool;
        tools->Item(*first.get(), tool.put());
        if (!tool) return S_OK;
        tool->Activate();
        *Result = VARIANT_TRUE;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::HandWriter(LONG type, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        if (RefreshActiveDocument() != 0) return S_FALSE;
        if (type == 1) {
            auto inkpad = Sibling(*this, kInkpadAddIn);
            if (!inkpad) return S_OK;
            ScopedVariant result;
            CallByName(inkpad.get(), DISPATCH_METHOD, L"CreateHandWrite", {}, result.get());
            *lRet = ResultLong(*result.get(), *lRet);
            return S_OK;
        }
        auto engine = Sibling(*this, kSignatureEngine);
        if (!engine) return S_OK;
        auto kind = ScopedVariant::I4(3);
        ScopedVariant result;
        if (SUCCEEDED(CallByName(engine.get(), DISPATCH_METHOD, L"ShowSignDlg", {kind.get()}, result.get())))
            *lRet = ResultLong(*result.get(), 0) != 1 ? 1 : 0;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::ShowHandWriteTab(BSTR strType, LONG* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        *pVal = 0;
        auto engine = Sibling(*this, kSignatureEngine);
        if (!engine) return S_OK;
        auto name = ScopedVariant::Bstr(L"VD_HideHandWriteType"), value = MakeText(strType);
        ScopedVariant result;
        if (SUCCEEDED(CallByName(engine.get(), DISPATCH_METHOD, L"SetFieldByName", {name.get(), value.get()},
                                 result.get())))
            *pVal = ResultLong(*result.get(), 0);
        return S_OK;
    });
}

// The full-text handwriting button of the comment bar; a reader without it reports true.
STDMETHODIMP CFoliumFun::get_EnableHandWriter(VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = VARIANT_TRUE;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        auto bar = folium::FindCommandBar(bars.get(), L"Comments", NameMatch::Exact);
        if (!bar) return S_OK;
        ComPtr<IQxControls> controls;
        bar->get_Controls(controls.put());
        auto control = folium::FindControlById(controls.get(), kHandWriterControl);
        if (!control) return S_OK;
        VARIANT_BOOL enabled = VARIANT_TRUE;
        control->get_Enabled(&enabled);
        *pVal = enabled != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_EnableHandWriter(VARIANT_BOOL value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        auto bar = folium::FindCommandBar(bars.get(), L"Comments", NameMatch::Exact);
        if (!bar) return S_OK;
        ComPtr<IQxControls> controls;
        bar->get_Controls(controls.put());
        if (!controls) return S_OK;
        LONG count = 0;
        controls->get_Count(&count);
        for (LONG i = 0; i < count; ++i) {
            auto index = ScopedVariant::I8(i);
            ComPtr<IQxControl> control;
            controls->Item(*index.get(), control.put());
            if (!control) continue;
            UniqueBstr tip;
            control->get_TipText(tip.put());
            // The button's tip in the reader's three languages.
            for (const wchar_t* text : {L"全文批阅", L"Full-text handwritting", L"全文批閱"}) {
                if (folium::SameName(tip.get(), text, NameMatch::Exact)) {
                    control->SetEnabled(value);
                    break;
                }
            }
        }
        return S_OK;
    });
}

// ---- stamp models, stamp type and info, callouts ---------------------------------------------

STDMETHODIMP CFoliumFun::BuildStampModelTool(BSTR strParam, VARIANT_BOOL blShow, LONG* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        *pVal = 0;
        if (RefreshActiveDocument() != 0) return S_FALSE;
        auto annots = Sibling(*this, kAnnotsAddIn);
        if (!annots) return S_OK;
        auto param = MakeText(strParam), show = ScopedVariant::I2(blShow);
        ScopedVariant result;
        if (SUCCEEDED(CallByName(annots.get(), DISPATCH_METHOD, L"BuildStampModelTool", {param.get(), show.get()},
                                 result.get())))
            *pVal = ResultLong(*result.get(), 0);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::BuildStampModelImage(BSTR strParam, VARIANT_BOOL blShow, BSTR* strVal) {
    if (!strVal) return E_POINTER;
    *strVal = nullptr;
    return Guarded([&] {
        UniqueBstr out(L"");
        HRESULT status = S_OK;
        if (RefreshActiveDocument() != 0) {
            status = S_FALSE;
        } else if (auto annots = Sibling(*this, kAnnotsAddIn)) {
            auto param = MakeText(strParam), show = ScopedVariant::I2(blShow);
            ScopedVariant result;
            // Only a text result counts; anything else reads as no image.
            if (SUCCEEDED(CallByName(annots.get(), DISPATCH_METHOD, L"BuildStampModelImage",
                                     {param.get(), show.get()}, result.get())) &&
                result.type() == VT_BSTR)
                out = folium::ReadBstr(result.get()).value_or(UniqueBstr(L""));
        }
        *strVal = out.CopyOut();
        return status;
    });
}

STDMETHODIMP CFoliumFun::get_AnnotStampType(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        *pVal = m_stamps.stampType.CopyOut();
        return S_OK;
    });
}

// The stamp type travels with every stamp the reader's own tools and the handwriting
// component make, so both are told.
STDMETHODIMP CFoliumFun::put_AnnotStampType(BSTR value) {
    if (!value) return S_OK;
    return Guarded([&] {
        m_stamps.stampType = UniqueBstr::Copy(value);
        if (auto annots = Sibling(*this, kAnnotsAddIn)) PutText(annots.get(), L"AnnotStampType", value);
        if (auto inkpad = Sibling(*this, kInkpadAddIn)) PutText(inkpad.get(), L"AnnotStampType", value);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::get_AnnotInfo(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        *pVal = m_stamps.info.CopyOut();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_AnnotInfo(BSTR value) {
    return Guarded([&] {
        m_stamps.info = UniqueBstr::Copy(value);
        if (auto inkpad = Sibling(*this, kInkpadAddIn)) PutText(inkpad.get(), L"AnnotInfo", value);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::AddFreeTextCallout(LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&] {
        auto annots = Sibling(*this, kAnnotsAddIn);
        if (!annots) return S_OK;
        ScopedVariant result;
        if (SUCCEEDED(CallByName(annots.get(), DISPATCH_METHOD, L"AddFreeTextCallout", {}, result.get())))
            *lResult = ResultLong(*result.get(), *lResult);
        return S_OK;
    });
}

// ---- text comments -----------------------------------------------------------------------

STDMETHODIMP CFoliumFun::GetTextPostilInfo(BSTR* strText) {
    if (!strText) return E_POINTER;
    *strText = nullptr;
    return Guarded([&] {
        folium::TextBuilder text;  // written into the result as each comment is read
        if (ComPtr<IQxDocument> document = folium::files::HostActiveDocument(*this)) {
            WalkDocumentAnnotations(document.get(), [&](IQxAnnotation* a) {
                LONG kind = -1;
                a->get_Kind(&kind);
                if (kind != kTextNote) return Walk::Continue;
                UniqueBstr author, date, contents;
                a->get_Author(author.put());
                a->get_CreationDate(date.put());
                a->get_Contents(contents.put());
                // Texts go in as the reader holds them, without escaping.
                text += L"<Comment><UserName>";
                text.append(author.c_str(), author.length());
                text += L"</UserName><UserID></UserID><CreationDate>";
                text.append(date.c_str(), date.length());
                text += L"</CreationDate><Contents>";
                text.append(contents.c_str(), contents.length());
                text += L"</Contents></Comment>\r\n";
                return Walk::Continue;
            });
        }
        *strText = text.Detach();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::AddComment(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG* Result) {
    if (!Result) return E_POINTER;
    return Guarded([&] {
        *Result = 1;
        PageTarget target;
        if (!FindPageTarget(*this, PageNo, &target)) return S_FALSE;
        auto note = AddAnnotation(target.page.get(), kTextNote);
        if (!note) return S_OK;
        LONG rotation = 0;
        target.page->get_Rotation(&rotation);
        const Rect r = NoteRect(rotation, X, Y);
        note->SetRect(r.l, r.b, r.r, r.t);
        note->put_Flags(kNoteFlags);
        OpenPopup(note.get());
        if (m_stamps.positionBack != 0) PutString(note.get(), &IQxAnnotation::put_BlendMode, kMultiply);
        note->put_Color(kStampColor);
        note->put_Contents(TextArg(strText).get());
        PutString(note.get(), &IQxAnnotation::put_Author, target.author);
        SetValue(note.get(), L"TextID", TimeDigits());
        note->Commit();
        note->UpdateAppearance();
        RedrawPage(target.document.get(), target.page.get());
        *Result = 0;
        return S_OK;
    });
}

// The note as the exchange records carry it: given times and identifiers, an icon
// that does not follow the page rotation. The modification time and the given author
// name are not kept: the reader's user is the author of what it adds.
STDMETHODIMP CFoliumFun::AddCommentExt(LONG PageNo, FLOAT X, FLOAT Y, BSTR strText, BSTR CTime, BSTR /*MTime*/,
                                       BSTR /*UName*/, BSTR UId, BSTR TId, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        PageTarget target;
        if (!FindPageTarget(*this, PageNo, &target)) return S_FALSE;
        auto note = AddAnnotation(target.page.get(), kTextNote);
        if (!note) return S_OK;
        LONG rotation = 0;
        target.page->get_Rotation(&rotation);
        note->SetRect(X, Y, static_cast<double>(X + 20.0f), static_cast<double>(Y + 18.0f));
        note->put_Flags(kNoteFlags);
        if (m_stamps.positionBack != 0) PutString(note.get(), &IQxAnnotation::put_BlendMode, kMultiply);
        note->put_Color(kStampColor);
        note->put_Contents(TextArg(strText).get());
        SetValue(note.get(), L"CreationDate", ToPdfDate(std::wstring(TextArg(CTime).view())));
        if (SysStringLen(TId) > 0) SetValue(note.get(), L"TextID", std::wstring(TextArg(TId).view()));
        if (SysStringLen(UId) > 0) SetValue(note.get(), L"UserID", std::wstring(TextArg(UId).view()));
        PutString(note.get(), &IQxAnnotation::put_Author, target.author);
        OpenPopup(note.get());
        note->Commit();
        note->UpdateAppearance();
        RedrawPage(target.document.get(), target.page.get());
        *lRet = 0;
        return S_OK;
    });
}

// ---- free text -----------------------------------------------------------------------------

namespace {

struct FreeTextStyle {
    double left, bottom, right, top;
    LONG color;
    const wchar_t* fontName;  // null: the reader's default
    UINT fontNameLength;
};

// The typewriter-style free text shared by InsertText and InsertTextEx.
HRESULT AddFreeText(CFoliumFun& fun, LONG pageNo, BSTR text, LONG fontSize, const FreeTextStyle& style,
                    LONG* result) {
    *result = 1;
    PageTarget target;
    if (!FindPageTarget(fun, pageNo, &target)) return S_FALSE;
    auto annotation = AddAnnotation(target.page.get(), kFreeText);
    if (!annotation) return S_OK;
    ComPtr<IQxTextStyle> textStyle;
    annotation->get_TextStyle(textStyle.put());
    annotation->put_Contents(TextArg(text).get());
    annotation->SetRect(style.left, style.bottom, style.right, style.top);
    PutString(annotation.get(), &IQxAnnotation::put_BlendMode, kMultiply);
    if (textStyle) {
        textStyle->put_Color(style.color);
        textStyle->put_FontSize(fontSize);
        textStyle->put_SecondOption(0.0);
        UniqueBstr intent(L"FreeTextTypewriter");
        textStyle->put_Intent(intent.get());
        if (style.fontName) {
            UniqueBstr font(style.fontName, style.fontNameLength);
            textStyle->put_FontName(font.get());
        }
    }
    PutString(annotation.get(), &IQxAnnotation::put_Author, target.author);
    annotation->Commit();
    RedrawPage(target.document.get(), target.page.get());
    *result = 0;
    return S_OK;
}

// "#RRGGBB" as 0x00BBGGRR; parts that do not read stay 0.
LONG ReadFontColor(BSTR text) {
    std::string ansi = folium::NarrowToCodePage(CP_THREAD_ACP, TextArg(text).view());
    unsigned r = 0, g = 0, b = 0;
    sscanf(ansi.c_str(), "#%2X%2X%2X", &r, &g, &b);
    return static_cast<LONG>((r & 0xFF) + (g & 0xFF) * 256 + (b & 0xFF) * 65536);
}

}  // namespace

STDMETHODIMP CFoliumFun::InsertText(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG fontSize, LONG* Result) {
    if (!Result) return E_POINTER;
    return Guarded([&] {
        const double x = X, y = Y;
        return AddFreeText(*this, PageNo, strText, fontSize, {x, y, x + 120, y - 120, 0, nullptr, 0}, Result);
    });
}

STDMETHODIMP CFoliumFun::InsertTextEx(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG fontSize, BSTR FontColor,
                                      BSTR FontName, FLOAT fWidth, FLOAT fHeight, LONG* Result) {
    if (!Result) return E_POINTER;
    return Guarded([&] {
        // The box is given in pixels at 96 per inch; 0 means 120 pixels.
        const float width = (fWidth == 0 ? 120.0f : fWidth) * 72 / 96;
        const float height = (fHeight == 0 ? 120.0f : fHeight) * 72 / 96;
        const double x = X, y = Y;
        TextArg font(FontName);
        return AddFreeText(*this, PageNo, strText, fontSize,
                           {x, y, x + width, y + height, ReadFontColor(FontColor), font.get(),
                            static_cast<UINT>(font.view().size())},
                           Result);
    });
}

// ---- image stamps --------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::InsertImage(LONG PageNo, LONG X, LONG Y, LONG Width, LONG Height, BSTR strImage,
                                     LONG* Result) {
    if (!Result) return E_POINTER;
    return Guarded([&] {
        *Result = 1;
        if (!folium::PathTextsUsable({strImage})) return S_FALSE;
        PageTarget target;
        if (!FindPageTarget(*this, PageNo, &target)) return S_FALSE;
        TextArg image(strImage);
        if (GetFileAttributesW(std::wstring(image.view()).c_str()) == INVALID_FILE_ATTRIBUTES &&
            !ContainsWebPrefix(image.view())) {
            MessageBoxW(nullptr, kMissingFile, kImageCaption, MB_ICONSTOP);
            return S_OK;
        }
        ComPtr<IQxAnnotations> annotations;
        target.page->get_Annotations(annotations.put());
        LONG rotation = 0;
        target.page->get_Rotation(&rotation);
        ComPtr<IQxAnnotation> stamp;
        if (annotations) annotations->Add(kImageStamp, stamp.put());
        if (!stamp) return S_OK;
        const double x = X, y = Y;
        stamp->SetRect(x, y, x + Width, y + Height);
        StampAttributes(*this, stamp.get(), m_stamps.positionBack != 0, kStampColor, target.author);
        *Result = SetImagePath(stamp.get(), image.get());
        stamp->put_ImageRotation(rotation);
        stamp->Commit();
        RedrawPage(target.document.get(), target.page.get());
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::InsertImageExt(LONG PageNo, FLOAT X, FLOAT Y, FLOAT Width, FLOAT Height, BSTR strImage,
                                        VARIANT_BOOL Tback, FLOAT dTran, FLOAT Rotate, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        if (!folium::PathTextsUsable({strImage})) return S_FALSE;
        PageTarget target;
        if (!FindPageTarget(*this, PageNo, &target)) return S_FALSE;
        ComPtr<IQxAnnotations> annotations;
        target.page->get_Annotations(annotations.put());
        LONG rotation = 0;
        target.page->get_Rotation(&rotation);
        ComPtr<IQxAnnotation> stamp;
        if (annotations) annotations->Add(kImageStamp, stamp.put());
        if (!stamp) return S_OK;
        // Single precision throughout, as the page gives it.
        const float right = X + Width, top = Y + Height;
        stamp->SetRect(X, Y, right, top);
        StampAttributes(*this, stamp.get(), Tback == 0, static_cast<LONG>(0x80FFFF00u), target.author);
        *lRet = SetImagePath(stamp.get(), TextArg(strImage).get());
        stamp->put_Opacity(dTran);
        stamp->put_ImageRotation(folium::TruncateToLong(Rotate));
        stamp->put_ImageFlag(1);
        stamp->Commit();
        RedrawPage(target.document.get(), target.page.get());
        return S_OK;
    });
}

// Hands the picture to the handwriting component, which makes the stamp itself (the
// picture identifier is not part of that call).
STDMETHODIMP CFoliumFun::InsertImageByString(LONG PageNo, LONG X, LONG Y, BSTR CTime, BSTR MTime, BSTR UName,
                                             BSTR UId, BSTR strPic, FLOAT Width, FLOAT Height, BSTR /*PId*/,
                                             LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        if (!folium::files::HostActiveDocument(*this)) return S_FALSE;
        auto inkpad = Sibling(*this, kInkpadAddIn);
        if (!inkpad) return S_OK;
        auto kind = ScopedVariant::I4(kImageStamp), type = ScopedVariant::Bstr(L"Stamp"),
             empty1 = ScopedVariant::Bstr(L""), empty2 = ScopedVariant::Bstr(L""), created = MakeText(CTime),
             modified = MakeText(MTime), page = ScopedVariant::I4(PageNo), user = MakeText(UName),
             height = ScopedVariant::R4(Height), width = ScopedVariant::R4(Width), picture = MakeText(strPic),
             x = ScopedVariant::I4(X), y = ScopedVariant::I4(Y), userId = MakeText(UId);
        ScopedVariant result;
        CallByName(inkpad.get(), DISPATCH_METHOD, L"ImportImageAnnot",
                   {kind.get(), type.get(), empty1.get(), empty2.get(), created.get(), modified.get(), page.get(),
                    user.get(), height.get(), width.get(), picture.get(), x.get(), y.get(), userId.get()},
                   result.get());
        *lRet = ResultLong(*result.get(), *lRet);
        return S_OK;
    });
}

// ---- image stamps at resolved positions ----------------------------------------------------

namespace {

constexpr wchar_t kBadAddress[] = L"文件路径错误！";

// Half the stamp's width and height in page units, as each variant computes them.
struct HalfSize {
    double w, h;
};

// One side in whole page units: a given size (pixels at 96 per inch) goes through
// tenths of an inch and millimetres as the reader's stamp tools do; 0 takes the
// picture's own size at its resolution. Every step truncates.
long long WholeSide(LONG given, UINT pixels, double dpi) {
    long long side;
    if (given != 0) {
        side = static_cast<long long>(static_cast<double>(static_cast<long long>(given) * 10 / 96) * 25.4);
    } else {
        long long resolution = static_cast<long long>(dpi);
        if (resolution <= 0) resolution = 96;
        side = static_cast<long long>(pixels) * 96 / resolution;
    }
    return side * 72 / 96;
}

float FloatSide(float given, UINT pixels, double dpi) {
    float side;
    if (given != 0) {
        side = (given * 10 / 96) * 25.4f;
    } else {
        const float resolution = dpi > 0 ? static_cast<float>(dpi) : 96.0f;
        side = static_cast<float>(pixels) * 96 / resolution;
    }
    return side * 72 / 96;
}

struct PositionedImage {
    BSTR text;
    LONG mode, startPage, endPage;
    BSTR imagePath;
    LONG isUrl;
    bool setOpacity;
    float opacity;
};

// The steps InsertImageByPosition and InsertImageByPositionExt share; size gives the
// half sizes from the picture's facts.
template <class Size>
HRESULT PlaceAtPositions(CFoliumFun& fun, const PositionedImage& job, Size size, LONG* result) {
    if (!folium::PathTextsUsable({job.imagePath})) return S_FALSE;
    ComPtr<IQxDocument> document = folium::files::HostActiveDocument(fun);
    if (!document) return S_FALSE;
    ComPtr<IQxPages> pages = folium::PagesOf(document.get());
    const LONG count = folium::PageCountOf(pages.get(), 0);
    if (job.startPage < 1 || job.endPage < 1 || job.endPage > count || job.endPage < job.startPage) return S_FALSE;

    TextArg given(job.imagePath);
    std::wstring image(given.view()), downloaded;
    if (job.isUrl == 0) {
        if (!ContainsWebPrefix(image) && GetFileAttributesW(image.c_str()) == INVALID_FILE_ATTRIBUTES) {
            MessageBoxW(nullptr, kMissingFile, kImageCaption, MB_ICONSTOP);
            return S_FALSE;
        }
    } else {
        if (!ContainsWebPrefix(image)) {
            MessageBoxW(nullptr, kBadAddress, kImageCaption, MB_ICONSTOP);
            return S_FALSE;
        }
        downloaded = folium::files::DownloadToTempFile(fun, given.get());
        image = downloaded;
    }
    struct TempFile {
        const std::wstring& path;
        ~TempFile() { folium::files::DeleteIfExists(path); }
    } cleanup{downloaded};

    // An unreadable picture has no size.
    const folium::Image picture = image.empty() ? folium::Image() : folium::Image::LoadFile(image.c_str());
    const HalfSize half = size(picture);
    const std::wstring author = ReaderAuthor(fun.Application());
    UniqueBstr imageText(image.data(), static_cast<UINT>(image.size()));

    LONG last = 0;
    for (const folium::StampPosition& at :
         folium::ResolvePositions(document.get(), job.text, job.mode, job.startPage, job.endPage)) {
        ComPtr<IQxPage> page;
        pages->Item(at.page - 1, page.put());
        if (!page) continue;
        auto stamp = AddAnnotation(page.get(), kImageStamp);
        if (!stamp) continue;
        const double x = at.x, y = at.y;
        stamp->SetRect(x - half.w, y - half.h, x + half.w, y + half.h);
        if (fun.Stamps().positionBack != 0) PutString(stamp.get(), &IQxAnnotation::put_BlendMode, kMultiply);
        stamp->put_Color(kStampColor);
        if (job.setOpacity) stamp->put_Opacity(job.opacity);
        PutString(stamp.get(), &IQxAnnotation::put_Author, author);
        SetValue(stamp.get(), L"AnnotInfo", AnnotInfoText(fun, author));
        last = SetImagePath(stamp.get(), imageText.get());
        if (last != 0) break;
        stamp->Commit();
        page->Update();
    }
    if (auto view = folium::PageViewOf(document.get())) view->Refresh();
    *result = last;
    return S_OK;
}

}  // namespace

STDMETHODIMP CFoliumFun::InsertImageByPosition(BSTR sName, LONG mode, LONG nStartPage, LONG nEndPage, LONG Width,
                                               LONG Height, BSTR sImagePath, LONG isURL, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        PositionedImage job{sName, mode, nStartPage, nEndPage, sImagePath, isURL, false, 0};
        return PlaceAtPositions(*this, job, [&](const folium::Image& p) {
            // Whole units, halved by integer division.
            return HalfSize{static_cast<double>(WholeSide(Width, p.Width(), p.DpiX()) / 2),
                            static_cast<double>(WholeSide(Height, p.Height(), p.DpiY()) / 2)};
        }, lRet);
    });
}

STDMETHODIMP CFoliumFun::InsertImageByPositionExt(BSTR strLocationInfo, LONG mode, LONG nStartPage, LONG nEndPage,
                                                  FLOAT Width, FLOAT Height, BSTR strImagePath, LONG isURL,
                                                  FLOAT TranPre, LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&] {
        PositionedImage job{strLocationInfo, mode, nStartPage, nEndPage, strImagePath, isURL, true, TranPre};
        return PlaceAtPositions(*this, job, [&](const folium::Image& p) {
            return HalfSize{FloatSide(Width, p.Width(), p.DpiX()) * 0.5, FloatSide(Height, p.Height(), p.DpiY()) * 0.5};
        }, lResult);
    });
}

// ---- the stamp placed by the user's next click -------------------------------------------

// Prepares the stamp picture with its captions and hands the reader a cursor of it;
// the placement click (the view's left-click event) then puts it on the page.
STDMETHODIMP CFoliumFun::AddImageAnnotByString(BSTR strTextInfo, BSTR strPictureInfo, LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&] {
        *lResult = 1;
        if (SysStringLen(strTextInfo) == 0 || SysStringLen(strPictureInfo) == 0) return S_OK;
        if (RefreshActiveDocument() != 0) return S_OK;
        if (folium::IsOfdDocument(ComPtr<IQxDocument>(m_spActiveDocument).Detach())) return S_OK;

        m_strPendingStampImage.reset();
        const std::vector<std::uint8_t> bytes = DecodeImageText(strPictureInfo);
        folium::Image picture = folium::Image::Load(bytes.data(), bytes.size());
        if (!picture.Valid()) return S_OK;
        const folium::ImageFormat format = picture.Format();
        folium::stamps::FlattenOnWhite(&picture);

        SYSTEMTIME now;
        GetLocalTime(&now);
        wchar_t date[32];
        swprintf(date, 32, L"%04u/%02u/%02u", now.wYear, now.wMonth, now.wDay);
        std::vector<std::wstring> lines;
        std::wstring_view info(strTextInfo, SysStringLen(strTextInfo));
        for (size_t start = 0;;) {
            const size_t bar = info.find(L'|', start);
            lines.emplace_back(info.substr(start, bar == std::wstring_view::npos ? std::wstring_view::npos : bar - start));
            if (bar == std::wstring_view::npos) break;
            start = bar + 1;
        }
        folium::Image stamp = folium::stamps::DrawStampCaptions(picture, date, lines);
        if (!stamp.Valid()) return S_OK;
        folium::stamps::MakeBackgroundTransparent(&stamp);
        std::vector<BYTE> encoded;
        if (!stamp.Encode(format, encoded)) return S_OK;
        const std::string text = folium::EncodeBase64(encoded.data(), encoded.size());
        const std::wstring wide = folium::WideFromCodePage(CP_THREAD_ACP, text);
        m_strPendingStampImage = UniqueBstr(wide.data(), static_cast<UINT>(wide.size()));

        ComPtr<IQxPageView> view = folium::PageViewOf(m_spActiveDocument.get());
        ComPtr<IQxCursors> cursors;
        m_spApplication->get_Cursors(cursors.put());
        if (cursors) {
            cursors->Begin();
            auto cursorImage = ScopedVariant::Bytes(encoded.data(), encoded.size());
            LONG id = 0;
            if (SUCCEEDED(cursors->AddImage(*cursorImage.get(), 0x00FFFFFF, &id))) m_nPendingStampCursor = id;
        }
        *lResult = 0;
        return S_OK;
    });
}

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::InsertMoveText(BSTR, LONG, BSTR, BSTR, BSTR, LONG, LONG, LONG, LONG*) { return S_OK; }
STDMETHODIMP CFoliumFun::InsertMoveTextExt(BSTR, LONG, LONG, BSTR, LONG, BSTR, BSTR, LONG, LONG, LONG, LONG*) { return S_OK; }
