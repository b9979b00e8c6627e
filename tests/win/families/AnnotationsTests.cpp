// Comments, text and image annotations through the DLL loaded by the reader
// simulator: the rights veto, the comment window, finding annotations, the pen and
// handwriting siblings, and the notes, free texts and stamps a page places.
#include "FamilyTestSupport.h"

#include <wincodec.h>

#include <algorithm>
#include <climits>

using namespace testsupport;

namespace {

VARIANT VText(const wchar_t* s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}

VARIANT vtMissing() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// Page 1: a stamp by alice, a note by bob, a widget, a seal; page 2 (rotation 90): a
// note by alice; pages 3 and 4 rotated 180 and 270.
const char kDocument[] = R"({
  "pages": [
    {"annotations": [
      {"kind": 12, "type": "Stamp", "author": "alice", "rect": [100, 100, 200, 200], "values": {"PostilID": "P-1"}},
      {"kind": 0, "type": "Text", "author": "bob", "contents": "say \"hi\" <b>", "creationDate": "D:20260105093000",
       "values": {"TextID": "T-Abc"}},
      {"kind": 20, "type": "Widget"},
      {"kind": 12, "type": "brimwell:addseal"}]},
    {"rotation": 90, "annotations": [
      {"kind": 0, "type": "Text", "author": "alice", "contents": "second", "creationDate": "D:20260106",
       "values": {"TextID": "P-1"}}]},
    {"rotation": 180},
    {"rotation": 270}
  ]
})";

class Annotations : public ConnectedComponent {
protected:
    struct Quiet {
        IQxSimulator* sim;
        explicit Quiet(IQxSimulator* s) : sim(s) { sim->put_Recording(VARIANT_FALSE); }
        ~Quiet() { sim->put_Recording(VARIANT_TRUE); }
    };

    void SetUp() override {
        ConnectedComponent::SetUp();
        LONG patched = 0;
        sim->CaptureImports(UniqueBstr(L"FoliumAddin.dll").get(), &patched);
        sim->SetDefaultAnswer(UniqueBstr(L"GetLocalTime").get(), *ScopedVariant::Bstr(L"2026-03-04 05:06:07").get());
        sim->SetDefaultAnswer(UniqueBstr(L"GetUserNameW").get(), *ScopedVariant::Bstr(L"winuser").get());
    }

    ComPtr<IQxDocument> Active() {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        ComPtr<IQxDocument> doc;
        if (docs) docs->get_ActiveDocument(doc.put());
        return doc;
    }
    ComPtr<IQxPage> Page(LONG index) {
        Quiet q(sim.get());
        ComPtr<IQxPages> pages;
        Active()->get_Pages(pages.put());
        ComPtr<IQxPage> page;
        pages->Item(index, page.put());
        return page;
    }
    ComPtr<IQxAnnotation> Annot(LONG page, LONG index) {
        Quiet q(sim.get());
        ComPtr<IQxAnnotations> list;
        Page(page)->get_Annotations(list.put());
        ComPtr<IQxAnnotation> a;
        list->Item(index, a.put());
        return a;
    }
    LONG AnnotCount(LONG page) {
        Quiet q(sim.get());
        ComPtr<IQxAnnotations> list;
        Page(page)->get_Annotations(list.put());
        LONG n = 0;
        list->get_Count(&n);
        return n;
    }
    LONG CurrentPage() {
        Quiet q(sim.get());
        ComPtr<IQxDocWindow> window;
        Active()->get_Window(window.put());
        ComPtr<IQxPageView> view;
        window->get_View(view.put());
        LONG page = 0;
        view->get_CurrentPage(&page);
        return page;
    }
    void SetReaderUser(const wchar_t* name) {
        Quiet q(sim.get());
        ComPtr<IQxMainFrame> frame;
        app->get_MainFrame(frame.put());
        frame->put_UserName(UniqueBstr(name).get());
    }
    ComPtr<IQxStandIn> StandIn(const wchar_t* progId) {
        ComPtr<IQxStandIn> s;
        sim->StandIn(UniqueBstr(progId).get(), s.put());
        return s;
    }
    std::vector<std::wstring> Calls(const wchar_t* progId) {
        std::vector<std::wstring> out;
        auto s = StandIn(progId);
        if (!s) return out;
        LONG n = 0;
        s->get_CallCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            s->CallItem(i, line.put());
            out.push_back(line.c_str());
        }
        return out;
    }
    // Message boxes shown, as captured.
    std::vector<std::wstring> Captured() {
        std::vector<std::wstring> out;
        LONG n = 0;
        sim->get_CapturedCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            sim->CapturedItem(i, line.put());
            if (std::wstring(line.c_str()).rfind(L"MessageBoxW", 0) == 0) out.push_back(line.c_str());
        }
        return out;
    }
    // Journal lines that contain fragment, in order.
    std::vector<std::wstring> Lines(const std::wstring& fragment) {
        std::vector<std::wstring> out;
        for (auto& l : JournalLines())
            if (l.find(fragment) != std::wstring::npos) out.push_back(l);
        return out;
    }
    // Journal lines of the annotation operations, from the first Annotations.Add on.
    std::vector<std::wstring> AnnotationLines() {
        std::vector<std::wstring> out;
        bool started = false;
        for (auto& l : JournalLines()) {
            started = started || l.rfind(L"Annotations.Add", 0) == 0;
            if (started && l.rfind(L"Win32.", 0) != 0) out.push_back(l);
        }
        return out;
    }
    bool BarEnabled(const wchar_t* name) {
        Quiet q(sim.get());
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        ComPtr<IQxCommandBar> bar;
        bars->Item(*ScopedVariant::Bstr(name).get(), bar.put());
        VARIANT_BOOL enabled = VARIANT_FALSE;
        bar->get_Enabled(&enabled);
        return enabled != 0;
    }
    std::wstring Value(IQxAnnotation* a, const wchar_t* key) {
        Quiet q(sim.get());
        UniqueBstr v;
        a->GetValue(UniqueBstr(key).get(), v.put());
        return v.c_str();
    }
};

// ---- rights and the veto of the annotation messages --------------------------------------

struct RightCase {
    const wchar_t* property;  // null: no right set
    LONG value;
    const wchar_t* message;
    LONG annotation;  // on page 1: 0 alice's stamp, 1 bob's note, 2 the widget
    LONG veto;
};

