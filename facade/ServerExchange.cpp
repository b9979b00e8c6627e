// Server exchange: documents, attachments, signature data and messages travel to and
// from the web server through the message-server add-in, in DBSTEP packets; and the
// stored properties that feed the packets' fields.
#include "FoliumFun.h"

#include <vector>

#include "../bridge/Bridge.h"
#include "FileHelpers.h"
#include "../support/Base64.h"
#include "../support/win/PathText.h"
#include "../support/win/Settings.h"
#include "../addin/Connection.h"

using folium::ComPtr;
using folium::InvokeByName;
using folium::ScopedVariant;
using folium::UniqueBstr;

using folium::Guarded;

namespace {

const wchar_t kRelay[] = L"Veridane.Relay";
const wchar_t kSignatureEngine[] = L"Veridane.Folium2015";

// A failed step ends an exchange: the member answers its failure value.
bool Ok(HRESULT hr) { return SUCCEEDED(hr); }

// The text in a result VARIANT; other types are converted, not reinterpreted.
UniqueBstr TextOf(const VARIANT* v) {
    auto text = folium::ReadBstr(v);
    return text && text->get() ? std::move(*text) : UniqueBstr(L"");
}

ScopedVariant Text(const wchar_t* s) { return ScopedVariant::Bstr(s); }

ScopedVariant Short(SHORT n) { return ScopedVariant::I2(n); }

// The message-server add-in and the calls the exchanges make on it.
class Relay {
public:
    explicit Relay(CFoliumFun& self) {
        UniqueBstr id(kRelay);
        self.GetSiblingAddIn(id.get(), m_d.put());
    }
    explicit operator bool() const { return static_cast<bool>(m_d); }

    // P1 to P3: the server address, the progress window, and the cookie when one was given.
    void Preamble(CFoliumFun& self, bool withCookie) {
        ScopedVariant url = Text(self.Exchange().webUrl.c_str());
        InvokeByName(DISPATCH_PROPERTYPUT, nullptr, m_d.get(), L"WebUrl", url.get());
        ScopedVariant schedule = Short(self.Exchange().showSchedule);
        InvokeByName(DISPATCH_PROPERTYPUT, nullptr, m_d.get(), L"ShowSchedule", schedule.get());
        if (withCookie && !self.Exchange().cookie.empty()) {
            ScopedVariant cookie = Text(self.Exchange().cookie.c_str()), ignored;
            InvokeByName(DISPATCH_METHOD, ignored.get(), m_d.get(), L"INetSetCookieEx", cookie.get());
        }
    }

    UniqueBstr CreateTempFileName() {
        ScopedVariant r;
        if (!Ok(InvokeByName(DISPATCH_METHOD, r.get(), m_d.get(), L"CreateTempFileName"))) return UniqueBstr(L"");
        return TextOf(r.get());
    }

    HRESULT SetMsg(const wchar_t* name, const wchar_t* value) {
        ScopedVariant n = Text(name), v = Text(value), ignored;
        return InvokeByName(DISPATCH_METHOD, ignored.get(), m_d.get(), L"SetMsgByName", v.get(), n.get());
    }

    // The reply field's text; false when the call failed.
    bool GetMsg(const wchar_t* name, UniqueBstr& value) {
        ScopedVariant n = Text(name), r;
        if (!Ok(InvokeByName(DISPATCH_METHOD, r.get(), m_d.get(), L"GetMsgByName", n.get()))) return false;
        value = TextOf(r.get());
        return true;
    }

    // The post's result VARIANT; the call's HRESULT.
    HRESULT Post(ScopedVariant& result) {
        ScopedVariant zero = Short(0);
        return InvokeByName(DISPATCH_METHOD, result.Receive(), m_d.get(), L"PostDBPacket", zero.get());
    }
    bool PostSucceeded() {
        ScopedVariant r;
        return Ok(Post(r)) && folium::ReadI4(r.get()).value_or(0) != 0;
    }

    // Moves the reply's file body to path, or makes path the outgoing file body.
    bool FileCall(const wchar_t* name, const wchar_t* path) {
        ScopedVariant p = Text(path), r;
        return Ok(InvokeByName(DISPATCH_METHOD, r.get(), m_d.get(), name, p.get())) && folium::ReadI4(r.get()).value_or(0) != 0;
    }

