// Printing and print permissions through the DLL loaded by the reader simulator: the
// refusals the user sees, and the print call the reader receives.
#include "FamilyTestSupport.h"

#include <climits>
#include <functional>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const wchar_t kNoRight[] = L"MessageBoxW(null, \"对不起，您没有打印文档的权限！\", \"提示\", 16)";
const wchar_t kDocRefuses[] = L"MessageBoxW(null, \"对不起，该打印文档没有打印权限！\", \"提示\", 16)";
const wchar_t kZeroCopies[] = L"MessageBoxW(null, \"对不起，打印份数不能为0！\", \"提示\", 16)";

std::string Pages(int n, const std::string& extra = "") {
    std::string json = "{" + extra + "\"pages\":[";
    for (int i = 0; i < n; ++i) json += std::string(i ? "," : "") + "{\"text\":\"p\"}";
    return json + "]}";
}

// " | Document.PrintOut(...)" as the reader receives printer, range and copies (first = the
// first four arguments as the journal writes them).
std::wstring Printed(const std::wstring& first) {
    std::wstring line = L" | Document.PrintOut(" + first;
    for (int i = 0; i < 7; ++i) line += L", missing";
    return line + L")";
}
std::wstring Printed(const std::wstring& printer, const std::wstring& range, const std::wstring& copies) {
    return Printed(L"\"" + printer + L"\", \"" + range + L"\", missing, " + copies);
}

using PrintCall = std::function<HRESULT(IFoliumFun*, LONG*)>;
const UniqueBstr kP(L"P");
// Each print member with its gate: what it does once let through does not matter there.
const std::vector<std::pair<const char*, PrintCall>> kMembers = {
    {"WebPrint", [](IFoliumFun* f, LONG* r) { return f->WebPrint(1, kP.get(), 0, 0, 0, r); }},
    {"WebPrintEx", [](IFoliumFun* f, LONG* r) { return f->WebPrintEx(1, kP.get(), UniqueBstr(L"1").get(), 0, r); }},
    {"WebPrintControl",
     [](IFoliumFun* f, LONG* r) { return f->WebPrintControl(kP.get(), 3, 1, UniqueBstr(L"1").get(), 0, r); }},
};

class Printing : public ConnectedComponent {
protected:
    void SetUp() override {
        ConnectedComponent::SetUp();
        CaptureImports();
    }
    // One call as the script and the user see it: "S_OK 0 | Document.PrintOut(...) | MessageBoxW(...)".
    std::wstring Run(const PrintCall& call, LONG before) {
        sim->ClearJournal();
        sim->ClearCaptured();
        LONG r = before;
        HRESULT hr = call(fun.get(), &r);
        std::wstring out = (hr == S_OK ? L"S_OK " : hr == S_FALSE ? L"S_FALSE " : L"failed ") + std::to_wstring(r);
        for (auto& l : JournalLines())
            if (l.rfind(L"Document.PrintOut(", 0) == 0) out += L" | " + l;
        for (auto& l : CapturedOf()) out += L" | " + l;
        return out;
    }
};

TEST_F(Printing, EachRefusalIsToldOnceAndNothingIsPrinted) {
    struct Case {
        const char* document;  // null: none open
        LONG printRight;
        const wchar_t* message;
    };
    const Case cases[] = {
        {nullptr, 1, nullptr},  // no document: S_FALSE, nothing told
        {"", 0, kNoRight},      // the reader's right comes first, whatever the document says
        {"\"permissions\":{\"0\":false},", 0, kNoRight},
        {"\"permissions\":{\"0\":false},", 1, kDocRefuses},
    };
    for (const auto& c : cases) {
        if (c.document) Open(Pages(3, c.document));
        app->put_PrintRight(c.printRight);
        for (const auto& [name, call] : kMembers) {
            std::wstring want = (c.document ? L"S_OK " : L"S_FALSE ") +
                                std::wstring(std::string(name) == "WebPrint" ? L"0" : L"55") +
                                (c.message ? L" | " + std::wstring(c.message) : L"");
            EXPECT_EQ(Run(call, 55), want) << name << " right " << c.printRight;
        }
    }
}

