#include "DbstepPacket.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace dbstep {
namespace {

std::uint16_t readU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t readU64(const unsigned char* p) {
    return static_cast<std::uint64_t>(readU32(p)) |
           (static_cast<std::uint64_t>(readU32(p + 4)) << 32);
}

void putU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}

void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void putU64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// Same checks for encoding and decoding, so that whatever we send we accept.
Error checkNames(const std::vector<Field>& fields) {
    if (fields.size() > kMaxFieldCount) return Error::TooManyFields;
    std::unordered_set<std::string_view> seen;
    seen.reserve(fields.size());
    for (const Field& f : fields) {
        if (f.name.empty()) return Error::EmptyName;
        if (f.name.size() > kMaxNameLength) return Error::NameTooLong;
        if (!seen.insert(f.name).second) return Error::DuplicateName;
    }
    return Error::Ok;
}

}  // namespace

const char* errorText(Error e) {
    switch (e) {
    case Error::Ok: return "ok";
    case Error::Truncated: return "packet truncated";
    case Error::BadMagic: return "not a DBSTEP packet";
    case Error::UnsupportedVersion: return "unsupported packet version";
    case Error::BadFlags: return "invalid packet flags";
    case Error::TooLarge: return "packet too large";
    case Error::TooManyFields: return "too many fields";
    case Error::BadFieldBlock: return "field records do not match the field block size";
    case Error::EmptyName: return "empty field name";
    case Error::NameTooLong: return "field name too long";
    case Error::DuplicateName: return "duplicate field name";
    case Error::TrailingBytes: return "bytes after the end of the packet";
    case Error::Aborted: return "body not accepted";
    }
    return "unknown error";
}

const std::string* Packet::find(std::string_view name) const {
    for (const Field& f : fields)
        if (f.name == name) return &f.value;
    return nullptr;
}

std::string Packet::get(std::string_view name, std::string_view fallback) const {
    const std::string* v = find(name);
    return v ? *v : std::string(fallback);
}

void Packet::set(std::string_view name, std::string_view value) {
    for (Field& f : fields) {
        if (f.name == name) {
            f.value.assign(value.data(), value.size());
            return;
        }
    }
    fields.push_back(Field{std::string(name), std::string(value)});
}

void Packet::setBody(std::string data) {
    hasBody = true;
    body = std::move(data);
}

std::uint64_t Header::totalSize() const {
    // decodeHeader guarantees no wrap; saturate for hand-made headers.
    const std::uint64_t head = kHeaderSize + static_cast<std::uint64_t>(fieldBlockSize);
    if (bodySize > UINT64_MAX - head) return UINT64_MAX;
    return head + bodySize;
}

DecodeStatus decodeHeader(const void* data, std::size_t size, const Limits& limits,
                          Header& out) {
    out = Header{};
    const auto* p = static_cast<const unsigned char*>(data);
    // Check what is there before complaining about length, so that a short
    // piece of something else is reported as not being a packet.
    const std::size_t magicHave = std::min(size, sizeof kMagic);
    if (magicHave && std::memcmp(p, kMagic, magicHave) != 0) return {Error::BadMagic, 0};
    if (size < kHeaderSize) return {Error::Truncated, size};

    Header h;
    h.version = readU16(p + 6);
    h.flags = readU32(p + 8);
    h.fieldCount = readU32(p + 12);
    h.fieldBlockSize = readU32(p + 16);
    h.bodySize = readU64(p + 20);

    if (h.version != kVersion) return {Error::UnsupportedVersion, 6};
    if ((h.flags & ~kFlagHasBody) != 0) return {Error::BadFlags, 8};
    if (h.fieldCount > kMaxFieldCount) return {Error::TooManyFields, 12};
    // Every record takes at least 8 bytes of lengths plus a 1-byte name.
    if (static_cast<std::uint64_t>(h.fieldCount) * 9 > h.fieldBlockSize)
        return {Error::BadFieldBlock, 16};
    if (!h.hasBody() && h.bodySize != 0) return {Error::BadFlags, 20};
    if (h.fieldBlockSize > limits.maxFieldBlock) return {Error::TooLarge, 16};
    // Written so that no sum can wrap: a packet must fit in 2^64 - 1 bytes.
    const std::uint64_t head = kHeaderSize + static_cast<std::uint64_t>(h.fieldBlockSize);
    if (h.bodySize > limits.maxPacket || head > limits.maxPacket - h.bodySize)
        return {Error::TooLarge, 20};
    out = h;
    return {};
}

