// The simulator object ("Quirex.Simulator"): the controls tests and demos use to
// drive the simulated reader; the module's class object and self-registration.
#include <olectl.h>

#include <algorithm>

#include "App.h"
#include "BarcodeGenerator.h"

namespace qxsim {

namespace {

// Declared parameter types of the application events, by DISPID.
std::vector<VARTYPE> EventTypes(DISPID id) {
    switch (id) {
        case 1: return {VT_UI4, VT_UI4};
        case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 19: case 23:
            return {VT_DISPATCH, VT_UI8, VT_UI8, VT_BOOL | VT_BYREF};
        case 9: case 10: case 11: case 13: case 14: case 16: return {VT_DISPATCH};
        case 12: return {VT_I4};
        case 26: return {VT_BSTR, VT_DISPATCH, VT_UINT, VT_UINT};
        case 42: case 43: case 44: return {VT_DISPATCH, VT_UI8, VT_UI8};
        case 57: return {VT_BSTR};
        default: return {};
    }
}

// DISPID 26 with a notification carrying "Annotation" = annot and "MsgHandle".
HRESULT RaiseAnnotationMessage(BSTR message, const VARIANT& annot, LONG* msgHandle) {
    VARIANT handle;
    handle.vt = VT_I4;
    handle.lVal = 0;
    IDispatch* bag = MakePropertyBag({{L"Annotation", annot}, {L"MsgHandle", handle}});
    std::vector<VARIANT> args(4);
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString(message ? message : L"");
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = bag;
    args[2].vt = VT_UINT;
    args[2].uintVal = 0;
    args[3].vt = VT_UINT;
    args[3].uintVal = 0;
    HRESULT hr = RaiseEvent(26, args);
    SysFreeString(args[0].bstrVal);
    VARIANT out;
    VariantInit(&out);
    PropertyBagGet(bag, L"MsgHandle", &out);
    long long n = 0;
    VariantToLong(out, &n);
    VariantClear(&out);
    bag->Release();
    *msgHandle = static_cast<LONG>(n);
    return hr;
}

// Copies of the elements of an argument list: nothing (missing), a safe array
// of one dimension, or a script array (an object with "length" and "0", "1", ...).
HRESULT ArgumentList(const VARIANT& given, std::vector<VARIANT>* out) {
    const VARIANT* v = &given;
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
    if (IsMissing(*v) || v->vt == VT_NULL) return S_OK;
    if (v->vt & VT_ARRAY) {
        SAFEARRAY* sa = (v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
        if (!sa || SafeArrayGetDim(sa) != 1) return E_INVALIDARG;
        LONG lo = 0, hi = -1;
        SafeArrayGetLBound(sa, 1, &lo);
        SafeArrayGetUBound(sa, 1, &hi);
        VARTYPE vt = VT_EMPTY;
        SafeArrayGetVartype(sa, &vt);
        for (LONG i = lo; i <= hi; ++i) {
            VARIANT item;
            VariantInit(&item);
            if (vt == VT_VARIANT) {
                SafeArrayGetElement(sa, &i, &item);
            } else if (vt == VT_I4 || vt == VT_INT) {
                item.vt = VT_I4;
                SafeArrayGetElement(sa, &i, &item.lVal);
            } else {
                return E_INVALIDARG;
            }
            out->push_back(item);
        }
        return S_OK;
    }
    if (v->vt != VT_DISPATCH || !v->pdispVal) return E_INVALIDARG;
    auto get = [&](const std::wstring& name, VARIANT* r) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR n = const_cast<LPOLESTR>(name.c_str());
        HRESULT hr = v->pdispVal->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        if (SUCCEEDED(hr))
            hr = v->pdispVal->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, r, nullptr, nullptr);
        return hr;
    };
    VARIANT length;
    VariantInit(&length);
    long long count = 0;
    HRESULT hr = get(L"length", &length);
    if (FAILED(hr) || !VariantToLong(length, &count)) return E_INVALIDARG;
    VariantClear(&length);
    for (long long i = 0; i < count; ++i) {
        VARIANT item;
        VariantInit(&item);
        get(std::to_wstring(i), &item);  // a hole reads as nothing
        out->push_back(item);
    }
    return S_OK;
}

class SimulatorObj : public Dual<IQxSimulator> {
public:
    SimulatorObj() : app_(TheApplication()) {}
    ~SimulatorObj() override { app_->Release(); }

