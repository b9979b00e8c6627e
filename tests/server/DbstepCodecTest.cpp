// DBSTEP packet codec: wire layout, round trips, and every rejection path.
#include "dbstep/DbstepPacket.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

using dbstep::DecodeStatus;
using dbstep::Error;
using dbstep::Field;
using dbstep::kHeaderSize;
using dbstep::Limits;
using dbstep::Packet;
using dbstep::StreamDecoder;

namespace {

// Builds raw packets by hand, independent of the encoder under test.
struct Raw {
    std::string bytes;
    Raw& le(std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        return *this;
    }
    Raw& u32(std::uint32_t v) { return le(v, 4); }
    Raw& str(const std::string& s) {
        bytes += s;
        return *this;
    }
    Raw& field(const std::string& n, const std::string& v) {
        return u32(static_cast<std::uint32_t>(n.size())).u32(static_cast<std::uint32_t>(v.size())).str(n).str(v);
    }
    static Raw header(std::uint16_t version, std::uint32_t flags, std::uint32_t count, std::uint32_t block,
                      std::uint64_t body) {
        Raw r;
        r.str("DBSTEP").le(version, 2).le(flags, 4).le(count, 4).le(block, 4).le(body, 8);
        return r;
    }
};

std::string allBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
    return s;
}

Packet sample() {
    Packet p;
    p.set("DBSTEP", "DBSTEP");
    p.set("OPTION", "SAVEFILE");
    p.set("FILENAME", "\xba\xcf\xcd\xac.pdf");  // GBK "合同"
    p.set("EXTPARAM", std::string("a\0b", 3));
    p.setBody("%PDF-1.7\n" + allBytes());
    return p;
}

std::string encoded(const Packet& p) {
    std::string out;
    EXPECT_EQ(dbstep::encode(p, Limits{}, out), Error::Ok);
    return out;
}

// A decoder's whole outcome: the error and its offset, or Ok and the packet re-encoded
// (its fields in order, the body flag and the body).
struct Outcome {
    Error error;
    std::uint64_t offset;
    std::string packet;
    bool operator==(const Outcome& o) const { return error == o.error && offset == o.offset && packet == o.packet; }
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << dbstep::errorText(o.error) << " at " << o.offset << " " << o.packet.size() << " bytes";
}

Outcome decoded(const std::string& bytes, Limits limits = Limits{}) {
    Packet out = sample();
    const DecodeStatus s = dbstep::decode(bytes, limits, out);
    if (!s.ok()) EXPECT_TRUE(out.fields.empty() && !out.hasBody && out.body.empty()) << "a failure leaves it empty";
    return {s.error, s.offset, s.ok() ? encoded(out) : ""};
}

}  // namespace

// What the Windows message server must produce and read, byte for byte (integers little endian).
TEST(DbstepLayout, SmallPacketsHaveTheDocumentedBytes) {
    Packet p;
    p.set("OPTION", "LOADFILE");
    p.setBody("XY");
    EXPECT_EQ(encoded(p), Raw::header(1, 1, 1, 8 + 6 + 8, 2).field("OPTION", "LOADFILE").str("XY").bytes);
    Packet noBody;  // flag clear, size zero
    noBody.set("RESULT", "OK");
    EXPECT_EQ(encoded(noBody), Raw::header(1, 0, 1, 8 + 6 + 2, 0).field("RESULT", "OK").bytes);
    Packet wide;
    wide.setBody(std::string(0x0102, 'x'));
    EXPECT_EQ(encoded(wide), Raw::header(1, 1, 0, 0, 0x0102).str(std::string(0x0102, 'x')).bytes);
}

