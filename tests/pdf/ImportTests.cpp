// The import tool against the generated sample and against files it must refuse.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Import.h"

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

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

const json& RunOf(const json& page, const std::string& text) {
    for (auto& run : page["text"])
        if (run["text"] == text) return run;
    static const json none;
    ADD_FAILURE() << "no run " << text;
    return none;
}

class SampleImport : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sample = new json(Import(Env("FOLIUM_SAMPLE_PDF"))); }
    static void TearDownTestSuite() { delete sample; }
    static json* sample;
};
json* SampleImport::sample = nullptr;

TEST_F(SampleImport, PagesHaveTheirSizesRotationAndSources) {
    const json& s = *sample;
    EXPECT_EQ("quirex-sim-document", s["format"]);
    EXPECT_TRUE(fs::path(s["source"].get<std::string>()).is_absolute());
    EXPECT_EQ(0, s["security"]);
    EXPECT_EQ(64u, s["sourceDigest"].get<std::string>().size());
    struct { double width, height; int rotation; } pages[] = {{595.276, 841.89, 0}, {612, 792, 0}, {841.89, 595.276, 90}};
    ASSERT_EQ(3u, s["pages"].size());
    for (size_t i = 0; i < 3; ++i) {
        const json& p = s["pages"][i];
        EXPECT_NEAR(pages[i].width, p["width"].get<double>(), 0.001) << i;
        EXPECT_NEAR(pages[i].height, p["height"].get<double>(), 0.001) << i;
        EXPECT_EQ(pages[i].rotation, p["rotation"]) << i;
        EXPECT_EQ(i, p["source"].get<size_t>());
    }
}

// Where make_sample.py draws each word: baseline start, font size, and the width
// the font's metrics give it.
TEST_F(SampleImport, WordsStandWhereTheyWereDrawn) {
    struct Case {
        int page;
        const char* text;
        double x, y, size, width;
        const char* sep;  // nullptr: first word of its line
    } cases[] = {
        {0, "Sample", 72, 760, 18, 64.026, nullptr},
        {0, "Contract", 141.03, 760, 18, 73.998, " "},
        {0, "below.", 262.752, 730, 12, 34.68, " "},
        {0, "合同编号", 72, 700, 14, 56, nullptr},
        {0, "示例文本", 130.9, 700, 14, 56, " "},
        {1, "签名页", 72, 670, 12, 36, nullptr},
        {2, "Appendix", 72, 500, 12, 50.03, nullptr},  // a turned page keeps its own coordinates
    };
    for (auto& c : cases) {
        const json& run = RunOf((*sample)["pages"][c.page], c.text);
        if (run.is_null()) continue;
        EXPECT_NEAR(c.x, run["x"].get<double>(), 1) << c.text;
        EXPECT_NEAR(c.y, run["y"].get<double>(), 1) << c.text;
        EXPECT_NEAR(c.size, run["size"].get<double>(), 0.1) << c.text;
        EXPECT_NEAR(c.width, run["width"].get<double>(), 1) << c.text;
        EXPECT_EQ(c.sep != nullptr, run.contains("sep")) << c.text;
        if (c.sep) EXPECT_EQ(c.sep, run["sep"]) << c.text;
    }
    // Field values are drawn by the widgets' appearances, not page text.
    for (auto& run : (*sample)["pages"][0]["text"]) EXPECT_NE("Alice", run["text"]);
}

