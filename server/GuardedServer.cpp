#include "GuardedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <thread>
#include <vector>

namespace folium {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for the socket to become readable or writable until `limit`.
// False when the time ran out or poll failed.
bool waitUntil(int sock, short events, Clock::time_point limit) {
    for (;;) {
        const auto now = Clock::now();
        if (now >= limit) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - now).count() + 1;
        pollfd p{sock, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 60000)));
        if (r > 0) return true;  // errors and hang-ups are reported by the call that follows
        if (r < 0 && errno != EINTR) return false;
    }
}

bool addressOf(const sockaddr_storage& ss, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (ss.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(ss);
        ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
        port = ntohs(a.sin_port);
    } else if (ss.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(ss);
        ::inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
        port = ntohs(a.sin6_port);
    } else {
        return false;
    }
    ip = text;
    return true;
}

// The connection as httplib reads and writes it, with the time rules of
// ConnectionRules. Reads are buffered: httplib reads request heads one byte
// at a time.
class GuardedStream final : public httplib::Stream {
public:
    GuardedStream(int sock, const ConnectionRules& rules) : sock_(sock), rules_(rules), buffer_(64u << 10) {}

    // Waits up to `wait` for the next request to begin; false when none came
    // or `stopping` became true.
    template <class Stop>
    bool awaitRequest(std::chrono::milliseconds wait, Stop stopping) {
        if (pos_ < len_) return true;
        const auto end = Clock::now() + wait;
        while (!stopping()) {
            const auto slice = std::min(end, Clock::now() + std::chrono::milliseconds(100));
            if (waitUntil(sock_, POLLIN, slice)) return true;
            if (Clock::now() >= end) return false;
        }
        return false;
    }

    void beginRequest() {
        start_ = lastProgress_ = Clock::now();
        moved_ = 0;
        timedOut_ = false;
        writeFloor_ = {};
    }

    bool timedOut() const { return timedOut_; }

    bool is_readable() const override { return pos_ < len_ || wait(POLLIN); }
    bool is_writable() const override { return wait(POLLOUT); }

    ssize_t read(char* ptr, size_t size) override {
        while (pos_ == len_) {
            if (!wait(POLLIN)) return -1;
            const ssize_t n = ::recv(sock_, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (n <= 0) return n;
            pos_ = 0;
            len_ = static_cast<std::size_t>(n);
        }
        const std::size_t n = std::min(size, len_ - pos_);
        std::memcpy(ptr, buffer_.data() + pos_, n);
        pos_ += n;
        progress(n);
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        for (;;) {
            if (!wait(POLLOUT)) return -1;
            const ssize_t n = ::send(sock_, ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (n > 0) progress(static_cast<std::size_t>(n));
            return n;
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        if (::getpeername(sock_, reinterpret_cast<sockaddr*>(&ss), &len) == 0) addressOf(ss, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        if (::getsockname(sock_, reinterpret_cast<sockaddr*>(&ss), &len) == 0) addressOf(ss, ip, port);
    }
    socket_t socket() const override { return sock_; }

private:
    void progress(std::size_t n) {
        moved_ += n;
        lastProgress_ = Clock::now();
    }

    // The request's time: the grace period plus what the bytes moved so far
    // have earned at the minimum rate.
    Clock::time_point deadline() const {
        const auto earned = std::chrono::microseconds(
            static_cast<long long>(static_cast<double>(moved_) * 1e6 / static_cast<double>(rules_.minRate)));
        return std::max(start_ + rules_.grace + earned, writeFloor_);
    }

    bool wait(short events) const {
        const auto limit = std::min(deadline(), lastProgress_ + rules_.idle);
        if (waitUntil(sock_, events, limit)) return true;
        if (!timedOut_) {
            timedOut_ = true;
            // Time to tell the client why; it may not be reading.
            writeFloor_ = Clock::now() + std::chrono::seconds(2);
        }
        return false;
    }

    int sock_;
    const ConnectionRules& rules_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0, len_ = 0;
    Clock::time_point start_ = Clock::now(), lastProgress_ = start_;
    mutable Clock::time_point writeFloor_{};
    std::uint64_t moved_ = 0;
    mutable bool timedOut_ = false;
};

thread_local const GuardedStream* tStream = nullptr;

// Workers are started on demand up to a bound; a slow connection holds only
// its own. Workers stay once started (idle ones cost a sleeping thread).
class ElasticPool final : public httplib::TaskQueue {
public:
    ElasticPool(std::size_t ready, std::size_t max) : max_(std::max(max, ready)) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < ready; ++i) spawn();
    }
    ~ElasticPool() override { shutdown(); }

    void enqueue(std::function<void()> fn) override {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(fn));
        if (jobs_.size() > idle_ && threads_.size() < max_) spawn();
        wake_.notify_one();
    }

    void shutdown() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopped_) return;
            stopped_ = true;
        }
        wake_.notify_all();
        for (auto& t : threads_) t.join();
    }