const RightCase kRights[] = {
    {nullptr, 0, L"Quirex.Annots:OnLButtonDown", 0, 0},
    {nullptr, 0, L"Quirex.Annots:RButtonDown", 1, 0},
    {L"AllowMoveAnnot", 0, L"Quirex.Annots:OnLButtonDown", 2, 1},
    {L"AllowMoveAnnot", 0, L"Quirex.Annots:OnDelKeyDown", 0, 0},
    {L"ImageAnnotMoveRight", 1, L"Quirex.Annots:OnLButtonDown", 0, 1},
    {L"ImageAnnotMoveRight", 1, L"Quirex.Annots:OnLButtonDown", 1, 0},
    {L"ImageAnnotMoveRight", 2, L"Quirex.Annots:OnLButtonDown", 0, 0},  // alice's own stamp
    {L"CommentTextMoveRight", 2, L"Quirex.Annots:OnLButtonDown", 1, 1},  // bob's note
    {L"CommentTextMoveRight", 3, L"Quirex.Annots:OnLButtonDown", 1, 0},
    {L"ImageAnnotDelRight", 1, L"Quirex.Annots:RButtonDown", 0, 1},
    {L"ImageAnnotDelRight", 2, L"Quirex.Annots:OnDelKeyDown", 0, 0},
    {L"ImageAnnotDelRight", 1, L"Quirex.Annots:OnLButtonDown", 0, 0},
    {L"TextCommentRight", 1, L"Quirex.Annots:OnDelKeyDown", 1, 1},
    {L"TextCommentRight", 3, L"Quirex.Annots:RButtonDown", 1, 1},
    {L"TextCommentRight", 2, L"Quirex.Annots:RButtonDown", 0, 0},
    {L"TextCommentRight", 1, L"quirex.annots:ondelkeydown", 1, 0},  // message compared exactly
    {L"AnnotPopupEditRight", -1, L"Quirex.Annots:LButtonDblClk", 2, 1},
    {L"AnnotPopupEditRight", 1, L"Quirex.Annots:LButtonDblClk", 0, 0},
};

TEST_F(Annotations, RightsVetoTheMessagesOfOtherAuthorsAnnotations) {
    Open(kDocument);
    CallByName(disp.get(), L"UserName", DISPATCH_PROPERTYPUT, {VText(L"alice")}, nullptr);
    for (const RightCase& c : kRights) {
        for (const wchar_t* p : {L"ImageAnnotMoveRight", L"CommentTextMoveRight", L"ImageAnnotDelRight",
                                 L"TextCommentRight", L"AnnotPopupEditRight"})
            CallByName(disp.get(), p, DISPATCH_PROPERTYPUT, {VLong(0)}, nullptr);
        CallByName(disp.get(), L"AllowMoveAnnot", DISPATCH_PROPERTYPUT, {VBool(true)}, nullptr);
        if (c.property) {
            VARIANT v = std::wstring(c.property) == L"AllowMoveAnnot" ? VBool(c.value != 0) : VLong(c.value);
            ASSERT_EQ(S_OK, CallByName(disp.get(), c.property, DISPATCH_PROPERTYPUT, {v}, nullptr));
            ScopedVariant back;
            CallByName(disp.get(), c.property, DISPATCH_PROPERTYGET, {}, back.get());
            EXPECT_EQ(c.value, std::wstring(c.property) == L"AllowMoveAnnot" ? back->boolVal : back->lVal);
        }
        LONG handle = -1;
        ASSERT_EQ(S_OK, sim->FireAnnotationMessage(UniqueBstr(c.message).get(), Annot(0, c.annotation).get(), &handle));
        EXPECT_EQ(c.veto, handle) << (c.property ? c.property : L"-") << "=" << c.value << " " << c.message
                                  << " on annotation " << c.annotation;
    }
}

TEST_F(Annotations, WithoutUserNameTheWindowsUserOwnsAnnotations) {
    Open(kDocument);
    {
        Quiet q(sim.get());
        Annot(0, 0)->put_Author(UniqueBstr(L"winuser").get());
    }
    fun->put_ImageAnnotMoveRight(2);
    LONG handle = -1;
    sim->FireAnnotationMessage(UniqueBstr(L"Quirex.Annots:OnLButtonDown").get(), Annot(0, 0).get(), &handle);
    EXPECT_EQ(0, handle) << "own stamp";
    sim->FireAnnotationMessage(UniqueBstr(L"Quirex.Annots:OnLButtonDown").get(), Annot(1, 0).get(), &handle);
    EXPECT_EQ(0, handle) << "a note is not a stamp";
    fun->put_CommentTextMoveRight(2);
    sim->FireAnnotationMessage(UniqueBstr(L"Quirex.Annots:OnLButtonDown").get(), Annot(1, 0).get(), &handle);
    EXPECT_EQ(1, handle) << "alice's note, user winuser";
}

TEST_F(Annotations, TextCommentRightLocksTheCommentBarsAndNeverUnlocksThem) {
    sim->AddAllStandIns();
    EXPECT_EQ(S_OK, fun->put_TextCommentRight(2));
    EXPECT_TRUE(BarEnabled(L"Comments"));
    EXPECT_EQ(S_OK, fun->put_TextCommentRight(3));
    EXPECT_FALSE(BarEnabled(L"Comments"));
    EXPECT_FALSE(BarEnabled(L"Annots"));
    EXPECT_TRUE(BarEnabled(L"Zoom"));
    EXPECT_EQ(S_OK, fun->put_TextCommentRight(0));
    EXPECT_FALSE(BarEnabled(L"Comments"));
    LONG v = 9;
    fun->get_TextCommentRight(&v);
    EXPECT_EQ(0, v);
}

TEST_F(Annotations, RightsKeepTheirDefaults) {
    VARIANT_BOOL b = 0;
    LONG n = 9;
    fun->get_AllowMoveAnnot(&b);
    EXPECT_EQ(1, b);
    fun->get_PositionBack(&b);
    EXPECT_EQ(VARIANT_TRUE, b);
    for (auto get : {&IFoliumFun::get_ImageAnnotDelRight, &IFoliumFun::get_ImageAnnotMoveRight,
                     &IFoliumFun::get_CommentTextMoveRight, &IFoliumFun::get_TextCommentRight,
                     &IFoliumFun::get_AnnotPopupEditRight}) {
        n = 9;
        EXPECT_EQ(S_OK, (fun.get()->*get)(&n));
        EXPECT_EQ(0, n);
    }
}

// ---- comment window and visibility ------------------------------------------------------------

