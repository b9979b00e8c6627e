// Seals and signatures against the signature-engine and OFD stand-ins: every member
// that calls an engine is one row below (what it puts and calls, in order, with the
// VARIANT types, and how it reads the answer); the rules with logic of their own
// (mode tables, seal images, the seal count's sources, output flags, the conversion
// gates, the pending print style) have their own cases.
#include <functional>

#include "FamilyTestSupport.h"
#include "LoopbackHttpServer.h"

using namespace testsupport;

namespace {

const wchar_t kEngine[] = L"Veridane.Folium2015";
const wchar_t kOfd[] = L"Quirex.OFDSignature";
const wchar_t kAnnots[] = L"Quirex.Annots";
const std::wstring kToEngine = L" | Veridane.Folium2015!";  // an engine call in a row of Steps
const char kPng1x1[] = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==";

const std::string kThreePages = R"({"type":"PDF","pages":[{"width":595,"height":842},{"width":595,"height":842},
    {"width":595,"height":842}]})";
const std::string kOfdDocument = R"({"type":"OFD","pages":[{"width":595,"height":842},{"width":595,"height":842}]})";

class SealsBase : public ConnectedComponent {
protected:
    ComPtr<IQxStandIn> engine, ofd, annots;

    void SetUp() override {
        ConnectedComponent::SetUp();
        if (HasFatalFailure()) return;
        CaptureImports();
        AddStandIns();
    }
    void TearDown() override {
        if (sim)
            for (const wchar_t* id : {kEngine, kOfd, kAnnots}) sim->RemoveAddIn(UniqueBstr(id).get());
        ConnectedComponent::TearDown();
    }
    void AddStandIns() {
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(kEngine).get(), engine.put()), S_OK);
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(kOfd).get(), ofd.put()), S_OK);
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(kAnnots).get(), annots.put()), S_OK);
    }
    static Lines Calls(IQxStandIn* s) { return quirexsim::Calls(s); }
    static void Answer(IQxStandIn* s, const wchar_t* member, VARIANT v) {
        s->SetResult(UniqueBstr(member).get(), v);
        VariantClear(&v);
    }
};

// ---- every engine member as a row ---------------------------------------------------------

enum On { kOnHost, kOnPdf, kOnOfd };  // what a member runs on: the host alone, a PDF or an OFD document

struct Row {
    const char* name;
    On on;
    LONG answer, expected;  // the engine's answer to the last call below and the member's result from it
    LONG initial;           // result without a host or document (7: not written)
    LONG fallback;          // result when the engine is missing or its call fails
    std::function<std::wstring(IFoliumFun*)> call;  // Early's "S_OK 5"
    Lines calls;  // what reaches the signature engine (the OFD add-in on an OFD document), in order
};

std::ostream& operator<<(std::ostream& o, const Row& r) { return o << r.name; }

// A row's call: CALL(Member, arguments...).
#define CALL(...) [](IFoliumFun* f) { return Early(f, &IFoliumFun::__VA_ARGS__); }

const std::wstring kLocalImage = TempFolder();  // a local image is refused only when nothing is there

