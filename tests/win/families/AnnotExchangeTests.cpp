// Annotation exchange records against documents in the reader simulator: the
// exact text, the annotation file, the way back into a document and the
// handwriting component's forwarder.
#include "FamilyTestSupport.h"

#include <shlobj.h>

using namespace testsupport;

namespace {

// Page 1: a note (its type in capitals: compared ignoring case) whose text has quotes
// and a backslash, a text stamp with its author in "AnnotInfo", a free-text annotation
// (not exchanged). Page 2: an image stamp ("GIF89a" as its image) and a stamp of
// another stamp kind.
const char kSmallDoc[] = R"({"type":"PDF","pages":[
 {"width":595,"height":842,"annotations":[
  {"kind":0,"type":"TEXT","author":"张三","rect":[100,700,120,718],"contents":"say \"hi\" \\ ok",
   "creationDate":"D:20260105093000","values":{"AnnotID":"a-1"}},
  {"kind":12,"type":"Stamp","rect":[300,500,400,550],"stampKind":0,"stampText":"已审核",
   "uniqueName":"u-2","creationDate":"D:20260105093100","modDate":"D:20260106080000","rotation":90,
   "values":{"AnnotInfo":"{\"author\":\"李四\",{\"authorId\":\"42\",\"customType\":\"seal\"}"}},
  {"kind":2,"type":"FreeText","rect":[10,10,50,50],"contents":"free"}]},
 {"width":595,"height":842,"annotations":[
  {"kind":12,"type":"Stamp","rect":[50.25,60,250.25,160],"stampKind":1,"image":"R0lGODlh",
   "uniqueName":"u-3","creationDate":"D:20260105093200+08'00'","modDate":"D:20260105093300",
   "values":{"AnnotInfo":"{\"author\":\"wang\",\"customType\":\"\"}"}},
  {"kind":12,"type":"Stamp","rect":[0,0,10,10],"stampKind":5,"uniqueName":"u-4"}]}]})";

const wchar_t kSmallDocText[] =
    LR"([{"styleId":"0","styleName":"TEXT","unType":"","createTime":"D:20260105093000","annotContent":"say "hi" \ ok",)"
    LR"("pageNo":"1","authorName":"张三","height":"18.000000","width":"20.000000","X":"100.000000","Y":"718.000000",)"
    LR"("annotSignature":"","authorId":"a-1"},)"
    LR"({"X":"300.000000","Y":"550.000000","annotContent":"已审核",)"
    LR"("annotInfo":"{\"author\":\"李四\",{\"authorId\":\"42\",\"customType\":\"seal\"}","annotSignature":"",)"
    LR"("annotrotate":"90","authorId":"42","authorName":"李四","createTime":"D:20260105093100",)"
    LR"("curDateTime":"D:20260106080000","height":"50.000000","pageNo":"1","showheight":"50.000000",)"
    LR"("showwidth":"100.000000","styleId":"12","styleName":"Stamp","unType":"","uniqueName":"u-2","width":"100.000000"},)"
    LR"({"X":"50.250000","Y":"160.000000","annotContent":"","annotInfo":"{\"author\":\"wang\",\"customType\":\"\"}",)"
    LR"("annotSignature":"474946383961","annotrotate":"0","authorId":"","authorName":"wang",)"
    LR"("createTime":"D:20260105093200+08'00'","curDateTime":"D:20260105093300","height":"100.000000","pageNo":"2",)"
    LR"("showheight":"100.000000","showwidth":"200.000000","styleId":"12","styleName":"Stamp","unType":"",)"
    LR"("uniqueName":"u-3","width":"200.000000"},)"
    LR"({"X":"0.000000","Y":"10.000000","annotInfo":"","annotrotate":"0","authorId":"","authorName":"",)"
    LR"("createTime":"","curDateTime":"","height":"10.000000","pageNo":"2","showheight":"10.000000",)"
    LR"("showwidth":"10.000000","styleId":"12","styleName":"Stamp","unType":"","uniqueName":"u-4","width":"10.000000"}])"
    L"\n";

const char kTwoBlankPages[] = R"({"type":"PDF","pages":[{"width":595,"height":842},{"width":595,"height":842}]})";

