// Comments, text and image annotations through the DLL loaded by the reader
// simulator: the rights veto, the comment window, finding annotations, the pen and
// handwriting siblings, and the notes, free texts and stamps a page places.
#include "FamilyTestSupport.h"

#include <algorithm>
#include <climits>

#include "support/win/Image.h"

using namespace testsupport;

namespace {

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

// The tail every placed annotation ends with: the page and the view redrawn.
const Lines kRedraw = {L"Document.Window", L"DocWindow.View", L"Page.Update()", L"PageView.Refresh()"};
Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Annotations : public ConnectedComponent {
protected:
    void SetUp() override {
        ConnectedComponent::SetUp();
        CaptureImports();
        sim->SetDefaultAnswer(UniqueBstr(L"GetLocalTime").get(), *ScopedVariant::Bstr(L"2026-03-04 05:06:07").get());
        sim->SetDefaultAnswer(UniqueBstr(L"GetUserNameW").get(), *ScopedVariant::Bstr(L"winuser").get());
    }
    void Answer(const wchar_t* progId, const wchar_t* member, const ScopedVariant& v) {
        ComPtr<IQxStandIn> s;
        sim->StandIn(UniqueBstr(progId).get(), s.put());
        s->SetResult(UniqueBstr(member).get(), *v.get());
    }
    // Journal lines of the annotation operations, from the first Annotations.Add on.
    Lines AnnotationLines() {
        Lines out;
        bool started = false;
        for (auto& l : JournalLines()) {
            started = started || l.rfind(L"Annotations.Add", 0) == 0;
            if (started && l.rfind(L"Win32.", 0) != 0) out.push_back(l);
        }
        return out;
    }
};

// ---- rights and the veto of the annotation messages --------------------------------------

TEST_F(Annotations, RightsVetoTheMessagesOfOtherAuthorsAnnotations) {
    // Each row: the user (empty: the Windows user, "bob" here), one right, then the vetoes
    // on alice's stamp, bob's note, the widget and alice's note (page 2), each for the
    // messages OnLButtonDown, RButtonDown, OnDelKeyDown, LButtonDblClk and a lower-case
    // ondelkeydown (messages are compared exactly).
    const struct {
        const wchar_t *user, *property;  // property null: no right set
        LONG value;
        const wchar_t* vetoes;
    } cases[] = {
        {L"alice", nullptr, 0, L"00000 00000 00000 00000"},
        {L"alice", L"AllowMoveAnnot", 0, L"10000 10000 10000 10000"},
        {L"alice", L"ImageAnnotMoveRight", 1, L"10000 00000 00000 00000"},
        {L"alice", L"ImageAnnotMoveRight", 2, L"00000 00000 00000 00000"},
        {L"bob", L"ImageAnnotMoveRight", 2, L"10000 00000 00000 00000"},
        {L"alice", L"CommentTextMoveRight", 1, L"00000 10000 00000 10000"},
        {L"alice", L"CommentTextMoveRight", 2, L"00000 10000 00000 00000"},
        {L"", L"CommentTextMoveRight", 2, L"00000 00000 00000 10000"},
        {L"alice", L"CommentTextMoveRight", 3, L"00000 00000 00000 00000"},
        {L"alice", L"ImageAnnotDelRight", 1, L"01100 00000 00000 00000"},
        {L"alice", L"ImageAnnotDelRight", 2, L"00000 00000 00000 00000"},
        {L"", L"ImageAnnotDelRight", 2, L"01100 00000 00000 00000"},
        {L"alice", L"TextCommentRight", 1, L"00000 01100 00000 01100"},
        {L"alice", L"TextCommentRight", 2, L"00000 01100 00000 00000"},
        {L"bob", L"TextCommentRight", 3, L"00000 00000 00000 01100"},
        {L"alice", L"AnnotPopupEditRight", -1, L"00010 00010 00010 00010"},
        {L"alice", L"AnnotPopupEditRight", 1, L"00000 00000 00000 00000"},
    };
    // Before any is set: the defaults (AllowMoveAnnot 1, not VARIANT_TRUE).
    Steps({L"AllowMoveAnnot -> VT_BOOL=1", L"PositionBack -> VT_BOOL=-1", L"ImageAnnotDelRight -> VT_I4=0",
           L"ImageAnnotMoveRight -> VT_I4=0", L"CommentTextMoveRight -> VT_I4=0", L"TextCommentRight -> VT_I4=0",
           L"AnnotPopupEditRight -> VT_I4=0"});
    Open(kDocument);
    sim->SetDefaultAnswer(UniqueBstr(L"GetUserNameW").get(), *ScopedVariant::Bstr(L"bob").get());
    const auto all = AnnotationsOnPages();  // the seal (all[3]) is not among them
    const ComPtr<IQxAnnotation> annotations[] = {all.at(0), all.at(1), all.at(2), all.at(4)};
    for (const auto& c : cases) {
        for (const wchar_t* p : {L"ImageAnnotMoveRight", L"CommentTextMoveRight", L"ImageAnnotDelRight",
                                 L"TextCommentRight", L"AnnotPopupEditRight"})
            ScriptPut(p, VLong(0));
        ScriptPut(L"AllowMoveAnnot", VBool(true));
        ScriptPut(L"UserName", VStr(c.user));
        const wchar_t* property = c.property ? c.property : L"-";
        if (c.property) {
            const bool flag = std::wstring(c.property) == L"AllowMoveAnnot";
            ASSERT_EQ(S_OK, ScriptPut(c.property, flag ? VBool(c.value != 0) : VLong(c.value)));
            EXPECT_EQ(Script(c.property), flag ? Bool(c.value != 0) : I4(c.value)) << property;
        }
        std::wstring vetoes;
        for (const auto& a : annotations) {
            vetoes += vetoes.empty() ? L"" : L" ";
            for (const wchar_t* m : {L"Quirex.Annots:OnLButtonDown", L"Quirex.Annots:RButtonDown",
                                     L"Quirex.Annots:OnDelKeyDown", L"Quirex.Annots:LButtonDblClk",
                                     L"quirex.annots:ondelkeydown"}) {
                LONG handle = -1;  // stays -1 when the message cannot be fired
                sim->FireAnnotationMessage(UniqueBstr(m).get(), a.get(), &handle);
                vetoes += std::to_wstring(handle);
            }
        }
        EXPECT_EQ(vetoes, c.vetoes) << c.user << " " << property << "=" << c.value;
    }
}

TEST_F(Annotations, TextCommentRightLocksTheCommentBarsForGoodAndTheHandwritingButtonIsSwitched) {
    sim->AddAllStandIns();
    std::wstring bars;
    for (LONG right : {0, 2, 1, 0, 3}) {
        for (const wchar_t* bar : {L"Comments", L"Annots"})  // the user's reader unlocks them before 3
            if (right == 3) Host(L"CommandBars.Item(\"" + std::wstring(bar) + L"\").Enabled=BOOL:-1");
        EXPECT_EQ(S_OK, fun->put_TextCommentRight(right));
        for (const wchar_t* bar : {L"Comments", L"Annots", L"Zoom"})
            bars += Host(L"CommandBars.Item(\"" + std::wstring(bar) + L"\").Enabled") + L" ";
        bars += L"\n";
    }
    EXPECT_EQ(bars, L"VT_BOOL=-1 VT_BOOL=-1 VT_BOOL=-1 \nVT_BOOL=-1 VT_BOOL=-1 VT_BOOL=-1 \n"
                    L"VT_BOOL=0 VT_BOOL=0 VT_BOOL=-1 \nVT_BOOL=0 VT_BOOL=0 VT_BOOL=-1 \n"
                    L"VT_BOOL=0 VT_BOOL=0 VT_BOOL=-1 \n");
    // The full-text handwriting button of the comment bar; without the bar, true.
    EXPECT_EQ(Call(&IFoliumFun::get_EnableHandWriter), L"S_OK -1");
    EXPECT_EQ(S_OK, fun->put_EnableHandWriter(VARIANT_FALSE));
    EXPECT_EQ(Lines(2, L"Button.SetEnabled(0)"), JournalWith(L"SetEnabled("));
    EXPECT_EQ(Call(&IFoliumFun::get_EnableHandWriter), L"S_OK 0");
    LONG removed = 0;
    sim->RemoveCommandBar(UniqueBstr(L"Comments").get(), &removed);
    EXPECT_EQ(Call(&IFoliumFun::get_EnableHandWriter), L"S_OK -1") << "no comment bar";
}

// ---- comment window and visibility ------------------------------------------------------------

TEST_F(Annotations, CommentWindowAsksTheAnnotationAddInAndHidingSparesSealsAndWidgets) {
    sim->AddAllStandIns();
    Open(kDocument);
    Answer(L"Quirex.Annots", L"CommentWindow", ScopedVariant::I4(8));
    EXPECT_EQ(Call(&IFoliumFun::CommentWindow, 1), L"S_OK 7") << "the window is not enabled: left alone";
    fun->put_EnabledCommentWindow(VARIANT_TRUE);
    fun->put_AnnotPopupEditRight(-1);
    EXPECT_EQ(Call(&IFoliumFun::CommentWindow, 1), L"S_OK 7") << "pop-up editing is off";
    fun->put_AnnotPopupEditRight(0);
    fun->put_CurPage(2);
    EXPECT_EQ(Call(&IFoliumFun::CommentWindow, 5), L"S_OK 8");
    // (The reader's refresh event re-applying the window: late_bound.js.)
    // Hiding closes the window, then asks again as it now is; an empty answer reads as 0.
    // Every page is updated and the view refreshed once; on page 1 the widget and the seal
    // (any case) keep their visibility, so two of its four change.
    Answer(L"Quirex.Annots", L"CommentWindow", ScopedVariant());
    auto pages = [](const std::wstring& visible) {
        const std::wstring set = L" | Annotation.Visible=" + visible, update = L" | Page.Update()";
        return set + set + update + set + update + update + update + L" | PageView.Refresh()";
    };
    Steps({L"CommentVisible(0) -> VT_I4=0" + pages(L"0"), L"CommentVisible(1) -> VT_I4=0" + pages(L"-1")},
          {L"Visible=", L"Update()", L"Refresh()"});
    EXPECT_EQ((Lines{L"CommentWindow:M:2|VT_I4=1|VT_I4=1", L"CommentWindow:M:2|VT_I4=0|VT_I4=1",
                     L"CommentWindow:M:2|VT_I4=0|VT_I4=1", L"CommentWindow:M:2|VT_I4=0|VT_I4=1"}),
              CallsOf(L"Quirex.Annots"));
}

// ---- finding and listing notes ------------------------------------------------------------------

TEST_F(Annotations, GoToFindsByPostilOrTextIdIgnoringCaseAndTextNotesAreListedUnescaped) {
    EXPECT_EQ(Call(&IFoliumFun::GoToAnnot, L"P-1"), L"S_FALSE -1");
    EXPECT_EQ(Call(&IFoliumFun::GoToTextComment, L"P-1"), L"S_FALSE 1");
    EXPECT_EQ(Call(&IFoliumFun::GetTextPostilInfo), L"S_OK ");
    Open(kDocument);
    // Only the note's TextID matches; the stamp's PostilID comes first; the search stops there.
    Steps({L"CurPage=3", L"GoToTextComment(\"p-1\") -> VT_I4=0 | Annotation.GoTo()",
           L"reader.Documents.ActiveDocument.Window.View.CurrentPage -> VT_I4=2",
           L"GoToAnnot(\"p-1\") -> VT_I4=0 | Annotation.GoTo()",
           L"reader.Documents.ActiveDocument.Window.View.CurrentPage -> VT_I4=1",
           L"GoToAnnot(\"t-abc\") -> VT_I4=0 | Annotation.GoTo()", L"GoToAnnot(\"T-Ab\") -> VT_I4=1"},
          {L"Annotation.GoTo"});
    EXPECT_EQ(Call(&IFoliumFun::GetTextPostilInfo),
              L"S_OK <Comment><UserName>bob</UserName><UserID></UserID><CreationDate>D:20260105093000"
              L"</CreationDate><Contents>say \"hi\" <b></Contents></Comment>\r\n"
              L"<Comment><UserName>alice</UserName><UserID></UserID><CreationDate>D:20260106</CreationDate>"
              L"<Contents>second</Contents></Comment>\r\n");
}

// ---- pen, handwriting and the siblings -------------------------------------------------------------

TEST_F(Annotations, SiblingCallsCarryTheContractsTypesAndResultsAndWithoutThemResultsStay) {
    EXPECT_EQ(Call(&IFoliumFun::HandWriter, 1), L"S_FALSE 1") << "no document";
    EXPECT_EQ(Call(&IFoliumFun::SetPostilPenWidth, 3), L"S_FALSE 7") << "no document";
    EXPECT_EQ(Call(&IFoliumFun::BuildStampModelImage, nullptr, 0), L"S_FALSE ") << "no document";
    sim->AddAllStandIns();
    Open(kDocument);
    Answer(L"Veridane.Folium2015", L"ShowSignDlg", ScopedVariant::I4(1));
    Answer(L"Veridane.Folium2015", L"SetFieldByName", ScopedVariant::I4(6));
    Answer(L"Quirex.Annots", L"BuildStampModelImage", ScopedVariant::Bstr(L"img"));
    Answer(L"Quirex.Annots", L"BuildStampModelTool", ScopedVariant::I4(8));
    Answer(L"Quirex.Annots", L"AddFreeTextCallout", ScopedVariant::I4(9));
    Answer(L"Veridane.Inkpad", L"ImportImageAnnot", ScopedVariant::I4(10));
    Answer(L"Veridane.Inkpad", L"SetOption", ScopedVariant::I4(3));
    // HandWriter(2): a result of 1 reads as 0; HandWriter(1): CreateHandWrite's empty result.
    Steps({L"HandWriter(2) -> VT_I4=0", L"HandWriter(1) -> VT_I4=0", L"ShowHandWriteTab(\"1,2\") -> VT_I4=6",
           L"BuildStampModelTool(\"p\", BOOL:-1) -> VT_I4=8", L"BuildStampModelImage(\"q\", BOOL:0) -> VT_BSTR=\"img\"",
           L"AddFreeTextCallout -> VT_I4=9",
           L"InsertImageByString(2, 30, 40, \"c\", \"m\", \"u\", \"id\", \"pic\", 1.5, 2.5, \"x\") -> VT_I4=10"});
    // The pen colour from the dialog, black when it is cancelled.
    sim->SetAnswer(UniqueBstr(L"ChooseColorW").get(), *ScopedVariant::I4(0x00336699L).get());
    EXPECT_EQ(Call(&IFoliumFun::SetPostilPenColor), L"S_OK 3");
    sim->SetAnswer(UniqueBstr(L"ChooseColorW").get(), *ScopedVariant::I4(-1L).get());
    EXPECT_EQ(Call(&IFoliumFun::SetPostilPenColor), L"S_OK 3");
    EXPECT_EQ(Call(&IFoliumFun::SetPostilPenWidth, 4), L"S_OK 3");
    fun->put_AnnotStampType(UniqueBstr(L"合同章").get());
    fun->put_AnnotStampType(nullptr);
    fun->put_AnnotInfo(UniqueBstr(L"{}").get());
    EXPECT_EQ((Lines{L"ShowSignDlg:M:1|VT_I4=3", L"SetFieldByName:M:2|VT_BSTR=\"VD_HideHandWriteType\"|VT_BSTR=\"1,2\""}),
              CallsOf(L"Veridane.Folium2015"));
    EXPECT_EQ((Lines{L"BuildStampModelTool:M:2|VT_BSTR=\"p\"|VT_I2=-1", L"BuildStampModelImage:M:2|VT_BSTR=\"q\"|VT_I2=0",
                     L"AddFreeTextCallout:M:0", L"AnnotStampType:P:1|VT_BSTR=\"合同章\""}),
              CallsOf(L"Quirex.Annots"));
    EXPECT_EQ((Lines{L"CreateHandWrite:M:0",
                     L"ImportImageAnnot:M:14|VT_I4=12|VT_BSTR=\"Stamp\"|VT_BSTR=\"\"|VT_BSTR=\"\"|VT_BSTR=\"c\"|"
                     L"VT_BSTR=\"m\"|VT_I4=2|VT_BSTR=\"u\"|VT_R4=2.5|VT_R4=1.5|VT_BSTR=\"pic\"|VT_I4=30|VT_I4=40|"
                     L"VT_BSTR=\"id\"",
                     L"SetOption:M:2|VT_I4=1|VT_UI4=3368601", L"SetOption:M:2|VT_I4=1|VT_UI4=0",
                     L"SetOption:M:2|VT_I4=2|VT_I4=4", L"AnnotStampType:P:1|VT_BSTR=\"合同章\"",
                     L"AnnotInfo:P:1|VT_BSTR=\"{}\""}),
              CallsOf(L"Veridane.Inkpad"));
    EXPECT_EQ(Call(&IFoliumFun::get_AnnotStampType), L"S_OK 合同章") << "a null type changes nothing";
    // Without the siblings out-parameters keep their defaults.
    for (const wchar_t* id : {L"Veridane.Folium2015", L"Veridane.Inkpad", L"Quirex.Annots"})
        sim->RemoveAddIn(UniqueBstr(id).get());
    EXPECT_EQ(Call(&IFoliumFun::SetPostilPenWidth, 3), L"S_OK 7");
    EXPECT_EQ(Call(&IFoliumFun::AddFreeTextCallout), L"S_OK 7");
    EXPECT_EQ(Call(&IFoliumFun::ShowHandWriteTab, nullptr), L"S_OK 0");
    const BSTR none = nullptr;
    EXPECT_EQ(Call(&IFoliumFun::InsertImageByString, 1, 0, 0, none, none, none, none, none, 0, 0, none), L"S_OK 7");
    EXPECT_EQ(Call(&IFoliumFun::CancelPostil), L"S_OK -1");
    EXPECT_TRUE(Journaled(L"Tool.Activate()"));
}

// ---- notes and free text ------------------------------------------------------------------------

TEST_F(Annotations, NoteIconFollowsThePageRotationUnlessTheNoteComesWithItsTimesAndIdentifiers) {
    Open(kDocument);
    Host(L"MainFrame.UserName=\"reader\"");
    Steps({L"AddComment(1, 10, 20, \"note\") -> VT_I4=0 | Annotation.SetRect(10, 2, 30, 20)",
           L"AddComment(2, 10, 20, \"note\") -> VT_I4=0 | Annotation.SetRect(10, 20, 28, 40)",
           L"AddComment(3, 10, 20, \"note\") -> VT_I4=0 | Annotation.SetRect(-10, 20, 10, 38)",
           L"AddComment(4, 10, 20, \"note\") -> VT_I4=0 | Annotation.SetRect(-8, 0, 10, 20)"},
          {L"SetRect"});
    EXPECT_EQ((Lines{L"Annotations.Add(0)", L"Page.Rotation", L"Annotation.SetRect(-8, 0, 10, 20)",
                     L"Annotation.Flags=28", L"Annotation.Popup", L"Popup.Open=-1", L"Popup.Title=\"Comment\"",
                     L"Annotation.BlendMode=\"Multiply\"", L"Annotation.Color=65535", L"Annotation.Contents=\"note\"",
                     L"Annotation.Author=\"reader\"", L"Annotation.SetValue(\"TextID\", \"20260304050607\")",
                     L"Annotation.Commit()", L"Annotation.UpdateAppearance()", L"Document.Window", L"DocWindow.View",
                     L"Page.Update()", L"PageView.Refresh()"}),
              AnnotationLines());

    // AddCommentExt: given times and identifiers, the reader's author, no blending.
    fun->put_PositionBack(VARIANT_FALSE);
    auto ext = [](const std::wstring& ctime, const std::wstring& stored, const std::wstring& textId) {
        return L"AddCommentExt(3, 1.25, 2.5, \"t\", \"" + ctime + L"\", \"m\", \"somebody\", \"U7\", \"" + textId +
               L"\") -> VT_I4=0 | Annotation.SetValue(\"CreationDate\", \"" + stored + L"\")" +
               (textId.empty() ? L"" : L" | Annotation.SetValue(\"TextID\", \"T9\")") +
               L" | Annotation.SetValue(\"UserID\", \"U7\")";
    };
    Steps({ext(L"2021-05-06 10:20:30", L"D:20210506102030+08'00'", L"T9"),
           ext(L"D:20210506102030+08'00'", L"D:20210506102030+08'00'", L"T9"), ext(L"2021-05-06", L"20210506", L"")},
          {L"SetValue("});
    EXPECT_EQ((Lines{L"Annotations.Add(0)", L"Page.Rotation", L"Annotation.SetRect(1.25, 2.5, 21.25, 20.5)",
                     L"Annotation.Flags=28", L"Annotation.Color=65535", L"Annotation.Contents=\"t\"",
                     L"Annotation.SetValue(\"CreationDate\", \"20210506\")", L"Annotation.SetValue(\"UserID\", \"U7\")",
                     L"Annotation.Author=\"reader\"", L"Annotation.Popup", L"Popup.Open=-1", L"Popup.Title=\"Comment\"",
                     L"Annotation.Commit()", L"Annotation.UpdateAppearance()"} +
               kRedraw),
              AnnotationLines());
}

TEST_F(Annotations, FreeTextBoxesStylesAndColours) {
    Open(kDocument);
    EXPECT_EQ(Call(&IFoliumFun::InsertText, 1, 50, 60, L"typed", 14), L"S_OK 0");
    EXPECT_EQ((Lines{L"Annotations.Add(2)", L"Annotation.TextStyle", L"Annotation.Contents=\"typed\"",
                     L"Annotation.SetRect(50, 60, 170, -60)", L"Annotation.BlendMode=\"Multiply\"", L"TextStyle.Color=0",
                     L"TextStyle.FontSize=14", L"TextStyle.SecondOption=0", L"TextStyle.Intent=\"FreeTextTypewriter\"",
                     L"Annotation.Author=\"winuser\"", L"Annotation.Commit()"} +
               kRedraw),
              AnnotationLines());
    auto ex = [](const std::wstring& colourText, const std::wstring& size, const std::wstring& rect, LONG colour) {
        return L"InsertTextEx(1, 50, 60, \"x\", 9, \"" + colourText + L"\", \"宋体\", " + size +
               L") -> VT_I4=0 | Annotation.SetRect(50, 60, " + rect + L") | TextStyle.Color=" +
               std::to_wstring(colour) + L" | TextStyle.FontName=\"宋体\"";
    };
    Steps({ex(L"#FF8000", L"96, 0", L"122, 150", 33023), ex(L"#0a0B0c", L"200, 48", L"200, 96", 789258),
           ex(L"red", L"0, 0", L"140, 150", 0), ex(L"#12", L"0, 0", L"140, 150", 18)},
          {L"SetRect", L"TextStyle.Color", L"FontName"});
}

// ---- image stamps from a file or an address -------------------------------------------------------

TEST_F(Annotations, ImageStampsFromAFileOrAnAddress) {
    Open(kDocument);
    EXPECT_EQ(Call(&IFoliumFun::InsertImage, 1, 1, 2, 3, 4, L"C:\\no\\such.png"), L"S_OK 1");
    EXPECT_EQ(CapturedOf(L"MessageBoxW"), Lines{L"MessageBoxW(null, \"文件不存在！\", \"Folium2018\", 16)"});
    EXPECT_TRUE(JournalWith(L"Annotations.Add").empty());
    fun->put_AnnotStampType(UniqueBstr(L"T").get());
    EXPECT_EQ(Call(&IFoliumFun::InsertImage, 2, 10, 20, 30, 40, L"see https://host/a.png"), L"S_OK 0");
    EXPECT_EQ((Lines{L"Annotations.Add(12)", L"Annotation.SetRect(10, 20, 40, 60)", L"Annotation.BlendMode=\"Multiply\"",
                     L"Annotation.Color=65535", L"Annotation.Author=\"winuser\"",
                     L"Annotation.SetValue(\"AnnotInfo\", "
                     L"\"{\\\"author\\\":\\\"winuser\\\",\\\"customType\\\":\\\"T\\\"}\")",
                     L"Annotation.SetImage(\"see https://host/a.png\")", L"Annotation.ImageRotation=90",
                     L"Annotation.Commit()"} +
               kRedraw),
              AnnotationLines());
    // InsertImageExt: single precision throughout, its own colour and blending switch.
    sim->ClearJournal();
    fun->put_AnnotInfo(UniqueBstr(L"given").get());
    EXPECT_EQ(Call(&IFoliumFun::InsertImageExt, 1, 0.1f, 0.2f, 0.3f, 1e8f, L"http://h/i.png", VARIANT_FALSE, 0.5f,
                   -45.9f),
              L"S_OK 0");
    EXPECT_EQ((Lines{L"Annotations.Add(12)", L"Annotation.SetRect(0.1000000015, 0.200000003, 0.400000006, 100000000)",
                     L"Annotation.BlendMode=\"Multiply\"", L"Annotation.Color=-2130706688",
                     L"Annotation.Author=\"winuser\"", L"Annotation.SetValue(\"AnnotInfo\", \"given\")",
                     L"Annotation.SetImage(\"http://h/i.png\")", L"Annotation.Opacity=0.5",
                     L"Annotation.ImageRotation=-45", L"Annotation.ImageFlag=1", L"Annotation.Commit()"} +
               kRedraw),
              AnnotationLines());
    sim->ClearJournal();
    EXPECT_EQ(Call(&IFoliumFun::InsertImageExt, 1, 0, 0, 1, 1, L"C:\\missing.png", VARIANT_TRUE, 1, 0), L"S_OK -1")
        << "the reader's answer for an unreadable file";
    EXPECT_TRUE(JournalWith(L"BlendMode").empty());
    EXPECT_EQ(1u, CapturedOf(L"MessageBoxW").size()) << "no message of its own";
}

// ---- image stamps at resolved positions --------------------------------------------------------

// Page 1: "alpha" at x 100..125 and 155..180, glyphs y 700..710; page 2: "alpha" at
// x 300..350, y 400..420; page 3: no text.
const char kTextDocument[] = R"({"pages": [
  {"text": [{"x": 100, "y": 700, "size": 10, "text": "alpha beta alpha"}]},
  {"text": [{"x": 300, "y": 400, "size": 20, "text": "alpha"}]},
  {}
]})";

