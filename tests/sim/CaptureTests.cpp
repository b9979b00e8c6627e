// Capture of a module's message boxes, dialogs, clock and user name through its
// import table, and the signature core stand-in.
#include "SimTestSupport.h"

using namespace simtest;

namespace {

struct Probe {
    HMODULE dll = LoadLibraryW(Env(L"CAPTURE_PROBE_DLL").c_str());
    template <class F>
    F Get(const char* name) const {
        return reinterpret_cast<F>(GetProcAddress(dll, name));
    }
};

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = CreateSimulator();
        ASSERT_TRUE(sim);
        sim->Reset();
        ASSERT_TRUE(probe.dll) << "CAPTURE_PROBE_DLL must name capture_probe.dll";
        LONG patched = 0;
        ASSERT_EQ(S_OK, sim->CaptureImports(UniqueBstr(L"capture_probe.dll").get(), &patched));
        EXPECT_EQ(7, patched);
        sim->CaptureImports(UniqueBstr(L"NotLoaded.dll").get(), &patched);
        EXPECT_EQ(-1, patched) << "modules not loaded are not patched";
    }
    std::vector<std::wstring> Captured() { return quirexsim::Captured(sim.get()); }
    void Answer(const wchar_t* fn, const ScopedVariant& v) { sim->SetAnswer(UniqueBstr(fn).get(), *v.get()); }
    ComPtr<IQxSimulator> sim;
    Probe probe;
};

TEST_F(CaptureTest, MessageBoxIsLoggedAndAnsweredFromTheQueue) {
    auto box = probe.Get<int (*)(const wchar_t*)>("ProbeMessageBox");
    Answer(L"MessageBoxW", ScopedVariant::I4(IDCANCEL));
    EXPECT_EQ(IDCANCEL, box(L"请先打开文档！"));
    EXPECT_EQ(IDOK, box(L"second")) << "an empty queue answers OK";
    EXPECT_EQ((std::vector<std::wstring>{L"MessageBoxW(null, \"请先打开文档！\", \"提示\", 16)",
                                         L"MessageBoxW(null, \"second\", \"提示\", 16)"}),
              Captured());
    auto journal = JournalOf(sim.get());
    ASSERT_EQ(2u, journal.size());
    EXPECT_EQ(L"Win32.MessageBoxW(null, \"请先打开文档！\", \"提示\", 16)", journal[0]);
}

TEST_F(CaptureTest, FileDialogsReturnTheChosenPathOrCancel) {
    auto open = probe.Get<BOOL (*)(wchar_t*, DWORD)>("ProbeOpen");
    auto save = probe.Get<BOOL (*)(wchar_t*, DWORD)>("ProbeSave");
    wchar_t buf[MAX_PATH] = L"";
    Answer(L"GetOpenFileNameW", ScopedVariant::Bstr(L"C:\\docs\\合同.pdf"));
    EXPECT_EQ(TRUE, open(buf, MAX_PATH));
    EXPECT_STREQ(L"C:\\docs\\合同.pdf", buf);
    buf[0] = 0;
    EXPECT_EQ(FALSE, open(buf, MAX_PATH)) << "no answer cancels";
    Answer(L"GetSaveFileNameW", ScopedVariant::Bstr(L"D:\\out.pdf"));
    EXPECT_EQ(TRUE, save(buf, MAX_PATH));
    EXPECT_STREQ(L"D:\\out.pdf", buf);
    Answer(L"GetSaveFileNameW", ScopedVariant::Bstr(L"D:\\a-very-long-name.pdf"));
    EXPECT_EQ(FALSE, save(buf, 8)) << "a path longer than the buffer is refused";
    auto lines = Captured();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(L"GetOpenFileNameW(\"PDF (*.pdf)|*.pdf|All|*.*|\", \"\", \"\", \"pdf\", 2048, null, 0)", lines[0]);
}

TEST_F(CaptureTest, DialogLineShowsTitleAndFilterIndexAndAnAnswerCanPickTheFilter) {
    auto titled = probe.Get<DWORD (*)(wchar_t*, DWORD)>("ProbeSaveTitled");
    wchar_t buf[MAX_PATH] = L"";
    Answer(L"GetSaveFileNameW", ScopedVariant::Bstr(L"1|D:\\合同"));
    EXPECT_EQ(1u, titled(buf, MAX_PATH)) << "the answer chose the first filter";
    EXPECT_STREQ(L"D:\\合同", buf);
    Answer(L"GetSaveFileNameW", ScopedVariant::Bstr(L"D:\\b.pdf"));
    EXPECT_EQ(2u, titled(buf, MAX_PATH)) << "a plain path leaves the index alone";
    auto lines = Captured();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"GetSaveFileNameW(\"PDF|*.pdf|All|*.*|\", \"\", \"\", \"\", 0, \"保存文档\", 2)", lines[0]);
}