TEST_F(Annotations, CommentWindowAsksTheAnnotationAddInForTheCurrentPage) {
    sim->AddAllStandIns();
    Open(kDocument);
    StandIn(L"Quirex.Annots")->SetResult(UniqueBstr(L"CommentWindow").get(), *ScopedVariant::I4(7L).get());
    LONG result = -5;
    EXPECT_EQ(S_OK, fun->CommentWindow(1, &result));
    EXPECT_EQ(-5, result) << "the window is not enabled";
    EXPECT_TRUE(Calls(L"Quirex.Annots").empty());

    fun->put_EnabledCommentWindow(VARIANT_TRUE);
    fun->put_AnnotPopupEditRight(-1);
    EXPECT_EQ(S_OK, fun->CommentWindow(1, &result));
    EXPECT_TRUE(Calls(L"Quirex.Annots").empty()) << "pop-up editing is off";

    fun->put_AnnotPopupEditRight(0);
    fun->put_CurPage(2);
    EXPECT_EQ(S_OK, fun->CommentWindow(5, &result));
    EXPECT_EQ(7, result);
    EXPECT_EQ(std::vector<std::wstring>{L"CommentWindow:M:2|VT_I4=1|VT_I4=1"}, Calls(L"Quirex.Annots"));

    // The reader's refresh event re-applies the window as it was last asked for.
    StandIn(L"Quirex.Annots")->ClearCalls();
    ScopedVariant r;
    sim->FireEvent(57, *ScopedVariant::Bstr(L"").get(), vtMissing(), vtMissing(), vtMissing(), r.get());
    EXPECT_EQ(std::vector<std::wstring>{L"CommentWindow:M:2|VT_I4=1|VT_I4=1"}, Calls(L"Quirex.Annots"));
}

TEST_F(Annotations, CommentVisibleHidesAllButSealsAndWidgetsAfterClosingTheWindow) {
    sim->AddAllStandIns();
    Open(kDocument);
    fun->put_EnabledCommentWindow(VARIANT_TRUE);
    LONG result = -5;
    EXPECT_EQ(S_OK, fun->CommentVisible(0, &result));
    EXPECT_EQ(0, result);  // the stand-in's empty answer
    EXPECT_EQ((std::vector<std::wstring>{L"CommentWindow:M:2|VT_I4=0|VT_I4=0", L"CommentWindow:M:2|VT_I4=0|VT_I4=0"}),
              Calls(L"Quirex.Annots"));
    auto visible = [&](LONG page, LONG index) {
        Quiet q(sim.get());
        VARIANT_BOOL v = 0;
        Annot(page, index)->get_Visible(&v);
        return v != 0;
    };
    EXPECT_FALSE(visible(0, 0));
    EXPECT_FALSE(visible(0, 1));
    EXPECT_TRUE(visible(0, 2)) << "widget";
    EXPECT_TRUE(visible(0, 3)) << "seal, any case";
    EXPECT_FALSE(visible(1, 0));
    EXPECT_EQ(4u, Lines(L"Page.Update()").size());
    EXPECT_EQ(1u, Lines(L"PageView.Refresh()").size());

    fun->CommentVisible(1, &result);
    EXPECT_TRUE(visible(0, 0));
    EXPECT_TRUE(visible(1, 0));
}

// ---- finding annotations by identifier ----------------------------------------------------------

