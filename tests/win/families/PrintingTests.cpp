// Printing and print permissions through the DLL loaded by the reader simulator: the
// refusals the user sees, and the print call the reader receives.
#include "FamilyTestSupport.h"

#include <algorithm>
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
        CaptureImports();
        sim->ClearCaptured();
    }
    Lines Captured() { return CapturedOf(); }
    Lines PrintCalls() { return JournalWith(L"Document.PrintOut("); }
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
            EXPECT_EQ(Got(member.call(fun.get(), &result), &result),
                      Want(S_OK, std::string(member.name) == "WebPrint" ? 0 : 55))
                << member.name;
            EXPECT_EQ(Captured(), Lines{c.message}) << member.name;
            EXPECT_TRUE(PrintCalls().empty()) << member.name;
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
            EXPECT_EQ(PrintCalls(), Lines{PrintLine(L"Office", c.range, L"2")}) << c.from << "-" << c.to;
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
    EXPECT_EQ(Captured(), Lines{kZeroCopies});
    EXPECT_TRUE(PrintCalls().empty());

    sim->ClearJournal();
    ASSERT_EQ(fun->WebPrintEx(0, UniqueBstr(L"P").get(), UniqueBstr(L"2-9x").get(), 0, &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(fun->WebPrintControl(UniqueBstr(L"Q").get(), 2, 5, UniqueBstr(L"3").get(), 0, &result), S_OK);
    ASSERT_EQ(fun->WebPrintControl(UniqueBstr(L"Q").get(), 9, 5, nullptr, 0, &result), S_OK);
    result = 7;
    EXPECT_EQ(fun->WebPrintControl(UniqueBstr(L"Q").get(), -1, 5, UniqueBstr(L"3").get(), 0, &result), S_FALSE);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(PrintCalls(), (Lines{PrintLine(L"P", L"2-9x", L"0"), PrintLine(L"Q", L"3", L"2"),
                                                       PrintLine(L"Q", L"", L"5")}));
    EXPECT_EQ(Captured().size(), 1u) << "no further message";

    // printFile: every argument left to the reader, no gate.
    app->put_PrintRight(0);
    sim->ClearJournal();
    ASSERT_EQ(fun->printFile(), S_OK);
    std::wstring all = L"Document.PrintOut(missing";
    for (int i = 0; i < 10; ++i) all += L", missing";
    EXPECT_EQ(PrintCalls(), Lines{all + L")"});
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
    ASSERT_EQ(ScriptPut(L"PrintRight", VLong(0)), S_OK);
    EXPECT_EQ(I4(0), Script(L"PrintRight"));
    EXPECT_TRUE(Journaled(L"Application.PrintRight=0"));
    BSTR config = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(Got(fun->get_PrintConfig(&config), &config), Want(S_FALSE, L"(null)")) << "no document";
    Open(R"({"pages":[{"watermarks":[{"name":"draft","text":"D"}]},{}]})");
    ASSERT_EQ(ScriptPut(L"PrintConfig", VStr(L"duplex=1")), S_OK);
    EXPECT_EQ(Str(L"duplex=1"), Script(L"PrintConfig"));
    EXPECT_EQ(I4(0), Script(L"NoPrintWMName", {VStr(L"draft")}));
    EXPECT_EQ(I4(1), Script(L"NoPrintWMName", {VStr(L"other")}));
    EXPECT_TRUE(Journaled(L"Watermarks.NoPrintByName(0, \"draft\")"));
    LONG r = 5;
    EXPECT_EQ(Got(fun->CreatePrintWMStyle(UniqueBstr(L"ABC").get(), 0.5f, &r), &r), Want(S_OK, 1));
    EXPECT_EQ(Got(fun->CreatePrintWMStyle(UniqueBstr(L"").get(), 0.5f, &r), &r), Want(S_FALSE, 0));
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
        EXPECT_EQ(Got(fun->WebCheckActivePrinterIsVirtualPrinter(c.name[0] ? UniqueBstr(c.name).get() : nullptr, &v), &v),
                  Want(S_OK, c.expected))
            << "printer name " << testing::PrintToString(std::wstring(c.name));
    }
}

// The attribute path against a real print queue, when the test set-up could make one
// (a CUPS queue the system's spooler lists; its name starts "Hewlett" and holds "HP").
TEST_F(Printing, VirtualPrinterCheckReadsTheQueuesAttributes) {
    std::wstring stateFile = Env(L"FOLIUM_PRINTER_STATE");
    std::string text;
    if (!stateFile.empty()) ReadAll(stateFile, &text);
    std::wstring queue(text.begin(), std::find_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }));
    if (queue.empty()) GTEST_SKIP() << "no print queue on this machine";
    EXPECT_EQ(I4(0), Script(L"WebCheckActivePrinterIsVirtualPrinter", {VStr(queue.c_str())}))
        << "a CUPS queue does not talk both ways";
    EXPECT_EQ(I4(-1), Script(L"WebCheckActivePrinterIsVirtualPrinter", {VStr((queue + L"-gone").c_str())}));
}

}  // namespace
