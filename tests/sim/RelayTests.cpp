// The simulator's network side against a loopback server run by the test
// itself: the message server stand-in's DBSTEP exchange, NetFile transfers and
// opening documents by URL.
#include "SimTestSupport.h"
#include "dbstep/DbstepPacket.h"
#include "tests/win/families/LoopbackHttpServer.h"

using namespace simtest;

namespace {

using Server = testsupport::LoopbackHttpServer;

// A DBSTEP reply packet as the HTTP body.
std::string Encoded(const dbstep::Packet& p) {
    std::string bytes;
    EXPECT_EQ(dbstep::encode(p, dbstep::Limits{}, bytes), dbstep::Error::Ok);
    return bytes;
}

// The one request the server received.
Server::Request Only(Server& server) {
    auto requests = server.Requests();
    EXPECT_EQ(1u, requests.size());
    return requests.empty() ? Server::Request{} : requests[0];
}

std::string Ansi(const wchar_t* w) {
    char buf[1024];
    int n = WideCharToMultiByte(CP_ACP, 0, w, -1, buf, sizeof(buf), nullptr, nullptr);
    return std::string(buf, n > 0 ? n - 1 : 0);
}

class RelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = CreateSimulator();
        ASSERT_TRUE(sim);
        sim->Reset();
        ComPtr<IQxStandIn> standIn;
        ASSERT_EQ(S_OK, sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), standIn.put()));
        standIn->get_Object(relay.put());
        dir = TempDir();
    }
    void Expect(std::initializer_list<std::pair<std::wstring, std::wstring>> walks) {
        ExpectWalks(sim.get(), relay.get(), walks);
    }
    static std::wstring Url(const Server& s, const char* path) { return L"\"" + s.Url(path) + L"\""; }
    ComPtr<IQxSimulator> sim;
    ComPtr<IDispatch> relay;
    std::wstring dir;
};

const std::wstring kTrue = L"VT_BOOL=-1", kFalse = L"VT_BOOL=0";

TEST_F(RelayTest, PostsTheFieldsAndBodyAsOnePacketAndKeepsTheReply) {
    Server server;
    dbstep::Packet reply;
    reply.set("DBSTEP", "DBSTEP");
    reply.set("OPTION", "LOADFILE");
    reply.set("RESULT", "ok");
    reply.set("STATUS", Ansi(L"文档已打开"));
    reply.setBody("%PDF-1.7 body");
    server.Answer("/dbstep", 200, Encoded(reply));
    const std::wstring upload = dir + L"\\up.bin", saved = dir + L"\\down.pdf";
    WriteUtf8(upload, "upload bytes");
    Expect({{L"WebUrl=" + Url(server, "/dbstep"), L""},
            {L"INetSetCookieEx(\"sid=42;\")", L""},
            {L"SetMsgByName(\"DBSTEP\", \"DBSTEP\")", L""},
            {L"SetMsgByName(\"OPTION\", \"LOADFILE\")", L""},
            {L"SetMsgByName(\"USERNAME\", \"张三\")", L""},
            {L"MsgFileLoad(\"" + upload + L"\")", kTrue},
            {L"PostDBPacket(I2:0)", kTrue}});
    const auto request = Only(server);
    EXPECT_EQ(0u, request.headers.find("POST /dbstep HTTP/1.1"));
    EXPECT_NE(std::string::npos, request.headers.find("Content-Type: application/x-dbstep"));
    EXPECT_NE(std::string::npos, request.headers.find("Cookie: sid=42;"));
    dbstep::Packet sent;
    ASSERT_TRUE(dbstep::decode(request.body, dbstep::Limits{}, sent).ok());
    ASSERT_EQ(3u, sent.fields.size());
    EXPECT_EQ("OPTION", sent.fields[1].name);
    EXPECT_EQ(Ansi(L"张三"), sent.get("USERNAME")) << "fields travel in the ANSI code page";
    EXPECT_TRUE(sent.hasBody);
    EXPECT_EQ("upload bytes", sent.body);

    Expect({{L"GetMsgByName(\"RESULT\")", L"VT_BSTR=\"ok\""},
            {L"GetMsgByName(\"MISSING\")", L"VT_BSTR=\"\""},
            {L"Status", L"VT_BSTR=\"文档已打开\""},
            {L"MsgFileSave(\"" + saved + L"\")", kTrue}});
    EXPECT_EQ("%PDF-1.7 body", ReadBytes(saved));
}

TEST_F(RelayTest, ErrorReplyFailsThePostButKeepsItsFields) {
    Server server;
    dbstep::Packet reply;
    reply.set("DBSTEP", "DBSTEP");
    reply.set("RESULT", "ERROR: no document for this RECORDID");
    reply.set("STATUS", "no document for this RECORDID");
    server.Answer("/", 200, Encoded(reply));
    Expect({{L"WebUrl=" + Url(server, "/"), L""},
            {L"SetMsgByName(\"OPTION\", \"LOADFILE\")", L""},
            {L"PostDBPacket(I2:0)", kFalse},
            {L"GetMsgByName(\"RESULT\")", L"VT_BSTR=\"ERROR: no document for this RECORDID\""},
            {L"MsgFileSave(\"" + dir + L"\\x\")", kFalse},  // an error reply has no body
            {L"ClearMessage", L""},
            {L"GetMsgByName(\"RESULT\")", L"VT_BSTR=\"\""}});
}

