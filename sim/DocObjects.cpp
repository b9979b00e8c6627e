// Document-side objects of the simulated reader: document, view, pages,
// annotations, fields, text search, bookmarks, watermarks, attachments.
#include <algorithm>
#include <cwchar>

#include "App.h"
#include "ObjectMacros.h"

namespace qxsim {

namespace {

using EntryPtr = std::shared_ptr<DocEntry>;

std::wstring PdfNow() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t buf[32];
    swprintf(buf, 32, L"D:%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return buf;
}

long PageCount(const EntryPtr& e) { return static_cast<long>(e->data->pages.size()); }

// ---- small value objects ----------------------------------------------------------

class PointObj : public Dual<IQxPoint> {
public:
    PointObj(double x, double y) : x_(x), y_(y) {}
    QX_GETV(L"Point", X, DOUBLE, x_)
    QX_PUTD(L"Point", X, x_)
    QX_GETV(L"Point", Y, DOUBLE, y_)
    QX_PUTD(L"Point", Y, y_)
    double x_, y_;
};

class TextHitObj : public Dual<IQxTextHit> {
public:
    TextHitObj(double x1, double y1, double x2, double y2) : x1_(x1), y1_(y1), x2_(x2), y2_(y2) {}
    QX_GETV(L"TextHit", X1, DOUBLE, x1_)
    QX_GETV(L"TextHit", Y1, DOUBLE, y1_)
    QX_GETV(L"TextHit", X2, DOUBLE, x2_)
    QX_GETV(L"TextHit", Y2, DOUBLE, y2_)
    QX_GETV(L"TextHit", Width, DOUBLE, x2_ - x1_)
    QX_GETV(L"TextHit", Height, DOUBLE, y2_ - y1_)

private:
    double x1_, y1_, x2_, y2_;
};

class SecurityObj : public Dual<IQxSecurity> {
public:
    explicit SecurityObj(long kind) : kind_(kind) {}
    QX_GETV(L"Security", Kind, LONG, kind_)

private:
    long kind_;
};

class DocumentFileObj : public Dual<IQxDocumentFile> {
public:
    explicit DocumentFileObj(const std::wstring& path) {
        size_t slash = path.find_last_of(L"\\/");
        folder_ = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
        name_ = slash == std::wstring::npos ? path : path.substr(slash + 1);
        WIN32_FILE_ATTRIBUTE_DATA fa;
        if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &fa)) size_ = static_cast<long>(fa.nFileSizeLow);
    }
    QX_GETS(L"DocumentFile", Name, name_)
    QX_GETS(L"DocumentFile", Folder, folder_)
    QX_GETV(L"DocumentFile", Size, LONG, size_)

private:
    std::wstring folder_, name_;
    long size_ = 0;
};

// ---- annotations --------------------------------------------------------------------

class AnnotPopupObj : public Dual<IQxAnnotPopup> {
public:
    explicit AnnotPopupObj(std::shared_ptr<AnnotData> a) : a_(std::move(a)) {}
    QX_GETS(L"Popup", Title, a_->popup.title)
    QX_PUTS(L"Popup", Title, a_->popup.title)
    QX_GETV(L"Popup", Open, VARIANT_BOOL, QX_VB(a_->popup.open))
    QX_PUTB(L"Popup", Open, a_->popup.open)

private:
    std::shared_ptr<AnnotData> a_;
};

class TextStyleObj : public Dual<IQxTextStyle> {
public:
    explicit TextStyleObj(std::shared_ptr<AnnotData> a) : a_(std::move(a)) {}
    QX_GETV(L"TextStyle", SecondOption, DOUBLE, a_->textStyle.secondOption)
    QX_PUTD(L"TextStyle", SecondOption, a_->textStyle.secondOption)
    QX_GETS(L"TextStyle", Intent, a_->textStyle.intent)
    QX_PUTS(L"TextStyle", Intent, a_->textStyle.intent)
    QX_GETV(L"TextStyle", Color, LONG, a_->textStyle.color)
    QX_PUTN(L"TextStyle", Color, LONG, a_->textStyle.color)
    QX_GETV(L"TextStyle", FontSize, DOUBLE, a_->textStyle.fontSize)
    QX_PUTD(L"TextStyle", FontSize, a_->textStyle.fontSize)
    QX_GETS(L"TextStyle", FontName, a_->textStyle.fontName)
    QX_PUTS(L"TextStyle", FontName, a_->textStyle.fontName)

private:
    std::shared_ptr<AnnotData> a_;
};

std::wstring SizeText(const AnnotData& a) {
    wchar_t buf[96];
    swprintf(buf, 96, L"%f*%f", a.right - a.left, a.top - a.bottom);
    return buf;
}

class AnnotationObj : public Dual<IQxAnnotation> {
public:
    AnnotationObj(EntryPtr e, std::shared_ptr<AnnotData> a) : e_(std::move(e)), a_(std::move(a)) {}

