// The simulated reader's object model: fixtures, text search, bookmarks, fields,
// command bars, the journal, events, add-ins and sibling stand-ins.
#include <olectl.h>

#include <algorithm>

#include "SimTestSupport.h"

using namespace simtest;

namespace {

const char kFixture[] = u8R"({
 "type": "PDF", "security": 0, "permissions": {"0": true, "1": false},
 "pages": [
  {"width": 600, "height": 800, "rotation": 0,
   "text": [{"x": 100, "y": 700, "size": 10, "text": "Hello World hello"},
            {"x": 100, "y": 650, "size": 20, "text": "合同编号"}],
   "annotations": [{"kind": 0, "type": "Text", "author": "张三", "rect": [10, 20, 30, 40], "contents": "note",
                    "values": {"TextID": "20260101"}, "popup": {"title": "Comment", "open": false}}]},
  {"width": 595, "height": 842, "rotation": 90, "text": "line one\nHello again"}
 ],
 "bookmarks": [{"title": "第一章", "page": 1, "children": [{"title": "1.1 Intro", "page": 2}]},
               {"title": "Appendix", "page": 2}],
 "fields": [{"name": "name", "fullName": "form.name", "kind": 1, "value": "李四", "widget": {"page": 0, "rect": [50, 50, 150, 70]}},
            {"name": "sig1", "fullName": "sig1", "kind": 6, "signed": true, "signer": "CA", "widget": {"page": 1, "rect": [0, 0, 100, 50]}},
            {"name": "sig2", "fullName": "sig2", "kind": 6, "signed": false, "widget": {"page": 1, "rect": [0, 60, 100, 110], "values": {"VD_PreSeal": "seal.png"}}}],
 "attachments": [{"name": "a.txt", "description": "附件", "data": "SGVsbG8="}]
})";

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = CreateSimulator();
        ASSERT_TRUE(sim) << "QUIREX_SIM_DLL must name QuirexSim.dll";
        ASSERT_EQ(S_OK, sim->Reset());
        ASSERT_EQ(S_OK, sim->get_Application(app.put()));
        dir = TempDir();
        path = dir + L"\\doc.pdf";
        WriteUtf8(path, kFixture);
    }
    ComPtr<IQxDocument> Open(const std::wstring& p) {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        ComPtr<IQxDocument> doc;
        VARIANT name = VStr(p.c_str());
        EXPECT_EQ(S_OK, docs->Open(name, VMissing(), VMissing(), VMissing(), doc.put()));
        VariantClear(&name);
        return doc;
    }
    ComPtr<IQxPage> Page(IQxDocument* doc, LONG i) {
        ComPtr<IQxPages> pages;
        doc->get_Pages(pages.put());
        ComPtr<IQxPage> page;
        pages->Item(i, page.put());
        return page;
    }
    ComPtr<IQxSimulator> sim;
    ComPtr<IQxApplication> app;
    std::wstring dir, path;
};

// ---- fixtures ------------------------------------------------------------------------

TEST_F(SimTest, OpenReadsPagesTextAnnotationsFieldsAndAttachments) {
    auto doc = Open(path);
    ASSERT_TRUE(doc);
    ComPtr<IQxPages> pages;
    doc->get_Pages(pages.put());
    LONG count = 0;
    pages->get_Count(&count);
    EXPECT_EQ(2, count);
    auto p1 = Page(doc.get(), 1);
    double w = 0, h = 0;
    LONG rot = 0;
    p1->get_Width(&w);
    p1->get_Height(&h);
    p1->get_Rotation(&rot);
    EXPECT_EQ(595, w);
    EXPECT_EQ(842, h);
    EXPECT_EQ(90, rot);
    UniqueBstr text;
    p1->get_Text(text.put());
    EXPECT_STREQ(L"line one\nHello again", text.c_str());

    ComPtr<IQxAnnotations> annots;
    Page(doc.get(), 0)->get_Annotations(annots.put());
    ComPtr<IQxAnnotation> a;
    ASSERT_EQ(S_OK, annots->Item(0, a.put()));
    UniqueBstr author, value, size;
    a->get_Author(author.put());
    a->GetValue(UniqueBstr(L"TextID").get(), value.put());
    a->get_DisplaySize(size.put());
    EXPECT_STREQ(L"张三", author.c_str());
    EXPECT_STREQ(L"20260101", value.c_str());
    EXPECT_STREQ(L"20.000000*20.000000", size.c_str());
    double left = 0, top = 0;
    a->get_Left(&left);
    a->get_Top(&top);
    EXPECT_EQ(10, left);
    EXPECT_EQ(40, top);

    VARIANT_BOOL print = 0, edit = -1, copy = 0;
    doc->Permission(0, &print);
    doc->Permission(1, &edit);
    doc->Permission(2, &copy);
    EXPECT_EQ(VARIANT_TRUE, print);
    EXPECT_EQ(VARIANT_FALSE, edit);
    EXPECT_EQ(VARIANT_TRUE, copy) << "kinds absent from the fixture are allowed";

    ComPtr<IQxAttachments> atts;
    doc->get_Attachments(atts.put());
    ComPtr<IQxAttachment> att;
    ASSERT_EQ(S_OK, atts->Item(0, att.put()));
    std::wstring out = dir + L"\\out.txt";
    VARIANT_BOOL saved = 0;
    att->SaveToFile(UniqueBstr(out.c_str()).get(), &saved);
    EXPECT_EQ(VARIANT_TRUE, saved);
    EXPECT_EQ("Hello", ReadBytes(out));
}

TEST_F(SimTest, SavedAndReopenedDocumentIsTheSameDocument) {
    auto doc = Open(path);
    ASSERT_TRUE(doc);
    ComPtr<IQxAnnotations> annots;
    Page(doc.get(), 1)->get_Annotations(annots.put());
    ComPtr<IQxAnnotation> stamp;
    ASSERT_EQ(S_OK, annots->Add(12, stamp.put()));
    stamp->SetRect(1, 2, 101, 52);
    stamp->put_Author(UniqueBstr(L"王五").get());
    stamp->SetValue(UniqueBstr(L"AnnotInfo").get(), UniqueBstr(L"{\"author\":\"王五\"}").get());
    ComPtr<IQxFields> fields;
    doc->get_Fields(fields.put());
    ComPtr<IQxField> field;
    VARIANT byName = VStr(L"form.name");
    fields->Item(byName, field.put());
    VariantClear(&byName);
    ASSERT_TRUE(field);
    field->put_Value(UniqueBstr(L"新值").get());
    ComPtr<IQxWatermarks> wm;
    doc->get_Watermarks(wm.put());
    LONG status = -9;
    wm->SetText(UniqueBstr(L"机密").get());
    wm->AddTextEx(0, 1, 10, 20, 1.5, UniqueBstr(L"mark").get(), &status);
    EXPECT_EQ(0, status);

    std::wstring copy1 = dir + L"\\copy1.pdf", copy2 = dir + L"\\copy2.pdf";
    LONG result = -1;
    ASSERT_EQ(S_OK, doc->SaveAs(UniqueBstr(copy1.c_str()).get(), &result));
    EXPECT_EQ(0, result);
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    docs->Close(VMissing());

    auto again = Open(copy1);
    ASSERT_TRUE(again);
    ComPtr<IQxAnnotations> annots2;
    Page(again.get(), 1)->get_Annotations(annots2.put());
    LONG n = 0;
    annots2->get_Count(&n);
    ASSERT_EQ(3, n) << "the stamp and the two signature widgets";
    ComPtr<IQxAnnotation> stamp2;
    annots2->Item(0, stamp2.put());
    UniqueBstr author, info;
    stamp2->get_Author(author.put());
    stamp2->GetValue(UniqueBstr(L"AnnotInfo").get(), info.put());
    EXPECT_STREQ(L"王五", author.c_str());
    EXPECT_STREQ(L"{\"author\":\"王五\"}", info.c_str());
    LONG kind = 0;
    stamp2->get_Kind(&kind);
    EXPECT_EQ(12, kind);
    ComPtr<IQxFields> fields2;
    again->get_Fields(fields2.put());
    ComPtr<IQxField> field2;
    VARIANT idx = VLong(0);
    fields2->Item(idx, field2.put());
    UniqueBstr value;
    field2->get_Value(value.put());
    EXPECT_STREQ(L"新值", value.c_str());

    again->SaveAs(UniqueBstr(copy2.c_str()).get(), &result);
    EXPECT_EQ(ReadBytes(copy1), ReadBytes(copy2)) << "saving a reopened document changes nothing";
}

