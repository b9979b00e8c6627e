#include "Registrar.h"

#include <cwctype>
#include <memory>
#include <vector>

#include "../support/Com.h"

namespace {

using folium::UniqueHkey;

std::wstring Upper(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) { return lstrcmpiW(a.c_str(), b) == 0; }

enum class ValueKind { None, String, Dword, Binary, Multi };

struct Value {
    ValueKind kind = ValueKind::None;
    std::wstring text;  // string, multi (NUL separated) or hex text
    DWORD number = 0;
};

struct Node {
    std::wstring name;
    bool isValue = false;     // "val name = ..."
    bool forceRemove = false;
    bool noRemove = false;
    bool deleteKey = false;   // "Delete name": removed when registering
    Value value;              // default value for keys, the value for val
    std::vector<Node> children;
};

// Tokenizer and parser of the script text.
class Parser {
public:
    Parser(const std::wstring& text, const std::map<std::wstring, std::wstring>& repl)
        : s_(text), repl_(repl) {}

    HRESULT ParseRoots(std::vector<Node>& roots) {
        for (;;) {
            std::wstring tok;
            HRESULT hr = Next(tok);
            if (hr == S_FALSE) return S_OK;
            if (FAILED(hr)) return hr;
            Node root;
            root.name = tok;
            hr = Expect(L"{");
            if (FAILED(hr)) return hr;
            hr = ParseBlock(root.children);
            if (FAILED(hr)) return hr;
            roots.push_back(std::move(root));
        }
    }

private:
    static constexpr HRESULT kSyntax = DISP_E_EXCEPTION;

    void SkipSpace() {
        while (pos_ < s_.size() && std::iswspace(s_[pos_])) ++pos_;
    }

    // Reads the next token: a quoted string (returned with a leading '\'' marker) or a run
    // of characters up to white space ("{", "}" and "=" stand apart by blanks, so "{GUID}"
    // is one word). S_FALSE at the end of the text.
    HRESULT Next(std::wstring& tok) {
        SkipSpace();
        tok.clear();
        if (pos_ >= s_.size()) return S_FALSE;
        if (s_[pos_] == L'\'') {
            ++pos_;
            std::wstring raw;
            for (;;) {
                if (pos_ >= s_.size()) return kSyntax;
                if (s_[pos_] == L'\'') {
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == L'\'') {
                        raw += L'\'';
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                raw += s_[pos_++];
            }
            HRESULT hr = Replace(raw, tok);
            if (FAILED(hr)) return hr;
            tok.insert(tok.begin(), L'\'');
            return S_OK;
        }
        std::wstring raw;
        while (pos_ < s_.size() && !std::iswspace(s_[pos_])) raw += s_[pos_++];
        return Replace(raw, tok);
    }

    // Expands %NAME% from the replacement map; "%%" is a literal percent sign.
    HRESULT Replace(const std::wstring& raw, std::wstring& out) {
        out.clear();
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != L'%') {
                out += raw[i];
                continue;
            }
            size_t end = raw.find(L'%', i + 1);
            if (end == std::wstring::npos) return kSyntax;
            if (end == i + 1) {
                out += L'%';
            } else {
                auto it = repl_.find(Upper(raw.substr(i + 1, end - i - 1)));
                if (it == repl_.end()) return kSyntax;
                out += it->second;
            }
            i = end;
        }
        return S_OK;
    }

    HRESULT Expect(const wchar_t* what) {
        std::wstring tok;
        HRESULT hr = Next(tok);
        if (hr != S_OK) return FAILED(hr) ? hr : kSyntax;
        return tok == what ? S_OK : kSyntax;
    }

    HRESULT ParseValue(Value& v) {
        std::wstring type, data;
        HRESULT hr = Next(type);
        if (hr != S_OK) return FAILED(hr) ? hr : kSyntax;
        hr = Next(data);
        if (hr != S_OK) return FAILED(hr) ? hr : kSyntax;
        if (data.empty() || data[0] != L'\'') return kSyntax;
        data.erase(0, 1);
        if (EqualsNoCase(type, L"s")) {
            v.kind = ValueKind::String;
            v.text = data;
        } else if (EqualsNoCase(type, L"d")) {
            v.kind = ValueKind::Dword;
            wchar_t* endp = nullptr;
            v.number = static_cast<DWORD>(wcstoul(data.c_str(), &endp, 0));
            if (!endp || *endp) return kSyntax;
        } else if (EqualsNoCase(type, L"b")) {
            v.kind = ValueKind::Binary;
            if (data.size() % 2) return kSyntax;
            for (wchar_t c : data)
                if (!std::iswxdigit(c)) return kSyntax;
            v.text = data;
        } else if (EqualsNoCase(type, L"m")) {
            v.kind = ValueKind::Multi;
            // "\0" separates the strings of a multi-string value.
            std::wstring m;
            for (size_t i = 0; i < data.size(); ++i) {
                if (data[i] == L'\\' && i + 1 < data.size() && data[i + 1] == L'0') {
                    m += L'\0';
                    ++i;
                } else {
                    m += data[i];
                }
            }
            v.text = m;
        } else {
            return kSyntax;
        }
        return S_OK;
    }

