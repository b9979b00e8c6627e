// User tools, user menus and command enabling through the DLL loaded by the reader
// simulator: the controls the reader holds afterwards, and what a click on them reports.
// The current user menu is process-wide, so the test that needs none runs first.
#include "FamilyTestSupport.h"

#include <string>
#include <vector>

using namespace testsupport;

namespace {

// A row reading the mark (0xF0000000) the component puts on the controls it makes.
const std::wstring kMarked = L"UserData -> VT_I4=" + std::to_wstring(static_cast<LONG>(0xF0000000u));

class UserMenus : public ConnectedComponent {
protected:
    // The entries of a control collection (a walk to it) read back from the reader, each as
    // "tag[entries]", "-" after a disabled one.
    std::wstring Entries(const std::wstring& controls) {
        std::wstring out;
        for (LONG i = 0, n = std::stol(Host(controls + L".Count").substr(6)); i < n; ++i) {
            const std::wstring control = controls + L".Item(" + std::to_wstring(i) + L")";
            const std::wstring tag = Host(control + L".Tag");  // VT_BSTR="..."
            out += (i ? L"," : L"") + tag.substr(9, tag.size() - 10);
            if (Host(control + L".Enabled") != Bool(true)) out += L"-";
            if (Host(control + L".Type") == I4(3)) out += L"[" + Entries(control + L".Controls") + L"]";
        }
        return out;
    }
    std::wstring MenuEntries(const std::wstring& menu) {
        return Entries(L"CommandBars.Item(\"MenuBar\").Controls.Item(\"" + menu + L"\").Controls");
    }
    std::wstring BarEntries(const std::wstring& bar) { return Entries(L"CommandBars.Item(\"" + bar + L"\").Controls"); }
    // A bar "Probe" of the test's own, holding one button per caption (tag = position).
    void ProbeBar(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& captionsAndTips) {
        Host(L"CommandBars.Add(\"Probe\", missing)");
        for (size_t i = 0; i < captionsAndTips.size(); ++i) {
            const std::wstring control = L"CommandBars.Item(\"Probe\").Controls.Item(" + std::to_wstring(i) + L").";
            Host(L"CommandBars.Item(\"Probe\").Controls.Add(missing, missing, missing)");
            Host(control + L"Caption=\"" + captionsAndTips[i].first + L"\"");
            Host(control + L"TipText=\"" + captionsAndTips[i].second + L"\"");
            Host(control + L"Tag=\"" + std::to_wstring(i) + L"\"");
        }
    }
    void Append(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> keysAndCaptions) {
        for (auto [key, caption] : keysAndCaptions)
            ASSERT_EQ(fun->AppendMenu(UniqueBstr(key).get(), UniqueBstr(caption).get()), S_OK) << key;
    }
};

// Runs first: a numeric entry before any named menu in this process goes to the first menu.
TEST_F(UserMenus, SubmenuKeysOpenAndCloseLevels) {
    Append({{L"7", L"seven"}});
    EXPECT_EQ(MenuEntries(L"MenuFile"), L",,,7");
    Append({{L"Tools", L"ignored"}, {L"1", L"c1"}, {L"2>", L"c2"}, {L"3", L"c3"}, {L"4<", L"c4"}, {L"5", L"c5"}});
    EXPECT_EQ(MenuEntries(L"Tools"), L"1,2>[3],4<,5");
    // The page's menu follows the help menu.
    const std::wstring menu = L"reader.CommandBars.Item(\"MenuBar\").Controls.Item(\"";
    Steps({menu + L"MenuHelp\").Index -> VT_I4=4", menu + L"Tools\").Index -> VT_I4=5",
           menu + L"Tools\").Caption -> VT_BSTR=\"Tools\"", menu + L"Tools\")." + kMarked});
    // A named key already present adds nothing and makes that menu current again.
    Append({{L"Other", L""}, {L"Tools", L"x"}, {L"", L"empty key"}});
    EXPECT_EQ(MenuEntries(L"Tools"), L"1,2>[3],4<,5,");
    EXPECT_EQ(MenuEntries(L"Other"), L"");
}

// What a click on a control reports (its mark, tag and caption) is read back here; the
// click itself is the connection tests' own.
TEST_F(UserMenus, AToolIsMadeOnceAndWhatThePageMakesIsMarked) {
    // The second call updates the first button; an icon travels as bytes to the reader's image
    // store ("iVBORw0K": six bytes), whose face id the button gets.
    Append({{L"Clicks", L""}, {L"34>", L"Open sub"}});
    const std::wstring tools = L"reader.CommandBars.Item(\"MyTools\").Controls.Item(",
                       entry = L"reader.CommandBars.Item(\"MenuBar\").Controls.Item(\"Clicks\").Controls.Item(0).";
    Steps({L"AppendTools(\"12\", \"first\", 5) | Control.Style=2",
           L"AppendTools(\"12\", \"Sign here\", 9) | Control.Style=2",
           L"AppendToolsEx(\"21\", \"icon\", \"iVBORw0K\") | ImageStore.Add(bytes[6], 21) | Control.Style=2",
           tools + L"0).Caption -> VT_BSTR=\"Sign here\"", tools + L"0).FaceId -> VT_I4=9", tools + L"0)." + kMarked,
           tools + L"1).FaceId -> VT_I4=10000", tools + L"1)." + kMarked, entry + L"Caption -> VT_BSTR=\"Open sub\"",
           entry + L"Tag -> VT_BSTR=\"34>\"", entry + kMarked},
          {L"Style=", L"ImageStore.Add"});
    EXPECT_EQ(BarEntries(L"MyTools"), L"12,21");
}

TEST_F(UserMenus, EnablingUserToolsAndMenusByKeyList) {
    // Entries of nested submenus are reached; keys compare ignoring case.
    Append({{L"Deep", L""}, {L"41>", L"x"}, {L"42>", L"x"}, {L"43", L"x"}});
    Steps({L"AppendTools(\"1\", \"1\", 0)", L"AppendTools(\"2\", \"2\", 0)", L"AppendTools(\"3\", \"3\", 0)",
           L"AppendTools(\";;\", \";;\", 0)", L"EnableUserTools(\"1;;3\", BOOL:0)", L"EnableUserTools(\";;\", BOOL:0)",
           L"EnableUserMenus(\"43;MENUHELP\", BOOL:0)",
           L"reader.CommandBars.Item(\"MenuBar\").Controls.Item(\"MenuHelp\").Enabled -> VT_BOOL=0"});
    EXPECT_EQ(BarEntries(L"MyTools"), L"1-,2,3-,;;-");
    EXPECT_EQ(MenuEntries(L"Deep"), L"41>[42>[43-]]");
}

// Which reader button captions a name in the list matches.
TEST_F(UserMenus, CaptionNormalisation) {
    ProbeBar({
        {L"&Alpha(A)", L""},     // access letter and ampersand dropped: matches
        {L"Beta...", L""},       // cut at the first ".": matches
        {L"Gamma...(G)", L""},   // cut at "(": the dots stay
        {L"Deltaic", L""},       // merely begins with a name
        {L"Eps  Ctrl+E", L""},   // two characters before the shortcut go too: matches
        {L"Zeta  F9", L""},      // matches
        {L"Eta ", L""},          // one trailing blank dropped: matches
        {L"unnamed", L"Theta"},  // the tip text, as it is: matches
        {L"&&Iota", L""},        // only one ampersand dropped
    });
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::EnableTools, L"Alpha;Beta;Gamma;Delta;Eps;Zeta;Eta;Theta;Iota", 0),
              L"S_OK 7")
        << "the result is not written";
    EXPECT_EQ(BarEntries(L"Probe"), L"0-,1-,2,3,4-,5-,6-,7-,8");
}