std::vector<Row> EngineRows() {
    const std::wstring pin = L"|VT_BSTR=\"pw\"", pinPut = L"SignaturePIN:P:1" + pin;
    const std::wstring p = L"SignaturePos:P:1|VT_BSTR=\"p\"";
    return {
        {"CreateSignature", kOnPdf, 5, 5, 1, 1, CALL(CreateSignature, 3, L"pw", 2, 1, L"100*200", L"x"),
         {L"SignaturePages:P:1|VT_BSTR=\"2\"", L"SignatureImage:P:1|VT_I4=3", pinPut, L"SignaturePosMode:P:1|VT_I4=0",
          L"SignaturePos:P:1|VT_BSTR=\"100*200\"", L"CreateSignature:M:1|VT_I2=0"}},
        {"CreateSignaturePages", kOnPdf, 5, 5, 1, 1, CALL(CreateSignaturePages, 4, L"pw", L"1,3", 2, L"p", L"x"),
         {L"SignaturePages:P:1|VT_BSTR=\"1,3\"", pinPut, L"SignaturePosMode:P:1|VT_I4=1", p,
          L"SignatureImage:P:1|VT_I4=4", L"CreateSignature:M:1|VT_I2=0"}},
        {"CreateSignatureByName", kOnPdf, 5, 5, 1, 1, CALL(CreateSignatureByName, L"财务章", 2, 5, L"pw", 4, L"p", L"x"),
         {L"SignaturePages:P:1|VT_BSTR=\"2-5\"", pinPut, L"SignaturePosMode:P:1|VT_I4=2", p,
          L"SignatureImage:P:1|VT_BSTR=\"财务章\"", L"CreateSignature:M:1|VT_I2=0"}},
        {"CreateSignatureByImage", kOnPdf, 5, 5, 1, 1,
         CALL(CreateSignatureByImage, kLocalImage, L"pw", VARIANT_TRUE, 1, 2, 1, L"p"),
         {L"SignaturePages:P:1|VT_BSTR=\"1-2\"", pinPut, L"SignaturePosMode:P:1|VT_I4=0", p,
          L"SignatureImage:P:1|VT_BSTR=" + Quoted(kLocalImage), L"IsProtectDoc:P:1|VT_I2=-1",
          L"CreateSignature:M:1|VT_I2=0"}},
        {"CreateRaycodeSignature", kOnPdf, 5, 5, 1, 1, CALL(CreateRaycodeSignature, L"pw", 3, 2, L"p", L"x"),
         {L"SignaturePages:P:1|VT_BSTR=\"3\"", pinPut, L"SignaturePosMode:P:1|VT_I4=1", p,
          L"CreateRaycodeSignature:M:0"}},
        {"CreateBarcodeSignature", kOnPdf, 5, 5, 1, 1,
         CALL(CreateBarcodeSignature, L"code", 1, L"pw", 1, 3, 1, L"p", L"x"),
         {L"SignaturePages:P:1|VT_BSTR=\"1-3\"", pinPut, L"SignaturePosMode:P:1|VT_I4=0", p,
          L"ShowBarCodeDlg:P:1|VT_I4=1", L"CreateBarcodeSignature:M:2|VT_I4=1|VT_BSTR=\"code\""}},
        {"CreateQRCodeSignature", kOnPdf, 5, 5, 1, 1, CALL(CreateQRCodeSignature, L"qr", 0, L"pw", 2, 2, 2, L"p", L"x"),
         {L"SignaturePages:P:1|VT_BSTR=\"2-2\"", pinPut, L"SignaturePosMode:P:1|VT_I4=1", p,
          L"ShowBarCodeDlg:P:1|VT_I4=0", L"CreateBarcodeSignature:M:2|VT_I4=2|VT_BSTR=\"qr\""}},
        {"SeriesSignature", kOnPdf, 1, 0, 1, 1, CALL(SeriesSignature, 1, 3, 5, L"pw", 2, L"p", L"area"),
         {L"SeriesSignature:M:7|VT_I4=1|VT_I4=3|VT_I4=5" + pin + L"|VT_I4=2|VT_BSTR=\"p\"|VT_BSTR=\"area\""}},
        {"FastSeriesSignature", kOnPdf, 0, 1, 1, 1, CALL(FastSeriesSignature, 2, 3, 6, L"pw", 7, L"p", L"area", 99),
         {L"SeriesSignature:M:7|VT_I4=2|VT_I4=3|VT_I4=6" + pin + L"|VT_I4=7|VT_BSTR=\"p\"|VT_BSTR=\"area\""}},
        {"FastSignature", kOnPdf, 5, 5, 1, 1, CALL(FastSignature, 2, L"pw", L"area"),
         {L"FastSignature:M:3|VT_I4=2" + pin + L"|VT_BSTR=\"area\""}},
        {"FastSignatureByImage", kOnPdf, 5, 5, 1, 1, CALL(FastSignatureByImage, L"C:\\seal.png", L"pw", VARIANT_TRUE),
         {L"IsProtectDoc:P:1|VT_I2=-1", L"FastSignatureByImage:M:3|VT_BSTR=\"C:\\\\seal.png\"" + pin + L"|VT_I2=-1"}},
        {"FastSignatureByImageEx", kOnPdf, 5, 5, 1, 1,
         CALL(FastSignatureByImageEx, L"img", L"pw", 1.5f, 2.25f, L"name", VARIANT_TRUE, L"ext", VARIANT_FALSE),
         {L"FastSignatureByImageEx:M:8|VT_BSTR=\"img\"" + pin +
          L"|VT_R4=1.5|VT_R4=2.25|VT_BSTR=\"name\"|VT_I2=-1|VT_BSTR=\"ext\"|VT_I2=0"}},
        {"AddFieldSignature", kOnPdf, 5, 5, 0, 0, CALL(AddFieldSignature, L"ex"),
         {L"AddFieldSignature:M:1|VT_BSTR=\"ex\""}},
        {"AddSignatureByDlg", kOnPdf, 5, 5, 0, 1, CALL(AddSignatureByDlg, 3), {L"AddSignatureByDlg:M:1|VT_I4=3"}},
        {"VDAddBarcodeAnnot", kOnHost, 5, 5, 1, 1, CALL(VDAddBarcodeAnnot, L"not sent"),
         {L"VDAddBarcodeAnnot:M:1|VT_BSTR=\"\""}},
        // queries, dialogs and engine commands
        {"ShowSignDlg", kOnPdf, 0, 1, 0, 0, CALL(ShowSignDlg, 5), {L"ShowSignDlg:M:1|VT_I4=5"}},
        {"ShowSignDlgRefused", kOnPdf, 3, 0, 0, 0, CALL(ShowSignDlg, 1), {L"ShowSignDlg:M:1|VT_I4=1"}},
        {"ShowCheckDlg", kOnPdf, 5, 5, 0, 0, CALL(ShowCheckDlg), {L"ShowSignDlg:M:1|VT_I4=4"}},
        {"DeleteSignature", kOnPdf, 5, 5, 0, 0, CALL(DeleteSignature, L"pw"), {L"DeleteSignature:M:1" + pin}},
        {"SetSignatureParam", kOnHost, 5, 5, 7, 7, CALL(SetSignatureParam, L"n", L"v", L"h"),
         {L"SetSignatureParam:M:3|VT_BSTR=\"n\"|VT_BSTR=\"v\"|VT_BSTR=\"h\""}},
        {"LoadLocalSignData", kOnPdf, 5, 5, 1, 1, CALL(LoadLocalSignData, L"data"),
         {L"LoadLocalSignData:M:1|VT_BSTR=\"data\""}},
        {"GotoSignature", kOnHost, 5, 5, 1, 1, CALL(GotoSignature, 2, 1), {L"GotoSignature:M:2|VT_I4=2|VT_I4=1"}},
        {"ShedCryptoDocument", kOnHost, 5, 5, 1, 1, CALL(ShedCryptoDocument, 1), {L"ShedCryptoDocument:M:1|VT_I4=1"}},
        {"VDLoginPhone", kOnHost, 5, 5, 1, 1, CALL(VDLoginPhone, L"not sent"), {L"VDLoginPhone:M:1|VT_BSTR=\"\""}},
        {"VDLogoutPhone", kOnHost, 5, 5, 1, 1, CALL(VDLogoutPhone, L"not sent"), {L"VDLogoutPhone:M:1|VT_BSTR=\"\""}},
        {"PreDigitalSignature", kOnHost, 5, 5, 0, 0, CALL(PreDigitalSignature, 5),
         {L"SetFieldByName:M:2|VT_BSTR=\"VD_PreSeal\"|VT_BSTR=\"True\""}},
        {"PreDigitalSignatureOff", kOnHost, 5, 5, 0, 0, CALL(PreDigitalSignature, 0),
         {L"SetFieldByName:M:2|VT_BSTR=\"VD_PreSeal\"|VT_BSTR=\"False\""}},
        // OFD documents
        {"CreateSignatureOFD", kOnOfd, 5, 5, 0, 0, CALL(CreateSignatureOFD, 3, L"pw", 2, 2, L"p", L"x"),
         {L"SignaturePages:P:1|VT_BSTR=\"2\"", L"SignatureImage:P:1|VT_I4=3", pinPut,
          L"SignaturePosMode:P:1|VT_I4=1", p, L"CreateSignature:M:0"}},
        {"CreateCrossPageSignatureOFD", kOnOfd, 5, 5, 0, 0,
         CALL(CreateCrossPageSignatureOFD, 1, L"pw", 1, L"p", 2, 3, 40, 5, L"1:2"),
         {L"SignatureImage:P:1|VT_I4=1", pinPut, L"SignaturePosMode:P:1|VT_I4=0", p,
          L"CrossPageSignPageMode:P:1|VT_I4=2", L"CrossPageSignType:P:1|VT_I4=3",
          L"CrossPageSignFirstPage:P:1|VT_I4=40", L"CrossPageSignLoopPageSize:P:1|VT_I4=5",
          L"CrossPageSignPageRatioDesc:P:1|VT_BSTR=\"1:2\"",
          L"CreateCrossPageSignature:M:0"}},
        {"DeleteSignatureOFD", kOnOfd, 5, 5, 0, 0, CALL(DeleteSignatureOFD, L"pw"), {L"DeleteLastSignature:M:1" + pin}},
        {"SignatureCountOFD", kOnOfd, 5, 5, -1, -1, CALL(SignatureCountOFD), {L"SignatureCount:M:0"}},
        {"InvalidSignatureCountOFD", kOnOfd, 5, 5, -1, -1, CALL(InvalidSignatureCountOFD),
         {L"InvalidSignatureCount:M:0"}},
    };
}
#undef CALL

