// Annotation exchange records against documents in the reader simulator: the
// exact text, the annotation file, the way back into a document and the
// handwriting component's forwarder.
#include "FamilyTestSupport.h"

#include <shlobj.h>

using namespace testsupport;

namespace {

// Page 1: a note whose text has quotes and a backslash, a text stamp with its
// author in "AnnotInfo", a free-text annotation (not exchanged). Page 2: an
// image stamp ("GIF89a" as its image) and a stamp of another stamp kind.
const char kSmallDoc[] = R"({"type":"PDF","pages":[
 {"width":595,"height":842,"annotations":[
  {"kind":0,"type":"Text","author":"张三","rect":[100,700,120,718],"contents":"say \"hi\" \\ ok",
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
    LR"([{"styleId":"0","styleName":"Text","unType":"","createTime":"D:20260105093000","annotContent":"say "hi" \ ok",)"
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

struct Annot {
    LONG kind = -1;
    std::wstring author, contents, created, info, stampText;
    double left = 0, bottom = 0, right = 0, top = 0;
    LONG imageRotation = 0;
    std::wstring blend;
    std::string image;
};

class AnnotExchange : public ConnectedComponent {
protected:
    std::wstring AnnotString() {
        BSTR out = nullptr;
        EXPECT_EQ(fun->GetAnnotString(&out), S_OK);
        UniqueBstr owned = UniqueBstr::Attach(out);
        EXPECT_NE(out, nullptr);
        return std::wstring(owned.c_str(), owned.length());
    }
    LONG SetAnnots(const std::wstring& text) {
        LONG r = 99;
        UniqueBstr t(text.c_str(), static_cast<UINT>(text.size()));
        EXPECT_EQ(fun->SetAnnotString(t.get(), &r), S_OK);
        return r;
    }
    // The annotations of the active document, page by page.
    std::vector<std::vector<Annot>> Annots() {
        std::vector<std::vector<Annot>> out;
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        ComPtr<IQxDocument> doc;
        docs->get_ActiveDocument(doc.put());
        ComPtr<IQxPages> pages;
        doc->get_Pages(pages.put());
        LONG pageCount = 0;
        pages->get_Count(&pageCount);
        for (LONG p = 0; p < pageCount; ++p) {
            ComPtr<IQxPage> page;
            pages->Item(p, page.put());
            ComPtr<IQxAnnotations> list;
            page->get_Annotations(list.put());
            LONG n = 0;
            list->get_Count(&n);
            out.emplace_back();
            for (LONG i = 0; i < n; ++i) {
                ComPtr<IQxAnnotation> a;
                list->Item(i, a.put());
                Annot x;
                a->get_Kind(&x.kind);
                UniqueBstr s;
                a->get_Author(s.put()), x.author = s.c_str();
                a->get_Contents(s.put()), x.contents = s.c_str();
                a->get_CreationDate(s.put()), x.created = s.c_str();
                a->get_StampText(s.put()), x.stampText = s.c_str();
                a->get_BlendMode(s.put()), x.blend = s.c_str();
                a->GetValue(UniqueBstr(L"AnnotInfo").get(), s.put()), x.info = s.c_str();
                double w = 0, h = 0;
                a->get_Left(&x.left), a->get_Top(&x.top), a->get_Width(&w), a->get_Height(&h);
                x.right = x.left + w, x.bottom = x.top - h;
                a->get_ImageRotation(&x.imageRotation);
                wchar_t dir[MAX_PATH], file[MAX_PATH];
                GetTempPathW(MAX_PATH, dir);
                GetTempFileNameW(dir, L"ex", 0, file);
                a->ExportImage(UniqueBstr(file).get(), s.put());
                HANDLE f = CreateFileW(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                char buf[4096];
                DWORD got = 0;
                ReadFile(f, buf, sizeof buf, &got, nullptr);
                CloseHandle(f);
                DeleteFileW(file);
                x.image.assign(buf, got);
                out.back().push_back(x);
            }
        }
        return out;
    }
    size_t AddedAnnotations() {
        size_t n = 0;
        for (auto& l : JournalLines()) n += l.rfind(L"Annotations.Add(", 0) == 0;
        return n;
    }
};

// ---------------------------------------------------------------------------
// Out: the exchange text

TEST_F(AnnotExchange, SmallDocumentGivesExactlyTheExpectedText) {
    ASSERT_TRUE(Open(kSmallDoc));
    EXPECT_EQ(AnnotString(), kSmallDocText);
    // The image went through a temporary file that is gone again.
    std::wstring exported;
    for (auto& l : JournalLines())
        if (l.rfind(L"Annotation.ExportImage(\"", 0) == 0) exported = l.substr(24, l.size() - 26);
    ASSERT_FALSE(exported.empty());
    EXPECT_EQ(GetFileAttributesW(exported.c_str()), INVALID_FILE_ATTRIBUTES) << exported;
}

TEST_F(AnnotExchange, EmptyCommentOnlyAndOfdDocuments) {
    EXPECT_EQ(AnnotString(), L"") << "no document";
    ASSERT_TRUE(Open(kTwoBlankPages));
    EXPECT_EQ(AnnotString(), L"[]");
    ASSERT_TRUE(Open(R"({"pages":[{"annotations":[{"kind":0,"rect":[0,0,20,18],"contents":"a"},
        {"kind":0,"type":"TEXT","rect":[1,2,3,4]}]}]})"));
    const std::wstring comments = AnnotString();
    EXPECT_EQ(comments.substr(0, 2), L"[{");
    EXPECT_EQ(comments.substr(comments.size() - 3), L"\"}]") << "no trailing comma, no line feed";
    EXPECT_NE(comments.find(L"\"styleName\":\"TEXT\""), std::wstring::npos) << "type compared ignoring case";
    // OFD: comments only, the stamps are not read at all.
    std::string ofd = kSmallDoc;
    ofd.replace(ofd.find("\"PDF\""), 5, "\"OFD\"");
    ASSERT_TRUE(Open(ofd));
    const std::wstring text = AnnotString();
    EXPECT_EQ(text, std::wstring(kSmallDocText).substr(0, std::wstring(kSmallDocText).find(L",{\"X\"")) + L"]");
    EXPECT_FALSE(Journaled(L"Annotation.StampKind"));
}

// ---------------------------------------------------------------------------
// The annotation file

TEST_F(AnnotExchange, AnnotationFileJoinsCommentsWithTheHandwritingComponentsStamps) {
    wchar_t folder[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
    const std::wstring expectedPath = std::wstring(folder) + L"\\AnnotFile.txt";
    auto fileText = [&] {
        HANDLE f = CreateFileW(expectedPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        std::vector<char> bytes(65536);
        DWORD got = 0;
        ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(f);
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), got / 2);
    };
    auto file = [&] {
        BSTR out = nullptr;
        EXPECT_EQ(fun->GetAnnotTextFile(&out), S_OK);
        return std::wstring(UniqueBstr::Attach(out).c_str());
    };
    ASSERT_TRUE(Open(kSmallDoc));
    const std::wstring comments = std::wstring(kSmallDocText).substr(0, std::wstring(kSmallDocText).find(L",{\"X\""));
    sim->AddAllStandIns();
    ComPtr<IQxStandIn> inkpad;
    sim->StandIn(UniqueBstr(L"Veridane.Inkpad").get(), inkpad.put());

    inkpad->SetResult(UniqueBstr(L"GetAnnotString").get(), *ScopedVariant::Bstr(L"[{\"k\":\"中\"}]\n").get());
    EXPECT_EQ(file(), expectedPath);
    EXPECT_EQ(fileText(), comments + L",{\"k\":\"中\"}]\n") << "UTF-16 code units, no byte-order mark";
    UniqueBstr call;
    inkpad->CallItem(0, call.put());
    EXPECT_STREQ(call.c_str(), L"GetAnnotString:M:1|VT_I4=12");
    EXPECT_FALSE(Journaled(L"Annotation.ExportImage")) << "the stamps come from the handwriting component";

    inkpad->SetResult(UniqueBstr(L"GetAnnotString").get(), *ScopedVariant::Bstr(L"null\n").get());
    EXPECT_EQ(file(), expectedPath);
    EXPECT_EQ(fileText(), comments + L"]");

    sim->RemoveAddIn(UniqueBstr(L"Veridane.Inkpad").get());
    EXPECT_EQ(file(), expectedPath);
    EXPECT_EQ(fileText(), comments + L"]");
}

// ---------------------------------------------------------------------------
// Back in: SetAnnotString

TEST_F(AnnotExchange, CommentTextWithAQuoteMakesTheWholeTextUnreadable) {
    ASSERT_TRUE(Open(kSmallDoc));
    const std::wstring text = AnnotString();
    ASSERT_TRUE(Open(kTwoBlankPages));
    EXPECT_EQ(SetAnnots(L"{\"annots\":" + text + L"}"), 1);
    EXPECT_EQ(AddedAnnotations(), 0u);
}

TEST_F(AnnotExchange, StampsComeBackIntoAnotherDocumentWithTheirImagesAuthorsAndTimes) {
    std::string doc = kSmallDoc;
    doc.replace(doc.find("say \\\"hi\\\" \\\\ ok"), 16, "plain");
    ASSERT_TRUE(Open(doc));
    const std::wstring text = AnnotString();
    ASSERT_NE(text.find(L"\"annotContent\":\"plain\""), std::wstring::npos);
    ASSERT_TRUE(Open(kTwoBlankPages));
    EXPECT_EQ(SetAnnots(L"{\"annots\":" + text + L"}"), 1);
    const auto pages = Annots();
    ASSERT_EQ(pages.size(), 2u);
    // Page 1: the comment, added through AddCommentExt (20 x 18 from the record's X and Y).
    ASSERT_EQ(pages[0].size(), 2u);
    EXPECT_EQ(pages[0][0].kind, 0);
    EXPECT_EQ(pages[0][0].contents, L"plain");
    EXPECT_DOUBLE_EQ(pages[0][0].left, 100);
    EXPECT_DOUBLE_EQ(pages[0][0].bottom, 718);
    EXPECT_DOUBLE_EQ(pages[0][0].top, 736);
    // Then the text stamp (its text is not carried back as a stamp text).
    const Annot& textStamp = pages[0].back();
    EXPECT_EQ(textStamp.kind, 12);
    EXPECT_EQ(textStamp.author, L"李四");
    EXPECT_EQ(textStamp.created, L"D:20260105093100");
    EXPECT_EQ(textStamp.imageRotation, 90) << "the record's rotation becomes the image rotation";
    EXPECT_EQ(textStamp.blend, L"Multiply");
    EXPECT_EQ(textStamp.info, L"{\"author\":\"李四\",{\"authorId\":\"42\",\"customType\":\"\"}");
    // The record's Y is the old top edge and is set as the new bottom edge.
    EXPECT_DOUBLE_EQ(textStamp.left, 300);
    EXPECT_DOUBLE_EQ(textStamp.bottom, 550);
    EXPECT_DOUBLE_EQ(textStamp.right, 400);
    EXPECT_DOUBLE_EQ(textStamp.top, 600);
    // Page 2: the image stamp with the very same image bytes, and the other stamp.
    ASSERT_EQ(pages[1].size(), 2u);
    EXPECT_EQ(pages[1][0].image, "GIF89a");
    EXPECT_EQ(pages[1][0].author, L"wang");
    EXPECT_EQ(pages[1][0].created, L"D:20260105093200+08'00'");
    EXPECT_DOUBLE_EQ(pages[1][0].left, 50.25);
    EXPECT_DOUBLE_EQ(pages[1][0].top - pages[1][0].bottom, 100);
    EXPECT_EQ(pages[1][1].image, "");
}

TEST_F(AnnotExchange, MalformedTextsReportOneAndPlaceNothing) {
    ASSERT_TRUE(Open(kTwoBlankPages));
    const wchar_t* texts[] = {
        L"",
        L"not json",
        L"[]",
        L"{\"other\":[{\"styleId\":\"12\"}]}",
        L"{\"annots\":[]}",
        L"{\"annots\":{\"styleId\":\"12\"}}",
        L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"1\",\"annotSignature\":\"4749463\"}]}",   // odd length
        L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"1\",\"annotSignature\":\"47zz\"}]}",      // not hexadecimal
        L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"3\",\"annotSignature\":\"4749\"}]}",      // no such page
        L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"0\",\"annotSignature\":\"4749\"}]}",
        L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"-2147483648\"}]}",
        L"{\"annots\":[1, null, \"x\"]}",
    };
    for (const wchar_t* t : texts) {
        sim->ClearJournal();
        EXPECT_EQ(SetAnnots(t), 1) << t;
        EXPECT_EQ(AddedAnnotations(), 0u) << t;
    }
    LONG r = 99;
    EXPECT_EQ(fun->SetAnnotString(nullptr, &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(fun->SetAnnotString(nullptr, nullptr), E_POINTER);
    // Comments allowed; a valid record still lands.
    sim->ClearJournal();
    EXPECT_EQ(SetAnnots(L"// from the server\n{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"2\",\"X\":\"1\",\"Y\":\"2\","
                        L"\"width\":\"3\",\"height\":\"4\"} /* one */]}"),
              1);
    EXPECT_EQ(AddedAnnotations(), 1u);
    EXPECT_TRUE(Journaled(L"Pages.Item(1)"));
    EXPECT_TRUE(Journaled(L"Annotation.SetRect(1, 2, 4, 6)"));
}

TEST_F(AnnotExchange, StampRecordsNeedAnEditableNonOfdDocument) {
    const std::wstring record = L"{\"annots\":[{\"styleId\":\"12\",\"pageNo\":\"1\"}]}";
    ASSERT_TRUE(Open(R"({"permissions":{"1":false},"pages":[{}]})"));
    EXPECT_EQ(SetAnnots(record), 1);
    EXPECT_TRUE(Journaled(L"Document.Permission(1)"));
    EXPECT_EQ(AddedAnnotations(), 0u);
    ASSERT_TRUE(Open(R"({"type":"OFD","pages":[{}]})"));
    EXPECT_EQ(SetAnnots(record), 1);
    EXPECT_EQ(AddedAnnotations(), 0u);
    Disconnect();
    LONG r = 99;
    EXPECT_EQ(fun->SetAnnotString(UniqueBstr(record.c_str()).get(), &r), S_OK);
    EXPECT_EQ(r, 1);
}

TEST_F(AnnotExchange, OtherStylesBecomeHandwritingStyleStamps) {
    ASSERT_TRUE(Open(kTwoBlankPages));
    EXPECT_EQ(SetAnnots(L"{\"annots\":[{\"styleId\":\"7\",\"pageNo\":\"2\",\"X\":\"10\",\"Y\":\"20\",\"width\":\"5\","
                        L"\"height\":\"6\",\"authorName\":\"ink\",\"annotContent\":\"c\",\"createTime\":\"D:1\"}]}"),
              1);
    const auto pages = Annots();
    ASSERT_EQ(pages[1].size(), 1u);
    EXPECT_EQ(pages[1][0].kind, 12);
    EXPECT_EQ(pages[1][0].author, L"ink");
    EXPECT_EQ(pages[1][0].contents, L"c");
    EXPECT_EQ(pages[1][0].created, L"D:1");
    EXPECT_TRUE(Journaled(L"Annotation.SetValue(\"CustomType\", \"VDInkpad Annotation\")"));
}

// ---------------------------------------------------------------------------
// ImportAnnot forwards to the handwriting component

TEST_F(AnnotExchange, ImportAnnotForwardsElevenArgumentsInOrder) {
    sim->AddAllStandIns();
    ComPtr<IQxStandIn> inkpad;
    sim->StandIn(UniqueBstr(L"Veridane.Inkpad").get(), inkpad.put());
    inkpad->SetResult(UniqueBstr(L"ImportAnnot").get(), *ScopedVariant::Bstr(L"7").get());
    ScopedVariant r;
    ScopedVariant args[] = {ScopedVariant::I4(2),       ScopedVariant::I4(12),       ScopedVariant::R4(1.5f),
                            ScopedVariant::R4(2.5f),    ScopedVariant::R4(30),       ScopedVariant::R4(40),
                            ScopedVariant::Bstr(L"c"),  ScopedVariant::Bstr(L"m"),   ScopedVariant::Bstr(L"id"),
                            ScopedVariant::Bstr(L"名"), ScopedVariant::Bstr(L"text")};
    std::vector<VARIANT> list;
    for (auto& a : args) list.push_back(*a.get());
    ASSERT_EQ(CallByName(disp.get(), L"ImportAnnot", DISPATCH_METHOD, list, r.Receive()), S_OK);
    EXPECT_EQ(r->vt, VT_I4);
    EXPECT_EQ(r->lVal, 7);
    UniqueBstr call;
    inkpad->CallItem(0, call.put());
    EXPECT_STREQ(call.c_str(),
                 L"ImportAnnot:M:11|VT_I4=2|VT_I4=12|VT_R4=1.5|VT_R4=2.5|VT_R4=30|VT_R4=40|VT_BSTR=\"c\"|"
                 L"VT_BSTR=\"m\"|VT_BSTR=\"id\"|VT_BSTR=\"名\"|VT_BSTR=\"text\"");
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Inkpad").get());
    LONG kept = 99;
    EXPECT_EQ(fun->ImportAnnot(1, 1, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, &kept), S_OK);
    EXPECT_EQ(kept, 99) << "no handwriting component: the result is left alone";
}

}  // namespace