TEST_F(SimTest, FileFactsAreThoseOfTheRealFile) {
    auto doc = Open(path);
    ASSERT_TRUE(doc);
    ComPtr<IQxDocumentFile> file;
    doc->get_FileInfo(file.put());
    UniqueBstr folder, name;
    LONG size = 0;
    file->get_Folder(folder.put());
    file->get_Name(name.put());
    file->get_Size(&size);
    EXPECT_STREQ((dir + L"\\").c_str(), folder.c_str());
    EXPECT_STREQ(L"doc.pdf", name.c_str());
    EXPECT_EQ(static_cast<LONG>(sizeof(kFixture) - 1), size);
}

TEST_F(SimTest, MissingOrMalformedFileOpensNothing) {
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    std::wstring bad = dir + L"\\bad.pdf";
    WriteUtf8(bad, "%PDF-1.7 not a fixture");
    for (const std::wstring& p : {dir + L"\\absent.pdf", bad}) {
        ComPtr<IQxDocument> doc;
        VARIANT name = VStr(p.c_str());
        EXPECT_EQ(S_OK, docs->Open(name, VMissing(), VMissing(), VMissing(), doc.put()));
        VariantClear(&name);
        EXPECT_FALSE(doc);
    }
    ComPtr<IQxDocument> active;
    docs->get_ActiveDocument(active.put());
    EXPECT_FALSE(active);
}

// ---- text search -------------------------------------------------------------------------

struct Box {
    double x1, y1, x2, y2;
};

class FinderTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        doc = Open(path);
        ASSERT_TRUE(doc);
        doc->get_TextFinder(finder.put());
        ASSERT_TRUE(finder);
    }
    // FindNext's HRESULT and found flag, and the hit's box when found.
    HRESULT Find(LONG page, VARIANT_BOOL* found, Box* box) {
        HRESULT hr = finder->FindNext(page, found);
        if (*found) {
            ComPtr<IQxTextHit> hit;
            finder->get_Hit(hit.put());
            hit->get_X1(&box->x1);
            hit->get_Y1(&box->y1);
            hit->get_X2(&box->x2);
            hit->get_Y2(&box->y2);
        }
        return hr;
    }
    ComPtr<IQxDocument> doc;
    ComPtr<IQxTextFinder> finder;
};

TEST_F(FinderTest, ReportsHitsInPageCoordinates) {
    finder->put_Text(UniqueBstr(L"World").get());
    VARIANT_BOOL found = 0;
    Box b{};
    EXPECT_EQ(S_OK, Find(1, &found, &b));
    ASSERT_EQ(VARIANT_TRUE, found);
    EXPECT_DOUBLE_EQ(130, b.x1);
    EXPECT_DOUBLE_EQ(710, b.y1);
    EXPECT_DOUBLE_EQ(155, b.x2);
    EXPECT_DOUBLE_EQ(700, b.y2);

    finder->put_Text(UniqueBstr(L"编号").get());
    EXPECT_EQ(S_OK, Find(1, &found, &b));
    ASSERT_EQ(VARIANT_TRUE, found);
    EXPECT_DOUBLE_EQ(140, b.x1);
    EXPECT_DOUBLE_EQ(670, b.y1);
    EXPECT_DOUBLE_EQ(180, b.x2);
    EXPECT_DOUBLE_EQ(650, b.y2);

    // Plain-text pages lay their lines out from the top margin at 12 points.
    finder->put_Text(UniqueBstr(L"again").get());
    EXPECT_EQ(S_OK, Find(2, &found, &b));
    ASSERT_EQ(VARIANT_TRUE, found);
    EXPECT_DOUBLE_EQ(108, b.x1);
    EXPECT_DOUBLE_EQ(766, b.y1);
    EXPECT_DOUBLE_EQ(138, b.x2);
    EXPECT_DOUBLE_EQ(754, b.y2);
    ComPtr<IQxTextHit> hit;
    finder->get_Hit(hit.put());
    double width = 0, height = 0;
    hit->get_Width(&width);
    hit->get_Height(&height);
    EXPECT_DOUBLE_EQ(30, width);
    EXPECT_DOUBLE_EQ(-12, height);
}

TEST_F(FinderTest, RepeatedFindNextWalksThePageThenReportsNotFound) {
    finder->put_Text(UniqueBstr(L"hello").get());
    VARIANT_BOOL found = 0;
    Box b{};
    EXPECT_EQ(S_OK, Find(1, &found, &b));
    EXPECT_DOUBLE_EQ(100, b.x1);
    EXPECT_EQ(S_OK, Find(1, &found, &b));
    EXPECT_DOUBLE_EQ(160, b.x1);
    EXPECT_EQ(S_FALSE, Find(1, &found, &b));
    EXPECT_EQ(VARIANT_FALSE, found);

    finder->put_MatchCase(VARIANT_TRUE);
    EXPECT_EQ(S_OK, Find(1, &found, &b));
    EXPECT_DOUBLE_EQ(160, b.x1) << "only the lower-case occurrence matches";
    EXPECT_EQ(S_FALSE, Find(1, &found, &b));
}

TEST_F(FinderTest, BackwardSearchStartsAtTheEnd) {
    finder->put_Text(UniqueBstr(L"hello").get());
    finder->put_Direction(0);
    VARIANT_BOOL found = 0;
    Box b{};
    Find(1, &found, &b);
    EXPECT_DOUBLE_EQ(160, b.x1);
    Find(1, &found, &b);
    EXPECT_DOUBLE_EQ(100, b.x1);
    EXPECT_EQ(S_FALSE, Find(1, &found, &b));
}

TEST_F(FinderTest, PagesOutsideTheDocumentAndEmptyTextFindNothing) {
    VARIANT_BOOL found = -1;
    Box b{};
    EXPECT_EQ(S_FALSE, Find(1, &found, &b)) << "no text set";
    finder->put_Text(UniqueBstr(L"Hello").get());
    EXPECT_EQ(S_FALSE, Find(0, &found, &b));
    EXPECT_EQ(S_FALSE, Find(3, &found, &b));
    EXPECT_EQ(VARIANT_FALSE, found);
}

// ---- bookmarks, fields ---------------------------------------------------------------------

TEST_F(SimTest, BookmarkTreeWalksAndGoesToItsPage) {
    auto doc = Open(path);
    ComPtr<IQxBookmarks> marks;
    doc->get_Bookmarks(marks.put());
    ComPtr<IQxBookmark> first, child, next, parent, none;
    marks->get_First(first.put());
    ASSERT_TRUE(first);
    first->get_FirstChild(child.put());
    ASSERT_TRUE(child);
    child->get_Parent(parent.put());
    first->get_Next(next.put());
    ASSERT_TRUE(next);
    UniqueBstr t1, t2, t3, t4;
    first->get_Title(t1.put());
    child->get_Title(t2.put());
    next->get_Title(t3.put());
    parent->get_Title(t4.put());
    EXPECT_STREQ(L"第一章", t1.c_str());
    EXPECT_STREQ(L"1.1 Intro", t2.c_str());
    EXPECT_STREQ(L"Appendix", t3.c_str());
    EXPECT_STREQ(L"第一章", t4.c_str());
    next->get_Next(none.put());
    EXPECT_FALSE(none);

    ComPtr<IQxBookmark> found;
    marks->Find(UniqueBstr(L"1.1 Intro").get(), found.put());
    ASSERT_TRUE(found);
    found->GoTo();
    ComPtr<IQxDocWindow> win;
    doc->get_Window(win.put());
    ComPtr<IQxPageView> view;
    win->get_View(view.put());
    LONG page = 0;
    view->get_CurrentPage(&page);
    EXPECT_EQ(2, page);
    UniqueBstr selected;
    marks->get_SelectedName(selected.put());
    EXPECT_STREQ(L"1.1 Intro", selected.c_str());
    ComPtr<IQxBookmark> missing;
    marks->Find(UniqueBstr(L"1.1").get(), missing.put());
    EXPECT_FALSE(missing) << "Find wants the exact title";
}