    QX_GETS(L"Annotation", Type, a_->type)
    QX_GETS(L"Annotation", Author, a_->author)
    STDMETHODIMP put_Author(BSTR v) override { return Change(L"Author", Quote(Str(v)), [&] { a_->author = Str(v); }); }
    QX_GETV(L"Annotation", Left, DOUBLE, a_->left)
    QX_GETV(L"Annotation", Top, DOUBLE, a_->top)
    QX_GETV(L"Annotation", Width, DOUBLE, a_->right - a_->left)
    QX_GETV(L"Annotation", Height, DOUBLE, a_->top - a_->bottom)
    STDMETHODIMP SetRect(DOUBLE l, DOUBLE b, DOUBLE r, DOUBLE t) override {
        QX_TRY(Call(L"Annotation.SetRect").d(l).d(b).d(r).d(t).log());
        a_->left = std::min(l, r);
        a_->right = std::max(l, r);
        a_->bottom = std::min(b, t);
        a_->top = std::max(b, t);
        Touch();
        return S_OK;
    }
    STDMETHODIMP SetImage(VARIANT image, LONG* result) override {
        QX_TRY(Call(L"Annotation.SetImage").v(image).log(), result);
        if (!result) return E_POINTER;
        std::wstring text;
        std::string bytes;
        if (VariantToText(image, &text)) {
            if (text.find(L"http://") != std::wstring::npos || text.find(L"https://") != std::wstring::npos) {
                a_->imagePath = text;
                *result = 0;
            } else if (ReadWholeFile(text, &bytes) && !bytes.empty()) {
                a_->image = bytes;
                a_->imagePath = text;
                *result = 0;
            } else {
                *result = -1;
            }
        } else if (VariantToBytes(image, &bytes) && !bytes.empty()) {
            a_->image = bytes;
            a_->imagePath.clear();
            *result = 0;
        } else {
            *result = -2;
        }
        if (*result == 0) {
            a_->stampKind = 1;
            Touch();
        }
        return S_OK;
    }
    QX_GETV(L"Annotation", Opacity, DOUBLE, a_->opacity)
    STDMETHODIMP put_Opacity(DOUBLE v) override { return Change(L"Opacity", Num((double)v), [&] { a_->opacity = v; }); }
    QX_GETS(L"Annotation", BlendMode, a_->blendMode)
    STDMETHODIMP put_BlendMode(BSTR v) override { return Change(L"BlendMode", Quote(Str(v)), [&] { a_->blendMode = Str(v); }); }
    STDMETHODIMP Commit() override {
        QX_TRY(Journal(L"Annotation.Commit()"));
        a_->committed = true;
        Touch();
        return S_OK;
    }
    QX_GETV(L"Annotation", Flags, LONG, a_->flags)
    STDMETHODIMP put_Flags(LONG v) override { return Change(L"Flags", Num((long long)v), [&] { a_->flags = v; }); }
    QX_GETS(L"Annotation", UniqueName, a_->uniqueName)
    QX_GETS(L"Annotation", Contents, a_->contents)
    STDMETHODIMP put_Contents(BSTR v) override { return Change(L"Contents", Quote(Str(v)), [&] { a_->contents = Str(v); }); }
    QX_GETV(L"Annotation", PageIndex, LONG, a_->page ? a_->page->index : -1)
    QX_GETV(L"Annotation", ImageFlag, LONG, a_->imageFlag)
    STDMETHODIMP put_ImageFlag(LONG v) override { return Change(L"ImageFlag", Num((long long)v), [&] { a_->imageFlag = v; }); }
    QX_GETV(L"Annotation", Kind, LONG, a_->kind)
    QX_GETS(L"Annotation", CreationDate, a_->creationDate)
    QX_GETS(L"Annotation", ModDate, a_->modDate)
    STDMETHODIMP get_Popup(IQxAnnotPopup** v) override {
        QX_TRY(JGet(L"Annotation.Popup"), v);
        return Out(a_->hasPopup ? new AnnotPopupObj(a_) : nullptr, v);
    }
    QX_GETV(L"Annotation", Color, LONG, a_->color)
    STDMETHODIMP put_Color(LONG v) override { return Change(L"Color", Num((long long)v), [&] { a_->color = v; }); }
    STDMETHODIMP Delete() override {
        QX_TRY(Journal(L"Annotation.Delete()"));
        if (a_->page) {
            auto& list = a_->page->annots;
            list.erase(std::remove(list.begin(), list.end(), a_), list.end());
            a_->page = nullptr;
        }
        a_->deleted = true;
        e_->data->modified = 1;
        return S_OK;
    }
    STDMETHODIMP get_TextStyle(IQxTextStyle** v) override {
        QX_TRY(JGet(L"Annotation.TextStyle"), v);
        return Out(new TextStyleObj(a_), v);
    }
    QX_GETV(L"Annotation", Rotation, LONG, a_->rotation)
    STDMETHODIMP put_Rotation(LONG v) override { return Change(L"Rotation", Num((long long)v), [&] { a_->rotation = v; }); }
    QX_GETV(L"Annotation", ImageRotation, LONG, a_->imageRotation)
    STDMETHODIMP put_ImageRotation(LONG v) override {
        return Change(L"ImageRotation", Num((long long)v), [&] { a_->imageRotation = v; });
    }
    QX_GETV(L"Annotation", Visible, VARIANT_BOOL, QX_VB(a_->visible))
    STDMETHODIMP put_Visible(VARIANT_BOOL v) override { return Change(L"Visible", Num((long long)v), [&] { a_->visible = v != 0; }); }
    STDMETHODIMP SetValue(BSTR key, BSTR value) override {
        QX_TRY(Call(L"Annotation.SetValue").s(key).s(value).log());
        a_->values[Str(key)] = Str(value);
        Touch();
        // Custom values are entries of the annotation's dictionary: this one is its creation date.
        if (Str(key) == L"CreationDate") a_->creationDate = Str(value);
        return S_OK;
    }
    STDMETHODIMP GetValue(BSTR key, BSTR* value) override {
        QX_TRY(Call(L"Annotation.GetValue").s(key).log(), value);
        auto it = a_->values.find(Str(key));
        return OutString(it == a_->values.end() ? L"" : it->second, value);
    }
    STDMETHODIMP GoTo() override {
        QX_TRY(Journal(L"Annotation.GoTo()"));
        if (a_->page) e_->view.currentPage = a_->page->index + 1;
        return S_OK;
    }
    STDMETHODIMP UpdateAppearance() override {
        QX_TRY(Journal(L"Annotation.UpdateAppearance()"));
        return S_OK;
    }
    STDMETHODIMP ResetOutput(LONG mode) override {
        QX_TRY(Call(L"Annotation.ResetOutput").n(mode).log());
        return S_OK;
    }
    QX_GETV(L"Annotation", StampKind, LONG, a_->stampKind)
    STDMETHODIMP ExportImage(BSTR fileName, BSTR* size) override {
        QX_TRY(Call(L"Annotation.ExportImage").s(fileName).log(), size);
        if (!WriteWholeFile(Str(fileName), a_->image)) return E_FAIL;
        return OutString(SizeText(*a_), size);
    }
    QX_GETS(L"Annotation", StampText, a_->stampText)
    QX_GETS(L"Annotation", DisplaySize, SizeText(*a_))

private:
    template <class F>
    HRESULT Change(const wchar_t* name, const std::wstring& value, F apply) {
        QX_TRY(JPut(std::wstring(L"Annotation.") + name, value));
        apply();
        Touch();
        return S_OK;
    }
    void Touch() {
        a_->modDate = PdfNow();
        e_->data->modified = 1;
    }
    EntryPtr e_;
    std::shared_ptr<AnnotData> a_;
};

