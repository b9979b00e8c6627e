// The sink advised on the host application's events, and the event handlers.
#include <shlwapi.h>

#include <string>

#include "../bridge/Bridge.h"
#include "../bridge/Positions.h"
#include "../facade/FoliumFun.h"

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;

namespace {

// How the sink calls one handler with the arguments placed in parameter order
// (a missing argument reads as zero).
using SinkCall = void (*)(CFoliumFun& self, const VARIANT* const* args);

struct SinkEntry {
    DISPID dispid;
    UINT paramCount;
    SinkCall call;
};

// The host's arguments read as the handler's declared types, whatever type the host
// sent them in: a value that does not convert reads as zero (null). Unsigned values
// that arrive signed keep their bits.
ULONG U4(const VARIANT* v) {
    if (auto u = folium::ReadUI4(v)) return *u;
    return static_cast<ULONG>(folium::ReadI4(v).value_or(0));
}
ULONGLONG U8(const VARIANT* v) {
    if (auto u = folium::ReadUI8(v)) return *u;
    return static_cast<ULONGLONG>(folium::ReadI8(v).value_or(0));
}
LONG I4(const VARIANT* v) {
    if (auto l = folium::ReadI4(v)) return *l;
    return static_cast<LONG>(folium::ReadUI4(v).value_or(0));
}
ComPtr<IDispatch> Disp(const VARIANT* v) { return folium::ReadDispatch(v); }
UniqueBstr Bstr(const VARIANT* v) { return folium::ReadBstr(v).value_or(UniqueBstr()); }
// The host's "handled" flag: only a reference to an automation boolean can be written.
VARIANT_BOOL* BoolRef(const VARIANT* v) { return v && v->vt == (VT_BYREF | VT_BOOL) ? v->pboolVal : nullptr; }

#define VIEW_EVENT(dispid, handler)                                                       \
    {dispid, 4, [](CFoliumFun& s, const VARIANT* const* a) {                              \
         s.handler(Disp(a[0]).get(), U8(a[1]), U8(a[2]), BoolRef(a[3]));                        \
     }}
#define VIEW_NOTICE(dispid, handler) \
    {dispid, 3, [](CFoliumFun& s, const VARIANT* const* a) { s.handler(Disp(a[0]).get(), U8(a[1]), U8(a[2])); }}
#define OBJECT_EVENT(dispid, handler) \
    {dispid, 1, [](CFoliumFun& s, const VARIANT* const* a) { s.handler(Disp(a[0]).get()); }}

// The 22 host events the sink listens to.
const SinkEntry kSinkTable[] = {
    {1, 2, [](CFoliumFun& s, const VARIANT* const* a) { s.OnCommandClicked(U4(a[0]), U4(a[1])); }},
    VIEW_EVENT(2, OnViewEvent2),
    VIEW_EVENT(3, OnViewLeftClick),
    VIEW_EVENT(4, OnViewEvent4),
    VIEW_EVENT(5, OnViewRightClick),
    VIEW_EVENT(6, OnViewEvent6),
    VIEW_EVENT(7, OnViewMouseMove),
    VIEW_EVENT(8, OnViewEvent8),
    OBJECT_EVENT(9, OnDocumentOpened),
    OBJECT_EVENT(10, OnDocumentActivated),
    OBJECT_EVENT(11, OnDocumentClosed),
    {12, 1, [](CFoliumFun& s, const VARIANT* const* a) { s.OnEvent12(I4(a[0])); }},
    OBJECT_EVENT(13, OnEvent13),
    OBJECT_EVENT(14, OnEvent14),
    OBJECT_EVENT(16, OnEvent16),
    VIEW_EVENT(19, OnViewEvent19),
    VIEW_EVENT(23, OnViewEvent23),
    {26, 4, [](CFoliumFun& s, const VARIANT* const* a) {
         s.OnAnnotationMessage(Bstr(a[0]).get(), Disp(a[1]).get(), U4(a[2]), U4(a[3]));
     }},
    VIEW_NOTICE(42, OnViewEvent42),
    VIEW_NOTICE(43, OnViewEvent43),
    VIEW_NOTICE(44, OnViewEvent44),
    {57, 1, [](CFoliumFun& s, const VARIANT* const* a) { s.OnCommentWindowRefresh(Bstr(a[0]).get()); }},
};

constexpr UINT kMaxSinkParams = 8;

ComPtr<IConnectionPoint> FindEventPoint(IUnknown* source) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (source && SUCCEEDED(source->QueryInterface(IID_IConnectionPointContainer, container.put_void())))
        container->FindConnectionPoint(DIID__IQxApplicationEvents, point.put());
    return point;
}