class EngineMember : public SealsBase, public ::testing::WithParamInterface<Row> {
protected:
    IQxStandIn* Target() { return GetParam().on == kOnOfd ? ofd.get() : engine.get(); }
};

TEST_P(EngineMember, PutsAndCallsInOrderThenReadsTheAnswer) {
    const Row& row = GetParam();
    const std::wstring method = row.calls.back().substr(0, row.calls.back().find(L':'));
    auto result = [](const wchar_t* hr, LONG value) { return hr + std::to_wstring(value); };
    if (row.on != kOnHost) ASSERT_TRUE(Open(row.on == kOnOfd ? kOfdDocument : kThreePages));
    Answer(Target(), method.c_str(), VLong(row.answer));
    EXPECT_EQ(row.call(fun.get()), result(L"S_OK ", row.expected));
    EXPECT_EQ(Calls(Target()), row.calls);

    // A failing engine call leaves the result as it was before the call.
    Target()->ClearCalls();
    Target()->SetHResult(UniqueBstr(method.c_str()).get(), E_FAIL);
    EXPECT_EQ(row.call(fun.get()), result(L"S_OK ", row.fallback)) << "engine call failing";
    EXPECT_EQ(Calls(Target()), row.calls);

    // Without the engine: success with the initial result, nothing sent.
    sim->RemoveAddIn(UniqueBstr(row.on == kOnOfd ? kOfd : kEngine).get());
    EXPECT_EQ(row.call(fun.get()), result(L"S_OK ", row.fallback)) << "engine missing";

    if (row.on != kOnHost) {
        sim->Reset();
        AddStandIns();
        EXPECT_EQ(row.call(fun.get()), result(L"S_FALSE ", row.initial)) << "no document";
        EXPECT_TRUE(Calls(Target()).empty());
    }
    ComPtr<IFoliumFun> alone = Unconnected();
    ASSERT_TRUE(alone);
    EXPECT_EQ(row.call(alone.get()), result(L"S_FALSE ", row.initial)) << "no host";
}

