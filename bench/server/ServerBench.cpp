// folium-server throughput: a native client exchanging DBSTEP SAVEFILE and
// LOADFILE packets, against curl moving the same bytes over loopback to the
// same server (POST of the same packet, GET of the stored document).
//
//   server_bench [--sizes 1,32] [--rounds N] [--server PATH] [--keep]
//
// Starts its own server on a free port with a database in a fresh temporary
// folder. Throughput counts document bytes per second of wall time.
#include "dbstep/DbstepPacket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const dbstep::Limits kAny{UINT64_MAX, UINT32_MAX};

std::string randomBytes(std::size_t n) {
    std::mt19937_64 rng(42);
    std::string s(n, '\0');
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        std::uint64_t v = rng();
        std::memcpy(&s[i], &v, 8);
    }
    return s;
}

dbstep::Packet message(const std::string& option, const std::string& recordId) {
    dbstep::Packet p;
    p.set("DBSTEP", "DBSTEP");
    p.set("OPTION", option);
    p.set("FILETYPE", ".PDF");
    p.set("USERNAME", "bench");
    p.set("RECORDID", recordId);
    p.set("FILENAME", "bench.pdf");
    p.set("EXTPARAM", "");
    return p;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs curl and returns its own transfer time (time_total), or -1.
double curlTime(const std::string& args) {
    const std::string cmd = "curl -s -S -o /dev/null -w '%{http_code} %{time_total}' -H 'Expect:' " + args;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    int code = 0;
    double t = -1;
    if (std::fscanf(p, "%d %lf", &code, &t) != 2) t = -1;
    ::pclose(p);
    return code == 200 ? t : -1;
}

void row(const char* what, std::size_t docBytes, int rounds, double totalSeconds) {
    if (totalSeconds <= 0) {
        std::printf("  %-44s failed\n", what);
        return;
    }
    const double mb = static_cast<double>(docBytes) * rounds / (1024.0 * 1024.0);
    std::printf("  %-44s %9.1f MB/s  (%.2f ms per transfer)\n", what, mb / totalSeconds,
                1000.0 * totalSeconds / rounds);
}

// Minimal HTTP/1.1 client on one keep-alive connection, reading with large
// buffers: measures the server rather than a client library's 4 KB reads.
class RawClient {
public:
    explicit RawClient(int port) : port_(port), buf_(1u << 20) {}
    ~RawClient() {
        if (fd_ >= 0) ::close(fd_);
    }

    // POSTs `parts` (joined) and streams the reply body to `onBody`.
    // Returns the HTTP status, or -1.
    template <class F>
    int post(const std::string& path, const std::vector<std::string_view>& parts, F&& onBody) {
        if (fd_ < 0 && !connectNow()) return -1;
        std::size_t length = 0;
        for (auto p : parts) length += p.size();
        const std::string head = "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                 "application/x-dbstep\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
        if (!sendAll(head) ) return -1;
        for (auto p : parts)
            if (!sendAll(p)) return -1;
        // Response head.
        std::string text;
        std::size_t end;
        while ((end = text.find("\r\n\r\n")) == std::string::npos) {
            ssize_t n = ::recv(fd_, buf_.data(), buf_.size(), 0);
            if (n <= 0) return -1;
            text.append(buf_.data(), static_cast<std::size_t>(n));
        }
        const int status = std::atoi(text.c_str() + 9);
        const auto cl = text.find("Content-Length: ");
        if (cl == std::string::npos || cl > end) return -1;
        std::uint64_t left = std::stoull(text.substr(cl + 16));
        std::string_view already(text.data() + end + 4, text.size() - end - 4);
        if (already.size() > left) return -1;
        if (!already.empty() && !onBody(already.data(), already.size())) return -1;
        left -= already.size();
        while (left > 0) {
            ssize_t n = ::recv(fd_, buf_.data(), std::min<std::uint64_t>(buf_.size(), left), 0);
            if (n <= 0) return -1;
            if (!onBody(buf_.data(), static_cast<std::size_t>(n))) return -1;
            left -= static_cast<std::uint64_t>(n);
        }
        return status;
    }

private:
    bool connectNow() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    bool sendAll(std::string_view d) {
        while (!d.empty()) {
            ssize_t n = ::send(fd_, d.data(), d.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            d.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    int port_;
    int fd_ = -1;
    std::vector<char> buf_;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizesMb = {1, 32};
    int roundsArg = 0;
    std::string serverBin = FOLIUM_SERVER_BIN;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--sizes" && i + 1 < argc) {
            sizesMb.clear();
            std::string list = argv[++i];
            for (std::size_t pos = 0; pos < list.size();) {
                std::size_t comma = list.find(',', pos);
                sizesMb.push_back(std::stoul(list.substr(pos, comma - pos)));
                pos = comma == std::string::npos ? list.size() : comma + 1;
            }
        } else if (a == "--rounds" && i + 1 < argc) {
            roundsArg = std::atoi(argv[++i]);
        } else if (a == "--server" && i + 1 < argc) {
            serverBin = argv[++i];
        } else if (a == "--keep") {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: server_bench [--sizes 1,32] [--rounds N] [--server PATH] [--keep]\n");
            return 2;
        }
    }

    char tmpl[] = "/tmp/folium-bench-XXXXXX";
    const fs::path dir = ::mkdtemp(tmpl);
    const fs::path portFile = dir / "port";
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The access log would cost the server a write per request: drop it.
        std::freopen("/dev/null", "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        ::execl(serverBin.c_str(), serverBin.c_str(), "--db", (dir / "bench.db").c_str(), "--port", "0",
                "--port-file", portFile.c_str(), "--max-packet", "1G", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int port = 0;
    for (int i = 0; i < 1000 && port == 0; ++i) {
        std::ifstream in(portFile);
        if (!(in >> port)) port = 0;
        if (port == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (port == 0) {
        std::fprintf(stderr, "server did not start\n");
        return 1;
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port);
    std::printf("folium-server at %s, store in %s\n", url.c_str(), dir.c_str());


    int status = 0;
    for (std::size_t mb : sizesMb) {
        const std::size_t size = mb << 20;
        const int rounds = roundsArg > 0 ? roundsArg : (mb <= 4 ? 40 : 10);
        const std::string id = "BENCH-" + std::to_string(mb);
        const std::string doc = randomBytes(size);
        std::printf("\n%zu MB document, %d rounds each (native and curl rounds alternate)\n", mb, rounds);

        std::string saveHead;
        dbstep::encodeHead(message("SAVEFILE", id).fields, true, doc.size(), kAny, saveHead);
        std::string loadPacket;
        dbstep::encode(message("LOADFILE", id), kAny, loadPacket);
        {
            std::ofstream(dir / "save.pkt", std::ios::binary) << saveHead << doc;
            std::ofstream(dir / "load.pkt", std::ios::binary) << loadPacket;
        }
        const std::string type = "-H 'Content-Type: application/x-dbstep' --data-binary @";
        const std::string curlSave = type + (dir / "save.pkt").string() + " " + url + "/dbstep";
        const std::string curlLoad = type + (dir / "load.pkt").string() + " " + url + "/dbstep";
        const std::string curlGet = url + "/documents/" + id;

        // Native SAVEFILE: head encoded, then head and body sent as they
        // are (the message server sends a file after the head), reply decoded.
        RawClient raw(port);
        auto nativeSave = [&]() -> double {
            const auto t0 = Clock::now();
            std::string head;
            dbstep::encodeHead(message("SAVEFILE", id).fields, true, doc.size(), kAny, head);
            std::string replyBytes;
            const int code = raw.post("/dbstep", {head, doc}, [&](const char* d, std::size_t n) {
                replyBytes.append(d, n);
                return true;
            });
            dbstep::Packet reply;
            if (code != 200 || !dbstep::decode(replyBytes, kAny, reply).ok() || reply.get("RESULT") != "OK")
                return -1;
            return seconds(Clock::now() - t0);
        };

        // Native LOADFILE: the reply streams through the incremental decoder
        // into one buffer, as the message server streams it into a file (the
        // buffer is reused, like a file's pages in the cache).
        std::string body;
        auto nativeLoad = [&]() -> double {
            const auto t0 = Clock::now();
            dbstep::StreamDecoder decoder(kAny);
            body.clear();
            body.reserve(size);
            std::string packet;
            dbstep::encode(message("LOADFILE", id), kAny, packet);
            const int code = raw.post("/dbstep", {packet}, [&](const char* d, std::size_t n) {
                return decoder.feed(d, n, [&](const char* b, std::size_t k) {
                           body.append(b, k);
                           return true;
                       }).ok();
            });
            if (code != 200 || !decoder.finish().ok() || body.size() != size) return -1;
            return seconds(Clock::now() - t0);
        };

        if (nativeSave() < 0) {
            std::fprintf(stderr, "SAVEFILE failed\n");
            status = 1;
            break;
        }
        // Loads first: the saves' disk write-back would disturb them.
        double tLoad = 0, tCurlLoad = 0, tCurlGet = 0, tSave = 0, tCurlSave = 0;
        auto add = [](double& sum, double t) { sum = (sum < 0 || t < 0) ? -1 : sum + t; };
        for (int r = 0; r < rounds; ++r) {
            add(tLoad, nativeLoad());
            add(tCurlLoad, curlTime(curlLoad));
            add(tCurlGet, curlTime(curlGet));
        }
        for (int r = 0; r < rounds; ++r) {
            add(tSave, nativeSave());
            add(tCurlSave, curlTime(curlSave));
        }
        row("native LOADFILE (packet POST, reply decoded)", size, rounds, tLoad);
        row("curl POST of the LOADFILE packet", size, rounds, tCurlLoad);
        row("curl GET of the stored document", size, rounds, tCurlGet);
        row("native SAVEFILE (packet POST, stored)", size, rounds, tSave);
        row("curl POST of the same SAVEFILE packet", size, rounds, tCurlSave);
        if (tLoad > 0 && tCurlGet > 0 && tSave > 0 && tCurlSave > 0)
            std::printf("  ratio to curl: LOADFILE %.2f of curl GET, SAVEFILE %.2f of curl POST\n",
                        tCurlGet / tLoad, tCurlSave / tSave);
        if (tLoad < 0 || tSave < 0) status = 1;
        fs::remove(dir / "save.pkt");
        fs::remove(dir / "load.pkt");
    }

    // Eight clients uploading at once, each on its own connection.
    {
        constexpr int kClients = 8;
        const std::size_t size = 32u << 20;
        const std::string doc = randomBytes(size);
        std::vector<std::thread> threads;
        std::vector<int> codes(kClients, 0);
        const auto t0 = Clock::now();
        for (int c = 0; c < kClients; ++c)
            threads.emplace_back([&, c] {
                RawClient raw(port);
                std::string head;
                dbstep::encodeHead(message("SAVEFILE", "PAR-" + std::to_string(c)).fields, true, size,
                                   kAny, head);
                codes[c] = raw.post("/dbstep", {head, doc}, [](const char*, std::size_t) { return true; });
            });
        for (auto& t : threads) t.join();
        const double t = seconds(Clock::now() - t0);
        long peakKb = -1;
        std::ifstream st("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(st, line);)
            if (line.rfind("VmHWM:", 0) == 0) peakKb = std::stol(line.substr(6));
        const bool ok = std::all_of(codes.begin(), codes.end(), [](int c) { return c == 200; });
        // Target: bodies stream to the store, so the peak stays far below 8 x 32 MB.
        std::printf("\n8 clients uploading 32 MB each at once: %s, %.1f MB/s together, %.0f ms; "
                    "server peak RSS %ld kB (target: under 48 MB, %s)\n",
                    ok ? "all stored" : "FAILED", 8.0 * 32 / t, t * 1000, peakKb,
                    peakKb > 0 && peakKb < 48 * 1024 ? "met" : "NOT met");
        if (!ok) status = 1;
    }

    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    if (!keep) fs::remove_all(dir);
    return status;
}