TEST_F(Annotations, GoToFindsByPostilOrTextIdIgnoringCase) {
    LONG r = 5;
    EXPECT_EQ(S_FALSE, fun->GoToAnnot(UniqueBstr(L"P-1").get(), &r));
    EXPECT_EQ(-1, r);
    EXPECT_EQ(S_FALSE, fun->GoToTextComment(UniqueBstr(L"P-1").get(), &r));
    EXPECT_EQ(1, r);

    Open(kDocument);
    fun->put_CurPage(3);
    EXPECT_EQ(S_OK, fun->GoToTextComment(UniqueBstr(L"p-1").get(), &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ(2, CurrentPage()) << "only the note's TextID matches";
    EXPECT_EQ(S_OK, fun->GoToAnnot(UniqueBstr(L"p-1").get(), &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ(1, CurrentPage()) << "the stamp's PostilID comes first";
    sim->ClearJournal();
    fun->GoToAnnot(UniqueBstr(L"P-1").get(), &r);
    EXPECT_EQ(1u, Lines(L"Annotation.GoTo()").size()) << "the search stops at the first match";
    EXPECT_EQ(S_OK, fun->GoToAnnot(UniqueBstr(L"t-abc").get(), &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ(S_OK, fun->GoToAnnot(UniqueBstr(L"T-Ab").get(), &r));
    EXPECT_EQ(1, r);
}

// ---- pen, handwriting and the siblings -------------------------------------------------------------

TEST_F(Annotations, PenColourFromTheDialogOrBlackWhenCancelled) {
    sim->AddAllStandIns();
    Open(kDocument);
    StandIn(L"Veridane.Inkpad")->SetResult(UniqueBstr(L"SetOption").get(), *ScopedVariant::I4(3L).get());
    sim->SetAnswer(UniqueBstr(L"ChooseColorW").get(), *ScopedVariant::I4(0x00336699L).get());
    LONG r = -1;
    EXPECT_EQ(S_OK, fun->SetPostilPenColor(&r));
    EXPECT_EQ(3, r);
    sim->SetAnswer(UniqueBstr(L"ChooseColorW").get(), *ScopedVariant::I4(-1L).get());
    fun->SetPostilPenColor(&r);
    EXPECT_EQ(S_OK, fun->SetPostilPenWidth(4, &r));
    EXPECT_EQ((std::vector<std::wstring>{L"SetOption:M:2|VT_I4=1|VT_UI4=3368601", L"SetOption:M:2|VT_I4=1|VT_UI4=0",
                                         L"SetOption:M:2|VT_I4=2|VT_I4=4"}),
              Calls(L"Veridane.Inkpad"));
    EXPECT_EQ(2u, Lines(L"ChooseColorW(").size());
}

TEST_F(Annotations, SiblingCallsCarryTheContractsTypesAndResults) {
    sim->AddAllStandIns();
    Open(kDocument);
    StandIn(L"Veridane.Folium2015")->SetResult(UniqueBstr(L"ShowSignDlg").get(), *ScopedVariant::I4(1L).get());
    StandIn(L"Veridane.Folium2015")->SetResult(UniqueBstr(L"SetFieldByName").get(), *ScopedVariant::I4(6L).get());
    StandIn(L"Quirex.Annots")->SetResult(UniqueBstr(L"BuildStampModelImage").get(), *ScopedVariant::Bstr(L"img").get());
    StandIn(L"Quirex.Annots")->SetResult(UniqueBstr(L"BuildStampModelTool").get(), *ScopedVariant::I4(8L).get());
    StandIn(L"Quirex.Annots")->SetResult(UniqueBstr(L"AddFreeTextCallout").get(), *ScopedVariant::I4(9L).get());
    StandIn(L"Veridane.Inkpad")->SetResult(UniqueBstr(L"ImportImageAnnot").get(), *ScopedVariant::I4(10L).get());
    LONG r = -1;
    fun->HandWriter(2, &r);
    EXPECT_EQ(0, r) << "a result of 1 reads as 0";
    fun->HandWriter(1, &r);
    EXPECT_EQ(0, r) << "CreateHandWrite's empty result";
    fun->ShowHandWriteTab(UniqueBstr(L"1,2").get(), &r);
    EXPECT_EQ(6, r);
    fun->BuildStampModelTool(UniqueBstr(L"p").get(), VARIANT_TRUE, &r);
    EXPECT_EQ(8, r);
    BSTR image = nullptr;
    fun->BuildStampModelImage(UniqueBstr(L"q").get(), VARIANT_FALSE, &image);
    EXPECT_STREQ(L"img", image);
    SysFreeString(image);
    fun->AddFreeTextCallout(&r);
    EXPECT_EQ(9, r);
    fun->InsertImageByString(2, 30, 40, UniqueBstr(L"c").get(), UniqueBstr(L"m").get(), UniqueBstr(L"u").get(),
                             UniqueBstr(L"id").get(), UniqueBstr(L"pic").get(), 1.5f, 2.5f, UniqueBstr(L"x").get(), &r);
    EXPECT_EQ(10, r);
    fun->put_AnnotStampType(UniqueBstr(L"合同章").get());
    fun->put_AnnotStampType(nullptr);
    fun->put_AnnotInfo(UniqueBstr(L"{}").get());
    EXPECT_EQ((std::vector<std::wstring>{L"ShowSignDlg:M:1|VT_I4=3", L"SetFieldByName:M:2|VT_BSTR=\"VD_HideHandWriteType\"|VT_BSTR=\"1,2\""}),
              Calls(L"Veridane.Folium2015"));
    EXPECT_EQ((std::vector<std::wstring>{L"BuildStampModelTool:M:2|VT_BSTR=\"p\"|VT_I2=-1",
                                         L"BuildStampModelImage:M:2|VT_BSTR=\"q\"|VT_I2=0", L"AddFreeTextCallout:M:0",
                                         L"AnnotStampType:P:1|VT_BSTR=\"合同章\""}),
              Calls(L"Quirex.Annots"));
    EXPECT_EQ((std::vector<std::wstring>{
                  L"CreateHandWrite:M:0",
                  L"ImportImageAnnot:M:14|VT_I4=12|VT_BSTR=\"Stamp\"|VT_BSTR=\"\"|VT_BSTR=\"\"|VT_BSTR=\"c\"|VT_BSTR=\"m\"|"
                  L"VT_I4=2|VT_BSTR=\"u\"|VT_R4=2.5|VT_R4=1.5|VT_BSTR=\"pic\"|VT_I4=30|VT_I4=40|VT_BSTR=\"id\"",
                  L"AnnotStampType:P:1|VT_BSTR=\"合同章\"", L"AnnotInfo:P:1|VT_BSTR=\"{}\""}),
              Calls(L"Veridane.Inkpad"));
    BSTR text = nullptr;
    fun->get_AnnotStampType(&text);
    EXPECT_STREQ(L"合同章", text) << "a null type changes nothing";
    SysFreeString(text);
}

TEST_F(Annotations, WithoutSiblingsOrDocumentOutParametersKeepTheirDefaults) {
    LONG r = 42;
    EXPECT_EQ(S_FALSE, fun->HandWriter(1, &r));
    EXPECT_EQ(1, r);
    EXPECT_EQ(S_FALSE, fun->SetPostilPenWidth(3, &r));
    BSTR image = nullptr;
    EXPECT_EQ(S_FALSE, fun->BuildStampModelImage(nullptr, 0, &image));
    EXPECT_STREQ(L"", image);
    SysFreeString(image);
    for (const wchar_t* id : {L"Veridane.Folium2015", L"Veridane.Inkpad", L"Quirex.Annots"})
        sim->RemoveAddIn(UniqueBstr(id).get());
    Open(kDocument);
    r = 42;
    EXPECT_EQ(S_OK, fun->SetPostilPenWidth(3, &r));
    EXPECT_EQ(42, r);
    EXPECT_EQ(S_OK, fun->AddFreeTextCallout(&r));
    EXPECT_EQ(42, r);
    EXPECT_EQ(S_OK, fun->ShowHandWriteTab(nullptr, &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ(S_OK, fun->InsertImageByString(1, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr, &r));
    EXPECT_EQ(0, r);
    VARIANT_BOOL b = 0;
    EXPECT_EQ(S_OK, fun->CancelPostil(&b));
    EXPECT_EQ(VARIANT_TRUE, b);
    EXPECT_TRUE(Journaled(L"Tool.Activate()"));
}

TEST_F(Annotations, HandWriterButtonOfTheCommentBar) {
    VARIANT_BOOL b = 0;
    fun->get_EnableHandWriter(&b);
    EXPECT_EQ(VARIANT_TRUE, b);
    EXPECT_EQ(S_OK, fun->put_EnableHandWriter(VARIANT_FALSE));
    EXPECT_EQ((std::vector<std::wstring>{L"Button.SetEnabled(0)", L"Button.SetEnabled(0)"}), Lines(L"SetEnabled("));
    fun->get_EnableHandWriter(&b);
    EXPECT_EQ(VARIANT_FALSE, b);
    LONG removed = 0;
    sim->RemoveCommandBar(UniqueBstr(L"Comments").get(), &removed);
    fun->get_EnableHandWriter(&b);
    EXPECT_EQ(VARIANT_TRUE, b) << "no comment bar";
}

// ---- notes and free text ------------------------------------------------------------------------

TEST_F(Annotations, NoteIconFollowsThePageRotation) {
    Open(kDocument);
    SetReaderUser(L"reader");
    const wchar_t* expected[] = {L"Annotation.SetRect(10, 2, 30, 20)", L"Annotation.SetRect(10, 20, 28, 40)",
                                 L"Annotation.SetRect(-10, 20, 10, 38)", L"Annotation.SetRect(-8, 0, 10, 20)"};
    for (LONG page = 1; page <= 4; ++page) {
        sim->ClearJournal();
        LONG r = -1;
        ASSERT_EQ(S_OK, fun->AddComment(page, 10, 20, UniqueBstr(L"note").get(), &r));
        EXPECT_EQ(0, r);
        EXPECT_EQ(std::vector<std::wstring>{expected[page - 1]}, Lines(L"SetRect"));
    }
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Annotations.Add(0)", L"Page.Rotation", L"Annotation.SetRect(-8, 0, 10, 20)", L"Annotation.Flags=28",
                  L"Annotation.Popup", L"Popup.Open=-1", L"Popup.Title=\"Comment\"", L"Annotation.BlendMode=\"Multiply\"",
                  L"Annotation.Color=65535", L"Annotation.Contents=\"note\"", L"Annotation.Author=\"reader\"",
                  L"Annotation.SetValue(\"TextID\", \"20260304050607\")", L"Annotation.Commit()",
                  L"Annotation.UpdateAppearance()", L"Document.Window", L"DocWindow.View", L"Page.Update()",
                  L"PageView.Refresh()"}),
              AnnotationLines());
}

TEST_F(Annotations, NotesRefuseMissingPagesAndDocuments) {
    LONG r = 5;
    EXPECT_EQ(S_FALSE, fun->AddComment(1, 0, 0, nullptr, &r));
    EXPECT_EQ(1, r);
    Open(kDocument);
    for (LONG page : {0L, 5L, -1L, LONG_MIN, LONG_MAX}) {
        r = 5;
        EXPECT_EQ(S_FALSE, fun->AddComment(page, 0, 0, nullptr, &r));
        EXPECT_EQ(1, r);
        EXPECT_EQ(S_FALSE, fun->InsertText(page, 0, 0, nullptr, 9, &r));
        EXPECT_EQ(S_FALSE, fun->InsertImageExt(page, 0, 0, 1, 1, nullptr, 0, 1, 0, &r));
        EXPECT_EQ(S_FALSE, fun->AddCommentExt(page, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &r));
    }
    EXPECT_TRUE(Lines(L"Annotations.Add").empty());
    EXPECT_EQ(S_OK, fun->AddComment(1, LONG_MAX, LONG_MIN, nullptr, &r)) << "coordinates at the limits";
}

TEST_F(Annotations, CommentExtKeepsGivenTimesAndIdentifiersButTheReadersAuthor) {
    Open(kDocument);
    fun->put_PositionBack(VARIANT_FALSE);
    struct Case {
        const wchar_t* ctime;
        const wchar_t* stored;
    } cases[] = {{L"2021-05-06 10:20:30", L"D:20210506102030+08'00'"},
                 {L"D:20210506102030+08'00'", L"D:20210506102030+08'00'"},
                 {L"2021-05-06", L"20210506"}};
    for (const Case& c : cases) {
        sim->ClearJournal();
        LONG r = -1;
        ASSERT_EQ(S_OK, fun->AddCommentExt(3, 1.25f, 2.5f, UniqueBstr(L"t").get(), UniqueBstr(c.ctime).get(),
                                           UniqueBstr(L"m").get(), UniqueBstr(L"somebody").get(), UniqueBstr(L"U7").get(),
                                           UniqueBstr(&c == &cases[2] ? L"" : L"T9").get(), &r));
        EXPECT_EQ(0, r);
        std::vector<std::wstring> expected = {L"Annotations.Add(0)", L"Page.Rotation",
                                              L"Annotation.SetRect(1.25, 2.5, 21.25, 20.5)", L"Annotation.Flags=28",
                                              L"Annotation.Color=65535", L"Annotation.Contents=\"t\"",
                                              L"Annotation.SetValue(\"CreationDate\", \"" + std::wstring(c.stored) + L"\")"};
        if (&c != &cases[2]) expected.push_back(L"Annotation.SetValue(\"TextID\", \"T9\")");
        for (const wchar_t* tail :
             {L"Annotation.SetValue(\"UserID\", \"U7\")", L"Annotation.Author=\"winuser\"", L"Annotation.Popup",
              L"Popup.Open=-1", L"Popup.Title=\"Comment\"", L"Annotation.Commit()", L"Annotation.UpdateAppearance()",
              L"Document.Window", L"DocWindow.View", L"Page.Update()", L"PageView.Refresh()"})
            expected.push_back(tail);
        EXPECT_EQ(expected, AnnotationLines()) << c.ctime;
    }
}

TEST_F(Annotations, FreeTextBoxesStylesAndColours) {
    Open(kDocument);
    LONG r = -1;
    ASSERT_EQ(S_OK, fun->InsertText(1, 50, 60, UniqueBstr(L"typed").get(), 14, &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ((std::vector<std::wstring>{L"Annotations.Add(2)", L"Annotation.TextStyle", L"Annotation.Contents=\"typed\"",
                                         L"Annotation.SetRect(50, 60, 170, -60)", L"Annotation.BlendMode=\"Multiply\"",
                                         L"TextStyle.Color=0", L"TextStyle.FontSize=14", L"TextStyle.SecondOption=0",
                                         L"TextStyle.Intent=\"FreeTextTypewriter\"", L"Annotation.Author=\"winuser\"",
                                         L"Annotation.Commit()", L"Document.Window", L"DocWindow.View", L"Page.Update()",
                                         L"PageView.Refresh()"}),
              AnnotationLines());
    struct Case {
        const wchar_t* colour;
        float w, h;
        const wchar_t* rect;
        const wchar_t* colourLine;
    } cases[] = {{L"#FF8000", 96, 0, L"Annotation.SetRect(50, 60, 122, 150)", L"TextStyle.Color=33023"},
                 {L"#0a0B0c", 200, 48, L"Annotation.SetRect(50, 60, 200, 96)", L"TextStyle.Color=789258"},
                 {L"red", 0, 0, L"Annotation.SetRect(50, 60, 140, 150)", L"TextStyle.Color=0"},
                 {L"#12", 0, 0, L"Annotation.SetRect(50, 60, 140, 150)", L"TextStyle.Color=18"}};
    for (const Case& c : cases) {
        sim->ClearJournal();
        ASSERT_EQ(S_OK, fun->InsertTextEx(1, 50, 60, UniqueBstr(L"x").get(), 9, UniqueBstr(c.colour).get(),
                                          UniqueBstr(L"宋体").get(), c.w, c.h, &r));
        EXPECT_EQ(std::vector<std::wstring>{c.rect}, Lines(L"SetRect")) << c.colour;
        EXPECT_EQ(std::vector<std::wstring>{c.colourLine}, Lines(L"TextStyle.Color")) << c.colour;
        EXPECT_TRUE(Journaled(L"TextStyle.FontName=\"宋体\""));
    }
}

TEST_F(Annotations, TextPostilInfoListsTextNotesUnescaped) {
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, fun->GetTextPostilInfo(&text));
    EXPECT_STREQ(L"", text);
    SysFreeString(text);
    Open(kDocument);
    fun->GetTextPostilInfo(&text);
    EXPECT_STREQ(L"<Comment><UserName>bob</UserName><UserID></UserID><CreationDate>D:20260105093000</CreationDate>"
                 L"<Contents>say \"hi\" <b></Contents></Comment>\r\n"
                 L"<Comment><UserName>alice</UserName><UserID></UserID><CreationDate>D:20260106</CreationDate>"
                 L"<Contents>second</Contents></Comment>\r\n",
                 text);
    SysFreeString(text);
}

// ---- image stamps from a file or an address -------------------------------------------------------

TEST_F(Annotations, InsertImageNeedsAFileOrAnAddress) {
    Open(kDocument);
    LONG r = -1;
    EXPECT_EQ(S_OK, fun->InsertImage(1, 1, 2, 3, 4, UniqueBstr(L"C:\\no\\such.png").get(), &r));
    EXPECT_EQ(1, r);
    EXPECT_EQ(std::vector<std::wstring>{L"MessageBoxW(null, \"文件不存在！\", \"Folium2018\", 16)"}, Captured());
    EXPECT_TRUE(Lines(L"Annotations.Add").empty());

    fun->put_AnnotStampType(UniqueBstr(L"T").get());
    sim->ClearJournal();
    EXPECT_EQ(S_OK, fun->InsertImage(2, 10, 20, 30, 40, UniqueBstr(L"see https://host/a.png").get(), &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ((std::vector<std::wstring>{L"Annotations.Add(12)", L"Annotation.SetRect(10, 20, 40, 60)",
                                         L"Annotation.BlendMode=\"Multiply\"", L"Annotation.Color=65535",
                                         L"Annotation.Author=\"winuser\"",
                                         L"Annotation.SetValue(\"AnnotInfo\", \"{\\\"author\\\":\\\"winuser\\\",\\\"customType\\\":\\\"T\\\"}\")",
                                         L"Annotation.SetImage(\"see https://host/a.png\")", L"Annotation.ImageRotation=90",
                                         L"Annotation.Commit()", L"Document.Window", L"DocWindow.View", L"Page.Update()",
                                         L"PageView.Refresh()"}),
              AnnotationLines());
}

TEST_F(Annotations, InsertImageExtUsesSinglePrecisionAndItsOwnBlending) {
    Open(kDocument);
    fun->put_AnnotInfo(UniqueBstr(L"given").get());
    LONG r = -7;
    ASSERT_EQ(S_OK, fun->InsertImageExt(1, 0.1f, 0.2f, 0.3f, 1e8f, UniqueBstr(L"http://h/i.png").get(), VARIANT_FALSE,
                                        0.5f, -45.9f, &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Annotations.Add(12)", L"Annotation.SetRect(0.1000000015, 0.200000003, 0.400000006, 100000000)",
                  L"Annotation.BlendMode=\"Multiply\"", L"Annotation.Color=-2130706688", L"Annotation.Author=\"winuser\"",
                  L"Annotation.SetValue(\"AnnotInfo\", \"given\")", L"Annotation.SetImage(\"http://h/i.png\")",
                  L"Annotation.Opacity=0.5", L"Annotation.ImageRotation=-45", L"Annotation.ImageFlag=1",
                  L"Annotation.Commit()", L"Document.Window", L"DocWindow.View", L"Page.Update()", L"PageView.Refresh()"}),
              AnnotationLines());
    sim->ClearJournal();
    fun->InsertImageExt(1, 0, 0, 1, 1, UniqueBstr(L"C:\\missing.png").get(), VARIANT_TRUE, 1, 0, &r);
    EXPECT_EQ(-1, r) << "the reader's answer for an unreadable file";
    EXPECT_TRUE(Lines(L"BlendMode").empty());
    EXPECT_TRUE(Captured().empty()) << "no message";
}

}  // namespace

// ---- image stamps at resolved positions --------------------------------------------------------

namespace {

// Page 1: "alpha" at x 100..125 and 155..180, glyphs y 700..710; page 2: "alpha" at
// x 300..350, y 400..420; page 3: no text.
const char kTextDocument[] = R"({"pages": [
  {"text": [{"x": 100, "y": 700, "size": 10, "text": "alpha beta alpha"}]},
  {"text": [{"x": 300, "y": 400, "size": 20, "text": "alpha"}]},
  {}
]})";

struct PositionCase {
    const wchar_t* text;
    LONG mode, first, last;
    std::vector<std::wstring> rects;  // the SetRect arguments of each stamp, in order
};

}  // namespace

TEST_F(Annotations, PositionsPlaceOneStampPerResolvedPoint) {
    Open(kTextDocument);
    // Width and height 96 give whole sides of 190 page units: 95 on each side of the point.
    const PositionCase cases[] = {
        {L"100*200", 1, 1, 3, {L"5, 105, 195, 295", L"5, 105, 195, 295", L"5, 105, 195, 295"}},
        {L"10.9*-20.5x", 2, 2, 2, {L"-85, -115, 105, 75"}},
        {L" 7* 8", 1, 3, 3, {L"-88, -87, 102, 103"}},
        {L"100", 1, 1, 3, {}},
        {L"100 *200", 1, 1, 1, {}},
        {L"*200", 1, 1, 1, {}},
        {L"", 2, 1, 1, {}},
        {L"100*200", 3, 1, 3, {}},
        {L"100*200", -1, 1, 3, {}},
        {L"100*200", 5, 1, 3, {}},
        {L"alpha", 0, 1, 3, {L"17, 610, 207, 800", L"230, 315, 420, 505"}},
        {L"ALPHA", 4, 1, 3, {L"17, 610, 207, 800", L"72, 610, 262, 800", L"230, 315, 420, 505"}},
        {L"alpha", 4, 2, 3, {L"230, 315, 420, 505"}},
        {L"omega", 4, 1, 3, {}},
        {L"alpha", 1, 1, 1, {}},
    };
    for (const PositionCase& c : cases) {
        sim->ClearJournal();
        LONG r = -9;
        ASSERT_EQ(S_OK, fun->InsertImageByPosition(UniqueBstr(c.text).get(), c.mode, c.first, c.last, 96, 96,
                                                   UniqueBstr(L"http://h/s.png").get(), 0, &r));
        EXPECT_EQ(0, r) << c.text;
        std::vector<std::wstring> rects;
        for (auto& l : Lines(L"Annotation.SetRect(")) rects.push_back(l.substr(19, l.size() - 20));
        EXPECT_EQ(c.rects, rects) << c.text << " mode " << c.mode;
        EXPECT_EQ(c.rects.size(), Lines(L"Annotation.Commit()").size());
    }
}

TEST_F(Annotations, PositionedStampsCheckRangeSourceAndStopAtARefusedImage) {
    LONG r = -9;
    EXPECT_EQ(S_FALSE, fun->InsertImageByPosition(UniqueBstr(L"1*1").get(), 1, 1, 1, 1, 1, nullptr, 0, &r));
    Open(kTextDocument);
    const LONG ranges[][2] = {{0, 1}, {1, 0}, {1, 4}, {3, 2}, {-5, 2}, {LONG_MIN, LONG_MAX}};
    for (auto& range : ranges) {
        EXPECT_EQ(S_FALSE, fun->InsertImageByPosition(UniqueBstr(L"1*1").get(), 1, range[0], range[1], 1, 1,
                                                      UniqueBstr(L"http://h/s.png").get(), 0, &r));
        EXPECT_EQ(S_FALSE, fun->InsertImageByPositionExt(UniqueBstr(L"1*1").get(), 1, range[0], range[1], 1, 1,
                                                         UniqueBstr(L"http://h/s.png").get(), 0, 1, &r));
    }
    EXPECT_EQ(-9, r);
    EXPECT_TRUE(Captured().empty());

    EXPECT_EQ(S_FALSE, fun->InsertImageByPosition(UniqueBstr(L"1*1").get(), 1, 1, 1, 1, 1,
                                                  UniqueBstr(L"C:\\no\\such.png").get(), 0, &r));
    EXPECT_EQ(S_FALSE, fun->InsertImageByPosition(UniqueBstr(L"1*1").get(), 1, 1, 1, 1, 1,
                                                  UniqueBstr(L"C:\\no\\such.png").get(), 1, &r));
    EXPECT_EQ((std::vector<std::wstring>{L"MessageBoxW(null, \"文件不存在！\", \"Folium2018\", 16)",
                                         L"MessageBoxW(null, \"文件路径错误！\", \"Folium2018\", 16)"}),
              Captured());
    EXPECT_TRUE(Lines(L"Annotations.Add").empty());

    // A download that fails leaves no picture: the first stamp refuses it and the loop ends.
    sim->ClearJournal();
    EXPECT_EQ(S_OK, fun->InsertImageByPosition(UniqueBstr(L"1*1").get(), 1, 1, 3, 1, 1,
                                               UniqueBstr(L"http://127.0.0.1:1/s.png").get(), 1, &r));
    EXPECT_EQ(-1, r);
    EXPECT_EQ(std::vector<std::wstring>{L"Annotation.SetImage(\"\")"}, Lines(L"SetImage"));
    EXPECT_TRUE(Lines(L"Annotation.Commit").empty());
    EXPECT_FALSE(Lines(L"NetFile.Open").empty());
    EXPECT_EQ(1u, Lines(L"PageView.Refresh()").size());
}

TEST_F(Annotations, PositionedStampExtKeepsFractionsAndSetsOpacity) {
    Open(kTextDocument);
    fun->put_PositionBack(VARIANT_FALSE);
    LONG r = -9;
    ASSERT_EQ(S_OK, fun->InsertImageByPositionExt(UniqueBstr(L"100*200").get(), 1, 2, 2, 96, 10,
                                                  UniqueBstr(L"http://h/s.png").get(), 0, 0.25f, &r));
    EXPECT_EQ(0, r);
    // 96 -> 190.5 units wide, 10 -> 19.84375 high.
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Annotations.Add(12)", L"Annotation.SetRect(4.75, 190.078126, 195.25, 209.921874)",
                  L"Annotation.Color=65535", L"Annotation.Opacity=0.25", L"Annotation.Author=\"winuser\"",
                  L"Annotation.SetValue(\"AnnotInfo\", \"{\\\"author\\\":\\\"winuser\\\",\\\"customType\\\":\\\"\\\"}\")",
                  L"Annotation.SetImage(\"http://h/s.png\")", L"Annotation.Commit()", L"Page.Update()",
                  L"Document.Window", L"DocWindow.View", L"PageView.Refresh()"}),
              AnnotationLines());
}

