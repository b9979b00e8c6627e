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
    bool Post() {
        ScopedVariant r;
        VARIANT zero;
        VariantInit(&zero);
        zero.vt = VT_I2;
        zero.iVal = 0;
        EXPECT_EQ(S_OK, CallByName(relay.get(), L"PostDBPacket", DISPATCH_METHOD, {zero}, r.Receive()));
        return r->vt == VT_BOOL && r->boolVal != 0;
    }
    std::wstring Get(const wchar_t* name) {
        ScopedVariant r;
        CallByName(relay.get(), L"GetMsgByName", DISPATCH_METHOD, {VStr(name)}, r.Receive());
        return r->vt == VT_BSTR ? S(r->bstrVal) : L"<not text>";
    }
    ComPtr<IQxSimulator> sim;
    ComPtr<IDispatch> relay;
    std::wstring dir;
};

TEST_F(RelayTest, PostsTheFieldsAndBodyAsOnePacketAndKeepsTheReply) {
    OneShotServer server;
    server.reply.set("DBSTEP", "DBSTEP");
    server.reply.set("OPTION", "LOADFILE");
    server.reply.set("RESULT", "ok");
    server.reply.set("STATUS", Ansi(L"文档已打开"));
    server.reply.setBody("%PDF-1.7 body");
    server.Start();

    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.port) + L"/dbstep";
    CallByName(relay.get(), L"WebUrl", DISPATCH_PROPERTYPUT, {VStr(url.c_str())}, nullptr);
    CallByName(relay.get(), L"INetSetCookieEx", DISPATCH_METHOD, {VStr(L"sid=42;")}, nullptr);
    CallByName(relay.get(), L"SetMsgByName", DISPATCH_METHOD, {VStr(L"DBSTEP"), VStr(L"DBSTEP")}, nullptr);
    CallByName(relay.get(), L"SetMsgByName", DISPATCH_METHOD, {VStr(L"OPTION"), VStr(L"LOADFILE")}, nullptr);
    CallByName(relay.get(), L"SetMsgByName", DISPATCH_METHOD, {VStr(L"USERNAME"), VStr(L"张三")}, nullptr);
    std::wstring upload = dir + L"\\up.bin";
    WriteUtf8(upload, "upload bytes");
    ScopedVariant loaded;
    CallByName(relay.get(), L"MsgFileLoad", DISPATCH_METHOD, {VStr(upload.c_str())}, loaded.Receive());
    EXPECT_EQ(VARIANT_TRUE, loaded->boolVal);

    EXPECT_TRUE(Post());
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

    EXPECT_EQ(L"ok", Get(L"RESULT"));
    EXPECT_EQ(L"", Get(L"MISSING"));
    ScopedVariant status;
    CallByName(relay.get(), L"Status", DISPATCH_PROPERTYGET, {}, status.Receive());
    EXPECT_STREQ(L"文档已打开", status->bstrVal);
    std::wstring saved = dir + L"\\down.pdf";
    ScopedVariant wrote;
    CallByName(relay.get(), L"MsgFileSave", DISPATCH_METHOD, {VStr(saved.c_str())}, wrote.Receive());
    EXPECT_EQ(VARIANT_TRUE, wrote->boolVal);
    EXPECT_EQ("%PDF-1.7 body", ReadBytes(saved));
}

