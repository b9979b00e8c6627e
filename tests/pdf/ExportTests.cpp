// Export of a script's changes onto the original PDF: each change is read back through the
// import (what the simulator would open next time), checked by `qpdf --check`, and the
// rest of the document must come back as it was.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

#include "Export.h"
#include "Import.h"
#include "PdfTests.h"
#include "Render.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;
using foliumpdf::ExportError;

using pdftest::Visible;
const std::string kSample = pdftest::Env("FOLIUM_SAMPLE_PDF");

// A 24x16 PNG: left third half-transparent blue, the rest red.
const char kStampPng[] =
    "iVBORw0KGgoAAAANSUhEUgAAABgAAAAQCAYAAAAMJL+VAAAAKElEQVR42mNkYPjfwIAH/GdgrGegADAx0BiMWjBqwagFoxaMWkANAABUIwMeWcadKQAAAABJRU5ErkJggg==";

// 4x2 pictures, the left column blue and the rest red, in the other formats a stamp may
// carry (the GIF's blue is its transparent colour).
const char kStampJpeg[] =
    "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAIBAQEBAQIBAQECAgICAgQDAgICAgUEBAMEBgUGBgYFBgYGBwkIBgcJBwYGCAsICQoK"
    "CgoKBggLDAsKDAkKCgr/2wBDAQICAgICAgUDAwUKBwYHCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoKCgoK"
    "CgoKCgoKCgr/wAARCAACAAQDASIAAhEBAxEB/8QAHwAAAQUBAQEBAQEAAAAAAAAAAAECAwQFBgcICQoL/8QAtRAAAgEDAwIEAwUF"
    "BAQAAAF9AQIDAAQRBRIhMUEGE1FhByJxFDKBkaEII0KxwRVS0fAkM2JyggkKFhcYGRolJicoKSo0NTY3ODk6Q0RFRkdISUpTVFVW"
    "V1hZWmNkZWZnaGlqc3R1dnd4eXqDhIWGh4iJipKTlJWWl5iZmqKjpKWmp6ipqrKztLW2t7i5usLDxMXGx8jJytLT1NXW19jZ2uHi"
    "4+Tl5ufo6erx8vP09fb3+Pn6/8QAHwEAAwEBAQEBAQEBAQAAAAAAAAECAwQFBgcICQoL/8QAtREAAgECBAQDBAcFBAQAAQJ3AAEC"
    "AxEEBSExBhJBUQdhcRMiMoEIFEKRobHBCSMzUvAVYnLRChYkNOEl8RcYGRomJygpKjU2Nzg5OkNERUZHSElKU1RVVldYWVpjZGVm"
    "Z2hpanN0dXZ3eHl6goOEhYaHiImKkpOUlZaXmJmaoqOkpaanqKmqsrO0tba3uLm6wsPExcbHyMnK0tPU1dbX2Nna4uPk5ebn6Onq"
    "8vP09fb3+Pn6/9oADAMBAAIRAxEAPwD4X+H3/Ig6H/2B7b/0UtFFFfz7x3/yXGaf9hNf/wBOyP8Adfgz/kj8u/68Uf8A03E//9k=";
const char kStampGif[] = "R0lGODlhBAACAIEAAP8AAAAA/wAAAAAAACH5BAEAAAEALAAAAAAEAAIAAAgIAAMAGChwYEAAOw==";
const char kStampBmp[] =
    "Qk1OAAAAAAAAADYAAAAoAAAABAAAAAIAAAABABgAAAAAABgAAADEDgAAxA4AAAAAAAAAAAAA/wAAAAD/AAD/AAD//wAAAAD/AAD/AAD/";

class Export : public ::testing::Test {
protected:
    fs::path dir;
    json original;  // the import of the sample, as the simulator would save it unchanged