// ---- the stamp placed by the user's click ----------------------------------------------------

namespace {

ComPtr<IWICImagingFactory> Wic() {
    ComPtr<IWICImagingFactory> f;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, f.put_void());
    return f;
}

// A PNG of the given size filled with one BGRA colour.
std::vector<BYTE> MakePng(UINT w, UINT h, DWORD bgra, double dpi = 96) {
    auto f = Wic();
    std::vector<DWORD> pixels(static_cast<size_t>(w) * h, bgra);
    ComPtr<IWICBitmap> bitmap;
    f->CreateBitmapFromMemory(w, h, GUID_WICPixelFormat32bppBGRA, w * 4, w * h * 4,
                              reinterpret_cast<BYTE*>(pixels.data()), bitmap.put());
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    ComPtr<IWICBitmapEncoder> encoder;
    f->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put());
    encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    ComPtr<IWICBitmapFrameEncode> frame;
    encoder->CreateNewFrame(frame.put(), nullptr);
    frame->Initialize(nullptr);
    frame->SetSize(w, h);
    frame->SetResolution(dpi, dpi);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    frame->SetPixelFormat(&format);
    frame->WriteSource(bitmap.get(), nullptr);
    frame->Commit();
    encoder->Commit();
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    return bytes;
}

std::wstring Base64(const std::vector<BYTE>& bytes) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::wstring text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned n = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        text += table[n >> 18 & 63];
        text += table[n >> 12 & 63];
        text += i + 1 < bytes.size() ? table[n >> 6 & 63] : '=';
        text += i + 2 < bytes.size() ? table[n & 63] : '=';
    }
    return text;
}