TEST_F(SimTest, FieldsReportSignaturesAndWidgetValues) {
    auto doc = Open(path);
    ComPtr<IQxFields> fields;
    doc->get_Fields(fields.put());
    LONG count = 0, sigs = 0;
    fields->get_Count(&count);
    fields->get_SignatureCount(&sigs);
    EXPECT_EQ(3, count);
    EXPECT_EQ(1, sigs);
    ComPtr<IQxField> signedField, preSeal;
    VARIANT i1 = VLong(1);
    VARIANT i2;
    VariantInit(&i2);
    i2.vt = VT_I8;
    i2.llVal = 2;
    fields->Item(i1, signedField.put());
    fields->Item(i2, preSeal.put());
    ComPtr<IDispatch> sig1, sig2;
    signedField->get_Signature(sig1.put());
    preSeal->get_Signature(sig2.put());
    EXPECT_TRUE(sig1);
    EXPECT_FALSE(sig2);
    ComPtr<IQxAnnotation> widget;
    preSeal->get_Widget(widget.put());
    ASSERT_TRUE(widget);
    UniqueBstr v, type;
    widget->GetValue(UniqueBstr(L"VD_PreSeal").get(), v.put());
    widget->get_Type(type.put());
    EXPECT_STREQ(L"seal.png", v.c_str());
    EXPECT_STREQ(L"Widget", type.c_str());
    LONG pageIndex = -1;
    widget->get_PageIndex(&pageIndex);
    EXPECT_EQ(1, pageIndex);

    LONG imported = 0;
    VARIANT xml = VStr(L"<fields><field name=\"form.name\">A&amp;B</field></fields>");
    fields->ImportXml(0, xml, &imported);
    VariantClear(&xml);
    EXPECT_EQ(1, imported);
    ComPtr<IQxField> name;
    VARIANT i0 = VLong(0);
    fields->Item(i0, name.put());
    UniqueBstr value;
    name->get_Value(value.put());
    EXPECT_STREQ(L"A&B", value.c_str());
}

TEST_F(SimTest, PagesInsertAndDeleteByRange) {
    auto doc = Open(path);
    ComPtr<IQxPages> pages;
    doc->get_Pages(pages.put());
    LONG result = -1, count = 0;
    pages->Insert(UniqueBstr(path.c_str()).get(), 1, UniqueBstr(L"2-2").get(), &result);
    EXPECT_EQ(1, result);
    pages->get_Count(&count);
    EXPECT_EQ(3, count);
    ComPtr<IQxPage> inserted;
    pages->Item(1, inserted.put());
    LONG rot = 0;
    inserted->get_Rotation(&rot);
    EXPECT_EQ(90, rot) << "the second source page went after the first page";
    pages->Delete(UniqueBstr(L"1-3").get(), &result);
    EXPECT_EQ(2, result) << "a document keeps at least one page";
    pages->Delete(UniqueBstr(L"2-4").get(), &result);
    EXPECT_EQ(1, result);
    pages->Delete(UniqueBstr(L"1-2").get(), &result);
    EXPECT_EQ(0, result);
    pages->get_Count(&count);
    EXPECT_EQ(1, count);
}

// ---- view and editing -------------------------------------------------------------------------

TEST_F(SimTest, PageViewMapsClientPointsOntoTheCurrentPage) {
    auto doc = Open(path);
    ComPtr<IQxDocWindow> win;
    doc->get_Window(win.put());
    ComPtr<IQxPageView> view;
    win->get_View(view.put());
    view->put_Zoom(200);
    double x = 100, y = 100;
    LONG page = -5;
    view->PointToPage(&x, &y, &page);
    EXPECT_EQ(0, page);
    EXPECT_DOUBLE_EQ(50, x);
    EXPECT_DOUBLE_EQ(750, y) << "page y grows upwards from the bottom of the 800-unit page";
    view->put_CurrentPage(2);
    x = 2000, y = 10;
    view->PointToPage(&x, &y, &page);
    EXPECT_EQ(-1, page);
    EXPECT_DOUBLE_EQ(2000, x) << "a point outside every page is left alone";

    view->put_CurrentPage(99);
    LONG current = 0;
    view->get_CurrentPage(&current);
    EXPECT_EQ(2, current) << "clamped to the last page";
    view->RotateBy(-90);
    LONG rotation = -1;
    view->get_Rotation(&rotation);
    EXPECT_EQ(270, rotation);
}

TEST_F(SimTest, AnnotationsAttachmentsAndWatermarksChangeTheDocument) {
    auto doc = Open(path);
    ComPtr<IQxAnnotations> annots;
    Page(doc.get(), 0)->get_Annotations(annots.put());
    ComPtr<IQxAnnotation> note;
    annots->Item(0, note.put());
    LONG count = 0, result = 0, modified = 0;
    doc->get_Modified(&modified);
    EXPECT_EQ(0, modified);
    note->Delete();
    annots->get_Count(&count);
    EXPECT_EQ(1, count) << "only the field widget is left";
    doc->get_Modified(&modified);
    EXPECT_NE(0, modified);

    ComPtr<IQxAnnotation> stamp;
    annots->Add(12, stamp.put());
    VARIANT missingFile = VStr((dir + L"\\absent.png").c_str());
    stamp->SetImage(missingFile, &result);
    VariantClear(&missingFile);
    EXPECT_EQ(-1, result);
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, 3);
    memcpy(sa->pvData, "PNG", 3);
    VARIANT bytes;
    VariantInit(&bytes);
    bytes.vt = VT_ARRAY | VT_UI1;
    bytes.parray = sa;
    stamp->SetImage(bytes, &result);
    VariantClear(&bytes);
    EXPECT_EQ(0, result);
    LONG stampKind = 0;
    stamp->get_StampKind(&stampKind);
    EXPECT_EQ(1, stampKind);
    std::wstring exported = dir + L"\\stamp.png";
    stamp->SetRect(10, 10, 40, 30);
    UniqueBstr size;
    stamp->ExportImage(UniqueBstr(exported.c_str()).get(), size.put());
    EXPECT_STREQ(L"30.000000*20.000000", size.c_str());
    EXPECT_EQ("PNG", ReadBytes(exported));

    ComPtr<IQxAttachments> atts;
    doc->get_Attachments(atts.put());
    atts->Add(UniqueBstr(exported.c_str()).get(), UniqueBstr(L"stamp").get(), &result);
    EXPECT_EQ(0, result);
    atts->Add(UniqueBstr((dir + L"\\absent").c_str()).get(), UniqueBstr(L"").get(), &result);
    EXPECT_EQ(-1, result);
    atts->get_Count(&count);
    EXPECT_EQ(2, count);
    ComPtr<IQxAttachment> second;
    atts->Item(1, second.put());
    UniqueBstr attName;
    second->get_Name(attName.put());
    EXPECT_STREQ(L"stamp.png", attName.c_str());
    atts->Remove(0, &result);
    EXPECT_EQ(0, result);
    atts->Remove(5, &result);
    EXPECT_EQ(-1, result);

    ComPtr<IQxWatermarks> wm;
    doc->get_Watermarks(wm.put());
    wm->SetText(UniqueBstr(L"DRAFT").get());
    wm->AddTextEx(1, 0, 0, 0, 1, UniqueBstr(L"draft").get(), &result);
    EXPECT_EQ(0, result);
    wm->AddTextEx(7, 0, 0, 0, 1, UniqueBstr(L"draft").get(), &result);
    EXPECT_EQ(-1, result);
    wm->NoPrintByName(0, UniqueBstr(L"draft").get(), &result);
    EXPECT_EQ(0, result);
    wm->DeleteByName(0, UniqueBstr(L"draft").get(), &result);
    EXPECT_EQ(1, result) << "page 0 has none";
    wm->DeleteByName(1, UniqueBstr(L"draft").get(), &result);
    EXPECT_EQ(0, result);
    wm->NoPrintByName(0, UniqueBstr(L"draft").get(), &result);
    EXPECT_EQ(1, result);
}