TEST_F(RelayTest, ErrorReplyFailsThePostButKeepsItsFields) {
    OneShotServer server;
    server.replyStatus = 200;
    server.reply.set("DBSTEP", "DBSTEP");
    server.reply.set("RESULT", "ERROR: no document for this RECORDID");
    server.reply.set("STATUS", "no document for this RECORDID");
    server.Start();
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(server.port) + L"/";
    CallByName(relay.get(), L"WebUrl", DISPATCH_PROPERTYPUT, {VStr(url.c_str())}, nullptr);
    CallByName(relay.get(), L"SetMsgByName", DISPATCH_METHOD, {VStr(L"OPTION"), VStr(L"LOADFILE")}, nullptr);
    EXPECT_FALSE(Post());
    server.Join();
    EXPECT_EQ(L"ERROR: no document for this RECORDID", Get(L"RESULT"));
    ScopedVariant wrote;
    CallByName(relay.get(), L"MsgFileSave", DISPATCH_METHOD, {VStr((dir + L"\\x").c_str())}, wrote.Receive());
    EXPECT_EQ(VARIANT_FALSE, wrote->boolVal) << "an error reply has no body";

    ScopedVariant cleared;
    CallByName(relay.get(), L"ClearMessage", DISPATCH_METHOD, {}, cleared.Receive());
    EXPECT_EQ(L"", Get(L"RESULT"));
}

TEST_F(RelayTest, NoServerMeansNoSuccess) {
    int port = 0;
    {
        OneShotServer unused;  // bound and closed again: nothing listens there afterwards
        port = unused.port;
    }
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port) + L"/";
    CallByName(relay.get(), L"WebUrl", DISPATCH_PROPERTYPUT, {VStr(url.c_str())}, nullptr);
    CallByName(relay.get(), L"SetMsgByName", DISPATCH_METHOD, {VStr(L"OPTION"), VStr(L"LOADFILE")}, nullptr);
    EXPECT_FALSE(Post());
}

TEST_F(RelayTest, ConfiguredResultsOverrideTheTransport) {
    ComPtr<IQxStandIn> control;
    sim->StandIn(UniqueBstr(L"Veridane.Relay").get(), control.put());
    VARIANT yes;
    VariantInit(&yes);
    yes.vt = VT_BOOL;
    yes.boolVal = VARIANT_TRUE;
    control->SetResult(UniqueBstr(L"PostDBPacket").get(), yes);
    EXPECT_TRUE(Post()) << "no WebUrl, yet the configured answer wins";
    ScopedVariant temp;
    CallByName(relay.get(), L"CreateTempFileName", DISPATCH_METHOD, {}, temp.Receive());
    ASSERT_EQ(VT_BSTR, temp->vt);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(temp->bstrVal)) << "a fresh temporary file";
    DeleteFileW(temp->bstrVal);
}

// ---- NetFile and Documents.OpenURL ------------------------------------------------------

class NetTest : public RelayTest {
protected:
    void SetUp() override {
        RelayTest::SetUp();
        ASSERT_EQ(S_OK, sim->get_Application(app.put()));
    }
    std::wstring Url(const OneShotServer& s, const wchar_t* path) {
        return L"http://127.0.0.1:" + std::to_wstring(s.port) + path;
    }
    ComPtr<IQxApplication> app;
};

TEST_F(NetTest, NetFileDownloadsTheReplyBody) {
    OneShotServer server;
    server.raw = true;
    server.rawBody = "image bytes";
    server.Start();
    ComPtr<IQxNetFile> nf;
    ASSERT_EQ(S_OK, app->CreateNetFile(nf.put()));
    nf->Reset();
    VARIANT_BOOL opened = 0, done = 0, saved = 0, closed = 0;
    nf->Open(0, UniqueBstr(Url(server, L"/seal.png").c_str()).get(), 0, VMissing(), VMissing(), &opened);
    EXPECT_EQ(VARIANT_TRUE, opened);
    nf->Transfer(&done);
    server.Join();
    EXPECT_EQ(VARIANT_TRUE, done);
    EXPECT_EQ(0u, server.requestHead.find("GET /seal.png HTTP/1.1"));
    LONG status = 0;
    nf->get_Status(&status);
    EXPECT_EQ(200, status);
    std::wstring path = dir + L"\\seal.png";
    nf->SaveToFile(0, UniqueBstr(path.c_str()).get(), &saved);
    EXPECT_EQ(VARIANT_TRUE, saved);
    EXPECT_EQ("image bytes", ReadBytes(path));
    nf->Close(&closed);
    EXPECT_EQ(VARIANT_TRUE, closed);
}

