// Printing and print permissions through the DLL loaded by the reader simulator: the
// refusals the user sees, and the print call the reader receives.
#include "FamilyTestSupport.h"

#include <climits>
#include <string>
#include <tuple>
#include <vector>

using namespace testsupport;

namespace {

// The refusals as the journal shows them after the call.
const wchar_t kNoRight[] = L" | Win32.MessageBoxW(null, \"对不起，您没有打印文档的权限！\", \"提示\", 16)";
const wchar_t kDocRefuses[] = L" | Win32.MessageBoxW(null, \"对不起，该打印文档没有打印权限！\", \"提示\", 16)";
const wchar_t kZeroCopies[] = L" | Win32.MessageBoxW(null, \"对不起，打印份数不能为0！\", \"提示\", 16)";

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

using F = IFoliumFun;

class Printing : public ConnectedComponent {
protected:
    // An early-bound call as Early describes it, with the print calls and messages it caused.
    template <class M, class... A>
    std::wstring Print(M member, const A&... args) {
        sim->ClearJournal();
        const std::wstring answer = Call(member, args...);
        return answer + JournalShown({L"Document.PrintOut(", L"MessageBoxW("});
    }
};

TEST_F(Printing, EachRefusalIsToldOnceAndNothingIsPrinted) {
    CaptureImports();
    // The document (null: none open), the reader's print right and what the user is told.
    const std::tuple<const char*, LONG, const wchar_t*> cases[] = {
        {nullptr, 1, L""},  // no document: S_FALSE, nothing told
        {R"({"pages":[{},{},{}]})", 0, kNoRight},  // the reader's right comes first, whatever the document says
        {R"({"permissions":{"0":false},"pages":[{},{},{}]})", 0, kNoRight},
        {R"({"permissions":{"0":false},"pages":[{},{},{}]})", 1, kDocRefuses},
    };
    for (const auto& [document, printRight, message] : cases) {
        if (document) Open(document);
        app->put_PrintRight(printRight);
        // Only WebPrint writes its result (0) before the gate.
        const std::wstring told = message;
        const std::wstring status = document ? L"S_OK " : L"S_FALSE ";
        EXPECT_EQ((Lines{Print(&F::WebPrint, 1, L"P", 0, 0, 0), Print(&F::WebPrintEx, 1, L"P", L"1", 0),
                         Print(&F::WebPrintControl, L"P", 3, 1, L"1", 0)}),
                  (Lines{status + L"0" + told, status + L"7" + told, status + L"7" + told}))
            << "right " << printRight;
    }
}

// The print right's property is checked with the other rights in EnvironmentTests.
TEST_F(Printing, RangesCopiesConfigAndWatermarkSwitchesAsTheReaderReceivesThem) {
    CaptureImports();
    EXPECT_EQ((Lines{Print(&F::printFile), Call(&F::get_PrintConfig)}), (Lines{L"S_OK", L"S_FALSE null"}))
        << "no document";
    Open(R"({"pages":[{},{},{},{},{},{},{},{},{},{}]})");
    // From, to and the range printed (null: nothing printed).
    const std::tuple<LONG, LONG, const wchar_t*> ranges[] = {
        {0, 0, L"1-10"}, {3, 99, L"3-10"}, {11, 12, nullptr}, {5, 0, nullptr},
        {2, 2, L"2-2"},  {4, 3, nullptr},  {0, 4, L"1-4"},    {INT_MAX, INT_MAX, nullptr}};
    for (const auto& [from, to, range] : ranges)
        EXPECT_EQ(Print(&F::WebPrint, 2, L"Office", from, to, -1),
                  range ? L"S_OK 0" + Printed(L"Office", range, L"2") : L"S_FALSE 0")
            << from << "-" << to;
    // WebPrintControl prints the smaller of the two counts.
    EXPECT_EQ((Lines{Print(&F::WebPrint, 0, L"P", 1, 2, 0), Print(&F::WebPrintEx, 0, L"P", L"2-9x", 0),
                     Print(&F::WebPrintControl, L"Q", 2, 5, L"3", 0),
                     Print(&F::WebPrintControl, L"Q", 9, 5, nullptr, 0),
                     Print(&F::WebPrintControl, L"Q", -1, 5, L"3", 0)}),
              (Lines{L"S_OK 0" + std::wstring(kZeroCopies), L"S_OK 0" + Printed(L"P", L"2-9x", L"0"),
                     L"S_OK 0" + Printed(L"Q", L"3", L"2"), L"S_OK 0" + Printed(L"Q", L"", L"5"), L"S_FALSE 7"}));
    // printFile: every argument left to the reader, no gate.
    app->put_PrintRight(0);
    EXPECT_EQ(Print(&F::printFile), L"S_OK" + Printed(L"missing, missing, missing, missing"));
    Open(R"({"pages":[{"watermarks":[{"name":"draft","text":"D"}]},{}]})");
    EXPECT_EQ((Lines{Call(&F::put_PrintConfig, L"duplex=1"), Call(&F::get_PrintConfig),
                     Call(&F::NoPrintWMName, L"draft"), Call(&F::NoPrintWMName, L"other"),
                     Call(&F::CreatePrintWMStyle, L"", 0.5f)}),
              (Lines{L"S_OK", L"S_OK duplex=1", L"S_OK 0", L"S_OK 1", L"S_FALSE 0"}));
    EXPECT_TRUE(Journaled(L"Watermarks.NoPrintByName(0, \"draft\")"));
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
