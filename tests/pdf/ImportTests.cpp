// The import tool against the generated sample and against files it must refuse.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Import.h"
#include "PdfTests.h"

using nlohmann::json;
using pdftest::Env;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

json Import(const std::string& path, const std::string& password = "") {
    std::ostringstream out;
    foliumpdf::ImportOptions options;
    options.password = password;
    foliumpdf::ImportPdfFile(path, options, out);
    return json::parse(out.str());
}

// Pages, outline, fields, annotations and attachments (their sources, which the export follows,
// are checked by the export tests), and without text (the export's baseline) everything else the
// same. Where each word was drawn is read back through the simulator's finder (tests/sim).
TEST(SampleImport, PagesOutlineFieldsAnnotationsAttachmentsWithAndWithoutText) {
    const json s = Import(Env("FOLIUM_SAMPLE_PDF"));
    foliumpdf::ImportOptions options;
    options.text = false;
    const json bare = foliumpdf::ImportPdfFile(Env("FOLIUM_SAMPLE_PDF"), options);
    // Widgets are listed with their fields only, and a widget's /T names its field (no author).
    EXPECT_EQ(json::parse(u8R"({"format":"quirex-sim-document","security":0,"type":"PDF","version":1,
      "attachments":[{"description":"Delivery terms","name":"terms.txt","data":")"
                          "VGVybXMgb2YgZGVsaXZlcnk6IGdvb2RzIGFyZSBkZWxpdmVyZWQgd2l0aGluIDMwIGRheXMuCuS6pOi0p+adoeas"
                          "vu+8muS4ieWNgeWkqeWGheS6pOi0p+OAggo=" u8R"("}],
      "bookmarks":[{"children":[{"page":1,"title":"Terms"}],"page":1,"title":"Contract"},
                   {"page":2,"title":"Signatures"},{"page":3,"title":"Appendix"}],
      "fields":[
        {"fullName":"Seller","kind":1,"name":"Seller","value":"Bo Li",
         "widget":{"flags":4,"kind":20,"page":0,"rect":[150.0,615.0,350.0,635.0],"type":"Widget"}},
        {"fullName":"Agree","kind":2,"name":"Agree","value":"Yes",
         "widget":{"flags":4,"kind":20,"page":0,"rect":[72.0,555.0,90.0,573.0],"type":"Widget"}},
        {"fullName":"Signature1","kind":6,"name":"Signature1","signed":false,
         "widget":{"flags":4,"kind":20,"page":1,"rect":[320.0,500.0,480.0,560.0],"type":"Widget"}},
        {"fullName":"contract.Buyer","kind":1,"name":"Buyer","value":"Alice Zhang",
         "widget":{"flags":4,"kind":20,"page":0,"rect":[150.0,645.0,350.0,665.0],"type":"Widget"}}],
      "pages":[{"height":841.89,"rotation":0,"width":595.276,
                "annotations":[{"author":"Reviewer","contents":"Check the amount.","flags":4,"kind":0,
                                "type":"Text","rect":[400.0,700.0,420.0,720.0],"uniqueName":"note-1",
                                "values":{"AnnotInfo":"sample-note"}}]},
               {"annotations":[],"height":792.0,"rotation":0,"width":612.0},
               {"annotations":[],"height":595.276,"rotation":90,"width":841.89}]})"),
              pdftest::Visible(bare));

    // Without text (the export's baseline) everything else is the same.
    json full = s;
    for (auto& p : full["pages"]) p.erase("text");
    EXPECT_EQ(full, bare);
}

// Its kind and page count are read through the simulator (tests/sim).
TEST(EncryptedImport, ThePasswordOpensItAndItsEncryptionAndPermissionsAreReported) {
    json s = Import(Env("FOLIUM_ENCRYPTED_PDF"), "user");
    EXPECT_EQ(json::parse(R"({"R":6,"V":5,"method":"AESv3"})"), s["encryption"]);
    EXPECT_EQ(json::parse(R"({"0":true,"1":true,"2":true,"3":true,"4":true,"5":true})"), s["permissions"]);
}

