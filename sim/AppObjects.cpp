// Application-side objects of the simulated reader: application, main frame,
// documents, workspace, command bars, tools, cursors, add-ins; event raising.
#include <olectl.h>

#include <algorithm>

#include "App.h"
#include "ObjectMacros.h"

namespace qxsim {

IQxWorkspace* MakeWorkspace();
IQxPoint* MakePoint(double x, double y);

namespace {

AppState* g_app = nullptr;

std::shared_ptr<ControlData> Ctl(long id, long type, const wchar_t* caption, const wchar_t* tip, const wchar_t* tag = L"") {
    auto c = std::make_shared<ControlData>();
    c->id = id;
    c->type = type;
    c->caption = caption;
    c->tipText = tip;
    c->tag = tag;
    if (type == 2) c->text = caption;
    return c;
}

std::shared_ptr<BarData> Bar(const wchar_t* name, std::vector<std::shared_ptr<ControlData>> controls) {
    auto b = std::make_shared<BarData>();
    b->name = name;
    b->controls = std::move(controls);
    return b;
}

std::shared_ptr<ControlData> Popup(long id, const wchar_t* caption, const wchar_t* tag,
                                   std::vector<std::shared_ptr<ControlData>> children) {
    auto c = Ctl(id, 3, caption, caption, tag);
    c->children = std::move(children);
    return c;
}

}  // namespace

AppState& App() {
    if (!g_app) {
        g_app = new AppState;
        ResetChrome();
    }
    return *g_app;
}

// The reader's own command bars, panes, tab bars and tools as a fresh reader shows them.
void ResetChrome() {
    AppState& a = *g_app;
    a.bars.clear();
    a.bars.push_back(Bar(L"MenuBar", {
        Popup(30001, L"文件(&F)", L"MenuFile", {Ctl(32001, 1, L"打开(&O)...\tCtrl+O", L"打开"),
                                                  Ctl(32002, 1, L"保存(&S)\tCtrl+S", L"保存"),
                                                  Ctl(32004, 1, L"打印(&P)...\tCtrl+P", L"打印")}),
        Popup(30002, L"编辑(&E)", L"MenuEdit", {Ctl(32101, 1, L"复制(&C)\tCtrl+C", L"复制"),
                                                  Ctl(32102, 1, L"查找(&F)...\tCtrl+F", L"查找")}),
        Popup(30003, L"视图(&V)", L"MenuView", {Ctl(32201, 1, L"全屏(&U)\tF11", L"全屏")}),
        Popup(30009, L"帮助(&H)", L"MenuHelp", {Ctl(32901, 1, L"关于(&A)...", L"关于")}),
    }));
    a.bars.push_back(Bar(L"File", {Ctl(32001, 1, L"打开(&O)...", L"打开"), Ctl(32002, 1, L"保存(&S)", L"保存"),
                                   Ctl(32003, 1, L"另存为(&A)...", L"另存为"), Ctl(32004, 1, L"打印(&P)...", L"打印")}));
    a.bars.push_back(Bar(L"Rotate", {Ctl(33001, 1, L"向左旋转", L"向左旋转"), Ctl(33002, 1, L"向右旋转", L"向右旋转")}));
    a.bars.push_back(Bar(L"Zoom", {Ctl(34001, 1, L"放大", L"放大"), Ctl(34002, 1, L"缩小", L"缩小"),
                                   Ctl(34003, 2, L"100%", L"缩放比例", L"ZoomBox")}));
    a.bars.push_back(Bar(L"Standard", {Ctl(35001, 1, L"手型工具(&H)", L"手型工具"), Ctl(35002, 1, L"选择文本(&T)", L"选择文本"),
                                       Ctl(35003, 1, L"快照(&N)", L"快照")}));
    a.bars.push_back(Bar(L"Find", {Ctl(36001, 2, L"查找", L"查找文本", L"FindBox"), Ctl(36002, 1, L"查找下一个", L"查找下一个")}));
    a.bars.push_back(Bar(L"Annots", {Ctl(37001, 1, L"注释(&C)", L"注释"), Ctl(37002, 1, L"高亮(&H)", L"高亮"),
                                     Ctl(37003, 1, L"图章(&S)", L"图章")}));
    a.bars.push_back(Bar(L"Measuring", {Ctl(38001, 1, L"距离", L"距离"), Ctl(38002, 1, L"面积", L"面积")}));
    a.bars.push_back(Bar(L"OFDSignature", {Ctl(39001, 1, L"OFD签章", L"OFD签章"), Ctl(39002, 1, L"验证签章", L"验证签章")}));
    a.bars.push_back(Bar(L"批量签章", {Ctl(39101, 1, L"批量签章", L"批量签章")}));
    a.bars.push_back(Bar(L"Comments", {Ctl(50036, 1, L"全文批阅", L"全文批阅"), Ctl(50037, 1, L"文字批注", L"文字批注"),
                                       Ctl(50038, 1, L"手写批注", L"Full-text handwritting")}));
    a.bars.push_back(Bar(L"DigitalSignature", {Ctl(51001, 1, L"数字签名", L"数字签名"), Ctl(51002, 1, L"验证签名", L"验证签名")}));
    // The reader's bar for tools that add-ins add; empty until they do.
    a.bars.push_back(Bar(L"MyTools", {}));

    a.panes.clear();
    for (const wchar_t* n : {L"BookMarks", L"AnnotsMngPane", L"AttachmentPane", L"SigPane", L"ThumbnailPane"}) {
        auto p = std::make_shared<NamedFlag>();
        p->name = n;
        p->visible = false;
        a.panes.push_back(p);
    }
    a.tabBars.clear();
    for (const wchar_t* n : {L"BookMark", L"AnnotsTabBar", L"SigTabBar", L"Thumbnail"}) {
        auto t = std::make_shared<NamedFlag>();
        t->name = n;
        a.tabBars.push_back(t);
    }
    a.stateBar1 = a.stateBar2 = true;
    a.tools = {L"ToolHand", L"ToolSnapShot", L"ToolText", L"ToolZoom", L"ToolAnnot"};
    a.currentTool = 0;
}

void ResetApp() {
    AppState& a = App();
    a.docs.clear();
    a.active = -1;
    ResetChrome();
    a.languageId = 0x804;
    a.startPage = false;
    a.tabBar = a.sidePanes = true;
    a.userName.clear();
    a.printConfig.clear();
    a.hidden = false;
    a.copyEnabled = true;
    a.fullSize = false;
    a.saveAllowed = a.printRight = 1;
    a.fileName.clear();
    a.hideKeywords.clear();
    a.cursors.clear();
    a.pendingCursor = 0;
    a.lastOpenError.clear();
}

std::shared_ptr<DocEntry> ActiveEntry() {
    AppState& a = App();
    if (a.active < 0 || a.active >= static_cast<long>(a.docs.size())) return nullptr;
    return a.docs[a.active];
}

void RaiseDocumentEvent(DISPID id, const std::shared_ptr<DocEntry>& entry) {
    std::vector<VARIANT> args(1);
    VariantInit(&args[0]);
    args[0].vt = VT_DISPATCH;
    args[0].pdispVal = entry ? MakeDocument(entry) : nullptr;
    RaiseEvent(id, args);
    VariantClear(&args[0]);
}

std::shared_ptr<DocEntry> OpenDocument(const std::wstring& path, const std::wstring& password) {
    AppState& a = App();
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    std::wstring fullPath = (n && n < MAX_PATH * 2) ? std::wstring(full, n) : path;
    a.lastOpenError.clear();
    for (size_t i = 0; i < a.docs.size(); ++i)
        if (EqualNoCase(a.docs[i]->data->path, fullPath)) {
            a.active = static_cast<long>(i);
            RaiseDocumentEvent(10, a.docs[i]);
            return a.docs[i];
        }
    auto data = std::make_shared<DocData>();
    if (!LoadDocument(fullPath, data.get(), &a.lastOpenError, password)) return nullptr;
    auto e = std::make_shared<DocEntry>();
    e->data = data;
    a.docs.push_back(e);
    a.active = static_cast<long>(a.docs.size()) - 1;
    RaiseDocumentEvent(9, e);
    RaiseDocumentEvent(10, e);
    return e;
}

void CloseDocument(long index) {
    AppState& a = App();
    if (index < 0 || index >= static_cast<long>(a.docs.size())) return;
    a.docs.erase(a.docs.begin() + index);
    if (a.docs.empty()) a.active = -1;
    else if (a.active >= index) a.active = std::max(0L, a.active - 1);
    RaiseDocumentEvent(11, ActiveEntry());
}

HRESULT RaiseEvent(DISPID id, std::vector<VARIANT>& args) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    return RaiseEventRaw(id, reversed, {});
}