TEST_F(Annotations, PositionsPlaceOneStampPerResolvedPoint) {
    Open(kTextDocument);
    // Width 96 and height 190 (pixels) give whole sides of 190 and 361 page units: 95 and
    // 180 on each side of the point.
    const struct {
        const wchar_t* text;
        LONG mode, first, last;
        Lines rects;  // the SetRect arguments of each stamp, in order
    } cases[] = {
        {L"100*200", 1, 1, 3, Lines(3, L"5, 20, 195, 380")},
        {L"10.9*-20.5x", 2, 2, 2, {L"-85, -200, 105, 160"}},
        {L" 7* 8", 1, 3, 3, {L"-88, -172, 102, 188"}},
        {L"100", 1, 1, 3, {}},
        {L"", 2, 1, 1, {}},
        {L"100*200", 3, 1, 3, {}},
        {L"100*200", -1, 1, 3, {}},
        {L"100*200", 5, 1, 3, {}},
        {L"alpha", 0, 1, 3, {L"17, 525, 207, 885", L"230, 230, 420, 590"}},
        {L"ALPHA", 4, 1, 3, {L"17, 525, 207, 885", L"72, 525, 262, 885", L"230, 230, 420, 590"}},
        {L"alpha", 4, 2, 3, {L"230, 230, 420, 590"}},
        {L"omega", 4, 1, 3, {}},
        {L"alpha", 1, 1, 1, {}},
    };
    for (const auto& c : cases) {
        sim->ClearJournal();
        EXPECT_EQ(Call(&IFoliumFun::InsertImageByPosition, c.text, c.mode, c.first, c.last, 96, 190, L"http://h/s.png",
                       0),
                  L"S_OK 0")
            << c.text;
        Lines rects;
        for (auto& l : JournalWith(L"Annotation.SetRect(")) rects.push_back(l.substr(19, l.size() - 20));
        EXPECT_EQ(c.rects, rects) << c.text << " mode " << c.mode;
    }
    // The Ext variant keeps fractions and sets the opacity.
    sim->ClearJournal();
    fun->put_PositionBack(VARIANT_FALSE);
    EXPECT_EQ(Call(&IFoliumFun::InsertImageByPositionExt, L"100*200", 1, 2, 2, 96, 10, L"http://h/s.png", 0, 0.25f),
              L"S_OK 0");
    // 96 -> 190.5 units wide, 10 -> 19.84375 high.
    EXPECT_EQ((Lines{L"Annotations.Add(12)", L"Annotation.SetRect(4.75, 190.078126, 195.25, 209.921874)",
                     L"Annotation.Color=65535", L"Annotation.Opacity=0.25", L"Annotation.Author=\"winuser\"",
                     L"Annotation.SetValue(\"AnnotInfo\", "
                     L"\"{\\\"author\\\":\\\"winuser\\\",\\\"customType\\\":\\\"\\\"}\")",
                     L"Annotation.SetImage(\"http://h/s.png\")", L"Annotation.Commit()", L"Page.Update()",
                     L"Document.Window", L"DocWindow.View", L"PageView.Refresh()"}),
              AnnotationLines());
}