DecodeStatus decodeFields(const Header& header, const void* block, std::size_t size,
                          std::vector<Field>& out) {
    out.clear();
    const auto* p = static_cast<const unsigned char*>(block);
    const std::uint64_t base = kHeaderSize;
    if (size != header.fieldBlockSize) return {Error::BadFieldBlock, base};

    std::vector<Field> fields;
    fields.reserve(header.fieldCount);
    std::unordered_set<std::string_view> seen;
    seen.reserve(header.fieldCount);
    std::size_t pos = 0;
    for (std::uint32_t i = 0; i < header.fieldCount; ++i) {
        if (size - pos < 8) return {Error::BadFieldBlock, base + pos};
        const std::uint32_t nameLen = readU32(p + pos);
        const std::uint32_t valueLen = readU32(p + pos + 4);
        if (nameLen == 0) return {Error::EmptyName, base + pos};
        if (nameLen > kMaxNameLength) return {Error::NameTooLong, base + pos};
        const std::size_t room = size - pos - 8;
        if (nameLen > room || valueLen > room - nameLen) return {Error::BadFieldBlock, base + pos};
        const char* name = reinterpret_cast<const char*>(p + pos + 8);
        if (!seen.insert(std::string_view(name, nameLen)).second)
            return {Error::DuplicateName, base + pos};
        fields.push_back(Field{std::string(name, nameLen), std::string(name + nameLen, valueLen)});
        pos += 8 + static_cast<std::size_t>(nameLen) + valueLen;
    }
    if (pos != size) return {Error::BadFieldBlock, base + pos};
    out = std::move(fields);
    return {};
}

DecodeStatus decode(const void* data, std::size_t size, const Limits& limits, Packet& out) {
    out = Packet{};
    if (size > limits.maxPacket) {
        // Still say "not a packet" for foreign input rather than "too large".
        Header ignored;
        DecodeStatus s = decodeHeader(data, size, Limits{UINT64_MAX, UINT32_MAX}, ignored);
        if (!s.ok() && s.error != Error::TooLarge) return s;
        return {Error::TooLarge, limits.maxPacket};
    }
    Header h;
    DecodeStatus s = decodeHeader(data, size, limits, h);
    if (!s.ok()) return s;
    // Same order of checks as StreamDecoder, so both report the same error.
    const std::uint64_t fieldsEnd = kHeaderSize + static_cast<std::uint64_t>(h.fieldBlockSize);
    if (size < fieldsEnd) return {Error::Truncated, size};
    const auto* p = static_cast<const unsigned char*>(data);
    Packet packet;
    s = decodeFields(h, p + kHeaderSize, h.fieldBlockSize, packet.fields);
    if (!s.ok()) return s;
    const std::uint64_t total = h.totalSize();
    if (size < total) return {Error::Truncated, size};
    if (size > total) return {Error::TrailingBytes, total};
    packet.hasBody = h.hasBody();
    if (packet.hasBody)
        packet.body.assign(reinterpret_cast<const char*>(p + kHeaderSize + h.fieldBlockSize),
                           static_cast<std::size_t>(h.bodySize));
    out = std::move(packet);
    return {};
}

