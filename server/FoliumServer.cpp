// folium-server: reference document server for the DBSTEP exchange.
//
// Every packet is POSTed (to any path) with content type
// "application/x-dbstep" and answered with a packet of the same format; see
// docs/dbstep.md. Uploads stream to disk through dbstep::StreamDecoder, so
// memory per request stays at a few buffers whatever the document size.
#include "GuardedServer.h"
#include "Store.h"
#include "dbstep/DbstepPacket.h"

#include <httplib.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

namespace {

using dbstep::Packet;

constexpr const char* kContentType = "application/x-dbstep";
constexpr std::size_t kSendChunk = 512u << 10;
// Oversized bodies up to this size are read and dropped rather than cut off.
constexpr std::uint64_t kDrainLimit = 64u << 20;

struct Options {
    std::string db;
    int port = 0;
    std::string portFile;
    std::uint64_t maxPacket = dbstep::kDefaultMaxPacket;
    int threads = 16;
    std::uint64_t maxConnections = 256;
    std::uint64_t maxPerAddress = 32;
    std::uint64_t requestTimeout = 10;  // seconds of grace per request
    std::uint64_t minRate = 16u << 10;  // bytes per second after the grace
    std::vector<std::pair<std::string, std::string>> seeds;
};

// What the access log line says about a packet request, filled by the
// handler and printed by the logger on the same worker thread.
struct RequestNote {
    std::chrono::steady_clock::time_point start;
    std::string option;
    std::string recordId;
    std::string result;
    std::uint64_t in = 0;
    std::uint64_t out = 0;
    bool packet = false;
};
thread_local RequestNote tNote;

// Log values may be GBK or UTF-8 or garbage: keep the line printable ASCII.
std::string printable(const std::string& s, std::size_t max = 64) {
    std::string out;
    for (std::size_t i = 0; i < s.size() && i < max; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    if (s.size() > max) out += "...";
    return out;
}

std::string isoNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

Packet replyFor(const std::string& option) {
    Packet p;
    p.set("DBSTEP", "DBSTEP");
    p.set("OPTION", option);
    return p;
}

void sendPacket(httplib::Response& res, int status, const Packet& reply) {
    std::string bytes;
    // Replies are built from bounded server texts; a failure here is a bug.
    if (dbstep::encode(reply, dbstep::Limits{UINT64_MAX, UINT32_MAX}, bytes) != dbstep::Error::Ok) {
        res.status = 500;
        return;
    }
    res.status = status;
    tNote.out = bytes.size();
    tNote.result = reply.get("RESULT");
    res.set_content(std::move(bytes), kContentType);
}

void sendError(httplib::Response& res, int status, const std::string& option,
               const std::string& text) {
    Packet reply = replyFor(option);
    reply.set("RESULT", "ERROR: " + text);
    reply.set("STATUS", text);
    sendPacket(res, status, reply);
}

std::string upperExtension(const std::string& path) {
    auto slash = path.find_last_of('/');
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return ".PDF";
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

class Service {
public:
    Service(folium::Store& store, const Options& opts) : store_(store), opts_(opts) {
        limits_.maxPacket = opts.maxPacket;
        limits_.maxFieldBlock =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(opts.maxPacket, dbstep::kDefaultMaxFieldBlock));
    }

    int expectContinue(const httplib::Request& req, httplib::Response& res) {
        std::uint64_t length = 0;
        if (contentLength(req, length) && length > opts_.maxPacket) {
            // Runs before routing, so the note is started here.
            tNote = RequestNote{};
            tNote.start = std::chrono::steady_clock::now();
            tNote.packet = true;
            // The body never comes; the connection cannot carry another request.
            res.set_header("Connection", "close");
            tooLarge(res, "");
            // httplib sends this early reply without a length of its own.
            res.set_header("Content-Length", std::to_string(res.body.size()));
            return 413;
        }
        return 100;
    }

    void handlePacket(const httplib::Request& req, httplib::Response& res,
                      const httplib::ContentReader& reader) {
        tNote.packet = true;
        std::uint64_t declared = 0;
        const bool hasLength = contentLength(req, declared);
        if (req.has_header("Content-Length") && !hasLength) {
            res.set_header("Connection", "close");
            sendError(res, 400, "", "invalid Content-Length");
            return;
        }
        if (hasLength && declared > opts_.maxPacket) {
            tooLarge(res, "");
            drain(reader, declared, res);
            return;
        }

        dbstep::StreamDecoder decoder(limits_);
        std::unique_ptr<folium::BodyWriter> body;
        bool bodyDecided = false;
        std::string storageError;
        bool overflow = false;
        dbstep::DecodeStatus status;

        auto sink = [&](const char* data, std::size_t size) -> bool {
            if (!bodyDecided) {
                bodyDecided = true;
                // Only these two options keep the body; others ignore it.
                const std::string option = optionOf(decoder.fields());
                if (option == "SAVEFILE" || option == "SAVEACCESSORY") {
                    body = store_.newBody(storageError);
                    if (!body) return false;
                }
            }
            if (body && !body->write(data, size)) {
                storageError = "cannot write body file";
                return false;
            }
            return true;
        };
        const bool complete = reader([&](const char* data, std::size_t size) {
            tNote.in += size;
            if (tNote.in > opts_.maxPacket) {
                // Only chunked bodies get here (Content-Length was checked).
                // Drop the rest within reason: what is left unread would be
                // parsed as the next request on this connection.
                overflow = true;
                return tNote.in - opts_.maxPacket <= kDrainLimit;
            }
            // After a failure keep reading (and dropping) what the client
            // sends, so that it gets to read the error reply; the size
            // check above still bounds it.
            if (!status.ok()) return true;
            status = decoder.feed(data, size, sink);
            return true;
        });

        std::string option = optionOf(decoder.fields());
        tNote.option = option;
        if (const auto* f = findField(decoder.fields(), "RECORDID")) tNote.recordId = *f;

        if (overflow || status.error == dbstep::Error::TooLarge) {
            if (overflow) res.set_header("Connection", "close");
            tooLarge(res, option);
            return;
        }
        if (!storageError.empty()) {
            sendError(res, 500, option, "storage failure: " + storageError);
            return;
        }
        if (!complete && folium::GuardedServer::requestTimedOut()) {
            res.set_header("Connection", "close");
            sendError(res, 408, option, "request body not received in time");
            return;
        }
        if (!status.ok() || !complete) {
            if (!complete) res.set_header("Connection", "close");
            dbstep::DecodeStatus st = status.ok() ? decoder.finish() : status;
            if (st.ok()) st = {dbstep::Error::Truncated, decoder.consumed()};
            sendError(res, 400, option,
                      std::string("malformed packet: ") + dbstep::errorText(st.error) + " at byte " +
                          std::to_string(st.offset));
            return;
        }
        if (dbstep::DecodeStatus st = decoder.finish(); !st.ok()) {
            sendError(res, 400, option,
                      std::string("malformed packet: ") + dbstep::errorText(st.error) + " at byte " +
                          std::to_string(st.offset));
            return;
        }

        Packet request;
        request.fields = std::move(decoder.fields());
        request.hasBody = decoder.header().hasBody();
        dispatch(request, body.get(), res);
    }

    void handleRawDocument(const std::string& recordId, httplib::Response& res) {
        folium::StoredDocument doc;
        std::unique_ptr<folium::BodyFile> file;
        std::string error;
        if (!store_.openDocument(recordId, doc, file, error)) {
            res.status = error.empty() ? 404 : 500;
            return;
        }
        std::shared_ptr<folium::BodyFile> shared(std::move(file));
        tNote.out = doc.size;
        res.set_content_provider(
            static_cast<std::size_t>(doc.size), "application/octet-stream",
            [shared, buf = std::make_shared<std::vector<char>>(kSendChunk)](
                std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                long n = shared->read(offset, buf->data(), std::min(length, buf->size()));
                return n > 0 && sink.write(buf->data(), static_cast<std::size_t>(n));
            });
    }

    bool seed(const std::string& recordId, const std::string& path, std::string& error) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = "cannot read " + path;
            return false;
        }
        auto body = store_.newBody(error);
        if (!body) return false;
        std::vector<char> buf(1u << 20);
        while (in) {
            in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
            if (in.gcount() > 0 && !body->write(buf.data(), static_cast<std::size_t>(in.gcount()))) {
                error = "cannot write body file";
                return false;
            }
        }
        folium::DocumentMeta meta;
        meta.recordId = recordId;
        auto slash = path.find_last_of('/');
        meta.fileName = slash == std::string::npos ? path : path.substr(slash + 1);
        meta.fileType = upperExtension(path);
        meta.userName = "seed";
        std::int64_t version = 0;
        return store_.saveDocument(meta, *body, version, error);
    }

private:
    static const std::string* findField(const std::vector<dbstep::Field>& fields, const char* name) {
        for (const auto& f : fields)
            if (f.name == name) return &f.value;
        return nullptr;
    }