// The Windows user name of the process.
std::wstring ProcessUserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(name, &size)) return std::wstring();
    return name;
}

}  // namespace

STDMETHODIMP CFoliumFun::EventSinkPart::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, DIID__IQxApplicationEvents) || IsEqualIID(riid, IID_IUnknown) ||
        IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, m_iid)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

void CFoliumFun::EventSinkPart::Advise(IUnknown* source) {
    // A host without the event connection point simply sends no events.
    if (auto point = FindEventPoint(source)) {
        DWORD cookie = 0;
        if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(this), &cookie))) m_dwEventCookie = cookie;
    }
}

void CFoliumFun::EventSinkPart::Unadvise(IUnknown* source) {
    if (auto point = FindEventPoint(source)) point->Unadvise(m_dwEventCookie);
}

STDMETHODIMP CFoliumFun::EventSinkPart::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                                               VARIANT*, EXCEPINFO*, UINT*) {
    const SinkEntry* entry = nullptr;
    for (const SinkEntry& e : kSinkTable)
        if (e.dispid == dispIdMember) entry = &e;
    if (!entry) return S_OK;  // events the component does not handle are accepted
    if (entry->paramCount > kMaxSinkParams) return E_FAIL;
    const VARIANT* args[kMaxSinkParams] = {};
    if (pDispParams) {
        UINT named = pDispParams->cNamedArgs;
        for (UINT i = 0; i < named && i < pDispParams->cArgs; ++i) {
            DISPID pos = pDispParams->rgdispidNamedArgs ? pDispParams->rgdispidNamedArgs[i] : -1;
            if (pos < 0 || pos >= static_cast<DISPID>(kMaxSinkParams)) return E_FAIL;
            if (static_cast<UINT>(pos) < entry->paramCount) args[pos] = &pDispParams->rgvarg[i];
        }
        // Positional arguments arrive last parameter first.
        int slot = static_cast<int>(entry->paramCount) - 1;
        for (UINT i = named; i < pDispParams->cArgs; ++i) {
            while (slot >= 0 && args[slot]) --slot;
            if (slot < 0) break;
            args[slot--] = &pDispParams->rgvarg[i];
        }
    }
    ComPtr<IUnknown> keepAlive(static_cast<IDispatch*>(this));
    // A handler's failure only shortens it; nothing reaches the host.
    (void)folium::Guarded([&] { entry->call(*m_owner, args); });
    return S_OK;
}

HRESULT CFoliumFun::OnCommandClicked(ULONG kind, ULONG controlId) {
    if (kind != 0 || !m_spApplication) return S_OK;
    ComPtr<IQxCommandBars> bars;
    m_spApplication->get_CommandBars(bars.put());
    if (!bars) return S_OK;
    auto type = ScopedVariant::I4(1);
    auto id = ScopedVariant::UI4(controlId);
    ComPtr<IQxControl> control;
    bool fromMyTools = false;
    {
        ComPtr<IQxCommandBar> bar;
        auto name = ScopedVariant::Bstr(L"MyTools");
        bars->Item(*name.get(), bar.put());
        if (bar) bar->FindControl(*type.get(), *id.get(), control.put());
        fromMyTools = static_cast<bool>(control);
    }
    if (!control) {
        ComPtr<IQxCommandBar> first;
        auto index = ScopedVariant::I8(0);
        bars->Item(*index.get(), first.put());
        if (first) first->FindControl(*type.get(), *id.get(), control.put());
    }
    if (!control) return S_OK;
    ComPtr<IQxControl> ctl = control.Query<IQxControl>();
    if (!ctl) return S_OK;
    // A failing host call ends the handler.
    LONG userData = 0;
    if (FAILED(ctl->get_UserData(&userData))) return S_OK;
    if ((static_cast<ULONG>(userData) & 0xF0000000u) != 0xF0000000u) return S_OK;
    UniqueBstr caption, tag;
    if (FAILED(ctl->get_Caption(caption.put())) || FAILED(ctl->get_Tag(tag.put()))) return S_OK;
    int index = StrToIntW(tag.c_str());
    if (fromMyTools)
        m_spApplication->NotifyToolClick(index, caption.get());
    else
        m_spApplication->NotifyMenuClick(index, caption.get());
    return S_OK;
}

