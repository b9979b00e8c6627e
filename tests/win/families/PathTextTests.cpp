// Members that take a file path, folder or URL refuse a text with an embedded NUL:
// the system and the reader would read it only up to the NUL and touch another file
// than the script named. Each member is called late-bound, as a page calls it, with
// a document open that it could otherwise save, change or post.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

// A text holding a NUL: read up to it, it names "victim" in the same folder.
ScopedVariant WithNul(const std::wstring& before, const std::wstring& after = L"other.exe") {
    std::wstring text = before + L"victim" + L'\0' + after;
    return ScopedVariant::Bstr(text.data(), static_cast<UINT>(text.size()));
}

// The process gets a temporary folder of its own for the test, so that files other
// tests make there meanwhile do not count.
class PathTexts : public ConnectedComponent {
protected:
    PrivateTemp privateTemp;  // made before SetUp connects the component
    const std::wstring temp = privateTemp.Path(), work = temp + L"work\\";  // with trailing backslashes

    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
        ASSERT_EQ(TempFolder(), temp);
        ConnectedComponent::SetUp();
    }
};

struct PathCase {
    const wchar_t* member;
    std::vector<VARIANT> args;  // in call order; owned here, cleared after the call
    std::wstring refusal;       // what a script sees; "" where the member leaves its result alone
};