    STDMETHODIMP get_Application(IQxApplication** v) override { return OutAddRef(app_, v); }

    STDMETHODIMP LoadAddIn(BSTR progId, LONG* result) override {
        if (!result) return E_POINTER;
        std::wstring id = Str(progId);
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(id.c_str(), &clsid);
        if (FAILED(hr)) hr = CLSIDFromString(id.c_str(), &clsid);
        IUnknown* unk = nullptr;
        IQxExtensibility* ext = nullptr;
        if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&unk));
        if (SUCCEEDED(hr)) hr = unk->QueryInterface(IID_IQxExtensibility, reinterpret_cast<void**>(&ext));
        if (FAILED(hr)) {
            if (unk) unk->Release();
            *result = hr;
            return S_OK;
        }
        AddInEntry entry;
        entry.progId = id;
        entry.extension = ext;
        unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&entry.object));
        unk->Release();
        App().addIns.push_back(entry);
        *result = Connect(entry);
        return S_OK;
    }
    STDMETHODIMP UnloadAddIn(BSTR progId, LONG* result) override {
        if (!result) return E_POINTER;
        auto& list = App().addIns;
        for (size_t i = 0; i < list.size(); ++i) {
            if (!EqualNoCase(list[i].progId, Str(progId))) continue;
            AddInEntry e = list[i];
            list.erase(list.begin() + i);
            VARIANT custom;
            VariantInit(&custom);
            *result = e.extension ? e.extension->OnDisconnection(0, &custom) : S_OK;
            Drop(e);
            return S_OK;
        }
        *result = E_INVALIDARG;
        return S_OK;
    }
    STDMETHODIMP AddStandIn(BSTR progId, IQxStandIn** standIn) override {
        std::wstring id = Str(progId);
        if (!IsSiblingProgId(id)) return E_INVALIDARG;
        RemoveAddIn(progId);
        AddInEntry e;
        IUnknown* s = MakeStandIn(id, &e.object);
        e.progId = id;
        e.standIn = s;
        App().addIns.push_back(e);
        if (!standIn) return S_OK;
        return s->QueryInterface(IID_IQxStandIn, reinterpret_cast<void**>(standIn));
    }
    STDMETHODIMP RemoveAddIn(BSTR progId) override {
        auto& list = App().addIns;
        for (size_t i = 0; i < list.size(); ++i)
            if (EqualNoCase(list[i].progId, Str(progId))) {
                AddInEntry e = list[i];
                list.erase(list.begin() + i);
                Drop(e);
                return S_OK;
            }
        return S_OK;
    }
    STDMETHODIMP StandIn(BSTR progId, IQxStandIn** standIn) override {
        if (!standIn) return E_POINTER;
        *standIn = nullptr;
        for (auto& e : App().addIns)
            if (e.standIn && EqualNoCase(e.progId, Str(progId)))
                return e.standIn->QueryInterface(IID_IQxStandIn, reinterpret_cast<void**>(standIn));
        return S_OK;
    }
    STDMETHODIMP AddAllStandIns() override {
        for (auto* id : kSiblingProgIds) {
            BSTR b = SysAllocString(id);
            HRESULT hr = AddStandIn(b, nullptr);
            SysFreeString(b);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }

    STDMETHODIMP get_JournalCount(LONG* v) override {
        if (!v) return E_POINTER;
        *v = static_cast<LONG>(JournalLines().size());
        return S_OK;
    }
    STDMETHODIMP JournalItem(LONG i, BSTR* line) override {
        if (i < 0 || i >= static_cast<LONG>(JournalLines().size())) return DISP_E_BADINDEX;
        return OutString(JournalLines()[i], line);
    }
    STDMETHODIMP get_Journal(BSTR* v) override { return OutString(Joined(JournalLines()), v); }
    STDMETHODIMP ClearJournal() override {
        ClearJournalLines();
        return S_OK;
    }
    STDMETHODIMP get_Recording(VARIANT_BOOL* v) override {
        if (!v) return E_POINTER;
        *v = Recording() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP put_Recording(VARIANT_BOOL v) override {
        SetRecording(v != 0);
        return S_OK;
    }

    STDMETHODIMP CaptureImports(BSTR moduleName, LONG* patched) override {
        if (!patched) return E_POINTER;
        *patched = qxsim::CaptureImports(Str(moduleName));
        return S_OK;
    }
    STDMETHODIMP SetAnswer(BSTR function, VARIANT answer) override {
        QueueAnswer(Str(function), answer, false);
        return S_OK;
    }
    STDMETHODIMP SetDefaultAnswer(BSTR function, VARIANT answer) override {
        QueueAnswer(Str(function), answer, true);
        return S_OK;
    }
    STDMETHODIMP get_CapturedCount(LONG* v) override {
        if (!v) return E_POINTER;
        *v = static_cast<LONG>(CapturedLines().size());
        return S_OK;
    }
    STDMETHODIMP CapturedItem(LONG i, BSTR* line) override {
        if (i < 0 || i >= static_cast<LONG>(CapturedLines().size())) return DISP_E_BADINDEX;
        return OutString(CapturedLines()[i], line);
    }
    STDMETHODIMP ClearCaptured() override {
        ClearCaptures();
        return S_OK;
    }

    STDMETHODIMP get_NotificationCount(LONG* v) override {
        if (!v) return E_POINTER;
        *v = static_cast<LONG>(Notifications().size());
        return S_OK;
    }
    STDMETHODIMP NotificationItem(LONG i, BSTR* line) override {
        if (i < 0 || i >= static_cast<LONG>(Notifications().size())) return DISP_E_BADINDEX;
        return OutString(Notifications()[i], line);
    }
    STDMETHODIMP ClearNotifications() override {
        ClearNotificationLines();
        return S_OK;
    }

    STDMETHODIMP FireEvent(LONG id, VARIANT a1, VARIANT a2, VARIANT a3, VARIANT a4, VARIANT* result) override {
        if (!result) return E_POINTER;
        VariantInit(result);
        std::vector<VARTYPE> types = EventTypes(id);
        VARIANT given[4] = {a1, a2, a3, a4};
        size_t count = types.size();
        if (count == 0)
            while (count < 4 && !IsMissing(given[count])) ++count;
        std::vector<VARIANT> args(count);
        VARIANT_BOOL handled = VARIANT_FALSE;
        HRESULT hr = S_OK;
        for (size_t i = 0; i < count && SUCCEEDED(hr); ++i) {
            VariantInit(&args[i]);
            VARTYPE vt = i < types.size() ? types[i] : VT_EMPTY;
            const VARIANT& g = given[i];
            if (vt == (VT_BOOL | VT_BYREF)) {
                long long init = 0;
                if (!IsMissing(g)) VariantToLong(g, &init);
                handled = init ? VARIANT_TRUE : VARIANT_FALSE;
                args[i].vt = VT_BOOL | VT_BYREF;
                args[i].pboolVal = &handled;
            } else if (vt == VT_DISPATCH && IsMissing(g)) {
                // The active document, or its view for view events.
                auto e = ActiveEntry();
                args[i].vt = VT_DISPATCH;
                args[i].pdispVal = nullptr;
                if (e) {
                    bool view = EventTypes(id).size() >= 3;
                    args[i].pdispVal = view ? static_cast<IDispatch*>(MakePageView(e)) : static_cast<IDispatch*>(MakeDocument(e));
                }
            } else if (vt == VT_DISPATCH && (g.vt == VT_NULL || g.vt == VT_EMPTY)) {
                args[i].vt = VT_DISPATCH;
                args[i].pdispVal = nullptr;
            } else if (vt == VT_EMPTY) {
                hr = VariantCopyInd(&args[i], const_cast<VARIANT*>(&g));
            } else if (IsMissing(g)) {
                args[i].vt = vt;
                args[i].llVal = 0;
                if (vt == VT_BSTR) args[i].bstrVal = SysAllocString(L"");
            } else {
                hr = VariantChangeType(&args[i], const_cast<VARIANT*>(&g), 0, vt);
            }
        }
        if (SUCCEEDED(hr)) hr = RaiseEvent(id, args);
        for (auto& a : args)
            if (!(a.vt & VT_BYREF)) VariantClear(&a);
        if (FAILED(hr)) return hr;
        for (VARTYPE vt : types)
            if (vt == (VT_BOOL | VT_BYREF)) {
                result->vt = VT_BOOL;
                result->boolVal = handled;
            }
        return S_OK;
    }
    STDMETHODIMP get_SinkCount(LONG* v) override {
        if (!v) return E_POINTER;
        *v = static_cast<LONG>(App().sinks.size());
        return S_OK;
    }
    STDMETHODIMP FireAnnotationMessage(BSTR message, IQxAnnotation* annotation, LONG* msgHandle) override {
        if (!msgHandle) return E_POINTER;
        VARIANT annot;
        annot.vt = VT_DISPATCH;
        annot.pdispVal = annotation;
        return RaiseAnnotationMessage(message, annot, msgHandle);
    }

    STDMETHODIMP Reset() override {
        ResetApp();
        ClearJournalLines();
        ClearCaptures();
        ClearNotificationLines();
        ClearFaults();
        SetRecording(true);
        return S_OK;
    }
    STDMETHODIMP RemoveCommandBar(BSTR name, LONG* removed) override {
        if (!removed) return E_POINTER;
        auto& bars = App().bars;
        size_t before = bars.size();
        std::wstring n = Str(name);
        bars.erase(std::remove_if(bars.begin(), bars.end(), [&](const std::shared_ptr<BarData>& b) { return b->name == n; }),
                   bars.end());
        *removed = static_cast<LONG>(before - bars.size());
        return S_OK;
    }
    STDMETHODIMP FailOperation(BSTR operation, LONG hr, LONG times, LONG skip) override {
        if (times == 0) RemoveFaults(Str(operation));
        else AddFault(Str(operation), hr, false, times, skip);
        return S_OK;
    }
    STDMETHODIMP NullOperation(BSTR operation, LONG times, LONG skip) override {
        if (times == 0) RemoveFaults(Str(operation));
        else AddFault(Str(operation), S_OK, true, times, skip);
        return S_OK;
    }
    STDMETHODIMP ClearFailures() override {
        ClearFaults();
        return S_OK;
    }
    STDMETHODIMP TypedJournalItem(LONG i, BSTR* line) override {
        if (i < 0 || i >= static_cast<LONG>(TypedJournalLines().size())) return DISP_E_BADINDEX;
        return OutString(TypedJournalLines()[i], line);
    }
    STDMETHODIMP get_TypedJournal(BSTR* v) override { return OutString(Joined(TypedJournalLines()), v); }

    STDMETHODIMP RemoveChrome(BSTR kind, BSTR name, LONG* count) override {
        return EditChrome(kind, [&](auto& list) {
            size_t before = list.size();
            list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& item) { return item->name == Str(name); }),
                       list.end());
            return static_cast<LONG>(before - list.size());
        }, count);
    }
    STDMETHODIMP RenameChrome(BSTR kind, BSTR name, BSTR newName, LONG* count) override {
        return EditChrome(kind, [&](auto& list) {
            LONG n = 0;
            for (auto& item : list)
                if (item->name == Str(name)) {
                    item->name = Str(newName);
                    ++n;
                }
            return n;
        }, count);
    }
    STDMETHODIMP MoveChrome(BSTR kind, BSTR name, LONG position, LONG* count) override {
        return EditChrome(kind, [&](auto& list) {
            for (size_t i = 0; i < list.size(); ++i)
                if (list[i]->name == Str(name)) {
                    auto item = list[i];
                    list.erase(list.begin() + static_cast<long>(i));
                    size_t at = std::min(static_cast<size_t>(std::max(position, 0L)), list.size());
                    list.insert(list.begin() + static_cast<long>(at), item);
                    return 1L;
                }
            return 0L;
        }, count);
    }
    STDMETHODIMP DetachFile(LONG* result) override {
        if (!result) return E_POINTER;
        auto e = ActiveEntry();
        *result = e ? 0 : -1;
        if (e) e->data->path.clear();
        return S_OK;
    }

    STDMETHODIMP ConnectAddIn(BSTR progId, LONG* result) override {
        if (!result) return E_POINTER;
        AddInEntry* e = Listed(progId);
        if (!e || !e->extension) {
            *result = E_INVALIDARG;
            return S_OK;
        }
        *result = Connect(*e);
        return S_OK;
    }
    STDMETHODIMP DisconnectAddIn(BSTR progId, LONG* result) override {
        if (!result) return E_POINTER;
        AddInEntry* e = Listed(progId);
        if (!e || !e->extension) {
            *result = E_INVALIDARG;
            return S_OK;
        }
        VARIANT custom;
        VariantInit(&custom);
        *result = e->extension->OnDisconnection(0, &custom);
        return S_OK;
    }

    STDMETHODIMP FireAnnotationMessageWith(BSTR message, VARIANT annotation, LONG* msgHandle) override {
        if (!msgHandle) return E_POINTER;
        VARIANT annot;
        VariantInit(&annot);
        HRESULT hr = VariantCopyInd(&annot, &annotation);
        if (FAILED(hr)) return hr;
        hr = RaiseAnnotationMessage(message, annot, msgHandle);
        VariantClear(&annot);
        return hr;
    }
    STDMETHODIMP FireEventRaw(LONG id, VARIANT args, VARIANT namedIds, LONG* status) override {
        if (!status) return E_POINTER;
        std::vector<VARIANT> raw, named;
        HRESULT hr = ArgumentList(args, &raw);
        if (SUCCEEDED(hr)) hr = ArgumentList(namedIds, &named);
        std::vector<DISPID> ids;
        for (auto& n : named) {
            long long v = 0;
            if (!VariantToLong(n, &v)) hr = E_INVALIDARG;
            ids.push_back(static_cast<DISPID>(v));
        }
        if (SUCCEEDED(hr) && ids.size() > raw.size()) hr = E_INVALIDARG;
        if (SUCCEEDED(hr)) *status = RaiseEventRaw(id, raw, ids);
        for (auto& v : raw) VariantClear(&v);
        for (auto& v : named) VariantClear(&v);
        return hr;
    }
    STDMETHODIMP InvokeRaw(IDispatch* object, BSTR member, VARIANT args, BSTR* description) override {
        if (!object || !description) return E_POINTER;
        std::vector<VARIANT> list;
        HRESULT hr = ArgumentList(args, &list);
        if (FAILED(hr)) return hr;
        std::vector<VARIANT> reversed(list.rbegin(), list.rend());
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR name = member;
        VARIANT result;
        VariantInit(&result);
        hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(hr)) {
            DISPPARAMS dp = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
            hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &dp, &result,
                                nullptr, nullptr);
        }
        wchar_t code[16];
        swprintf(code, 16, L"0x%08X", static_cast<unsigned>(hr));
        std::wstring text = std::wstring(code) + L" " + TypedVariant(result);
        VariantClear(&result);
        for (auto& v : list) VariantClear(&v);
        return OutString(text, description);
    }
    STDMETHODIMP DescribeVariant(VARIANT value, BSTR* text) override { return OutString(TypedVariant(value), text); }
    STDMETHODIMP get_TraceCount(LONG* v) override {
        if (!v) return E_POINTER;
        *v = static_cast<LONG>(Traces().size());
        return S_OK;
    }
    STDMETHODIMP TraceItem(LONG i, BSTR* text) override {
        if (i < 0 || i >= static_cast<LONG>(Traces().size())) return DISP_E_BADINDEX;
        return OutString(Traces()[i], text);
    }

    STDMETHODIMP get_LastOpenError(BSTR* v) override { return OutString(App().lastOpenError, v); }
    STDMETHODIMP get_LastSaveError(BSTR* v) override { return OutString(App().lastSaveError, v); }

    STDMETHODIMP get_AppDirectory(BSTR* v) override { return OutString(App().appDirectory, v); }
    STDMETHODIMP put_AppDirectory(BSTR v) override {
        App().appDirectory = Str(v);
        return S_OK;
    }

    // The script host's own echo turns non-ASCII text into "?" on a pipe or file, and
    // Wine 8's overflows its buffer doing so; this writes the text as it is.
    STDMETHODIMP WriteLine(BSTR text) override {
        std::wstring line = Str(text) + L"\n";
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (!out || out == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);
        DWORD mode = 0, written = 0;
        if (GetConsoleMode(out, &mode))
            return WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)
                       ? S_OK : HRESULT_FROM_WIN32(GetLastError());
        int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), n, nullptr, nullptr);
        for (size_t done = 0; done < utf8.size(); done += written)
            if (!WriteFile(out, utf8.data() + done, static_cast<DWORD>(utf8.size() - done), &written, nullptr))
                return HRESULT_FROM_WIN32(GetLastError());
        return S_OK;
    }