INSTANTIATE_TEST_SUITE_P(Seals, EngineMember, ::testing::ValuesIn(EngineRows()),
                         [](const ::testing::TestParamInfo<Row>& i) { return std::string(i.param.name); });

// ---- position modes -----------------------------------------------------------------------

class Seals : public SealsBase {};

TEST_F(Seals, PositionModesAndSeriesPagesFollowTheRules) {
    ASSERT_TRUE(Open(kThreePages));
    Answer(engine.get(), L"CreateSignature", VLong(5));
    Answer(engine.get(), L"SeriesSignature", VLong(1));
    // A call's result, then the mode code it handed over ("|VT_I4=2") and " loop" for the
    // text position loop; the series seal's code is its fifth argument.
    auto seen = [&](const std::wstring& result) {
        std::wstring out = result;
        for (const std::wstring& c : Calls(engine.get())) {
            if (c == L"AddTextPosLoop:M:1|VT_BOOL=0") out += L" loop";
            if (c.rfind(L"SignaturePosMode:", 0) == 0) out += c.substr(c.find(L'|'));
            const size_t at = c.rfind(L"SeriesSignature:", 0) == 0 ? c.find(L"\"pw\"") + 4 : c.npos;
            if (at != c.npos) out += c.substr(at, c.find(L'|', at + 1) - at);
        }
        engine->ClearCalls();
        return out;
    };
    const struct {
        LONG mode;
        const wchar_t *single, *series;
    } cases[] = {{0, L"S_OK 5|VT_I4=2 loop", L"S_OK 0 loop|VT_I4=3"}, {1, L"S_OK 5|VT_I4=0", L"S_OK 0|VT_I4=1"},
                 {2, L"S_OK 5|VT_I4=1", L"S_OK 0|VT_I4=2"},           {3, L"S_FALSE 1", L"S_FALSE 1"},
                 {4, L"S_OK 5|VT_I4=2", L"S_OK 0|VT_I4=3"},           {5, L"S_FALSE 1", L"S_FALSE 1"},
                 {-1, L"S_FALSE 1", L"S_FALSE 1"},                    {0x7FFFFFFF, L"S_FALSE 1", L"S_FALSE 1"}};
    for (const auto& c : cases) {
        EXPECT_EQ(seen(Early(fun.get(), &IFoliumFun::CreateSignature, 0, L"pw", 1, c.mode, L"p", nullptr)), c.single)
            << c.mode;
        EXPECT_EQ(seen(Early(fun.get(), &IFoliumFun::SeriesSignature, 1, 3, 0, L"pw", c.mode, L"p", nullptr)), c.series)
            << c.mode;
    }
    // A series seal's pages lie within the document.
    const struct {
        LONG first, last;
        const wchar_t* seen;
    } ranges[] = {{3, 2, L"S_FALSE 1"},     {0, 1, L"S_FALSE 1"},     {1, 4, L"S_FALSE 1"},
                  {4, 4, L"S_FALSE 1"},     {-1, 2, L"S_FALSE 1"},    {1, 3, L"S_OK 0|VT_I4=1"},
                  {2, 2, L"S_OK 0|VT_I4=1"}, {0x7FFFFFFF, 0x7FFFFFFF, L"S_FALSE 1"}};
    for (const auto& c : ranges)
        EXPECT_EQ(seen(Early(fun.get(), &IFoliumFun::FastSeriesSignature, c.first, c.last, 0, L"pw", 1, L"p", L"", 0)),
                  c.seen)
            << c.first << "-" << c.last;
    // OFD seals take modes 1 and 2 only; the seal dialog refuses an OFD document.
    ASSERT_TRUE(Open(kOfdDocument));
    const BSTR none = nullptr;
    for (LONG mode : {0, 3, 4, -1})
        EXPECT_EQ(Early(fun.get(), &IFoliumFun::CreateSignatureOFD, 0, none, 1, mode, none, none), L"S_FALSE 0");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::AddSignatureByDlg, 1), L"S_FALSE 0");
    EXPECT_TRUE(Calls(ofd.get()).empty() && Calls(engine.get()).empty());
}

// ---- seal images --------------------------------------------------------------------------

