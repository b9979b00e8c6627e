// DBSTEP packet codec: the binary message exchanged between the message
// server add-in ("Veridane.Relay") and the document server.
//
// Portable C++17, standard library only, so that the Windows add-in and the
// Linux server share one implementation. Layout (all integers little endian):
//
//   offset size  content
//   0      6     magic "DBSTEP"
//   6      2     version (kVersion)
//   8      4     flags (bit 0: a file body is present; other bits zero)
//   12     4     field count
//   16     4     field block size F (bytes of all field records)
//   20     8     body size B (0 unless the body flag is set)
//   28     F     field records, each: u32 name length, u32 value length,
//                name bytes, value bytes
//   28+F   B     file body
//
// The packet is exactly 28 + F + B bytes. Names are 1..kMaxNameLength bytes
// and unique within a packet (compared byte for byte, so case matters);
// values and the body are arbitrary bytes. docs/dbstep.md has the full
// description and the HTTP framing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace dbstep {

inline constexpr char kMagic[6] = {'D', 'B', 'S', 'T', 'E', 'P'};
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 28;
inline constexpr std::uint32_t kFlagHasBody = 1u;
inline constexpr std::size_t kMaxNameLength = 256;
inline constexpr std::uint32_t kMaxFieldCount = 4096;
// Default ceiling on a whole packet when the caller does not choose one.
inline constexpr std::uint64_t kDefaultMaxPacket = 256ull << 20;
inline constexpr std::uint32_t kDefaultMaxFieldBlock = 16u << 20;

enum class Error {
    Ok = 0,
    Truncated,           // input ends before the sizes it declares
    BadMagic,            // does not start with "DBSTEP"
    UnsupportedVersion,  // version other than kVersion
    BadFlags,            // unknown flag bits, or a body size without the body flag
    TooLarge,            // declared or actual size above the caller's limit
    TooManyFields,       // field count above kMaxFieldCount
    BadFieldBlock,       // field records do not exactly fill the field block
    EmptyName,           // a field with a zero-length name
    NameTooLong,         // a field name longer than kMaxNameLength
    DuplicateName,       // the same field name twice
    TrailingBytes,       // bytes after the declared end of the packet
    Aborted,             // StreamDecoder: the body sink asked to stop
};

// Stable English text for an error, used in logs and in error replies.
const char* errorText(Error e);

struct Field {
    std::string name;
    std::string value;
};

struct Packet {
    std::vector<Field> fields;  // in wire order
    bool hasBody = false;
    std::string body;

    // First field with this exact name, or nullptr.
    const std::string* find(std::string_view name) const;
    // Value of the field, or the fallback when absent.
    std::string get(std::string_view name, std::string_view fallback = {}) const;
    // Replaces the value of an existing field or appends a new one, so the
    // order of first setting is kept (as the message server keeps it).
    void set(std::string_view name, std::string_view value);
    void setBody(std::string data);
};

struct Limits {
    std::uint64_t maxPacket = kDefaultMaxPacket;  // whole packet, header included
    // Header fields are held in memory (the body need not be): bound them
    // on their own so that a large packet limit does not mean large buffers.
    std::uint32_t maxFieldBlock = kDefaultMaxFieldBlock;
};

// The fixed part of a packet, as read from its first kHeaderSize bytes.
struct Header {
    std::uint16_t version = 0;
    std::uint32_t flags = 0;
    std::uint32_t fieldCount = 0;
    std::uint32_t fieldBlockSize = 0;
    std::uint64_t bodySize = 0;

    bool hasBody() const { return (flags & kFlagHasBody) != 0; }
    // kHeaderSize + fieldBlockSize + bodySize (cannot overflow: fits in 2^64).
    std::uint64_t totalSize() const;
};

struct DecodeStatus {
    Error error = Error::Ok;
    std::uint64_t offset = 0;  // byte offset where the problem was found
    bool ok() const { return error == Error::Ok; }
};

// Reads and checks the fixed header. `size` below kHeaderSize gives Truncated.
DecodeStatus decodeHeader(const void* data, std::size_t size, const Limits& limits,
                          Header& out);

// Parses a field block of exactly `header.fieldBlockSize` bytes.
// Offsets in the result are relative to the start of the packet.
DecodeStatus decodeFields(const Header& header, const void* block, std::size_t size,
                          std::vector<Field>& out);

// Decodes one complete packet held in memory. On failure `out` is left empty.
DecodeStatus decode(const void* data, std::size_t size, const Limits& limits, Packet& out);
inline DecodeStatus decode(std::string_view bytes, const Limits& limits, Packet& out) {
    return decode(bytes.data(), bytes.size(), limits, out);
}

// Header and field block of a packet whose body (of `bodySize` bytes, when
// `hasBody`) the caller sends right after, e.g. straight from a file.
// Fails with EmptyName, NameTooLong, DuplicateName, TooManyFields or TooLarge.
Error encodeHead(const std::vector<Field>& fields, bool hasBody, std::uint64_t bodySize,
                 const Limits& limits, std::string& out);

// Whole packet in memory.
Error encode(const Packet& packet, const Limits& limits, std::string& out);

// Incremental decoder for packets that arrive in pieces (a socket, a file):
// buffers only the header and the field block and hands body bytes to the
// caller as they come, so memory stays bounded whatever the body size.
//
//   StreamDecoder d(limits);
//   for each chunk: d.feed(chunk, n, onBody)   // stop on error
//   d.finish()                                 // Truncated if incomplete
//
// `onBody` is called zero or more times, only after fieldsReady() became
// true; returning false from it stops decoding with `aborted()` set.
class StreamDecoder {
public:
    using BodySink = bool (*)(void* context, const char* data, std::size_t size);

    explicit StreamDecoder(const Limits& limits) : limits_(limits) {}

    DecodeStatus feed(const void* data, std::size_t size, BodySink sink, void* context);
    template <class F>
    DecodeStatus feed(const void* data, std::size_t size, F&& onBody) {
        using Fn = std::remove_reference_t<F>;
        return feed(data, size,
                    [](void* c, const char* d, std::size_t n) -> bool {
                        return (*static_cast<Fn*>(c))(d, n);
                    },
                    const_cast<void*>(static_cast<const void*>(&onBody)));
    }
    DecodeStatus feed(const void* data, std::size_t size) {
        return feed(data, size, nullptr, nullptr);
    }
    // Call at end of input: Ok only if exactly one whole packet was seen.
    DecodeStatus finish() const;

    bool headerReady() const { return stage_ != Stage::Header; }
    bool fieldsReady() const { return stage_ == Stage::Body || stage_ == Stage::Done; }
    bool done() const { return stage_ == Stage::Done; }
    bool aborted() const { return aborted_; }
    const Header& header() const { return header_; }
    const std::vector<Field>& fields() const { return fields_; }
    std::vector<Field>& fields() { return fields_; }
    std::uint64_t consumed() const { return consumed_; }

private:
    enum class Stage { Header, Fields, Body, Done, Failed };
    DecodeStatus fail(Error e, std::uint64_t offset);

    Limits limits_;
    Stage stage_ = Stage::Header;
    Header header_;
    std::string pending_;  // header or field block bytes gathered so far
    std::vector<Field> fields_;
    std::uint64_t bodyLeft_ = 0;
    std::uint64_t consumed_ = 0;
    DecodeStatus failure_;
    bool aborted_ = false;
};

}  // namespace dbstep