struct Pixels {
    UINT w = 0, h = 0;
    std::vector<DWORD> bgra;
    DWORD at(UINT x, UINT y) const { return bgra[static_cast<size_t>(y) * w + x]; }
};

Pixels Decode(const std::wstring& path) {
    Pixels p;
    auto f = Wic();
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(f->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                            decoder.put())))
        return p;
    ComPtr<IWICBitmapFrameDecode> frame;
    decoder->GetFrame(0, frame.put());
    ComPtr<IWICFormatConverter> converter;
    f->CreateFormatConverter(converter.put());
    converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                          WICBitmapPaletteTypeCustom);
    converter->GetSize(&p.w, &p.h);
    p.bgra.resize(static_cast<size_t>(p.w) * p.h);
    converter->CopyPixels(nullptr, p.w * 4, p.w * p.h * 4, reinterpret_cast<BYTE*>(p.bgra.data()));
    return p;
}

// The point of a view event: client x in the low 16 bits, y in the next 16.
VARIANT ClientPoint(int x, int y) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI8;
    v.ullVal = (static_cast<ULONGLONG>(static_cast<USHORT>(y)) << 16) | static_cast<USHORT>(x);
    return v;
}

const char kPlainDocument[] = R"({"pages": [{"width": 600, "height": 800}, {"width": 600, "height": 800}]})";

}  // namespace