// The image members run with a temporary folder of their own (TMP and TEMP of this
// process), so that what they leave behind is seen apart from other tests running.
class SealImages : public SealsBase {
protected:
    PrivateTemp privateTemp;  // made before SetUp connects the component
    void TearDown() override {
        SealsBase::TearDown();
        EXPECT_EQ(privateTemp.Files(), Lines{}) << "no temporary file is left behind";
    }
    std::wstring SentImage() {
        ScopedVariant v;
        engine->PropertyValue(UniqueBstr(L"SignatureImage").get(), v.Receive());
        return v->vt == VT_BSTR ? v->bstrVal : L"?";
    }
    std::wstring ByImage(const std::wstring& image) {
        return Early(fun.get(), &IFoliumFun::CreateSignatureByImage, image, L"pw", VARIANT_FALSE, 1, 1, 1, L"300*400");
    }
    // The image bytes the engine read into the last seal it placed.
    std::string PlacedImage() {
        auto seals = AnnotationsOnPages();
        std::wstring out = TempFolder() + L"folium-seal-export.bin";
        UniqueBstr size;
        if (!seals.empty()) seals.back()->ExportImage(UniqueBstr(out.c_str()).get(), size.put());
        std::string bytes = ReadAll(out);
        DeleteFileW(out.c_str());
        return bytes;
    }
};

const std::wstring kPngText(kPng1x1, kPng1x1 + sizeof(kPng1x1) - 1);

// Base64 data and URLs reach the engine as temporary files that go after the call; a failed
// download or undecodable text is handed on as given; a missing local file is reported and
// reaches neither the engine nor the folder.
TEST_F(SealImages, GivenAsTextTheyReachTheEngineAsFilesThatGo) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    const std::string png = "\x89PNG\r\n\x1a\n-served-bytes";
    server.Answer("/seal.png", 200, png);
    ASSERT_TRUE(Open(kThreePages));
    EXPECT_EQ(ByImage(kPngText), L"S_OK 0") << "the engine placed the seal";
    std::wstring sent = SentImage();  // gone after the call: the fixture sees the folder empty at the end
    EXPECT_EQ(sent.rfind(TempFolder(), 0), 0u) << sent;
    EXPECT_EQ(PlacedImage().substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << "saved in the format it was read in";

    EXPECT_EQ(ByImage(server.Url("/seal.png")), L"S_OK 0");
    sent = SentImage();
    EXPECT_EQ(PlacedImage(), png);
    EXPECT_EQ(JournalWith(L"NetFile."),
              (Lines{L"NetFile.Reset()", L"NetFile.Open(0, " + Quoted(server.Url("/seal.png")) + L", 0, missing, missing)",
                     L"NetFile.Transfer()", L"NetFile.Status", L"NetFile.SaveToFile(0, " + Quoted(sent) + L")",
                     L"NetFile.Close()"}));

    for (std::wstring given : {server.Url("/missing.png"), std::wstring(L"http://127.0.0.1:1/refused.png"),
                               std::wstring(L"bm90IGFuIGltYWdl"), std::wstring(L"%%%not base64%%%"), std::wstring()}) {
        EXPECT_EQ(ByImage(given).substr(0, 5), L"S_OK ") << given;
        EXPECT_EQ(SentImage(), given);
    }
    EXPECT_TRUE(CapturedOf().empty());
    engine->ClearCalls();
    EXPECT_EQ(ByImage(L"C:\\no\\such\\seal.png"), L"S_FALSE 1");
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"文件不存在！\", \"Folium2018\", 16)"});
    EXPECT_TRUE(Calls(engine.get()).empty());
}

// ---- the seal count, pre-seals, output flags ----------------------------------------------

std::string Annotation(const std::string& type) {
    return R"({"kind":12,"type":")" + type + R"(","rect":[10,10,60,60]})";
}
const std::string kSealed = R"({"type":"PDF","pages":[
    {"annotations":[)" + Annotation("Brimwell:AddSeal") + "," + Annotation("brimwell:addseal") + "," +
                            Annotation("Brimwell:AddSeal ") + R"(]},
    {"annotations":[)" + Annotation("Stamp") + "," + Annotation("Brimwell:AddSeal") + R"(]}],
    "fields":[{"name":"Open","kind":6,"signed":false,"widget":{"page":0,"values":{"VD_PreSeal":""}}},
              {"name":"Text","kind":1,"value":"x"}]})";

