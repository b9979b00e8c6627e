// IFoliumFun through IDispatch: type information, every member's name and DISPID,
// members that do nothing, and a sweep of hostile arguments over every member.
#include <cstring>
#include <map>

#include "FamilyTestSupport.h"
#include "MemberTable.h"

using namespace testsupport;

namespace {

// The component alone, never connected to a reader.
class DispatchAlone : public ::testing::Test {
protected:
    ComApartment com;
    ComPtr<IDispatch> disp;
    void SetUp() override {
        ASSERT_EQ(CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, disp.put_void()),
                  S_OK);
    }
};

// The type information is the dual interface's table of operations, from the registered
// library (1.0, US English). Every member of the table, in table order: its name (in any
// letter case) resolves to its DISPID, and it has its vtable slot, kind and parameter types.
TEST_F(DispatchAlone, TypeInformationDescribesEveryMemberInTableOrder) {
    UINT count = 0;
    EXPECT_EQ(disp->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> vt;
    EXPECT_EQ(disp->GetTypeInfo(1, 0, vt.put()), DISP_E_BADINDEX);
    EXPECT_EQ(disp->GetTypeInfo(0, 0, nullptr), E_POINTER);
    ASSERT_EQ(disp->GetTypeInfo(0, 0, vt.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(vt->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IFoliumFun));
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    vt->ReleaseTypeAttr(attr);

    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(LIBID_FoliumAddinLib, 1, 0, 0x0409, lib.put()), S_OK);
    TLIBATTR* la = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&la), S_OK);
    EXPECT_EQ((std::vector<unsigned>{la->lcid, la->wMajorVerNum, la->wMinorVerNum}), (std::vector<unsigned>{1033, 1, 0}));
    lib->ReleaseTLibAttr(la);
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IFoliumFun, ti.put()), S_OK);
    ASSERT_EQ(ti->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
    ti->ReleaseTypeAttr(attr);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_FoliumFun, coclass.put()), S_OK);
    const std::pair<DISPID, const wchar_t*> helps[] = {{1, L"填充文本域"}, {15, L"方法 GotoFirstPage"}, {2, L"GetPageSize"}};
    for (const auto& [id, help] : helps) {
        UniqueBstr doc;
        ASSERT_EQ(ti->GetDocumentation(id, nullptr, doc.put(), nullptr, nullptr), S_OK);
        EXPECT_STREQ(doc.c_str(), help);
    }

    const auto& members = Members();
    EXPECT_EQ(members.size(), 323u) << "the table has every member";
    for (UINT i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        SCOPED_TRACE(std::string(m.name.begin(), m.name.end()));
        std::wstring upper = m.name;
        CharUpperW(upper.data());
        for (const std::wstring& name : {m.name, upper}) {
            DISPID id = 0;
            LPOLESTR n = const_cast<LPOLESTR>(name.c_str());
            ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id), S_OK);
            EXPECT_EQ(id, m.id);
        }
        FUNCDESC* fd = nullptr;
        ASSERT_EQ(vt->GetFuncDesc(i, &fd), S_OK);
        EXPECT_EQ(fd->memid, m.id);
        INVOKEKIND expected = m.kind == "get" ? INVOKE_PROPERTYGET : m.kind == "put" ? INVOKE_PROPERTYPUT : INVOKE_FUNC;
        EXPECT_EQ(fd->invkind, expected);
        // Slot order: 7 IDispatch slots come first.
        EXPECT_EQ(fd->oVft / static_cast<SHORT>(sizeof(void*)), static_cast<SHORT>(7 + i));
        size_t total = m.paramTypes.size() + (m.resultType.empty() ? 0 : 1);
        ASSERT_EQ(static_cast<size_t>(fd->cParams), total);
        for (size_t p = 0; p < m.paramTypes.size(); ++p)
            EXPECT_EQ(fd->lprgelemdescParam[p].tdesc.vt, VtOf(m.paramTypes[p])) << "parameter " << p;
        if (!m.resultType.empty()) {
            const ELEMDESC& r = fd->lprgelemdescParam[total - 1];
            EXPECT_EQ(r.tdesc.vt, VT_PTR);
            EXPECT_EQ(r.tdesc.lptdesc->vt, VtOf(m.resultType));
            EXPECT_TRUE(r.paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
        }
        vt->ReleaseFuncDesc(fd);
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    DISPID id = 0;
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
}

// An argument of a parameter type, as a page passes it.
VARIANT Argument(const std::string& type) {
    if (type == "bool") return VBool(true);
    if (type == "string") return VStr(L"1");
    if (type == "double") return ScopedVariant::R8(1).Detach();
    if (type == "float") return ScopedVariant::R4(1).Detach();
    return VLong(1);
}