private:
    void spawn() { threads_.emplace_back([this] { run(); }); }

    void run() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ++idle_;
                wake_.wait(lock, [this] { return stopped_ || !jobs_.empty(); });
                --idle_;
                // Jobs still queued at shutdown are run: they own sockets.
                if (jobs_.empty()) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }

    const std::size_t max_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool stopped_ = false;
};

// Room for refusing connections over the bound while every admitted one is busy.
constexpr std::size_t kRefusalWorkers = 16;

}  // namespace

GuardedServer::GuardedServer(const ConnectionRules& rules, RefusalReply refusal)
    : rules_(rules), refusal_(std::move(refusal)) {
    rules_.minRate = std::max<std::uint64_t>(rules_.minRate, 1);
    new_task_queue = [this] {
        return new ElasticPool(rules_.readyWorkers, rules_.maxConnections + kRefusalWorkers);
    };
}

bool GuardedServer::requestTimedOut() { return tStream && tStream->timedOut(); }

std::string GuardedServer::admit(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_ >= rules_.maxConnections)
        return "server busy: " + std::to_string(rules_.maxConnections) + " connections open";
    std::size_t& mine = perAddress_[address];
    if (mine >= rules_.maxPerAddress)
        return "too many connections from " + address + " (at most " + std::to_string(rules_.maxPerAddress) + ")";
    ++mine;
    ++open_;
    return {};
}

void GuardedServer::release(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    --open_;
    auto it = perAddress_.find(address);
    if (it != perAddress_.end() && --it->second == 0) perAddress_.erase(it);
}

// Answers 503 with the reason. The client's request is read first (briefly)
// so that it is not cut off while still writing and gets to read the answer.
void GuardedServer::refuse(socket_t sock, const std::string& address, int port, const std::string& reason) {
    const std::string body = refusal_ ? refusal_(address, port, reason) : reason;
    const std::string reply = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/x-dbstep\r\n"
                              "Content-Length: " + std::to_string(body.size()) +
                              "\r\nConnection: close\r\nRetry-After: 1\r\n\r\n" + body;
    char sink[16384];
    auto drain = [&](std::chrono::milliseconds within, bool untilFirstPiece) {
        const auto end = Clock::now() + within;
        std::size_t total = 0;
        while (total < (1u << 20) && waitUntil(sock, POLLIN, end)) {
            const ssize_t n = ::recv(sock, sink, sizeof sink, MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (n <= 0) return;
            total += static_cast<std::size_t>(n);
            if (untilFirstPiece) return;
        }
    };
    drain(std::chrono::milliseconds(1000), true);
    const auto end = Clock::now() + std::chrono::seconds(2);
    std::size_t sent = 0;
    while (sent < reply.size() && waitUntil(sock, POLLOUT, end)) {
        const ssize_t n = ::send(sock, reply.data() + sent, reply.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(sock, SHUT_WR);
    drain(std::chrono::milliseconds(250), false);
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
    std::string address;
    int port = 0;
    {
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        if (::getpeername(sock, reinterpret_cast<sockaddr*>(&ss), &len) != 0 || !addressOf(ss, address, port))
            address = "?";
    }
    bool ret = false;
    const std::string refusal = admit(address);
    if (!refusal.empty()) {
        refuse(sock, address, port, refusal);
    } else {
        GuardedStream stream(sock, rules_);
        tStream = &stream;
        const auto keepAlive = std::chrono::seconds(keep_alive_timeout_sec_);
        for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
            if (!stream.awaitRequest(keepAlive, [this] { return svr_sock_ == INVALID_SOCKET; })) break;
            stream.beginRequest();
            bool closed = false;
            ret = process_request(stream, left == 1, closed, nullptr);
            // After a timeout the rest of that request may still come: it
            // cannot be told from the next one.
            if (!ret || closed || stream.timedOut()) break;
        }
        tStream = nullptr;
        release(address);
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ret;
}

}  // namespace folium
