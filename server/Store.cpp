#include "Store.h"

#include <sqlite3.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <set>

namespace folium {
namespace {

constexpr std::size_t kWriteBuffer = 1u << 20;
constexpr const char* kBodySuffix = ".body";

std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string sysError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string randomName() {
    static thread_local std::mt19937_64 rng{std::random_device{}() ^
                                            (static_cast<std::uint64_t>(::getpid()) << 32)};
    static const char hex[] = "0123456789abcdef";
    std::string s;
    for (int part = 0; part < 2; ++part) {
        std::uint64_t v = rng();
        for (int i = 0; i < 16; ++i, v >>= 4) s.push_back(hex[v & 15]);
    }
    return s + kBodySuffix;
}

// Statement wrapper: finalizes on every path.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    ~Stmt() { sqlite3_finalize(st_); }
    bool ok() const { return rc_ == SQLITE_OK; }
    // Text is bound as BLOB: values are bytes in whatever code page the page
    // used, and must come back byte for byte.
    Stmt& bind(int i, const std::string& v) {
        sqlite3_bind_blob64(st_, i, v.empty() ? "" : v.data(), v.size(), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(st_, i, v);
        return *this;
    }
    int step() { return sqlite3_step(st_); }
    std::string blob(int col) {
        const void* p = sqlite3_column_blob(st_, col);
        int n = sqlite3_column_bytes(st_, col);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }
    std::int64_t int64(int col) { return sqlite3_column_int64(st_, col); }

private:
    sqlite3_stmt* st_ = nullptr;
    int rc_;
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) {
        ok_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (ok_ && !done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    bool ok() const { return ok_; }
    bool commit() {
        done_ = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        return done_;
    }

private:
    sqlite3* db_;
    bool ok_ = false;
    bool done_ = false;
};

const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS documents(
    recordid BLOB PRIMARY KEY,
    body TEXT NOT NULL,
    size INTEGER NOT NULL,
    filename BLOB, filetype BLOB, username BLOB, extparam BLOB,
    version INTEGER NOT NULL,
    saved_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS attachments(
    id INTEGER PRIMARY KEY,
    recordid BLOB NOT NULL,
    body TEXT NOT NULL,
    size INTEGER NOT NULL,
    filename BLOB, filetype BLOB, username BLOB, extparam BLOB,
    saved_at INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS attachments_by_record ON attachments(recordid);
CREATE TABLE IF NOT EXISTS signatures(
    recordid BLOB PRIMARY KEY,
    data BLOB NOT NULL,
    saved_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS messages(
    id INTEGER PRIMARY KEY,
    recordid BLOB NOT NULL,
    fields BLOB NOT NULL,
    received_at INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS messages_by_record ON messages(recordid);
)sql";

}  // namespace

BodyFile::~BodyFile() {
    if (fd_ >= 0) ::close(fd_);
}

long BodyFile::read(std::uint64_t offset, char* out, std::size_t size) const {
    for (;;) {
        ssize_t n = ::pread(fd_, out, size, static_cast<off_t>(offset));
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) return -1;
    }
}

BodyWriter::BodyWriter(std::string dir, std::string name, int fd)
    : dir_(std::move(dir)), name_(std::move(name)), fd_(fd), buffer_(kWriteBuffer) {}

BodyWriter::~BodyWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink((dir_ + "/" + name_).c_str());
}

bool BodyWriter::flush() {
    std::size_t off = 0;
    while (off < used_) {
        ssize_t n = ::write(fd_, buffer_.data() + off, used_ - off);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        off += static_cast<std::size_t>(n);
    }
    used_ = 0;
    return true;
}

bool BodyWriter::write(const char* data, std::size_t size) {
    if (failed_) return false;
    size_ += size;
    while (size > 0) {
        if (used_ == 0 && size >= buffer_.size()) {
            // Large pieces go straight to the file.
            used_ = 0;
            std::size_t off = 0;
            while (off < size) {
                ssize_t n = ::write(fd_, data + off, size - off);
                if (n < 0) {
                    if (errno == EINTR) continue;
                    return !(failed_ = true);
                }
                off += static_cast<std::size_t>(n);
            }
            return true;
        }
        std::size_t take = std::min(size, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, data, take);
        used_ += take;
        data += take;
        size -= take;
        if (used_ == buffer_.size() && !flush()) return !(failed_ = true);
    }
    return true;
}

bool BodyWriter::finish() {
    if (failed_ || !flush()) return !(failed_ = true);
    if (::fdatasync(fd_) != 0) return !(failed_ = true);
    return true;
}

std::unique_ptr<Store> Store::open(const std::string& dbPath, std::string& error) {
    std::unique_ptr<Store> s(new Store());
    s->bodyDir_ = dbPath + ".blobs";
    if (::mkdir(s->bodyDir_.c_str(), 0700) != 0 && errno != EEXIST) {
        error = sysError(("cannot create " + s->bodyDir_).c_str());
        return nullptr;
    }
    s->dirFd_ = ::open(s->bodyDir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (s->dirFd_ < 0) {
        error = sysError(("cannot open " + s->bodyDir_).c_str());
        return nullptr;
    }
    // Orphan removal below assumes nobody else writes into the folder.
    s->lockFd_ = ::open((dbPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (s->lockFd_ < 0 || ::flock(s->lockFd_, LOCK_EX | LOCK_NB) != 0) {
        error = "database " + dbPath + " is in use by another server";
        return nullptr;
    }
    if (sqlite3_open_v2(dbPath.c_str(), &s->db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        error = std::string("cannot open database: ") +
                (s->db_ ? sqlite3_errmsg(s->db_) : "out of memory");
        return nullptr;
    }
    sqlite3_busy_timeout(s->db_, 5000);
    if (!s->exec("PRAGMA journal_mode=WAL", error) || !s->exec("PRAGMA synchronous=FULL", error) ||
        !s->exec(kSchema, error) || !s->removeOrphans(error))
        return nullptr;
    return s;
}

Store::~Store() {
    if (db_) sqlite3_close_v2(db_);
    if (dirFd_ >= 0) ::close(dirFd_);
    if (lockFd_ >= 0) ::close(lockFd_);
}

bool Store::exec(const char* sql, std::string& error) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        error = std::string("database error: ") + (msg ? msg : sqlite3_errmsg(db_));
        sqlite3_free(msg);
        return false;
    }
    return true;
}

bool Store::removeOrphans(std::string& error) {
    std::set<std::string> live;
    for (const char* sql : {"SELECT body FROM documents", "SELECT body FROM attachments"}) {
        Stmt st(db_, sql);
        if (!st.ok()) {
            error = std::string("database error: ") + sqlite3_errmsg(db_);
            return false;
        }
        while (st.step() == SQLITE_ROW) live.insert(st.blob(0));
    }
    DIR* d = ::opendir(bodyDir_.c_str());
    if (!d) {
        error = sysError("cannot list body folder");
        return false;
    }
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (!live.count(name)) ::unlinkat(dirFd_, name.c_str(), 0);
    }
    ::closedir(d);
    return true;
}

std::unique_ptr<BodyWriter> Store::newBody(std::string& error) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::string name = randomName();
        int fd = ::openat(dirFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) return std::make_unique<BodyWriter>(bodyDir_, name, fd);
        if (errno != EEXIST) break;
    }
    error = sysError("cannot create body file");
    return nullptr;
}

bool Store::saveDocument(const DocumentMeta& meta, BodyWriter& body, std::int64_t& version,
                         std::string& error) {
    if (!body.finish()) {
        error = sysError("cannot write body file");
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // The new name must be on disk before a committed row can point at it.
    if (::fsync(dirFd_) != 0) {
        error = sysError("cannot sync body folder");
        return false;
    }
    Transaction tx(db_);
    std::string old;
    version = 1;
    {
        Stmt q(db_, "SELECT body, version FROM documents WHERE recordid = ?1");
        q.bind(1, meta.recordId);
        if (q.ok() && q.step() == SQLITE_ROW) {
            old = q.blob(0);
            version = q.int64(1) + 1;
        }
    }
    Stmt st(db_,
            "INSERT OR REPLACE INTO documents(recordid, body, size, filename, filetype, username, "
            "extparam, version, saved_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    if (!tx.ok() || !st.ok()) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    st.bind(1, meta.recordId)
        .bind(2, body.name())
        .bind(3, static_cast<std::int64_t>(body.size()))
        .bind(4, meta.fileName)
        .bind(5, meta.fileType)
        .bind(6, meta.userName)
        .bind(7, meta.extParam)
        .bind(8, version)
        .bind(9, nowSeconds());
    if (st.step() != SQLITE_DONE || !tx.commit()) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    body.release();
    // Readers that already opened the old file keep their descriptor.
    if (!old.empty() && old != body.name()) ::unlinkat(dirFd_, old.c_str(), 0);
    return true;
}

bool Store::openDocument(const std::string& recordId, StoredDocument& out,
                         std::unique_ptr<BodyFile>& body, std::string& error) {
    error.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    Stmt q(db_,
           "SELECT body, size, filename, filetype, username, extparam, version FROM documents "
           "WHERE recordid = ?1");
    if (!q.ok()) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    q.bind(1, recordId);
    int rc = q.step();
    if (rc == SQLITE_DONE) return false;
    if (rc != SQLITE_ROW) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    std::string name = q.blob(0);
    int fd = ::openat(dirFd_, name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = sysError("cannot open stored document");
        return false;
    }
    body = std::make_unique<BodyFile>(fd);
    out.meta.recordId = recordId;
    out.size = static_cast<std::uint64_t>(q.int64(1));
    out.meta.fileName = q.blob(2);
    out.meta.fileType = q.blob(3);
    out.meta.userName = q.blob(4);
    out.meta.extParam = q.blob(5);
    out.version = q.int64(6);
    return true;
}

bool Store::addAttachment(const DocumentMeta& meta, BodyWriter& body, std::int64_t& id,
                          std::string& error) {
    if (!body.finish()) {
        error = sysError("cannot write body file");
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (::fsync(dirFd_) != 0) {
        error = sysError("cannot sync body folder");
        return false;
    }
    Stmt st(db_,
            "INSERT INTO attachments(recordid, body, size, filename, filetype, username, extparam, "
            "saved_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    if (!st.ok()) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    st.bind(1, meta.recordId)
        .bind(2, body.name())
        .bind(3, static_cast<std::int64_t>(body.size()))
        .bind(4, meta.fileName)
        .bind(5, meta.fileType)
        .bind(6, meta.userName)
        .bind(7, meta.extParam)
        .bind(8, nowSeconds());
    if (st.step() != SQLITE_DONE) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    body.release();
    id = sqlite3_last_insert_rowid(db_);
    return true;
}

bool Store::saveSignature(const std::string& recordId, const std::string& data,
                          std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    Stmt st(db_, "INSERT OR REPLACE INTO signatures(recordid, data, saved_at) VALUES(?1, ?2, ?3)");
    if (!st.ok()) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    st.bind(1, recordId).bind(2, data).bind(3, nowSeconds());
    if (st.step() != SQLITE_DONE) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool Store::loadSignature(const std::string& recordId, std::string& data, std::string& error) {
    error.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    Stmt q(db_, "SELECT data FROM signatures WHERE recordid = ?1");
    if (!q.ok()) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    q.bind(1, recordId);
    int rc = q.step();
    if (rc == SQLITE_ROW) {
        data = q.blob(0);
        return true;
    }
    if (rc != SQLITE_DONE) error = std::string("database error: ") + sqlite3_errmsg(db_);
    return false;
}

bool Store::addMessage(const std::string& recordId, const std::string& encodedFields,
                       std::int64_t& id, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    Stmt st(db_, "INSERT INTO messages(recordid, fields, received_at) VALUES(?1, ?2, ?3)");
    if (!st.ok()) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    st.bind(1, recordId).bind(2, encodedFields).bind(3, nowSeconds());
    if (st.step() != SQLITE_DONE) {
        error = std::string("database error: ") + sqlite3_errmsg(db_);
        return false;
    }
    id = sqlite3_last_insert_rowid(db_);
    return true;
}

}  // namespace folium
