// folium-server end to end: the real binary as a child process on a free
// port with a fresh database, driven over HTTP the way the message server
// add-in drives it.
#include "dbstep/DbstepPacket.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using dbstep::Packet;

namespace {

const dbstep::Limits kAny{UINT64_MAX, UINT32_MAX};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; i += 4) {
        std::uint32_t v = rng();
        for (std::size_t k = 0; k < 4 && i + k < n; ++k) s[i + k] = static_cast<char>(v >> (8 * k));
    }
    return s;
}

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/folium-server-test-XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The server binary as a child process.
class ServerProcess {
public:
    ServerProcess(const fs::path& dir, std::vector<std::string> extra = {})
        : dir_(dir), extra_(std::move(extra)) {}
    ~ServerProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // Starts the server and waits until it has written its port file.
    bool start() {
        const fs::path portFile = dir_ / "port";
        fs::remove(portFile);
        std::vector<std::string> args = {FOLIUM_SERVER_BIN, "--db", (dir_ / "store.db").string(),
                                         "--port", "0", "--port-file", portFile.string()};
        args.insert(args.end(), extra_.begin(), extra_.end());
        pid_ = ::fork();
        if (pid_ == 0) {
            int err = ::open((dir_ / "server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            int out = ::open((dir_ / "stdout.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            ::dup2(err, 2);
            ::dup2(out, 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        // Generous bound for a loaded machine; the usual wait is milliseconds.
        for (int i = 0; i < 2000; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                exitStatus_ = status;
                return false;
            }
            std::ifstream in(portFile);
            if (in >> port_ && port_ > 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void signal(int sig) { ::kill(pid_, sig); }
    // Waits for the process to end; returns its wait status.
    int wait() {
        if (pid_ > 0) {
            ::waitpid(pid_, &exitStatus_, 0);
            pid_ = -1;
        }
        return exitStatus_;
    }
    void killHard() {
        signal(SIGKILL);
        wait();
    }
    int port() const { return port_; }
    int exitStatus() const { return exitStatus_; }

private:
    fs::path dir_;
    std::vector<std::string> extra_;
    pid_t pid_ = -1;
    int port_ = 0;
    int exitStatus_ = -1;
};

struct Reply {
    bool transport = false;  // an HTTP response came back
    int status = 0;
    bool decoded = false;  // its body is a DBSTEP packet
    Packet packet;
    std::string contentType;
};

// `timeout` in seconds: a liveness bound for a loaded machine, not a speed target.
Reply postBytes(int port, const std::string& bytes, const std::string& path = "/dbstep", int timeout = 60) {
    httplib::Client cli("127.0.0.1", port);
    cli.set_read_timeout(timeout);
    cli.set_write_timeout(timeout);
    Reply r;
    auto res = cli.Post(path.c_str(), bytes, "application/x-dbstep");
    if (!res) return r;
    r.transport = true;
    r.status = res->status;
    r.contentType = res->get_header_value("Content-Type");
    r.decoded = dbstep::decode(res->body, kAny, r.packet).ok();
    return r;
}

std::string encoded(const Packet& p) {
    std::string bytes;
    EXPECT_EQ(dbstep::encode(p, kAny, bytes), dbstep::Error::Ok);
    return bytes;
}

Reply post(int port, const Packet& p, const std::string& path = "/dbstep", int timeout = 60) {
    return postBytes(port, encoded(p), path, timeout);
}

// The fields the component sets, in its order.
Packet message(const std::string& option, const std::string& recordId) {
    Packet p;
    p.set("DBSTEP", "DBSTEP");
    p.set("OPTION", option);
    p.set("FILETYPE", ".PDF");
    p.set("USERNAME", "\xd5\xc5\xc8\xfd");  // GBK
    p.set("RECORDID", recordId);
    p.set("FILENAME", "contract.pdf");
    p.set("EXTPARAM", "ext=1");
    return p;
}

Packet saveFile(const std::string& recordId, std::string body) {
    Packet p = message("SAVEFILE", recordId);
    p.setBody(std::move(body));
    return p;
}

// The component's own success test: "RESULT" equals "OK" in any letter case.
bool resultOk(const Packet& p) {
    std::string r = p.get("RESULT");
    std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) { return std::toupper(c); });
    return r == "OK";
}

bool isErrorReply(const Reply& r) {
    return r.decoded && !resultOk(r.packet) && r.packet.get("RESULT").rfind("ERROR: ", 0) == 0 &&
           r.packet.get("DBSTEP") == "DBSTEP";
}

std::vector<fs::path> bodyFiles(const fs::path& dir) {
    std::vector<fs::path> out;
    for (auto& e : fs::directory_iterator(dir / "store.db.blobs")) out.push_back(e.path());
    return out;
}

// Runs one query against the store, read-only, returning the first column
// of every row as bytes.
std::vector<std::string> query(const fs::path& dir, const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((dir / "store.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open store";
        return rows;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const char* p = static_cast<const char*>(sqlite3_column_blob(st, 0));
            rows.emplace_back(p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, 0)))
                                : std::string());
        }
    } else {
        ADD_FAILURE() << sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override { startServer(); }
    void startServer(std::vector<std::string> extra = {}) {
        server_ = std::make_unique<ServerProcess>(dir_.path(), std::move(extra));
        ASSERT_TRUE(server_->start()) << readFile(dir_.path() / "server.log");
    }
    void restart(std::vector<std::string> extra = {}) {
        server_.reset();
        startServer(std::move(extra));
    }
    int port() const { return server_->port(); }

    TempDir dir_;
    std::unique_ptr<ServerProcess> server_;
};


// Header and fields of `p` announcing a body of `bodySize` bytes.
std::string head(const Packet& p, std::uint64_t bodySize) {
    std::string bytes;
    EXPECT_EQ(dbstep::encodeHead(p.fields, true, bodySize, kAny, bytes), dbstep::Error::Ok);
    return bytes;
}

// A signature exchange; the data, when given, goes in the field `name`.
Packet signature(const std::string& option, const std::string& recordId, const std::string& data = "",
                 const char* name = "Signature") {
    Packet p;
    p.set("DBSTEP", "DBSTEP");
    p.set("OPTION", option);
    p.set("RECORDID", recordId);
    if (!data.empty()) p.set(name, data);
    return p;
}

std::vector<std::string> fieldsOf(const Packet& p, std::initializer_list<const char*> names) {
    std::vector<std::string> values;
    for (const char* n : names) values.push_back(p.get(n, "<absent>"));
    return values;
}

// A raw connection to the server from a chosen loopback address.
class RawConnection {
public:
    RawConnection(int port, const char* from = "127.0.0.1") {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~RawConnection() { close(); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool ok() const { return fd_ >= 0; }
    bool send(const std::string& bytes) {
        return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Everything the server sends until it closes the connection or `within`
    // passes; `closed` tells which.
    std::string readAll(std::chrono::milliseconds within, bool& closed) {
        std::string out;
        closed = false;
        const auto end = std::chrono::steady_clock::now() + within;
        char buf[4096];
        while (fd_ >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            timeval tv{static_cast<time_t>(left.count() / 1000), static_cast<suseconds_t>(left.count() % 1000 * 1000)};
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n > 0) {
                out.append(buf, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) closed = true;
            if (closed) break;
        }
        return out;
    }

private:
    int fd_ = -1;
};

std::string httpPost(const std::string& body, bool withBody = true) {
    return "POST /dbstep HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-dbstep\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + (withBody ? body : std::string());
}

// The status and packet of a raw HTTP answer.
Reply parseAnswer(const std::string& answer) {
    Reply r;
    const auto end = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) return r;
    r.transport = true;
    r.status = std::atoi(answer.c_str() + 9);
    r.decoded = dbstep::decode(answer.substr(end + 4), kAny, r.packet).ok();
    return r;
}

// One request over a fresh connection from `from`. The server keeps the connection
// open after a normal answer: reading stops at the end of the announced body.
Reply rawRequest(int port, const char* from, const std::string& request) {
    RawConnection c(port, from);
    if (!c.ok() || !c.send(request)) return Reply{};
    bool closed = false;
    std::string answer;
    for (int i = 0; i < 50; ++i) {
        answer += c.readAll(std::chrono::milliseconds(100), closed);
        const auto end = answer.find("\r\n\r\n");
        const auto len = answer.find("Content-Length: ");
        if (closed || (end != std::string::npos && len != std::string::npos && len < end &&
                       answer.size() >= end + 4 + std::stoul(answer.substr(len + 16))))
            break;
    }
    return parseAnswer(answer);
}

Reply rawExchange(int port, const char* from, const Packet& p) { return rawRequest(port, from, httpPost(encoded(p))); }

// Connections that send part of a request and then stall, or send one more
// byte every `trickle` while the test runs.
class SlowClients {
public:
    enum Kind { StalledBody, TricklingBody, StalledHead, TricklingHead };

    SlowClients(int port) : port_(port) {}
    ~SlowClients() { stop(); }

    void open(Kind kind, int count, const char* from = "127.0.0.1") {
        for (int i = 0; i < count; ++i) {
            auto c = std::make_unique<RawConnection>(port_, from);
            ASSERT_TRUE(c->ok());
            const bool body = kind == StalledBody || kind == TricklingBody;
            const std::string start = body ? httpPost(std::string(100000, 'x'), false) + "D"
                                           : "POST /dbstep HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
            ASSERT_TRUE(c->send(start));
            if (kind == TricklingBody || kind == TricklingHead) trickling_.push_back(c.get());
            connections_.push_back(std::move(c));
        }
        if (!trickling_.empty() && !ticker_.joinable())
            ticker_ = std::thread([this] {
                while (!stopping_) {
                    for (int i = 0; i < 10 && !stopping_; ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    for (RawConnection* c : trickling_) c->send("B");
                }
            });
    }
    RawConnection& at(std::size_t i) { return *connections_[i]; }
    void stop() {
        stopping_ = true;
        if (ticker_.joinable()) ticker_.join();
        connections_.clear();
    }

private:
    int port_;
    std::vector<std::unique_ptr<RawConnection>> connections_;
    std::vector<RawConnection*> trickling_;
    std::atomic<bool> stopping_{false};
    std::thread ticker_;
};

}  // namespace

// ---------------------------------------------------------------------------
// The six exchanges.

class ServerExchange : public ServerTest {};

TEST_F(ServerExchange, SavedDocumentLoadsBackWithItsFieldsAndSavingAgainReplacesIt) {
    const std::string doc = randomBytes(300 * 1024 + 7, 1);
    Packet save = saveFile("R-1", doc);
    save.set("FILETYPE", ".OFD");
    Reply saved = post(port(), save);
    ASSERT_TRUE(saved.decoded);
    EXPECT_EQ(saved.status, 200);
    EXPECT_EQ(saved.contentType, "application/x-dbstep");
    EXPECT_EQ(fieldsOf(saved.packet, {"RESULT", "OPTION", "FILESIZE", "VERSION"}),
              (std::vector<std::string>{"OK", "SAVEFILE", std::to_string(doc.size()), "1"}));
    // Packets are accepted on any path.
    Reply loaded = post(port(), message("LOADFILE", "R-1"), "/app/iWebServer.jsp");
    EXPECT_EQ(loaded.status, 200);
    EXPECT_EQ(fieldsOf(loaded.packet, {"RESULT", "DBSTEP", "OPTION", "RECORDID", "FILENAME", "FILETYPE", "FILESIZE"}),
              (std::vector<std::string>{"OK", "DBSTEP", "LOADFILE", "R-1", "contract.pdf", ".OFD", std::to_string(doc.size())}));
    ASSERT_TRUE(loaded.packet.hasBody);
    EXPECT_TRUE(loaded.packet.body == doc);

    Reply second = post(port(), saveFile("R-1", "second"), "/");
    EXPECT_EQ(second.packet.get("VERSION"), "2");
    loaded = post(port(), message("LOADFILE", "R-1"));
    EXPECT_EQ(loaded.packet.body, "second");
    EXPECT_EQ(loaded.packet.get("VERSION"), "2");
    EXPECT_EQ(bodyFiles(dir_.path()).size(), 1u) << "replaced body file left behind";

    ASSERT_TRUE(resultOk(post(port(), saveFile("E", "")).packet));
    loaded = post(port(), message("LOADFILE", "E"));
    ASSERT_TRUE(resultOk(loaded.packet));
    EXPECT_TRUE(loaded.packet.hasBody) << "an empty document is still a document";
    EXPECT_TRUE(loaded.packet.body.empty());
}

TEST_F(ServerExchange, RecordIdsAreComparedAsExactBytes) {
    const std::string gbk = "\xba\xcf\xcd\xac";
    const std::pair<std::string, std::string> records[] = {
        {gbk, "gbk"}, {gbk + std::string("\0x", 2), "nul"}, {"abc", "lower"}, {"ABC", "upper"}};
    for (const auto& [id, body] : records) ASSERT_TRUE(resultOk(post(port(), saveFile(id, body)).packet));
    for (const auto& [id, body] : records) EXPECT_EQ(post(port(), message("LOADFILE", id)).packet.body, body);
}

TEST_F(ServerExchange, AttachmentsAreKeptBesideTheDocument) {
    ASSERT_TRUE(resultOk(post(port(), saveFile("A", "main document")).packet));
    Packet first = message("SAVEACCESSORY", "A");
    first.set("FILENAME", "one.txt");
    first.setBody("attachment one");
    Packet second = message("SAVEACCESSORY", "A");
    second.set("FILENAME", "two.bin");
    second.setBody(randomBytes(70000, 2));
    Reply r1 = post(port(), first), r2 = post(port(), second);
    EXPECT_EQ(fieldsOf(r2.packet, {"RESULT", "FILESIZE"}), (std::vector<std::string>{"OK", "70000"}));
    EXPECT_NE(r1.packet.get("ACCESSORYID"), "");
    EXPECT_NE(r1.packet.get("ACCESSORYID"), r2.packet.get("ACCESSORYID"));

    EXPECT_EQ(query(dir_.path(), "SELECT filename FROM attachments WHERE recordid = CAST('A' AS BLOB) ORDER BY id"),
              (std::vector<std::string>{"one.txt", "two.bin"}));
    auto names = query(dir_.path(), "SELECT body FROM attachments ORDER BY id");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(readFile(dir_.path() / "store.db.blobs" / names[0]), "attachment one");
    EXPECT_TRUE(readFile(dir_.path() / "store.db.blobs" / names[1]) == second.body);
    EXPECT_EQ(post(port(), message("LOADFILE", "A")).packet.body, "main document");
}

TEST_F(ServerExchange, MessageIsStoredWithAllItsFields) {
    Packet m = message("SENDMESSAGE", "M");
    m.fields.pop_back();  // the component sends no EXTPARAM with a message
    m.set("COMMENT", std::string("free\0text", 9));
    Reply r = post(port(), m);
    EXPECT_EQ(r.packet.get("RESULT"), "OK");
    EXPECT_NE(r.packet.get("MESSAGEID"), "");
    auto stored = query(dir_.path(), "SELECT fields FROM messages");
    ASSERT_EQ(stored.size(), 1u);
    Packet kept;
    ASSERT_TRUE(dbstep::decode(stored[0], kAny, kept).ok());
    EXPECT_TRUE(encoded(kept) == encoded(m)) << "the fields as sent, in their order";
}

TEST_F(ServerExchange, SignatureDataRoundTripsAndIsReplaced) {
    const std::string data = "\xc7\xa9\xd5\xc2" + randomBytes(100000, 3);
    EXPECT_EQ(post(port(), signature("SAVESIGNATURE", "S", data)).packet.get("RESULT"), "OK");
    Reply r = post(port(), signature("LOADSIGNATURE", "S"));
    EXPECT_EQ(r.packet.get("RESULT"), "OK");
    EXPECT_TRUE(r.packet.get("Signature") == data);
    EXPECT_EQ(r.packet.find("SIGNATURE"), nullptr);
    EXPECT_EQ(post(port(), signature("SAVESIGNATURE", "S", "newer")).packet.get("RESULT"), "OK");
    EXPECT_EQ(post(port(), signature("LOADSIGNATURE", "S")).packet.get("Signature"), "newer");
}

TEST_F(ServerExchange, SeededDocumentIsServed) {
    const fs::path file = dir_.path() / "demo.pdf";
    std::ofstream(file, std::ios::binary) << "%PDF-1.4 demo";
    restart({"--seed", "DEMO=" + file.string()});
    Reply r = post(port(), message("LOADFILE", "DEMO"));
    EXPECT_EQ(fieldsOf(r.packet, {"RESULT", "FILENAME", "FILETYPE"}), (std::vector<std::string>{"OK", "demo.pdf", ".PDF"}));
    EXPECT_EQ(r.packet.body, "%PDF-1.4 demo");
}

TEST_F(ServerExchange, ResultIsExactlyOkOnSuccessAndAnErrorOtherwise) {
    // Application errors answer 200 with "ERROR: reason" as RESULT, the reason as STATUS, no body.
    Packet noOption = message("LOADFILE", "K");
    noOption.fields.erase(noOption.fields.begin() + 1);
    const std::vector<Packet> fail = {
        message("SAVEFILE", "K"),  // no body
        saveFile("", "body"),      // no record
        message("LOADFILE", "none"),
        message("LOADFILE", ""),
        message("SAVEACCESSORY", "K"),
        signature("SAVESIGNATURE", "K"),
        signature("SAVESIGNATURE", "K", "wrong case", "SIGNATURE"),
        signature("LOADSIGNATURE", "none"),
        message("PRINTFILE", "K"),
        message("loadfile", "K"),  // option words are exact
        noOption,
    };
    for (const Packet& p : fail) {
        Reply r = post(port(), p);
        EXPECT_EQ(r.status, 200) << p.get("OPTION");
        EXPECT_TRUE(isErrorReply(r)) << p.get("OPTION") << " " << p.get("RECORDID");
        EXPECT_FALSE(r.packet.hasBody);
        EXPECT_EQ(r.packet.get("OPTION"), p.get("OPTION"));
        EXPECT_EQ(r.packet.get("STATUS"), r.packet.get("RESULT").substr(7));
    }
    EXPECT_TRUE(bodyFiles(dir_.path()).empty()) << "a refused save stores nothing";
    // (A message has no failure of its own: any RECORDID, any fields.)
    Packet attach = message("SAVEACCESSORY", "K");
    attach.setBody("a");
    const std::vector<Packet> succeed = {saveFile("K", "doc"),          message("LOADFILE", "K"),
                                         attach,                        message("SENDMESSAGE", "K"),
                                         signature("SAVESIGNATURE", "K", "s"), signature("LOADSIGNATURE", "K")};
    for (const Packet& p : succeed) {
        Reply r = post(port(), p);
        EXPECT_EQ(fieldsOf(r.packet, {"RESULT", "OPTION"}), (std::vector<std::string>{"OK", p.get("OPTION")}));
        EXPECT_EQ(r.status, 200) << p.get("OPTION");
        EXPECT_NE(r.packet.get("STATUS"), "");
    }
}

TEST_F(ServerExchange, MalformedPacketsGet400AndAnErrorReply) {
    const std::string good = encoded(saveFile("M", "0123456789"));
    Packet withoutMarker = saveFile("M", "x");
    withoutMarker.fields.erase(withoutMarker.fields.begin());
    const std::string noMarker = encoded(withoutMarker);
    const std::string bigHead = head(saveFile("M", ""), 16u << 20);  // announces 16 MB of body
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not a packet", "not a DBSTEP packet"},
        {good.substr(0, good.size() - 3), "packet truncated"},
        {good.substr(0, 20), "packet truncated"},
        {good + "xx", "bytes after the end of the packet"},
        {"", "packet truncated"},
        {noMarker, "ERROR: "},
        // Large enough that the client is still sending when the server
        // has already found the fault.
        {std::string(8u << 20, 'j'), "not a DBSTEP packet"},
        {good.substr(0, 28) + std::string(8u << 20, 'j'), "field name too long"},
        {bigHead + std::string(8u << 20, 'b'), "packet truncated"},
    };
    for (const auto& [bytes, text] : cases) {
        Reply r = postBytes(port(), bytes);
        ASSERT_TRUE(r.transport) << text;
        EXPECT_EQ(r.status, 400) << text;
        EXPECT_TRUE(isErrorReply(r)) << text;
        EXPECT_NE(r.packet.get("RESULT").find(text), std::string::npos) << r.packet.get("RESULT");
    }
    // Nothing half-received was kept, and the server still works.
    EXPECT_TRUE(bodyFiles(dir_.path()).empty());
    EXPECT_TRUE(isErrorReply(post(port(), message("LOADFILE", "M"))));
    EXPECT_TRUE(resultOk(post(port(), saveFile("M", "fine")).packet));
}

// ---------------------------------------------------------------------------
// Packet size limit.

class ServerLimit : public ServerTest {
protected:
    void SetUp() override { startServer({"--max-packet", "1M"}); }
};

TEST_F(ServerLimit, PacketsAboveTheLimitAreRefusedWith413HoweverTheyArrive) {
    const std::string fit((1u << 20) - head(saveFile("FIT", ""), 0).size(), 'f');
    const struct {
        const char* record;
        std::string bytes;
        int status;
    } cases[] = {
        {"BIG", encoded(saveFile("BIG", std::string((1u << 20) + 1, 'b'))), 413},
        {"LIE", head(saveFile("LIE", ""), 2u << 20) + "only a little", 413},  // refused before the body
        {"FIT", encoded(saveFile("FIT", fit)), 200},                          // exactly at the limit
    };
    for (const auto& c : cases) {
        Reply r = postBytes(port(), c.bytes);
        ASSERT_TRUE(r.transport) << c.record;
        EXPECT_EQ(r.status, c.status) << c.record;
        if (c.status == 200) continue;
        EXPECT_TRUE(isErrorReply(r)) << c.record;
        EXPECT_NE(r.packet.get("RESULT").find("1048576"), std::string::npos) << r.packet.get("RESULT");
    }

    // No Content-Length: the server can only judge the size while reading.
    const std::string chunked = encoded(saveFile("CHUNKED", std::string(2u << 20, 'c')));
    httplib::Client cli("127.0.0.1", port());
    auto res = cli.Post(
        "/dbstep",
        [&](std::size_t offset, httplib::DataSink& sink) {
            if (offset >= chunked.size()) {
                sink.done();
                return true;
            }
            return sink.write(chunked.data() + offset, std::min<std::size_t>(256u << 10, chunked.size() - offset));
        },
        "application/x-dbstep");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    EXPECT_TRUE(isErrorReply(parseAnswer("HTTP/1.1 413 x\r\n\r\n" + res->body)));

    // Refused without reading the body: the 5 MB announced are never sent.
    Reply expect = rawRequest(port(), "127.0.0.1",
                              "POST /dbstep HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-dbstep\r\n"
                              "Content-Length: 5000000\r\nExpect: 100-continue\r\n\r\n");
    EXPECT_EQ(expect.status, 413);
    EXPECT_TRUE(isErrorReply(expect));

    for (const char* refused : {"BIG", "LIE", "CHUNKED"})
        EXPECT_TRUE(isErrorReply(post(port(), message("LOADFILE", refused)))) << refused;
    EXPECT_EQ(bodyFiles(dir_.path()).size(), 1u) << "only the document that fitted";
}

// ---------------------------------------------------------------------------
// Uploads at once, and the body on its way to the store. (The server's peak memory
// with eight large uploads is measured by bench/server.)

class ServerLoad : public ServerTest {};

TEST_F(ServerLoad, EightConcurrentUploadsAreAllStored) {
    constexpr int kClients = 8;
    constexpr std::size_t kSize = 16u << 20;
    std::vector<std::string> docs;
    for (int i = 0; i < kClients; ++i) docs.push_back(randomBytes(kSize, 100 + i));
    std::vector<std::string> packets(kClients);
    for (int i = 0; i < kClients; ++i) packets[i] = encoded(saveFile("C" + std::to_string(i), docs[i]));

    std::atomic<int> ok{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            Reply r = postBytes(port(), packets[i]);
            if (r.status == 200 && resultOk(r.packet)) ++ok;
        });
    for (auto& t : clients) t.join();
    EXPECT_EQ(ok.load(), kClients);
    for (int i = 0; i < kClients; ++i) {
        Reply r = post(port(), message("LOADFILE", "C" + std::to_string(i)));
        EXPECT_TRUE(r.packet.body == docs[i]) << i;
    }
}

// Bodies are not held whole in memory: half of an upload already reaches the store's
// file while the client has still to send the rest.
TEST_F(ServerLoad, ABodyIsWrittenOutWhileItArrives) {
    constexpr std::size_t kSize = 8u << 20;
    const std::string packetHead = head(saveFile("HALF", ""), kSize);
    RawConnection c(port());
    ASSERT_TRUE(c.send("POST /dbstep HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                       std::to_string(packetHead.size() + kSize) + "\r\n\r\n" + packetHead +
                       randomBytes(kSize / 2, 13)));
    std::uintmax_t written = 0;
    for (int i = 0; i < 1000 && written == 0; ++i) {  // a bound for a loaded machine, not a target
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::error_code ec;
        for (auto& f : bodyFiles(dir_.path())) written = std::max(written, fs::file_size(f, ec));
    }
    EXPECT_GT(written, 0u);
}

// ---------------------------------------------------------------------------
// Crashes and restarts.

class ServerDurability : public ServerTest {
protected:
    // Sends a SAVEFILE whose body is `doc`; once `killAfter` body bytes are
    // out and the server has begun writing them, the server is SIGKILLed.
    void uploadAndKill(const std::string& recordId, const std::string& doc, std::size_t killAfter) {
        std::string head;
        ASSERT_EQ(dbstep::encodeHead(saveFile(recordId, "").fields, true, doc.size(), kAny, head),
                  dbstep::Error::Ok);
        const auto known = bodyFiles(dir_.path());
        auto receiving = [&] {
            for (auto& f : bodyFiles(dir_.path())) {
                std::error_code ec;
                if (std::find(known.begin(), known.end(), f) == known.end() && fs::file_size(f, ec) > 0)
                    return true;
            }
            return false;
        };
        const std::size_t total = head.size() + doc.size();
        bool killed = false;
        httplib::Client cli("127.0.0.1", port());
        cli.Post(
            "/dbstep", total,
            [&](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                std::string piece;
                if (offset < head.size())
                    piece = head.substr(offset, std::min(length, head.size() - offset));
                else
                    piece = doc.substr(offset - head.size(), std::min<std::size_t>(length, 1u << 20));
                if (!sink.write(piece.data(), piece.size())) return false;
                if (offset + piece.size() < head.size() + killAfter) return true;
                if (killAfter < doc.size()) {
                    // Mid-body: crash only once the server is writing it out.
                    for (int i = 0; i < 2000 && !receiving(); ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                server_->killHard();
                killed = true;
                return false;
            },
            "application/x-dbstep");
        ASSERT_TRUE(killed);
    }
};

TEST_F(ServerDurability, KillDuringUploadKeepsCommittedData) {
    const std::string v1 = randomBytes(1u << 20, 7);
    ASSERT_TRUE(resultOk(post(port(), saveFile("KEEP", v1)).packet));
    ASSERT_TRUE(resultOk(post(port(), signature("SAVESIGNATURE", "KEEP", "signed")).packet));

    uploadAndKill("KEEP", randomBytes(32u << 20, 8), 8u << 20);
    restart();

    Reply kept = post(port(), message("LOADFILE", "KEEP"));
    EXPECT_EQ(kept.packet.get("RESULT"), "OK");
    EXPECT_EQ(kept.packet.get("VERSION"), "1");
    EXPECT_TRUE(kept.packet.body == v1);
    EXPECT_EQ(post(port(), signature("LOADSIGNATURE", "KEEP")).packet.get("Signature"), "signed");

    uploadAndKill("NEW", randomBytes(32u << 20, 9), 4u << 20);
    restart();
    EXPECT_TRUE(isErrorReply(post(port(), message("LOADFILE", "NEW"))));
    EXPECT_TRUE(post(port(), message("LOADFILE", "KEEP")).packet.body == v1);

    // The partial bodies are gone and the database is sound.
    EXPECT_EQ(bodyFiles(dir_.path()).size(), 1u);
    EXPECT_EQ(query(dir_.path(), "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

TEST_F(ServerDurability, KillAtTheEndOfAnUploadLeavesOldOrNewWhole) {
    const std::string v1 = randomBytes(2u << 20, 10);
    const std::string v2 = randomBytes(3u << 20, 11);
    ASSERT_TRUE(resultOk(post(port(), saveFile("EDGE", v1)).packet));
    uploadAndKill("EDGE", v2, v2.size());
    restart();
    Reply r = post(port(), message("LOADFILE", "EDGE"));
    ASSERT_EQ(r.packet.get("RESULT"), "OK");
    const bool old = r.packet.body == v1 && r.packet.get("VERSION") == "1";
    const bool fresh = r.packet.body == v2 && r.packet.get("VERSION") == "2";
    EXPECT_TRUE(old || fresh) << "body of " << r.packet.body.size() << " bytes";
    EXPECT_EQ(bodyFiles(dir_.path()).size(), 1u);
}

// ---------------------------------------------------------------------------
// Process behaviour.

class ServerProcessTest : public ServerTest {};

TEST_F(ServerProcessTest, OneServerPerStoreAndSigtermStopsItCleanlyWithTheDataKept) {
    ServerProcess second(dir_.path());
    EXPECT_FALSE(second.start());
    EXPECT_TRUE(WIFEXITED(second.exitStatus()));
    EXPECT_EQ(WEXITSTATUS(second.exitStatus()), 1);
    ASSERT_TRUE(resultOk(post(port(), saveFile("T", "term")).packet)) << "the first still serves";
    server_->signal(SIGTERM);
    const int status = server_->wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    restart();
    EXPECT_EQ(post(port(), message("LOADFILE", "T")).packet.body, "term");
}

TEST_F(ServerProcessTest, PortIsAnnouncedAndEachRequestLogsOneLine) {
    EXPECT_NE(readFile(dir_.path() / "stdout.log").find("http://127.0.0.1:" + std::to_string(port()) + "/"),
              std::string::npos);
    post(port(), saveFile("L", "x"));
    post(port(), message("LOADFILE", "L"));
    postBytes(port(), "junk");
    server_->signal(SIGTERM);
    server_->wait();
    std::istringstream log(readFile(dir_.path() / "server.log"));
    std::vector<std::string> lines;
    for (std::string l; std::getline(log, l);)
        if (l.find(" POST /dbstep ") != std::string::npos) lines.push_back(l);
    ASSERT_EQ(lines.size(), 3u);
    // Lines are written as requests finish, in whatever order workers end.
    auto line = [&](const std::string& what) {
        for (auto& l : lines)
            if (l.find(what) != std::string::npos) return l;
        return std::string();
    };
    const std::string save = line("option=\"SAVEFILE\"");
    EXPECT_NE(save.find("recordid=\"L\""), std::string::npos) << save;
    EXPECT_NE(save.find(" 200 "), std::string::npos) << save;
    EXPECT_NE(line("option=\"LOADFILE\"").find("result=\"OK\""), std::string::npos);
    EXPECT_NE(line(" 400 ").find("not a DBSTEP packet"), std::string::npos);
}

TEST_F(ServerProcessTest, BadCommandLineIsRefused) {
    for (std::vector<std::string> bad :
         {std::vector<std::string>{"--max-packet", "lots"}, {"--port", "70000"}, {"--seed", "noequals"},
          {"--unknown"}}) {
        TempDir other;
        ServerProcess p(other.path(), bad);
        EXPECT_FALSE(p.start()) << bad[0];
        EXPECT_EQ(WEXITSTATUS(p.exitStatus()), 2) << bad[0];
    }
}

// ---------------------------------------------------------------------------
// Slow and stalled clients.

class ServerSlowClients : public ServerTest {
protected:
    void SetUp() override {}
};

TEST_F(ServerSlowClients, MoreStalledUploadsThanWorkersDoNotLockOthersOut) {
    startServer();  // 16 workers
    SlowClients slow(port());
    slow.open(SlowClients::StalledBody, 12);
    slow.open(SlowClients::TricklingBody, 8);
    slow.open(SlowClients::StalledHead, 2);
    slow.open(SlowClients::TricklingHead, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let every one reach a worker
    for (int round = 0; round < 3; ++round) {
        // A locked-out request would wait for a slow client's own timeout: far beyond these 5 s.
        const std::string id = "FREE-" + std::to_string(round);
        EXPECT_TRUE(resultOk(post(port(), saveFile(id, "answered"), "/dbstep", 5).packet)) << round;
        EXPECT_EQ(post(port(), message("LOADFILE", id), "/dbstep", 5).packet.body, "answered") << round;
    }
}

TEST_F(ServerSlowClients, StalledAndTricklingClientsLoseTheirConnectionInBoundedTime) {
    startServer({"--request-timeout", "2", "--min-rate", "16K"});
    SlowClients slow(port());
    slow.open(SlowClients::StalledBody, 1);
    slow.open(SlowClients::TricklingBody, 1);
    slow.open(SlowClients::StalledHead, 1);
    slow.open(SlowClients::TricklingHead, 1);
    const auto start = std::chrono::steady_clock::now();
    const char* names[] = {"stalled body", "trickling body", "stalled head", "trickling head"};
    std::vector<std::string> answers(4);
    std::vector<bool> closed(4);
    std::vector<std::chrono::steady_clock::duration> after(4);
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < 4; ++i)
        readers.emplace_back([&, i] {
            bool c = false;
            answers[i] = slow.at(i).readAll(std::chrono::seconds(8), c);
            closed[i] = c;
            after[i] = std::chrono::steady_clock::now() - start;
        });
    for (auto& t : readers) t.join();
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(closed[i]) << names[i];
        EXPECT_GT(after[i], std::chrono::milliseconds(1500)) << names[i];
        EXPECT_LT(after[i], std::chrono::milliseconds(4500)) << names[i];
    }
    // A client cut off mid-body is told why.
    for (std::size_t i : {0u, 1u}) {
        Reply r = parseAnswer(answers[i]);
        EXPECT_EQ(r.status, 408) << names[i];
        EXPECT_TRUE(isErrorReply(r)) << names[i];
        EXPECT_EQ(r.packet.get("STATUS"), "request body not received in time") << names[i];
    }
    slow.stop();
    EXPECT_NE(readFile(dir_.path() / "server.log").find(" 408 "), std::string::npos);
    EXPECT_TRUE(bodyFiles(dir_.path()).empty());
}

TEST_F(ServerSlowClients, SlowButSteadyUploadSucceeds) {
    // 64 KB/s for 10 s: five times the grace period, well above the minimum rate.
    startServer({"--request-timeout", "2", "--min-rate", "16K"});
    const std::string doc = randomBytes(640u << 10, 12);
    const std::string bytes = encoded(saveFile("STEADY", doc));
    httplib::Client cli("127.0.0.1", port());
    cli.set_read_timeout(30);
    const auto start = std::chrono::steady_clock::now();
    auto res = cli.Post(
        "/dbstep", bytes.size(),
        [&](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            // 16 KB every quarter second.
            const auto due = start + std::chrono::milliseconds(250) * (offset / (16u << 10));
            std::this_thread::sleep_until(due);
            return sink.write(bytes.data() + offset, std::min<std::size_t>(length, 16u << 10));
        },
        "application/x-dbstep");
    ASSERT_TRUE(res);
    EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::seconds(9));
    EXPECT_EQ(res->status, 200);
    Packet reply;
    ASSERT_TRUE(dbstep::decode(res->body, kAny, reply).ok());
    EXPECT_EQ(reply.get("RESULT"), "OK");
    EXPECT_TRUE(post(port(), message("LOADFILE", "STEADY")).packet.body == doc);
}

TEST_F(ServerSlowClients, ConnectionsOverTheBoundsAreRefusedClearly) {
    struct Case {
        std::vector<std::string> flags;
        std::vector<const char*> held;  // addresses of connections kept open
        const char* refusedFrom;
        std::string refusal;
        const char* servedFrom;  // another address still served ("" when none)
    };
    const std::vector<Case> cases = {
        {{"--max-per-address", "3"},
         {"127.0.0.1", "127.0.0.1", "127.0.0.1"},
         "127.0.0.1",
         "too many connections from 127.0.0.1 (at most 3)",
         "127.0.0.2"},
        {{"--threads", "2", "--max-connections", "4"},
         {"127.0.0.2", "127.0.0.2", "127.0.0.3", "127.0.0.3"},
         "127.0.0.1",
         "server busy: 4 connections open",
         ""},
    };
    for (const Case& c : cases) {
        restart(c.flags);
        std::vector<std::unique_ptr<RawConnection>> held;
        for (const char* from : c.held) {
            held.push_back(std::make_unique<RawConnection>(port(), from));
            ASSERT_TRUE(held.back()->ok());
            ASSERT_TRUE(held.back()->send(httpPost(std::string(1000, 'h'), false)));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Reply refused = rawExchange(port(), c.refusedFrom, message("LOADFILE", "X"));
        EXPECT_EQ(refused.status, 503) << c.refusal;
        EXPECT_TRUE(isErrorReply(refused)) << c.refusal;
        EXPECT_EQ(refused.packet.get("STATUS"), c.refusal);
        if (*c.servedFrom) {
            EXPECT_EQ(rawExchange(port(), c.servedFrom, saveFile("OTHER", "x")).packet.get("RESULT"), "OK");
        }
        // Once a held connection goes, its place is free again.
        held.pop_back();
        Reply served;
        for (int i = 0; i < 40 && served.status != 200; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            served = rawExchange(port(), c.refusedFrom, saveFile("AFTER", "x"));
        }
        EXPECT_EQ(served.packet.get("RESULT"), "OK") << c.refusal;
        held.clear();
        EXPECT_NE(readFile(dir_.path() / "server.log").find("503 refused=\"" + c.refusal), std::string::npos);
    }
}
