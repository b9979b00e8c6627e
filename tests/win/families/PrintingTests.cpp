// Printing and print permissions through the DLL loaded by the reader simulator: the
// refusals the user sees, and the print call the reader receives.
#include "FamilyTestSupport.h"

#include <functional>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

std::string Pages(int n, const std::string& extra = "") {
    std::string json = "{" + extra + "\"pages\":[";
    for (int i = 0; i < n; ++i) json += std::string(i ? "," : "") + "{\"text\":\"p\"}";
    return json + "]}";
}

const wchar_t kNoRight[] = L"MessageBoxW(null, \"对不起，您没有打印文档的权限！\", \"提示\", 16)";
const wchar_t kDocRefuses[] = L"MessageBoxW(null, \"对不起，该打印文档没有打印权限！\", \"提示\", 16)";
const wchar_t kZeroCopies[] = L"MessageBoxW(null, \"对不起，打印份数不能为0！\", \"提示\", 16)";

class Printing : public ConnectedComponent {
protected:
    void SetUp() override {
        ConnectedComponent::SetUp();
        LONG patched = 0;
        ASSERT_EQ(sim->CaptureImports(UniqueBstr(L"FoliumAddin.dll").get(), &patched), S_OK);
        sim->ClearCaptured();
    }
    std::vector<std::wstring> Captured() {
        std::vector<std::wstring> out;
        LONG n = 0;
        sim->get_CapturedCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            sim->CapturedItem(i, line.put());
            out.push_back(line.c_str());
        }
        return out;
    }
    std::vector<std::wstring> PrintCalls() {
        std::vector<std::wstring> out;
        for (auto& l : JournalLines())
            if (l.rfind(L"Document.PrintOut(", 0) == 0) out.push_back(l);
        return out;
    }
    static std::wstring PrintLine(const std::wstring& printer, const std::wstring& range, const std::wstring& copies) {
        std::wstring line = L"Document.PrintOut(\"" + printer + L"\", \"" + range + L"\", missing, " + copies;
        for (int i = 0; i < 7; ++i) line += L", missing";
        return line + L")";
    }
};

// Each print member with its gate: what it does once let through does not matter here.
struct PrintMember {
    const char* name;
    std::function<HRESULT(IFoliumFun*, LONG*)> call;
};

std::vector<PrintMember> PrintMembers() {
    return {
        {"WebPrint", [](IFoliumFun* f, LONG* r) { return f->WebPrint(1, UniqueBstr(L"P").get(), 0, 0, 0, r); }},
        {"WebPrintEx",
         [](IFoliumFun* f, LONG* r) { return f->WebPrintEx(1, UniqueBstr(L"P").get(), UniqueBstr(L"1").get(), 0, r); }},
        {"WebPrintControl",
         [](IFoliumFun* f, LONG* r) {
             return f->WebPrintControl(UniqueBstr(L"P").get(), 3, 1, UniqueBstr(L"1").get(), 0, r);
         }},
    };
}

TEST_F(Printing, EachRefusalIsToldOnceAndNothingIsPrinted) {
    struct Case {
        LONG printRight;
        bool documentAllows;
        const wchar_t* message;
    };
    const Case cases[] = {
        {0, true, kNoRight},       // the reader's right comes first, whatever the document says
        {0, false, kNoRight},
        {1, false, kDocRefuses},
    };
    for (const auto& c : cases) {
        Open(Pages(3, c.documentAllows ? "" : "\"permissions\":{\"0\":false},"));
        app->put_PrintRight(c.printRight);
        for (const auto& member : PrintMembers()) {
            sim->ClearCaptured();
            sim->ClearJournal();
            LONG result = 55;
            EXPECT_EQ(member.call(fun.get(), &result), S_OK) << member.name;
            EXPECT_EQ(Captured(), std::vector<std::wstring>{c.message}) << member.name;
            EXPECT_TRUE(PrintCalls().empty()) << member.name;
            EXPECT_EQ(result, std::string(member.name) == "WebPrint" ? 0 : 55) << member.name;
        }
    }
}

TEST_F(Printing, PageRangesOfWebPrint) {
    Open(Pages(10));
    struct Case {
        LONG from, to;
        const wchar_t* range;  // null: nothing printed
    };
    const Case cases[] = {
        {0, 0, L"1-10"}, {3, 99, L"3-10"}, {11, 12, nullptr}, {5, 0, nullptr},
        {2, 2, L"2-2"},  {4, 3, nullptr},  {0, 4, L"1-4"},    {2147483647, 2147483647, nullptr},
    };
    for (const auto& c : cases) {
        sim->ClearJournal();
        LONG result = 9;
        HRESULT hr = fun->WebPrint(2, UniqueBstr(L"Office").get(), c.from, c.to, VARIANT_TRUE, &result);
        if (c.range) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(PrintCalls(), std::vector<std::wstring>{PrintLine(L"Office", c.range, L"2")}) << c.from << "-" << c.to;
        } else {
            EXPECT_TRUE(PrintCalls().empty()) << c.from << "-" << c.to;
        }
        EXPECT_EQ(result, 0) << "the reader's print result, or 0";
    }
    EXPECT_TRUE(Captured().empty());
}