TEST_F(SimTest, ToolsPanesAndTabBarsAnswerByNameAndIndex) {
    ComPtr<IQxTools> tools;
    app->get_Tools(tools.put());
    ComPtr<IQxTool> text;
    VARIANT name = VStr(L"tooltext");
    tools->Item(name, text.put());
    VariantClear(&name);
    ASSERT_TRUE(text) << "tool names ignore case";
    text->Activate();
    ComPtr<IQxTool> current;
    tools->get_Current(current.put());
    UniqueBstr currentName;
    current->get_Name(currentName.put());
    EXPECT_STREQ(L"ToolText", currentName.c_str());
    ComPtr<IQxTool> byIndex;
    VARIANT two = VLong(2);
    tools->Item(two, byIndex.put());
    UniqueBstr indexName;
    byIndex->get_Name(indexName.put());
    EXPECT_STREQ(L"ToolText", indexName.c_str()) << "index 2 is the text tool";

    auto doc = Open(path);
    ComPtr<IQxWorkspace> ws;
    doc->get_Workspace(ws.put());
    ComPtr<IQxTabBars> tabs;
    ws->get_TabBars(tabs.put());
    LONG n = 0;
    tabs->get_Count(&n);
    LONG sig = -1;
    for (LONG i = 0; i < n; ++i) {
        UniqueBstr t;
        tabs->get_Name(i, t.put());
        if (std::wstring(t.c_str()) == L"SigTabBar") sig = i;
    }
    ASSERT_GE(sig, 0);
    tabs->SetVisible(sig, VARIANT_FALSE);
    VARIANT_BOOL visible = -1;
    tabs->GetVisible(sig, &visible);
    EXPECT_EQ(VARIANT_FALSE, visible);
    EXPECT_EQ(DISP_E_BADINDEX, tabs->GetVisible(n, &visible));
    ComPtr<IQxPanes> panes;
    ws->get_Panes(panes.put());
    ComPtr<IQxPane> marks;
    VARIANT pane = VStr(L"Bookmarks");
    panes->Item(pane, marks.put());
    VariantClear(&pane);
    ASSERT_TRUE(marks);
    UniqueBstr paneName;
    marks->get_Name(paneName.put());
    EXPECT_STREQ(L"BookMarks", paneName.c_str());
}

// ---- chrome ----------------------------------------------------------------------------------

TEST_F(SimTest, DefaultCommandBarsHoldTheReadersControls) {
    ComPtr<IQxCommandBars> bars;
    app->get_CommandBars(bars.put());
    LONG count = 0;
    bars->get_Count(&count);
    std::vector<std::wstring> names;
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IQxCommandBar> bar;
        VARIANT idx;
        VariantInit(&idx);
        idx.vt = VT_I8;
        idx.llVal = i;
        bars->Item(idx, bar.put());
        UniqueBstr n;
        bar->get_Name(n.put());
        names.push_back(n.c_str());
    }
    EXPECT_EQ(L"MenuBar", names.at(0)) << "the menu bar is the first bar";
    for (const wchar_t* want : {L"File", L"Rotate", L"Zoom", L"Standard", L"Find", L"Annots", L"Measuring",
                                L"OFDSignature", L"批量签章", L"Comments", L"DigitalSignature", L"MyTools"})
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), want)) << want;

    ComPtr<IQxCommandBar> file, comments, myTools;
    VARIANT fileName = VStr(L"File"), commentsName = VStr(L"Comments"), toolsName = VStr(L"MyTools");
    bars->Item(fileName, file.put());
    bars->Item(commentsName, comments.put());
    LONG removed = 0;
    sim->RemoveCommandBar(UniqueBstr(L"MyTools").get(), &removed);
    EXPECT_EQ(1, removed);
    bars->Item(toolsName, myTools.put());
    EXPECT_FALSE(myTools) << "removed, for add-ins that create it on first use";
    ComPtr<IQxControl> save, handwriting;
    VARIANT byId = VLong(1), id32002;
    VariantInit(&id32002);
    id32002.vt = VT_UI4;
    id32002.ulVal = 32002;
    file->FindControl(byId, id32002, save.put());
    ASSERT_TRUE(save);
    VARIANT id50036 = VLong(50036);
    comments->FindControl(byId, id50036, handwriting.put());
    ASSERT_TRUE(handwriting);
    UniqueBstr tip;
    handwriting->get_TipText(tip.put());
    EXPECT_STREQ(L"全文批阅", tip.c_str());
    VariantClear(&fileName);
    VariantClear(&commentsName);

    ComPtr<IQxCommandBar> added;
    bars->Add(toolsName, VMissing(), added.put());
    ComPtr<IQxControls> controls;
    added->get_Controls(controls.put());
    ComPtr<IQxControl> button;
    ASSERT_EQ(S_OK, controls->Add(VMissing(), VMissing(), VMissing(), button.put()));
    button->put_Tag(UniqueBstr(L"12").get());
    LONG type = 0;
    button->get_Type(&type);
    EXPECT_EQ(1, type);
    ComPtr<IQxCommandBar> again;
    bars->Item(toolsName, again.put());
    VariantClear(&toolsName);
    ASSERT_TRUE(again);
    ComPtr<IQxControls> controls2;
    again->get_Controls(controls2.put());
    ComPtr<IQxControl> byTag;
    VARIANT tag = VStr(L"12");
    controls2->Item(tag, byTag.put());
    VariantClear(&tag);
    EXPECT_TRUE(byTag);

    ComPtr<IQxControl> popup;
    ComPtr<IQxControls> menu;
    ComPtr<IQxCommandBar> menuBar;
    VARIANT first = VLong(0);
    bars->Item(first, menuBar.put());
    menuBar->get_Controls(menu.put());
    menu->Item(first, popup.put());
    ComPtr<IQxPopup> asPopup;
    ASSERT_EQ(S_OK, popup->QueryInterface(IID_IQxPopup, asPopup.put_void()));
    ComPtr<IQxFieldControl> notField;
    EXPECT_EQ(E_NOINTERFACE, popup->QueryInterface(IID_IQxFieldControl, notField.put_void()));
}

// ---- journal ------------------------------------------------------------------------------------

TEST_F(SimTest, JournalRecordsOperationsWithArgumentsInOrder) {
    ComPtr<IQxCommandBars> bars;
    app->get_CommandBars(bars.put());
    ComPtr<IQxCommandBar> bar;
    VARIANT idx;
    VariantInit(&idx);
    idx.vt = VT_I8;
    idx.llVal = 0;
    bars->Item(idx, bar.put());
    bar->put_Visible(VARIANT_FALSE);
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    ComPtr<IQxDocument> doc;
    VARIANT name = VStr(path.c_str());
    VARIANT empty = VStr(L"");
    docs->Open(name, empty, empty, VMissing(), doc.put());
    VariantClear(&name);
    VariantClear(&empty);
    app->NotifyToolClick(12, UniqueBstr(L"签章").get());

    std::vector<std::wstring> want = {
        L"Application.CommandBars",
        L"CommandBars.Item(0)",
        L"CommandBar.Visible=0",
        L"Application.Documents",
        L"Documents.Open(\"" + std::wstring(path.begin(), path.end()) + L"\", \"\", \"\", missing)",
        L"Application.NotifyToolClick(12, \"签章\")",
    };
    // Backslashes of the path are escaped in the journal.
    std::wstring escaped;
    for (wchar_t c : path) escaped += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    want[4] = L"Documents.Open(\"" + escaped + L"\", \"\", \"\", missing)";
    EXPECT_EQ(want, JournalOf(sim.get()));
    LONG notes = 0;
    sim->get_NotificationCount(&notes);
    ASSERT_EQ(1, notes);
    UniqueBstr note;
    sim->NotificationItem(0, note.put());
    EXPECT_STREQ(L"NotifyToolClick(12, \"签章\")", note.c_str());

    sim->ClearJournal();
    sim->put_Recording(VARIANT_FALSE);
    LONG n = 0;
    docs->get_Count(&n);
    EXPECT_TRUE(JournalOf(sim.get()).empty());
}