private:
    AddInEntry* Listed(BSTR progId) {
        for (auto& e : App().addIns)
            if (EqualNoCase(e.progId, Str(progId))) return &e;
        return nullptr;
    }
    HRESULT Connect(const AddInEntry& e) {
        VARIANT progIdValue;
        progIdValue.vt = VT_BSTR;
        progIdValue.bstrVal = SysAllocString(e.progId.c_str());
        IDispatch* inst = MakePropertyBag({{L"ProgId", progIdValue}});
        VariantClear(&progIdValue);
        VARIANT custom;
        VariantInit(&custom);
        IQxExtensibility* ext = e.extension;
        ext->AddRef();  // the connection may unload the add-in
        HRESULT hr = ext->OnConnection(app_, 1, inst, &custom);
        ext->Release();
        inst->Release();
        return hr;
    }
    template <class Edit>
    static HRESULT EditChrome(BSTR kind, Edit edit, LONG* count) {
        if (!count) return E_POINTER;
        std::wstring k = Str(kind);
        AppState& a = App();
        if (k == L"CommandBar") *count = edit(a.bars);
        else if (k == L"Pane") *count = edit(a.panes);
        else if (k == L"TabBar") *count = edit(a.tabBars);
        else if (k == L"Tool") *count = EditTools(edit);
        else return E_INVALIDARG;
        return S_OK;
    }
    // Tools are plain names; edit them as named items and write them back.
    template <class Edit>
    static LONG EditTools(Edit edit) {
        AppState& a = App();
        std::vector<std::shared_ptr<NamedFlag>> items;
        for (auto& t : a.tools) {
            auto n = std::make_shared<NamedFlag>();
            n->name = t;
            items.push_back(n);
        }
        std::shared_ptr<NamedFlag> current;
        if (a.currentTool >= 0 && a.currentTool < static_cast<long>(items.size())) current = items[a.currentTool];
        LONG r = edit(items);
        a.tools.clear();
        a.currentTool = 0;
        for (auto& n : items) {
            if (n == current) a.currentTool = static_cast<long>(a.tools.size());
            a.tools.push_back(n->name);
        }
        return r;
    }
    static std::wstring Joined(const std::vector<std::wstring>& lines) {
        std::wstring all;
        for (auto& l : lines) all += l + L"\n";
        return all;
    }
    static void Drop(AddInEntry& e) {
        if (e.object) e.object->Release();
        if (e.extension) e.extension->Release();
        if (e.standIn) e.standIn->Release();
    }
    IQxApplication* app_;
};