TEST_F(CaptureTest, TraceLinesAreKeptApartFromTheCapturedCalls) {
    auto trace = probe.Get<void (*)(const wchar_t*)>("ProbeTrace");
    trace(L"VD_Folium2018_Normal_打开");
    trace(nullptr);
    EXPECT_EQ((std::vector<std::wstring>{L"VD_Folium2018_Normal_打开", L""}), quirexsim::Traces(sim.get()));
    EXPECT_TRUE(Captured().empty());
    EXPECT_TRUE(JournalOf(sim.get()).empty());
    sim->ClearCaptured();
    EXPECT_TRUE(quirexsim::Traces(sim.get()).empty());
}

TEST_F(CaptureTest, ColourClockAndUserNameTakeTheTestsAnswers) {
    auto colour = probe.Get<BOOL (*)(COLORREF*)>("ProbeColor");
    auto clock = probe.Get<void (*)(SYSTEMTIME*)>("ProbeTime");
    auto user = probe.Get<BOOL (*)(wchar_t*, DWORD*)>("ProbeUser");
    COLORREF c = 0x0000FF;
    Answer(L"ChooseColorW", ScopedVariant::I4(0x123456));
    EXPECT_EQ(TRUE, colour(&c));
    EXPECT_EQ(0x123456u, c);
    EXPECT_EQ(FALSE, colour(&c)) << "no answer cancels";

    Answer(L"GetLocalTime", ScopedVariant::Bstr(L"2026-03-04 05:06:07.089"));
    SYSTEMTIME t = {};
    clock(&t);
    // 4 March 2026 is a Wednesday (3).
    EXPECT_EQ((std::vector<WORD>{2026, 3, 4, 5, 6, 7, 89, 3}),
              (std::vector<WORD>{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek}));

    sim->SetDefaultAnswer(UniqueBstr(L"GetUserNameW").get(), *ScopedVariant::Bstr(L"bob").get());
    Answer(L"GetUserNameW", ScopedVariant::Bstr(L"张三"));
    wchar_t name[64];
    DWORD size = 64;
    EXPECT_EQ(TRUE, user(name, &size));
    EXPECT_STREQ(L"张三", name);
    EXPECT_EQ(3u, size);
    for (int i = 0; i < 2; ++i) {
        size = 64;
        EXPECT_EQ(TRUE, user(name, &size));
        EXPECT_STREQ(L"bob", name);
    }
    size = 2;
    EXPECT_EQ(FALSE, user(name, &size));
    EXPECT_EQ(4u, size);
}

// ---- signature core stand-in ----------------------------------------------------------------

using GetConfigPath = int(WINAPI*)(char*, int*);
using CreateFromClsid = HRESULT(WINAPI*)(const CLSID*, const IID*, void**);

class SignatureCoreTest : public ::testing::Test {
protected:
    HMODULE dll = LoadLibraryW(Env(L"VD_SIGNATURE_CORE_DLL").c_str());
    GetConfigPath config = dll ? reinterpret_cast<GetConfigPath>(GetProcAddress(dll, "VD_GetConfigPath")) : nullptr;
    CreateFromClsid create =
        dll ? reinterpret_cast<CreateFromClsid>(GetProcAddress(dll, "VD_CoCreateInstanceFromClsID")) : nullptr;
};

TEST_F(SignatureCoreTest, ReportsTheConfigurationFolderInTheAnsiCodePage) {
    ASSERT_TRUE(config);
    SetEnvironmentVariableW(L"VD_CONFIG_DIR", L"C:\\签章\\Config");
    char buf[2048] = {};
    int size = 2048;
    EXPECT_EQ(0, config(buf, &size));
    wchar_t wide[256] = {};
    MultiByteToWideChar(CP_ACP, 0, buf, -1, wide, 256);
    EXPECT_STREQ(L"C:\\签章\\Config", wide);
    EXPECT_EQ(static_cast<int>(strlen(buf)), size);

    char small[6] = {};
    int smallSize = 6;
    config(small, &smallSize);
    EXPECT_EQ(5u, strlen(small)) << "cut to the caller's buffer";
    EXPECT_EQ(size, smallSize);
    SetEnvironmentVariableW(L"VD_CONFIG_DIR", nullptr);
}

TEST_F(SignatureCoreTest, CreatesObjectsByClassIdentifier) {
    ASSERT_TRUE(create);
    // The simulator's own class object, offered to COM for this test.
    HMODULE sim = LoadLibraryW(Env(L"QUIREX_SIM_DLL").c_str());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(GetProcAddress(sim, "DllGetClassObject"));
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, get(CLSID_QuirexSimulator, IID_IClassFactory, factory.put_void()));
    DWORD reg = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_QuirexSimulator, factory.get(), CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &reg));
    ComPtr<IQxSimulator> made;
    EXPECT_EQ(S_OK, create(&CLSID_QuirexSimulator, &IID_IQxSimulator, made.put_void()));
    EXPECT_TRUE(made);
    CoRevokeClassObject(reg);
    void* none = reinterpret_cast<void*>(1);
    const CLSID unknown = {0x0badc0de, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(REGDB_E_CLASSNOTREG, create(&unknown, &IID_IUnknown, &none));
    EXPECT_EQ(nullptr, none);
}

}  // namespace