// The tool itself: exit code, one line of reason, no output file.
struct Refusal {
    const char* name;
    std::string input;  // file to import (or state to export)
    std::vector<std::string> extra;
    int code;
    std::string reason;
    const char* command = "import";
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class ToolRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(ToolRefuses, WithAClearReasonAndNoOutput) {
    const Refusal& r = GetParam();
    fs::path dir = fs::temp_directory_path() / ("folium-pdf-test-" + std::string(r.name));
    fs::create_directories(dir);
    fs::path out = dir / "out.json", err = dir / "err.txt";
    std::string command = "'" + Env("FOLIUM_PDF_TOOL") + "' " + r.command + " '" + r.input + "' '" + out.string() + "'";
    for (auto& e : r.extra) command += " '" + e + "'";
    int status = std::system((command + " 2>'" + err.string() + "'").c_str());
    EXPECT_EQ(r.code, WEXITSTATUS(status)) << command;
    EXPECT_EQ("folium-pdf: " + r.reason + "\n", ReadFile(err.string()));
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out.string() + ".part"));
    fs::remove_all(dir);
}

std::string Bad(const std::string& name, const std::string& bytes) {
    fs::path p = fs::temp_directory_path() / ("folium-pdf-bad-" + name);
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
}

std::vector<Refusal> Refusals() {
    std::string sample = ReadFile(Env("FOLIUM_SAMPLE_PDF"));
    std::string encrypted = Env("FOLIUM_ENCRYPTED_PDF");
    return {
        {"text", Bad("text.pdf", "just some text\n"), {}, 2, "not a PDF file"},
        {"empty", Bad("empty.pdf", ""), {}, 2, "not a PDF file"},
        {"garbage", Bad("garbage.pdf", "%PDF-1.7\n1 0 obj << /Type /Catalog"), {}, 2, "damaged PDF file"},
        {"truncated", Bad("truncated.pdf", sample.substr(0, sample.size() / 2)), {}, 2, "damaged PDF file"},
        {"headless", Bad("headless.pdf", sample.substr(sample.size() / 2)), {}, 2, "not a PDF file"},
        {"encrypted", encrypted, {}, 2, "encrypted: password needed"},
        {"wrongpassword", encrypted, {"--password", "nope"}, 2, "encrypted: wrong password"},
        {"missing", "/nonexistent/file.pdf", {}, 2, "cannot read /nonexistent/file.pdf"},
        {"toomany", Env("FOLIUM_LONG_PDF"), {"--max-pages", "1000"}, 2, "too many pages: 2000 (at most 1000)"},
        {"badoption", Env("FOLIUM_SAMPLE_PDF"), {"--colour", "red"}, 1, "unknown or incomplete option --colour"},
        {"notjson", Bad("state.json", "{ not json"), {}, 2, "bad state: the file is not JSON", "export"},
    };
}

INSTANTIATE_TEST_SUITE_P(BadInput, ToolRefuses, ::testing::ValuesIn(Refusals()),
                         [](const auto& info) { return std::string(info.param.name); });

// 2,000 pages are imported whole (CTest's timeout bounds the time).
TEST(LongImport, TwoThousandPagesComeOutWhole) {
    std::ostringstream out;
    foliumpdf::ImportPdfFile(Env("FOLIUM_LONG_PDF"), {}, out);
    std::string text = out.str();
    size_t pages = 0;
    for (size_t at = text.find("\"rotation\":"); at != std::string::npos; at = text.find("\"rotation\":", at + 1)) ++pages;
    EXPECT_EQ(2000u, pages);
    EXPECT_NE(std::string::npos, text.find("\"source\":1999,\"text\":[{\"size\":11.0,\"text\":\"Page\""));
    EXPECT_NE(std::string::npos, text.find("\"text\":\"2000\""));
    EXPECT_EQ("}\n", text.substr(text.size() - 2));
}

// Words -> runs: glued words join, the rest keep their place and separator.
TEST(AssembleRuns, GluedWordsJoinAndSeparatorsFollowSpacing) {
    using foliumpdf::Word;
    std::vector<Word> words = {
        {"Hel", 10, 100, 10, 10, false, true},  {"lo", 20, 100, 8, 10, true, false},
        {"you", 40, 100, 15, 10, false, false}, {"next", 10, 80, 20, 10, true, true},
        {"", 50, 80, 5, 10, true, false},        {"bad", 60, 80, 5, 0, true, false},
    };
    json runs = foliumpdf::AssembleRuns(words);
    EXPECT_EQ(json::parse(R"([{"x":10,"y":100,"size":10,"text":"Hello","width":18},
                              {"x":40,"y":100,"size":10,"text":"you","width":15,"sep":" "},
                              {"x":10,"y":80,"size":10,"text":"next","width":20}])"),
              runs);
}

}  // namespace
