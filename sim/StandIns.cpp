// Stand-ins for the sibling add-ins: late-bound objects that answer every member
// the siblings offer, with its call kind and argument count, and record each call.
#include <map>

#include "App.h"
#include "RelayLink.h"
#include "SealEngine.h"

namespace qxsim {

namespace {

struct Member {
    const wchar_t* name;
    const char* kinds;  // any of M (method), G (property read), P (property write)
    int args;           // arguments of the method form
};

// Members, call kinds and argument counts of each sibling add-in.
const std::vector<Member>& MembersOf(const std::wstring& progId) {
    static const std::vector<Member> folium = {
        {L"AddFieldSignature", "M", 1}, {L"AddSignatureByDlg", "M", 1}, {L"AddTextPosLoop", "M", 1},
        {L"CreateSignature", "M", 1}, {L"DeleteSignature", "M", 1}, {L"GetFieldByName", "M", 1},
        {L"GetFileBase64", "M", 1}, {L"LoadLocalSignData", "M", 1}, {L"ShedCryptoDocument", "M", 1},
        {L"ShowSignDlg", "M", 1}, {L"SignatureItem", "M", 1}, {L"VerifyPin", "M", 1},
        {L"VDAddBarcodeAnnot", "M", 1}, {L"VDLoginPhone", "M", 1}, {L"VDLogoutPhone", "M", 1},
        {L"CreateBarcodeSignature", "M", 2}, {L"GotoSignature", "M", 2}, {L"SetFieldByName", "M", 2},
        {L"FastSignature", "M", 3}, {L"FastSignatureByImage", "M", 3}, {L"SetSignatureParam", "M", 3},
        {L"SeriesSignature", "M", 7}, {L"FastSignatureByImageEx", "M", 8},
        {L"ClearFieldByName", "M", 0}, {L"CreateRaycodeSignature", "M", 0}, {L"GetDocumentID", "M", 0},
        {L"SaveSignDataToLocal", "M", 0}, {L"SignatureCount", "M", 0}, {L"SignatureNames", "M", 0},
        {L"WebGetKeySN", "M", 0}, {L"HaveSignature", "G", 0},
        {L"AlterUser", "GP", 0}, {L"AppCode", "GP", 0}, {L"ExtParam1", "GP", 0}, {L"SignatureMode", "GP", 0},
        {L"AllowSignID", "P", 0}, {L"AllowSignName", "P", 0}, {L"AllowSignTag", "P", 0},
        {L"AllowUserCode", "P", 0}, {L"AutoSign", "P", 0}, {L"CustomStraddle", "P", 0},
        {L"IsProtectDoc", "P", 0}, {L"ShowBarCodeDlg", "P", 0}, {L"SignatureImage", "P", 0},
        {L"SignaturePIN", "P", 0}, {L"SignaturePages", "P", 0}, {L"SignaturePos", "P", 0},
        {L"SignaturePosMode", "P", 0}, {L"TSPwd", "P", 0}, {L"TSServerURL", "P", 0}, {L"TSUser", "P", 0},
    };
    static const std::vector<Member> relay = {
        {L"SetMsgByName", "M", 2}, {L"GetMsgByName", "M", 1}, {L"INetSetCookieEx", "M", 1},
        {L"MsgFileLoad", "M", 1}, {L"MsgFileSave", "M", 1}, {L"PostDBPacket", "M", 1},
        {L"ClearMessage", "M", 0}, {L"CreateTempFileName", "M", 0}, {L"Status", "G", 0},
        {L"ShowSchedule", "P", 0}, {L"WebUrl", "P", 0},
    };
    static const std::vector<Member> inkpad = {
        {L"SetOption", "M", 2}, {L"GetAnnotString", "M", 1}, {L"ImportAnnot", "M", 11},
        {L"ImportImageAnnot", "M", 14}, {L"CreateHandWrite", "M", 0}, {L"AnnotInfo", "P", 0},
        {L"AnnotStampType", "P", 0},
    };
    static const std::vector<Member> toolkit = {{L"GetVersionEx", "M", 0}};
    static const std::vector<Member> annots = {
        {L"BuildStampModelImage", "M", 2}, {L"BuildStampModelTool", "M", 2}, {L"CommentWindow", "M", 2},
        {L"AddFreeTextCallout", "M", 0}, {L"ClearSelectAnnot", "M", 0}, {L"AnnotStampType", "P", 0},
    };
    static const std::vector<Member> ofd = {
        {L"CreateSignature", "M", 0}, {L"CreateCrossPageSignature", "M", 0}, {L"SignatureCount", "M", 0},
        {L"InvalidSignatureCount", "M", 0}, {L"DeleteLastSignature", "M", 1},
        {L"CrossPageSignFirstPage", "P", 0}, {L"CrossPageSignLoopPageSize", "P", 0},
        {L"CrossPageSignPageMode", "P", 0}, {L"CrossPageSignPageRatioDesc", "P", 0},
        {L"CrossPageSignType", "P", 0}, {L"SignatureImage", "P", 0}, {L"SignaturePIN", "P", 0},
        {L"SignaturePages", "P", 0}, {L"SignaturePos", "P", 0}, {L"SignaturePosMode", "P", 0},
    };
    static const std::vector<Member> none;
    if (EqualNoCase(progId, L"Veridane.Folium2015")) return folium;
    if (EqualNoCase(progId, L"Veridane.Relay")) return relay;
    if (EqualNoCase(progId, L"Veridane.Inkpad")) return inkpad;
    if (EqualNoCase(progId, L"Veridane.Toolkit")) return toolkit;
    if (EqualNoCase(progId, L"Quirex.Annots")) return annots;
    if (EqualNoCase(progId, L"Quirex.OFDSignature")) return ofd;
    return none;
}

struct Recorded {
    std::wstring line;
    std::vector<VARIANT> args;  // parameter order
};

struct StandInState {
    std::wstring progId;
    const std::vector<Member>* members;
    std::vector<Recorded> calls;
    std::map<std::wstring, VARIANT> results, properties;
    std::map<std::wstring, HRESULT> hresults;
    std::unique_ptr<RelayLink> relay;  // the message server's own behaviour
    std::unique_ptr<SealEngine> seals;  // the engines' seal behaviour
    ~StandInState() {
        for (auto& c : calls)
            for (auto& v : c.args) VariantClear(&v);
        for (auto& [k, v] : results) VariantClear(&v);
        for (auto& [k, v] : properties) VariantClear(&v);
    }
};

class SiblingDispatch : public LateBound {
public:
    explicit SiblingDispatch(std::shared_ptr<StandInState> s) : s_(std::move(s)) {}
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        const auto& m = *s_->members;
        for (size_t i = 0; i < m.size(); ++i)
            if (EqualNoCase(m[i].name, names[0])) ids[0] = static_cast<DISPID>(i + 1);
        return (ids[0] == DISPID_UNKNOWN || count > 1) ? DISP_E_UNKNOWNNAME : S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        const auto& m = *s_->members;
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (id < 1 || id > static_cast<DISPID>(m.size())) return DISP_E_MEMBERNOTFOUND;
        const Member& mem = m[id - 1];
        std::string kinds = mem.kinds;
        char kind;
        if (flags & DISPATCH_PROPERTYPUT) kind = 'P';
        else if ((flags & DISPATCH_METHOD) && kinds.find('M') != std::string::npos) kind = 'M';
        else if (flags & DISPATCH_PROPERTYGET) kind = 'G';
        else kind = 'M';
        UINT argc = dp ? dp->cArgs : 0;
        UINT named = dp ? dp->cNamedArgs : 0;

