// User tools, user menus and command enabling through the DLL loaded by the reader
// simulator: the controls the reader holds afterwards, and what a click on them reports.
// The current user menu is process-wide, so the test that needs none runs first.
#include "FamilyTestSupport.h"

#include <string>
#include <vector>

using namespace testsupport;

namespace {

class UserMenus : public ConnectedComponent {
protected:
    ComPtr<IQxCommandBar> Bar(const wchar_t* name) {
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        ComPtr<IQxCommandBar> bar;
        bars->Item(*ScopedVariant::Bstr(name).get(), bar.put());
        return bar;
    }
    static ComPtr<IQxControls> Controls(IQxCommandBar* bar) {
        ComPtr<IQxControls> c;
        if (bar) bar->get_Controls(c.put());
        return c;
    }
    static ComPtr<IQxControl> At(IQxControls* controls, LONG i) {
        ComPtr<IQxControl> c;
        controls->Item(*ScopedVariant::I4(i).get(), c.put());
        return c;
    }
    static ComPtr<IQxControl> ByTag(IQxControls* controls, const wchar_t* tag) {
        ComPtr<IQxControl> c;
        controls->Item(*ScopedVariant::Bstr(tag).get(), c.put());
        return c;
    }
    static std::wstring Tag(IQxControl* c) {
        UniqueBstr b;
        c->get_Tag(b.put());
        return b.c_str();
    }
    static std::wstring Caption(IQxControl* c) {
        UniqueBstr b;
        c->get_Caption(b.put());
        return b.c_str();
    }
    static bool Enabled(IQxControl* c) {
        VARIANT_BOOL v = VARIANT_FALSE;
        c->get_Enabled(&v);
        return v != VARIANT_FALSE;
    }
    static bool Visible(IQxControl* c) {
        VARIANT_BOOL v = VARIANT_FALSE;
        c->get_Visible(&v);
        return v != VARIANT_FALSE;
    }
    // A popup's entries as "tag[children]" text, read back from the reader.
    static std::wstring Tree(IQxControl* control) {
        std::wstring out = Tag(control);
        LONG type = 0;
        control->get_Type(&type);
        if (type != 3) return out;
        ComPtr<IQxPopup> popup = ComPtr<IQxControl>(control).Query<IQxPopup>();
        ComPtr<IQxControls> children;
        popup->get_Controls(children.put());
        LONG n = 0;
        children->get_Count(&n);
        out += L"[";
        for (LONG i = 0; i < n; ++i) out += (i ? L"," : L"") + Tree(At(children.get(), i).get());
        return out + L"]";
    }
    std::wstring MenuTree(const wchar_t* menu) {
        Quiet q(sim.get());
        auto c = ByTag(Controls(Bar(L"MenuBar").get()).get(), menu);
        return c ? Tree(c.get()) : L"(none)";
    }
    Lines Notifications() { return quirexsim::Notifications(sim.get()); }
    // The host's command event for a control identifier, as the reader raises it.
    void Click(LONG id, LONG kind = 0) {
        auto k = ScopedVariant::I4(kind), i = ScopedVariant::I4(id);
        ScopedVariant result;
        ASSERT_EQ(sim->FireEvent(1, *k.get(), *i.get(), *ScopedVariant::Missing().get(), *ScopedVariant::Missing().get(), result.Receive()), S_OK);
    }
    static LONG Id(IQxControl* c) {
        LONG id = 0;
        c->get_Id(&id);
        return id;
    }
    // A bar of the test's own, holding one button per caption (tag = position).
    ComPtr<IQxCommandBar> ProbeBar(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& captionsAndTips) {
        Quiet q(sim.get());
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        ComPtr<IQxCommandBar> bar;
        bars->Add(*ScopedVariant::Bstr(L"Probe").get(), *ScopedVariant::Missing().get(), bar.put());
        auto controls = Controls(bar.get());
        for (size_t i = 0; i < captionsAndTips.size(); ++i) {
            ComPtr<IQxControl> c;
            controls->Add(*ScopedVariant::Missing().get(), *ScopedVariant::Missing().get(), *ScopedVariant::Missing().get(), c.put());
            c->put_Caption(UniqueBstr(captionsAndTips[i].first).get());
            c->put_TipText(UniqueBstr(captionsAndTips[i].second).get());
            c->put_Tag(UniqueBstr(std::to_wstring(i).c_str()).get());
        }
        return bar;
    }
};

// Must run before any named AppendMenu in this process.
TEST_F(UserMenus, ANumericEntryBeforeAnyNamedMenuGoesToTheFirstMenu) {
    ASSERT_EQ(fun->AppendMenu(UniqueBstr(L"7").get(), UniqueBstr(L"seven").get()), S_OK);
    EXPECT_EQ(MenuTree(L"MenuFile"), L"MenuFile[,,,7]");
}

TEST_F(UserMenus, SubmenuKeysOpenAndCloseLevels) {
    ASSERT_EQ(fun->AppendMenu(UniqueBstr(L"Tools").get(), UniqueBstr(L"ignored").get()), S_OK);
    for (const wchar_t* key : {L"1", L"2>", L"3", L"4<", L"5"})
        ASSERT_EQ(fun->AppendMenu(UniqueBstr(key).get(), UniqueBstr((std::wstring(L"c") + key).c_str()).get()), S_OK);
    EXPECT_EQ(MenuTree(L"Tools"), L"Tools[1,2>[3],4<,5]");

    {
        Quiet q(sim.get());
        auto menuBar = Controls(Bar(L"MenuBar").get());
        auto menu = ByTag(menuBar.get(), L"Tools");
        LONG index = 0, helpIndex = 0, userData = 0;
        menu->get_Index(&index);
        ByTag(menuBar.get(), L"MenuHelp")->get_Index(&helpIndex);
        menu->get_UserData(&userData);
        EXPECT_EQ(index, helpIndex + 1) << "the page's menu follows the help menu";
        EXPECT_EQ(Caption(menu.get()), L"Tools");
        EXPECT_EQ(static_cast<ULONG>(userData), 0xF0000000u);
    }
    // A named key already present adds nothing and makes that menu current again.
    ASSERT_EQ(fun->AppendMenu(UniqueBstr(L"Other").get(), UniqueBstr(L"").get()), S_OK);
    ASSERT_EQ(fun->AppendMenu(UniqueBstr(L"Tools").get(), UniqueBstr(L"x").get()), S_OK);
    ASSERT_EQ(fun->AppendMenu(UniqueBstr(L"").get(), UniqueBstr(L"empty key").get()), S_OK);
    EXPECT_EQ(MenuTree(L"Tools"), L"Tools[1,2>[3],4<,5,]");
    EXPECT_EQ(MenuTree(L"Other"), L"Other[]");
}

TEST_F(UserMenus, AToolIsMadeOnceAndItsClickReachesThePage) {
    ASSERT_EQ(fun->AppendTools(UniqueBstr(L"12").get(), UniqueBstr(L"first").get(), 5), S_OK);
    ASSERT_EQ(fun->AppendTools(UniqueBstr(L"12").get(), UniqueBstr(L"Sign here").get(), 9), S_OK);
    EXPECT_TRUE(Journaled(L"Control.Style=2"));
    LONG id = 0;
    {
        Quiet q(sim.get());
        auto tools = Controls(Bar(L"MyTools").get());
        LONG n = 0;
        tools->get_Count(&n);
        ASSERT_EQ(n, 1) << "the second call updates the first button";
        auto tool = At(tools.get(), 0);
        LONG face = 0;
        tool->get_FaceId(&face);
        EXPECT_EQ(Caption(tool.get()), L"Sign here");
        EXPECT_EQ(face, 9);
        id = Id(tool.get());
    }
    sim->ClearNotifications();
    Click(id);
    Click(id, 1);    // not a click
    Click(32001);    // a reader control: not the page's
    EXPECT_EQ(Notifications(), Lines{L"NotifyToolClick(12, \"Sign here\")"});

    // A menu entry made by the page reports through the menu notification, tag read as a number.
    ASSERT_EQ(fun->AppendMenu(UniqueBstr(L"Clicks").get(), UniqueBstr(L"").get()), S_OK);
    ASSERT_EQ(fun->AppendMenu(UniqueBstr(L"34>").get(), UniqueBstr(L"Open sub").get()), S_OK);
    LONG entryId = 0;
    {
        Quiet q(sim.get());
        auto sub = ComPtr<IQxControl>(ByTag(Controls(Bar(L"MenuBar").get()).get(), L"Clicks")).Query<IQxPopup>();
        ComPtr<IQxControls> entries;
        sub->get_Controls(entries.put());
        entryId = Id(At(entries.get(), 0).get());
    }
    sim->ClearNotifications();
    Click(entryId);
    EXPECT_EQ(Notifications(), Lines{L"NotifyMenuClick(34, \"Open sub\")"});
}

TEST_F(UserMenus, AToolIconTravelsAsBytesToTheImageStore) {
    // "iVBORw0K" is the start of a PNG: six bytes.
    ASSERT_EQ(fun->AppendToolsEx(UniqueBstr(L"21").get(), UniqueBstr(L"icon").get(), UniqueBstr(L"iVBORw0K").get()),
              S_OK);
    EXPECT_TRUE(Journaled(L"ImageStore.Add(bytes[6], 21)"));
    Quiet q(sim.get());
    auto tool = ByTag(Controls(Bar(L"MyTools").get()).get(), L"21");
    ASSERT_TRUE(tool);
    LONG face = 0;
    tool->get_FaceId(&face);
    EXPECT_EQ(face, 10000) << "the face id the reader's image store answered";
}

TEST_F(UserMenus, EnablingUserToolsAndMenusByKeyList) {
    for (const wchar_t* key : {L"1", L"2", L"3", L";;"})
        ASSERT_EQ(fun->AppendTools(UniqueBstr(key).get(), UniqueBstr(key).get(), 0), S_OK);
    ASSERT_EQ(fun->EnableUserTools(UniqueBstr(L"1;;3").get(), VARIANT_FALSE), S_OK);
    ASSERT_EQ(fun->EnableUserTools(UniqueBstr(L";;").get(), VARIANT_FALSE), S_OK);
    {
        Quiet q(sim.get());
        auto tools = Controls(Bar(L"MyTools").get());
        std::vector<bool> enabled;
        for (const wchar_t* key : {L"1", L"2", L"3", L";;"}) enabled.push_back(Enabled(ByTag(tools.get(), key).get()));
        EXPECT_EQ(enabled, (std::vector<bool>{false, true, false, false}));
    }

    ASSERT_EQ(fun->AppendMenu(UniqueBstr(L"Deep").get(), UniqueBstr(L"").get()), S_OK);
    for (const wchar_t* key : {L"41>", L"42>", L"43"})
        ASSERT_EQ(fun->AppendMenu(UniqueBstr(key).get(), UniqueBstr(L"x").get()), S_OK);
    ASSERT_EQ(MenuTree(L"Deep"), L"Deep[41>[42>[43]]]");
    ASSERT_EQ(fun->EnableUserMenus(UniqueBstr(L"43;MENUHELP").get(), VARIANT_FALSE), S_OK);
    Quiet q(sim.get());
    auto menuBar = Controls(Bar(L"MenuBar").get());
    EXPECT_FALSE(Enabled(ByTag(menuBar.get(), L"MenuHelp").get())) << "keys compare ignoring case";
    auto level = ComPtr<IQxControl>(ByTag(menuBar.get(), L"Deep"));
    for (int depth = 0; depth < 3; ++depth) {
        ComPtr<IQxControls> entries;
        level.Query<IQxPopup>()->get_Controls(entries.put());
        level = At(entries.get(), 0);
    }
    EXPECT_EQ(Tag(level.get()), L"43");
    EXPECT_FALSE(Enabled(level.get())) << "entries of nested submenus are reached";
}

// Which reader button captions a name in the list matches.
TEST_F(UserMenus, CaptionNormalisation) {
    struct Row {
        const wchar_t* caption;
        const wchar_t* tip;
        bool matches;
    };
    const std::vector<Row> rows = {
        {L"&Alpha(A)", L"", true},            // access letter and ampersand dropped
        {L"Beta...", L"", true},              // cut at the first "."
        {L"Gamma...(G)", L"", false},         // cut at "(": the dots stay
        {L"Deltaic", L"", false},             // merely begins with a name
        {L"Eps  Ctrl+E", L"", true},          // two characters before the shortcut go too
        {L"Zeta  F9", L"", true},
        {L"Eta ", L"", true},                 // one trailing blank dropped
        {L"unnamed", L"Theta", true},         // the tip text, as it is
        {L"&&Iota", L"", false},              // only one ampersand dropped
    };
    std::vector<std::pair<const wchar_t*, const wchar_t*>> buttons;
    for (auto& r : rows) buttons.emplace_back(r.caption, r.tip);
    auto bar = ProbeBar(buttons);
    LONG result = 77;
    ASSERT_EQ(fun->EnableTools(UniqueBstr(L"Alpha;Beta;Gamma;Delta;Eps;Zeta;Eta;Theta;Iota").get(), 0, &result), S_OK);
    EXPECT_EQ(result, 77) << "the result is not written";
    Quiet q(sim.get());
    auto controls = Controls(bar.get());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(!Enabled(At(controls.get(), static_cast<LONG>(i)).get()), rows[i].matches) << "caption " << i;
}

TEST_F(UserMenus, HidingEveryControlOfABarHidesTheBar) {
    auto bar = ProbeBar({{L"One", L""}, {L"Two", L""}});
    LONG result = 0;
    ASSERT_EQ(fun->EnableTools(UniqueBstr(L"One;").get(), 2, &result), S_OK);
    EXPECT_TRUE(Journaled(L"Button.SetVisible(0)"));
    VARIANT_BOOL visible = VARIANT_FALSE;
    bar->get_Visible(&visible);
    EXPECT_EQ(visible, VARIANT_TRUE) << "Two is still shown";
    ASSERT_EQ(fun->EnableTools(UniqueBstr(L"Two").get(), 2, &result), S_OK);
    bar->get_Visible(&visible);
    EXPECT_EQ(visible, VARIANT_FALSE);
    VARIANT_BOOL myTools = VARIANT_FALSE;
    Bar(L"MyTools")->get_Visible(&myTools);
    EXPECT_EQ(myTools, VARIANT_TRUE) << "a bar without controls is left alone";
    EXPECT_TRUE(Journaled(L"CommandBars.Refresh()"));

    // Other values do nothing to matching controls.
    sim->ClearJournal();
    ASSERT_EQ(fun->EnableTools(UniqueBstr(L"放大").get(), 7, &result), S_OK);
    EXPECT_FALSE(Journaled(L"Button.Set"));
}

TEST_F(UserMenus, CompositeVisibilityNamesFieldControlsByTag) {
    ASSERT_EQ(fun->setCompositeVisible(UniqueBstr(L"ZoomBox;打印").get(), VARIANT_FALSE), S_OK);
    EXPECT_TRUE(Journaled(L"FieldControl.SetVisible(0)"));
    EXPECT_TRUE(Journaled(L"Button.SetVisible(0)"));
    EXPECT_TRUE(Journaled(L"CommandBar.Refresh()"));
    Quiet q(sim.get());
    auto zoomBox = ByTag(Controls(Bar(L"Zoom").get()).get(), L"ZoomBox");
    EXPECT_FALSE(Visible(zoomBox.get()));
}

TEST_F(UserMenus, HideKeywordsPassThrough) {
    EXPECT_EQ(I4(1), Script(L"AppendHideKeywords", {VStr(L"secret")}));
    LONG n = -1;
    EXPECT_EQ(Got(fun->AppendHideKeywords(nullptr, &n), &n), Want(S_OK, 2));
    EXPECT_EQ(I4(0), Script(L"EnabledHideKeywords", {VLong(3), VBool(true)}));
    EXPECT_TRUE(Journaled(L"Application.EnabledHideKeywords(3, -1)"));
}

TEST_F(UserMenus, WithoutTheReaderNothingIsReached) {
    ComPtr<IFoliumFun> alone;  // never connected to a reader
    ASSERT_EQ(CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, alone.put_void()), S_OK);
    IFoliumFun* fun = alone.get();
    LONG r = 5;
    UniqueBstr k(L"1");
    for (HRESULT hr : {fun->AppendTools(k.get(), k.get(), 0), fun->AppendToolsEx(k.get(), k.get(), k.get()),
                       fun->AppendMenu(k.get(), k.get()), fun->EnableUserTools(k.get(), VARIANT_TRUE),
                       fun->EnableUserMenus(k.get(), VARIANT_TRUE), fun->EnableTools(k.get(), 1, &r),
                       fun->setCompositeVisible(k.get(), VARIANT_TRUE), fun->AppendHideKeywords(k.get(), &r),
                       fun->EnabledHideKeywords(1, VARIANT_TRUE, &r)})
        EXPECT_EQ(hr, S_FALSE);
    EXPECT_EQ(r, 5);
    EXPECT_TRUE(JournalLines().empty());
}

}  // namespace