    static std::string optionOf(const std::vector<dbstep::Field>& fields) {
        const std::string* v = findField(fields, "OPTION");
        return v ? *v : std::string();
    }

    static bool contentLength(const httplib::Request& req, std::uint64_t& out) {
        if (!req.has_header("Content-Length")) return false;
        const std::string v = req.get_header_value("Content-Length");
        if (v.empty() || v.size() > 19) return false;
        std::uint64_t n = 0;
        for (char c : v) {
            if (c < '0' || c > '9') return false;
            n = n * 10 + static_cast<std::uint64_t>(c - '0');
        }
        out = n;
        return true;
    }

    void tooLarge(httplib::Response& res, const std::string& option) {
        sendError(res, 413, option,
                  "packet larger than the server limit of " + std::to_string(opts_.maxPacket) +
                      " bytes");
    }

    // Reads and drops an oversized body so that the client, which usually
    // writes the whole request before reading, gets to see the 413 reply.
    // Past a bound it is cheaper to drop the connection.
    void drain(const httplib::ContentReader& reader, std::uint64_t declared, httplib::Response& res) {
        if (declared > kDrainLimit) {
            res.set_header("Connection", "close");
            return;
        }
        reader([](const char*, std::size_t) { return true; });
    }

    void dispatch(const Packet& req, folium::BodyWriter* body, httplib::Response& res) {
        const std::string option = req.get("OPTION");
        if (req.get("DBSTEP") != "DBSTEP") {
            sendError(res, 400, option, "missing DBSTEP field");
            return;
        }
        folium::DocumentMeta meta;
        meta.recordId = req.get("RECORDID");
        meta.fileName = req.get("FILENAME");
        meta.fileType = req.get("FILETYPE");
        meta.userName = req.get("USERNAME");
        meta.extParam = req.get("EXTPARAM");

        Packet reply = replyFor(option);
        if (req.find("RECORDID")) reply.set("RECORDID", meta.recordId);
        auto fail = [&](int status, const std::string& text) {
            reply.set("RESULT", "ERROR: " + text);
            reply.set("STATUS", text);
            sendPacket(res, status, reply);
        };
        auto ok = [&](const std::string& statusText) {
            reply.set("RESULT", "OK");
            reply.set("STATUS", statusText);
        };
        std::string error;

        if (option == "SENDMESSAGE") {
            // Free-form: keep every field as sent, in order.
            std::string encoded;
            std::int64_t id = 0;
            if (dbstep::encodeHead(req.fields, false, 0, dbstep::Limits{UINT64_MAX, UINT32_MAX},
                                   encoded) != dbstep::Error::Ok ||
                !store_.addMessage(meta.recordId, encoded, id, error))
                return fail(500, "storage failure: " + error);
            ok("message received");
            reply.set("MESSAGEID", std::to_string(id));
            return sendPacket(res, 200, reply);
        }
        if (option != "LOADFILE" && option != "SAVEFILE" && option != "SAVEACCESSORY" &&
            option != "SAVESIGNATURE" && option != "LOADSIGNATURE")
            return fail(200, option.empty() ? "missing OPTION" : "unknown OPTION");
        if (meta.recordId.empty()) return fail(200, "missing RECORDID");

        if (option == "SAVEFILE" || option == "SAVEACCESSORY") {
            if (!req.hasBody) return fail(200, "no file body");
            // A body of zero bytes never reaches the sink: create it now.
            std::unique_ptr<folium::BodyWriter> empty;
            if (!body) {
                empty = store_.newBody(error);
                if (!empty) return fail(500, "storage failure: " + error);
                body = empty.get();
            }
            if (meta.fileType.empty()) meta.fileType = ".PDF";
            if (option == "SAVEFILE") {
                std::int64_t version = 0;
                if (!store_.saveDocument(meta, *body, version, error))
                    return fail(500, "storage failure: " + error);
                ok("document saved");
                reply.set("FILESIZE", std::to_string(body->size()));
                reply.set("VERSION", std::to_string(version));
            } else {
                std::int64_t id = 0;
                if (!store_.addAttachment(meta, *body, id, error))
                    return fail(500, "storage failure: " + error);
                ok("attachment saved");
                reply.set("ACCESSORYID", std::to_string(id));
                reply.set("FILESIZE", std::to_string(body->size()));
            }
            return sendPacket(res, 200, reply);
        }
        if (option == "SAVESIGNATURE") {
            const std::string* data = req.find("Signature");
            if (!data) return fail(200, "missing Signature");
            if (!store_.saveSignature(meta.recordId, *data, error))
                return fail(500, "storage failure: " + error);
            ok("signature saved");
            return sendPacket(res, 200, reply);
        }
        if (option == "LOADSIGNATURE") {
            std::string data;
            if (!store_.loadSignature(meta.recordId, data, error))
                return error.empty() ? fail(200, "no signature for this RECORDID")
                                     : fail(500, "storage failure: " + error);
            ok("signature loaded");
            reply.set("Signature", data);
            return sendPacket(res, 200, reply);
        }

        // LOADFILE: the head is encoded now, the body is streamed from its file.
        folium::StoredDocument doc;
        std::unique_ptr<folium::BodyFile> file;
        if (!store_.openDocument(meta.recordId, doc, file, error))
            return error.empty() ? fail(200, "no document for this RECORDID")
                                 : fail(500, "storage failure: " + error);
        ok("document loaded");
        reply.set("FILENAME", doc.meta.fileName);
        reply.set("FILETYPE", doc.meta.fileType);
        reply.set("FILESIZE", std::to_string(doc.size));
        reply.set("VERSION", std::to_string(doc.version));
        auto head = std::make_shared<std::string>();
        if (dbstep::encodeHead(reply.fields, true, doc.size, dbstep::Limits{UINT64_MAX, UINT32_MAX},
                               *head) != dbstep::Error::Ok)
            return fail(500, "reply too large");
        std::shared_ptr<folium::BodyFile> shared(std::move(file));
        const std::uint64_t total = head->size() + doc.size;
        tNote.result = "OK";
        tNote.out = total;
        res.status = 200;
        res.set_content_provider(
            static_cast<std::size_t>(total), kContentType,
            [head, shared, buf = std::make_shared<std::vector<char>>(kSendChunk)](
                std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (offset < head->size())
                    return sink.write(head->data() + offset, std::min(length, head->size() - offset));
                long n = shared->read(offset - head->size(), buf->data(), std::min(length, buf->size()));
                return n > 0 && sink.write(buf->data(), static_cast<std::size_t>(n));
            });
    }