TEST_F(Annotations, PlacingRefusesMissingDocumentsPagesAndImagesAndStopsAtARefusedImage) {
    const BSTR none = nullptr;
    const auto byPosition = [&](LONG first, LONG last, const wchar_t* image, LONG isUrl) {
        return Call(&IFoliumFun::InsertImageByPosition, L"1*1", 1, first, last, 1, 1, image, isUrl) + L" " +
               Call(&IFoliumFun::InsertImageByPositionExt, L"1*1", 1, first, last, 1.0f, 1.0f, image, isUrl, 1.0f);
    };
    EXPECT_EQ(Call(&IFoliumFun::AddComment, 1, 0, 0, none), L"S_FALSE 1") << "no document";
    EXPECT_EQ(byPosition(1, 1, L"http://h/s.png", 0), L"S_FALSE 7 S_FALSE 7") << "no document";
    Open(kTextDocument);
    for (LONG page : {0L, 4L, -1L, LONG_MIN, LONG_MAX}) {
        SCOPED_TRACE(page);
        EXPECT_EQ(Call(&IFoliumFun::AddComment, page, 0, 0, none), L"S_FALSE 1");
        EXPECT_EQ(Call(&IFoliumFun::InsertText, page, 0, 0, none, 9), L"S_FALSE 1");
        EXPECT_EQ(Call(&IFoliumFun::InsertImage, page, 0, 0, 1, 1, L"http://h/i.png"), L"S_FALSE 1");
        EXPECT_EQ(Call(&IFoliumFun::InsertImageExt, page, 0, 0, 1, 1, none, 0, 1, 0), L"S_FALSE 1");
        EXPECT_EQ(Call(&IFoliumFun::AddCommentExt, page, 0, 0, none, none, none, none, none, none), L"S_FALSE 1");
    }
    const LONG ranges[][2] = {{0, 1}, {1, 0}, {1, 4}, {3, 2}, {-5, 2}, {LONG_MIN, LONG_MAX}};
    for (auto& range : ranges)
        EXPECT_EQ(byPosition(range[0], range[1], L"http://h/s.png", 0), L"S_FALSE 7 S_FALSE 7") << range[0];
    // Positioned stamps then check the picture's source (the only messages of this test).
    EXPECT_EQ(byPosition(1, 1, L"C:\\no\\such.png", 0), L"S_FALSE 7 S_FALSE 7");
    EXPECT_EQ(byPosition(1, 1, L"C:\\no\\such.png", 1), L"S_FALSE 7 S_FALSE 7");
    EXPECT_EQ(Lines(2, L"MessageBoxW(null, \"文件不存在！\", \"Folium2018\", 16)") +
                  Lines(2, L"MessageBoxW(null, \"文件路径错误！\", \"Folium2018\", 16)"),
              CapturedOf(L"MessageBoxW"));
    EXPECT_TRUE(JournalWith(L"Annotations.Add").empty());
    EXPECT_EQ(Call(&IFoliumFun::AddComment, 1, LONG_MAX, LONG_MIN, none), L"S_OK 0") << "coordinates at the limits";

    // A download that fails leaves no picture: the first stamp refuses it and the loop ends.
    sim->ClearJournal();
    EXPECT_EQ(Call(&IFoliumFun::InsertImageByPosition, L"1*1", 1, 1, 3, 1, 1, L"http://127.0.0.1:1/s.png", 1),
              L"S_OK -1");
    EXPECT_EQ(JournalShown({L"NetFile.Open", L"SetImage", L"Annotation.Commit", L"Refresh()"}),
              L" | NetFile.Open(0, \"http://127.0.0.1:1/s.png\", 0, missing, missing) | Annotation.SetImage(\"\")"
              L" | PageView.Refresh()");
}

