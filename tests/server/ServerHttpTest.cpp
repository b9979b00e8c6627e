// folium-server end to end: the real binary as a child process on a free
// port with a fresh database, driven over HTTP the way the message server
// add-in drives it.
#include "dbstep/DbstepPacket.h"

#include <gtest/gtest.h>
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
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

// The server binary as a child process.
class ServerProcess {
public:
    ServerProcess(const fs::path& dir, std::vector<std::string> extra = {})
        : dir_(dir), extra_(std::move(extra)) {}
    ~ServerProcess() {
        if (pid_ > 0) killHard();
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
            ::dup2(::open((dir_ / "server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2);
            ::dup2(::open((dir_ / "stdout.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        // Generous bound for a loaded machine; the usual wait is milliseconds.
        for (int i = 0; i < 2000; ++i) {
            if (::waitpid(pid_, &exitStatus_, WNOHANG) == pid_) {
                pid_ = -1;
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
        if (pid_ > 0) ::waitpid(pid_, &exitStatus_, 0);
        pid_ = -1;
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

// A value as a reply description shows it: printable bytes as they are, others as \xNN,
// anything longer than 100 bytes as its size and digest.
std::string shown(const std::string& bytes) {
    char buf[40];
    if (bytes.size() > 100) {
        std::uint64_t h = 14695981039346656037ull;
        for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
        std::snprintf(buf, sizeof buf, "<%zu bytes %016llx>", bytes.size(), static_cast<unsigned long long>(h));
        return buf;
    }
    std::string s;
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, c >= 0x20 && c < 0x7f ? "%c" : "\\x%02x", c);
        s += buf;
    }
    return s;
}

// A whole reply in one line: the HTTP status, every field in order and the body.
std::string describe(const Reply& r) {
    if (!r.transport) return "no answer";
    std::string s = std::to_string(r.status);
    if (!r.decoded) return s + " (not a packet)";
    for (const auto& f : r.packet.fields) s += " " + f.name + "=" + shown(f.value);
    if (r.packet.hasBody) s += " body=" + shown(r.packet.body);
    return s;
}

// The reply to a refused request: the reason as RESULT and STATUS, no body.
std::string refusal(int status, const std::string& option, const std::string& reason) {
    return std::to_string(status) + " DBSTEP=DBSTEP OPTION=" + option + " RESULT=ERROR: " + reason +
           " STATUS=" + reason;
}

std::string encoded(const Packet& p) {
    std::string bytes;
    EXPECT_EQ(dbstep::encode(p, kAny, bytes), dbstep::Error::Ok);
    return bytes;
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

Packet saveFile(const std::string& recordId, std::string body, const char* option = "SAVEFILE") {
    Packet p = message(option, recordId);
    p.setBody(std::move(body));
    return p;
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

// Header and fields of `p` announcing a body of `bodySize` bytes.
std::string head(const Packet& p, std::uint64_t bodySize) {
    std::string bytes;
    EXPECT_EQ(dbstep::encodeHead(p.fields, true, bodySize, kAny, bytes), dbstep::Error::Ok);
    return bytes;
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
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2((dir / "store.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db);
    } else {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const char* p = static_cast<const char*>(sqlite3_column_blob(st, 0));
            rows.emplace_back(p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, 0)))
                                : std::string());
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
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
    ~RawConnection() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool ok() const { return fd_ >= 0; }
    bool send(const std::string& bytes) {
        return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Everything the server sends until it closes the connection or `within`
    // passes; `closed` tells which.
    std::string readAll(std::chrono::milliseconds within, bool& closed) {
        std::string out;
        closed = false;
        const auto end = std::chrono::steady_clock::now() + within;
        char buf[4096];
        while (fd_ >= 0 && !closed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            timeval tv{static_cast<time_t>(left.count() / 1000), static_cast<suseconds_t>(left.count() % 1000 * 1000)};
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n > 0)
                out.append(buf, static_cast<std::size_t>(n));
            else
                closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
        }
        return out;
    }

private:
    int fd_ = -1;
};

// A request that asks the server to close the connection after its answer.
std::string httpPost(const std::string& body, bool withBody = true, const std::string& path = "/dbstep") {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
           "Content-Type: application/x-dbstep\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           (withBody ? body : std::string());
}

// The status, content type and packet of a raw HTTP answer.
Reply parseAnswer(const std::string& answer) {
    Reply r;
    const auto end = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) return r;
    r.transport = true;
    r.status = std::atoi(answer.c_str() + 9);
    const auto type = answer.find("\r\nContent-Type: ");
    if (type < end) r.contentType = answer.substr(type + 16, answer.find("\r\n", type + 16) - type - 16);
    r.decoded = dbstep::decode(answer.substr(end + 4), kAny, r.packet).ok();
    return r;
}

// One request over a fresh connection from `from`, read until the answer is whole (at most 60 s:
// a bound for a loaded machine, the usual wait is milliseconds).
Reply rawRequest(int port, const char* from, const std::string& request) {
    RawConnection c(port, from);
    if (!c.ok() || !c.send(request)) return Reply{};
    bool closed = false;
    std::string answer;
    for (int i = 0; i < 600 && !closed && !parseAnswer(answer).decoded; ++i)
        answer += c.readAll(std::chrono::milliseconds(100), closed);
    return parseAnswer(answer);
}

Reply post(int port, const Packet& p, const char* from = "127.0.0.1") {
    return rawRequest(port, from, httpPost(encoded(p)));
}

// A server on a fresh store in a folder of its own.
class ServerTest : public ::testing::Test {
protected:
    ServerTest() {
        ::signal(SIGPIPE, SIG_IGN);  // a server that cuts a client off must fail a check, not end the run
        char tmpl[] = "/tmp/folium-server-test-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    ~ServerTest() override {
        server_.reset();
        fs::remove_all(dir_);
    }
    void SetUp() override { startServer(); }
    void startServer(std::vector<std::string> extra = {}) {
        server_ = std::make_unique<ServerProcess>(dir_, std::move(extra));
        ASSERT_TRUE(server_->start()) << readFile(dir_ / "server.log");
    }
    void restart(std::vector<std::string> extra = {}) {
        server_.reset();
        startServer(std::move(extra));
    }
    int port() const { return server_->port(); }
    std::string load(const std::string& recordId) { return post(port(), message("LOADFILE", recordId)).packet.body; }
    bool done(const Packet& p) { return post(port(), p).packet.get("RESULT") == "OK"; }

    fs::path dir_;
    std::unique_ptr<ServerProcess> server_;
};

// Four connections that send part of a request and then stall (0: in the body, 2: in the head), or send one
// more byte every half second while they live (1: body, 3: head).
class SlowClients {
public:
    explicit SlowClients(int port) {
        for (int i = 0; i < 4; ++i) {
            connections_.push_back(std::make_unique<RawConnection>(port));
            EXPECT_TRUE(connections_[i]->send(i < 2 ? httpPost(std::string(100000, 'x'), false) + "D"
                                                    : "POST /dbstep HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: "));
        }
        ticker_ = std::thread([this] {
            while (!stopping_) {
                for (int i = 0; i < 10 && !stopping_; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                connections_[1]->send("B");
                connections_[3]->send("B");
            }
        });
    }
    ~SlowClients() { stop(); }

    RawConnection& at(std::size_t i) { return *connections_[i]; }
    void stop() {
        stopping_ = true;
        if (ticker_.joinable()) ticker_.join();
        connections_.clear();
    }

private:
    std::vector<std::unique_ptr<RawConnection>> connections_;
    std::atomic<bool> stopping_{false};
    std::thread ticker_;
};

}  // namespace

// ---------------------------------------------------------------------------
// The six exchanges, and packets the server cannot take.

class ServerExchange : public ServerTest {
protected:
    void SetUp() override {
        std::ofstream(dir_ / "demo.pdf", std::ios::binary) << "%PDF-1.4 demo";
        startServer({"--seed", "DEMO=" + (dir_ / "demo.pdf").string(), "--max-packet", "12M"});
    }
};

// The component's side of a conversation: each request and the whole reply it gets.
TEST_F(ServerExchange, EveryRequestGetsItsWholeReply) {
    const std::string doc = randomBytes(300 * 1024 + 7, 1), size = std::to_string(doc.size());
    const std::string gbk = "\xba\xcf\xcd\xac", nul = gbk + std::string("\0x", 2);
    const std::string sig = "\xc7\xa9" + randomBytes(100000, 3);
    Packet ofd = saveFile("R-1", doc);
    ofd.set("FILETYPE", ".OFD");
    Packet second = saveFile("A", randomBytes(70000, 2), "SAVEACCESSORY");
    second.set("FILENAME", "two.bin");
    Packet note = message("SENDMESSAGE", "M");
    note.fields.pop_back();  // the component sends no EXTPARAM with a message
    note.set("COMMENT", std::string("free\0text", 9));
    Packet noOption = message("LOADFILE", "K");
    noOption.fields.erase(noOption.fields.begin() + 1);
    Packet noMarker = saveFile("M", "x");
    noMarker.fields.erase(noMarker.fields.begin());
    const std::string good = encoded(saveFile("M", "0123456789")), bigHead = head(saveFile("M", ""), 9u << 20);
    const std::string ok = "200 DBSTEP=DBSTEP OPTION=", saved = " RESULT=OK STATUS=document saved FILESIZE=";
    const std::string loaded = " RESULT=OK STATUS=document loaded FILENAME=contract.pdf FILETYPE=";
    const std::string malformed = "malformed packet: ";
    const std::string tooLarge = "packet larger than the server limit of 12582912 bytes";
    const std::string fit((12u << 20) - head(saveFile("FIT", ""), 0).size(), 'f');
    const struct {
        std::string request;
        std::string reply;
        const char* path = "/dbstep";
    } steps[] = {
        {encoded(ofd), ok + "SAVEFILE RECORDID=R-1" + saved + size + " VERSION=1"},
        // Packets are accepted on any path; saving again makes a new version.
        {encoded(message("LOADFILE", "R-1")),
         ok + "LOADFILE RECORDID=R-1" + loaded + ".OFD FILESIZE=" + size + " VERSION=1 body=" +
             shown(doc),
         "/app/iWebServer.jsp"},
        {encoded(saveFile("R-1", "second")), ok + "SAVEFILE RECORDID=R-1" + saved + "6 VERSION=2", "/"},
        {encoded(message("LOADFILE", "R-1")),
         ok + "LOADFILE RECORDID=R-1" + loaded + ".PDF FILESIZE=6 VERSION=2 body=second"},
        // An empty document is still a document.
        {encoded(saveFile("E", "")), ok + "SAVEFILE RECORDID=E" + saved + "0 VERSION=1"},
        {encoded(message("LOADFILE", "E")),
         ok + "LOADFILE RECORDID=E" + loaded + ".PDF FILESIZE=0 VERSION=1 body="},
        // Record ids are compared as exact bytes.
        {encoded(saveFile(nul, "nul")), ok + "SAVEFILE RECORDID=" + shown(nul) + saved + "3 VERSION=1"},
        {encoded(saveFile(gbk, "gbk")), ok + "SAVEFILE RECORDID=" + shown(gbk) + saved + "3 VERSION=1"},
        {encoded(saveFile("abc", "lower")), ok + "SAVEFILE RECORDID=abc" + saved + "5 VERSION=1"},
        {encoded(message("LOADFILE", "ABC")), refusal(200, "LOADFILE RECORDID=ABC", "no document for this RECORDID")},
        {encoded(message("LOADFILE", gbk)),
         ok + "LOADFILE RECORDID=" + shown(gbk) + loaded + ".PDF FILESIZE=3 VERSION=1 body=gbk"},
        // Attachments are kept beside the document.
        {encoded(saveFile("A", "attachment one", "SAVEACCESSORY")),
         ok + "SAVEACCESSORY RECORDID=A RESULT=OK STATUS=attachment saved ACCESSORYID=1 FILESIZE=14"},
        {encoded(second),
         ok + "SAVEACCESSORY RECORDID=A RESULT=OK STATUS=attachment saved ACCESSORYID=2 FILESIZE=70000"},
        {encoded(note), ok + "SENDMESSAGE RECORDID=M RESULT=OK STATUS=message received MESSAGEID=1"},
        // Signature data round trips under its exact field name and is replaced.
        {encoded(signature("SAVESIGNATURE", "S", sig)),
         ok + "SAVESIGNATURE RECORDID=S RESULT=OK STATUS=signature saved"},
        {encoded(signature("LOADSIGNATURE", "S")),
         ok + "LOADSIGNATURE RECORDID=S RESULT=OK STATUS=signature loaded Signature=" + shown(sig)},
        {encoded(signature("SAVESIGNATURE", "S", "newer")),
         ok + "SAVESIGNATURE RECORDID=S RESULT=OK STATUS=signature saved"},
        {encoded(signature("LOADSIGNATURE", "S")),
         ok + "LOADSIGNATURE RECORDID=S RESULT=OK STATUS=signature loaded Signature=newer"},
        {encoded(message("LOADFILE", "DEMO")),
         ok + "LOADFILE RECORDID=DEMO RESULT=OK STATUS=document loaded FILENAME=demo.pdf "
         "FILETYPE=.PDF FILESIZE=13 VERSION=1 body=%PDF-1.4 demo"},
        // Application errors answer 200 with the reason; option words are exact.
        {encoded(message("SAVEFILE", "K")), refusal(200, "SAVEFILE RECORDID=K", "no file body")},
        {encoded(saveFile("", "body")), refusal(200, "SAVEFILE RECORDID=", "missing RECORDID")},
        {encoded(signature("SAVESIGNATURE", "K")), refusal(200, "SAVESIGNATURE RECORDID=K", "missing Signature")},
        {encoded(signature("SAVESIGNATURE", "K", "s", "SIGNATURE")),
         refusal(200, "SAVESIGNATURE RECORDID=K", "missing Signature")},
        {encoded(signature("LOADSIGNATURE", "none")),
         refusal(200, "LOADSIGNATURE RECORDID=none", "no signature for this RECORDID")},
        {encoded(message("loadfile", "K")), refusal(200, "loadfile RECORDID=K", "unknown OPTION")},
        {encoded(noOption), refusal(200, " RECORDID=K", "missing OPTION")},
        // What is not a whole packet gets 400; the large ones are refused while the client still sends.
        {encoded(noMarker), refusal(400, "SAVEFILE", "missing DBSTEP field")},
        {"not a packet", refusal(400, "", malformed + "not a DBSTEP packet at byte 0")},
        {"", refusal(400, "", malformed + "packet truncated at byte 0")},
        {good.substr(0, 20), refusal(400, "", malformed + "packet truncated at byte 20")},
        {good.substr(0, good.size() - 3),
         refusal(400, "SAVEFILE", malformed + "packet truncated at byte " + std::to_string(good.size() - 3))},
        {good + "xx", refusal(400, "SAVEFILE",
                              malformed + "bytes after the end of the packet at byte " + std::to_string(good.size()))},
        {std::string(8u << 20, 'j'), refusal(400, "", malformed + "not a DBSTEP packet at byte 0")},
        {good.substr(0, 28) + std::string(8u << 20, 'j'),
         refusal(400, "", malformed + "field name too long at byte 28")},
        {bigHead + std::string(8u << 20, 'b'),
         refusal(400, "SAVEFILE",
                 malformed + "packet truncated at byte " + std::to_string(bigHead.size() + (8u << 20)))},
        // Above the limit: 413, also when only the header says so; exactly at the limit is fine.
        {encoded(saveFile("BIG", std::string((12u << 20) + 1, 'b'))), refusal(413, "", tooLarge)},
        {head(saveFile("LIE", ""), 24u << 20) + "only a little", refusal(413, "", tooLarge)},
        {encoded(saveFile("FIT", fit)),
         ok + "SAVEFILE RECORDID=FIT" + saved + std::to_string(fit.size()) + " VERSION=1"},
        // The server still works, and nothing refused was stored.
        {encoded(message("LOADFILE", "BIG")), refusal(200, "LOADFILE RECORDID=BIG", "no document for this RECORDID")},
        {encoded(message("LOADFILE", "LIE")), refusal(200, "LOADFILE RECORDID=LIE", "no document for this RECORDID")},
        {encoded(message("LOADFILE", "M")), refusal(200, "LOADFILE RECORDID=M", "no document for this RECORDID")},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const Reply r = rawRequest(port(), "127.0.0.1", httpPost(steps[i].request, true, steps[i].path));
        EXPECT_EQ(describe(r), steps[i].reply) << "step " << i;
        EXPECT_EQ(r.contentType, "application/x-dbstep") << "step " << i;
    }
    // No Content-Length: the server can only judge the size while reading.
    const std::string chunked = encoded(saveFile("CHUNKED", std::string(24u << 20, 'c')));
    char chunkSize[24];
    std::snprintf(chunkSize, sizeof chunkSize, "%zx\r\n", chunked.size());
    const std::string request = "POST /dbstep HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                "Transfer-Encoding: chunked\r\n\r\n" +
                                std::string(chunkSize) + chunked + "\r\n0\r\n\r\n";
    EXPECT_EQ(describe(rawRequest(port(), "127.0.0.1", request)), refusal(413, "", tooLarge));
    EXPECT_EQ(load("CHUNKED"), "");
    // Refused without reading the body: the 50 MB announced are never sent.
    EXPECT_EQ(describe(rawRequest(port(), "127.0.0.1",
                                  "POST /dbstep HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 50000000\r\n"
                                  "Expect: 100-continue\r\n\r\n")),
              refusal(413, "", tooLarge));
    // R-1, E, three records, FIT, two attachments and the seeded document: the replaced body went.
    EXPECT_EQ(bodyFiles(dir_).size(), 9u);
    EXPECT_EQ(query(dir_, "SELECT filename FROM attachments WHERE recordid = CAST('A' AS BLOB) ORDER BY id"),
              (std::vector<std::string>{"contract.pdf", "two.bin"}));
    const auto bodies = query(dir_, "SELECT body FROM attachments ORDER BY id");
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(readFile(dir_ / "store.db.blobs" / bodies[0]), "attachment one");
    EXPECT_TRUE(readFile(dir_ / "store.db.blobs" / bodies[1]) == second.body);
    // A message is stored with the fields as sent, in their order.
    const auto stored = query(dir_, "SELECT fields FROM messages");
    ASSERT_EQ(stored.size(), 1u);
    Packet kept;
    ASSERT_TRUE(dbstep::decode(stored[0], kAny, kept).ok());
    EXPECT_TRUE(encoded(kept) == encoded(note));

    // The port is announced, and each request logs one line as it finishes. A line is written after its reply
    // is sent, so the next request's line may come first: lines are found by what they say, not by position.
    const std::string address = "http://127.0.0.1:" + std::to_string(port()) + "/";
    EXPECT_NE(readFile(dir_ / "stdout.log").find(address), std::string::npos);
    server_->signal(SIGTERM);
    server_->wait();
    std::istringstream log(readFile(dir_ / "server.log"));
    std::vector<std::string> lines;
    for (std::string l; std::getline(log, l);)
        if (l.find(" POST /") != std::string::npos) lines.push_back(l);
    ASSERT_EQ(lines.size(), std::size(steps) + 3) << "and the three raw requests";
    const auto logged = [&](std::initializer_list<const char*> parts) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return std::all_of(parts.begin(), parts.end(), [&](const char* p) { return l.find(p) != l.npos; });
        });
    };
    EXPECT_EQ(logged({"POST /dbstep 200 option=\"SAVEFILE\" recordid=\"R-1\" in="}), 1);
    EXPECT_EQ(logged({"POST /app/iWebServer.jsp 200 option=\"LOADFILE\" recordid=\"R-1\" in=", " result=\"OK\""}), 1);
    EXPECT_EQ(logged({" 400 option=\"\" recordid=\"\" in=12 ", "not a DBSTEP packet"}), 1);
}

// ---------------------------------------------------------------------------
// Crashes and restarts.

class ServerDurability : public ServerTest {
protected:
    // Sends a SAVEFILE whose body is `doc`; once `killAfter` body bytes are
    // out and the server has begun writing them, the server is SIGKILLed.
    // Mid-body, the store's file must have begun to fill: bodies are not held whole in memory.
    void uploadAndKill(const std::string& recordId, const std::string& doc, std::size_t killAfter) {
        const std::string packetHead = head(saveFile(recordId, ""), doc.size());
        const auto known = bodyFiles(dir_);
        auto receiving = [&] {
            for (auto& f : bodyFiles(dir_)) {
                std::error_code ec;
                if (std::find(known.begin(), known.end(), f) == known.end() && fs::file_size(f, ec) > 0)
                    return true;
            }
            return false;
        };
        RawConnection c(port());
        ASSERT_TRUE(c.send(httpPost(packetHead + doc, false) + packetHead + doc.substr(0, killAfter)));
        // Mid-body: crash only once the server is writing it out (a bound for a loaded machine).
        for (int i = 0; killAfter < doc.size() && i < 4000 && !receiving(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(killAfter == doc.size() || receiving()) << "nothing of the body written yet";
        server_->killHard();
    }
};

// Also: bad command lines and a second server on the same store are refused, and SIGTERM ends the server cleanly.
TEST_F(ServerDurability, KillDuringOrAtTheEndOfAnUploadKeepsCommittedDataWhole) {
    for (std::vector<std::string> bad :
         {std::vector<std::string>{"--max-packet", "lots"}, {"--port", "70000"}, {"--seed", "noequals"},
          {"--unknown"}}) {
        const fs::path other = dir_ / bad[0];  // a store of its own
        fs::create_directory(other);
        ServerProcess p(other, bad);
        EXPECT_FALSE(p.start()) << bad[0];
        EXPECT_EQ(WEXITSTATUS(p.exitStatus()), 2) << bad[0];
    }
    const std::string v1 = randomBytes(1u << 20, 7);
    ASSERT_TRUE(done(saveFile("KEEP", v1)));
    ServerProcess second(dir_);
    EXPECT_FALSE(second.start());
    EXPECT_TRUE(WIFEXITED(second.exitStatus()));
    EXPECT_EQ(WEXITSTATUS(second.exitStatus()), 1);
    ASSERT_TRUE(done(signature("SAVESIGNATURE", "KEEP", "signed"))) << "the first still serves";
    server_->signal(SIGTERM);
    EXPECT_EQ(server_->wait(), 0);
    restart();
    uploadAndKill("KEEP", randomBytes(32u << 20, 8), 8u << 20);
    restart();
    EXPECT_EQ(describe(post(port(), message("LOADFILE", "KEEP"))),
              "200 DBSTEP=DBSTEP OPTION=LOADFILE RECORDID=KEEP RESULT=OK STATUS=document loaded FILENAME=contract.pdf "
              "FILETYPE=.PDF FILESIZE=1048576 VERSION=1 body=" + shown(v1));
    EXPECT_EQ(post(port(), signature("LOADSIGNATURE", "KEEP")).packet.get("Signature"), "signed");

    uploadAndKill("NEW", randomBytes(32u << 20, 9), 4u << 20);
    restart();
    EXPECT_FALSE(done(message("LOADFILE", "NEW")));
    EXPECT_TRUE(load("KEEP") == v1);

    // Killed after the last byte: the old version or the new one, whole.
    const std::string v2 = randomBytes(3u << 20, 11);
    uploadAndKill("KEEP", v2, v2.size());
    restart();
    Reply r = post(port(), message("LOADFILE", "KEEP"));
    ASSERT_EQ(r.packet.get("RESULT"), "OK");
    const bool old = r.packet.body == v1 && r.packet.get("VERSION") == "1";
    const bool fresh = r.packet.body == v2 && r.packet.get("VERSION") == "2";
    EXPECT_TRUE(old || fresh) << "body of " << r.packet.body.size() << " bytes";

    // The partial bodies are gone and the database is sound.
    EXPECT_EQ(bodyFiles(dir_).size(), 1u);
    EXPECT_EQ(query(dir_, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

// ---------------------------------------------------------------------------
// Slow and stalled clients.

// Slow clients cannot lock uploads out (workers are added as needed): see ConnectionsOverTheBounds.
TEST_F(ServerTest, EightLargeUploadsAtOnceAreAllKept) {
    std::vector<std::string> docs;
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i) docs.push_back(randomBytes(16u << 20, 100 + i));
    for (int i = 0; i < 8; ++i)
        clients.emplace_back([&, i] { EXPECT_TRUE(done(saveFile("C" + std::to_string(i), docs[i]))) << i; });
    for (auto& t : clients) t.join();
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(load("C" + std::to_string(i)) == docs[i]) << i;
}

// Bounds are checked from before the connections are made, so a slow machine cannot make them fail:
// a client is cut off no sooner than the 2 s grace and no later than three times it.
TEST_F(ServerTest, StalledAndTricklingClientsAreCutOffWhileASteadySlowUploadSucceeds) {
    restart({"--request-timeout", "2", "--min-rate", "16K"});
    const auto start = std::chrono::steady_clock::now();
    // 64 KB/s for 10 s: five times the grace period, well above the minimum rate.
    const std::string doc = randomBytes(640u << 10, 12);
    const std::string bytes = encoded(saveFile("STEADY", doc));
    std::thread steady([&] {
        RawConnection c(port());
        EXPECT_TRUE(c.send(httpPost(bytes, false)));
        // 16 KB every quarter second.
        for (std::size_t offset = 0; offset < bytes.size(); offset += 16u << 10) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(250) * (offset / (16u << 10)));
            EXPECT_TRUE(c.send(bytes.substr(offset, 16u << 10))) << offset;
        }
        EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::seconds(9));
        bool closed = false;
        EXPECT_EQ(describe(parseAnswer(c.readAll(std::chrono::seconds(30), closed))),
                  "200 DBSTEP=DBSTEP OPTION=SAVEFILE RECORDID=STEADY RESULT=OK STATUS=document saved FILESIZE=655360 "
                  "VERSION=1");
    });
    SlowClients slow(port());
    const char* names[] = {"stalled body", "trickling body", "stalled head", "trickling head"};
    std::vector<std::string> answers(4);
    std::vector<bool> closed(4);
    std::vector<std::chrono::steady_clock::duration> after(4);
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < 4; ++i)
        readers.emplace_back([&, i] {
            bool c = false;
            answers[i] = slow.at(i).readAll(std::chrono::seconds(20), c);
            closed[i] = c;
            after[i] = std::chrono::steady_clock::now() - start;
        });
    for (auto& t : readers) t.join();
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(closed[i]) << names[i];
        EXPECT_GE(after[i], std::chrono::seconds(2)) << names[i];
        EXPECT_LT(after[i], std::chrono::seconds(6)) << names[i];
        // A client cut off mid-body is told why.
        if (i < 2)
            EXPECT_EQ(describe(parseAnswer(answers[i])), refusal(408, "", "request body not received in time"))
                << names[i];
    }
    slow.stop();
    steady.join();
    EXPECT_TRUE(load("STEADY") == doc);
    // A connection is closed after its log line is written.
    EXPECT_NE(readFile(dir_ / "server.log").find(" 408 "), std::string::npos);
    EXPECT_EQ(bodyFiles(dir_).size(), 1u) << "only the steady upload's";
}

// One connection more than a bound allows, each with a request begun: whichever the server takes last is refused
// at once, the others wait for their bodies (600 s). So the one answer is the refusal, whatever the order; a
// probe sent before the held connections are all taken could itself take a place and is not used.
TEST_F(ServerTest, ConnectionsOverTheBoundsAreRefusedClearly) {
    struct Case {
        std::vector<std::string> flags;
        std::vector<const char*> held;  // addresses of the connections opened at once
        std::string refusal;
        const char* servedFrom;  // another address still served ("" when none)
    };
    const std::vector<Case> cases = {
        {{"--max-per-address", "3"},
         {"127.0.0.1", "127.0.0.1", "127.0.0.1", "127.0.0.1"},
         "too many connections from 127.0.0.1 (at most 3)",
         "127.0.0.2"},
        {{"--threads", "2", "--max-connections", "4"},
         {"127.0.0.2", "127.0.0.2", "127.0.0.3", "127.0.0.3", "127.0.0.1"},
         "server busy: 4 connections open",
         ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> flags = c.flags;
        flags.insert(flags.end(), {"--request-timeout", "600"});
        restart(flags);
        std::vector<std::unique_ptr<RawConnection>> held;
        for (const char* from : c.held) {
            held.push_back(std::make_unique<RawConnection>(port(), from));
            ASSERT_TRUE(held.back()->ok());
            ASSERT_TRUE(held.back()->send(httpPost(std::string(1000, 'h'), false)));
        }
        // Up to 30 s for the refusal: a bound for a loaded machine, the usual wait is milliseconds.
        std::string answer;
        bool closed = false;
        std::size_t refused = 0;
        for (int i = 0; i < 3000 && answer.empty(); ++i) {
            refused = static_cast<std::size_t>(i) % held.size();
            answer = held[refused]->readAll(std::chrono::milliseconds(10), closed);
        }
        if (!closed) answer += held[refused]->readAll(std::chrono::seconds(30), closed);
        EXPECT_EQ(describe(parseAnswer(answer)), refusal(503, "", c.refusal));
        EXPECT_NE(readFile(dir_ / "server.log").find("503 refused=\"" + c.refusal), std::string::npos);
        held.erase(held.begin() + static_cast<std::ptrdiff_t>(refused));
        if (*c.servedFrom) {
            EXPECT_EQ(post(port(), saveFile("OTHER", "x"), c.servedFrom).packet.get("RESULT"), "OK");
        }
        // Once a held connection goes, its place is free again (as soon as the server sees it closed; a request
        // refused meanwhile takes no place).
        held.pop_back();
        Reply served;
        for (int i = 0; i < 600 && served.status != 200; ++i) {
            if (i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            served = post(port(), saveFile("AFTER", "x"), c.held.back());
        }
        EXPECT_EQ(served.packet.get("RESULT"), "OK") << c.refusal;
        held.clear();
    }
}
