// "Veridane.Relay" stand-in transport: fields set by name become one DBSTEP
// packet POSTed to WebUrl; the reply's fields and file body are kept for
// GetMsgByName and MsgFileSave.
#include "RelayLink.h"

#include "App.h"
#include "dbstep/DbstepPacket.h"

namespace qxsim {

namespace {

// Field names and values travel in the page's ANSI code page.
std::string Ansi(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::wstring FromAnsi(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::wstring Text(const VARIANT& v) {
    std::wstring s;
    if (VariantToText(v, &s)) return s;
    VARIANT copy;
    VariantInit(&copy);
    if (SUCCEEDED(VariantChangeType(&copy, const_cast<VARIANT*>(&v), 0, VT_BSTR))) s = Str(copy.bstrVal);
    VariantClear(&copy);
    return s;
}

void SetBool(VARIANT* r, bool b) {
    VariantClear(r);
    r->vt = VT_BOOL;
    r->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetText(VARIANT* r, const std::wstring& s) {
    VariantClear(r);
    r->vt = VT_BSTR;
    r->bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

}  // namespace

struct RelayLink::State {
    std::wstring url, cookie;
    dbstep::Packet request, reply;
    bool hasReply = false;
};

RelayLink::RelayLink() : s_(new State) {}
RelayLink::~RelayLink() = default;

void RelayLink::Put(const std::wstring& member, const VARIANT& value) {
    if (member == L"WebUrl") s_->url = Text(value);
}

bool RelayLink::Call(const std::wstring& member, const std::vector<VARIANT>& args, VARIANT* result) {
    VARIANT scratch;
    VariantInit(&scratch);
    VARIANT* r = result ? result : &scratch;
    bool handled = true;
    if (member == L"SetMsgByName") {
        s_->request.set(Ansi(Text(args[0])), Ansi(Text(args[1])));
        SetBool(r, true);
    } else if (member == L"GetMsgByName") {
        const std::string* v = s_->reply.find(Ansi(Text(args[0])));
        SetText(r, v ? FromAnsi(*v) : std::wstring());
    } else if (member == L"ClearMessage") {
        s_->request = dbstep::Packet{};
        s_->reply = dbstep::Packet{};
        s_->hasReply = false;
        VariantClear(r);
        r->vt = VT_I4;
        r->lVal = 1;
    } else if (member == L"CreateTempFileName") {
        SetText(r, TempFileName());
    } else if (member == L"INetSetCookieEx") {
        s_->cookie = Text(args[0]);
        SetBool(r, true);
    } else if (member == L"MsgFileLoad") {
        std::string bytes;
        bool ok = ReadWholeFile(Text(args[0]), &bytes);
        if (ok) s_->request.setBody(std::move(bytes));
        SetBool(r, ok);
    } else if (member == L"MsgFileSave") {
        SetBool(r, s_->hasReply && s_->reply.hasBody && WriteWholeFile(Text(args[0]), s_->reply.body));
    } else if (member == L"PostDBPacket") {
        std::string wire;
        bool ok = false;
        if (dbstep::encode(s_->request, dbstep::Limits{}, wire) == dbstep::Error::Ok && !s_->url.empty()) {
            HttpReply http;
            std::wstring headers = s_->cookie.empty() ? L"" : L"Cookie: " + s_->cookie + L"\r\n";
            if (HttpRequest(s_->url, L"POST", wire, L"application/x-dbstep", &http, headers)) {
                dbstep::Packet decoded;
                if (dbstep::decode(http.body, dbstep::Limits{}, decoded).ok()) {
                    s_->reply = std::move(decoded);
                    s_->hasReply = true;
                    std::wstring res = Lower(FromAnsi(s_->reply.get("RESULT")));
                    ok = http.status == 200 && res == L"ok";
                }
            }
        }
        SetBool(r, ok);
    } else if (member == L"Status") {
        SetText(r, FromAnsi(s_->reply.get("STATUS")));
    } else {
        handled = false;
    }
    VariantClear(&scratch);
    return handled;
}

}  // namespace qxsim