    // Parses key entries up to the closing brace.
    HRESULT ParseBlock(std::vector<Node>& out) {
        std::wstring tok;
        HRESULT hr = Next(tok);
        for (;;) {
            if (hr != S_OK) return FAILED(hr) ? hr : kSyntax;
            if (tok == L"}") return S_OK;
            Node n;
            for (;;) {
                if (EqualsNoCase(tok, L"ForceRemove")) n.forceRemove = true;
                else if (EqualsNoCase(tok, L"NoRemove")) n.noRemove = true;
                else if (EqualsNoCase(tok, L"Delete")) n.deleteKey = true;
                else if (EqualsNoCase(tok, L"val")) n.isValue = true;
                else break;
                hr = Next(tok);
                if (hr != S_OK) return FAILED(hr) ? hr : kSyntax;
            }
            if (tok == L"{" || tok == L"}" || tok == L"=" || tok[0] == L'\'') return kSyntax;
            n.name = tok;
            hr = Next(tok);
            if (hr == S_OK && tok == L"=") {
                hr = ParseValue(n.value);
                if (FAILED(hr)) return hr;
                hr = Next(tok);
            } else if (n.isValue) {
                return kSyntax;
            }
            if (hr == S_OK && tok == L"{") {
                if (n.isValue) return kSyntax;
                hr = ParseBlock(n.children);
                if (FAILED(hr)) return hr;
                hr = Next(tok);
            }
            out.push_back(std::move(n));
        }
    }

    const std::wstring& s_;
    const std::map<std::wstring, std::wstring>& repl_;
    size_t pos_ = 0;
};

HRESULT FromWin32(LONG e) { return e == ERROR_SUCCESS ? S_OK : folium::HResultFromWin32(e); }

HRESULT SetValue(HKEY key, const wchar_t* name, const Value& v) {
    LONG e = ERROR_SUCCESS;
    switch (v.kind) {
        case ValueKind::None:
            return S_OK;
        case ValueKind::String:
            e = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                               static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t)));
            break;
        case ValueKind::Multi: {
            std::wstring m = v.text;
            m.push_back(L'\0');
            m.push_back(L'\0');
            e = RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(m.data()),
                               static_cast<DWORD>(m.size() * sizeof(wchar_t)));
            break;
        }
        case ValueKind::Dword:
            e = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.number), sizeof(DWORD));
            break;
        case ValueKind::Binary: {
            std::vector<BYTE> bytes;
            for (size_t i = 0; i + 1 < v.text.size(); i += 2)
                bytes.push_back(static_cast<BYTE>(std::stoul(v.text.substr(i, 2), nullptr, 16)));
            e = RegSetValueExW(key, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
            break;
        }
    }
    return FromWin32(e);
}

bool HasSubKeys(HKEY key) {
    DWORD subKeys = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return true;
    return subKeys != 0;
}

HRESULT DeleteTree(HKEY parent, const std::wstring& name) {
    LONG e = RegDeleteTreeW(parent, name.c_str());
    if (e == ERROR_SUCCESS || e == ERROR_FILE_NOT_FOUND) {
        e = RegDeleteKeyW(parent, name.c_str());
        if (e == ERROR_FILE_NOT_FOUND) e = ERROR_SUCCESS;
    }
    return FromWin32(e);
}