    folium::Store& store_;
    const Options& opts_;
    dbstep::Limits limits_;
};

// The body of the 503 answer to a connection over the bounds, and its log line.
std::string refusalReply(const std::string& address, int port, const std::string& reason) {
    Packet reply = replyFor("");
    reply.set("RESULT", "ERROR: " + reason);
    reply.set("STATUS", reason);
    std::string bytes;
    dbstep::encode(reply, dbstep::Limits{UINT64_MAX, UINT32_MAX}, bytes);
    const std::string line = isoNow() + ' ' + address + ':' + std::to_string(port) + " - - 503 refused=\"" +
                             printable(reason, 96) + "\"\n";
    ssize_t ignored = ::write(2, line.data(), line.size());
    (void)ignored;
    return bytes;
}

void logRequest(const httplib::Request& req, const httplib::Response& res) {
    // A request that could not be parsed never went through routing, so
    // the note may be empty (it is cleared after every line).
    const bool timed = tNote.start != std::chrono::steady_clock::time_point{};
    const double ms = timed ? std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - tNote.start)
                                  .count()
                            : 0.0;
    std::ostringstream line;
    line << isoNow() << ' ' << (req.remote_addr.empty() ? "-" : req.remote_addr) << ':'
         << req.remote_port << ' ' << (req.method.empty() ? "-" : req.method) << ' '
         << (req.path.empty() ? "-" : printable(req.path, 128)) << ' ' << res.status;
    if (tNote.packet) {
        line << " option=\"" << printable(tNote.option) << "\" recordid=\""
             << printable(tNote.recordId) << "\" in=" << tNote.in << " out=" << tNote.out
             << " result=\"" << printable(tNote.result, 96) << '"';
    } else {
        line << " out=" << tNote.out;
    }
    char msText[32];
    std::snprintf(msText, sizeof msText, " ms=%.1f\n", ms);
    line << msText;
    const std::string s = line.str();
    // One write per line keeps lines whole when workers log together.
    ssize_t ignored = ::write(2, s.data(), s.size());
    (void)ignored;
    tNote = RequestNote{};
}