TEST_F(NetTest, NetFilePostsAMultipartForm) {
    OneShotServer server;
    server.raw = true;
    server.replyStatus = 404;
    server.Start();
    std::wstring file = dir + L"\\doc.pdf";
    WriteUtf8(file, "FILE-CONTENT");
    ComPtr<IQxNetFile> nf;
    app->CreateNetFile(nf.put());
    nf->Reset();
    nf->AddFormField(UniqueBstr(L"FormData").get(), UniqueBstr(L"a=1").get());
    nf->AddFormFile(UniqueBstr(L"FileData").get(), UniqueBstr(file.c_str()).get());
    nf->SetPost(-1);
    VARIANT_BOOL opened = 0, done = 0, closed = -1;
    nf->Open(0, UniqueBstr(Url(server, L"/upload").c_str()).get(), 0, VMissing(), VMissing(), &opened);
    nf->Transfer(&done);
    server.Join();
    EXPECT_EQ(VARIANT_TRUE, done) << "a reply came back, whatever its status";
    EXPECT_EQ(0u, server.requestHead.find("POST /upload HTTP/1.1"));
    EXPECT_NE(std::string::npos, server.requestHead.find("Content-Type: multipart/form-data; boundary="));
    EXPECT_NE(std::string::npos, server.requestBody.find("name=\"FormData\"\r\n\r\na=1\r\n"));
    EXPECT_NE(std::string::npos, server.requestBody.find("name=\"FileData\"; filename=\"doc.pdf\""));
    EXPECT_NE(std::string::npos, server.requestBody.find("FILE-CONTENT"));
    LONG status = 0;
    nf->get_Status(&status);
    EXPECT_EQ(404, status);
    nf->Close(&closed);
    EXPECT_EQ(VARIANT_FALSE, closed);
}

TEST_F(NetTest, OpenUrlDownloadsAndOpensTheDocument) {
    OneShotServer server;
    server.raw = true;
    server.rawBody = "{\"type\":\"OFD\",\"pages\":[{\"text\":\"remote\"}]}";
    server.Start();
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    LONG result = -9;
    ASSERT_EQ(S_OK, docs->OpenURL(UniqueBstr(Url(server, L"/files/remote.ofd?x=1").c_str()).get(), VMissing(), &result));
    server.Join();
    EXPECT_EQ(0, result);
    ComPtr<IQxDocument> doc;
    docs->get_ActiveDocument(doc.put());
    ASSERT_TRUE(doc);
    LONG type = 0;
    doc->get_DocumentType(&type);
    EXPECT_EQ(1, type);
    ComPtr<IQxDocumentFile> file;
    doc->get_FileInfo(file.put());
    UniqueBstr name;
    file->get_Name(name.put());
    EXPECT_STREQ(L"remote.ofd", name.c_str());
}

TEST_F(NetTest, OpenUrlReportsTransferAndFormatFailures) {
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    {
        OneShotServer missing;
        missing.raw = true;
        missing.replyStatus = 404;
        missing.Start();
        LONG result = 0;
        docs->OpenURL(UniqueBstr(Url(missing, L"/none.pdf").c_str()).get(), VMissing(), &result);
        EXPECT_EQ(-1, result);
    }
    OneShotServer garbage;
    garbage.raw = true;
    garbage.rawBody = "%PDF-1.7";
    garbage.Start();
    LONG result = 0;
    docs->OpenURL(UniqueBstr(Url(garbage, L"/real.pdf").c_str()).get(), VMissing(), &result);
    EXPECT_EQ(-2, result);
    LONG count = -1;
    docs->get_Count(&count);
    EXPECT_EQ(0, count);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int r = RUN_ALL_TESTS();
    CoUninitialize();
    return r;
}
