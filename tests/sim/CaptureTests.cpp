// Capture of a module's Win32 calls through its import table, and the signature core
// stand-in: the edges the component itself never reaches (its calls are checked by its
// own tests; objects made by class identifier in connection_tests).
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

class CaptureTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_TRUE(probe.dll) << "CAPTURE_PROBE_DLL must name capture_probe.dll";
        LONG patched = 0;
        ASSERT_EQ(S_OK, sim->CaptureImports(UniqueBstr(L"capture_probe.dll").get(), &patched));
        EXPECT_EQ(4, patched);
        sim->CaptureImports(UniqueBstr(L"NotLoaded.dll").get(), &patched);
        EXPECT_EQ(-1, patched) << "modules not loaded are not patched";
    }
    void Answer(const wchar_t* fn, const ScopedVariant& v) { sim->SetAnswer(UniqueBstr(fn).get(), *v.get()); }
    Probe probe;
};

TEST_F(CaptureTest, ShortBuffersAreRefusedAndMessageBoxesAndTheClockTakeTheAnswers) {
    auto box = probe.Get<int (*)(const wchar_t*)>("ProbeMessageBox");
    Answer(L"MessageBoxW", ScopedVariant::I4(IDCANCEL));
    EXPECT_EQ(IDCANCEL, box(L"first"));
    EXPECT_EQ(IDOK, box(L"second")) << "an empty queue answers OK";

    auto save = probe.Get<BOOL (*)(wchar_t*, DWORD)>("ProbeSave");
    wchar_t buf[MAX_PATH] = L"";
    Answer(L"GetSaveFileNameW", ScopedVariant::Bstr(L"D:\\a-very-long-name.pdf"));
    EXPECT_EQ(FALSE, save(buf, 8)) << "a path longer than the buffer is refused";

    auto user = probe.Get<BOOL (*)(wchar_t*, DWORD*)>("ProbeUser");
    Answer(L"GetUserNameW", ScopedVariant::Bstr(L"张三"));
    DWORD size = 2;
    EXPECT_EQ(FALSE, user(buf, &size));
    EXPECT_EQ(3u, size) << "the size it needs, with the NUL";

    auto clock = probe.Get<void (*)(SYSTEMTIME*)>("ProbeTime");
    Answer(L"GetLocalTime", ScopedVariant::Bstr(L"2026-03-04 05:06:07.089"));
    SYSTEMTIME t = {};
    clock(&t);
    // 4 March 2026 is a Wednesday (3).
    EXPECT_EQ((std::vector<WORD>{2026, 3, 4, 5, 6, 7, 89, 3}),
              (std::vector<WORD>{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek}));
}

TEST(SignatureCore, ReportsTheConfigurationFolderCutToTheCallersBuffer) {
    HMODULE dll = LoadLibraryW(Env(L"VD_SIGNATURE_CORE_DLL").c_str());
    auto config = dll ? reinterpret_cast<int(WINAPI*)(char*, int*)>(GetProcAddress(dll, "VD_GetConfigPath")) : nullptr;
    ASSERT_TRUE(config);
    SetEnvironmentVariableW(L"VD_CONFIG_DIR", L"C:\\Config");
    char small[6] = {};
    int size = 6;
    EXPECT_EQ(0, config(small, &size));
    EXPECT_STREQ("C:\\Co", small);
    EXPECT_EQ(9, size) << "the whole length";
    SetEnvironmentVariableW(L"VD_CONFIG_DIR", nullptr);
}

}  // namespace