TEST_F(Printing, CopiesAndRangesAsTheReaderReceivesThem) {
    Open(Pages(4));
    LONG result = 9;
    ASSERT_EQ(fun->WebPrint(0, UniqueBstr(L"P").get(), 1, 2, 0, &result), S_OK);
    EXPECT_EQ(Captured(), std::vector<std::wstring>{kZeroCopies});
    EXPECT_TRUE(PrintCalls().empty());

    sim->ClearJournal();
    ASSERT_EQ(fun->WebPrintEx(0, UniqueBstr(L"P").get(), UniqueBstr(L"2-9x").get(), 0, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(fun->WebPrintControl(UniqueBstr(L"Q").get(), 2, 5, UniqueBstr(L"3").get(), 0, &result), S_OK);
    ASSERT_EQ(fun->WebPrintControl(UniqueBstr(L"Q").get(), 9, 5, nullptr, 0, &result), S_OK);
    result = 7;
    EXPECT_EQ(fun->WebPrintControl(UniqueBstr(L"Q").get(), -1, 5, UniqueBstr(L"3").get(), 0, &result), S_FALSE);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(PrintCalls(), (std::vector<std::wstring>{PrintLine(L"P", L"2-9x", L"0"), PrintLine(L"Q", L"3", L"2"),
                                                       PrintLine(L"Q", L"", L"5")}));
    EXPECT_EQ(Captured().size(), 1u) << "no further message";

    // printFile: every argument left to the reader, no gate.
    app->put_PrintRight(0);
    sim->ClearJournal();
    ASSERT_EQ(fun->printFile(), S_OK);
    std::wstring all = L"Document.PrintOut(missing";
    for (int i = 0; i < 10; ++i) all += L", missing";
    EXPECT_EQ(PrintCalls(), std::vector<std::wstring>{all + L")"});
}

TEST_F(Printing, NoDocumentNoMessage) {
    for (const auto& member : PrintMembers()) {
        LONG result = 3;
        EXPECT_EQ(member.call(fun.get(), &result), S_FALSE) << member.name;
    }
    EXPECT_EQ(fun->printFile(), S_OK);
    EXPECT_TRUE(Captured().empty());
    EXPECT_TRUE(PrintCalls().empty());
}

TEST_F(Printing, RightConfigAndWatermarkSwitches) {
    LONG right = -1;
    ASSERT_EQ(fun->put_PrintRight(0), S_OK);
    ASSERT_EQ(fun->get_PrintRight(&right), S_OK);
    EXPECT_EQ(right, 0);
    EXPECT_TRUE(Journaled(L"Application.PrintRight=0"));

    BSTR config = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(fun->get_PrintConfig(&config), S_FALSE) << "no document";
    EXPECT_EQ(config, nullptr);
    Open(R"({"pages":[{"watermarks":[{"name":"draft","text":"D"}]},{}]})");
    ASSERT_EQ(fun->put_PrintConfig(UniqueBstr(L"duplex=1").get()), S_OK);
    ASSERT_EQ(fun->get_PrintConfig(&config), S_OK);
    EXPECT_STREQ(config, L"duplex=1");
    SysFreeString(config);

    LONG r = 5;
    ASSERT_EQ(fun->NoPrintWMName(UniqueBstr(L"draft").get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    ASSERT_EQ(fun->NoPrintWMName(UniqueBstr(L"other").get(), &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_TRUE(Journaled(L"Watermarks.NoPrintByName(0, \"draft\")"));

    ASSERT_EQ(fun->CreatePrintWMStyle(UniqueBstr(L"ABC").get(), 0.5f, &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(fun->CreatePrintWMStyle(UniqueBstr(L"").get(), 0.5f, &r), S_FALSE);
    EXPECT_EQ(r, 0);
}

TEST_F(Printing, VirtualPrinterCheckWithoutAQueue) {
    struct Case {
        const wchar_t* name;
        LONG expected;
    };
    // Names whose first H starts "HP" answer without asking the spooler; the others name
    // no queue known here.
    const Case cases[] = {
        {L"HP LaserJet 400", 1}, {L"hp deskjet", 1},      {L"Office hP", 1}, {L"", -1},
        {L"Hewlett HP", -1},     {L"No such printer", -1}, {L"h", -1},
    };
    for (const auto& c : cases) {
        LONG v = 42;
        EXPECT_EQ(fun->WebCheckActivePrinterIsVirtualPrinter(c.name[0] ? UniqueBstr(c.name).get() : nullptr, &v), S_OK);
        EXPECT_EQ(v, c.expected) << "printer name " << testing::PrintToString(std::wstring(c.name));
    }
}

// The attribute path against a real print queue, when the test set-up could make one
// (a CUPS queue the system's spooler lists; its name starts "Hewlett" and holds "HP").
TEST_F(Printing, VirtualPrinterCheckReadsTheQueuesAttributes) {
    std::wstring stateFile = Env(L"FOLIUM_PRINTER_STATE");
    std::wstring queue;
    if (!stateFile.empty()) {
        HANDLE h = CreateFileW(stateFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            char buf[256] = {};
            DWORD n = 0;
            ReadFile(h, buf, sizeof buf - 1, &n, nullptr);
            CloseHandle(h);
            for (DWORD i = 0; i < n && buf[i] != '\n' && buf[i] != '\r'; ++i) queue += static_cast<wchar_t>(buf[i]);
        }
    }
    if (queue.empty()) GTEST_SKIP() << "no print queue on this machine";
    LONG v = 42;
    ASSERT_EQ(fun->WebCheckActivePrinterIsVirtualPrinter(UniqueBstr(queue.c_str()).get(), &v), S_OK);
    EXPECT_EQ(v, 0) << "a CUPS queue does not talk both ways";
    v = 42;
    ASSERT_EQ(fun->WebCheckActivePrinterIsVirtualPrinter(UniqueBstr((queue + L"-gone").c_str()).get(), &v), S_OK);
    EXPECT_EQ(v, -1);
}

}  // namespace