TEST_F(RelayTest, NoServerMeansNoSuccessUnlessAResultIsConfigured) {
    std::wstring url;
    {
        Server unused;  // bound and closed again: nothing listens there afterwards
        url = Url(unused, "/");
    }
    Expect({{L"WebUrl=" + url, L""}, {L"SetMsgByName(\"OPTION\", \"LOADFILE\")", L""}, {L"PostDBPacket(I2:0)", kFalse}});
    ComPtr<IQxStandIn> control;
    sim->StandIn(UniqueBstr(L"Veridane.Relay").get(), control.put());
    control->SetResult(UniqueBstr(L"PostDBPacket").get(), *ScopedVariant::Bool(true).get());
    Expect({{L"PostDBPacket(I2:0)", kTrue}});  // the configured answer wins
    ScopedVariant temp;
    ASSERT_EQ(S_OK, Walk(relay.get(), L"CreateTempFileName", temp));
    ASSERT_EQ(VT_BSTR, temp.type());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(temp->bstrVal)) << "a fresh temporary file";
    DeleteFileW(temp->bstrVal);
}

// ---- NetFile and Documents.OpenURL ------------------------------------------------------

class NetTest : public RelayTest {
protected:
    void SetUp() override {
        RelayTest::SetUp();
        ASSERT_EQ(S_OK, sim->get_Application(app.put()));
        ASSERT_EQ(S_OK, app->CreateNetFile(netFile.put()));
    }
    void ExpectNet(std::initializer_list<std::pair<std::wstring, std::wstring>> walks) {
        ExpectWalks(sim.get(), netFile.get(), walks);
    }
    ComPtr<IQxApplication> app;
    ComPtr<IQxNetFile> netFile;
};

TEST_F(NetTest, NetFileDownloadsTheReplyBody) {
    Server server;
    server.Answer("/seal.png", 200, "image bytes");
    const std::wstring path = dir + L"\\seal.png";
    ExpectNet({{L"Reset", L""},
               {L"Open(0, " + Url(server, "/seal.png") + L", 0, missing, missing)", kTrue},
               {L"Transfer", kTrue},
               {L"Status", L"VT_I4=200"},
               {L"SaveToFile(0, \"" + path + L"\")", kTrue},
               {L"Close", kTrue}});
    EXPECT_EQ(0u, Only(server).headers.find("GET /seal.png HTTP/1.1"));
    EXPECT_EQ("image bytes", ReadBytes(path));
}

TEST_F(NetTest, NetFilePostsAMultipartForm) {
    Server server;  // answers 404
    const std::wstring file = dir + L"\\doc.pdf";
    WriteUtf8(file, "FILE-CONTENT");
    ExpectNet({{L"Reset", L""},
               {L"AddFormField(\"FormData\", \"a=1\")", L""},
               {L"AddFormFile(\"FileData\", \"" + file + L"\")", L""},
               {L"SetPost(-1)", L""},
               {L"Open(0, " + Url(server, "/upload") + L", 0, missing, missing)", kTrue},
               {L"Transfer", kTrue},  // a reply came back, whatever its status
               {L"Status", L"VT_I4=404"},
               {L"Close", kFalse}});
    const auto request = Only(server);
    EXPECT_EQ(0u, request.headers.find("POST /upload HTTP/1.1"));
    EXPECT_NE(std::string::npos, request.headers.find("Content-Type: multipart/form-data; boundary="));
    for (const char* part : {"name=\"FormData\"\r\n\r\na=1\r\n", "name=\"FileData\"; filename=\"doc.pdf\"", "FILE-CONTENT"})
        EXPECT_NE(std::string::npos, request.body.find(part)) << part;
}

TEST_F(NetTest, OpenUrlDownloadsAndOpensTheDocumentOrReportsWhyNot) {
    Server server;
    server.Answer("/files/remote.ofd?x=1", 200, "{\"type\":\"OFD\",\"pages\":[{\"text\":\"remote\"}]}");
    server.Answer("/real.pdf", 200, "%PDF-1.7");
    ExpectWalks(sim.get(), app.get(),
                {{L"Documents.OpenURL(" + Url(server, "/files/remote.ofd?x=1") + L", missing)", L"VT_I4=0"},
                 {L"Documents.ActiveDocument.DocumentType", L"VT_I4=1"},
                 {L"Documents.ActiveDocument.FileInfo.Name", L"VT_BSTR=\"remote.ofd\""},
                 {L"Documents.Close(missing)", L""},
                 {L"Documents.OpenURL(" + Url(server, "/none.pdf") + L", missing)", L"VT_I4=-1"},  // 404
                 {L"Documents.OpenURL(" + Url(server, "/real.pdf") + L", missing)", L"VT_I4=-2"},  // not a document
                 {L"Documents.Count", L"VT_I4=0"}});
}

}  // namespace