// Per document: the seal count, the engine calls it made, and the pre-seal. The count is
// the host's signed fields when there are any (the engine is not asked), else the engine's
// count, else (no engine) the seal annotations typed exactly "Brimwell:AddSeal". A pre-seal
// is an unsigned signature field with a "VD_PreSeal" value; fields are read by index.
TEST_F(Seals, SignatureCountAndPreSealPerDocument) {
    Answer(engine.get(), L"SignatureCount", VLong(9));
    const std::wstring byEngine = L"S_OK 9 SignatureCount:M:0 ";
    const struct {
        std::wstring seen;
        const char* fields;
    } cases[] = {
        {byEngine + L"S_OK 1",
         R"({"name":"A","kind":6,"signed":false,"widget":{"page":0,"values":{"VD_PreSeal":"1"}}})"},
        {L"S_OK 2 S_OK 0", R"({"name":"A","kind":6,"signed":true,"widget":{"page":0,"values":{"VD_PreSeal":"1"}}},
            {"name":"S","kind":6,"signed":true,"widget":{"page":0}},
            {"name":"B","kind":6,"signed":false,"widget":{"page":0,"values":{"VD_PreSeal":""}}},
            {"name":"C","kind":6,"signed":false,"widget":{"page":0,"values":{"vd_preseal":"1"}}})"},
        {byEngine + L"S_OK 1", R"({"name":"T","kind":1,"widget":{"page":0}},
            {"name":"B","kind":6,"signed":false,"widget":{"page":0,"values":{"VD_PreSeal":"yes"}}})"},
        {byEngine + L"S_OK 0", ""},
    };
    auto count = [&] { return Early(fun.get(), &IFoliumFun::SignatureCount); };
    for (const auto& c : cases) {
        ASSERT_TRUE(Open(std::string(R"({"type":"PDF","pages":[{}],"fields":[)") + c.fields + "]}"));
        engine->ClearCalls();
        std::wstring seen = count() + L" ";
        for (const std::wstring& call : Calls(engine.get())) seen += call + L" ";
        EXPECT_EQ(seen + Early(fun.get(), &IFoliumFun::HasPreSignature), c.seen) << c.fields;
        for (auto& l : JournalWith(L"Fields.Item(")) EXPECT_EQ(l.find(L"Fields.Item(\""), std::wstring::npos);
    }
    sim->RemoveAddIn(UniqueBstr(kEngine).get());
    ASSERT_TRUE(Open(kSealed));
    EXPECT_EQ(count(), L"S_OK 2");
    sim->Reset();
    EXPECT_EQ(count() + L" " + Early(fun.get(), &IFoliumFun::HasPreSignature), L"S_FALSE 0 S_FALSE 0");
}

// Each put as the seal annotations (by their exact type), the refreshes and the engine
// calls it caused, in order.
TEST_F(Seals, OutputFlagsShowOrHideSealsAndResetTheirOutput) {
    ASSERT_TRUE(Open(kSealed));
    const std::wstring mode = kToEngine + L"SignatureMode:G:0", hide = L" | Annotation.Visible=0",
                       show = L" | Annotation.Visible=-1", reset = L" | Annotation.ResetOutput(0)",
                       pages = L" | Pages.Refresh()", view = L" | PageView.Refresh()",
                       engineReset = kToEngine + L"SetFieldByName:M:2|VT_BSTR=\"SignatureOutputFlags\"|VT_I4=0";
    Steps({L"SignatureOutputFlags=0",
           L"SignatureOutputFlags=1" + mode + hide + reset + hide + reset + pages + engineReset + view,
           L"SignatureOutputFlags=2" + mode + show + reset + show + reset + pages + engineReset + view,
           L"SignatureOutputFlags=3" + mode + hide + hide + pages + view,
           L"SignatureOutputFlags=7" + mode + show + show + pages + view,
           L"SignatureOutputFlags=-1" + mode + show + show + pages + view},
          {L"Annotation.Visible", L"ResetOutput", L".Refresh", L"Folium2015!"});
    // With a signature mode other than 0 the signed signature fields' widgets are shown;
    // the seal annotations are not walked.
    ASSERT_TRUE(Open(R"({"type":"PDF","pages":[{"annotations":[)" + Annotation("Brimwell:AddSeal") + R"(]}],
        "fields":[{"name":"S","kind":6,"signed":true,"widget":{"page":0}},
                  {"name":"U","kind":6,"signed":false,"widget":{"page":0}}]})"));
    Answer(engine.get(), L"SignatureMode", VLong(1));
    Steps({L"SignatureOutputFlags=1" + mode + hide + reset + pages + engineReset + view},
          {L"Annotation.", L".Refresh", L"Folium2015!"});
}

// ---- converting signatures to images -------------------------------------------------------