HRESULT CFoliumFun::OnViewEvent2(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }

HRESULT CFoliumFun::OnViewLeftClick(IDispatch* view, ULONGLONG, ULONGLONG point, VARIANT_BOOL* handled) {
    if (m_nPendingStampCursor == 0 || m_strPendingStampImage.empty()) return S_OK;
    ComPtr<IQxPageView> pageView;
    if (view) view->QueryInterface(IID_IQxPageView, pageView.put_void());
    if (!pageView) return S_OK;
    // The point packs the client x in its low 16 bits and y in the next 16, both signed.
    double x = static_cast<SHORT>(point & 0xFFFF);
    double y = static_cast<SHORT>((point >> 16) & 0xFFFF);
    LONG page = -1;
    pageView->PointToPage(&x, &y, &page);
    if (page < 0) return S_OK;  // outside every page: the stamp stays pending
    if (m_spApplication) {
        ComPtr<IQxCursors> cursors;
        m_spApplication->get_Cursors(cursors.put());
        if (cursors) cursors->Remove(m_nPendingStampCursor);
    }
    UniqueBstr image = m_strPendingStampImage;
    PlaceImageStamp(page + 1, folium::TruncateToLong(x), folium::TruncateToLong(y), image.get());
    m_nPendingStampCursor = 0;
    m_strPendingStampImage.reset();
    pageView->Refresh();
    if (handled) *handled = VARIANT_FALSE;
    return S_OK;
}

HRESULT CFoliumFun::OnViewEvent4(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }

HRESULT CFoliumFun::OnViewRightClick(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) {
    // Cancels a pending stamp; the host's cursor entry stays.
    m_nPendingStampCursor = 0;
    m_strPendingStampImage.reset();
    return S_OK;
}