    void SetUp() override {
        dir = fs::temp_directory_path() / ("folium-export-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        original = foliumpdf::ImportPdfFile(kSample, {});
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Out(const char* name = "out.pdf") { return (dir / name).string(); }

    // Through a state file, which may have comments.
    json ExportAndReimport(const json& state) {
        std::ofstream(dir / "state.json") << "// comments are allowed\n" + state.dump();
        foliumpdf::ExportPdf((dir / "state.json").string(), Out());
        EXPECT_EQ(std::system(("qpdf --check " + Out() + " >/dev/null 2>&1").c_str()), 0);
        return foliumpdf::ImportPdfFile(Out(), {});
    }
};

json Comment() {
    return {{"kind", 0},        {"type", "Text"}, {"rect", {100, 100, 120, 120}}, {"author", "Script"},
            {"contents", "Looks good \u597d"}, {"uniqueName", "qxsim-1"}, {"popup", {{"title", "Script"}, {"open", false}}}};
}
json Stamp() {
    return {{"kind", 12}, {"type", "Stamp"}, {"rect", {300, 300, 420, 380}}, {"image", kStampPng}, {"uniqueName", "qxsim-2"}};
}
json Watermark() {
    return {{"name", "wm"}, {"text", "DRAFT \u8349\u7a3f"}, {"color", 255}, {"rotation", 45}, {"x", 297},
            {"y", 420},     {"fontSize", 40},                {"opacity", 0.3}};
}

json& Field(json& doc, const std::string& fullName) {
    for (auto& f : doc["fields"])
        if (f["fullName"] == fullName) return f;
    throw std::runtime_error("no field " + fullName);
}

// One script change per row (the first none), as the reader's state shows it, also with every
// key the simulator writes at its default value: the re-import must show exactly that state.
// Filled fields, added comments and stamps are read back below and by `./folium run` (run-test.sh).
struct Change {
    const char* name;
    std::function<void(json& state)> apply;
};

TEST_F(Export, EachChangeComesBackAndNothingElse) {
    const json defaults = {{"color", 0}, {"opacity", 1}, {"visible", true}, {"imagePath", ""}, {"stampText", ""}};
    const Change changes[] = {
        {"nothing", [](json&) {}},
        {"untick the check box", [](json& s) { Field(s, "Agree").at("value") = "Off"; }},
        {"move the note and change its text",
         [](json& s) {
             auto& note = s["pages"][0]["annotations"][0];
             note["rect"] = {200, 500, 220, 520};
             note["contents"] = "Amount checked.";
         }},
        {"delete the note", [](json& s) { s["pages"][0]["annotations"].erase(0); }},
        {"delete the second page",
         [](json& s) {
             s["pages"].erase(1);
             // As the reader leaves a widget and bookmarks of a deleted page, and those after it.
             Field(s, "Signature1")["widget"] = {{"page", -1}};
             s["bookmarks"][1]["page"] = 0;
             s["bookmarks"][2]["page"] = 2;
         }},
        {"rotate the first page", [](json& s) { s["pages"][0]["rotation"] = 90; }},
        {"insert a page of another PDF",
         [](json& s) {
             json page = s["pages"][2];  // the real page, not a drawing of its text
             page["sourceFile"] = kSample;
             s["pages"].push_back(page);
         }},
        {"add an attachment",
         [](json& s) { s["attachments"].push_back({{"name", "b.txt"}, {"description", "B"}, {"data", "aGVsbG8="}}); }},
        {"remove the attachment", [](json& s) { s["attachments"] = json::array(); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        json state = original;
        change.apply(state);
        json saved = state;
        for (auto& page : saved["pages"])
            for (auto& a : page["annotations"])
                for (auto& [k, v] : defaults.items())
                    if (!a.contains(k)) a[k] = v;
        EXPECT_EQ(Visible(ExportAndReimport(saved)), Visible(state));
    }
}

// The added annotations and the filled field read back are `./folium run`'s test (run-test.sh).
TEST_F(Export, TheScriptsWorkReadBackAsAWhole) {
    json state = original;
    Field(state, "Seller")["value"] = "Wei Wang";
    state["pages"][0]["annotations"].push_back(Comment());
    state["pages"][0]["annotations"].push_back(Stamp());
    state["pages"][0]["watermarks"] = json::array({Watermark()});
    state["pages"].erase(1);
    const auto s = foliumpdf::ExportState(state, Out());
    // Every count of the summary: pages, deleted, added; annotations added, changed, deleted; fields set;
    // watermarks added, deleted; attachments added, removed; warnings.
    EXPECT_EQ((std::vector<int>{s.pages, s.pagesDeleted, s.pagesAdded, s.annotationsAdded, s.annotationsChanged,
                                s.annotationsDeleted, s.fieldsSet, s.watermarksAdded, s.watermarksDeleted,
                                s.attachmentsAdded, s.attachmentsRemoved, s.warnings}),
              (std::vector<int>{2, 1, 0, 2, 0, 0, 1, 1, 0, 0, 0, 0}));
    // The deleted page is gone from the file, not only from the page tree.
    QPDF written;
    written.processFile(Out().c_str());
    long pageObjects = 0;
    for (auto& object : written.getAllObjects()) pageObjects += object.isPageObject() ? 1 : 0;
    EXPECT_EQ(pageObjects, 2);

    // The stamp shows where it was put: the page picture differs there (at 72 dpi one
    // pixel is one point; y counts from the top), and not in the heading above.
    auto before = foliumpdf::RenderPage(kSample, 1, 72), after = foliumpdf::RenderPage(Out(), 1, 72);
    int top = before.height - 380, bottom = before.height - 300;
    EXPECT_GT(after.DifferingPixels(before, 300, top, 420, bottom), 120 * 80 * 9 / 10);
    EXPECT_EQ(after.DifferingPixels(before, 0, 0, before.width, 60), 0);
}

// The tool's own refusals (exit code, no output) are in the import tests' table.
struct Bad {
    const char* name;
    std::function<void(json& state, const std::string& dir)> spoil;
    const char* reason;
};

TEST_F(Export, BadInputIsRefusedWithAReasonAndWritesNothing) {
    const Bad cases[] = {
        {"no original named", [](json& s, auto&) { s.erase("source"); }, "bad state: it names no original PDF"},
        {"the original is gone", [](json& s, auto& d) { s["source"] = d + "/gone.pdf"; }, "cannot be read"},
        {"the original is not a PDF",
         [](json& s, auto& d) {
             std::ofstream(d + "/text.pdf") << "hello";
             s["source"] = d + "/text.pdf";
             s.erase("sourceDigest");
         },
         "not a PDF"},
        {"the original's bytes changed", [](json& s, auto&) { s["sourceDigest"] = std::string(64, '0'); },
         "has changed since it was imported"},
        {"a page the original does not have", [](json& s, auto&) { s["pages"][0]["source"] = 7; }, "has changed"},
        {"an annotation the original does not have",
         [](json& s, auto&) { s["pages"][0]["annotations"][0]["source"] = "999 0"; }, "has changed"},
        {"a field the original does not have", [](json& s, auto&) { s["fields"][0]["fullName"] = "Nobody"; },
         "has no field \"Nobody\""},
        {"pages not a list", [](json& s, auto&) { s["pages"] = "three"; }, "bad state: state.pages is not a list"},
        {"no pages", [](json& s, auto&) { s["pages"] = json::array(); }, "bad state: no pages"},
        {"a rectangle of three numbers", [](json& s, auto&) { s["pages"][0]["annotations"][0]["rect"] = {1, 2, 3}; },
         "rect is not four numbers"},
        {"a reference that is not one", [](json& s, auto&) { s["pages"][0]["annotations"][0]["source"] = "x"; },
         "is not an object reference"},
        {"a text where a number belongs", [](json& s, auto&) { s["pages"][0]["rotation"] = "ninety"; },
         "pages[0].rotation is not a number"},
        {"a number where a text belongs", [](json& s, auto&) { s["fields"][0]["value"] = 5; }, "is not a text"},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.name);
        json state = original;
        c.spoil(state, dir.string());
        try {
            foliumpdf::ExportState(state, Out());
            ADD_FAILURE() << "exported";
        } catch (const ExportError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
            EXPECT_TRUE(e.badInput);
        }
        EXPECT_FALSE(fs::exists(Out()));
    }
}

// A picture that cannot be read is drawn as a frame, with a warning.
TEST_F(Export, StampPicturesOfEachFormatBecomeImagesOnThePage) {
    struct Picture {
        const char *name, *base64;
        int width, height;
        bool keptAsJpeg, masked;
    } pictures[] = {
        {"PNG with transparency", kStampPng, 24, 16, false, true},
        {"JPEG", kStampJpeg, 4, 2, true, false},
        {"GIF with a transparent colour", kStampGif, 4, 2, false, true},
        {"BMP", kStampBmp, 4, 2, false, false},
        {"not an image", "bm90IGFuIGltYWdl", 0, 0, false, false},
    };
    for (auto& picture : pictures) {
        SCOPED_TRACE(picture.name);
        json state = original, stamp = Stamp();
        stamp["image"] = picture.base64;
        state["pages"][0]["annotations"].push_back(stamp);
        ASSERT_EQ(foliumpdf::ExportState(state, Out()).warnings, picture.width ? 0 : 1);
        EXPECT_EQ(std::system(("qpdf --check " + Out() + " >/dev/null 2>&1").c_str()), 0);
        QPDF written;
        written.processFile(Out().c_str());
        QPDFObjectHandle image;
        for (auto& a : QPDFObjectHandle(written.getAllPages()[0]).getKey("/Annots").getArrayAsVector())
            if (a.getKey("/Subtype").isNameAndEquals("/Stamp"))
                image = a.getKey("/AP").getKey("/N").getDict().getKey("/Resources").getKey("/XObject").getKey("/Im0");
        ASSERT_EQ(image.isStream(), picture.width != 0);
        if (!picture.width) continue;
        auto dict = image.getDict();
        EXPECT_EQ(dict.getKey("/Width").getIntValue(), picture.width);
        EXPECT_EQ(dict.getKey("/Height").getIntValue(), picture.height);
        EXPECT_EQ(dict.getKey("/Filter").isNameAndEquals("/DCTDecode"), picture.keptAsJpeg);
        EXPECT_EQ(dict.getKey("/SMask").isStream(), picture.masked);
        // Drawn the right way round: red in the right half of the stamp.
        auto page = foliumpdf::RenderPage(Out(), 1, 72);
        size_t at = (static_cast<size_t>(page.height - 340) * page.width + 390) * 3;
        EXPECT_GT(page.rgb[at], 200);
        EXPECT_LT(page.rgb[at + 1], 60);
        EXPECT_LT(page.rgb[at + 2], 60);
    }
}

TEST_F(Export, RenderReadsPageListsAndWritesOnePicturePerPageAsked) {
    EXPECT_EQ(foliumpdf::ParsePageList("1,3-5", 5), (std::vector<int>{1, 3, 4, 5}));
    EXPECT_EQ(foliumpdf::ParsePageList("2", 2), (std::vector<int>{2}));
    for (const char* bad : {"", "0", "3-", "2-1", "1,,2", "a", "1-2x", "6"})
        EXPECT_THROW(foliumpdf::ParsePageList(bad, 5), foliumpdf::RenderError) << bad;
    auto files = foliumpdf::RenderPages(kSample, (dir / "pics").string(), {1, 3}, 20);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(fs::exists(dir / "pics" / "page-3.png"));
    EXPECT_THROW(foliumpdf::RenderPages((dir / "none.pdf").string(), dir.string(), {}, 20), foliumpdf::RenderError);
}

}  // namespace