HRESULT RegisterNodes(HKEY parent, const std::vector<Node>& nodes) {
    for (const Node& n : nodes) {
        if (n.isValue) {
            HRESULT hr = SetValue(parent, n.name.c_str(), n.value);
            if (FAILED(hr)) return hr;
            continue;
        }
        if (n.deleteKey) {
            HRESULT hr = DeleteTree(parent, n.name);
            if (FAILED(hr)) return hr;
            continue;
        }
        if (n.forceRemove) {
            HRESULT hr = DeleteTree(parent, n.name);
            if (FAILED(hr)) return hr;
        }
        UniqueHkey key;
        LONG e = RegCreateKeyExW(parent, n.name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key.put(),
                                 nullptr);
        if (e != ERROR_SUCCESS) return FromWin32(e);
        HRESULT hr = SetValue(key.get(), nullptr, n.value);
        if (FAILED(hr)) return hr;
        hr = RegisterNodes(key.get(), n.children);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Unregistration removes what registration made: ForceRemove keys whole, plain keys
// when nothing but what the script made is left below them, NoRemove keys never.
HRESULT UnregisterNodes(HKEY parent, const std::vector<Node>& nodes) {
    HRESULT result = S_OK;
    for (const Node& n : nodes) {
        if (n.isValue) {
            LONG e = RegDeleteValueW(parent, n.name.c_str());
            if (e != ERROR_SUCCESS && e != ERROR_FILE_NOT_FOUND) result = FromWin32(e);
            continue;
        }
        if (n.deleteKey) continue;
        if (n.forceRemove && !n.noRemove) {
            HRESULT hr = DeleteTree(parent, n.name);
            if (FAILED(hr)) result = hr;
            continue;
        }
        UniqueHkey key;
        LONG e = RegOpenKeyExW(parent, n.name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
        if (e == ERROR_FILE_NOT_FOUND) continue;
        if (e != ERROR_SUCCESS) {
            result = FromWin32(e);
            continue;
        }
        HRESULT hr = UnregisterNodes(key.get(), n.children);
        if (FAILED(hr)) result = hr;
        if (n.noRemove) continue;
        bool keep = HasSubKeys(key.get());
        key.reset();
        if (!keep) {
            e = RegDeleteKeyW(parent, n.name.c_str());
            if (e != ERROR_SUCCESS && e != ERROR_FILE_NOT_FOUND) result = FromWin32(e);
        }
    }
    return result;
}

HRESULT OpenRoot(const std::wstring& name, bool perUser, UniqueHkey& out) {
    HKEY root = nullptr;
    const wchar_t* sub = nullptr;
    if (EqualsNoCase(name, L"HKCR") || EqualsNoCase(name, L"HKEY_CLASSES_ROOT")) {
        root = perUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
        if (perUser) sub = L"Software\\Classes";
    } else if (EqualsNoCase(name, L"HKCU") || EqualsNoCase(name, L"HKEY_CURRENT_USER")) {
        root = HKEY_CURRENT_USER;
    } else if (EqualsNoCase(name, L"HKLM") || EqualsNoCase(name, L"HKEY_LOCAL_MACHINE")) {
        root = HKEY_LOCAL_MACHINE;
    } else if (EqualsNoCase(name, L"HKU") || EqualsNoCase(name, L"HKEY_USERS")) {
        root = HKEY_USERS;
    } else if (EqualsNoCase(name, L"HKCC") || EqualsNoCase(name, L"HKEY_CURRENT_CONFIG")) {
        root = HKEY_CURRENT_CONFIG;
    } else {
        return DISP_E_EXCEPTION;
    }
    LONG e = RegCreateKeyExW(root, sub ? sub : L"", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, out.put(), nullptr);
    return FromWin32(e);
}

}  // namespace

void CRegistrar::AddReplacement(const std::wstring& name, const std::wstring& value) {
    m_replacements[Upper(name)] = value;
}

HRESULT CRegistrar::Run(const std::wstring& script, bool doRegister) {
    std::vector<Node> roots;
    Parser parser(script, m_replacements);
    HRESULT hr = parser.ParseRoots(roots);
    if (FAILED(hr)) return hr;
    for (const Node& root : roots) {
        UniqueHkey key;
        hr = OpenRoot(root.name, m_perUser, key);
        if (FAILED(hr)) return hr;
        hr = doRegister ? RegisterNodes(key.get(), root.children) : UnregisterNodes(key.get(), root.children);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CRegistrar::RunResource(HMODULE module, UINT id, bool doRegister) {
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (!res) return folium::HResultFromWin32(static_cast<LONG>(GetLastError()));
    HGLOBAL data = LoadResource(module, res);
    DWORD size = SizeofResource(module, res);
    const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
    if (!bytes) return folium::HResultFromWin32(static_cast<LONG>(GetLastError()));
    std::wstring text;
    if (size) {
        int n = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), nullptr, 0);
        if (n <= 0) return E_FAIL;
        text.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), text.data(), n);
    }
    return Run(text, doRegister);
}
