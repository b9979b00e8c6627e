// The module: registration, per-user install, the class object, aggregation and unloading.
#include "TestSupport.h"
#include "QuirexAddin.h"
#include "SigilonBarcode.h"

using namespace testsupport;

namespace {

const std::wstring kClsidKey = L"CLSID\\{17C99564-9A70-4DEA-8D68-9D2D8217A0FD}";
const std::wstring kTypeLibKey = L"TypeLib\\{D1429C37-4B65-484D-B7C5-B36454D676A2}";
const std::wstring kUserClasses = L"Software\\Classes\\";

// Runs regsvr32 in its own process: the per-user switch stays set for the process that chose it.
DWORD RunRegsvr32(const std::wstring& args) {
    std::wstring cmd = L"regsvr32.exe /s " + args + L" \"" + DllPath() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

void ExpectMachineRegistration(const std::wstring& dllPath) {
    const std::wstring server = kClsidKey + L"\\InprocServer32";
    const struct {
        std::wstring key;
        const wchar_t* value;
        std::wstring expected;
    } values[] = {
        {L"Veridane.FoliumFun.1", nullptr, L"FoliumFun Class"},
        {L"Veridane.FoliumFun.1\\CLSID", nullptr, L"{17C99564-9A70-4DEA-8D68-9D2D8217A0FD}"},
        {L"Veridane.FoliumFun", nullptr, L"FoliumFun Class"},
        {L"Veridane.FoliumFun\\CurVer", nullptr, L"Veridane.FoliumFun.1"},
        {kClsidKey, nullptr, L"FoliumFun Class"},
        {kClsidKey + L"\\ProgID", nullptr, L"Veridane.FoliumFun.1"},
        {kClsidKey + L"\\VersionIndependentProgID", nullptr, L"Veridane.FoliumFun"},
        {server, L"ThreadingModel", L"Apartment"},
        {kClsidKey + L"\\TypeLib", nullptr, L"{D1429C37-4B65-484D-B7C5-B36454D676A2}"},
        {kClsidKey + L"\\Version", nullptr, L"1.0"},
    };
    for (const auto& v : values) {
        std::wstring text;
        EXPECT_TRUE(ReadRegString(HKEY_CLASSES_ROOT, v.key, v.value, text) && text == v.expected) << v.key << " " << text;
    }
    std::wstring path;
    ASSERT_TRUE(ReadRegString(HKEY_CLASSES_ROOT, server, nullptr, path));
    EXPECT_EQ(lstrcmpiW(path.c_str(), dllPath.c_str()), 0) << "server path";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey + L"\\Programmable"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\1.0"));
    // The application identifier is offered to the scripts but never written.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"AppID\\{FF80879B-F307-4A30-8EDE-39A8017D507B}"));
}

void ExpectNoMachineRegistration() {
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Veridane.FoliumFun.1"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Veridane.FoliumFun"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\1.0"));
}

class Registration : public ::testing::Test {
protected:
    ComApartment com;
    ComponentDll dll;
    void TearDown() override {
        // Leave the component registered machine-wide for the tests that follow.
        ASSERT_EQ(RunRegsvr32(L""), 0u);
        for (const std::wstring& key : {std::wstring(L"Veridane.FoliumFun.1"), std::wstring(L"Veridane.FoliumFun"), kClsidKey}) {
            RegDeleteTreeW(HKEY_CURRENT_USER, (kUserClasses + key).c_str());
            RegDeleteKeyW(HKEY_CURRENT_USER, (kUserClasses + key).c_str());
        }
    }
};

TEST_F(Registration, RegisterWritesTheClassUnregisterRemovesItWholeAndTheThreadLocaleStays) {
    ASSERT_TRUE(dll.registerServer);
    const LCID before = GetThreadLocale();
    ASSERT_EQ(dll.unregisterServer(), S_OK);
    ASSERT_EQ(dll.registerServer(), S_OK);
    ExpectMachineRegistration(DllPath());
    // A key of our own below the class goes with it: the class key is removed whole.
    HKEY extra = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (kClsidKey + L"\\Extra").c_str(), &extra), ERROR_SUCCESS);
    RegCloseKey(extra);
    ASSERT_EQ(dll.unregisterServer(), S_OK);
    ExpectNoMachineRegistration();
    EXPECT_EQ(GetThreadLocale(), before);
}

// Only the command line "user" (in any letter case) installs (and uninstalls) for the current
// user alone; any other one machine-wide.
TEST_F(Registration, InstallForUserWritesUnderCurrentUserClassesAnyOtherCommandLineMachineWide) {
    const std::pair<const wchar_t*, bool> rows[] = {{L"user", true},       {L"USER", true}, {L"User", true},
                                                    {L"users", false},     {L"\"user \"", false},
                                                    {L"use", false},       {L"machine", false}};
    ASSERT_EQ(RunRegsvr32(L"/u"), 0u);
    for (const auto& [cmd, perUser] : rows) {
        SCOPED_TRACE(cmd);
        ASSERT_EQ(RunRegsvr32(std::wstring(L"/n /i:") + cmd), 0u);
        std::wstring v;
        const std::wstring server = kUserClasses + kClsidKey + L"\\InprocServer32";
        EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, server, nullptr, v), perUser);
        if (perUser) {
            EXPECT_EQ(lstrcmpiW(v.c_str(), DllPath().c_str()), 0);
            EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, kUserClasses + L"Veridane.FoliumFun.1\\CLSID", nullptr, v));
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Veridane.FoliumFun.1"));
        } else {
            ExpectMachineRegistration(DllPath());
        }
        // Uninstalled with the same command line, nothing is left in either place.
        ASSERT_EQ(RunRegsvr32(std::wstring(L"/u /n /i:") + cmd), 0u);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + kClsidKey));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + L"Veridane.FoliumFun.1"));
        ExpectNoMachineRegistration();
    }
}