ClassObject g_factory(CreateObject<SimulatorObj>);

const wchar_t kProgId[] = L"Quirex.Simulator";
const wchar_t kProgIdVersioned[] = L"Quirex.Simulator.1";

// The classes this DLL serves: the simulator, and the stand-ins the component creates
// by class identifier only.
struct ServedClass {
    const CLSID* clsid;
    const wchar_t* description;
    IClassFactory* factory;
};
const ServedClass kClasses[] = {
    {&CLSID_QuirexSimulator, L"Quirex reader simulator", &g_factory},
    {&CLSID_BarcodeGeneratorStandIn, L"Barcode generator stand-in", BarcodeGeneratorFactory()},
    {&CLSID_SimKeyDevice, L"Signing-key device stand-in", KeyDeviceFactory()},
};

}  // namespace

}  // namespace qxsim

using namespace qxsim;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ServedClass& c : kClasses)
        if (clsid == *c.clsid) return c.factory->QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objectCount == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(g_module, path, MAX_PATH);
    bool ok = true;
    for (const ServedClass& c : kClasses) ok = ok && RegisterInprocClass(*c.clsid, c.description, path);
    const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_QuirexSimulator);
    ok = ok && SetClassesValue(clsid + L"\\ProgID", nullptr, kProgIdVersioned) &&
         SetClassesValue(clsid + L"\\VersionIndependentProgID", nullptr, kProgId) &&
         SetClassesValue(clsid + L"\\TypeLib", nullptr, GuidText(LIBID_Quirex));
    for (const wchar_t* progId : {kProgId, kProgIdVersioned})
        ok = ok && SetClassesValue(progId, nullptr, L"Quirex reader simulator") &&
             SetClassesValue(std::wstring(progId) + L"\\CLSID", nullptr, GuidText(CLSID_QuirexSimulator));
    ok = ok && SetClassesValue(std::wstring(kProgId) + L"\\CurVer", nullptr, kProgIdVersioned);
    if (!ok) return SELFREG_E_CLASS;
    ITypeLib* tl = nullptr;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_REGISTER, &tl);
    if (tl) tl->Release();
    return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    for (const ServedClass& c : kClasses) UnregisterClass(*c.clsid);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgIdVersioned);
    UnRegisterTypeLib(LIBID_Quirex, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    return S_OK;
}
