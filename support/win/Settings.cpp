#include "Settings.h"

#include <windows.h>
#include <msxml2.h>
#include <shlobj.h>

#include "../Com.h"
#include "CodePages.h"

namespace folium {

namespace {

// The system's XML DOM document: class {2933BF90-...}, interface {2933BF81-...}.
constexpr CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kDomDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring AppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
    return path;
}

std::wstring SystemFolder() {
    wchar_t path[257] = {};
    GetSystemDirectoryW(path, 256);
    return path;
}

std::wstring FirstExisting(const std::wstring (&candidates)[3]) {
    for (int i = 0; i < 2; ++i)
        if (Exists(candidates[i])) return candidates[i];
    return candidates[2];
}

void Check(HRESULT hr) {
    if (FAILED(hr)) ThrowHResult(hr);
}

// Writes the default document over the start of the file, creating it when missing.
bool WriteDefaultDocument(const std::wstring& path) {
    std::string narrow = NarrowToCodePage(CP_ACP, path);
    UniqueHandle file(CreateFileA(narrow.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
    DWORD size = static_cast<DWORD>(strlen(kDefaultSettingsDocument)), written = 0;
    BOOL ok = WriteFile(file.get(), kDefaultSettingsDocument, size, &written, nullptr);
    // An unreadable longer file must not keep its tail behind the new document.
    SetEndOfFile(file.get());
    FlushFileBuffers(file.get());
    return ok && written == size;
}

class ComInit {
public:
    ComInit() : hr_(CoInitialize(nullptr)) {}
    ~ComInit() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

private:
    HRESULT hr_;
};

}  // namespace

const char kDefaultSettingsDocument[] =
    "\xEF\xBB\xBF"
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\r\n"
    "<Brimwell>\r\n"
    "\t<QuirexXML>\r\n"
    "\t<Enabled>0</Enabled>\r\n"
    "\t<FontName>Batang</FontName>\r\n"
    "\t<FontSize>20</FontSize>\r\n"
    "\t<FontColor>#000000</FontColor>\r\n"
    "\t<PostitonLefe>0</PostitonLefe>\r\n"
    "\t<PostitonTop>0</PostitonTop>\r\n"
    "\t<DateTimeIndex>1</DateTimeIndex>\r\n"
    "\t<bAutoZoom>0</bAutoZoom>\r\n"
    "</QuirexXML>\r\n"
    "</Brimwell>\r\n";

std::wstring FindComponentSettingsFile(const SettingsFolders& folders, const char* name) {
    std::wstring n = WideFromCodePage(CP_ACP, name ? name : "");
    const std::wstring candidates[3] = {
        folders.pluginDir + L"\\Veridane.Folium\\" + n,
        AppDataFolder() + L"\\Sigilon_ConfigFile\\" + n,
        folders.moduleDir + L"\\Veridane.Folium\\" + n,
    };
    return FirstExisting(candidates);
}

std::wstring FindPublicSettingsFile(const SettingsFolders& folders, const char* name) {
    std::wstring n = WideFromCodePage(CP_ACP, name ? name : "");
    const std::wstring candidates[3] = {
        folders.configDir + L"\\settings\\" + n,
        AppDataFolder() + L"\\Sigilon_ConfigFile\\" + n,
        SystemFolder() + L"\\" + n,
    };
    return FirstExisting(candidates);
}

long WriteSettingValue(const SettingsFolders& folders, SettingsSearch search, const char* fileName, const wchar_t* key, const wchar_t* value) {
    ComInit com;
    ComPtr<IXMLDOMDocument> doc;
    if (FAILED(CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, kDomDocumentInterface,
                                doc.put_void())))
        return 0;
    std::wstring path =
        search == SettingsSearch::Component ? FindComponentSettingsFile(folders, fileName)
                                            : FindPublicSettingsFile(folders, fileName);
    auto source = ScopedVariant::Bstr(path.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    Check(doc->load(*source.get(), &loaded));
    if (loaded != VARIANT_TRUE) {
        if (!WriteDefaultDocument(path)) return 0;
        Check(doc->load(*source.get(), &loaded));
        if (loaded != VARIANT_TRUE) return 0;
    }
    const std::wstring wantKey = key ? key : L"";
    UniqueBstr text(value ? value : L"");
    long found = 0;
    ComPtr<IXMLDOMElement> root;
    Check(doc->get_documentElement(root.put()));
    if (root) {
        ComPtr<IXMLDOMNodeList> sections;
        Check(root->get_childNodes(sections.put()));
        long sectionCount = 0;
        if (sections) Check(sections->get_length(&sectionCount));
        for (long s = 0; s < sectionCount; ++s) {
            ComPtr<IXMLDOMNode> section;
            Check(sections->get_item(s, section.put()));
            if (!section) continue;
            ComPtr<IXMLDOMNodeList> nodes;
            Check(section->get_childNodes(nodes.put()));
            long nodeCount = 0;
            if (nodes) Check(nodes->get_length(&nodeCount));
            for (long i = 0; i < nodeCount; ++i) {
                ComPtr<IXMLDOMNode> node;
                Check(nodes->get_item(i, node.put()));
                if (!node) continue;
                UniqueBstr nodeName;
                Check(node->get_nodeName(nodeName.put()));
                if (wantKey == nodeName.c_str()) {
                    Check(node->put_text(text.get()));
                    found = 1;
                    break;  // first match in each section only
                }
            }
        }
    }
    Check(doc->save(*source.get()));
    return found;
}

}  // namespace folium