    // F1 to F7 in their fixed order; EXTPARAM only where the exchange sends it.
    void Fields(CFoliumFun& self, const wchar_t* option, bool withExtParam) {
        SetMsg(L"DBSTEP", L"DBSTEP");
        SetMsg(L"OPTION", option);
        SetMsg(L"FILETYPE", self.Exchange().fileType.empty() ? L".PDF" : self.Exchange().fileType.c_str());
        SetMsg(L"USERNAME", self.Exchange().userName.c_str());
        SetMsg(L"RECORDID", self.Exchange().recordId.c_str());
        SetMsg(L"FILENAME", self.Exchange().fileName.c_str());
        if (withExtParam) SetMsg(L"EXTPARAM", self.Exchange().extParam.c_str());
    }

    IDispatch* get() const { return m_d.get(); }

private:
    ComPtr<IDispatch> m_d;
};

bool ResultIsOk(Relay& relay) {
    UniqueBstr result;
    return relay.GetMsg(L"RESULT", result) && lstrcmpiW(result.c_str(), L"OK") == 0;
}

// The upload limit in whole kilobytes of the document's file on disk; shows the
// message and answers false when the file is larger.
bool WithinSizeLimit(CFoliumFun& self) {
    if (self.Exchange().maxFileSize == 0) return true;
    ComPtr<IQxDocumentFile> file;
    self.ActiveDocument()->get_FileInfo(file.put());
    LONG size = 0;
    if (file) file->get_Size(&size);
    if ((size >> 10) <= self.Exchange().maxFileSize) return true;
    MessageBoxW(GetActiveWindow(), L"对不起，超过文档上传最大限制大小！", L"提示", MB_ICONHAND);
    return false;
}

bool ReadWholeFile(const wchar_t* path, std::vector<unsigned char>& bytes) {
    folium::UniqueHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return bytes.empty() || (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                             got == bytes.size());
}


HRESULT SetString(folium::UniqueBstr& field, BSTR value) {
    return Guarded([&] {
        field = UniqueBstr::Copy(value);
        return S_OK;
    });
}

HRESULT GetString(const folium::UniqueBstr& field, BSTR* out) {
    if (!out) return E_POINTER;
    return Guarded([&] {
        *out = field.CopyOut();
        return S_OK;
    });
}

}  // namespace

// Stored properties.

STDMETHODIMP CFoliumFun::get_WebUrl(BSTR* pVal) { return GetString(UniqueBstr(), pVal); }
// An address cut short at an embedded NUL would reach another server: refused,
// and the address stored before stays.
STDMETHODIMP CFoliumFun::put_WebUrl(BSTR value) {
    return folium::HasEmbeddedNul(value) ? E_INVALIDARG : SetString(m_exchange.webUrl, value);
}
STDMETHODIMP CFoliumFun::put_RecordId(BSTR value) { return SetString(m_exchange.recordId, value); }
STDMETHODIMP CFoliumFun::get_FileName(BSTR* pVal) { return GetString(m_exchange.fileName, pVal); }

STDMETHODIMP CFoliumFun::put_FileName(BSTR value) {
    return Guarded([&] {
        m_exchange.fileName = UniqueBstr::Copy(value);
        if (m_spApplication) m_spApplication->put_FileName(m_exchange.fileName.get());
    });
}

STDMETHODIMP CFoliumFun::put_UserName(BSTR value) {
    return Guarded([&] {
        m_exchange.userName = UniqueBstr::Copy(value);
        if (!m_spApplication) return;
        ComPtr<IQxMainFrame> frame;
        m_spApplication->get_MainFrame(frame.put());
        if (frame) frame->put_UserName(m_exchange.userName.get());
    });
}

STDMETHODIMP CFoliumFun::put_ExtParam(BSTR value) { return SetString(m_exchange.extParam, value); }
STDMETHODIMP CFoliumFun::put_FileType(BSTR value) { return SetString(m_exchange.fileType, value); }
STDMETHODIMP CFoliumFun::get_UserID(BSTR* pVal) { return GetString(m_exchange.userId, pVal); }
STDMETHODIMP CFoliumFun::put_UserID(BSTR value) { return SetString(m_exchange.userId, value); }
STDMETHODIMP CFoliumFun::get_ThirdTime(BSTR* pVal) { return GetString(m_exchange.thirdTime, pVal); }
STDMETHODIMP CFoliumFun::put_ThirdTime(BSTR value) { return SetString(m_exchange.thirdTime, value); }