// The stream decoder is compared with the buffer decoder by server/dbstep/fuzz_dbstep.cpp, and the server
// (tests/server/ServerHttpTest.cpp) decodes every request with it.
TEST(DbstepRoundTrip, FieldsAndBodyComeBackByteForByte) {
    Packet big;
    big.set(std::string(dbstep::kMaxNameLength, 'N'), "v");  // the largest name and field count
    for (std::uint32_t i = 1; i < dbstep::kMaxFieldCount; ++i) big.set("F" + std::to_string(i), "");
    Packet odd;
    odd.set("USERNAME", "");
    odd.set(std::string("\xff\x00n", 3), allBytes());
    Packet emptyBody;
    emptyBody.setBody("");
    for (const Packet& in : {sample(), big, odd, emptyBody, Packet{}}) {
        const std::string bytes = encoded(in);
        EXPECT_EQ(decoded(bytes), (Outcome{Error::Ok, 0, bytes}));
    }
    // A packet exactly at the limit passes; one byte less does not.
    const std::string bytes = encoded(sample());
    EXPECT_EQ(decoded(bytes, Limits{bytes.size(), dbstep::kDefaultMaxFieldBlock}).error, Error::Ok);
    EXPECT_EQ(decoded(bytes, Limits{bytes.size() - 1, dbstep::kDefaultMaxFieldBlock}).error, Error::TooLarge);
}

// Every rejection.
TEST(DbstepMalformed, EveryRejectionWithItsOffset) {
    const std::string good = encoded(sample());
    const std::string longName(dbstep::kMaxNameLength + 1, 'N');
    const std::string sig = encoded([] {
        Packet p;
        p.set("Signature", std::string(1000, 's'));
        return p;
    }());
    const struct {
        const char* what;
        std::string bytes;
        Limits limits;
        Error error;
        std::optional<std::uint64_t> offset;
    } cases[] = {
        {"one byte", "X", {}, Error::BadMagic, 0},
        {"empty", "", {}, Error::Truncated, 0},
        {"magic only", "DBSTEPxx", {}, Error::Truncated, 8},
        {"trailing", good + "!", {}, Error::TrailingBytes, good.size()},
        {"version 0", Raw::header(0, 0, 0, 0, 0).bytes, {}, Error::UnsupportedVersion, {}},
        {"version 2", Raw::header(2, 0, 0, 0, 0).bytes, {}, Error::UnsupportedVersion, {}},
        {"version ffff", Raw::header(0xffff, 0, 0, 0, 0).bytes, {}, Error::UnsupportedVersion, {}},
        {"flag 2", Raw::header(1, 2, 0, 0, 0).bytes, {}, Error::BadFlags, {}},
        {"high flag", Raw::header(1, 0x80000001u, 0, 0, 0).bytes, {}, Error::BadFlags, {}},
        {"body size without flag", Raw::header(1, 0, 0, 0, 1).str("x").bytes, {}, Error::BadFlags, {}},
        {"too many fields", Raw::header(1, 0, dbstep::kMaxFieldCount + 1, 0xffffff, 0).bytes, {}, Error::TooManyFields, {}},
        {"two records in 17 bytes", Raw::header(1, 0, 2, 17, 0).str(std::string(17, 'a')).bytes, {}, Error::BadFieldBlock, {}},
        {"value past the block", Raw::header(1, 1, 1, 12, 4).u32(2).u32(100).str("AB").str("body").bytes, {},
         Error::BadFieldBlock, kHeaderSize},
        {"huge value length", Raw::header(1, 0, 1, 12, 0).u32(2).u32(0xffffffffu).str("ABxx").bytes, {},
         Error::BadFieldBlock, {}},
        {"huge name length", Raw::header(1, 0, 1, 12, 0).u32(0xfffffffeu).u32(2).str("ABxx").bytes, {},
         Error::NameTooLong, {}},
        {"bytes left in the block", Raw::header(1, 0, 1, 8 + 1 + 1 + 3, 0).field("A", "v").str("xyz").bytes, {},
         Error::BadFieldBlock, kHeaderSize + 10},
        {"empty name", Raw::header(1, 0, 1, 9 + 1, 0).u32(0).u32(2).str("vv").bytes, {}, Error::EmptyName, {}},
        {"long name", Raw::header(1, 0, 1, 8 + longName.size(), 0).field(longName, "").bytes, {}, Error::NameTooLong, {}},
        {"duplicate", Raw::header(1, 1, 2, 2 * (8 + 6 + 1), 3).field("OPTION", "a").field("OPTION", "b").str("abc").bytes,
         {}, Error::DuplicateName, kHeaderSize + 15},
        // Size limits are judged from the header alone.
        {"declared above limit", Raw::header(1, 1, 0, 0, 1000).bytes, {999, 100}, Error::TooLarge, {}},
        {"declared at limit", Raw::header(1, 1, 0, 0, 1000).bytes, {kHeaderSize + 1000, 100}, Error::Truncated, {}},
        {"maximal sizes", Raw::header(1, 1, 0, 0xffffffffu, UINT64_MAX).bytes, {UINT64_MAX, UINT32_MAX}, Error::TooLarge, {}},
        {"field block limit", sig, {1u << 20, 1000}, Error::TooLarge, {}},
        {"longer than limit", good + std::string(100, 'x'), {good.size(), 1u << 20}, Error::TooLarge, {}},
        {"foreign and long", "not a packet" + std::string(100, 'x'), {50, 10}, Error::BadMagic, {}},
    };
    for (const auto& c : cases) {
        const Outcome got = decoded(c.bytes, c.limits);
        EXPECT_EQ(got.error, c.error) << c.what;
        if (c.offset) EXPECT_EQ(got.offset, *c.offset) << c.what;
    }
    EXPECT_EQ(decoded(sig, Limits{1u << 20, 1000 + 8 + 9}).error, Error::Ok);
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(decoded(good.substr(0, n)), (Outcome{Error::Truncated, n, ""}));
}