class StampPlacement : public Annotations {
protected:
    std::wstring stampText = Base64(MakePng(120, 60, 0xFFFFFFFF));

    ScopedVariant Fire(LONG dispid, VARIANT point) {
        ScopedVariant r;
        VARIANT view = vtMissing(), wParam = VLong(0), handled = vtMissing();
        EXPECT_EQ(S_OK, sim->FireEvent(dispid, view, wParam, point, handled, r.get()));
        return r;
    }
    LONG Prepare(const wchar_t* captions) {
        LONG r = -9;
        EXPECT_EQ(S_OK, fun->AddImageAnnotByString(UniqueBstr(captions).get(), UniqueBstr(stampText.c_str()).get(), &r));
        return r;
    }
};

TEST_F(StampPlacement, PendingStampFollowsTheMouseAndLandsOnceWhereClicked) {
    Open(kPlainDocument);
    SetReaderUser(L"reader");
    ASSERT_EQ(0, Prepare(L"一|二"));
    auto cursors = Lines(L"Cursors");
    ASSERT_EQ(3u, cursors.size());
    EXPECT_EQ(L"Cursors.Begin()", cursors[1]);
    EXPECT_EQ(0u, cursors[2].find(L"Cursors.AddImage(bytes["));
    EXPECT_NE(std::wstring::npos, cursors[2].find(L"], 16777215)")) << "white is the cursor's transparent colour";

    EXPECT_EQ(VARIANT_TRUE, Fire(7, ClientPoint(5, 5))->boolVal) << "the move is handled";
    EXPECT_EQ(1u, Lines(L"PageView.SetCursor(1)").size());

    Fire(3, ClientPoint(700, 10));  // right of the page: nothing yet
    EXPECT_EQ(0, AnnotCount(0));
    EXPECT_TRUE(Lines(L"Cursors.Remove").empty());

    sim->ClearJournal();
    EXPECT_EQ(VARIANT_FALSE, Fire(3, ClientPoint(150, 300))->boolVal);
    ASSERT_EQ(1, AnnotCount(0));
    EXPECT_EQ(std::vector<std::wstring>{L"Cursors.Remove(1)"}, Lines(L"Cursors.Remove"));
    auto stamp = Annot(0, 0);
    double left = 0, top = 0, width = 0, height = 0;
    {
        Quiet q(sim.get());
        stamp->get_Left(&left);
        stamp->get_Top(&top);
        stamp->get_Width(&width);
        stamp->get_Height(&height);
    }
    // The click at client (150, 300) is page point (150, 500): the stamp is centred there,
    // its size the picture's pixels at 72 / 96.
    EXPECT_DOUBLE_EQ(150, left + width / 2);
    EXPECT_DOUBLE_EQ(500, top - height / 2);
    EXPECT_DOUBLE_EQ(45, height);
    EXPECT_GT(width, 90) << "widened by the date caption";
    EXPECT_EQ(L"{\"author\":\"reader\",\"customType\":\"\"}", Value(stamp.get(), L"AnnotInfo"));
    EXPECT_EQ(1u, Lines(L"Annotation.SetImage(bytes[").size());

    Fire(3, ClientPoint(150, 300));
    EXPECT_EQ(1, AnnotCount(0)) << "a second click places nothing";
}