class AnnotationsObj : public Dual<IQxAnnotations> {
public:
    AnnotationsObj(EntryPtr e, std::shared_ptr<PageData> p) : e_(std::move(e)), p_(std::move(p)) {}
    QX_GETV(L"Annotations", Count, LONG, static_cast<LONG>(p_->annots.size()))
    STDMETHODIMP Item(LONG index, IQxAnnotation** out) override {
        QX_TRY(Call(L"Annotations.Item").n(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index < 0 || index >= static_cast<LONG>(p_->annots.size())) return DISP_E_BADINDEX;
        *out = new AnnotationObj(e_, p_->annots[index]);
        return S_OK;
    }
    STDMETHODIMP Add(LONG kind, IQxAnnotation** out) override {
        QX_TRY(Call(L"Annotations.Add").n(kind).log(), out);
        auto a = std::make_shared<AnnotData>();
        a->kind = kind;
        a->type = kind == 0 ? L"Text" : kind == 2 ? L"FreeText" : kind == 12 ? L"Stamp" : L"Annotation";
        a->hasPopup = kind == 0;
        a->uniqueName = L"qxsim-" + Num((long long)e_->data->nextUnique++);
        a->creationDate = a->modDate = PdfNow();
        a->committed = false;
        a->page = p_.get();
        p_->annots.push_back(a);
        e_->data->modified = 1;
        return Out(new AnnotationObj(e_, a), out);
    }

private:
    EntryPtr e_;
    std::shared_ptr<PageData> p_;
};

// ---- pages --------------------------------------------------------------------------

class PageObj : public Dual<IQxPage> {
public:
    PageObj(EntryPtr e, std::shared_ptr<PageData> p) : e_(std::move(e)), p_(std::move(p)) {}
    STDMETHODIMP get_Annotations(IQxAnnotations** v) override {
        QX_TRY(JGet(L"Page.Annotations"), v);
        return Out(new AnnotationsObj(e_, p_), v);
    }
    QX_GETV(L"Page", Width, DOUBLE, p_->width)
    QX_GETV(L"Page", Height, DOUBLE, p_->height)
    STDMETHODIMP Update() override {
        QX_TRY(Journal(L"Page.Update()"));
        return S_OK;
    }
    QX_GETV(L"Page", Rotation, LONG, p_->rotation)
    QX_GETS(L"Page", Text, p_->Text())
    STDMETHODIMP Grayscale() override {
        QX_TRY(Journal(L"Page.Grayscale()"));
        p_->grayscale = true;
        e_->data->modified = 1;
        return S_OK;
    }

private:
    EntryPtr e_;
    std::shared_ptr<PageData> p_;
};

bool ParseRange(const std::wstring& text, long* first, long* last) {
    long a = 0, b = 0;
    wchar_t dash = 0;
    int n = swscanf(text.c_str(), L"%ld%lc%ld", &a, &dash, &b);
    if (n == 1) b = a;
    else if (n != 3 || dash != L'-') return false;
    *first = a;
    *last = b;
    return true;
}

class PagesObj : public Dual<IQxPages> {
public:
    explicit PagesObj(EntryPtr e) : e_(std::move(e)) {}
    QX_GETV(L"Pages", Count, LONG, PageCount(e_))
    STDMETHODIMP Item(LONG index, IQxPage** out) override {
        QX_TRY(Call(L"Pages.Item").n(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index < 0 || index >= PageCount(e_)) return DISP_E_BADINDEX;
        *out = new PageObj(e_, e_->data->pages[index]);
        return S_OK;
    }
    STDMETHODIMP Insert(BSTR fileName, LONG place, BSTR range, LONG* result) override {
        QX_TRY(Call(L"Pages.Insert").s(fileName).n(place).s(range).log(), result);
        if (!result) return E_POINTER;
        *result = 0;
        DocData src;
        long first = 0, last = 0;
        if (!LoadDocument(Str(fileName), &src, nullptr) || !ParseRange(Str(range), &first, &last)) return S_OK;
        long srcCount = static_cast<long>(src.pages.size());
        first = std::max(first, 1L);
        last = std::min(last, srcCount);
        if (first > last) return S_OK;
        auto copied = CopyPages(src, first - 1, last - 1, e_->data->source);
        auto& pages = e_->data->pages;
        long at = (place < 0 || place > static_cast<long>(pages.size())) ? static_cast<long>(pages.size()) : place;
        pages.insert(pages.begin() + at, copied.begin(), copied.end());
        e_->data->Reindex();
        e_->data->modified = 1;
        *result = static_cast<LONG>(copied.size());
        return S_OK;
    }
    STDMETHODIMP Delete(BSTR range, LONG* result) override {
        QX_TRY(Call(L"Pages.Delete").s(range).log(), result);
        if (!result) return E_POINTER;
        long first = 0, last = 0;
        auto& pages = e_->data->pages;
        long count = static_cast<long>(pages.size());
        if (!ParseRange(Str(range), &first, &last) || first < 1 || last < first || last > count) {
            *result = 1;
            return S_OK;
        }
        if (last - first + 1 >= count) {
            *result = 2;
            return S_OK;
        }
        for (long i = first - 1; i < last; ++i)
            for (auto& a : pages[i]->annots) a->page = nullptr;
        pages.erase(pages.begin() + (first - 1), pages.begin() + last);
        e_->data->Reindex();
        e_->data->modified = 1;
        if (e_->view.currentPage > static_cast<long>(pages.size())) e_->view.currentPage = static_cast<long>(pages.size());
        *result = 0;
        return S_OK;
    }
    STDMETHODIMP Refresh() override {
        QX_TRY(Journal(L"Pages.Refresh()"));
        return S_OK;
    }

private:
    EntryPtr e_;
};

// ---- view ---------------------------------------------------------------------------

HWND ViewWindow() {
    static HWND wnd = nullptr;
    if (!wnd) wnd = CreateWindowExW(0, L"STATIC", L"Quirex page view", WS_POPUP, 0, 0, 800, 600, HWND_MESSAGE, nullptr,
                                    nullptr, nullptr);
    return wnd;
}

class PageViewObj : public Dual<IQxPageView> {
public:
    explicit PageViewObj(EntryPtr e) : e_(std::move(e)) {}
    STDMETHODIMP SetCursor(LONG id) override {
        QX_TRY(Call(L"PageView.SetCursor").n(id).log());
        e_->view.cursor = id;
        return S_OK;
    }
    STDMETHODIMP PointToPage(DOUBLE* x, DOUBLE* y, LONG* page) override {
        QX_TRY(Call(L"PageView.PointToPage").d(x ? *x : 0).d(y ? *y : 0).n(page ? *page : 0).log(), page);
        if (!x || !y || !page) return E_POINTER;
        // The current page is drawn at the client origin at the current zoom.
        long count = PageCount(e_);
        long cur = std::clamp(e_->view.currentPage, 1L, std::max(count, 1L));
        double scale = e_->view.zoom > 0 ? e_->view.zoom / 100.0 : 1.0;
        if (count == 0) {
            *page = -1;
            return S_OK;
        }
        const PageData& p = *e_->data->pages[cur - 1];
        double px = *x / scale, py = p.height - *y / scale;
        if (px < 0 || px > p.width || py < 0 || py > p.height) {
            *page = -1;
            return S_OK;
        }
        *x = px;
        *y = py;
        *page = cur - 1;
        return S_OK;
    }
    STDMETHODIMP Refresh() override {
        QX_TRY(Journal(L"PageView.Refresh()"));
        return S_OK;
    }
    QX_GETV(L"PageView", Zoom, DOUBLE, e_->view.zoom)
    STDMETHODIMP put_Zoom(DOUBLE v) override {
        QX_TRY(JPut(L"PageView.Zoom", Num((double)v)));
        e_->view.zoom = v;
        e_->view.zoomType = 0;
        return S_OK;
    }
    QX_GETV(L"PageView", WindowHandle, LONGLONG, reinterpret_cast<LONGLONG>(ViewWindow()))
    QX_GETV(L"PageView", CurrentPage, LONG, e_->view.currentPage)
    STDMETHODIMP put_CurrentPage(LONG v) override {
        QX_TRY(JPut(L"PageView.CurrentPage", Num((long long)v)));
        long count = PageCount(e_);
        if (count > 0) e_->view.currentPage = std::clamp(static_cast<long>(v), 1L, count);
        return S_OK;
    }
    STDMETHODIMP get_ScrollPosition(IQxPoint** v) override {
        QX_TRY(JGet(L"PageView.ScrollPosition"), v);
        return Out(new PointObj(e_->view.scrollX, e_->view.scrollY), v);
    }
    STDMETHODIMP put_ScrollPosition(IQxPoint* v) override {
        if (!v) return E_POINTER;
        double x = 0, y = 0;
        {
            InternalScope internal;
            v->get_X(&x);
            v->get_Y(&y);
        }
        QX_TRY(JPut(L"PageView.ScrollPosition", L"(" + Num(x) + L", " + Num(y) + L")"));
        e_->view.scrollX = x;
        e_->view.scrollY = y;
        return S_OK;
    }
    QX_GETV(L"PageView", Rotation, LONG, e_->view.rotation)
    STDMETHODIMP RotateBy(LONG degrees) override {
        QX_TRY(Call(L"PageView.RotateBy").n(degrees).log());
        e_->view.rotation = ((e_->view.rotation + degrees) % 360 + 360) % 360;
        return S_OK;
    }
    QX_GETV(L"PageView", LayoutMode, LONG, e_->view.layout)
    QX_PUTN(L"PageView", LayoutMode, LONG, e_->view.layout)
    QX_GETV(L"PageView", ZoomType, LONG, e_->view.zoomType)
    QX_PUTN(L"PageView", ZoomType, LONG, e_->view.zoomType)
    QX_GETV(L"PageView", FullScreen, VARIANT_BOOL, QX_VB(e_->view.fullScreen))
    QX_PUTB(L"PageView", FullScreen, e_->view.fullScreen)

private:
    EntryPtr e_;
};

class DocWindowObj : public Dual<IQxDocWindow> {
public:
    explicit DocWindowObj(EntryPtr e) : e_(std::move(e)) {}
    STDMETHODIMP get_View(IQxPageView** v) override {
        QX_TRY(JGet(L"DocWindow.View"), v);
        return Out(new PageViewObj(e_), v);
    }

private:
    EntryPtr e_;
};

// ---- fields ---------------------------------------------------------------------------

class FieldObj : public Dual<IQxField> {
public:
    FieldObj(EntryPtr e, std::shared_ptr<FieldData> f) : e_(std::move(e)), f_(std::move(f)) {}
    QX_GETV(L"Field", Kind, LONG, f_->kind)
    QX_GETS(L"Field", Name, f_->name)
    STDMETHODIMP get_Signature(IDispatch** v) override {
        QX_TRY(JGet(L"Field.Signature"), v);
        if (!v) return E_POINTER;
        *v = nullptr;
        if (f_->kind == 6 && f_->signedField) {
            VARIANT signer;
            signer.vt = VT_BSTR;
            signer.bstrVal = SysAllocString(f_->signer.c_str());
            *v = MakePropertyBag({{L"Signer", signer}});
            VariantClear(&signer);
        }
        return S_OK;
    }
    STDMETHODIMP get_Widget(IQxAnnotation** v) override {
        QX_TRY(JGet(L"Field.Widget"), v);
        return Out(f_->widget ? new AnnotationObj(e_, f_->widget) : nullptr, v);
    }
    QX_GETS(L"Field", Value, f_->value)
    STDMETHODIMP put_Value(BSTR v) override {
        QX_TRY(JPut(L"Field.Value", Quote(Str(v))));
        f_->value = Str(v);
        e_->data->modified = 1;
        return S_OK;
    }
    QX_GETS(L"Field", FullName, f_->fullName)

private:
    EntryPtr e_;
    std::shared_ptr<FieldData> f_;
};

std::wstring XmlUnescape(const std::wstring& s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'&') {
            static const std::pair<const wchar_t*, wchar_t> ents[] = {
                {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''}};
            bool done = false;
            for (auto& [name, ch] : ents)
                if (s.compare(i, wcslen(name), name) == 0) {
                    out += ch;
                    i += wcslen(name) - 1;
                    done = true;
                    break;
                }
            if (done) continue;
        }
        out += s[i];
    }
    return out;
}