TEST_F(Registration, FailedInstallLeavesNoPartialRegistration) {
    ASSERT_EQ(dll.unregisterServer(), S_OK);
    // A version-independent ProgID key that may not be written makes registration fail
    // after the versioned ProgID was written.
    HKEY blocker = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, L"Veridane.FoliumFun", &blocker), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR sd;
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ACL acl;
    ASSERT_TRUE(InitializeAcl(&acl, sizeof(acl), ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE));
    LONG e = RegSetKeySecurity(blocker, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(blocker);
    if (e != ERROR_SUCCESS) GTEST_SKIP() << "registry key security not available";
    HKEY probe = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Veridane.FoliumFun", 0, KEY_SET_VALUE, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Veridane.FoliumFun");
        GTEST_SKIP() << "registry key security not enforced here";
    }
    HRESULT hr = dll.install(TRUE, nullptr);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Veridane.FoliumFun.1"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey));
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Veridane.FoliumFun");
}

class ClassObject : public ::testing::Test {
protected:
    ComApartment com;
    ComponentDll dll;
};

// The class object makes this class only, unaggregated through anything but IUnknown; the
// object has one identity, IDispatch as its primary interface, its add-in part (which
// describes itself and implements nothing else) and never the event sink; while it lives
// the module stays loaded.
TEST_F(ClassObject, MakesOneObjectWithItsInterfaces) {
    ComPtr<IClassFactory> other;
    EXPECT_EQ(dll.getClassObject(IID_IFoliumFun, IID_IClassFactory, other.put_void()), CLASS_E_CLASSNOTAVAILABLE);
    auto f = dll.Factory();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IFoliumFun, nullptr), E_POINTER);
    ComPtr<IUnknown> u1, u2;
    ASSERT_EQ(f->CreateInstance(nullptr, IID_IUnknown, u1.put_void()), S_OK);
    ComPtr<IDispatch> disp;
    EXPECT_EQ(f->CreateInstance(u1.get(), IID_IDispatch, disp.put_void()), CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(disp);
    ComPtr<IUnknown> none;
    EXPECT_EQ(f->CreateInstance(nullptr, IID_IClassFactory, none.put_void()), E_NOINTERFACE);
    EXPECT_FALSE(none);

    ASSERT_EQ(u1->QueryInterface(IID_IDispatch, disp.put_void()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(disp.get()), u1.get()) << "IDispatch is the primary interface";
    ComPtr<IQxExtensibility> ext;
    ASSERT_EQ(u1->QueryInterface(IID_IQxExtensibility, ext.put_void()), S_OK);
    ASSERT_EQ(ext->QueryInterface(IID_IUnknown, u2.put_void()), S_OK);
    EXPECT_EQ(u1.get(), u2.get()) << "one identity";
    ComPtr<ISigilonBarcordCtrl> barcode;
    EXPECT_EQ(u1->QueryInterface(IID_ISigilonBarcordCtrl, barcode.put_void()), S_OK);
    for (const IID& iid : {IID_IClassFactory, DIID__IQxApplicationEvents}) {
        IUnknown* raw = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(u1->QueryInterface(iid, reinterpret_cast<void**>(&raw)), E_NOINTERFACE);
        EXPECT_EQ(raw, nullptr);
    }
    LPWSTR text = nullptr;
    EXPECT_EQ(ext->GetDescription(&text), E_NOTIMPL);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, L"Folium 适配接口");
    EXPECT_EQ(ext->OnAddInsUpdate(nullptr), E_NOTIMPL);
    EXPECT_EQ(ext->OnBeginShutdown(nullptr), E_NOTIMPL);
    EXPECT_EQ(ext->OnDisconnection(0, nullptr), E_NOTIMPL);
    f = nullptr;
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "an object lives";
}

// An outer object that aggregates the component and counts its own references.
class Outer : public IUnknown {
public:
    LONG refs = 1;
    ComPtr<IUnknown> inner;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
};

// Aggregated, the object gives its references and identity to the outer object; the
// module unloads only when no object, reference to the class object or server lock is left.
TEST_F(ClassObject, AggregatesAndUnloadsOnlyWhenNothingHoldsTheModule) {
    EXPECT_EQ(dll.canUnloadNow(), S_OK);
    auto f = dll.Factory();
    ASSERT_TRUE(f);
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "a reference to the class object locks the module";
    Outer outer;
    ASSERT_EQ(f->CreateInstance(&outer, IID_IUnknown, outer.inner.put_void()), S_OK);
    EXPECT_NE(outer.inner.get(), static_cast<IUnknown*>(&outer));
    ComPtr<IFoliumFun> fun;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IFoliumFun, fun.put_void()), S_OK);
    LONG before = outer.refs;
    fun->AddRef();
    EXPECT_EQ(outer.refs, before + 1) << "AddRef goes to the outer object";
    fun->Release();
    ComPtr<IUnknown> identity;
    ASSERT_EQ(fun->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer)) << "identity is the outer object";
    identity = nullptr;
    f = nullptr;
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "an object lives";
    f = dll.Factory();
    EXPECT_EQ(f->LockServer(TRUE), S_OK);
    f = nullptr;
    fun = nullptr;
    outer.inner = nullptr;
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE) << "the server lock holds";
    f = dll.Factory();
    EXPECT_EQ(f->LockServer(FALSE), S_OK);
    f = nullptr;
    EXPECT_EQ(dll.canUnloadNow(), S_OK);
}

}  // namespace
