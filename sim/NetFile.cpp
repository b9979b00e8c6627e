// HTTP transfers of the simulated reader over WinHTTP (no proxy, so loopback
// servers are reached directly).
#include <windows.h>
#include <winhttp.h>

#include "App.h"
#include "ObjectMacros.h"

namespace qxsim {

// One request; false when no reply arrived. Extra headers end with CR LF.
bool HttpRequest(const std::wstring& url, const wchar_t* verb, const std::string& body, const std::wstring& contentType,
                 HttpReply* reply, const std::wstring& extraHeaders) {
    URL_COMPONENTS uc = {};
    uc.dwStructSize = sizeof(uc);
    wchar_t host[256] = {}, path[4096] = {};
    uc.lpszHostName = host;
    uc.dwHostNameLength = 256;
    uc.lpszUrlPath = path;
    uc.dwUrlPathLength = 4096;
    wchar_t extra[4096] = {};
    uc.lpszExtraInfo = extra;
    uc.dwExtraInfoLength = 4096;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &uc)) return false;
    HINTERNET session = WinHttpOpen(L"QuirexSimulator/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session) return false;
    bool ok = false;
    HINTERNET conn = WinHttpConnect(session, host, uc.nPort, 0);
    if (conn) {
        std::wstring object = std::wstring(path) + extra;
        HINTERNET req = WinHttpOpenRequest(conn, verb, object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES,
                                           uc.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
        if (req) {
            std::wstring headers = (contentType.empty() ? L"" : L"Content-Type: " + contentType + L"\r\n") + extraHeaders;
            if (WinHttpSendRequest(req, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                   headers.empty() ? 0 : static_cast<DWORD>(-1),
                                   body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()),
                                   static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) &&
                WinHttpReceiveResponse(req, nullptr)) {
                DWORD status = 0, len = sizeof(status);
                WinHttpQueryHeaders(req, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                                    &status, &len, WINHTTP_NO_HEADER_INDEX);
                reply->status = static_cast<long>(status);
                reply->body.clear();
                for (;;) {
                    DWORD avail = 0;
                    if (!WinHttpQueryDataAvailable(req, &avail) || avail == 0) break;
                    size_t at = reply->body.size();
                    reply->body.resize(at + avail);
                    DWORD got = 0;
                    if (!WinHttpReadData(req, &reply->body[at], avail, &got)) break;
                    reply->body.resize(at + got);
                }
                ok = true;
            }
            WinHttpCloseHandle(req);
        }
        WinHttpCloseHandle(conn);
    }
    WinHttpCloseHandle(session);
    return ok;
}

namespace {

using Reply = HttpReply;

class NetFileObj : public Dual<IQxNetFile> {
public:
    STDMETHODIMP Reset() override {
        QX_TRY(Journal(L"NetFile.Reset()"));
        url_.clear();
        post_ = false;
        fields_.clear();
        files_.clear();
        reply_ = Reply{};
        transferred_ = false;
        return S_OK;
    }
    STDMETHODIMP Open(LONG flags, BSTR url, SHORT async, VARIANT user, VARIANT password, VARIANT_BOOL* opened) override {
        QX_TRY(Call(L"NetFile.Open").n(flags).s(url).n(async).v(user).v(password).log(), opened);
        if (!opened) return E_POINTER;
        url_ = Str(url);
        bool http = url_.rfind(L"http://", 0) == 0 || url_.rfind(L"https://", 0) == 0;
        *opened = QX_VB(http);
        if (!http) url_.clear();
        return S_OK;
    }
    STDMETHODIMP SetPost(LONG post) override {
        QX_TRY(Call(L"NetFile.SetPost").n(post).log());
        post_ = post != 0;
        return S_OK;
    }
    STDMETHODIMP AddFormField(BSTR name, BSTR value) override {
        QX_TRY(Call(L"NetFile.AddFormField").s(name).s(value).log());
        fields_.push_back({Str(name), Str(value)});
        return S_OK;
    }
    STDMETHODIMP AddFormFile(BSTR name, BSTR fileName) override {
        QX_TRY(Call(L"NetFile.AddFormFile").s(name).s(fileName).log());
        files_.push_back({Str(name), Str(fileName)});
        return S_OK;
    }
    STDMETHODIMP Transfer(VARIANT_BOOL* done) override {
        QX_TRY(Journal(L"NetFile.Transfer()"), done);
        if (!done) return E_POINTER;
        *done = VARIANT_FALSE;
        if (url_.empty()) return S_OK;
        std::string body;
        std::wstring type;
        if (post_ && (!fields_.empty() || !files_.empty())) {
            const std::string boundary = "----QuirexSimulatorBoundary7MA4YWxk";
            type = L"multipart/form-data; boundary=" + ToWide(boundary);
            for (auto& [n, v] : fields_)
                body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + ToUtf8(n) + "\"\r\n\r\n" +
                        ToUtf8(v) + "\r\n";
            for (auto& [n, path] : files_) {
                std::string bytes;
                if (!ReadWholeFile(path, &bytes)) return S_OK;
                std::wstring base = path.substr(path.find_last_of(L"\\/") + 1);
                body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + ToUtf8(n) + "\"; filename=\"" +
                        ToUtf8(base) + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n";
            }
            body += "--" + boundary + "--\r\n";
        }
        transferred_ = HttpRequest(url_, post_ ? L"POST" : L"GET", body, type, &reply_, L"");
        *done = QX_VB(transferred_);
        return S_OK;
    }
    QX_GETV(L"NetFile", Status, LONG, reply_.status)
    STDMETHODIMP SaveToFile(SHORT flags, BSTR fileName, VARIANT_BOOL* saved) override {
        QX_TRY(Call(L"NetFile.SaveToFile").n(flags).s(fileName).log(), saved);
        if (!saved) return E_POINTER;
        *saved = QX_VB(transferred_ && WriteWholeFile(Str(fileName), reply_.body));
        return S_OK;
    }
    STDMETHODIMP Close(VARIANT_BOOL* ok) override {
        QX_TRY(Journal(L"NetFile.Close()"), ok);
        if (!ok) return E_POINTER;
        *ok = QX_VB(transferred_ && reply_.status >= 200 && reply_.status < 300);
        return S_OK;
    }

private:
    std::wstring url_;
    bool post_ = false;
    std::vector<std::pair<std::wstring, std::wstring>> fields_, files_;
    Reply reply_;
    bool transferred_ = false;
};

}  // namespace

IQxNetFile* MakeNetFile() { return new NetFileObj; }

long HttpDownload(const std::wstring& url, const std::wstring& path) {
    Reply r;
    if (!HttpRequest(url, L"GET", {}, {}, &r, L"")) return -1;
    if (r.status >= 200 && r.status < 300 && !WriteWholeFile(path, r.body)) return -2;
    return r.status;
}

}  // namespace qxsim