class AnnotExchange : public ConnectedComponent {
protected:
    // GetAnnotString's text after "S_OK " ("null" for no text at all).
    std::wstring AnnotString() {
        const std::wstring out = Early(fun.get(), &IFoliumFun::GetAnnotString);
        EXPECT_EQ(out.substr(0, 5), L"S_OK ");
        return out.substr(5);
    }
    std::wstring SetAnnots(const std::wstring& text) { return Early(fun.get(), &IFoliumFun::SetAnnotString, text); }
    // The annotations of one page (0-based) as the reader holds them, one line each:
    // "kind author|contents|created|info rect (left bottom right top) rotation blend image".
    Lines Annots(LONG page) {
        Lines out;
        const std::wstring file = TempFolder() + L"folium-exchange-image.bin";
        tempFiles.push_back(file);
        for (auto& a : AnnotationsOnPages(page)) {
            LONG kind = -1, rotation = 0;
            UniqueBstr author, contents, created, blend, info, size;
            double left = 0, top = 0, w = 0, h = 0;
            a->get_Kind(&kind);
            a->get_Author(author.put());
            a->get_Contents(contents.put());
            a->get_CreationDate(created.put());
            a->get_BlendMode(blend.put());
            a->GetValue(UniqueBstr(L"AnnotInfo").get(), info.put());
            a->get_Left(&left), a->get_Top(&top), a->get_Width(&w), a->get_Height(&h);
            a->get_ImageRotation(&rotation);
            DeleteFileW(file.c_str());  // an annotation without an image writes none
            a->ExportImage(UniqueBstr(file.c_str()).get(), size.put());
            const std::string image = ReadAll(file);
            wchar_t rect[128];
            swprintf(rect, 128, L"(%g %g %g %g)", left, top - h, left + w, top);
            out.push_back(std::to_wstring(kind) + L" " + author.c_str() + L"|" + contents.c_str() + L"|" +
                          created.c_str() + L"|" + info.c_str() + L" " + rect + L" " + std::to_wstring(rotation) + L" " +
                          blend.c_str() + L" " + std::wstring(image.begin(), image.end()));
        }
        return out;
    }
};

// ---------------------------------------------------------------------------
// Out: the exchange text

TEST_F(AnnotExchange, TextOfNoEmptyPdfAndOfdDocuments) {
    EXPECT_EQ(AnnotString(), L"") << "no document";
    ASSERT_TRUE(Open(kTwoBlankPages));
    EXPECT_EQ(AnnotString(), L"[]");
    ASSERT_TRUE(Open(kSmallDoc));
    {
        PrivateTemp temp;  // the image goes through a temporary file that is gone again
        EXPECT_EQ(AnnotString(), kSmallDocText);
        EXPECT_EQ(temp.Files(), Lines{});
    }
    // OFD: comments only (no trailing comma, no line feed), the stamps are not read at all.
    std::string ofd = kSmallDoc;
    ofd.replace(ofd.find("\"PDF\""), 5, "\"OFD\"");
    ASSERT_TRUE(Open(ofd));
    EXPECT_EQ(AnnotString(), std::wstring(kSmallDocText).substr(0, std::wstring(kSmallDocText).find(L",{\"X\"")) + L"]");
    EXPECT_FALSE(Journaled(L"Annotation.StampKind"));
}

// ---------------------------------------------------------------------------
// The annotation file