class Dispatch : public ConnectedComponent {};

// Every member the table marks `empty`, on a reader with a document (a seal, a bookmark), the
// sibling add-ins and the system dialogs captured. Called early-bound through its vtable slot
// (table order, after the 7 of IDispatch) it succeeds and leaves its result slot as it was;
// called as a script calls it, it succeeds and the script sees the zero of the result's type.
// Neither call reaches the reader, an add-in or the system, and a put leaves what its get answers.
TEST_F(Dispatch, EmptyMembersLeaveTheirResultAlone) {
    CaptureImports();
    for (const wchar_t* progId : {L"Veridane.Folium2015", L"Quirex.OFDSignature", L"Quirex.Annots"}) {
        ComPtr<IQxStandIn> standIn;
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(progId).get(), standIn.put()), S_OK);
    }
    ASSERT_TRUE(Open(R"({"type":"PDF","pages":[{"text":"page one","annotations":[
        {"kind":12,"type":"Brimwell:AddSeal","rect":[10,10,60,60]}]},{"text":"page two"}],
        "bookmarks":[{"title":"one","page":1}]})"));
    const std::map<std::string, std::wstring> zero = {
        {"", L"VT_EMPTY=empty"}, {"long", L"VT_I4=0"}, {"bool", L"VT_BOOL=0"},
        {"string", L"VT_BSTR=\"\""}, {"variant", L"VT_EMPTY=empty"}};
    const auto& members = Members();
    size_t covered = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        if (m.status != "empty") continue;
        ++covered;
        const std::wstring name = m.name + L" " + std::wstring(m.kind.begin(), m.kind.end());
        const std::wstring before = m.kind == "put" ? Script(m.name.c_str()) : L"";
        sim->ClearJournal();

        std::vector<VARIANT> early;
        std::vector<VARTYPE> types;
        for (const std::string& type : m.paramTypes) {
            early.push_back(Argument(type));
            types.push_back(VtOf(type));
        }
        VARIANT marker{}, slot{};
        marker.vt = VT_I4;
        marker.llVal = 0x12345678;
        slot = marker;
        if (!m.resultType.empty()) {
            VARIANT out{};
            out.vt = VT_BYREF | VT_VARIANT;
            out.byref = m.resultType == "variant" ? static_cast<void*>(&slot) : static_cast<void*>(&slot.llVal);
            early.push_back(out);
            types.push_back(out.vt);
        }
        std::vector<VARIANT*> pointers;
        for (VARIANT& v : early) pointers.push_back(&v);
        VARIANT answer{};
        HRESULT called = DispCallFunc(fun.get(), (7 + i) * sizeof(void*), CC_STDCALL, VT_ERROR,
                                      static_cast<UINT>(early.size()), types.data(), pointers.data(), &answer);
        for (size_t p = 0; p < m.paramTypes.size(); ++p) VariantClear(&early[p]);
        std::wstring got = name + L": " + (called != S_OK ? L"not called" : answer.scode == S_OK ? L"S_OK" : L"failed");
        got += std::memcmp(&slot, &marker, sizeof slot) == 0 ? L" left" : L" written";

        std::vector<VARIANT> late;
        for (const std::string& type : m.paramTypes) late.push_back(Argument(type));
        const WORD flags = m.kind == "get" ? DISPATCH_PROPERTYGET
                           : m.kind == "put" ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD;
        ScopedVariant result;
        HRESULT hr = CallByName(disp.get(), m.name.c_str(), flags, late, result.Receive());
        for (VARIANT& v : late) VariantClear(&v);
        got += L", " + (hr == S_OK ? quirexsim::Describe(sim.get(), *result.get())
                                   : quirexsim::Describe(sim.get(), hr, *result.get()));
        got += JournalShown({L""});
        if (m.kind == "put" && Script(m.name.c_str()) != before) got += L", its get changed";
        EXPECT_EQ(name + L": S_OK left, " + zero.at(m.resultType), got);
    }
    EXPECT_GT(covered, 0u) << "the table marks members empty";
}

TEST_F(DispatchAlone, SweepOfHostileArgumentsOverEveryMemberLeavesNothingBehind) {
    SweepEveryMember(disp.get());
    disp = nullptr;
    HMODULE module = GetModuleHandleW(L"FoliumAddin.dll");
    ASSERT_NE(module, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK) << "no object or lock outlives the sweep";
}

}  // namespace
