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
    EXPECT_EQ(SetAnnots(L"// from the server\n{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"2\",\"X\":\"1\","
                        L"\"Y\":\"2\",\"width\":\"3\",\"height\":\"4\"} /* one */, {\"styleId\":\"7\",\"pageNo\":\"2\","
                        L"\"X\":\"10\",\"Y\":\"20\",\"width\":\"5\",\"height\":\"6\",\"authorName\":\"ink\","
                        L"\"annotContent\":\"c\",\"createTime\":\"D:1\"}]}"),
              L"S_OK 1");
    // Page by page, as the reader was told: the comment through AddCommentExt (20 x 18 from the
    // record's X and Y); the text stamp without its text, the record's rotation as the image
    // rotation and its Y (the old top edge) as the new bottom edge; the image stamp with its
    // bytes; the other stamp; the second text's stamp and, marked as the handwriting
    // component's, its other style.
    EXPECT_EQ(JournalShown({L"Pages.Item", L"Annotation.", L"Annotations.Add"}),
              LR"( | Pages.Item(0) | Annotations.Add(0) | Annotation.SetRect(100, 718, 120, 736) | Annotation.Flags=28)"
              LR"( | Annotation.BlendMode="Multiply" | Annotation.Color=65535 | Annotation.Contents="plain")"
              LR"( | Annotation.SetValue("CreationDate", "D20260105093000") | Annotation.SetValue("UserID", "a-1"))"
              LR"( | Annotation.Author="reader" | Annotation.Popup | Annotation.Commit())"
              LR"( | Annotation.UpdateAppearance() | Pages.Item(0) | Annotations.Add(12))"
              LR"( | Annotation.SetRect(300, 550, 400, 600) | Annotation.ImageRotation=90)"
              LR"( | Annotation.BlendMode="Multiply")"
              LR"( | Annotation.SetValue("AnnotInfo", "{\"author\":\"李四\",{\"authorId\":\"42\",\"customType\":\"\"}"))"
              LR"( | Annotation.Author="李四" | Annotation.SetValue("CreationDate", "D:20260105093100"))"
              LR"( | Annotation.Commit() | Pages.Item(1) | Annotations.Add(12))"
              LR"( | Annotation.SetRect(50.25, 160, 250.25, 260) | Annotation.ImageRotation=0)"
              LR"( | Annotation.BlendMode="Multiply")"
              LR"( | Annotation.SetValue("AnnotInfo", "{\"author\":\"wang\",{\"authorId\":\"\",\"customType\":\"\"}"))"
              LR"( | Annotation.Author="wang" | Annotation.SetValue("CreationDate", "D:20260105093200+08'00'"))"
              LR"( | Annotation.SetImage(bytes[6]) | Annotation.Commit() | Pages.Item(1) | Annotations.Add(12))"
              LR"( | Annotation.SetRect(0, 10, 10, 20) | Annotation.ImageRotation=0 | Annotation.BlendMode="Multiply")"
              LR"( | Annotation.SetValue("AnnotInfo", "{\"author\":\"\",{\"authorId\":\"\",\"customType\":\"\"}"))"
              LR"( | Annotation.Author="" | Annotation.SetValue("CreationDate", "") | Annotation.Commit())"
              LR"( | Pages.Item(1) | Annotations.Add(12) | Annotation.SetRect(1, 2, 4, 6) | Annotation.ImageRotation=0)"
              LR"( | Annotation.BlendMode="Multiply")"
              LR"( | Annotation.SetValue("AnnotInfo", "{\"author\":\"\",{\"authorId\":\"\",\"customType\":\"\"}"))"
              LR"( | Annotation.Author="" | Annotation.SetValue("CreationDate", "") | Annotation.Commit())"
              LR"( | Pages.Item(1) | Annotations.Add(12) | Annotation.SetRect(10, 20, 15, 26))"
              LR"( | Annotation.Contents="c" | Annotation.SetValue("CustomType", "VDInkpad Annotation"))"
              LR"( | Annotation.SetValue("ModDate", "") | Annotation.Author="ink")"
              LR"( | Annotation.SetValue("CreationDate", "D:1") | Annotation.Commit())");
    const std::wstring file = TempFolder() + L"folium-exchange-image.gif";
    tempFiles.push_back(file);
    Host(L"Documents.ActiveDocument.Pages.Item(1).Annotations.Item(0).ExportImage(\"" + file + L"\")");
    EXPECT_EQ(ReadAll(file), "GIF89a") << "the very same image bytes";
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