TEST_F(StampPlacement, RightClickCancelsThePendingStamp) {
    Open(kPlainDocument);
    ASSERT_EQ(0, Prepare(L"x"));
    Fire(5, ClientPoint(10, 10));
    Fire(3, ClientPoint(150, 300));
    EXPECT_EQ(0, AnnotCount(0));
    EXPECT_EQ(VARIANT_FALSE, Fire(7, ClientPoint(5, 5))->boolVal) << "no cursor any more";
}

TEST_F(StampPlacement, NothingPendsWithoutTextPictureOrPdfDocument) {
    LONG r = -9;
    EXPECT_EQ(S_OK, fun->AddImageAnnotByString(UniqueBstr(L"a").get(), UniqueBstr(stampText.c_str()).get(), &r));
    EXPECT_EQ(1, r) << "no document";
    Open(kPlainDocument);
    const std::wstring notAPicture = Base64(std::vector<BYTE>(64, 'x'));
    const wchar_t* pictures[] = {L"", L"!!!!", notAPicture.c_str()};
    for (const wchar_t* picture : pictures) {
        EXPECT_EQ(S_OK, fun->AddImageAnnotByString(UniqueBstr(L"a").get(), UniqueBstr(picture).get(), &r));
        EXPECT_EQ(1, r) << picture;
    }
    EXPECT_EQ(S_OK, fun->AddImageAnnotByString(nullptr, UniqueBstr(stampText.c_str()).get(), &r));
    EXPECT_EQ(1, r);
    Open(R"({"type": "OFD", "pages": [{}]})");
    EXPECT_EQ(S_OK, fun->AddImageAnnotByString(UniqueBstr(L"a").get(), UniqueBstr(stampText.c_str()).get(), &r));
    EXPECT_EQ(1, r);
    EXPECT_TRUE(Lines(L"Cursors").empty());
    Fire(3, ClientPoint(10, 10));
    EXPECT_TRUE(Lines(L"Annotations.Add").empty());
}

TEST_F(StampPlacement, CaptionsAreRenderedIntoTheStampWithItsBackgroundTransparent) {
    // The Chinese face must map to a font that has the glyphs, or GDI draws boxes.
    {
        HDC dc = CreateCompatibleDC(nullptr);
        HFONT font = CreateFontW(21, 0, 0, 0, 700, 0, 0, 0, GB2312_CHARSET, 0, 0, PROOF_QUALITY, 0, L"仿宋_GB2312");
        HGDIOBJ old = SelectObject(dc, font);
        WORD glyph = 0;
        GetGlyphIndicesW(dc, L"一", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
        SelectObject(dc, old);
        DeleteObject(font);
        DeleteDC(dc);
        ASSERT_NE(0xFFFF, glyph) << "no Chinese font behind 仿宋_GB2312 in the prefix";
    }
    Open(kPlainDocument);
    ASSERT_EQ(0, Prepare(L"一"));
    Fire(3, ClientPoint(300, 400));
    ASSERT_EQ(1, AnnotCount(0));
    wchar_t dir[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"st", 0, file);
    tempFiles.push_back(file);
    {
        Quiet q(sim.get());
        UniqueBstr size;
        Annot(0, 0)->ExportImage(UniqueBstr(file).get(), size.put());
    }
    const Pixels p = Decode(file);
    ASSERT_GT(p.w, 120u) << "widened for the date";
    ASSERT_EQ(60u, p.h);
    EXPECT_EQ(0u, p.at(0, 0) >> 24) << "the white background is transparent";
    EXPECT_EQ(0u, p.at(60, 2) >> 24);
    // The caption "一" in red: one horizontal stroke, much wider than high (a missing
    // glyph would be a box); the date in black to the right of the picture.
    UINT minX = p.w, maxX = 0, minY = p.h, maxY = 0, dark = 0;
    for (UINT y = 0; y < p.h; ++y)
        for (UINT x = 0; x < p.w; ++x) {
            const DWORD c = p.at(x, y);
            const BYTE a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            if (a == 255 && r > 150 && g < 100 && b < 100) {
                minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
            if (a == 255 && r < 80 && g < 80 && b < 80 && x >= 115) ++dark;
        }
    ASSERT_LE(minX, maxX) << "no red caption pixels";
    EXPECT_GT(maxX - minX + 1, 3 * (maxY - minY + 1)) << "a flat stroke, not a box";
    EXPECT_GT(maxX - minX + 1, 8u);
    EXPECT_GT(dark, 20u) << "the date caption";
}