// Each case as the result and the journal's last line: the gate that did not hold, or the
// conversion itself.
TEST_F(Seals, ConvertSignToImageStopsAtTheFirstGateThatFails) {
    const std::wstring out = TempFolder() + L"folium-converted.pdf";
    auto signedDoc = [](const char* type, const char* properties = "") {
        return std::string(R"({"type":")") + type + "\"," + properties +
               R"("pages":[{}],"fields":[{"name":"S","kind":6,"signed":true,"widget":{"page":0}}]})";
    };
    const struct {
        std::string doc;  // "" for no document
        const wchar_t* path;
        LONG saveAllowed;
        std::wstring outcome;
    } cases[] = {
        {signedDoc("PDF"), L"", 1, L"S_FALSE 1 after nothing"},
        {"", out.c_str(), 1, L"S_FALSE 1 after Documents.ActiveDocument"},
        {signedDoc("OFD"), out.c_str(), 1, L"S_FALSE 1 after Document.DocumentType"},
        {R"({"type":"PDF","pages":[{}]})", out.c_str(), 1, L"S_FALSE 1 after Veridane.Folium2015!SignatureCount:M:0"},
        {signedDoc("PDF"), out.c_str(), 0, L"S_FALSE 1 after Application.SaveAllowed"},
        {signedDoc("PDF", R"("permissions":{"1":false},)"), out.c_str(), 1, L"S_FALSE 1 after Document.Permission(1)"},
        {signedDoc("PDF", R"("security":1,)"), out.c_str(), 1, L"S_FALSE 1 after Security.Kind"},
        {signedDoc("PDF"), out.c_str(), 1, L"S_OK 0 after Document.ConvertSignToImage(" + Quoted(out) + L")"},
    };
    for (const auto& c : cases) {
        sim->Reset();
        AddStandIns();
        app->put_SaveAllowed(c.saveAllowed);
        if (!c.doc.empty()) ASSERT_TRUE(Open(c.doc));
        sim->ClearJournal();
        const std::wstring result = Early(fun.get(), &IFoliumFun::ConvertSignToImage, c.path);
        const Lines journal = JournalLines();
        EXPECT_EQ(result + L" after " + (journal.empty() ? L"nothing" : journal.back()), c.outcome);
    }
    DeleteFileW(out.c_str());  // the reader's converted file
}

// ---- the pending print style ----------------------------------------------------------------

// The print watermark style waits for the next seal that reaches the engine and goes with
// it once, even when the seal call fails.
TEST_F(Seals, PendingPrintStyleGoesWithTheNextSealThatReachesTheEngineOnly) {
    ASSERT_TRUE(Open(kThreePages));
    sim->RemoveAddIn(UniqueBstr(kEngine).get());
    const std::wstring seal = L"CreateSignature(0, \"pw\", 1, 0, \"p\", \"\") -> VT_I4=1";
    const Lines shown = {L"AddTextPosLoop", L"PrintExtParam", L"CreateSignature:"};
    Steps({L"CreatePrintWMStyle(\"机密\", 0.5) -> VT_I4=1", seal}, shown);
    AddStandIns();
    engine->SetHResult(UniqueBstr(L"CreateSignature").get(), E_FAIL);
    const std::wstring loop = kToEngine + L"AddTextPosLoop:M:1|VT_BOOL=0",
                       style = kToEngine + L"SetFieldByName:M:2|VT_BSTR=\"PrintExtParam\"|VT_BSTR=\"机密;0.500000;\"",
                       call = kToEngine + L"CreateSignature:M:1|VT_I2=0";
    Steps({seal + loop + style + call, seal + loop + call}, shown);
}

// ---- properties, field access and smaller rules ---------------------------------------------

TEST_F(Seals, PropertyPutsReachTheEngineWithTheirTypes) {
    VARIANT pages = VStr(L"1-3");
#define PUT(member, value) [&] { return Call(&IFoliumFun::put_##member, value); }
    const struct {
        std::function<std::wstring()> put;
        std::wstring line;
        bool status;  // a failing engine call or a missing host is the put's status
    } cases[] = {
        {PUT(AllowSignName, L"张三"), L"AllowSignName:P:1|VT_BSTR=\"张三\"", true},
        {PUT(AllowSignID, L"id"), L"AllowSignID:P:1|VT_BSTR=\"id\"", false},
        {PUT(AllowUserCode, nullptr), L"AllowUserCode:P:1|VT_BSTR=\"\"", true},
        {PUT(AllowSignTag, 3), L"AllowSignTag:P:1|VT_I4=3", true},
        {PUT(AutoSign, 1), L"AutoSign:P:1|VT_I4=1", true},
        {PUT(CustomStraddle, 2), L"CustomStraddle:P:1|VT_I4=2", false},
        {PUT(SignaturePages, pages), L"SignaturePages:P:1|VT_BSTR=\"1-3\"", true},
        {PUT(SignaturePos, VLong(12)), L"SignaturePos:P:1|VT_I4=12", true},
        {PUT(SignaturePosMode, 3), L"SignaturePosMode:P:1|VT_I4=3", true},
    };
#undef PUT
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        engine->ClearCalls();
        EXPECT_EQ(c.put(), L"S_OK");
        EXPECT_EQ(Calls(engine.get()), Lines{c.line});
        engine->SetHResult(UniqueBstr(c.line.substr(0, c.line.find(L':')).c_str()).get(), E_FAIL);
        EXPECT_EQ(c.put(), c.status ? L"0x80004005" : L"S_OK");
    }
    sim->RemoveAddIn(UniqueBstr(kEngine).get());
    for (const auto& c : cases) EXPECT_EQ(c.put(), L"S_OK") << "without the engine: " << c.line;
    fun = Unconnected();
    for (const auto& c : cases) EXPECT_EQ(c.put(), c.status ? L"S_FALSE" : L"S_OK") << "without a host: " << c.line;
    VariantClear(&pages);
}