class FieldsObj : public Dual<IQxFields> {
public:
    explicit FieldsObj(EntryPtr e) : e_(std::move(e)) {}
    QX_GETV(L"Fields", Count, LONG, static_cast<LONG>(e_->data->fields.size()))
    STDMETHODIMP Item(VARIANT index, IQxField** out) override {
        QX_TRY(Call(L"Fields.Item").v(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        auto& fields = e_->data->fields;
        long long i = 0;
        std::wstring name;
        if (VariantToText(index, &name)) {
            for (auto& f : fields)
                if (f->fullName == name || f->name == name) return Out(new FieldObj(e_, f), out);
            return DISP_E_BADINDEX;
        }
        if (!VariantToLong(index, &i) || i < 0 || i >= static_cast<long long>(fields.size())) return DISP_E_BADINDEX;
        *out = new FieldObj(e_, fields[static_cast<size_t>(i)]);
        return S_OK;
    }
    STDMETHODIMP get_SignatureCount(LONG* v) override {
        QX_TRY(JGet(L"Fields.SignatureCount"), v);
        if (!v) return E_POINTER;
        *v = 0;
        for (auto& f : e_->data->fields)
            if (f->kind == 6 && f->signedField) ++*v;
        return S_OK;
    }
    // Accepts <field name="N">value</field> elements, or elements named after
    // a field's full name holding its value.
    STDMETHODIMP ImportXml(LONG flags, VARIANT xml, LONG* result) override {
        QX_TRY(Call(L"Fields.ImportXml").n(flags).v(xml).log(), result);
        if (!result) return E_POINTER;
        *result = 0;
        std::wstring text;
        if (!VariantToText(xml, &text)) return S_OK;
        for (auto& f : e_->data->fields) {
            std::wstring value;
            bool found = false;
            for (const std::wstring& quote : {std::wstring(L"\""), std::wstring(L"'")}) {
                std::wstring open = L"<field name=" + quote + f->fullName + quote + L">";
                size_t at = text.find(open);
                if (at != std::wstring::npos) {
                    size_t end = text.find(L"</field>", at);
                    if (end != std::wstring::npos) {
                        value = text.substr(at + open.size(), end - at - open.size());
                        found = true;
                    }
                }
            }
            if (!found) {
                std::wstring open = L"<" + f->fullName + L">", close = L"</" + f->fullName + L">";
                size_t at = text.find(open);
                size_t end = at == std::wstring::npos ? at : text.find(close, at);
                if (end != std::wstring::npos) {
                    value = text.substr(at + open.size(), end - at - open.size());
                    found = true;
                }
            }
            if (found) {
                f->value = XmlUnescape(value);
                ++*result;
            }
        }
        if (*result) e_->data->modified = 1;
        return S_OK;
    }

private:
    EntryPtr e_;
};

// ---- text search ----------------------------------------------------------------------

class TextFinderObj : public Dual<IQxTextFinder> {
public:
    explicit TextFinderObj(EntryPtr e) : e_(std::move(e)) {}
    QX_GETV(L"TextFinder", MatchCase, VARIANT_BOOL, QX_VB(F().matchCase))
    STDMETHODIMP put_MatchCase(VARIANT_BOOL v) override {
        QX_TRY(JPut(L"TextFinder.MatchCase", Num((long long)v)));
        F().matchCase = v != 0;
        Restart();
        return S_OK;
    }
    QX_GETS(L"TextFinder", Text, F().text)
    STDMETHODIMP put_Text(BSTR v) override {
        QX_TRY(JPut(L"TextFinder.Text", Quote(Str(v))));
        F().text = Str(v);
        Restart();
        return S_OK;
    }
    STDMETHODIMP get_Hit(IQxTextHit** v) override {
        QX_TRY(JGet(L"TextFinder.Hit"), v);
        FinderState& f = F();
        return Out(f.hasHit ? new TextHitObj(f.x1, f.y1, f.x2, f.y2) : nullptr, v);
    }
    STDMETHODIMP FindNext(LONG page, VARIANT_BOOL* found) override {
        QX_TRY(Call(L"TextFinder.FindNext").n(page).log(), found);
        if (!found) return E_POINTER;
        *found = VARIANT_FALSE;
        FinderState& f = F();
        if (page < 1 || page > PageCount(e_) || f.text.empty()) {
            Restart();
            return S_FALSE;
        }
        PageData& p = *e_->data->pages[page - 1];
        const std::wstring& hay = f.matchCase ? p.Text() : p.LowerText();
        std::wstring needle = f.matchCase ? f.text : Lower(f.text);
        bool continuing = f.page == page && f.position >= 0;
        size_t at;
        if (f.direction != 0) {
            at = hay.find(needle, continuing ? static_cast<size_t>(f.position) + needle.size() : 0);
        } else if (continuing) {
            at = f.position == 0 ? std::wstring::npos : hay.rfind(needle, static_cast<size_t>(f.position) - 1);
        } else {
            at = hay.rfind(needle);
        }
        if (at == std::wstring::npos) {
            Restart();
            return S_FALSE;
        }
        f.page = page;
        f.position = static_cast<long>(at);
        f.hasHit = true;
        p.Box(at, at + needle.size(), &f.x1, &f.y1, &f.x2, &f.y2);
        *found = VARIANT_TRUE;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        QX_TRY(Journal(L"TextFinder.Reset()"));
        Restart();
        F().hasHit = false;
        return S_OK;
    }
    QX_GETV(L"TextFinder", Direction, LONG, F().direction)
    QX_PUTN(L"TextFinder", Direction, LONG, F().direction)

private:
    FinderState& F() { return e_->finder; }
    void Restart() {
        F().page = 0;
        F().position = -1;
    }
    EntryPtr e_;
};

class TextSelectionObj : public Dual<IQxTextSelection> {
public:
    explicit TextSelectionObj(EntryPtr e) : e_(std::move(e)) {}
    STDMETHODIMP Clear() override {
        QX_TRY(Journal(L"TextSelection.Clear()"));
        e_->selection = SelectionState{};
        return S_OK;
    }
    STDMETHODIMP SetStart(LONG page, DOUBLE x, DOUBLE y) override {
        QX_TRY(Call(L"TextSelection.SetStart").n(page).d(x).d(y).log());
        e_->selection.startPage = page;
        e_->selection.sx = x;
        e_->selection.sy = y;
        return S_OK;
    }
    STDMETHODIMP SetEnd(LONG page, DOUBLE x, DOUBLE y) override {
        QX_TRY(Call(L"TextSelection.SetEnd").n(page).d(x).d(y).log());
        e_->selection.endPage = page;
        e_->selection.ex = x;
        e_->selection.ey = y;
        return S_OK;
    }

private:
    EntryPtr e_;
};

// ---- bookmarks --------------------------------------------------------------------------

class BookmarkObj : public Dual<IQxBookmark> {
public:
    BookmarkObj(EntryPtr e, BookmarkData* b) : e_(std::move(e)), b_(b) {}
    QX_GETS(L"Bookmark", Title, b_->title)
    STDMETHODIMP get_Parent(IQxBookmark** v) override {
        QX_TRY(JGet(L"Bookmark.Parent"), v);
        return Out(b_->parent ? new BookmarkObj(e_, b_->parent) : nullptr, v);
    }
    STDMETHODIMP get_Next(IQxBookmark** v) override {
        QX_TRY(JGet(L"Bookmark.Next"), v);
        auto& siblings = b_->parent ? b_->parent->children : e_->data->bookmarks;
        size_t next = b_->slot + 1;
        return Out(next < siblings.size() ? new BookmarkObj(e_, siblings[next].get()) : nullptr, v);
    }
    STDMETHODIMP get_FirstChild(IQxBookmark** v) override {
        QX_TRY(JGet(L"Bookmark.FirstChild"), v);
        return Out(b_->children.empty() ? nullptr : new BookmarkObj(e_, b_->children[0].get()), v);
    }
    STDMETHODIMP GoTo() override {
        QX_TRY(Journal(L"Bookmark.GoTo()"));
        long count = PageCount(e_);
        if (count > 0) e_->view.currentPage = std::clamp(b_->page, 1L, count);
        e_->data->selectedBookmark = b_->title;
        return S_OK;
    }

private:
    EntryPtr e_;
    BookmarkData* b_;
};

BookmarkData* FindBookmark(std::vector<std::shared_ptr<BookmarkData>>& level, const std::wstring& title) {
    // Iterative depth-first walk in document order.
    std::vector<std::pair<std::vector<std::shared_ptr<BookmarkData>>*, size_t>> stack{{&level, 0}};
    while (!stack.empty()) {
        auto& [list, i] = stack.back();
        if (i >= list->size()) {
            stack.pop_back();
            continue;
        }
        BookmarkData* b = (*list)[i++].get();
        if (b->title == title) return b;
        if (!b->children.empty()) stack.push_back({&b->children, 0});
    }
    return nullptr;
}

class BookmarksObj : public Dual<IQxBookmarks> {
public:
    explicit BookmarksObj(EntryPtr e) : e_(std::move(e)) {}
    STDMETHODIMP get_First(IQxBookmark** v) override {
        QX_TRY(JGet(L"Bookmarks.First"), v);
        auto& top = e_->data->bookmarks;
        return Out(top.empty() ? nullptr : new BookmarkObj(e_, top[0].get()), v);
    }
    STDMETHODIMP Find(BSTR title, IQxBookmark** out) override {
        QX_TRY(Call(L"Bookmarks.Find").s(title).log(), out);
        BookmarkData* b = FindBookmark(e_->data->bookmarks, Str(title));
        return Out(b ? new BookmarkObj(e_, b) : nullptr, out);
    }
    QX_GETS(L"Bookmarks", SelectedName, e_->data->selectedBookmark)

private:
    EntryPtr e_;
};

// ---- watermarks ---------------------------------------------------------------------------

class WatermarksObj : public Dual<IQxWatermarks> {
public:
    explicit WatermarksObj(EntryPtr e) : e_(std::move(e)) {}
    STDMETHODIMP SetColor(LONG c) override { return Set(L"SetColor", Num((long long)c), [&] { A().color = c; }); }
    STDMETHODIMP SetFontSize(DOUBLE s) override { return Set(L"SetFontSize", Num((double)s), [&] { A().fontSize = s; }); }
    STDMETHODIMP SetOpacity(DOUBLE o) override { return Set(L"SetOpacity", Num((double)o), [&] { A().opacity = o; }); }
    STDMETHODIMP SetRotation(LONG r) override { return Set(L"SetRotation", Num((long long)r), [&] { A().rotation = r; }); }
    STDMETHODIMP SetUnderlay(LONG u) override { return Set(L"SetUnderlay", Num((long long)u), [&] { A().underlay = u; }); }
    STDMETHODIMP SetText(BSTR t) override { return Set(L"SetText", Quote(Str(t)), [&] { A().text = Str(t); }); }
    STDMETHODIMP AddTextAt(LONG page, DOUBLE x, DOUBLE y, LONG* status) override {
        QX_TRY(Call(L"Watermarks.AddTextAt").n(page).d(x).d(y).log(), status);
        return Add(page, 0, x, y, 1.0, L"", false, status);
    }
    STDMETHODIMP AddTextEx(LONG page, LONG align, DOUBLE x, DOUBLE y, DOUBLE scale, BSTR name, LONG* status) override {
        QX_TRY(Call(L"Watermarks.AddTextEx").n(page).n(align).d(x).d(y).d(scale).s(name).log(), status);
        return Add(page, align, x, y, scale, Str(name), false, status);
    }
    STDMETHODIMP NoPrintByName(LONG flags, BSTR name, LONG* status) override {
        QX_TRY(Call(L"Watermarks.NoPrintByName").n(flags).s(name).log(), status);
        if (!status) return E_POINTER;
        *status = 1;
        for (auto& p : e_->data->pages)
            for (auto& w : p->watermarks)
                if (w.name == Str(name)) {
                    w.noPrint = true;
                    *status = 0;
                }
        return S_OK;
    }
    STDMETHODIMP DeleteByName(LONG page, BSTR name, LONG* status) override {
        QX_TRY(Call(L"Watermarks.DeleteByName").n(page).s(name).log(), status);
        if (!status) return E_POINTER;
        *status = 1;
        if (page < 0 || page >= PageCount(e_)) return S_OK;
        auto& list = e_->data->pages[page]->watermarks;
        size_t before = list.size();
        std::wstring n = Str(name);
        list.erase(std::remove_if(list.begin(), list.end(), [&](const WatermarkData& w) { return w.name == n; }),
                   list.end());
        if (list.size() != before) {
            *status = 0;
            e_->data->modified = 1;
        }
        return S_OK;
    }
    STDMETHODIMP SetImage(VARIANT image) override {
        QX_TRY(Call(L"Watermarks.SetImage").v(image).log());
        std::wstring text;
        std::string bytes;
        if (VariantToText(image, &text)) A().image = text;
        else if (VariantToBytes(image, &bytes)) A().image = L"base64:" + ToWide(Base64Encode(bytes));
        else return E_INVALIDARG;
        return S_OK;
    }
    STDMETHODIMP AddImage(LONG page, LONG align, DOUBLE x, DOUBLE y, BSTR name, LONG* status) override {
        QX_TRY(Call(L"Watermarks.AddImage").n(page).n(align).d(x).d(y).s(name).log(), status);
        return Add(page, align, x, y, 1.0, Str(name), true, status);
    }

private:
    WatermarkAttrs& A() { return e_->watermark; }
    template <class F>
    HRESULT Set(const wchar_t* op, const std::wstring& value, F apply) {
        QX_TRY(Call((std::wstring(L"Watermarks.") + op).c_str()).arg(value).log());
        apply();
        return S_OK;
    }
    HRESULT Add(long page, long align, double x, double y, double scale, const std::wstring& name, bool image,
                LONG* status) {
        if (!status) return E_POINTER;
        if (page < 0 || page >= PageCount(e_)) {
            *status = -1;
            return S_OK;
        }
        WatermarkData w;
        w.name = name;
        if (image) w.image = A().image;
        else w.text = A().text;
        w.align = align;
        w.color = A().color;
        w.rotation = A().rotation;
        w.underlay = A().underlay;
        w.x = x;
        w.y = y;
        w.scale = scale;
        w.fontSize = image ? 0 : A().fontSize;
        w.opacity = A().opacity;
        e_->data->pages[page]->watermarks.push_back(w);
        e_->data->modified = 1;
        *status = 0;
        return S_OK;
    }
    EntryPtr e_;
};

// ---- attachments -------------------------------------------------------------------------

class AttachmentObj : public Dual<IQxAttachment> {
public:
    explicit AttachmentObj(AttachmentData a) : a_(std::move(a)) {}
    STDMETHODIMP SaveToFile(BSTR fileName, VARIANT_BOOL* saved) override {
        QX_TRY(Call(L"Attachment.SaveToFile").s(fileName).log(), saved);
        if (!saved) return E_POINTER;
        *saved = QX_VB(WriteWholeFile(Str(fileName), a_.data));
        return S_OK;
    }
    QX_GETS(L"Attachment", Name, a_.name)

private:
    AttachmentData a_;
};

class AttachmentsObj : public Dual<IQxAttachments> {
public:
    explicit AttachmentsObj(EntryPtr e) : e_(std::move(e)) {}
    STDMETHODIMP Item(LONG index, IQxAttachment** out) override {
        QX_TRY(Call(L"Attachments.Item").n(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        auto& list = e_->data->attachments;
        if (index < 0 || index >= static_cast<LONG>(list.size())) return DISP_E_BADINDEX;
        *out = new AttachmentObj(list[index]);
        return S_OK;
    }
    QX_GETV(L"Attachments", Count, LONG, static_cast<LONG>(e_->data->attachments.size()))
    STDMETHODIMP Add(BSTR fileName, BSTR description, LONG* result) override {
        QX_TRY(Call(L"Attachments.Add").s(fileName).s(description).log(), result);
        if (!result) return E_POINTER;
        AttachmentData a;
        std::wstring path = Str(fileName);
        if (!ReadWholeFile(path, &a.data)) {
            *result = -1;
            return S_OK;
        }
        size_t slash = path.find_last_of(L"\\/");
        a.name = slash == std::wstring::npos ? path : path.substr(slash + 1);
        a.description = Str(description);
        e_->data->attachments.push_back(std::move(a));
        e_->data->modified = 1;
        *result = 0;
        return S_OK;
    }
    STDMETHODIMP Remove(SHORT index, LONG* result) override {
        QX_TRY(Call(L"Attachments.Remove").n(index).log(), result);
        if (!result) return E_POINTER;
        auto& list = e_->data->attachments;
        if (index < 0 || index >= static_cast<SHORT>(list.size())) {
            *result = -1;
            return S_OK;
        }
        list.erase(list.begin() + index);
        e_->data->modified = 1;
        *result = 0;
        return S_OK;
    }

private:
    EntryPtr e_;
};

// ---- document ------------------------------------------------------------------------------

class DocumentObj : public Dual<IQxDocument> {
public:
    explicit DocumentObj(EntryPtr e) : e_(std::move(e)) {}
    const EntryPtr& entry() const { return e_; }

    STDMETHODIMP get_Pages(IQxPages** v) override {
        QX_TRY(JGet(L"Document.Pages"), v);
        return Out(new PagesObj(e_), v);
    }
    STDMETHODIMP SetModified(LONG m) override {
        QX_TRY(Call(L"Document.SetModified").n(m).log());
        e_->data->modified = m;
        return S_OK;
    }
    STDMETHODIMP get_Fields(IQxFields** v) override {
        QX_TRY(JGet(L"Document.Fields"), v);
        return Out(new FieldsObj(e_), v);
    }
    STDMETHODIMP SaveAs(BSTR fileName, LONG* result) override {
        QX_TRY(Call(L"Document.SaveAs").s(fileName).log(), result);
        if (!result) return E_POINTER;
        std::wstring path = Str(fileName);
        *result = SaveDocumentAs(*e_->data, path, &App().lastSaveError) ? 0 : -1;
        if (*result == 0) {
            e_->data->path = FullPath(path);
            e_->data->modified = 0;
            RaiseDocumentEvent(13, e_);
        }
        return S_OK;
    }
    STDMETHODIMP get_Window(IQxDocWindow** v) override {
        QX_TRY(JGet(L"Document.Window"), v);
        return Out(new DocWindowObj(e_), v);
    }
    STDMETHODIMP get_Workspace(IQxWorkspace** v) override;
    STDMETHODIMP Permission(LONG kind, VARIANT_BOOL* allowed) override {
        QX_TRY(Call(L"Document.Permission").n(kind).log(), allowed);
        if (!allowed) return E_POINTER;
        auto it = e_->data->permissions.find(kind);
        *allowed = QX_VB(it == e_->data->permissions.end() || it->second);
        return S_OK;
    }
    STDMETHODIMP get_TextFinder(IQxTextFinder** v) override {
        QX_TRY(JGet(L"Document.TextFinder"), v);
        return Out(new TextFinderObj(e_), v);
    }
    STDMETHODIMP get_Attachments(IQxAttachments** v) override {
        QX_TRY(JGet(L"Document.Attachments"), v);
        return Out(new AttachmentsObj(e_), v);
    }
    STDMETHODIMP get_TextSelection(IQxTextSelection** v) override {
        QX_TRY(JGet(L"Document.TextSelection"), v);
        return Out(new TextSelectionObj(e_), v);
    }
    STDMETHODIMP get_Watermarks(IQxWatermarks** v) override {
        QX_TRY(JGet(L"Document.Watermarks"), v);
        return Out(new WatermarksObj(e_), v);
    }
    STDMETHODIMP get_FileInfo(IQxDocumentFile** v) override {
        QX_TRY(JGet(L"Document.FileInfo"), v);
        return Out(new DocumentFileObj(e_->data->path), v);
    }
    STDMETHODIMP get_Security(IQxSecurity** v) override {
        QX_TRY(JGet(L"Document.Security"), v);
        return Out(new SecurityObj(e_->data->security), v);
    }
    STDMETHODIMP PrintOut(VARIANT a1, VARIANT a2, VARIANT a3, VARIANT a4, VARIANT a5, VARIANT a6, VARIANT a7,
                          VARIANT a8, VARIANT a9, VARIANT a10, VARIANT a11, LONG* result) override {
        QX_TRY(Call(L"Document.PrintOut").v(a1).v(a2).v(a3).v(a4).v(a5).v(a6).v(a7).v(a8).v(a9).v(a10).v(a11).log(), result);
        if (!result) return E_POINTER;
        *result = 0;
        return S_OK;
    }
    STDMETHODIMP get_Bookmarks(IQxBookmarks** v) override {
        QX_TRY(JGet(L"Document.Bookmarks"), v);
        return Out(new BookmarksObj(e_), v);
    }
    STDMETHODIMP SaveCopyAs(BSTR fileName, LONG flags, LONG* result) override {
        QX_TRY(Call(L"Document.SaveCopyAs").s(fileName).n(flags).log(), result);
        if (!result) return E_POINTER;
        *result = SaveDocumentAs(*e_->data, Str(fileName), &App().lastSaveError) ? 0 : -1;
        return S_OK;
    }
    QX_GETV(L"Document", Modified, LONG, e_->data->modified)
    STDMETHODIMP Export(BSTR fileName, BSTR fileType, VARIANT_BOOL show, LONG* result) override {
        QX_TRY(Call(L"Document.Export").s(fileName).s(fileType).n(show).log(), result);
        if (!result) return E_POINTER;
        *result = SaveDocument(*e_->data, Str(fileName)) ? 0 : -1;
        return S_OK;
    }
    STDMETHODIMP ConvertSignToImage(VARIANT filePath, LONG* result) override {
        QX_TRY(Call(L"Document.ConvertSignToImage").v(filePath).log(), result);
        if (!result) return E_POINTER;
        std::wstring path;
        *result = (VariantToText(filePath, &path) && SaveDocument(*e_->data, path)) ? 0 : -1;
        return S_OK;
    }
    QX_GETV(L"Document", DocumentType, LONG, e_->data->type)

private:
    static std::wstring FullPath(const std::wstring& p) {
        wchar_t buf[MAX_PATH * 2];
        DWORD n = GetFullPathNameW(p.c_str(), MAX_PATH * 2, buf, nullptr);
        return n && n < MAX_PATH * 2 ? std::wstring(buf, n) : p;
    }
    EntryPtr e_;
};

}  // namespace

IQxWorkspace* MakeWorkspace();

STDMETHODIMP DocumentObj::get_Workspace(IQxWorkspace** v) {
    QX_TRY(JGet(L"Document.Workspace"), v);
    return Out(MakeWorkspace(), v);
}

IQxDocument* MakeDocument(const std::shared_ptr<DocEntry>& e) { return new DocumentObj(e); }
IQxAnnotation* MakeAnnotation(const std::shared_ptr<DocEntry>& e, const std::shared_ptr<AnnotData>& a) {
    return new AnnotationObj(e, a);
}
IQxPageView* MakePageView(const std::shared_ptr<DocEntry>& e) { return new PageViewObj(e); }
IQxPoint* MakePoint(double x, double y) { return new PointObj(x, y); }

}  // namespace qxsim
