// An httplib server whose connections cannot be held hostage by slow clients.
//
// httplib gives each connection a worker for its whole life, and its read
// timeout applies to each read: a client that sends one byte now and then
// keeps a worker forever, and as many such clients as workers shut everybody
// else out. Here
// - every request (head and body) must arrive at a minimum average rate after
//   a grace period, and every response must leave at that rate, so a stalled
//   or trickling client loses its connection in bounded time;
// - workers are added on demand up to a bound on open connections, so slow
//   clients occupy their own workers, not everyone's;
// - one client address may hold only so many connections, and a connection
//   over either bound is answered with a refusal the client can read.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace folium {

struct ConnectionRules {
    std::size_t readyWorkers = 16;    // started at once
    std::size_t maxConnections = 256; // open connections (and workers) at most
    std::size_t maxPerAddress = 32;   // open connections of one client address at most
    // A request may take this long plus one second per minRate bytes moved.
    std::chrono::milliseconds grace{10000};
    std::uint64_t minRate = 16u << 10;  // bytes per second
    // Longest wait for any single byte, whatever the rate allowance.
    std::chrono::milliseconds idle{30000};
};

class GuardedServer : public httplib::Server {
public:
    // Says why a connection was refused: gives the body of the 503 reply
    // (sent as "application/x-dbstep") and is the place to log it.
    using RefusalReply = std::function<std::string(const std::string& address, int port, const std::string& reason)>;

    GuardedServer(const ConnectionRules& rules, RefusalReply refusal);

    // True when the request being handled on this thread stopped receiving
    // because its client was too slow (its time ran out).
    static bool requestTimedOut();

private:
    bool process_and_close_socket(socket_t sock) override;

    // Counts the connection in; "" when admitted, else the reason for refusing.
    std::string admit(const std::string& address);
    void release(const std::string& address);
    void refuse(socket_t sock, const std::string& address, int port, const std::string& reason);

    ConnectionRules rules_;
    RefusalReply refusal_;
    std::mutex mutex_;
    std::map<std::string, std::size_t> perAddress_;
    std::size_t open_ = 0;
};

}  // namespace folium