STDMETHODIMP CFoliumFun::get_MaxFileSize(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = m_exchange.maxFileSize;
    return S_OK;
}

STDMETHODIMP CFoliumFun::put_MaxFileSize(LONG value) {
    m_exchange.maxFileSize = value;
    return S_OK;
}

// Exchanges.

STDMETHODIMP CFoliumFun::WebOpen(VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    return Guarded([&] {
        folium::DebugTrace(L"WebOpen_开始");
        *bResult = 0;
        Relay relay(*this);
        if (relay) {
            relay.Preamble(*this, true);
            UniqueBstr temp = relay.CreateTempFileName();
            // The document-closed handler deletes download files once no document is open.
            m_tempFiles.push_back(UniqueBstr::Copy(temp.get()));
            relay.Fields(*this, L"LOADFILE", true);
            if (relay.PostSucceeded() && relay.FileCall(L"MsgFileSave", temp.c_str())) {
                ComPtr<IQxDocument> opened;
                folium::files::OpenLocalFile(*this, temp.c_str(), &opened);
                if (opened) *bResult = VARIANT_TRUE;
            }
        }
        folium::DebugTrace(L"WebOpen_结束");
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebSave(VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    return Guarded([&] {
        folium::DebugTrace(L"WebSave_开始");
        *bResult = 0;
        if (RefreshActiveDocument() != 0 || !folium::files::SaveAllowed(*this) || !WithinSizeLimit(*this)) return S_FALSE;
        Relay relay(*this);
        if (relay) {
            relay.Preamble(*this, true);
            UniqueBstr temp = relay.CreateTempFileName();
            LONG saved = 0;
            WebSaveLocalFile(temp.get(), &saved);
            if (saved == 1 && relay.FileCall(L"MsgFileLoad", temp.c_str())) {
                relay.Fields(*this, L"SAVEFILE", true);
                if (relay.PostSucceeded()) *bResult = VARIANT_TRUE;
            }
            folium::files::DeleteIfExists(temp.c_str());
        }
        folium::DebugTrace(L"WebSave_结束");
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebSaveEx(VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    return Guarded([&] {
        *bResult = 0;
        if (RefreshActiveDocument() != 0 || !folium::files::SaveAllowed(*this) || !WithinSizeLimit(*this)) return S_FALSE;
        Relay relay(*this);
        if (!relay) return S_OK;
        relay.Preamble(*this, false);
        UniqueBstr temp = relay.CreateTempFileName();
        LONG written = -1;
        if (!m_exchange.fileType.empty())
            m_spActiveDocument->Export(temp.get(), m_exchange.fileType.get(), VARIANT_FALSE, &written);
        else
            m_spActiveDocument->SaveAs(temp.get(), &written);
        if (written == 0 && relay.FileCall(L"MsgFileLoad", temp.c_str())) {
            relay.Fields(*this, L"SAVEFILE", true);
            if (relay.PostSucceeded()) *bResult = VARIANT_TRUE;
        }
        folium::files::DeleteIfExists(temp.c_str());
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebSaveAccessory(LONG* Result) {
    if (!Result) return E_POINTER;
    return Guarded([&] {
        *Result = 0;
        // The attachment steps need a document; without one nothing is sent.
        if (RefreshActiveDocument() != 0) return S_OK;
        ComPtr<IQxAttachments> attachments;
        m_spActiveDocument->get_Attachments(attachments.put());
        LONG count = 0;
        if (attachments) attachments->get_Count(&count);
        if (count <= 0) return S_OK;
        ComPtr<IQxAttachment> first;
        attachments->Item(0, first.put());
        if (!first) return S_OK;
        Relay relay(*this);
        if (!relay) return S_OK;
        // No preamble: the address is whatever an earlier exchange left on the server add-in.
        UniqueBstr temp = relay.CreateTempFileName();
        // The post is synchronous: once it is over the copy of the attachment goes.
        const folium::files::ScopedTempFile copy(temp.c_str());
        VARIANT_BOOL saved = 0;
        first->SaveToFile(temp.get(), &saved);
        if (saved == 0) return S_OK;
        if (relay.FileCall(L"MsgFileLoad", temp.c_str())) {
            relay.Fields(*this, L"SAVEACCESSORY", true);
            if (relay.PostSucceeded()) *Result = -1;
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebOpenBase64(LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        if (!m_spApplication) return S_OK;
        ComPtr<IQxDocuments> documents;
        m_spApplication->get_Documents(documents.put());
        Relay relay(*this);
        if (!relay) return S_OK;
        relay.Preamble(*this, false);
        UniqueBstr temp = relay.CreateTempFileName();
        // The base64 text is read whole and decoded here; the reader opens a file of
        // its own (below), so the text file goes when this member ends.
        const folium::files::ScopedTempFile text64(temp.c_str());
        relay.Fields(*this, L"LOADFILE", true);
        if (!relay.PostSucceeded() || !relay.FileCall(L"MsgFileSave", temp.c_str())) return S_OK;
        std::vector<unsigned char> text;
        if (!ReadWholeFile(temp.c_str(), text)) return S_OK;
        std::vector<std::uint8_t> bytes = folium::DecodeBase64(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
        if (bytes.empty() || !documents) return S_OK;
        // The decoded document reaches the reader through a file of its own, opened like
        // any local file; the reader keeps it open, so it is listed with the download files.
        UniqueBstr decoded = UniqueBstr::Copy(temp.get());
        std::wstring path = std::wstring(decoded.c_str()) + L".pdf";
        {
            folium::UniqueHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!out.valid()) return S_OK;
            DWORD written = 0;
            if (!WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                written != bytes.size())
                return S_OK;
        }
        UniqueBstr docPath(path.c_str());
        m_tempFiles.push_back(UniqueBstr::Copy(docPath.get()));
        ComPtr<IQxDocument> opened;
        folium::files::OpenLocalFile(*this, docPath.c_str(), &opened);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebSaveBase64(LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        if (RefreshActiveDocument() != 0 || !WithinSizeLimit(*this)) return S_FALSE;
        const std::wstring second = folium::files::CreateTempFile();
        Relay relay(*this);
        if (relay) {
            relay.Preamble(*this, false);
            UniqueBstr temp = relay.CreateTempFileName();
            // A full copy of the document: it goes once the post is over.
            const folium::files::ScopedTempFile copy(temp.c_str());
            LONG saved = 0;
            WebSaveLocalFile(temp.get(), &saved);
            std::vector<unsigned char> bytes;
            if (saved == 1 && ReadWholeFile(temp.c_str(), bytes)) {
                std::string text = folium::EncodeBase64(bytes.data(), bytes.size());
                // Base64 text is ASCII, the same in the thread's ANSI code page.
                folium::UniqueHandle out(CreateFileW(second.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                     FILE_ATTRIBUTE_NORMAL, nullptr));
                if (out.valid()) {
                    DWORD written = 0;
                    WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
                    FlushFileBuffers(out.get());
                }
                out.reset();
                if (relay.FileCall(L"MsgFileLoad", second.c_str())) {
                    relay.Fields(*this, L"SAVEFILE", true);
                    if (relay.PostSucceeded()) *lRet = -1;
                }
            }
        }
        folium::files::DeleteIfExists(second);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::SaveSignData(LONG* res) {
    if (!res) return E_POINTER;
    return Guarded([&] {
        *res = 1;
        UniqueBstr data(L"");
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IDispatch> engine;
        UniqueBstr engineId(kSignatureEngine);
        if (GetSiblingAddIn(engineId.get(), engine.put())) {
            ScopedVariant r;
            if (Ok(InvokeByName(DISPATCH_METHOD, r.get(), engine.get(), L"SaveSignDataToLocal"))) data = TextOf(r.get());
        }
        Relay relay(*this);
        if (relay) {
            relay.SetMsg(L"DBSTEP", L"DBSTEP");
            relay.SetMsg(L"OPTION", L"SAVESIGNATURE");
            relay.SetMsg(L"RECORDID", m_exchange.recordId.c_str());
            relay.SetMsg(L"Signature", data.c_str());
            if (relay.PostSucceeded() && ResultIsOk(relay)) *res = 0;
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::LoadSignData(LONG* res) {
    if (!res) return E_POINTER;
    return Guarded([&] {
        *res = 1;
        UniqueBstr data(L"");
        if (RefreshActiveDocument() != 0) return S_FALSE;
        Relay relay(*this);
        if (relay) {
            relay.SetMsg(L"DBSTEP", L"DBSTEP");
            relay.SetMsg(L"OPTION", L"LOADSIGNATURE");
            relay.SetMsg(L"RECORDID", m_exchange.recordId.c_str());
            if (relay.PostSucceeded() && ResultIsOk(relay)) relay.GetMsg(L"Signature", data);
        }
        ComPtr<IDispatch> engine;
        UniqueBstr engineId(kSignatureEngine);
        if (!data.empty() && GetSiblingAddIn(engineId.get(), engine.put())) {
            ScopedVariant arg = Text(data.c_str()), r;
            if (Ok(InvokeByName(DISPATCH_METHOD, r.get(), engine.get(), L"LoadLocalSignData", arg.get())))
                *res = folium::ReadI4(r.get()).value_or(*res);
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebSendMessage(LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        Relay relay(*this);
        if (!relay) return S_OK;
        relay.Fields(*this, L"SENDMESSAGE", false);
        ScopedVariant r;
        if (Ok(relay.Post(r))) *lRet = folium::ReadI4(r.get()).value_or(*lRet);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebGetMsgByName(BSTR sFieldName, BSTR* strRet) {
    if (!strRet) return E_POINTER;
    return Guarded([&] {
        UniqueBstr value(L"");
        Relay relay(*this);
        if (relay) relay.GetMsg(sFieldName ? sFieldName : L"", value);
        *strRet = value.CopyOut();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebSetMsgByName(BSTR sFieldName, BSTR sFieldValue, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        Relay relay(*this);
        if (relay && Ok(relay.SetMsg(sFieldName, sFieldValue))) *lRet = 0;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebClearMessage(LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        *lRet = 1;
        Relay relay(*this);
        ScopedVariant r;
        if (relay && Ok(InvokeByName(DISPATCH_METHOD, r.get(), relay.get(), L"ClearMessage"))) *lRet = folium::ReadI4(r.get()).value_or(*lRet);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::get_Status(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        UniqueBstr status(L"");
        Relay relay(*this);
        ScopedVariant r;
        if (relay && Ok(InvokeByName(DISPATCH_PROPERTYGET, r.get(), relay.get(), L"Status"))) status = TextOf(r.get());
        *pVal = status.CopyOut();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::get_ExtParam1(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        UniqueBstr value(L"");
        ComPtr<IDispatch> engine;
        UniqueBstr engineId(kSignatureEngine);
        ScopedVariant r;
        if (GetSiblingAddIn(engineId.get(), engine.put()) &&
            Ok(InvokeByName(DISPATCH_PROPERTYGET, r.get(), engine.get(), L"ExtParam1")))
            value = TextOf(r.get());
        *pVal = value.CopyOut();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_ExtParam1(BSTR value) {
    return Guarded([&] {
        ComPtr<IDispatch> engine;
        UniqueBstr engineId(kSignatureEngine);
        if (!GetSiblingAddIn(engineId.get(), engine.put())) return S_OK;
        ScopedVariant v = Text(value);
        return InvokeByName(DISPATCH_PROPERTYPUT, nullptr, engine.get(), L"ExtParam1", v.get());
    });
}

STDMETHODIMP CFoliumFun::SetPublicParam(BSTR Name, BSTR Value, BSTR /*HeaderValue*/, LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&] {
        *lResult = 0;
        if (!Name || !*Name) return S_OK;
        *lResult = folium::WriteSettingValue(ConnectionSettingsFolders(), folium::SettingsSearch::Public, "BrimwellPublic.dll", Name,
                                             Value ? Value : L"");
        return S_OK;
    });
}

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::put_Status(BSTR /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_RecordId(BSTR* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_UserName(BSTR* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ExtParam(BSTR* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_FileType(BSTR* /*pVal*/) { return S_OK; }