TEST_F(Seals, SignatureModePutStoresTheSettingThenSetsTheEngine) {
    const std::wstring dir = Env(L"APPDATA") + L"\\Sigilon_ConfigFile", file = dir + L"\\FoliumConfig.dll";
    CreateDirectoryW(dir.c_str(), nullptr);
    ASSERT_TRUE(WriteAll(file, "<Brimwell><Folium><SignatureMode>0</SignatureMode></Folium></Brimwell>"));
    Steps({L"SignatureMode=2" + kToEngine + L"SignatureMode:P:1|VT_I4=2",
           L"SignatureMode -> VT_I4=2" + kToEngine + L"SignatureMode:G:0"}, {L"Folium2015!"});
    EXPECT_NE(ReadAll(file).find("<SignatureMode>2</SignatureMode>"), std::string::npos) << ReadAll(file);
    // Without the engine nothing is stored.
    sim->RemoveAddIn(UniqueBstr(kEngine).get());
    EXPECT_EQ(fun->put_SignatureMode(5), S_OK);
    EXPECT_EQ(ReadAll(file).find("<SignatureMode>5</SignatureMode>"), std::string::npos);
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_SignatureMode), L"S_OK 7") << "not written without the engine";
    DeleteFileW(file.c_str());
    RemoveDirectoryW(dir.c_str());
}

// Members with a rule of their own around one engine call in one session: what each
// answers, then what reached the engine and the annotation add-in; once with the engine,
// once without it.
TEST_F(Seals, SmallerMembersInOneSession) {
    ASSERT_TRUE(Open(kThreePages));
    Answer(engine.get(), L"GetFieldByName", VStr(L"value"));
    Answer(engine.get(), L"SignatureNames", VStr(L"a;b"));
    Answer(engine.get(), L"SignatureItem", VStr(L"b"));
    Answer(engine.get(), L"SaveSignDataToLocal", VStr(L"DATA"));
    Answer(engine.get(), L"GetDocumentID", VLong(42));
    Answer(engine.get(), L"AddFieldSignature", VLong(5));
    IFoliumFun* f = fun.get();
    auto session = [&] {
        return Lines{Early(f, &IFoliumFun::SetFieldByName, L"", L"v"),
                     Early(f, &IFoliumFun::SetFieldByName, L"n", nullptr),
                     Early(f, &IFoliumFun::SetFieldByName, L"n", L"v"), Early(f, &IFoliumFun::GetFieldByName, L""),
                     Early(f, &IFoliumFun::GetFieldByName, L"n"), Early(f, &IFoliumFun::ClearFieldByName),
                     Early(f, &IFoliumFun::SignatureNames), Early(f, &IFoliumFun::SignatureItem, 1),
                     Early(f, &IFoliumFun::SaveSignDataToLocal), Early(f, &IFoliumFun::GetDocumentID),
                     Script(L"AllowUserCode"), Script(L"CustomStraddle"), Script(L"HaveSignature"),
                     Early(f, &IFoliumFun::AddFieldSignature, L"x"),
                     Early(f, &IFoliumFun::SignatureCountOFD) + L" on a PDF document"};
    };
    EXPECT_EQ(session(), (Lines{L"S_OK 0", L"S_OK 0", L"S_OK 7", L"S_FALSE ", L"S_OK value", L"S_OK 7",
                                L"S_OK a;b", L"S_OK b", L"S_OK DATA", L"S_OK 42", L"VT_BSTR=\"\"", L"VT_I4=0",
                                L"VT_I4=0", L"S_OK 5", L"S_FALSE -1 on a PDF document"}));
    EXPECT_EQ(Calls(engine.get()),
              (Lines{L"SetFieldByName:M:2|VT_BSTR=\"\"|VT_BSTR=\"v\"", L"SetFieldByName:M:2|VT_BSTR=\"n\"|VT_BSTR=\"\"",
                     L"SetFieldByName:M:2|VT_BSTR=\"n\"|VT_BSTR=\"v\"", L"GetFieldByName:M:1|VT_BSTR=\"n\"",
                     L"ClearFieldByName:M:0", L"SignatureNames:M:0", L"SignatureItem:M:1|VT_I4=1",
                     L"SaveSignDataToLocal:M:0", L"GetDocumentID:M:0", L"HaveSignature:G:0",
                     L"AddFieldSignature:M:1|VT_BSTR=\"x\""}));
    sim->RemoveAddIn(UniqueBstr(kEngine).get());
    EXPECT_EQ(session(), (Lines{L"S_OK 0", L"S_OK 0", L"S_OK 7", L"S_FALSE ", L"S_OK ", L"S_OK 7", L"S_OK ",
                                L"S_OK ", L"S_OK ", L"S_OK ", L"VT_BSTR=\"\"", L"VT_I4=0", L"VT_I4=1", L"S_OK 0",
                                L"S_FALSE -1 on a PDF document"}));
    EXPECT_EQ(Calls(annots.get()), Lines(2, L"ClearSelectAnnot:M:0")) << "also without the engine";
    EXPECT_TRUE(Calls(ofd.get()).empty());
}

}  // namespace