// ---- the stamp placed by the user's click ----------------------------------------------------

const char kPlainDocument[] = R"({"pages": [{"width": 600, "height": 800}, {"width": 600, "height": 800}]})";

// A white picture of 120 x 60 pixels (PNG, base64).
const wchar_t kWhiteStamp[] =
    L"iVBORw0KGgoAAAANSUhEUgAAAHgAAAA8CAIAAAAiz+n/AAAAZElEQVR42u3QQREAAAwCIPuX1ha7PSACKSeiQLRoRIsWjWjRiBYtGtGiES1a"
    L"NKJFI1q0aESLRrRo0YgWjWjRohEtGtGiRSNaNKJFi0a0aESLFo1o0YgWLRrRohEtWjSiRSP6lwGASBCN/6TiogAAAABJRU5ErkJggg==";

class StampPlacement : public Annotations {
protected:
    // A view event at client point (x, y): x in the low 16 bits, y in the next 16.
    VARIANT_BOOL Fire(LONG dispid, int x, int y) {
        ScopedVariant r;
        VARIANT point;
        VariantInit(&point);
        point.vt = VT_UI8;
        point.ullVal = (static_cast<ULONGLONG>(static_cast<USHORT>(y)) << 16) | static_cast<USHORT>(x);
        auto missing = ScopedVariant::Missing();
        EXPECT_EQ(S_OK, sim->FireEvent(dispid, *missing.get(), VLong(0), point, *missing.get(), r.get()));
        return r.type() == VT_BOOL ? r->boolVal : 5;
    }
    std::wstring Prepare(const wchar_t* captions, const wchar_t* picture = nullptr) {
        return Call(&IFoliumFun::AddImageAnnotByString, captions, picture ? picture : kWhiteStamp);
    }
};