TEST_F(AnnotExchange, AnnotationFileJoinsCommentsWithTheHandwritingComponentsStamps) {
    wchar_t folder[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
    const std::wstring path = std::wstring(folder) + L"\\AnnotFile.txt";
    // The member's result, then the file it wrote: UTF-16 code units, no byte-order mark.
    auto file = [&] {
        DeleteFileW(path.c_str());
        const std::wstring result = Early(fun.get(), &IFoliumFun::GetAnnotTextFile);
        const std::string bytes = ReadAll(path);
        return result + L"\n" + std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    };
    ASSERT_TRUE(Open(kSmallDoc));
    const std::wstring comments =
        L"S_OK " + path + L"\n" + std::wstring(kSmallDocText).substr(0, std::wstring(kSmallDocText).find(L",{\"X\""));
    sim->AddAllStandIns();
    ComPtr<IQxStandIn> inkpad;
    sim->StandIn(UniqueBstr(L"Veridane.Inkpad").get(), inkpad.put());
    inkpad->SetResult(UniqueBstr(L"GetAnnotString").get(), *ScopedVariant::Bstr(L"[{\"k\":\"中\"}]\n").get());
    EXPECT_EQ(file(), comments + L",{\"k\":\"中\"}]\n");
    EXPECT_EQ(quirexsim::Calls(inkpad.get()), Lines{L"GetAnnotString:M:1|VT_I4=12"});
    EXPECT_FALSE(Journaled(L"Annotation.ExportImage")) << "the stamps come from the handwriting component";
    inkpad->SetResult(UniqueBstr(L"GetAnnotString").get(), *ScopedVariant::Bstr(L"null\n").get());
    EXPECT_EQ(file(), comments + L"]");
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Inkpad").get());
    EXPECT_EQ(file(), comments + L"]");
}

// ---------------------------------------------------------------------------
// Back in: SetAnnotString

TEST_F(AnnotExchange, StampsComeBackWithTheirImagesAuthorsAndTimesAndOtherStylesAsHandwritingStamps) {
    // (A comment with a quote makes kSmallDocText unreadable JSON: like "not json" below.)
    std::string doc = kSmallDoc;
    doc.replace(doc.find("say \\\"hi\\\" \\\\ ok"), 16, "plain");
    ASSERT_TRUE(Open(doc));
    const std::wstring text = AnnotString();
    ASSERT_NE(text.find(L"\"annotContent\":\"plain\""), std::wstring::npos);
    Host(L"MainFrame.UserName=\"reader\"");
    ASSERT_TRUE(Open(kTwoBlankPages));
    EXPECT_EQ(SetAnnots(L"{\"annots\":" + text + L"}"), L"S_OK 1");
    // A text may hold comments; other styles become the handwriting component's stamps.
    EXPECT_EQ(SetAnnots(L"// from the server\n{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"2\",\"X\":\"1\",\"Y\":\"2\","
                        L"\"width\":\"3\",\"height\":\"4\"} /* one */, {\"styleId\":\"7\",\"pageNo\":\"2\",\"X\":\"10\","
                        L"\"Y\":\"20\",\"width\":\"5\",\"height\":\"6\",\"authorName\":\"ink\",\"annotContent\":\"c\","
                        L"\"createTime\":\"D:1\"}]}"),
              L"S_OK 1");
    EXPECT_TRUE(Journaled(L"Annotation.SetValue(\"CustomType\", \"VDInkpad Annotation\")"));
    // Page 1: the comment, added through AddCommentExt (20 x 18 from the record's X and Y);
    // then the text stamp (its text is not carried back as a stamp text), the record's
    // rotation as the image rotation, its Y (the old top edge) as the new bottom edge.
    EXPECT_EQ(Annots(0),
              (Lines{L"0 reader|plain|D20260105093000| (100 718 120 736) 0 Multiply ",
                     L"12 李四||D:20260105093100|{\"author\":\"李四\",{\"authorId\":\"42\",\"customType\":\"\"} "
                     L"(300 550 400 600) 90 Multiply "}));
    // Page 2: the image stamp with the very same image bytes, the other stamp (no image) and
    // the two stamps of the second text.
    EXPECT_EQ(Annots(1),
              (Lines{L"12 wang||D:20260105093200+08'00'|{\"author\":\"wang\",{\"authorId\":\"\",\"customType\":\"\"} "
                     L"(50.25 160 250.25 260) 0 Multiply GIF89a",
                     L"12 |||{\"author\":\"\",{\"authorId\":\"\",\"customType\":\"\"} (0 10 10 20) 0 Multiply ",
                     L"12 |||{\"author\":\"\",{\"authorId\":\"\",\"customType\":\"\"} (1 2 4 6) 0 Multiply ",
                     L"12 ink|c|D:1| (10 20 15 26) 0  "}));
}

TEST_F(AnnotExchange, MalformedTextsAndStampsWhereTheyAreNotAllowedPlaceNothing) {
    const std::string readOnly = R"({"permissions":{"1":false},"pages":[{}]})", ofd = R"({"type":"OFD","pages":[{}]})";
    const std::wstring record = L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"1\"}]}";
    const struct {
        std::string document;
        std::wstring text;
    } cases[] = {
        {kTwoBlankPages, L"not json"},
        {kTwoBlankPages, L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"1\",\"annotSignature\":\"4749463\"}]}"},  // odd
        {kTwoBlankPages, L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"3\",\"annotSignature\":\"4749\"}]}"},  // no page
        {kTwoBlankPages, L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"-2147483648\"}]}"},
        {ofd, record},
        {readOnly, record},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Open(c.document));
        EXPECT_EQ(SetAnnots(c.text), L"S_OK 1") << c.text;
        EXPECT_FALSE(Journaled(L"Annotations.Add(")) << c.text;
    }
    EXPECT_TRUE(Journaled(L"Document.Permission(1)"));
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::SetAnnotString, nullptr), L"S_OK 1");
    EXPECT_EQ(fun->SetAnnotString(nullptr, nullptr), E_POINTER);
    Disconnect();
    EXPECT_EQ(SetAnnots(record), L"S_OK 1");
}

// ---------------------------------------------------------------------------
// ImportAnnot forwards to the handwriting component

TEST_F(AnnotExchange, ImportAnnotForwardsElevenArgumentsInOrder) {
    sim->AddAllStandIns();
    ComPtr<IQxStandIn> inkpad;
    sim->StandIn(UniqueBstr(L"Veridane.Inkpad").get(), inkpad.put());
    inkpad->SetResult(UniqueBstr(L"ImportAnnot").get(), *ScopedVariant::Bstr(L"7").get());
    EXPECT_EQ(I4(7), Script(L"ImportAnnot", {VLong(2), VLong(12), ScopedVariant::R4(1.5f).Detach(),
                                             ScopedVariant::R4(2.5f).Detach(), ScopedVariant::R4(30).Detach(),
                                             ScopedVariant::R4(40).Detach(), VStr(L"c"), VStr(L"m"), VStr(L"id"),
                                             VStr(L"名"), VStr(L"text")}));
    EXPECT_EQ(quirexsim::Calls(inkpad.get()),
              Lines{L"ImportAnnot:M:11|VT_I4=2|VT_I4=12|VT_R4=1.5|VT_R4=2.5|VT_R4=30|VT_R4=40|VT_BSTR=\"c\"|"
                    L"VT_BSTR=\"m\"|VT_BSTR=\"id\"|VT_BSTR=\"名\"|VT_BSTR=\"text\""});
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Inkpad").get());
    const BSTR none = nullptr;
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ImportAnnot, 1, 1, 0, 0, 0, 0, none, none, none, none, none), L"S_OK 7")
        << "no handwriting component: the result is left alone";
}

}  // namespace