TEST_F(SampleImport, OutlineFieldsAnnotationsAndAttachments) {
    const json& s = *sample;
    EXPECT_EQ(json::parse(R"([{"title":"Contract","page":1,"children":[{"title":"Terms","page":1}]},
                              {"title":"Signatures","page":2},{"title":"Appendix","page":3}])"),
              s["bookmarks"]);

    struct Field {
        const char* fullName;
        const char* name;
        int kind;
        const char* value;
        int page;
        double left, bottom, right, top;
    } fields[] = {
        {"Seller", "Seller", 1, "Bo Li", 0, 150, 615, 350, 635},
        {"Agree", "Agree", 2, "Yes", 0, 72, 555, 90, 573},
        {"Signature1", "Signature1", 6, nullptr, 1, 320, 500, 480, 560},
        {"contract.Buyer", "Buyer", 1, "Alice Zhang", 0, 150, 645, 350, 665},
    };
    ASSERT_EQ(std::size(fields), s["fields"].size());
    for (auto& f : fields) {
        const json* found = nullptr;
        for (auto& j : s["fields"])
            if (j["fullName"] == f.fullName) found = &j;
        ASSERT_TRUE(found) << f.fullName;
        const json& j = *found;
        EXPECT_EQ(f.name, j["name"]);
        EXPECT_EQ(f.kind, j["kind"]) << f.fullName;
        if (f.value) EXPECT_EQ(f.value, j["value"]) << f.fullName;
        else EXPECT_FALSE(j.contains("value"));
        EXPECT_EQ(f.page, j["widget"]["page"]) << f.fullName;
        EXPECT_EQ(json({f.left, f.bottom, f.right, f.top}), j["widget"]["rect"]) << f.fullName;
        EXPECT_TRUE(j["widget"]["source"].is_string());
        EXPECT_EQ("Widget", j["widget"]["type"]);
        EXPECT_FALSE(j["widget"].contains("author")) << "a widget's /T names its field";
    }
    EXPECT_EQ(false, s["fields"][2]["signed"]);

    const json& annots = s["pages"][0]["annotations"];
    ASSERT_EQ(1u, annots.size()) << "widgets are listed with their fields only";
    const json& note = annots[0];
    EXPECT_EQ(0, note["kind"]);
    EXPECT_EQ("Text", note["type"]);
    EXPECT_EQ("Reviewer", note["author"]);
    EXPECT_EQ("Check the amount.", note["contents"]);
    EXPECT_EQ("note-1", note["uniqueName"]);
    EXPECT_EQ(json({400, 700, 420, 720}), note["rect"]);
    EXPECT_EQ(json({{"AnnotInfo", "sample-note"}}), note["values"]);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(note["source"].get<std::string>()[0])));

    ASSERT_EQ(1u, s["attachments"].size());
    EXPECT_EQ("terms.txt", s["attachments"][0]["name"]);
    EXPECT_EQ("Delivery terms", s["attachments"][0]["description"]);
}

// Without text (the export's baseline) everything else is the same.
TEST_F(SampleImport, WithoutTextOnlyTheTextIsMissing) {
    foliumpdf::ImportOptions options;
    options.text = false;
    json bare = foliumpdf::ImportPdfFile(Env("FOLIUM_SAMPLE_PDF"), options);
    json full = *sample;
    for (auto& p : full["pages"]) p.erase("text");
    EXPECT_EQ(full, bare);
}

TEST(EncryptedImport, ThePasswordOpensItAndItsSecurityIsReported) {
    json s = Import(Env("FOLIUM_ENCRYPTED_PDF"), "user");
    EXPECT_EQ(1, s["security"]);
    EXPECT_EQ("AESv3", s["encryption"]["method"]);
    EXPECT_EQ(3u, s["pages"].size());
    EXPECT_EQ(true, s["permissions"]["0"]);
}

// The tool itself: exit code, one line of reason, no output file.
struct Refusal {
    const char* name;
    std::string input;  // file to import
    std::vector<std::string> extra;
    int code;
    std::string reason;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class ToolRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(ToolRefuses, WithAClearReasonAndNoOutput) {
    const Refusal& r = GetParam();
    fs::path dir = fs::temp_directory_path() / ("folium-pdf-test-" + std::string(r.name));
    fs::create_directories(dir);
    fs::path out = dir / "out.json", err = dir / "err.txt";
    std::string command = "'" + Env("FOLIUM_PDF_TOOL") + "' import '" + r.input + "' '" + out.string() + "'";
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