// ---- events ----------------------------------------------------------------------------------------

// Keeps a sink advised on the application for one scope.
struct Advised {
    ComPtr<IConnectionPoint> cp;
    DWORD cookie = 0;
    Advised(IQxApplication* app, IUnknown* sink) {
        ComPtr<IConnectionPointContainer> cpc;
        if (SUCCEEDED(app->QueryInterface(IID_IConnectionPointContainer, cpc.put_void())))
            cpc->FindConnectionPoint(DIID__IQxApplicationEvents, cp.put());
        if (cp) cp->Advise(sink, &cookie);
    }
    ~Advised() {
        if (cp && cookie) cp->Unadvise(cookie);
    }
};

class RecordingSink : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::vector<VARTYPE> types;
        bool nullDispatch = false;
    };
    std::vector<Event> events;
    VARIANT_BOOL answerHandled = VARIANT_TRUE;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__IQxApplicationEvents) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*, UINT*) override {
        Event e{id, {}};
        for (UINT i = dp->cArgs; i-- > 0;) {
            const VARIANT& a = dp->rgvarg[i];
            e.types.push_back(a.vt);
            if (a.vt == VT_DISPATCH && !a.pdispVal) e.nullDispatch = true;
            if (a.vt == (VT_BOOL | VT_BYREF)) *a.pboolVal = answerHandled;
        }
        events.push_back(e);
        return S_OK;
    }
};

TEST_F(SimTest, AdvisedSinkHearsDocumentEventsAndFiredEvents) {
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(S_OK, app->QueryInterface(IID_IConnectionPointContainer, cpc.put_void()));
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(S_OK, cpc->FindConnectionPoint(DIID__IQxApplicationEvents, cp.put()));
    RecordingSink sink;
    Advised advised(app.get(), &sink);
    ASSERT_NE(0u, advised.cookie);
    DWORD cookie = advised.cookie;
    LONG sinks = 0;
    sim->get_SinkCount(&sinks);
    EXPECT_EQ(1, sinks);

    auto doc = Open(path);
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    docs->Close(VMissing());
    ASSERT_EQ(3u, sink.events.size());
    EXPECT_EQ(9, sink.events[0].id);
    EXPECT_EQ(10, sink.events[1].id);
    EXPECT_EQ(11, sink.events[2].id);
    EXPECT_TRUE(sink.events[2].nullDispatch) << "no document remains";
    EXPECT_FALSE(sink.events[0].nullDispatch);

    sink.events.clear();
    VARIANT kind = VLong(0), id = VLong(0xF0000001);
    ScopedVariant r1;
    ASSERT_EQ(S_OK, sim->FireEvent(1, kind, id, VMissing(), VMissing(), r1.Receive()));
    ASSERT_EQ(1u, sink.events.size());
    EXPECT_EQ((std::vector<VARTYPE>{VT_UI4, VT_UI4}), sink.events[0].types);

    auto reopened = Open(path);
    sink.events.clear();
    ScopedVariant handled;
    VARIANT point = VLong(10 | (20 << 16));
    ASSERT_EQ(S_OK, sim->FireEvent(3, VMissing(), VLong(0), point, VMissing(), handled.Receive()));
    ASSERT_EQ(1u, sink.events.size());
    EXPECT_EQ((std::vector<VARTYPE>{VT_DISPATCH, VT_UI8, VT_UI8, VT_BOOL | VT_BYREF}), sink.events[0].types);
    EXPECT_FALSE(sink.events[0].nullDispatch) << "the active view is passed";
    EXPECT_EQ(VT_BOOL, handled->vt);
    EXPECT_EQ(VARIANT_TRUE, handled->boolVal);

    ASSERT_EQ(S_OK, cp->Unadvise(cookie));
    advised.cookie = 0;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, cp->Unadvise(cookie));
    sink.events.clear();
    docs->Close(VMissing());
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(SimTest, AnnotationMessageCarriesTheAnnotationAndReturnsTheVeto) {
    auto doc = Open(path);
    ComPtr<IQxAnnotations> annots;
    Page(doc.get(), 0)->get_Annotations(annots.put());
    ComPtr<IQxAnnotation> a;
    annots->Item(0, a.put());

    // A sink that vetoes through the notification's MsgHandle, as an add-in does.
    struct VetoSink : RecordingSink {
        std::wstring author;
        STDMETHODIMP Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* dp, VARIANT* res, EXCEPINFO* e,
                            UINT* u) override {
            if (id == 26) {
                IDispatch* note = dp->rgvarg[2].pdispVal;
                ScopedVariant annot;
                EXPECT_EQ(S_OK, CallByName(note, L"Annotation", DISPATCH_PROPERTYGET, {}, annot.Receive()));
                ComPtr<IQxAnnotation> ann;
                annot->pdispVal->QueryInterface(IID_IQxAnnotation, ann.put_void());
                UniqueBstr who;
                ann->get_Author(who.put());
                author = who.c_str();
                EXPECT_EQ(S_OK, CallByName(note, L"MsgHandle", DISPATCH_PROPERTYPUT, {VLong(1)}, nullptr));
            }
            return RecordingSink::Invoke(id, r, l, f, dp, res, e, u);
        }
    } sink;
    Advised advised(app.get(), &sink);
    ASSERT_NE(0u, advised.cookie);
    LONG handle = 0;
    ASSERT_EQ(S_OK, sim->FireAnnotationMessage(UniqueBstr(L"Quirex.Annots:OnLButtonDown").get(), a.get(), &handle));
    EXPECT_EQ(1, handle);
    EXPECT_EQ(L"张三", sink.author);
    ASSERT_EQ(1u, sink.events.size());
    EXPECT_EQ((std::vector<VARTYPE>{VT_BSTR, VT_DISPATCH, VT_UINT, VT_UINT}), sink.events[0].types);
}

// ---- stand-ins -----------------------------------------------------------------------------------------

class StandInTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_EQ(S_OK, sim->AddAllStandIns());
    }
    ComPtr<IDispatch> Sibling(const wchar_t* progId) {
        ComPtr<IQxCOMAddIns> addins;
        app->get_COMAddIns(addins.put());
        ComPtr<IQxCOMAddIn> item;
        VARIANT id = VStr(progId);
        addins->Item(id, item.put());
        VariantClear(&id);
        ComPtr<IDispatch> object;
        if (item) item->get_Object(object.put());
        return object;
    }
    ComPtr<IQxStandIn> Control(const wchar_t* progId) {
        ComPtr<IQxStandIn> s;
        sim->StandIn(UniqueBstr(progId).get(), s.put());
        return s;
    }
};

TEST_F(StandInTest, AllSixSiblingsAreListed) {
    for (const wchar_t* id : {L"Veridane.Folium2015", L"Veridane.Relay", L"Veridane.Inkpad", L"Veridane.Toolkit",
                              L"Quirex.Annots", L"Quirex.OFDSignature"})
        EXPECT_TRUE(Sibling(id)) << id;
}