// What the encoder writes, the decoder must accept: it refuses the rest.
TEST(DbstepEncoder, RefusesWhatTheDecoderWouldReject) {
    auto withFields = [](std::vector<Field> fields) {
        Packet p;
        p.fields = std::move(fields);
        return p;
    };
    std::vector<Field> many;
    for (std::uint32_t i = 0; i <= dbstep::kMaxFieldCount; ++i) many.push_back(Field{"F" + std::to_string(i), ""});
    Packet stray;
    stray.body = "data";  // body text without the body flag
    const std::pair<Packet, Error> cases[] = {
        {withFields({{"", "v"}}), Error::EmptyName},
        {withFields({{"A", "1"}, {"A", "2"}}), Error::DuplicateName},
        {withFields({{std::string(dbstep::kMaxNameLength + 1, 'n'), ""}}), Error::NameTooLong},
        {withFields(many), Error::TooManyFields},
        {stray, Error::BadFlags},
    };
    for (const auto& [packet, error] : cases) {
        std::string out;
        EXPECT_EQ(dbstep::encode(packet, Limits{}, out), error);
        EXPECT_TRUE(out.empty());
    }
    std::string out;
    const std::string full = encoded(sample());
    EXPECT_EQ(dbstep::encode(sample(), Limits{full.size() - 1, 1u << 20}, out), Error::TooLarge);
    EXPECT_EQ(dbstep::encodeHead({}, true, UINT64_MAX, Limits{UINT64_MAX, 100}, out), Error::TooLarge);
}

TEST(DbstepStream, FailsAsSoonAsItCanAndStaysFailed) {
    StreamDecoder foreign(Limits{});
    EXPECT_EQ(foreign.feed("P", 1).error, Error::BadMagic) << "on the first byte";
    const std::string good = encoded(sample());
    EXPECT_EQ(foreign.feed(good.data(), good.size()).error, Error::BadMagic) << "sticky";
    EXPECT_EQ(foreign.finish().error, Error::BadMagic);

    const std::string head = Raw::header(1, 1, 0, 0, 5000).bytes;
    StreamDecoder big(Limits{1000, 100});
    EXPECT_TRUE(big.feed(head.data(), head.size() - 1).ok());
    EXPECT_EQ(big.feed(head.data() + head.size() - 1, 1).error, Error::TooLarge) << "once the header is in";

    StreamDecoder stop(Limits{});
    EXPECT_EQ(stop.feed(good.data(), good.size(), [](const char*, std::size_t) { return false; }).error, Error::Aborted);
    EXPECT_TRUE(stop.aborted());
    EXPECT_EQ(stop.finish().error, Error::Aborted);
}

TEST(DbstepErrors, EveryErrorHasItsOwnText) {
    std::set<std::string> texts;
    for (int e = static_cast<int>(Error::Ok); e <= static_cast<int>(Error::Aborted); ++e)
        texts.insert(dbstep::errorText(static_cast<Error>(e)));
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(Error::Aborted) + 1);
    EXPECT_EQ(texts.count("unknown error"), 0u);
}