bool parseSize(const std::string& text, std::uint64_t& out) {
    if (text.empty()) return false;
    std::uint64_t n = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (n > (UINT64_MAX - 9) / 10) return false;
        n = n * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    if (i == 0) return false;
    std::string suffix = text.substr(i);
    int shift = 0;
    if (suffix == "K" || suffix == "k") shift = 10;
    else if (suffix == "M" || suffix == "m") shift = 20;
    else if (suffix == "G" || suffix == "g") shift = 30;
    else if (!suffix.empty()) return false;
    if (shift && n > (UINT64_MAX >> shift)) return false;
    out = n << shift;
    return true;
}

void usage() {
    std::fprintf(stderr,
                 "usage: folium-server --db <path> [--port <n>|0] [--port-file <path>]\n"
                 "                     [--max-packet <bytes>[K|M|G]] [--threads <n>]\n"
                 "                     [--max-connections <n>] [--max-per-address <n>]\n"
                 "                     [--request-timeout <seconds>] [--min-rate <bytes>[K|M]]\n"
                 "                     [--seed <RECORDID>=<file>]...\n");
}

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--db") {
            if (!value(o.db)) return false;
        } else if (a == "--port") {
            if (!value(v)) return false;
            std::uint64_t n;
            if (!parseSize(v, n) || n > 65535 || v.find_first_not_of("0123456789") != std::string::npos)
                return false;
            o.port = static_cast<int>(n);
        } else if (a == "--port-file") {
            if (!value(o.portFile)) return false;
        } else if (a == "--max-packet") {
            if (!value(v) || !parseSize(v, o.maxPacket) || o.maxPacket < dbstep::kHeaderSize)
                return false;
        } else if (a == "--threads") {
            if (!value(v)) return false;
            std::uint64_t n;
            if (!parseSize(v, n) || n < 1 || n > 256) return false;
            o.threads = static_cast<int>(n);
        } else if (a == "--max-connections" || a == "--max-per-address" || a == "--request-timeout" ||
                   a == "--min-rate") {
            std::uint64_t n;
            if (!value(v) || !parseSize(v, n) || n < 1) return false;
            if (a != "--min-rate" && (n > 100000 || v.find_first_not_of("0123456789") != std::string::npos))
                return false;
            (a == "--max-connections"   ? o.maxConnections
             : a == "--max-per-address" ? o.maxPerAddress
             : a == "--request-timeout" ? o.requestTimeout
                                        : o.minRate) = n;
        } else if (a == "--seed") {
            if (!value(v)) return false;
            auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) return false;
            o.seeds.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else {
            return false;
        }
    }
    return !o.db.empty();
}

