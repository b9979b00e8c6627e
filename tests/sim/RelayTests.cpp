// The simulator's network side against a loopback server run by the test
// itself: the message server stand-in's DBSTEP exchange, NetFile transfers and
// opening documents by URL.
#include <winsock2.h>

#include <thread>

#include "SimTestSupport.h"
#include "dbstep/DbstepPacket.h"

using namespace simtest;

namespace {

// Answers one HTTP request with a DBSTEP reply and keeps what it received.
class OneShotServer {
public:
    std::string requestHead, requestBody;
    int replyStatus = 200;
    dbstep::Packet reply;
    bool raw = false;  // send rawBody instead of the reply packet
    std::string rawBody, rawType = "application/octet-stream";

    OneShotServer() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        int len = sizeof(addr);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
        listen(listener_, 1);
    }
    ~OneShotServer() {
        if (thread_.joinable()) thread_.join();
        closesocket(listener_);
        WSACleanup();
    }
    void Start() { thread_ = std::thread([this] { Serve(); }); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    int port = 0;

private:
    void Serve() {
        SOCKET c = accept(listener_, nullptr, nullptr);
        if (c == INVALID_SOCKET) return;
        std::string data;
        char buf[8192];
        size_t headEnd = std::string::npos;
        size_t want = 0;
        for (;;) {
            int n = recv(c, buf, sizeof(buf), 0);
            if (n <= 0) break;
            data.append(buf, n);
            if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
                requestHead = data.substr(0, headEnd);
                size_t at = requestHead.find("Content-Length: ");
                want = at == std::string::npos ? 0 : std::stoul(requestHead.substr(at + 16));
            }
            if (headEnd != std::string::npos && data.size() >= headEnd + 4 + want) break;
        }
        if (headEnd != std::string::npos) requestBody = data.substr(headEnd + 4);
        std::string wire = rawBody;
        if (!raw) dbstep::encode(reply, dbstep::Limits{}, wire);
        std::string response = "HTTP/1.1 " + std::to_string(replyStatus) + " Reply\r\nContent-Type: " +
                               (raw ? rawType : std::string("application/x-dbstep")) +
                               "\r\nConnection: close\r\nContent-Length: " +
                               std::to_string(wire.size()) + "\r\n\r\n" + wire;
        send(c, response.data(), static_cast<int>(response.size()), 0);
        shutdown(c, SD_SEND);
        while (recv(c, buf, sizeof(buf), 0) > 0) {
        }
        closesocket(c);
    }
    SOCKET listener_;
    std::thread thread_;
};

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
    static std::wstring Url(const OneShotServer& s, const wchar_t* path) {
        return L"\"http://127.0.0.1:" + std::to_wstring(s.port) + path + L"\"";
    }
    ComPtr<IQxSimulator> sim;
    ComPtr<IDispatch> relay;
    std::wstring dir;
};

const std::wstring kTrue = L"VT_BOOL=-1", kFalse = L"VT_BOOL=0";

TEST_F(RelayTest, PostsTheFieldsAndBodyAsOnePacketAndKeepsTheReply) {
    OneShotServer server;
    server.reply.set("DBSTEP", "DBSTEP");
    server.reply.set("OPTION", "LOADFILE");
    server.reply.set("RESULT", "ok");
    server.reply.set("STATUS", Ansi(L"文档已打开"));
    server.reply.setBody("%PDF-1.7 body");
    server.Start();
    const std::wstring upload = dir + L"\\up.bin", saved = dir + L"\\down.pdf";
    WriteUtf8(upload, "upload bytes");
    Expect({{L"WebUrl=" + Url(server, L"/dbstep"), L""},
            {L"INetSetCookieEx(\"sid=42;\")", L""},
            {L"SetMsgByName(\"DBSTEP\", \"DBSTEP\")", L""},
            {L"SetMsgByName(\"OPTION\", \"LOADFILE\")", L""},
            {L"SetMsgByName(\"USERNAME\", \"张三\")", L""},
            {L"MsgFileLoad(\"" + upload + L"\")", kTrue},
            {L"PostDBPacket(I2:0)", kTrue}});
    server.Join();
    EXPECT_NE(std::string::npos, server.requestHead.find("POST /dbstep HTTP/1.1"));
    EXPECT_NE(std::string::npos, server.requestHead.find("Content-Type: application/x-dbstep"));
    EXPECT_NE(std::string::npos, server.requestHead.find("Cookie: sid=42;"));
    dbstep::Packet sent;
    ASSERT_TRUE(dbstep::decode(server.requestBody, dbstep::Limits{}, sent).ok());
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
    OneShotServer server;
    server.reply.set("DBSTEP", "DBSTEP");
    server.reply.set("RESULT", "ERROR: no document for this RECORDID");
    server.reply.set("STATUS", "no document for this RECORDID");
    server.Start();
    Expect({{L"WebUrl=" + Url(server, L"/"), L""},
            {L"SetMsgByName(\"OPTION\", \"LOADFILE\")", L""},
            {L"PostDBPacket(I2:0)", kFalse}});
    server.Join();
    Expect({{L"GetMsgByName(\"RESULT\")", L"VT_BSTR=\"ERROR: no document for this RECORDID\""},
            {L"MsgFileSave(\"" + dir + L"\\x\")", kFalse},  // an error reply has no body
            {L"ClearMessage", L""},
            {L"GetMsgByName(\"RESULT\")", L"VT_BSTR=\"\""}});
}

