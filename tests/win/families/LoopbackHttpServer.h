// A small HTTP/1.1 server on 127.0.0.1 inside the test process, for the members that
// download or upload through the reader.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Answers each request from a table of paths (404 for any other) and records what it
// received, until it goes: closing the listener ends the waiting accept.
class LoopbackHttpServer {
public:
    struct Request {
        std::string path, headers, body;
    };

    LoopbackHttpServer() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0 ||
            (listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) == INVALID_SOCKET)
            return;
        sockaddr_in addr = {};  // port 0: the system picks a free one
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof(addr);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(listener_, 8) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackHttpServer() {
        stop_ = true;
        if (listener_ != INVALID_SOCKET) closesocket(listener_);
        if (thread_.joinable()) thread_.join();
    }
    bool Running() const { return port_ != 0; }
    std::wstring Url(const std::string& path) const {
        return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
    }
    void Answer(const std::string& path, int status, const std::string& body) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_[path] = {status, body};
    }
    std::vector<Request> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void Serve() {
        while (!stop_) {
            SOCKET s = accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET) continue;  // the listener closed, or a client gave up
            Handle(s);
            closesocket(s);
        }
    }
    void Handle(SOCKET s) {
        std::string data;
        char buf[65536];
        // Reads until the headers and the body their Content-Length announces are in.
        size_t headerEnd = std::string::npos, need = std::string::npos;
        while (data.size() < need) {
            int n = recv(s, buf, sizeof(buf), 0);
            if (n <= 0 || data.size() > (64u << 20)) return;
            data.append(buf, n);
            if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
                std::string head = data.substr(0, headerEnd);
                std::transform(head.begin(), head.end(), head.begin(), ::tolower);
                size_t cl = head.find("content-length:");
                need = headerEnd + 4 + (cl == std::string::npos ? 0 : std::stoul(head.substr(cl + 15)));
            }
        }
        const size_t sp1 = data.find(' '), sp2 = data.find(' ', sp1 + 1);
        const Request r{data.substr(sp1 + 1, sp2 - sp1 - 1), data.substr(0, headerEnd), data.substr(headerEnd + 4)};
        std::pair<int, std::string> reply{404, ""};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(r);
            auto it = replies_.find(r.path);
            if (it != replies_.end()) reply = it->second;
        }
        std::string out = "HTTP/1.1 " + std::to_string(reply.first) + " X\r\nContent-Length: " +
                          std::to_string(reply.second.size()) + "\r\nConnection: close\r\n\r\n" + reply.second;
        send(s, out.data(), static_cast<int>(out.size()), 0);  // a blocking socket takes it whole
    }

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, std::pair<int, std::string>> replies_;
    std::vector<Request> requests_;
};

}  // namespace testsupport