bool writePortFile(const std::string& path, int port) {
    // Written whole under another name and renamed, so a waiting test never
    // reads half a number.
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream f(tmp, std::ios::trunc);
        f << port << '\n';
        if (!f.flush()) return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options opts;
    if (!parseArgs(argc, argv, opts)) {
        usage();
        return 2;
    }

    // Signals are taken by one thread with sigwait; every other thread,
    // including httplib's workers, inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::string error;
    std::unique_ptr<folium::Store> store = folium::Store::open(opts.db, error);
    if (!store) {
        std::fprintf(stderr, "folium-server: %s\n", error.c_str());
        return 1;
    }
    Service service(*store, opts);
    for (const auto& [recordId, path] : opts.seeds) {
        if (!service.seed(recordId, path, error)) {
            std::fprintf(stderr, "folium-server: seed %s: %s\n", recordId.c_str(), error.c_str());
            return 1;
        }
    }

    folium::ConnectionRules rules;
    rules.readyWorkers = static_cast<std::size_t>(opts.threads);
    rules.maxConnections = static_cast<std::size_t>(std::max<std::uint64_t>(opts.maxConnections, opts.threads));
    rules.maxPerAddress = static_cast<std::size_t>(opts.maxPerAddress);
    rules.grace = std::chrono::seconds(opts.requestTimeout);
    rules.minRate = opts.minRate;
    rules.idle = std::chrono::seconds(30);
    folium::GuardedServer server(rules, refusalReply);
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(100);
    server.set_read_timeout(30);
    server.set_write_timeout(30);
    server.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
        tNote = RequestNote{};
        tNote.start = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_expect_100_continue_handler(
        [&](const httplib::Request& req, httplib::Response& res) { return service.expectContinue(req, res); });
    server.Post(".*", [&](const httplib::Request& req, httplib::Response& res,
                          const httplib::ContentReader& reader) { service.handlePacket(req, res, reader); });
    server.Get("/documents/(.+)", [&](const httplib::Request& req, httplib::Response& res) {
        service.handleRawDocument(req.matches[1], res);
    });
    server.set_logger(logRequest);

    const int port = opts.port == 0 ? server.bind_to_any_port("127.0.0.1")
                                    : (server.bind_to_port("127.0.0.1", opts.port) ? opts.port : -1);
    if (port <= 0) {
        std::fprintf(stderr, "folium-server: cannot listen on 127.0.0.1:%d\n", opts.port);
        return 1;
    }
    if (!opts.portFile.empty() && !writePortFile(opts.portFile, port)) {
        std::fprintf(stderr, "folium-server: cannot write %s\n", opts.portFile.c_str());
        return 1;
    }
    std::printf("folium-server listening on http://127.0.0.1:%d/\n", port);
    std::fflush(stdout);

    std::atomic<bool> stopping{false};
    std::atomic<bool> listenDone{false};
    std::thread waiter([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        if (!stopping.exchange(true)) {
            std::fprintf(stderr, "folium-server: signal %d, stopping\n", sig);
            // stop() is a no-op until the accept loop runs; a signal that
            // comes right after binding must still end the server.
            while (!server.is_running() && !listenDone)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            server.stop();
        }
    });

    const bool listened = server.listen_after_bind();
    listenDone = true;
    if (!stopping.exchange(true)) pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    store.reset();  // checkpoints the log and releases the lock
    (void)listened;
    std::fprintf(stderr, "folium-server: stopped\n");
    return 0;
}
