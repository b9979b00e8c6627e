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

const std::wstring kFalse = L"VT_BOOL=0";

// What the component's tests cannot see through the reference server (they check bodies sent
// and received): the request's type and cookie, fields in the ANSI code page both ways, an
// error reply failing the post but kept, the status, and ClearMessage emptying the request too.
TEST_F(RelayTest, PostsItsTypeAndCookieAndAnErrorReplyFailsThePostButIsKept) {
    Server server;
    dbstep::Packet reply;
    reply.set("DBSTEP", "DBSTEP");
    reply.set("RESULT", "ERROR: no document for this RECORDID");
    reply.set("STATUS", Ansi(L"文档不存在"));
    server.Answer("/", 200, Encoded(reply));
    Expect({{L"WebUrl=" + Url(server, "/"), L""},
            {L"INetSetCookieEx(\"sid=42;\")", L""},
            {L"SetMsgByName(\"USERNAME\", \"张三\")", L""},
            {L"PostDBPacket(I2:0)", kFalse},
            {L"GetMsgByName(\"STATUS\")", L"VT_BSTR=\"文档不存在\""},
            {L"Status", L"VT_BSTR=\"文档不存在\""},
            {L"ClearMessage", L""},
            {L"GetMsgByName(\"RESULT\")", L"VT_BSTR=\"\""},
            {L"SetMsgByName(\"RECORDID\", \"7\")", L""},
            {L"PostDBPacket(I2:0)", kFalse}});
    const auto requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_NE(std::string::npos, requests[0].headers.find("Content-Type: application/x-dbstep"));
    EXPECT_NE(std::string::npos, requests[0].headers.find("Cookie: sid=42;"));
    dbstep::Packet first, second;
    ASSERT_TRUE(dbstep::decode(requests[0].body, dbstep::Limits{}, first).ok());
    EXPECT_EQ(Ansi(L"张三"), first.get("USERNAME"));
    ASSERT_TRUE(dbstep::decode(requests[1].body, dbstep::Limits{}, second).ok());
    EXPECT_EQ(1u, second.fields.size()) << "only the field set after ClearMessage";
}

TEST_F(RelayTest, NoServerMeansNoSuccess) {
    std::wstring url;
    {
        Server unused;  // bound and closed again: nothing listens there afterwards
        url = Url(unused, "/");
    }
    Expect({{L"WebUrl=" + url, L""}, {L"SetMsgByName(\"OPTION\", \"LOADFILE\")", L""}, {L"PostDBPacket(I2:0)", kFalse}});
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