TEST_F(UserMenus, HidingEveryControlHidesTheBarCompositeVisibilityAndHideKeywords) {
    ProbeBar({{L"One", L""}, {L"Two", L""}});
    const std::wstring bar = L"reader.CommandBars.Item(\"";
    // A bar without controls is left alone; other values do nothing to matching controls.
    Steps({L"EnableTools(\"One;\", 2) -> VT_I4=0 | Button.SetVisible(0) | CommandBars.Refresh()",
           bar + L"Probe\").Visible -> VT_BOOL=-1",
           L"EnableTools(\"Two\", 2) -> VT_I4=0 | Button.SetVisible(0) | CommandBar.Visible=0 | CommandBars.Refresh()",
           bar + L"Probe\").Visible -> VT_BOOL=0", bar + L"MyTools\").Visible -> VT_BOOL=-1"},
          {L"Button.Set", L"Visible=", L"Refresh"});
    Steps({L"EnableTools(\"放大\", 7) -> VT_I4=0"}, {L"Button.Set"});
    // Composite visibility: field controls are named by tag.
    Steps({L"setCompositeVisible(\"ZoomBox;打印\", BOOL:0) | Button.SetVisible(0) | FieldControl.SetVisible(0)"},
          {L"SetVisible("});
    EXPECT_TRUE(Journaled(L"CommandBar.Refresh()"));
    Steps({L"reader.CommandBars.Item(\"Zoom\").Controls.Item(\"ZoomBox\").Visible -> VT_BOOL=0",
           L"AppendHideKeywords(\"secret\") -> VT_I4=1"});
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::AppendHideKeywords, nullptr), L"S_OK 2");
    Steps({L"EnabledHideKeywords(3, BOOL:-1) -> VT_I4=0 | Application.EnabledHideKeywords(3, -1)"},
          {L"EnabledHideKeywords"});
}

}  // namespace
