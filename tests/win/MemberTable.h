// The IFoliumFun interface table as listed in idl/members.tsv, and a sweep that calls
// every member with hostile arguments of every flavour.
#pragma once

#include <algorithm>
#include <climits>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace testsupport {

struct Member {
    DISPID id;
    std::wstring name;
    std::string kind;  // method, get, put
    std::vector<std::string> paramTypes;
    std::string resultType;  // empty when none
    std::string status;      // built, empty (deliberately does nothing) or pending
};

// The interface table as listed in idl/members.tsv: DISPID, name, kind, parameters
// ("type name, type name" or "-"), result ("type name" or "-"), family, status.
inline const std::vector<Member>& Members() {
    static std::vector<Member> members = [] {
        std::vector<Member> out;
        std::istringstream in(ReadAll(Env(L"FOLIUM_MEMBERS")));
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            std::vector<std::string> c;
            std::istringstream columns(line);
            for (std::string column; std::getline(columns, column, '\t');) c.push_back(column);
            if (c.size() < 7) continue;
            Member m;
            m.id = std::stoi(c[0]);
            m.name.assign(c[1].begin(), c[1].end());  // member names are ASCII
            m.kind = c[2];
            std::istringstream params(c[3] == "-" ? "" : c[3]);
            for (std::string param, type; std::getline(params, param, ',');) {
                std::istringstream(param) >> type;
                m.paramTypes.push_back(type);
            }
            if (c[4] != "-") std::istringstream(c[4]) >> m.resultType;
            m.status = c[6];
            out.push_back(m);
        }
        return out;
    }();
    return members;
}

inline VARTYPE VtOf(const std::string& t) {
    if (t == "long") return VT_I4;
    if (t == "bool") return VT_BOOL;
    if (t == "string") return VT_BSTR;
    if (t == "float") return VT_R4;
    if (t == "double") return VT_R8;
    return VT_VARIANT;
}

// Calls every member once, each parameter made by arg(v, type, position) from an empty
// VARIANT (cleared afterwards); skip names members the caller leaves out.
inline void CallEveryMember(IDispatch* disp,
                            const std::function<void(VARIANT&, const std::string&, size_t)>& arg,
                            const std::vector<std::wstring>& skip = {}) {
    for (const Member& m : Members()) {
        if (std::find(skip.begin(), skip.end(), m.name) != skip.end()) continue;
        std::vector<VARIANT> args(m.paramTypes.size());
        for (size_t i = 0; i < args.size(); ++i) {
            VariantInit(&args[i]);
            arg(args[i], m.paramTypes[i], i);
        }
        WORD flags = m.kind == "get" ? DISPATCH_PROPERTYGET
                     : m.kind == "put" ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD;
        ScopedVariant result;
        CallByName(disp, m.name.c_str(), flags, args, result.Receive());
        for (auto& v : args) VariantClear(&v);
    }
}

// One hostile flavour of argument: missing, empty, null, null string, null object,
// extreme numbers, long text.
constexpr size_t kHostileFlavours = 8;
inline void HostileArgument(size_t flavour, VARIANT& v, size_t position) {
    static const std::wstring longText(70000, L'字');
    const VARTYPE types[kHostileFlavours] = {VT_ERROR, VT_EMPTY, VT_NULL, VT_BSTR, VT_DISPATCH, VT_R8, VT_I4, VT_BSTR};
    v.vt = types[flavour % kHostileFlavours];
    switch (flavour % kHostileFlavours) {
        case 0: v.scode = DISP_E_PARAMNOTFOUND; break;
        case 3: v.bstrVal = nullptr; break;
        case 4: v.pdispVal = nullptr; break;
        case 5: v.dblVal = -1e300; break;
        case 6: v.lVal = (position % 2) ? INT_MIN : INT_MAX; break;
        case 7: v.bstrVal = SysAllocStringLen(longText.data(), static_cast<UINT>(longText.size())); break;
        default: break;
    }
}

// Calls every member with each hostile flavour. Any HRESULT will do: the point is that
// nothing crashes or hangs.
inline void SweepEveryMember(IDispatch* disp, const std::vector<std::wstring>& skip = {}) {
    for (size_t f = 0; f < kHostileFlavours; ++f)
        CallEveryMember(disp, [&](VARIANT& v, const std::string&, size_t i) { HostileArgument(f, v, i); }, skip);
}

}  // namespace testsupport