        Recorded rec;
        rec.line = std::wstring(mem.name) + L":" + wchar_t(kind) + L":" + Num((long long)argc);
        for (UINT i = 0; i < argc; ++i) {
            const VARIANT& a = dp->rgvarg[argc - 1 - i];
            VARIANT copy;
            VariantInit(&copy);
            VariantCopyInd(&copy, const_cast<VARIANT*>(&a));  // by-reference arguments die with the call
            rec.args.push_back(copy);
            rec.line += L"|" + VtName(a.vt) + L"=" + FormatVariant(a);
        }
        HRESULT hr = S_OK;
        if (kinds.find(kind) == std::string::npos) hr = DISP_E_MEMBERNOTFOUND;
        else if (kind == 'P' && (argc != 1 || named != 1 || dp->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
            hr = DISP_E_PARAMNOTFOUND;
        else if (kind == 'G' && argc != 0) hr = DISP_E_BADPARAMCOUNT;
        else if (kind == 'M' && argc != static_cast<UINT>(mem.args)) hr = DISP_E_BADPARAMCOUNT;
        else if (kind != 'P' && named != 0) hr = DISP_E_NONAMEDARGS;
        if (FAILED(hr)) rec.line += L" !rejected";
        JournalLine(s_->progId + L"!" + rec.line);
        s_->calls.push_back(std::move(rec));
        if (FAILED(hr)) return hr;

        std::wstring key = mem.name;
        auto r = s_->results.find(key);
        if (kind == 'P') {
            VARIANT& slot = s_->properties[key];
            VariantCopyInd(&slot, &dp->rgvarg[0]);
            if (s_->relay) s_->relay->Put(key, slot);
            if (s_->seals) s_->seals->Put(key, slot);
        } else if (r == s_->results.end() && s_->relay && s_->relay->Call(key, s_->calls.back().args, result)) {
            // answered by the stand-in's own behaviour
        } else if (r == s_->results.end() && s_->seals && s_->seals->Call(key, s_->calls.back().args, result)) {
            // answered by the engine's seal behaviour
        } else if (result) {
            if (r != s_->results.end()) {
                VariantClear(result);
                VariantCopy(result, &r->second);
            } else if (auto p = s_->properties.find(key); p != s_->properties.end()) {
                VariantClear(result);
                VariantCopy(result, &p->second);
            }
        }
        auto h = s_->hresults.find(key);
        return h != s_->hresults.end() ? h->second : S_OK;
    }

private:
    std::shared_ptr<StandInState> s_;
};

class StandInObj : public Dual<IQxStandIn> {
public:
    explicit StandInObj(std::shared_ptr<StandInState> s) : s_(std::move(s)), object_(new SiblingDispatch(s_)) {}
    ~StandInObj() override { object_->Release(); }
    STDMETHODIMP get_ProgId(BSTR* v) override { return OutString(s_->progId, v); }
    STDMETHODIMP get_Object(IDispatch** v) override { return OutAddRef<IDispatch>(object_, v); }
    STDMETHODIMP get_CallCount(LONG* v) override {
        if (!v) return E_POINTER;
        *v = static_cast<LONG>(s_->calls.size());
        return S_OK;
    }
    STDMETHODIMP CallItem(LONG i, BSTR* line) override {
        if (i < 0 || i >= static_cast<LONG>(s_->calls.size())) return DISP_E_BADINDEX;
        return OutString(s_->calls[i].line, line);
    }
    STDMETHODIMP get_Calls(BSTR* v) override {
        std::wstring all;
        for (auto& c : s_->calls) all += c.line + L"\n";
        return OutString(all, v);
    }
    STDMETHODIMP ClearCalls() override {
        for (auto& c : s_->calls)
            for (auto& a : c.args) VariantClear(&a);
        s_->calls.clear();
        return S_OK;
    }
    STDMETHODIMP SetResult(BSTR member, VARIANT value) override {
        if (!Known(member)) return DISP_E_UNKNOWNNAME;
        std::wstring key = Canonical(member);
        auto it = s_->results.find(key);
        if (it != s_->results.end()) {
            VariantClear(&it->second);
            s_->results.erase(it);
        }
        if (value.vt == VT_EMPTY) return S_OK;
        VARIANT& slot = s_->results[key];
        VariantInit(&slot);
        return VariantCopyInd(&slot, &value);
    }
    STDMETHODIMP SetHResult(BSTR member, LONG hr) override {
        if (!Known(member)) return DISP_E_UNKNOWNNAME;
        s_->hresults[Canonical(member)] = hr;
        return S_OK;
    }
    STDMETHODIMP PropertyValue(BSTR member, VARIANT* value) override {
        if (!value) return E_POINTER;
        VariantInit(value);
        auto it = s_->properties.find(Canonical(member));
        return it == s_->properties.end() ? S_OK : VariantCopy(value, &it->second);
    }
    STDMETHODIMP CallArgument(LONG index, LONG arg, VARIANT* value) override {
        if (!value) return E_POINTER;
        VariantInit(value);
        if (index < 0 || index >= static_cast<LONG>(s_->calls.size())) return DISP_E_BADINDEX;
        auto& args = s_->calls[index].args;
        if (arg < 0 || arg >= static_cast<LONG>(args.size())) return DISP_E_BADINDEX;
        return VariantCopy(value, &args[arg]);
    }

private:
    bool Known(BSTR member) const {
        for (auto& m : *s_->members)
            if (EqualNoCase(m.name, Str(member))) return true;
        return false;
    }
    std::wstring Canonical(BSTR member) const {
        for (auto& m : *s_->members)
            if (EqualNoCase(m.name, Str(member))) return m.name;
        return Str(member);
    }
    std::shared_ptr<StandInState> s_;
    IDispatch* object_;
};

}  // namespace

const wchar_t* const kSiblingProgIds[6] = {L"Veridane.Folium2015", L"Veridane.Relay", L"Veridane.Inkpad",
                                           L"Veridane.Toolkit",    L"Quirex.Annots",  L"Quirex.OFDSignature"};

bool IsSiblingProgId(const std::wstring& progId) { return !MembersOf(progId).empty(); }

IUnknown* MakeStandIn(const std::wstring& progId, IDispatch** object) {
    auto s = std::make_shared<StandInState>();
    s->progId = progId;
    s->members = &MembersOf(progId);
    for (auto* id : kSiblingProgIds)
        if (EqualNoCase(id, progId)) s->progId = id;
    if (s->progId == L"Veridane.Relay") s->relay.reset(new RelayLink);
    if (s->progId == L"Veridane.Folium2015" || s->progId == L"Quirex.OFDSignature")
        s->seals.reset(new SealEngine(s->progId == L"Quirex.OFDSignature"));
    auto* obj = new StandInObj(s);
    obj->get_Object(object);
    return static_cast<IQxStandIn*>(obj);
}

}  // namespace qxsim