TEST_F(StandInTest, RecordsCallsWithTypesInParameterOrder) {
    auto relay = Sibling(L"Veridane.Relay");
    ASSERT_TRUE(relay);
    ASSERT_EQ(S_OK, CallByName(relay.get(), L"SetMsgByName", DISPATCH_METHOD, {VStr(L"OPTION"), VStr(L"LOADFILE")}, nullptr));
    ASSERT_EQ(S_OK, CallByName(relay.get(), L"WebUrl", DISPATCH_PROPERTYPUT, {VStr(L"http://127.0.0.1/x")}, nullptr));
    ScopedVariant status;
    ASSERT_EQ(S_OK, CallByName(relay.get(), L"Status", DISPATCH_PROPERTYGET, {}, status.Receive()));
    auto control = Control(L"Veridane.Relay");
    UniqueBstr calls;
    control->get_Calls(calls.put());
    EXPECT_STREQ(L"SetMsgByName:M:2|VT_BSTR=\"OPTION\"|VT_BSTR=\"LOADFILE\"\n"
                 L"WebUrl:P:1|VT_BSTR=\"http://127.0.0.1/x\"\n"
                 L"Status:G:0\n",
                 calls.c_str());
    ScopedVariant url;
    control->PropertyValue(UniqueBstr(L"WebUrl").get(), url.Receive());
    ASSERT_EQ(VT_BSTR, url->vt);
    EXPECT_STREQ(L"http://127.0.0.1/x", url->bstrVal);
    ScopedVariant second;
    control->CallArgument(0, 1, second.Receive());
    EXPECT_STREQ(L"LOADFILE", second->bstrVal);
    auto journal = JournalOf(sim.get());
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(L"Veridane.Relay!Status:G:0", journal.back()) << "sibling calls are journaled in order";
}

TEST_F(StandInTest, RejectsWrongKindsCountsAndUnknownNames) {
    auto inkpad = Sibling(L"Veridane.Inkpad");
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, CallByName(inkpad.get(), L"SetOption", DISPATCH_METHOD, {VLong(1)}, nullptr));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, CallByName(inkpad.get(), L"AnnotInfo", DISPATCH_PROPERTYGET, {}, nullptr));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, CallByName(inkpad.get(), L"NoSuchMember", DISPATCH_METHOD, {}, nullptr));
    // A property write must carry the DISPID_PROPERTYPUT named argument.
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(L"AnnotInfo");
    inkpad->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    VARIANT v = VStr(L"x");
    DISPPARAMS dp{&v, nullptr, 1, 0};
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, inkpad->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &dp, nullptr, nullptr, nullptr));
    VariantClear(&v);
    LONG count = 0;
    Control(L"Veridane.Inkpad")->get_CallCount(&count);
    EXPECT_EQ(3, count) << "rejected calls are recorded too, marked";
    UniqueBstr line;
    Control(L"Veridane.Inkpad")->CallItem(0, line.put());
    EXPECT_STREQ(L"SetOption:M:1|VT_I4=1 !rejected", line.c_str());
}

TEST_F(StandInTest, AnswersConfiguredResultsAndHResults) {
    auto toolkit = Sibling(L"Veridane.Toolkit");
    auto control = Control(L"Veridane.Toolkit");
    VARIANT version = VStr(L"3.2.1.0");
    control->SetResult(UniqueBstr(L"GetVersionEx").get(), version);
    VariantClear(&version);
    ScopedVariant r;
    ASSERT_EQ(S_OK, CallByName(toolkit.get(), L"GetVersionEx", DISPATCH_METHOD, {}, r.Receive()));
    EXPECT_STREQ(L"3.2.1.0", r->bstrVal);

    // Without a configured result the caller's preset value stays.
    auto ofd = Sibling(L"Quirex.OFDSignature");
    VARIANT preset = VLong(-7);
    ASSERT_EQ(S_OK, CallByName(ofd.get(), L"SignatureCount", DISPATCH_METHOD, {}, &preset));
    EXPECT_EQ(-7, preset.lVal);

    Control(L"Quirex.OFDSignature")->SetHResult(UniqueBstr(L"CreateSignature").get(), E_FAIL);
    EXPECT_EQ(E_FAIL, CallByName(ofd.get(), L"CreateSignature", DISPATCH_METHOD, {}, nullptr));

    // Read-write properties read back what was written when no result is set.
    auto folium = Sibling(L"Veridane.Folium2015");
    CallByName(folium.get(), L"SignatureMode", DISPATCH_PROPERTYPUT, {VLong(2)}, nullptr);
    ScopedVariant mode;
    CallByName(folium.get(), L"SignatureMode", DISPATCH_PROPERTYGET, {}, mode.Receive());
    EXPECT_EQ(2, mode->lVal);
}

TEST_F(StandInTest, RemovedAddInIsNoLongerFound) {
    ASSERT_EQ(S_OK, sim->RemoveAddIn(UniqueBstr(L"Veridane.Relay").get()));
    EXPECT_FALSE(Sibling(L"Veridane.Relay"));
    ComPtr<IQxCOMAddIns> addins;
    app->get_COMAddIns(addins.put());
    LONG count = 0;
    addins->get_Count(&count);
    EXPECT_EQ(5, count);
    ComPtr<IQxStandIn> gone;
    sim->StandIn(UniqueBstr(L"Veridane.Relay").get(), gone.put());
    EXPECT_FALSE(gone);
}

// ---- loading add-ins through COM -------------------------------------------------------------------

