// Capture of a module's Win32 calls through its import table (this test's own), and the
// signature core stand-in: the edges the component itself never reaches (its calls are checked
// by its own tests; objects made by class identifier in connection_tests).
#include "SimTestSupport.h"

#include <commdlg.h>

using namespace simtest;

namespace {

class CaptureTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        LONG patched = 0;
        ASSERT_EQ(S_OK, sim->CaptureImports(UniqueBstr(L"sim_capture_tests.exe").get(), &patched));
        EXPECT_EQ(4, patched) << "MessageBoxW, GetSaveFileNameW, GetUserNameW and GetLocalTime";
        sim->CaptureImports(UniqueBstr(L"NotLoaded.dll").get(), &patched);
        EXPECT_EQ(-1, patched) << "modules not loaded are not patched";
    }
    void Answer(const wchar_t* fn, const ScopedVariant& v) { sim->SetAnswer(UniqueBstr(fn).get(), *v.get()); }
};

TEST_F(CaptureTest, ShortBuffersAreRefusedAndMessageBoxesAndTheClockTakeTheAnswers) {
    Answer(L"MessageBoxW", ScopedVariant::I4(IDCANCEL));
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, L"first", L"", 0));
    EXPECT_EQ(IDOK, MessageBoxW(nullptr, L"second", L"", 0)) << "an empty queue answers OK";

    wchar_t buf[MAX_PATH] = L"";
    OPENFILENAMEW save = {};
    save.lStructSize = sizeof(save);
    save.lpstrFilter = L"PDF (*.pdf)\0*.pdf\0All\0*.*\0";
    save.lpstrFile = buf;
    save.nMaxFile = 8;
    Answer(L"GetSaveFileNameW", ScopedVariant::Bstr(L"D:\\a-very-long-name.pdf"));
    EXPECT_EQ(FALSE, GetSaveFileNameW(&save)) << "a path longer than the buffer is refused";

    Answer(L"GetUserNameW", ScopedVariant::Bstr(L"张三"));
    DWORD size = 2;
    EXPECT_EQ(FALSE, GetUserNameW(buf, &size));
    EXPECT_EQ(3u, size) << "the size it needs, with the NUL";

    Answer(L"GetLocalTime", ScopedVariant::Bstr(L"2026-03-04 05:06:07.089"));
    SYSTEMTIME t = {};
    GetLocalTime(&t);
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