TEST_F(PathTexts, EveryPathTakingMemberAndTheServerAddressRefuseAnEmbeddedNul) {
    // A document the members could save, change, post or add to; with a seal, so that a
    // save without seals would have something to remove.
    const std::wstring source = work + L"source.json";
    ASSERT_TRUE(Open(R"({"type":"PDF","pages":[{"text":"page one","annotations":[
        {"kind":12,"type":"Brimwell:AddSeal","rect":[10,10,60,60]}]},{"text":"page two"}]})"));
    ASSERT_TRUE(WriteAll(source, R"({"type":"PDF","pages":[{"text":"inserted"}]})"));
    const std::wstring url = L"http://127.0.0.1:9/";
    // The signature engine, which the seal members would hand the image to.
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    auto r4 = [](float f) { return ScopedVariant::R4(f).Detach(); };
    auto text = [](const std::wstring& s) { return ScopedVariant::Bstr(s.c_str()).Detach(); };
    auto nul = [](const std::wstring& before, const std::wstring& after = L"other.exe") {
        return WithNul(before, after).Detach();
    };

    std::vector<PathCase> cases;
    cases.push_back({L"WebOpenLocalFile", {nul(work)}, I4(0)});
    cases.push_back({L"WebOpenLocalFileEx", {nul(L""), text(L""), text(work), text(L""), text(L""), text(L"")}, L""});
    cases.push_back({L"WebOpenLocalFileEx",
                     {text(L"source.json"), text(L""), nul(work, L"\\"), text(L""), text(L""), text(L"")}, L""});
    cases.push_back({L"WebOpenUrlFile", {nul(url)}, Bool(false)});
    cases.push_back({L"openFile", {nul(url), VBool(false)}, Bool(false)});
    cases.push_back({L"WebSaveLocalFile", {nul(work)}, I4(0)});
    cases.push_back({L"saveFile", {nul(work)}, Bool(false)});
    cases.push_back({L"SaveLocalFileNoSignature", {nul(work)}, I4(1)});
    cases.push_back({L"WebDownLoadFile", {nul(url), text(work + L"download.pdf")}, Bool(false)});
    cases.push_back({L"WebDownLoadFile", {text(url), nul(work)}, Bool(false)});
    cases.push_back({L"WebUpLoadFile", {nul(url), text(L"form")}, Bool(false)});
    cases.push_back({L"ImportPages", {nul(work), VLong(1), VLong(1), VLong(0)}, I4(0)});
    cases.push_back({L"AddAttachments", {nul(work), text(L"description")}, Bool(false)});
    cases.push_back({L"GetTextPositionAll", {text(L"page"), nul(work)}, Str(L"")});
    cases.push_back({L"CreateSignatureByImage",
                     {nul(url), text(L""), VBool(false), VLong(1), VLong(1), VLong(1), text(L"100*100")}, I4(1)});
    cases.push_back({L"FastSignatureByImage", {nul(work), text(L""), VBool(true)}, I4(1)});
    cases.push_back({L"FastSignatureByImageEx",
                     {nul(work), text(L""), r4(40), r4(40), text(L"name"), VBool(false), text(L""), VBool(false)},
                     I4(1)});
    cases.push_back({L"ConvertSignToImage", {nul(work)}, I4(1)});
    cases.push_back({L"ImageWaterMarkEx",
                     {VLong(1), VLong(1), nul(work), r4(50), VLong(0), VBool(false), VLong(0), VLong(0), text(L"n"),
                      VLong(0), text(L"")},
                     Bool(false)});

    cases.push_back({L"InsertImage", {VLong(1), VLong(1), VLong(1), VLong(10), VLong(10), nul(work)}, I4(1)});
    cases.push_back({L"InsertImageExt",
                     {VLong(1), r4(1), r4(1), r4(10), r4(10), nul(url), VBool(false), r4(1), r4(0)}, I4(1)});
    cases.push_back({L"InsertImageByPosition",
                     {text(L"1*1"), VLong(1), VLong(1), VLong(1), VLong(10), VLong(10), nul(url), VLong(1)}, L""});

    // Calls that would act on the path, the document or the network.
    const Lines acting = {L"Documents.Open", L"OpenURL", L"SaveAs", L"SaveCopyAs", L"CreateNetFile", L"Pages.Insert",
                          L"Attachments.Add", L"Annotation.Delete", L"SaveFinished", L"SetModified",
                          L"ConvertSignToImage"};
    const size_t tempEntries = FilesIn(temp).size();
    for (PathCase& c : cases) {
        sim->ClearJournal();
        engine->ClearCalls();
        ScopedVariant result;
        HRESULT hr = CallByName(disp.get(), c.member, DISPATCH_METHOD, c.args, result.get());
        for (VARIANT& a : c.args) VariantClear(&a);
        EXPECT_TRUE(SUCCEEDED(hr)) << c.member << " 0x" << std::hex << hr;
        if (!c.refusal.empty()) EXPECT_EQ(quirexsim::Describe(sim.get(), *result.get()), c.refusal) << c.member;
        for (const std::wstring& line : JournalLines()) {
            EXPECT_EQ(line.find(L"victim"), std::wstring::npos) << c.member << " handed on the text: " << line.c_str();
            for (const std::wstring& op : acting)
                EXPECT_EQ(line.find(op), std::wstring::npos) << c.member << " went on: " << line.c_str();
        }
        LONG engineCalls = -1;
        engine->get_CallCount(&engineCalls);
        EXPECT_EQ(engineCalls, 0) << c.member << " went on to the signature engine";
        EXPECT_TRUE(FilesIn(work, L"victim").empty()) << c.member << " wrote the shortened path";
        EXPECT_EQ(FilesIn(temp).size(), tempEntries) << c.member << " left a file in the temporary folder";
    }
    EXPECT_EQ(Host(L"Documents.Count"), I4(1)) << "nothing else was opened";

    // A server address with a NUL is refused and the one before stays.
    ComPtr<IQxStandIn> relay;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), relay.put()), S_OK);
    ASSERT_EQ(ScriptPut(L"WebUrl", text(L"http://127.0.0.1:1/dbstep")), S_OK);
    EXPECT_TRUE(FAILED(ScriptPut(L"WebUrl", nul(L"http://127.0.0.1:2/"))));
    Script(L"WebOpenBase64");
    EXPECT_EQ(quirexsim::Calls(relay.get()).at(0), L"WebUrl:P:1|VT_BSTR=\"http://127.0.0.1:1/dbstep\"");
}

}  // namespace