class ProbeAddIn : public IQxExtensibility {
public:
    LONG refs = 1;
    int connections = 0, disconnections = 0;
    ComPtr<IDispatch> application;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IQxExtensibility) {
            *ppv = static_cast<IQxExtensibility*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP OnConnection(IDispatch* app, LONG, IDispatch*, VARIANT*) override {
        ++connections;
        application = ComPtr<IDispatch>(app);
        return S_OK;
    }
    STDMETHODIMP OnDisconnection(LONG, VARIANT*) override {
        ++disconnections;
        return E_NOTIMPL;
    }
    STDMETHODIMP OnAddInsUpdate(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDescription(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnBeginShutdown(VARIANT*) override { return E_NOTIMPL; }
};

class ProbeFactory : public IClassFactory {
public:
    ProbeAddIn* addIn;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = (riid == IID_IUnknown || riid == IID_IClassFactory) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override { return addIn->QueryInterface(riid, ppv); }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

TEST_F(SimTest, LoadAddInCreatesConnectsAndListsIt) {
    const CLSID probeClsid = {0x6f1d3a10, 0x2b7c, 0x4e55, {0x9a, 0x61, 0x3c, 0x0d, 0x7e, 0x21, 0x44, 0x90}};
    ProbeAddIn addIn;
    ProbeFactory factory;
    factory.addIn = &addIn;
    DWORD reg = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(probeClsid, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &reg));
    wchar_t text[64];
    StringFromGUID2(probeClsid, text, 64);
    LONG hr = -1;
    ASSERT_EQ(S_OK, sim->LoadAddIn(UniqueBstr(text).get(), &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(1, addIn.connections);
    ComPtr<IQxApplication> given;
    ASSERT_TRUE(addIn.application);
    EXPECT_EQ(S_OK, addIn.application->QueryInterface(IID_IQxApplication, given.put_void()));
    EXPECT_EQ(app.get(), given.get());

    ComPtr<IQxCOMAddIns> addins;
    app->get_COMAddIns(addins.put());
    ComPtr<IQxCOMAddIn> item;
    VARIANT id = VStr(text);
    EXPECT_EQ(S_OK, addins->Item(id, item.put()));
    ASSERT_TRUE(item);

    ASSERT_EQ(S_OK, sim->UnloadAddIn(UniqueBstr(text).get(), &hr));
    EXPECT_EQ(E_NOTIMPL, hr) << "the disconnection's own answer";
    EXPECT_EQ(1, addIn.disconnections);
    ComPtr<IQxCOMAddIn> gone;
    EXPECT_NE(S_OK, addins->Item(id, gone.put()));
    EXPECT_FALSE(gone);
    VariantClear(&id);
    CoRevokeClassObject(reg);

    LONG missing = 0;
    sim->LoadAddIn(UniqueBstr(L"No.Such.AddIn").get(), &missing);
    EXPECT_TRUE(FAILED(missing));
}

// ---- failure injection and structure changes ---------------------------------------------------

class FaultTest : public SimTest {
protected:
    void Fail(const wchar_t* op, HRESULT hr, LONG times = 1, LONG skip = 0) {
        ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), op, hr, times, skip));
    }
    HRESULT ActiveDocument(ComPtr<IQxDocument>& doc) {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        doc = nullptr;
        return docs->get_ActiveDocument(doc.put());
    }
};

TEST_F(FaultTest, InjectedFailuresHitTheChosenCallsThenStop) {
    auto opened = Open(path);
    struct Case {
        LONG times, skip;
        std::vector<bool> fails;  // per call, in order
    } cases[] = {
        {1, 0, {true, false, false}},
        {2, 0, {true, true, false}},
        {1, 1, {false, true, false}},
        {-1, 0, {true, true, true, true}},
    };
    for (const Case& c : cases) {
        sim->ClearFailures();
        Fail(L"Documents.ActiveDocument", E_ACCESSDENIED, c.times, c.skip);
        for (size_t i = 0; i < c.fails.size(); ++i) {
            ComPtr<IQxDocument> doc;
            HRESULT hr = ActiveDocument(doc);
            EXPECT_EQ(c.fails[i] ? E_ACCESSDENIED : S_OK, hr) << "times " << c.times << " skip " << c.skip << " call " << i;
            EXPECT_EQ(c.fails[i], !doc);
        }
    }
    sim->ClearJournal();
    ComPtr<IQxDocument> doc;
    ActiveDocument(doc);
    EXPECT_EQ((std::vector<std::wstring>{L"Application.Documents", L"Documents.ActiveDocument !failed 0x80070005"}),
              JournalOf(sim.get()));
    ASSERT_EQ(S_OK, sim->Reset());
    EXPECT_EQ(S_OK, ActiveDocument(doc)) << "Reset clears the rules";
}

TEST_F(FaultTest, NullAnswersGiveNullObjectsStringsAndZero) {
    auto doc = Open(path);
    ASSERT_EQ(S_OK, quirexsim::NullOperation(sim.get(), L"Application.MainFrame"));
    ASSERT_EQ(S_OK, quirexsim::NullOperation(sim.get(), L"MainFrame.AppDirectory"));
    ASSERT_EQ(S_OK, quirexsim::NullOperation(sim.get(), L"Page.Rotation"));
    ComPtr<IQxMainFrame> frame;
    EXPECT_EQ(S_OK, app->get_MainFrame(frame.put()));
    EXPECT_FALSE(frame);
    ASSERT_EQ(S_OK, app->get_MainFrame(frame.put()));
    BSTR dir = SysAllocString(L"unchanged");
    EXPECT_EQ(S_OK, frame->get_AppDirectory(&dir));
    EXPECT_EQ(nullptr, dir);
    LONG rotation = 7;
    EXPECT_EQ(S_OK, Page(doc.get(), 1)->get_Rotation(&rotation));
    EXPECT_EQ(0, rotation);
    auto journal = JournalOf(sim.get());
    EXPECT_NE(journal.end(), std::find(journal.begin(), journal.end(), L"Application.MainFrame !null"));
    EXPECT_NE(journal.end(), std::find(journal.begin(), journal.end(), L"Page.Rotation !null"));
}

TEST_F(FaultTest, AFailedOperationDoesNothingAndAWildcardCoversTheObject) {
    auto doc = Open(path);
    RecordingSink sink;
    Advised advised(app.get(), &sink);
    std::wstring target = dir + L"\\saved.pdf";
    Fail(L"Document.SaveAs", E_FAIL);
    LONG result = 5;
    EXPECT_EQ(E_FAIL, doc->SaveAs(UniqueBstr(target.c_str()).get(), &result));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.c_str()));
    EXPECT_TRUE(sink.events.empty()) << "no DocumentSaved";
    EXPECT_EQ(S_OK, doc->SaveAs(UniqueBstr(target.c_str()).get(), &result));
    EXPECT_EQ(0, result);

    Fail(L"Document.*", DISP_E_EXCEPTION, -1);
    ComPtr<IQxPages> pages;
    EXPECT_EQ(DISP_E_EXCEPTION, doc->get_Pages(pages.put()));
    LONG modified = 0;
    EXPECT_EQ(DISP_E_EXCEPTION, doc->get_Modified(&modified));
    ComPtr<IQxDocuments> docs;
    EXPECT_EQ(S_OK, app->get_Documents(docs.put())) << "other objects are not hit";
    ASSERT_EQ(S_OK, sim->FailOperation(UniqueBstr(L"Document.*").get(), 0, 0, 0));
    EXPECT_EQ(S_OK, doc->get_Pages(pages.put())) << "Times 0 removes the rule";
}

TEST_F(FaultTest, TypedJournalShowsTheVariantTypesOfArguments) {
    ComPtr<IQxCommandBars> bars;
    app->get_CommandBars(bars.put());
    ComPtr<IQxCommandBar> bar;
    VARIANT i8;
    VariantInit(&i8);
    i8.vt = VT_I8;
    i8.llVal = 0;
    bars->Item(i8, bar.put());
    VARIANT name = VStr(L"File");
    bars->Item(name, bar.put());
    VariantClear(&name);
    EXPECT_EQ((std::vector<std::wstring>{L"Application.CommandBars", L"CommandBars.Item(VT_I8=0)",
                                         L"CommandBars.Item(VT_BSTR=\"File\")"}),
              quirexsim::TypedJournal(sim.get()));
    EXPECT_EQ(L"CommandBars.Item(0)", JournalOf(sim.get())[1]) << "the plain journal is unchanged";
}

TEST_F(FaultTest, ChromeCanLoseRenameAndReorderItemsUntilReset) {
    struct Change {
        const wchar_t* kind;
        int op;  // 0 remove, 1 rename, 2 move to 0
        const wchar_t* name;
    } changes[] = {{L"CommandBar", 0, L"MenuBar"}, {L"Pane", 1, L"SigPane"}, {L"TabBar", 2, L"Thumbnail"},
                   {L"Tool", 1, L"ToolHand"}};
    for (const Change& c : changes) {
        LONG n = 0;
        UniqueBstr kind(c.kind), name(c.name);
        if (c.op == 0) EXPECT_EQ(S_OK, sim->RemoveChrome(kind.get(), name.get(), &n));
        if (c.op == 1) EXPECT_EQ(S_OK, sim->RenameChrome(kind.get(), name.get(), UniqueBstr(L"Renamed").get(), &n));
        if (c.op == 2) EXPECT_EQ(S_OK, sim->MoveChrome(kind.get(), name.get(), 0, &n));
        EXPECT_EQ(1, n) << c.kind;
    }
    LONG n = 0;
    EXPECT_EQ(E_INVALIDARG, sim->RemoveChrome(UniqueBstr(L"Window").get(), UniqueBstr(L"x").get(), &n));

    ComPtr<IQxCommandBars> bars;
    app->get_CommandBars(bars.put());
    ComPtr<IQxCommandBar> bar;
    VARIANT menu = VStr(L"MenuBar");
    EXPECT_EQ(S_OK, bars->Item(menu, bar.put()));
    EXPECT_FALSE(bar);
    auto doc = Open(path);
    ComPtr<IQxWorkspace> ws;
    doc->get_Workspace(ws.put());
    ComPtr<IQxTabBars> tabs;
    ws->get_TabBars(tabs.put());
    UniqueBstr first;
    tabs->get_Name(0, first.put());
    EXPECT_STREQ(L"Thumbnail", first.c_str());
    ComPtr<IQxPanes> panes;
    ws->get_Panes(panes.put());
    ComPtr<IQxPane> pane;
    VARIANT renamed = VStr(L"Renamed"), sig = VStr(L"SigPane");
    EXPECT_EQ(S_OK, panes->Item(renamed, pane.put()));
    EXPECT_TRUE(pane);
    panes->Item(sig, pane.put());
    EXPECT_FALSE(pane);
    ComPtr<IQxTools> tools;
    app->get_Tools(tools.put());
    ComPtr<IQxTool> current;
    tools->get_Current(current.put());
    UniqueBstr tool;
    current->get_Name(tool.put());
    EXPECT_STREQ(L"Renamed", tool.c_str()) << "the current tool keeps being current";

    sim->Reset();
    EXPECT_EQ(S_OK, bars->Item(menu, bar.put()));
    EXPECT_TRUE(bar);
    VariantClear(&menu);
    VariantClear(&renamed);
    VariantClear(&sig);
}