Error encodeHead(const std::vector<Field>& fields, bool hasBody, std::uint64_t bodySize,
                 const Limits& limits, std::string& out) {
    out.clear();
    if (Error e = checkNames(fields); e != Error::Ok) return e;
    if (!hasBody && bodySize != 0) return Error::BadFlags;
    std::uint64_t block = 0;
    for (const Field& f : fields) block += 8 + f.name.size() + static_cast<std::uint64_t>(f.value.size());
    if (block > limits.maxFieldBlock) return Error::TooLarge;
    const std::uint64_t head = kHeaderSize + block;
    if (bodySize > limits.maxPacket || head > limits.maxPacket - bodySize) return Error::TooLarge;

    out.reserve(static_cast<std::size_t>(head));
    out.append(kMagic, sizeof kMagic);
    putU16(out, kVersion);
    putU32(out, hasBody ? kFlagHasBody : 0u);
    putU32(out, static_cast<std::uint32_t>(fields.size()));
    putU32(out, static_cast<std::uint32_t>(block));
    putU64(out, hasBody ? bodySize : 0);
    for (const Field& f : fields) {
        putU32(out, static_cast<std::uint32_t>(f.name.size()));
        putU32(out, static_cast<std::uint32_t>(f.value.size()));
        out += f.name;
        out += f.value;
    }
    return Error::Ok;
}

Error encode(const Packet& packet, const Limits& limits, std::string& out) {
    const std::uint64_t bodySize = packet.hasBody ? packet.body.size() : 0;
    if (!packet.hasBody && !packet.body.empty()) {
        out.clear();
        return Error::BadFlags;
    }
    Error e = encodeHead(packet.fields, packet.hasBody, bodySize, limits, out);
    if (e != Error::Ok) return e;
    if (packet.hasBody) out += packet.body;
    return Error::Ok;
}

DecodeStatus StreamDecoder::fail(Error e, std::uint64_t offset) {
    stage_ = Stage::Failed;
    failure_ = {e, offset};
    pending_.clear();
    pending_.shrink_to_fit();
    return failure_;
}

DecodeStatus StreamDecoder::feed(const void* data, std::size_t size, BodySink sink,
                                 void* context) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        switch (stage_) {
        case Stage::Failed:
            return failure_;
        case Stage::Done:
            return fail(Error::TrailingBytes, consumed_);
        case Stage::Header: {
            const std::size_t take = std::min(size, kHeaderSize - pending_.size());
            pending_.append(p, take);
            p += take;
            size -= take;
            consumed_ += take;
            if (pending_.size() < kHeaderSize) {
                // Reject foreign input as soon as the magic disagrees.
                DecodeStatus s = decodeHeader(pending_.data(), pending_.size(), limits_, header_);
                if (s.error == Error::BadMagic) return fail(s.error, s.offset);
                break;
            }
            DecodeStatus s = decodeHeader(pending_.data(), pending_.size(), limits_, header_);
            if (!s.ok()) return fail(s.error, s.offset);
            // No reserve: the block grows with the bytes that really arrive.
            pending_.clear();
            stage_ = Stage::Fields;
            [[fallthrough]];
        }
        case Stage::Fields: {
            const std::size_t take = std::min<std::size_t>(size, header_.fieldBlockSize - pending_.size());
            pending_.append(p, take);
            p += take;
            size -= take;
            consumed_ += take;
            if (pending_.size() < header_.fieldBlockSize) break;
            DecodeStatus s = decodeFields(header_, pending_.data(), pending_.size(), fields_);
            if (!s.ok()) return fail(s.error, s.offset);
            pending_.clear();
            pending_.shrink_to_fit();
            bodyLeft_ = header_.bodySize;
            stage_ = bodyLeft_ ? Stage::Body : Stage::Done;
            break;
        }
        case Stage::Body: {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(size, bodyLeft_));
            if (sink && !sink(context, p, take)) {
                aborted_ = true;
                return fail(Error::Aborted, consumed_);
            }
            p += take;
            size -= take;
            consumed_ += take;
            bodyLeft_ -= take;
            if (bodyLeft_ == 0) stage_ = Stage::Done;
            break;
        }
        }
    }
    if (stage_ == Stage::Failed) return failure_;
    return {};
}

DecodeStatus StreamDecoder::finish() const {
    if (stage_ == Stage::Failed) return failure_;
    if (stage_ != Stage::Done) return {Error::Truncated, consumed_};
    return {};
}

}  // namespace dbstep