HRESULT RaiseEventRaw(DISPID id, std::vector<VARIANT>& rgvarg, std::vector<DISPID> named) {
    std::vector<IDispatch*> sinks;
    for (auto& [cookie, sink] : App().sinks) {
        sink->AddRef();
        sinks.push_back(sink);
    }
    HRESULT first = S_OK;
    for (IDispatch* sink : sinks) {
        DISPPARAMS dp = {rgvarg.empty() ? nullptr : rgvarg.data(), named.empty() ? nullptr : named.data(),
                         static_cast<UINT>(rgvarg.size()), static_cast<UINT>(named.size())};
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, &result, nullptr, nullptr);
        VariantClear(&result);
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
        sink->Release();
    }
    return first;
}

namespace {

// ---- property bag for late-bound notification objects ---------------------------------

class PropertyBag : public LateBound {
public:
    explicit PropertyBag(const std::vector<std::pair<std::wstring, VARIANT>>& props) {
        for (auto& [name, value] : props) {
            VARIANT v;
            VariantInit(&v);
            VariantCopy(&v, const_cast<VARIANT*>(&value));
            props_.push_back({name, v});
        }
    }
    virtual ~PropertyBag() {
        for (auto& p : props_) VariantClear(&p.second);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        for (size_t i = 0; i < props_.size(); ++i)
            if (EqualNoCase(props_[i].first, names[0])) ids[0] = static_cast<DISPID>(i + 1);
        if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id < 1 || id > static_cast<DISPID>(props_.size())) return DISP_E_MEMBERNOTFOUND;
        VARIANT& slot = props_[id - 1].second;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (!dp || dp->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            return VariantCopyInd(&slot, &dp->rgvarg[0]);
        }
        if (dp && dp->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (result) return VariantCopy(result, &slot);
        return S_OK;
    }
    HRESULT Get(const wchar_t* name, VARIANT* out) {
        for (auto& p : props_)
            if (EqualNoCase(p.first, name)) return VariantCopy(out, &p.second);
        return DISP_E_UNKNOWNNAME;
    }

private:
    std::vector<std::pair<std::wstring, VARIANT>> props_;
};

// ---- main frame ---------------------------------------------------------------------------

class MainFrameObj : public Dual<IQxMainFrame> {
public:
    QX_GETV(L"MainFrame", LanguageId, LONG, App().languageId)
    QX_PUTN(L"MainFrame", LanguageId, LONG, App().languageId)
    QX_GETV(L"MainFrame", StartPageVisible, VARIANT_BOOL, QX_VB(App().startPage))
    QX_PUTB(L"MainFrame", StartPageVisible, App().startPage)
    QX_GETV(L"MainFrame", TabBarVisible, VARIANT_BOOL, QX_VB(App().tabBar))
    QX_PUTB(L"MainFrame", TabBarVisible, App().tabBar)
    QX_GETV(L"MainFrame", SidePanesVisible, VARIANT_BOOL, QX_VB(App().sidePanes))
    QX_PUTB(L"MainFrame", SidePanesVisible, App().sidePanes)
    QX_GETS(L"MainFrame", UserName, App().userName)
    QX_PUTS(L"MainFrame", UserName, App().userName)
    QX_GETS(L"MainFrame", AppDirectory, App().appDirectory)
    QX_GETS(L"MainFrame", PrintConfig, App().printConfig)
    QX_PUTS(L"MainFrame", PrintConfig, App().printConfig)
};

// ---- documents ----------------------------------------------------------------------------

class DocumentsObj : public Dual<IQxDocuments> {
public:
    QX_GETV(L"Documents", Count, LONG, static_cast<LONG>(App().docs.size()))
    STDMETHODIMP Open(VARIANT fileName, VARIANT password, VARIANT owner, VARIANT options, IQxDocument** out) override {
        QX_TRY(Call(L"Documents.Open").v(fileName).v(password).v(owner).v(options).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        std::wstring path;
        if (!VariantToText(fileName, &path) || path.empty()) return S_OK;
        std::wstring secret;
        if (!IsMissing(password)) VariantToText(password, &secret);
        auto e = OpenDocument(path, secret);
        if (e) *out = MakeDocument(e);
        return S_OK;
    }
    STDMETHODIMP Close(VARIANT index) override {
        QX_TRY(Call(L"Documents.Close").v(index).log());
        long long i = App().active;
        if (!IsMissing(index) && !VariantToLong(index, &i)) return E_INVALIDARG;
        if (i < 0 || i >= static_cast<long long>(App().docs.size())) return S_OK;
        CloseDocument(static_cast<long>(i));
        return S_OK;
    }
    STDMETHODIMP get_ActiveDocument(IQxDocument** v) override {
        QX_TRY(JGet(L"Documents.ActiveDocument"), v);
        auto e = ActiveEntry();
        return Out(e ? MakeDocument(e) : nullptr, v);
    }
    STDMETHODIMP OpenURL(BSTR url, VARIANT password, LONG* result) override {
        QX_TRY(Call(L"Documents.OpenURL").s(url).v(password).log(), result);
        if (!result) return E_POINTER;
        std::wstring u = Str(url);
        std::wstring name = u.substr(u.find_last_of(L'/') + 1);
        name = name.substr(0, name.find_first_of(L"?#"));
        if (name.empty()) name = L"download.pdf";
        std::wstring dir = TempFileName();
        DeleteFileW(dir.c_str());
        CreateDirectoryW(dir.c_str(), nullptr);
        std::wstring path = dir + L"\\" + name;
        long status = HttpDownload(u, path);
        if (status < 200 || status > 299) {
            *result = -1;
            return S_OK;
        }
        *result = OpenDocument(path) ? 0 : -2;
        return S_OK;
    }
    STDMETHODIMP Item(LONG index, IQxDocument** out) override {
        QX_TRY(Call(L"Documents.Item").n(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index < 0 || index >= static_cast<LONG>(App().docs.size())) return DISP_E_BADINDEX;
        *out = MakeDocument(App().docs[index]);
        return S_OK;
    }
};

// ---- workspace ----------------------------------------------------------------------------

class PaneObj : public Dual<IQxPane> {
public:
    explicit PaneObj(std::shared_ptr<NamedFlag> p) : p_(std::move(p)) {}
    QX_GETS(L"Pane", Name, p_->name)
    QX_GETV(L"Pane", Visible, VARIANT_BOOL, QX_VB(p_->visible))
    QX_PUTB(L"Pane", Visible, p_->visible)

private:
    std::shared_ptr<NamedFlag> p_;
};

class PanesObj : public Dual<IQxPanes> {
public:
    STDMETHODIMP Item(VARIANT index, IQxPane** out) override {
        QX_TRY(Call(L"Panes.Item").v(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        auto& panes = App().panes;
        std::wstring name;
        long long i = 0;
        if (VariantToText(index, &name)) {
            for (auto& p : panes)
                if (EqualNoCase(p->name, name)) return Out(new PaneObj(p), out);
            return S_OK;
        }
        if (!VariantToLong(index, &i) || i < 0 || i >= static_cast<long long>(panes.size())) return DISP_E_BADINDEX;
        *out = new PaneObj(panes[static_cast<size_t>(i)]);
        return S_OK;
    }
    QX_GETV(L"Panes", Count, LONG, static_cast<LONG>(App().panes.size()))
};

class TabBarsObj : public Dual<IQxTabBars> {
public:
    STDMETHODIMP SetVisible(LONG index, VARIANT_BOOL visible) override {
        QX_TRY(Call(L"TabBars.SetVisible").n(index).n(visible).log());
        if (!Valid(index)) return DISP_E_BADINDEX;
        App().tabBars[index]->visible = visible != 0;
        return S_OK;
    }
    STDMETHODIMP GetVisible(LONG index, VARIANT_BOOL* visible) override {
        QX_TRY(Call(L"TabBars.GetVisible").n(index).log(), visible);
        if (!visible) return E_POINTER;
        if (!Valid(index)) return DISP_E_BADINDEX;
        *visible = QX_VB(App().tabBars[index]->visible);
        return S_OK;
    }
    STDMETHODIMP get_Name(LONG index, BSTR* value) override {
        QX_TRY(Call(L"TabBars.Name").n(index).log(), value);
        if (!Valid(index)) return DISP_E_BADINDEX;
        return OutString(App().tabBars[index]->name, value);
    }
    QX_GETV(L"TabBars", Count, LONG, static_cast<LONG>(App().tabBars.size()))

private:
    static bool Valid(LONG i) { return i >= 0 && i < static_cast<LONG>(App().tabBars.size()); }
};

class WorkspaceObj : public Dual<IQxWorkspace> {
public:
    STDMETHODIMP get_Panes(IQxPanes** v) override {
        QX_TRY(JGet(L"Workspace.Panes"), v);
        return Out(new PanesObj, v);
    }
    QX_GETV(L"Workspace", StateBar1Visible, VARIANT_BOOL, QX_VB(App().stateBar1))
    QX_PUTB(L"Workspace", StateBar1Visible, App().stateBar1)
    QX_GETV(L"Workspace", StateBar2Visible, VARIANT_BOOL, QX_VB(App().stateBar2))
    QX_PUTB(L"Workspace", StateBar2Visible, App().stateBar2)
    STDMETHODIMP get_TabBars(IQxTabBars** v) override {
        QX_TRY(JGet(L"Workspace.TabBars"), v);
        return Out(new TabBarsObj, v);
    }
};

// ---- command bars ---------------------------------------------------------------------------

using ControlList = std::vector<std::shared_ptr<ControlData>>;

IQxControl* MakeControl(std::shared_ptr<ControlData> c, std::shared_ptr<void> owner, ControlList* list);
IQxControls* MakeControls(std::shared_ptr<void> owner, ControlList* list, bool flat);

template <class I>
class ControlBase : public Dual<I> {
public:
    ControlBase(std::shared_ptr<ControlData> c, std::shared_ptr<void> owner, ControlList* list)
        : c_(std::move(c)), owner_(std::move(owner)), list_(list) {}
    QX_GETV(L"Control", Id, LONG, c_->id)
    QX_GETV(L"Control", UserData, LONG, c_->userData)
    QX_PUTN(L"Control", UserData, LONG, c_->userData)
    QX_GETV(L"Control", Enabled, VARIANT_BOOL, QX_VB(c_->enabled))
    QX_PUTB(L"Control", Enabled, c_->enabled)
    QX_GETV(L"Control", Visible, VARIANT_BOOL, QX_VB(c_->visible))
    QX_PUTB(L"Control", Visible, c_->visible)
    STDMETHODIMP get_Index(LONG* v) override {
        QX_TRY(JGet(L"Control.Index"), v);
        if (!v) return E_POINTER;
        *v = 0;
        for (size_t i = 0; list_ && i < list_->size(); ++i)
            if ((*list_)[i] == c_) *v = static_cast<LONG>(i + 1);
        return S_OK;
    }
    QX_GETV(L"Control", Type, LONG, c_->type)
    QX_GETS(L"Control", Tag, c_->tag)
    QX_PUTS(L"Control", Tag, c_->tag)
    QX_GETS(L"Control", Caption, c_->caption)
    QX_PUTS(L"Control", Caption, c_->caption)
    QX_GETS(L"Control", TipText, c_->tipText)
    QX_PUTS(L"Control", TipText, c_->tipText)
    QX_GETV(L"Control", Style, LONG, c_->style)
    QX_PUTN(L"Control", Style, LONG, c_->style)
    QX_GETV(L"Control", FaceId, LONG, c_->faceId)
    QX_PUTN(L"Control", FaceId, LONG, c_->faceId)
    STDMETHODIMP SetEnabled(VARIANT_BOOL e) override {
        QX_TRY(Call(Kind(L"SetEnabled").c_str()).n(e).log());
        c_->enabled = e != 0;
        return S_OK;
    }
    STDMETHODIMP SetVisible(VARIANT_BOOL v) override {
        QX_TRY(Call(Kind(L"SetVisible").c_str()).n(v).log());
        c_->visible = v != 0;
        return S_OK;
    }

protected:
    bool AlsoAnswers(REFIID riid) override { return riid == IID_IQxControl; }
    std::wstring Kind(const wchar_t* op) const {
        return std::wstring(c_->type == 2 ? L"FieldControl." : c_->type == 3 ? L"Popup." : L"Button.") + op;
    }
    std::shared_ptr<ControlData> c_;
    std::shared_ptr<void> owner_;
    ControlList* list_;
};

class ButtonObj : public ControlBase<IQxControl> {
public:
    using ControlBase::ControlBase;
};

class FieldControlObj : public ControlBase<IQxFieldControl> {
public:
    using ControlBase::ControlBase;
    QX_GETS(L"FieldControl", Text, c_->text)
    QX_PUTS(L"FieldControl", Text, c_->text)
};

class PopupObj : public ControlBase<IQxPopup> {
public:
    using ControlBase::ControlBase;
    STDMETHODIMP get_Controls(IQxControls** v) override {
        QX_TRY(JGet(L"Popup.Controls"), v);
        return Out(MakeControls(c_, &c_->children, false), v);
    }
};

IQxControl* MakeControl(std::shared_ptr<ControlData> c, std::shared_ptr<void> owner, ControlList* list) {
    switch (c->type) {
        case 2: return new FieldControlObj(c, owner, list);
        case 3: return new PopupObj(c, owner, list);
        default: return new ButtonObj(c, owner, list);
    }
}

class ControlsObj : public Dual<IQxControls> {
public:
    ControlsObj(std::shared_ptr<void> owner, ControlList* list, bool flat)
        : owner_(std::move(owner)), list_(list), flat_(flat) {
        if (flat_) {
            // Every control of every bar, bar by bar.
            for (auto& b : App().bars)
                for (auto& c : b->controls) snapshot_.push_back(c);
            list_ = &snapshot_;
        }
    }
    STDMETHODIMP Item(VARIANT index, IQxControl** out) override {
        QX_TRY(Call(L"Controls.Item").v(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        std::wstring tag;
        long long i = 0;
        if (VariantToText(index, &tag)) {
            for (auto& c : *list_)
                if (c->tag == tag) return Out(MakeControl(c, owner_, list_), out);
            return S_OK;
        }
        if (!VariantToLong(index, &i) || i < 0 || i >= static_cast<long long>(list_->size())) return DISP_E_BADINDEX;
        *out = MakeControl((*list_)[static_cast<size_t>(i)], owner_, list_);
        return S_OK;
    }
    QX_GETV(L"Controls", Count, LONG, static_cast<LONG>(list_->size()))
    STDMETHODIMP Add(VARIANT type, VARIANT before, VARIANT id, IQxControl** out) override {
        QX_TRY(Call(L"Controls.Add").v(type).v(before).v(id).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        if (flat_) return E_NOTIMPL;
        long long t = 1, pos = 0, cid = 0;
        if (!IsMissing(type) && !VariantToLong(type, &t)) return E_INVALIDARG;
        if (t < 1 || t > 3) return E_INVALIDARG;
        if (!IsMissing(before) && !VariantToLong(before, &pos)) return E_INVALIDARG;
        if (IsMissing(id) || !VariantToLong(id, &cid)) cid = App().nextControlId++;
        auto c = std::make_shared<ControlData>();
        c->id = static_cast<long>(cid);
        c->type = static_cast<long>(t);
        size_t at = (pos >= 1 && pos <= static_cast<long long>(list_->size())) ? static_cast<size_t>(pos - 1) : list_->size();
        list_->insert(list_->begin() + at, c);
        *out = MakeControl(c, owner_, list_);
        return S_OK;
    }

private:
    std::shared_ptr<void> owner_;
    ControlList* list_;
    bool flat_;
    ControlList snapshot_;
};

IQxControls* MakeControls(std::shared_ptr<void> owner, ControlList* list, bool flat) {
    return new ControlsObj(std::move(owner), list, flat);
}

std::shared_ptr<ControlData> FindById(ControlList& list, long id, ControlList** where) {
    for (auto& c : list) {
        if (c->id == id) {
            *where = &list;
            return c;
        }
        if (c->type == 3)
            if (auto found = FindById(c->children, id, where)) return found;
    }
    return nullptr;
}

class CommandBarObj : public Dual<IQxCommandBar> {
public:
    explicit CommandBarObj(std::shared_ptr<BarData> b) : b_(std::move(b)) {}
    QX_GETS(L"CommandBar", Name, b_->name)
    QX_GETV(L"CommandBar", Visible, VARIANT_BOOL, QX_VB(b_->visible))
    QX_PUTB(L"CommandBar", Visible, b_->visible)
    QX_GETV(L"CommandBar", Enabled, VARIANT_BOOL, QX_VB(b_->enabled))
    QX_PUTB(L"CommandBar", Enabled, b_->enabled)
    STDMETHODIMP get_Controls(IQxControls** v) override {
        QX_TRY(JGet(L"CommandBar.Controls"), v);
        return Out(MakeControls(b_, &b_->controls, false), v);
    }
    STDMETHODIMP Refresh() override {
        QX_TRY(Journal(L"CommandBar.Refresh()"));
        return S_OK;
    }
    STDMETHODIMP FindControl(VARIANT type, VARIANT id, IQxControl** out) override {
        QX_TRY(Call(L"CommandBar.FindControl").v(type).v(id).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        long long t = 0, i = 0;
        if (!VariantToLong(type, &t) || !VariantToLong(id, &i)) return E_INVALIDARG;
        if (t != 1) return S_OK;
        ControlList* where = nullptr;
        auto c = FindById(b_->controls, static_cast<long>(i), &where);
        return Out(c ? MakeControl(c, b_, where) : nullptr, out);
    }

private:
    std::shared_ptr<BarData> b_;
};

class CommandBarsObj : public Dual<IQxCommandBars> {
public:
    STDMETHODIMP Item(VARIANT index, IQxCommandBar** out) override {
        QX_TRY(Call(L"CommandBars.Item").v(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        auto& bars = App().bars;
        std::wstring name;
        long long i = 0;
        if (VariantToText(index, &name)) {
            for (auto& b : bars)
                if (b->name == name) return Out(new CommandBarObj(b), out);
            return S_OK;
        }
        if (!VariantToLong(index, &i) || i < 0 || i >= static_cast<long long>(bars.size())) return DISP_E_BADINDEX;
        *out = new CommandBarObj(bars[static_cast<size_t>(i)]);
        return S_OK;
    }
    QX_GETV(L"CommandBars", Count, LONG, static_cast<LONG>(App().bars.size()))
    STDMETHODIMP Add(VARIANT name, VARIANT position, IQxCommandBar** out) override {
        QX_TRY(Call(L"CommandBars.Add").v(name).v(position).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        std::wstring n;
        if (!VariantToText(name, &n)) return E_INVALIDARG;
        auto b = std::make_shared<BarData>();
        b->name = n;
        App().bars.push_back(b);
        *out = new CommandBarObj(b);
        return S_OK;
    }
    STDMETHODIMP Refresh() override {
        QX_TRY(Journal(L"CommandBars.Refresh()"));
        return S_OK;
    }
    STDMETHODIMP get_Controls(IQxControls** v) override {
        QX_TRY(JGet(L"CommandBars.Controls"), v);
        return Out(MakeControls(nullptr, nullptr, true), v);
    }
};

// ---- tools, cursors, images -------------------------------------------------------------

class ToolObj : public Dual<IQxTool> {
public:
    explicit ToolObj(long index) : index_(index) {}
    QX_GETS(L"Tool", Name, App().tools[index_])
    STDMETHODIMP Activate() override {
        QX_TRY(Journal(L"Tool.Activate()"));
        App().currentTool = index_;
        std::vector<VARIANT> args(1);
        args[0].vt = VT_I4;
        args[0].lVal = index_;
        RaiseEvent(12, args);
        return S_OK;
    }

private:
    long index_;
};

class ToolsObj : public Dual<IQxTools> {
public:
    STDMETHODIMP Item(VARIANT index, IQxTool** out) override {
        QX_TRY(Call(L"Tools.Item").v(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        auto& tools = App().tools;
        std::wstring name;
        long long i = 0;
        if (VariantToText(index, &name)) {
            for (size_t k = 0; k < tools.size(); ++k)
                if (EqualNoCase(tools[k], name)) return Out(new ToolObj(static_cast<long>(k)), out);
            return S_OK;
        }
        if (!VariantToLong(index, &i) || i < 0 || i >= static_cast<long long>(tools.size())) return DISP_E_BADINDEX;
        *out = new ToolObj(static_cast<long>(i));
        return S_OK;
    }
    STDMETHODIMP get_Current(IQxTool** v) override {
        QX_TRY(JGet(L"Tools.Current"), v);
        return Out(new ToolObj(App().currentTool), v);
    }
    QX_GETV(L"Tools", Count, LONG, static_cast<LONG>(App().tools.size()))
};

class CursorsObj : public Dual<IQxCursors> {
public:
    STDMETHODIMP Begin() override {
        QX_TRY(Journal(L"Cursors.Begin()"));
        App().pendingCursor = App().nextCursor++;
        return S_OK;
    }
    STDMETHODIMP AddImage(VARIANT image, LONG transparent, LONG* id) override {
        QX_TRY(Call(L"Cursors.AddImage").v(image).n(transparent).log(), id);
        if (!id) return E_POINTER;
        AppState& a = App();
        long cid = a.pendingCursor ? a.pendingCursor : a.nextCursor++;
        a.pendingCursor = 0;
        std::string bytes;
        VariantToBytes(image, &bytes);
        a.cursors[cid] = bytes;
        *id = cid;
        return S_OK;
    }
    STDMETHODIMP Remove(LONG id) override {
        QX_TRY(Call(L"Cursors.Remove").n(id).log());
        App().cursors.erase(id);
        return S_OK;
    }
};

class ImageStoreObj : public Dual<IQxImageStore> {
public:
    STDMETHODIMP Add(VARIANT image, LONG key, LONG* faceId) override {
        QX_TRY(Call(L"ImageStore.Add").v(image).n(key).log(), faceId);
        if (!faceId) return E_POINTER;
        std::string bytes;
        if (!VariantToBytes(image, &bytes) || bytes.empty()) return E_INVALIDARG;
        *faceId = App().nextFaceId++;
        return S_OK;
    }
};

// ---- add-ins ------------------------------------------------------------------------------

class COMAddInObj : public Dual<IQxCOMAddIn> {
public:
    COMAddInObj(const std::wstring& progId, IDispatch* object) : progId_(progId), object_(object) {
        if (object_) object_->AddRef();
    }
    ~COMAddInObj() override {
        if (object_) object_->Release();
    }
    STDMETHODIMP get_Object(IDispatch** v) override {
        QX_TRY(JGet(L"COMAddIn.Object"), v);
        return OutAddRef(object_, v);
    }
    QX_GETS(L"COMAddIn", ProgId, progId_)
    QX_GETV(L"COMAddIn", Connect, VARIANT_BOOL, QX_VB(object_ != nullptr))

private:
    std::wstring progId_;
    IDispatch* object_;
};

class COMAddInsObj : public Dual<IQxCOMAddIns> {
public:
    STDMETHODIMP Item(VARIANT index, IQxCOMAddIn** out) override {
        QX_TRY(Call(L"COMAddIns.Item").v(index).log(), out);
        if (!out) return E_POINTER;
        *out = nullptr;
        auto& list = App().addIns;
        std::wstring progId;
        long long i = 0;
        if (VariantToText(index, &progId)) {
            for (auto& a : list)
                if (EqualNoCase(a.progId, progId)) return Out(new COMAddInObj(a.progId, a.object), out);
            return E_INVALIDARG;
        }
        if (!VariantToLong(index, &i) || i < 0 || i >= static_cast<long long>(list.size())) return DISP_E_BADINDEX;
        auto& a = list[static_cast<size_t>(i)];
        *out = new COMAddInObj(a.progId, a.object);
        return S_OK;
    }
    QX_GETV(L"COMAddIns", Count, LONG, static_cast<LONG>(App().addIns.size()))
};

// ---- application -------------------------------------------------------------------------

class ApplicationObj;

class ConnectionPointObj : public IConnectionPoint {
public:
    explicit ConnectionPointObj(IConnectionPointContainer* owner) : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *ppv = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = DIID__IQxApplicationEvents;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** c) override {
        if (!c) return E_POINTER;
        *c = owner_;
        owner_->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        *cookie = 0;
        QX_TRY(Journal(L"ConnectionPoint.Advise()"));
        IDispatch* d = nullptr;
        if (FAILED(sink->QueryInterface(DIID__IQxApplicationEvents, reinterpret_cast<void**>(&d))) &&
            FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = App().nextCookie++;
        App().sinks[*cookie] = d;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        QX_TRY(Call(L"ConnectionPoint.Unadvise").n(cookie).log());
        auto it = App().sinks.find(cookie);
        if (it == App().sinks.end()) return CONNECT_E_NOCONNECTION;
        IDispatch* d = it->second;
        App().sinks.erase(it);
        d->Release();
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    IConnectionPointContainer* owner_;
};

class ApplicationObj : public Dual<IQxApplication>, public IConnectionPointContainer {
public:
    ApplicationObj() : cp_(this) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IConnectionPointContainer) {
            if (!ppv) return E_POINTER;
            *ppv = static_cast<IConnectionPointContainer*>(this);
            AddRef();
            return S_OK;
        }
        return Dual<IQxApplication>::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return Dual<IQxApplication>::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Dual<IQxApplication>::Release(); }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override {
        if (!cp) return E_POINTER;
        *cp = nullptr;
        if (riid != DIID__IQxApplicationEvents) return CONNECT_E_NOCONNECTION;
        *cp = &cp_;
        AddRef();
        return S_OK;
    }

    STDMETHODIMP get_Documents(IQxDocuments** v) override {
        QX_TRY(JGet(L"Application.Documents"), v);
        return Out(new DocumentsObj, v);
    }
    STDMETHODIMP get_Name(BSTR* v) override {
        QX_TRY(JGet(L"Application.Name"), v);
        return OutString(L"Quirex Reader", v);
    }
    STDMETHODIMP get_CommandBars(IQxCommandBars** v) override {
        QX_TRY(JGet(L"Application.CommandBars"), v);
        return Out(new CommandBarsObj, v);
    }
    STDMETHODIMP get_COMAddIns(IQxCOMAddIns** v) override {
        QX_TRY(JGet(L"Application.COMAddIns"), v);
        return Out(new COMAddInsObj, v);
    }
    STDMETHODIMP get_ImageStore(IQxImageStore** v) override {
        QX_TRY(JGet(L"Application.ImageStore"), v);
        return Out(new ImageStoreObj, v);
    }
    STDMETHODIMP get_Cursors(IQxCursors** v) override {
        QX_TRY(JGet(L"Application.Cursors"), v);
        return Out(new CursorsObj, v);
    }
    STDMETHODIMP get_MainFrame(IQxMainFrame** v) override {
        QX_TRY(JGet(L"Application.MainFrame"), v);
        return Out(new MainFrameObj, v);
    }
    QX_PUTB(L"Application", FullSize, App().fullSize)
    QX_GETV(L"Application", FullSize, VARIANT_BOOL, QX_VB(App().fullSize))
    STDMETHODIMP get_Tools(IQxTools** v) override {
        QX_TRY(JGet(L"Application.Tools"), v);
        return Out(new ToolsObj, v);
    }
    STDMETHODIMP NewPoint(IQxPoint** p) override {
        QX_TRY(Journal(L"Application.NewPoint()"), p);
        return Out(MakePoint(0, 0), p);
    }
    QX_GETV(L"Application", Hidden, VARIANT_BOOL, QX_VB(App().hidden))
    QX_PUTB(L"Application", Hidden, App().hidden)
    STDMETHODIMP Alert(BSTR text, LONG flags, LONG* result) override {
        QX_TRY(Call(L"Application.Alert").s(text).n(flags).log(), result);
        Notify(L"Alert(" + Quote(Str(text)) + L", " + Num((long long)flags) + L")");
        if (result) *result = 0;
        return S_OK;
    }
    STDMETHODIMP CreateNetFile(IQxNetFile** nf) override {
        QX_TRY(Journal(L"Application.CreateNetFile()"), nf);
        return Out(MakeNetFile(), nf);
    }
    STDMETHODIMP RunCommand(LONG code) override {
        QX_TRY(Call(L"Application.RunCommand").n(code).log());
        return S_OK;
    }
    QX_GETV(L"Application", SaveAllowed, LONG, App().saveAllowed)
    QX_PUTN(L"Application", SaveAllowed, LONG, App().saveAllowed)
    QX_GETV(L"Application", PrintRight, LONG, App().printRight)
    QX_PUTN(L"Application", PrintRight, LONG, App().printRight)
    STDMETHODIMP NotifyToolClick(LONG index, BSTR caption) override {
        QX_TRY(Call(L"Application.NotifyToolClick").n(index).s(caption).log());
        Notify(L"NotifyToolClick(" + Num((long long)index) + L", " + Quote(Str(caption)) + L")");
        return S_OK;
    }
    STDMETHODIMP NotifyMenuClick(LONG index, BSTR caption) override {
        QX_TRY(Call(L"Application.NotifyMenuClick").n(index).s(caption).log());
        Notify(L"NotifyMenuClick(" + Num((long long)index) + L", " + Quote(Str(caption)) + L")");
        return S_OK;
    }
    STDMETHODIMP SaveFinished() override {
        QX_TRY(Journal(L"Application.SaveFinished()"));
        Notify(L"SaveFinished()");
        return S_OK;
    }
    QX_GETS(L"Application", FileName, App().fileName)
    QX_PUTS(L"Application", FileName, App().fileName)
    STDMETHODIMP AppendHideKeywords(BSTR keywords, LONG* result) override {
        QX_TRY(Call(L"Application.AppendHideKeywords").s(keywords).log(), result);
        App().hideKeywords.push_back(Str(keywords));
        if (result) *result = static_cast<LONG>(App().hideKeywords.size());
        return S_OK;
    }
    STDMETHODIMP EnabledHideKeywords(LONG ch, VARIANT_BOOL value, LONG* result) override {
        QX_TRY(Call(L"Application.EnabledHideKeywords").n(ch).n(value).log(), result);
        if (result) *result = 0;
        return S_OK;
    }
    QX_GETV(L"Application", CopyEnabled, VARIANT_BOOL, QX_VB(App().copyEnabled))
    QX_PUTB(L"Application", CopyEnabled, App().copyEnabled)

private:
    ConnectionPointObj cp_;
};

ApplicationObj* g_application = nullptr;

}  // namespace

IQxApplication* TheApplication() {
    App();
    if (!g_application) {
        g_application = new ApplicationObj;  // kept for the life of the process
        // The process-lifetime reference must not keep the module from unloading checks.
        InterlockedDecrement(&g_objectCount);
    }
    g_application->AddRef();
    return g_application;
}

IQxWorkspace* MakeWorkspace() { return new WorkspaceObj; }

IDispatch* MakePropertyBag(const std::vector<std::pair<std::wstring, VARIANT>>& props) { return new PropertyBag(props); }

HRESULT PropertyBagGet(IDispatch* bag, const wchar_t* name, VARIANT* out) {
    return static_cast<PropertyBag*>(bag)->Get(name, out);
}

std::wstring TempFileName() {
    wchar_t dir[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"qxs", 0, file);
    return file;
}

}  // namespace qxsim