TEST_F(StampPlacement, PendingStampNeedsTextPictureAndPdfThenFollowsTheMouseAndLandsOnceWithItsCaptions) {
    EXPECT_EQ(L"S_OK 1", Prepare(L"a")) << "no document";
    Open(kPlainDocument);
    for (const wchar_t* picture : {L"", L"!!!!", L"eHh4eHh4eHh4eHh4"}) EXPECT_EQ(L"S_OK 1", Prepare(L"a", picture));
    EXPECT_EQ(L"S_OK 1", Prepare(nullptr));
    Open(R"({"type": "OFD", "pages": [{}]})");
    EXPECT_EQ(L"S_OK 1", Prepare(L"a"));
    EXPECT_TRUE(JournalWith(L"Cursors").empty());
    Fire(3, 10, 10);
    EXPECT_TRUE(JournalWith(L"Annotations.Add").empty());

    Open(kPlainDocument);
    Host(L"MainFrame.UserName=\"reader\"");
    ASSERT_EQ(L"S_OK 0", Prepare(L"一"));
    auto cursors = JournalWith(L"Cursors");
    ASSERT_EQ(3u, cursors.size());
    EXPECT_EQ(L"Cursors.Begin()", cursors[1]);
    EXPECT_EQ(0u, cursors[2].find(L"Cursors.AddImage(bytes["));
    EXPECT_NE(std::wstring::npos, cursors[2].find(L"], 16777215)")) << "white is the cursor's transparent colour";

    EXPECT_EQ(VARIANT_TRUE, Fire(7, 5, 5)) << "the move is handled";
    EXPECT_EQ(1u, JournalWith(L"PageView.SetCursor(1)").size());
    Fire(3, 700, 10);  // right of the page: nothing yet
    EXPECT_TRUE(AnnotationsOnPages(0).empty());
    EXPECT_TRUE(JournalWith(L"Cursors.Remove").empty());

    sim->ClearJournal();
    EXPECT_EQ(VARIANT_FALSE, Fire(3, 150, 300));
    ASSERT_EQ(1u, AnnotationsOnPages(0).size());
    EXPECT_EQ(Lines{L"Cursors.Remove(1)"}, JournalWith(L"Cursors.Remove"));
    // Its size is the picture's pixels at 72 / 96 (where it lands, late_bound.js checks).
    const std::wstring stamp = L"Documents.ActiveDocument.Pages.Item(0).Annotations.Item(0).";
    EXPECT_EQ(Host(stamp + L"Height"), L"VT_R8=45");
    EXPECT_GT(std::stod(Host(stamp + L"Width").substr(6)), 90) << "widened by the date caption";
    EXPECT_EQ(Host(stamp + L"GetValue(\"AnnotInfo\")"), Str(L"{\"author\":\"reader\",\"customType\":\"\"}"));
    const std::wstring file = TempFolder() + L"folium-placed-stamp.png";
    tempFiles.push_back(file);
    Host(stamp + L"ExportImage(\"" + file + L"\")");

    const auto p = folium::Image::LoadFile(file.c_str());
    ASSERT_EQ(60u, p.Height());
    EXPECT_EQ(0u, p.Pixel(0, 0) >> 24) << "the white background is transparent";
    EXPECT_EQ(0u, p.Pixel(60, 2) >> 24);
    // The caption "一" in red: one horizontal stroke, much wider than high (a missing
    // glyph would be a box); the date in black to the right of the picture.
    UINT minX = p.Width(), maxX = 0, minY = p.Height(), maxY = 0, dark = 0;
    for (UINT y = 0; y < p.Height(); ++y)
        for (UINT x = 0; x < p.Width(); ++x) {
            const uint32_t c = p.Pixel(x, y);
            const BYTE a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            if (a == 255 && r > 150 && g < 100 && b < 100) {
                minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
            if (a == 255 && r < 80 && g < 80 && b < 80 && x >= 115) ++dark;
        }
    ASSERT_LE(minX, maxX) << "no red caption pixels";
    EXPECT_GT(maxX - minX + 1, 3 * (maxY - minY + 1)) << "a flat stroke, not a box: a font with the glyphs";
    EXPECT_GT(maxX - minX + 1, 8u);
    EXPECT_GT(dark, 20u) << "the date caption";

    // A right click cancels the next pending stamp.
    ASSERT_EQ(L"S_OK 0", Prepare(L"x"));
    Fire(5, 10, 10);
    Fire(3, 150, 300);
    EXPECT_EQ(1u, AnnotationsOnPages(0).size());
    EXPECT_EQ(VARIANT_FALSE, Fire(7, 5, 5)) << "no cursor any more";
}

}  // namespace