TEST_F(Printing, RangesAndCopiesAsTheReaderReceivesThem) {
    const PrintCall printFile = [](IFoliumFun* f, LONG*) { return f->printFile(); };
    EXPECT_EQ(Run(printFile, 0), L"S_OK 0") << "no document";
    Open(Pages(10));
    struct Range {
        LONG from, to;
        const wchar_t* range;  // null: nothing printed
    };
    const Range ranges[] = {{0, 0, L"1-10"}, {3, 99, L"3-10"}, {11, 12, nullptr}, {5, 0, nullptr},
                            {2, 2, L"2-2"},  {4, 3, nullptr},  {0, 4, L"1-4"},    {INT_MAX, INT_MAX, nullptr}};
    for (const auto& c : ranges) {
        PrintCall call = [&](IFoliumFun* f, LONG* r) {
            return f->WebPrint(2, UniqueBstr(L"Office").get(), c.from, c.to, -1, r);
        };
        EXPECT_EQ(Run(call, 9), c.range ? L"S_OK 0" + Printed(L"Office", c.range, L"2") : L"S_FALSE 0")
            << c.from << "-" << c.to;
    }
    const UniqueBstr q(L"Q");
    const std::pair<PrintCall, std::wstring> calls[] = {
        {[](IFoliumFun* f, LONG* r) { return f->WebPrint(0, kP.get(), 1, 2, 0, r); },
         L"S_OK 0 | " + std::wstring(kZeroCopies)},
        {[](IFoliumFun* f, LONG* r) { return f->WebPrintEx(0, kP.get(), UniqueBstr(L"2-9x").get(), 0, r); },
         L"S_OK 0" + Printed(L"P", L"2-9x", L"0")},
        {[&](IFoliumFun* f, LONG* r) { return f->WebPrintControl(q.get(), 2, 5, UniqueBstr(L"3").get(), 0, r); },
         L"S_OK 0" + Printed(L"Q", L"3", L"2")},  // the smaller of the two counts
        {[&](IFoliumFun* f, LONG* r) { return f->WebPrintControl(q.get(), 9, 5, nullptr, 0, r); },
         L"S_OK 0" + Printed(L"Q", L"", L"5")},
        {[&](IFoliumFun* f, LONG* r) { return f->WebPrintControl(q.get(), -1, 5, UniqueBstr(L"3").get(), 0, r); },
         L"S_FALSE 7"},
    };
    for (const auto& [call, want] : calls) EXPECT_EQ(Run(call, 7), want);
    // printFile: every argument left to the reader, no gate.
    app->put_PrintRight(0);
    EXPECT_EQ(Run(printFile, 0), L"S_OK 0" + Printed(L"missing, missing, missing, missing"));
}

// (The print right's property is checked with the other rights in EnvironmentTests.)
TEST_F(Printing, ConfigAndWatermarkSwitches) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_PrintConfig), L"S_FALSE null") << "no document";
    Open(R"({"pages":[{"watermarks":[{"name":"draft","text":"D"}]},{}]})");
    ASSERT_EQ(fun->put_PrintConfig(UniqueBstr(L"duplex=1").get()), S_OK);
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_PrintConfig), L"S_OK duplex=1");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::NoPrintWMName, L"draft"), L"S_OK 0");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::NoPrintWMName, L"other"), L"S_OK 1");
    EXPECT_TRUE(Journaled(L"Watermarks.NoPrintByName(0, \"draft\")"));
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::CreatePrintWMStyle, L"ABC", 0.5f), L"S_OK 1");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::CreatePrintWMStyle, L"", 0.5f), L"S_FALSE 0");
}

// Names whose first H starts "HP" answer without asking the spooler; the others name no
// queue known here. With a real print queue (a CUPS queue the spooler lists, its name
// starting "Hewlett" and holding "HP", when the test set-up could make one) the queue's
// attributes answer: a CUPS queue does not talk both ways.
TEST_F(Printing, VirtualPrinterCheck) {
    std::vector<std::pair<std::wstring, LONG>> cases = {
        {L"HP LaserJet 400", 1}, {L"hp deskjet", 1},      {L"Office hP", 1}, {L"", -1},
        {L"Hewlett HP", -1},     {L"No such printer", -1}, {L"h", -1}};
    std::string state;
    if (ReadAll(Env(L"FOLIUM_PRINTER_STATE"), &state) && !state.empty()) {
        state = state.substr(0, state.find_first_of("\r\n"));
        std::wstring queue(state.begin(), state.end());
        cases.push_back({queue, 0});
        cases.push_back({queue + L"-gone", -1});
    }
    for (const auto& [name, expected] : cases) {
        const wchar_t* text = name.empty() ? nullptr : name.c_str();
        EXPECT_EQ(Early(fun.get(), &IFoliumFun::WebCheckActivePrinterIsVirtualPrinter, text),
                  L"S_OK " + std::to_wstring(expected))
            << testing::PrintToString(name);
    }
}

}  // namespace