TEST_F(RelayTest, NoServerMeansNoSuccessUnlessAResultIsConfigured) {
    std::wstring url;
    {
        OneShotServer unused;  // bound and closed again: nothing listens there afterwards
        url = Url(unused, L"/");
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
    OneShotServer server;
    server.raw = true;
    server.rawBody = "image bytes";
    server.Start();
    const std::wstring path = dir + L"\\seal.png";
    ExpectNet({{L"Reset", L""},
               {L"Open(0, " + Url(server, L"/seal.png") + L", 0, missing, missing)", kTrue},
               {L"Transfer", kTrue}});
    server.Join();
    EXPECT_EQ(0u, server.requestHead.find("GET /seal.png HTTP/1.1"));
    ExpectNet({{L"Status", L"VT_I4=200"}, {L"SaveToFile(0, \"" + path + L"\")", kTrue}, {L"Close", kTrue}});
    EXPECT_EQ("image bytes", ReadBytes(path));
}

TEST_F(NetTest, NetFilePostsAMultipartForm) {
    OneShotServer server;
    server.raw = true;
    server.replyStatus = 404;
    server.Start();
    const std::wstring file = dir + L"\\doc.pdf";
    WriteUtf8(file, "FILE-CONTENT");
    ExpectNet({{L"Reset", L""},
               {L"AddFormField(\"FormData\", \"a=1\")", L""},
               {L"AddFormFile(\"FileData\", \"" + file + L"\")", L""},
               {L"SetPost(-1)", L""},
               {L"Open(0, " + Url(server, L"/upload") + L", 0, missing, missing)", kTrue},
               {L"Transfer", kTrue}});  // a reply came back, whatever its status
    server.Join();
    EXPECT_EQ(0u, server.requestHead.find("POST /upload HTTP/1.1"));
    EXPECT_NE(std::string::npos, server.requestHead.find("Content-Type: multipart/form-data; boundary="));
    for (const char* part : {"name=\"FormData\"\r\n\r\na=1\r\n", "name=\"FileData\"; filename=\"doc.pdf\"", "FILE-CONTENT"})
        EXPECT_NE(std::string::npos, server.requestBody.find(part)) << part;
    ExpectNet({{L"Status", L"VT_I4=404"}, {L"Close", kFalse}});
}

TEST_F(NetTest, OpenUrlDownloadsAndOpensTheDocumentOrReportsWhyNot) {
    {
        OneShotServer server;
        server.raw = true;
        server.rawBody = "{\"type\":\"OFD\",\"pages\":[{\"text\":\"remote\"}]}";
        server.Start();
        ExpectWalks(sim.get(), app.get(),
                    {{L"Documents.OpenURL(" + Url(server, L"/files/remote.ofd?x=1") + L", missing)", L"VT_I4=0"},
                     {L"Documents.ActiveDocument.DocumentType", L"VT_I4=1"},
                     {L"Documents.ActiveDocument.FileInfo.Name", L"VT_BSTR=\"remote.ofd\""},
                     {L"Documents.Close(missing)", L""}});
    }
    {
        OneShotServer missing;
        missing.raw = true;
        missing.replyStatus = 404;
        missing.Start();
        ExpectWalks(sim.get(), app.get(), {{L"Documents.OpenURL(" + Url(missing, L"/none.pdf") + L", missing)", L"VT_I4=-1"}});
    }
    OneShotServer garbage;
    garbage.raw = true;
    garbage.rawBody = "%PDF-1.7";
    garbage.Start();
    ExpectWalks(sim.get(), app.get(), {{L"Documents.OpenURL(" + Url(garbage, L"/real.pdf") + L", missing)", L"VT_I4=-2"},
                                       {L"Documents.Count", L"VT_I4=0"}});
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int r = RUN_ALL_TESTS();
    CoUninitialize();
    return r;
}