TEST_F(FaultTest, EveryPaneStartsHidden) {
    auto doc = Open(path);
    ComPtr<IQxWorkspace> ws;
    doc->get_Workspace(ws.put());
    ComPtr<IQxPanes> panes;
    ws->get_Panes(panes.put());
    LONG count = 0;
    panes->get_Count(&count);
    EXPECT_EQ(5, count);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IQxPane> pane;
        panes->Item(VLong(i), pane.put());
        VARIANT_BOOL visible = VARIANT_TRUE;
        pane->get_Visible(&visible);
        EXPECT_EQ(VARIANT_FALSE, visible) << i;
    }
}

TEST_F(FaultTest, ADetachedDocumentHasNoFileBehindIt) {
    LONG r = 0;
    EXPECT_EQ(S_OK, sim->DetachFile(&r));
    EXPECT_EQ(-1, r) << "no document open";
    auto doc = Open(path);
    ASSERT_EQ(S_OK, sim->DetachFile(&r));
    EXPECT_EQ(0, r);
    ComPtr<IQxDocumentFile> file;
    doc->get_FileInfo(file.put());
    UniqueBstr folder, name;
    LONG size = -1;
    file->get_Folder(folder.put());
    file->get_Name(name.put());
    file->get_Size(&size);
    EXPECT_STREQ(L"", folder.c_str());
    EXPECT_STREQ(L"", name.c_str());
    EXPECT_EQ(0, size);
}

TEST_F(FaultTest, RawEventsCarryNamedAndManyArguments) {
    struct RawSink : RecordingSink {
        UINT args = 0, named = 0;
        std::vector<DISPID> ids;
        STDMETHODIMP Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* dp, VARIANT* res, EXCEPINFO* e,
                            UINT* u) override {
            args = dp->cArgs;
            named = dp->cNamedArgs;
            ids.assign(dp->rgdispidNamedArgs, dp->rgdispidNamedArgs + dp->cNamedArgs);
            return RecordingSink::Invoke(id, r, l, f, dp, res, e, u);
        }
    } sink;
    Advised advised(app.get(), &sink);
    SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 9);
    for (LONG i = 0; i < 9; ++i) {
        VARIANT v = VLong(i);
        SafeArrayPutElement(values, &i, &v);
    }
    SAFEARRAY* ids = SafeArrayCreateVector(VT_I4, 0, 1);
    LONG zero = 0, one = 1;
    SafeArrayPutElement(ids, &zero, &one);
    VARIANT a, n;
    a.vt = VT_ARRAY | VT_VARIANT;
    a.parray = values;
    n.vt = VT_ARRAY | VT_I4;
    n.parray = ids;
    LONG status = -1;
    ASSERT_EQ(S_OK, sim->FireEventRaw(1, a, n, &status));
    EXPECT_EQ(S_OK, status);
    EXPECT_EQ(9u, sink.args);
    EXPECT_EQ(1u, sink.named);
    EXPECT_EQ(std::vector<DISPID>{1}, sink.ids);
    ASSERT_EQ(1u, sink.events.size());
    EXPECT_EQ(E_INVALIDARG, sim->FireEventRaw(1, VMissing(), n, &status)) << "more names than arguments";
    SafeArrayDestroy(values);
    SafeArrayDestroy(ids);
}

TEST_F(FaultTest, AnnotationMessageCanCarryAnyValue) {
    struct NoteSink : RecordingSink {
        VARTYPE seen = 0xFFFF;
        STDMETHODIMP Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* dp, VARIANT* res, EXCEPINFO* e,
                            UINT* u) override {
            ScopedVariant annot;
            if (id == 26 && dp->rgvarg[2].pdispVal &&
                SUCCEEDED(CallByName(dp->rgvarg[2].pdispVal, L"Annotation", DISPATCH_PROPERTYGET, {}, annot.Receive())))
                seen = annot->vt;
            return RecordingSink::Invoke(id, r, l, f, dp, res, e, u);
        }
    } sink;
    Advised advised(app.get(), &sink);
    VARIANT text = VStr(L"not an object"), null;
    null.vt = VT_DISPATCH;
    null.pdispVal = nullptr;
    LONG handle = -1;
    UniqueBstr message(L"Quirex.Annots:OnDelKeyDown");
    ASSERT_EQ(S_OK, sim->FireAnnotationMessageWith(message.get(), text, &handle));
    EXPECT_EQ(VT_BSTR, sink.seen);
    EXPECT_EQ(0, handle);
    ASSERT_EQ(S_OK, sim->FireAnnotationMessageWith(message.get(), null, &handle));
    EXPECT_EQ(VT_DISPATCH, sink.seen);
    VariantClear(&text);
}

TEST_F(FaultTest, RawInvokeDescribesResultAndStatus) {
    UniqueBstr text;
    VARIANT i2;
    VariantInit(&i2);
    i2.vt = VT_I2;
    i2.iVal = -1;
    ASSERT_EQ(S_OK, sim->DescribeVariant(i2, text.put()));
    EXPECT_STREQ(L"VT_I2=-1", text.c_str());
    EXPECT_EQ(L"0x80004005 VT_I2=-1", quirexsim::Describe(sim.get(), E_FAIL, i2));

    ComPtr<IDispatch> appDisp;
    app->QueryInterface(IID_IDispatch, appDisp.put_void());
    ASSERT_EQ(S_OK, sim->InvokeRaw(appDisp.get(), UniqueBstr(L"SaveAllowed").get(), VMissing(), text.put()));
    EXPECT_STREQ(L"0x00000000 VT_I4=1", text.c_str());
    ASSERT_EQ(S_OK, sim->InvokeRaw(appDisp.get(), UniqueBstr(L"NoSuchMember").get(), VMissing(), text.put()));
    EXPECT_STREQ(L"0x80020006 VT_EMPTY=empty", text.c_str());
    Fail(L"Application.CopyEnabled", E_FAIL);
    ASSERT_EQ(S_OK, sim->InvokeRaw(appDisp.get(), UniqueBstr(L"CopyEnabled").get(), VMissing(), text.put()));
    EXPECT_EQ(0u, std::wstring(text.c_str()).find(L"0x80020009")) << "late bound, a failure arrives as an exception: "
                                                                  << text.c_str();
}

TEST_F(SimTest, TheSameAddInObjectCanBeReconnected) {
    const CLSID probeClsid = {0x6f1d3a11, 0x2b7c, 0x4e55, {0x9a, 0x61, 0x3c, 0x0d, 0x7e, 0x21, 0x44, 0x91}};
    ProbeAddIn addIn;
    ProbeFactory factory;
    factory.addIn = &addIn;
    DWORD reg = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(probeClsid, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &reg));
    wchar_t text[64];
    StringFromGUID2(probeClsid, text, 64);
    LONG hr = -1;
    ASSERT_EQ(S_OK, sim->LoadAddIn(UniqueBstr(text).get(), &hr));
    ASSERT_EQ(S_OK, sim->DisconnectAddIn(UniqueBstr(text).get(), &hr));
    EXPECT_EQ(E_NOTIMPL, hr);
    ASSERT_EQ(S_OK, sim->ConnectAddIn(UniqueBstr(text).get(), &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(2, addIn.connections);
    EXPECT_EQ(1, addIn.disconnections);
    ASSERT_EQ(S_OK, sim->ConnectAddIn(UniqueBstr(L"Not.Listed").get(), &hr));
    EXPECT_EQ(E_INVALIDARG, hr);
    sim->UnloadAddIn(UniqueBstr(text).get(), &hr);
    CoRevokeClassObject(reg);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int r = RUN_ALL_TESTS();
    CoUninitialize();
    return r;
}