HRESULT CFoliumFun::OnViewEvent6(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent8(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }

HRESULT CFoliumFun::OnViewMouseMove(IDispatch* view, ULONGLONG, ULONGLONG, VARIANT_BOOL* handled) {
    if (m_nPendingStampCursor == 0) return S_OK;
    ComPtr<IQxPageView> pageView;
    if (view) view->QueryInterface(IID_IQxPageView, pageView.put_void());
    if (pageView) pageView->SetCursor(m_nPendingStampCursor);
    if (handled) *handled = VARIANT_TRUE;
    return S_OK;
}

HRESULT CFoliumFun::OnViewEvent19(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent23(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }

HRESULT CFoliumFun::OnAnnotationMessage(BSTR message, IDispatch* notification, UINT, UINT) {
    if (!notification) return S_OK;
    ComPtr<IDispatch> keep(notification);
    std::wstring user = m_exchange.userName.empty() ? ProcessUserName() : std::wstring(m_exchange.userName.c_str());

    DISPID id = DISPID_UNKNOWN;
    LPOLESTR annotName = const_cast<LPOLESTR>(L"Annotation");
    if (FAILED(notification->GetIDsOfNames(IID_NULL, &annotName, 1, LOCALE_USER_DEFAULT, &id))) return S_OK;
    ScopedVariant value;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (FAILED(notification->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.Receive(),
                                    nullptr, nullptr)))
        return S_OK;
    ComPtr<IDispatch> annotObject = folium::ReadDispatch(value.get());
    if (!annotObject) return S_OK;
    ComPtr<IQxAnnotation> annot;
    if (FAILED(annotObject->QueryInterface(IID_IQxAnnotation, annot.put_void()))) return S_OK;
    UniqueBstr kind, author;
    if (FAILED(annot->get_Type(kind.put())) || FAILED(annot->get_Author(author.put()))) return S_OK;
    const std::wstring msg = message ? std::wstring(message, SysStringLen(message)) : std::wstring();
    const bool own = user == author.c_str();
    const bool stamp = wcscmp(kind.c_str(), L"Stamp") == 0;
    const bool text = wcscmp(kind.c_str(), L"Text") == 0;

    bool veto = false;
    if (msg == L"Quirex.Annots:OnLButtonDown") {
        if (m_bAllowMoveAnnot == 0)
            veto = true;
        else if (stamp)
            veto = m_nImageAnnotMoveRight == 1 || (m_nImageAnnotMoveRight == 2 && !own);
        else if (text)
            veto = m_nCommentTextMoveRight == 1 || (m_nCommentTextMoveRight == 2 && !own);
    } else if (msg == L"Quirex.Annots:RButtonDown" || msg == L"Quirex.Annots:OnDelKeyDown") {
        if (stamp)
            veto = m_nImageAnnotDelRight == 1 || (m_nImageAnnotDelRight == 2 && !own);
        else if (text)
            veto = m_nTextCommentRight == 1 || ((m_nTextCommentRight == 2 || m_nTextCommentRight == 3) && !own);
    } else if (msg == L"Quirex.Annots:LButtonDblClk") {
        veto = m_nAnnotPopupEditRight == -1;
    }
    if (!veto) return S_OK;

    // The annotation add-in skips its default action when the message is marked handled.
    DISPID handle = DISPID_UNKNOWN;
    LPOLESTR handleName = const_cast<LPOLESTR>(L"MsgHandle");
    if (FAILED(notification->GetIDsOfNames(IID_NULL, &handleName, 1, LOCALE_USER_DEFAULT, &handle))) return S_OK;
    auto one = ScopedVariant::I4(1);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{one.get(), &put, 1, 1};
    notification->Invoke(handle, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                         nullptr);
    return S_OK;
}

HRESULT CFoliumFun::OnViewEvent42(IDispatch*, ULONGLONG, ULONGLONG) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent43(IDispatch*, ULONGLONG, ULONGLONG) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent44(IDispatch*, ULONGLONG, ULONGLONG) { return S_OK; }
HRESULT CFoliumFun::OnUnusedEventA() { return S_OK; }
HRESULT CFoliumFun::OnUnusedEventB() { return S_OK; }

namespace {

LONG PageCountOf(IDispatch* document) {
    ComPtr<IQxDocument> doc;
    if (!document || FAILED(document->QueryInterface(IID_IQxDocument, doc.put_void()))) return 0;
    ComPtr<IQxPages> pages;
    doc->get_Pages(pages.put());
    LONG count = 0;
    if (pages) pages->get_Count(&count);
    return count;
}

}  // namespace

HRESULT CFoliumFun::OnDocumentOpened(IDispatch* document) {
    m_nDocumentPageCount = PageCountOf(document);
    ComPtr<IQxDocument> doc;
    if (!document || FAILED(document->QueryInterface(IID_IQxDocument, doc.put_void()))) return S_OK;
    ComPtr<IQxDocumentFile> file;
    doc->get_FileInfo(file.put());
    if (!file) return S_OK;
    LONG size = 0;
    file->get_Size(&size);
    UniqueBstr name, folder;
    file->get_Name(name.put());
    file->get_Folder(folder.put());
    wchar_t kib[32];
    wsprintfW(kib, L"%d", size >> 10);
    folium::DebugTrace(kib);
    folium::DebugTrace(name.c_str());
    std::wstring path = folder.c_str();
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += name.c_str();
    folium::DebugTrace(path.c_str());
    return S_OK;
}

HRESULT CFoliumFun::OnDocumentActivated(IDispatch* document) {
    m_nDocumentPageCount = PageCountOf(document);
    return S_OK;
}

HRESULT CFoliumFun::OnDocumentClosed(IDispatch* document) {
    m_bCommentWindowOpen = 0;
    if (document) return S_OK;  // documents remain open: their files are still in use
    for (const UniqueBstr& file : m_tempFiles) {
        if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) DeleteFileW(file.c_str());
    }
    m_tempFiles.clear();
    m_tempFiles.shrink_to_fit();
    return S_OK;
}

HRESULT CFoliumFun::OnEvent12(LONG) { return S_OK; }
HRESULT CFoliumFun::OnEvent14(IDispatch*) { return S_OK; }
HRESULT CFoliumFun::OnEvent13(IDispatch*) { return S_OK; }
HRESULT CFoliumFun::OnEvent16(IDispatch*) { return S_OK; }

HRESULT CFoliumFun::OnCommentWindowRefresh(BSTR) {
    if (m_bEnabledCommentWindow != 0) {
        LONG ignored = 0;
        CommentWindow(m_bCommentWindowOpen, &ignored);
    }
    return S_OK;
}
