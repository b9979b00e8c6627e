// The message server stand-in's DBSTEP exchange and Documents.OpenURL against a loopback
// server run by the test itself.
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

class RelayTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ComPtr<IQxStandIn> standIn;
        ASSERT_EQ(S_OK, sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), standIn.put()));
        standIn->get_Object(relay.put());
    }
    void Expect(std::initializer_list<std::pair<std::wstring, std::wstring>> walks) {
        SimFixture::Expect(relay.get(), walks);
    }
    static std::wstring Url(const Server& s, const char* path) { return L"\"" + s.Url(path) + L"\""; }
    ComPtr<IDispatch> relay;
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

// Documents.OpenURL: what the component's tests cannot tell apart (any failure is a failure there).
TEST_F(RelayTest, OpenUrlOpensTheDownloadOrTellsAFailedDownloadFromANonDocument) {
    Server server;
    server.Answer("/files/remote.ofd?x=1", 200, "{\"type\":\"OFD\",\"pages\":[{\"text\":\"remote\"}]}");
    server.Answer("/real.pdf", 200, "%PDF-1.7");
    SimFixture::Expect(app.get(),
                       {{L"Documents.OpenURL(" + Url(server, "/files/remote.ofd?x=1") + L", missing)", L"VT_I4=0"},
                        {L"Documents.ActiveDocument.DocumentType", L"VT_I4=1"},
                        {L"Documents.ActiveDocument.FileInfo.Name", L"VT_BSTR=\"remote.ofd\""},
                        {L"Documents.OpenURL(" + Url(server, "/none.pdf") + L", missing)", L"VT_I4=-1"},  // 404
                        {L"Documents.OpenURL(" + Url(server, "/real.pdf") + L", missing)", L"VT_I4=-2"}});
}

}  // namespace
