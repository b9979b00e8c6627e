// IFoliumFun through IDispatch: type information, every member's name and DISPID,
// members that do nothing, and a sweep of hostile arguments over every member.
#include "MemberTable.h"

using namespace testsupport;

namespace {

class Dispatch : public ::testing::Test {
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
TEST_F(Dispatch, TypeInformationDescribesEveryMemberInTableOrder) {
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

TEST_F(Dispatch, EmptyMembersLeaveTheirResultAlone) {
    ComPtr<IFoliumFun> fun;
    ASSERT_EQ(disp.As(fun), S_OK);
    BSTR s = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(fun->GetErrorString(7, &s), S_OK);
    EXPECT_EQ(s, reinterpret_cast<BSTR>(0x1));
    EXPECT_EQ(fun->put_PageCount(9), S_OK);
}

TEST_F(Dispatch, SweepOfHostileArgumentsOverEveryMemberLeavesNothingBehind) {
    SweepEveryMember(disp.get());
    disp = nullptr;
    HMODULE module = GetModuleHandleW(L"FoliumAddin.dll");
    ASSERT_NE(module, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK) << "no object or lock outlives the sweep";
}

}  // namespace
