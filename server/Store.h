// Durable storage of documents, attachments, signature data and messages.
//
// Metadata lives in SQLite (WAL, synchronous=FULL); document and attachment
// bodies live in files beside the database ("<db>.blobs/") so that uploads
// stream straight to disk without a second copy and without holding the
// database's single writer lock for the length of a transfer.
//
// A body file is written and fsynced under a fresh random name first; only
// then does one short transaction point the record at it. A crash at any
// moment therefore leaves either the old row (and an orphan file, removed at
// the next start) or the new row with a complete file, never a partial one.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace folium {

struct DocumentMeta {
    std::string recordId;
    std::string fileName;
    std::string fileType;
    std::string userName;
    std::string extParam;
};

struct StoredDocument {
    DocumentMeta meta;
    std::uint64_t size = 0;
    std::int64_t version = 0;
};

// An open body file, kept readable even if the record is replaced meanwhile.
class BodyFile {
public:
    explicit BodyFile(int fd) : fd_(fd) {}
    ~BodyFile();
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;
    // Reads up to `size` bytes at `offset`; returns bytes read or -1.
    long read(std::uint64_t offset, char* out, std::size_t size) const;

private:
    int fd_;
};

// A body being received. Owns its file until committed; if dropped before
// that, the file is removed.
class BodyWriter {
public:
    BodyWriter(std::string dir, std::string name, int fd);
    ~BodyWriter();
    BodyWriter(const BodyWriter&) = delete;
    BodyWriter& operator=(const BodyWriter&) = delete;

    bool write(const char* data, std::size_t size);
    // Flushes and fsyncs; must succeed before the body is committed.
    bool finish();
    std::uint64_t size() const { return size_; }
    const std::string& name() const { return name_; }
    void release() { committed_ = true; }

private:
    bool flush();
    std::string dir_;
    std::string name_;
    int fd_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::uint64_t size_ = 0;
    bool failed_ = false;
    bool committed_ = false;
};

class Store {
public:
    // Opens or creates the database and its body folder, takes an exclusive
    // lock on it (one server per database) and removes orphan bodies.
    static std::unique_ptr<Store> open(const std::string& dbPath, std::string& error);
    ~Store();

    std::unique_ptr<BodyWriter> newBody(std::string& error);

    // Replaces the record's document with the finished body.
    bool saveDocument(const DocumentMeta& meta, BodyWriter& body, std::int64_t& version,
                      std::string& error);
    // Looks the document up and opens its body in one step, so that a
    // concurrent save cannot remove the file in between. false + empty error
    // means no such record.
    bool openDocument(const std::string& recordId, StoredDocument& out,
                      std::unique_ptr<BodyFile>& body, std::string& error);

    bool addAttachment(const DocumentMeta& meta, BodyWriter& body, std::int64_t& id,
                       std::string& error);

    bool saveSignature(const std::string& recordId, const std::string& data, std::string& error);
    // false + empty error: no signature data for the record.
    bool loadSignature(const std::string& recordId, std::string& data, std::string& error);

    // Keeps a message's fields (encoded as a DBSTEP head) for the record.
    bool addMessage(const std::string& recordId, const std::string& encodedFields,
                    std::int64_t& id, std::string& error);

    const std::string& bodyDir() const { return bodyDir_; }

private:
    Store() = default;
    bool exec(const char* sql, std::string& error);
    bool removeOrphans(std::string& error);

    std::mutex mutex_;  // one connection, used by one thread at a time
    sqlite3* db_ = nullptr;
    std::string bodyDir_;
    int dirFd_ = -1;
    int lockFd_ = -1;
};

}  // namespace folium
