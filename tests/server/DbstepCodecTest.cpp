// DBSTEP packet codec: wire layout, round trips, and every rejection path.
#include "dbstep/DbstepPacket.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using dbstep::decode;
using dbstep::DecodeStatus;
using dbstep::encode;
using dbstep::Error;
using dbstep::Field;
using dbstep::Limits;
using dbstep::Packet;
using dbstep::StreamDecoder;

namespace {

// Builds raw packets by hand, independent of the encoder under test.
struct Raw {
    std::string bytes;
    Raw& u16(std::uint16_t v) {
        for (int i = 0; i < 2; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        return *this;
    }
    Raw& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        return *this;
    }
    Raw& u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        return *this;
    }
    Raw& str(const std::string& s) {
        bytes += s;
        return *this;
    }
    Raw& field(const std::string& n, const std::string& v) {
        return u32(static_cast<std::uint32_t>(n.size())).u32(static_cast<std::uint32_t>(v.size())).str(n).str(v);
    }
    // Header with explicit values, for building broken packets.
    static Raw header(std::uint16_t version, std::uint32_t flags, std::uint32_t count,
                      std::uint32_t block, std::uint64_t body) {
        Raw r;
        r.str("DBSTEP").u16(version).u32(flags).u32(count).u32(block).u64(body);
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
    EXPECT_EQ(encode(p, Limits{}, out), Error::Ok);
    return out;
}

DecodeStatus decodeBytes(const std::string& bytes, Packet& out, Limits limits = Limits{}) {
    return decode(bytes, limits, out);
}

Error decodeError(const std::string& bytes, Limits limits = Limits{}) {
    Packet p;
    return decodeBytes(bytes, p, limits).error;
}

// Feeds `bytes` in pieces of `step` and collects the body.
DecodeStatus streamDecode(const std::string& bytes, std::size_t step, StreamDecoder& d,
                          std::string& body) {
    for (std::size_t off = 0; off < bytes.size(); off += step) {
        DecodeStatus s = d.feed(bytes.data() + off, std::min(step, bytes.size() - off),
                                [&](const char* data, std::size_t n) {
                                    body.append(data, n);
                                    return true;
                                });
        if (!s.ok()) return s;
    }
    return d.finish();
}

}  // namespace

// ---------------------------------------------------------------------------
// Wire layout: what the Windows message server must produce and read.

TEST(DbstepLayout, SmallPacketHasDocumentedBytes) {
    Packet p;
    p.set("OPTION", "LOADFILE");
    p.setBody("XY");
    const std::string expected = Raw::header(1, 1, 1, 8 + 6 + 8, 2)
                                     .field("OPTION", "LOADFILE")
                                     .str("XY")
                                     .bytes;
    EXPECT_EQ(encoded(p), expected);
    EXPECT_EQ(expected.size(), dbstep::kHeaderSize + 22 + 2);
}

TEST(DbstepLayout, NoBodyMeansFlagClearAndZeroSize) {
    Packet p;
    p.set("RESULT", "OK");
    EXPECT_EQ(encoded(p), Raw::header(1, 0, 1, 8 + 6 + 2, 0).field("RESULT", "OK").bytes);
}

TEST(DbstepLayout, IntegersAreLittleEndian) {
    Packet p;
    p.setBody(std::string(0x0102, 'x'));
    const std::string bytes = encoded(p);
    ASSERT_EQ(bytes.size(), dbstep::kHeaderSize + 0x0102);
    EXPECT_EQ(bytes.substr(0, 6), "DBSTEP");
    EXPECT_EQ(bytes.substr(6, 2), std::string("\x01\x00", 2));          // version
    EXPECT_EQ(bytes.substr(8, 4), std::string("\x01\0\0\0", 4));       // flags
    EXPECT_EQ(bytes.substr(20, 8), std::string("\x02\x01\0\0\0\0\0\0", 8));  // body size
}

// ---------------------------------------------------------------------------
// Round trips.

TEST(DbstepRoundTrip, FieldsAndBodyComeBackByteForByte) {
    const Packet in = sample();
    Packet out;
    ASSERT_TRUE(decodeBytes(encoded(in), out).ok());
    ASSERT_EQ(out.fields.size(), in.fields.size());
    for (std::size_t i = 0; i < in.fields.size(); ++i) {
        EXPECT_EQ(out.fields[i].name, in.fields[i].name);
        EXPECT_EQ(out.fields[i].value, in.fields[i].value);
    }
    EXPECT_TRUE(out.hasBody);
    EXPECT_EQ(out.body, in.body);
}

TEST(DbstepRoundTrip, EmptyBodyDiffersFromNoBody) {
    Packet withEmpty;
    withEmpty.setBody("");
    Packet without;
    Packet a, b;
    ASSERT_TRUE(decodeBytes(encoded(withEmpty), a).ok());
    ASSERT_TRUE(decodeBytes(encoded(without), b).ok());
    EXPECT_TRUE(a.hasBody);
    EXPECT_FALSE(b.hasBody);
}

TEST(DbstepRoundTrip, EmptyValuesAndBinaryNamesSurvive) {
    Packet in;
    in.set("USERNAME", "");
    in.set(std::string("\xff\x00n", 3), allBytes());
    Packet out;
    ASSERT_TRUE(decodeBytes(encoded(in), out).ok());
    ASSERT_EQ(out.fields.size(), 2u);
    EXPECT_EQ(out.get("USERNAME", "absent"), "");
    EXPECT_EQ(out.get(std::string("\xff\x00n", 3)), allBytes());
}

TEST(DbstepRoundTrip, LargestAllowedNameAndFieldCount) {
    Packet in;
    in.set(std::string(dbstep::kMaxNameLength, 'N'), "v");
    for (std::uint32_t i = 1; i < dbstep::kMaxFieldCount; ++i) in.set("F" + std::to_string(i), "");
    Packet out;
    ASSERT_TRUE(decodeBytes(encoded(in), out).ok());
    EXPECT_EQ(out.fields.size(), dbstep::kMaxFieldCount);
    EXPECT_EQ(out.fields.back().name, "F" + std::to_string(dbstep::kMaxFieldCount - 1));
}

TEST(DbstepRoundTrip, PacketExactlyAtLimitIsAccepted) {
    const std::string bytes = encoded(sample());
    Packet out;
    EXPECT_TRUE(decodeBytes(bytes, out, Limits{bytes.size(), dbstep::kDefaultMaxFieldBlock}).ok());
    EXPECT_EQ(decodeError(bytes, Limits{bytes.size() - 1, dbstep::kDefaultMaxFieldBlock}),
              Error::TooLarge);
}

// ---------------------------------------------------------------------------
// Message helpers.

TEST(DbstepMessage, SetReplacesInPlaceAndKeepsFirstOrder) {
    Packet p;
    p.set("DBSTEP", "DBSTEP");
    p.set("OPTION", "LOADFILE");
    p.set("RECORDID", "1");
    p.set("OPTION", "SAVEFILE");
    ASSERT_EQ(p.fields.size(), 3u);
    EXPECT_EQ(p.fields[1].name, "OPTION");
    EXPECT_EQ(p.fields[1].value, "SAVEFILE");
}

TEST(DbstepMessage, NamesAreCaseSensitive) {
    Packet p;
    p.set("Signature", "s");
    EXPECT_EQ(p.find("SIGNATURE"), nullptr);
    EXPECT_EQ(p.get("SIGNATURE", "none"), "none");
    ASSERT_NE(p.find("Signature"), nullptr);
}

// ---------------------------------------------------------------------------
// Malformed input.

TEST(DbstepMalformed, ForeignBytesAreNotAPacket) {
    EXPECT_EQ(decodeError("GET / HTTP/1.1\r\n\r\n"), Error::BadMagic);
    EXPECT_EQ(decodeError("X"), Error::BadMagic);
    EXPECT_EQ(decodeError(std::string(100, '\0')), Error::BadMagic);
}

TEST(DbstepMalformed, EmptyInputIsTruncated) { EXPECT_EQ(decodeError(""), Error::Truncated); }

TEST(DbstepMalformed, EveryProperPrefixIsTruncated) {
    const std::string bytes = encoded(sample());
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        Packet out;
        DecodeStatus s = decodeBytes(bytes.substr(0, n), out);
        ASSERT_EQ(s.error, Error::Truncated) << "prefix " << n;
        EXPECT_EQ(s.offset, n);
        EXPECT_TRUE(out.fields.empty());
    }
}

TEST(DbstepMalformed, TrailingBytesAreRejected) {
    Packet out;
    const std::string bytes = encoded(sample());
    DecodeStatus s = decodeBytes(bytes + "!", out);
    EXPECT_EQ(s.error, Error::TrailingBytes);
    EXPECT_EQ(s.offset, bytes.size());
}

TEST(DbstepMalformed, OtherVersionsAreRejected) {
    for (std::uint16_t v : {0, 2, 0xffff})
        EXPECT_EQ(decodeError(Raw::header(v, 0, 0, 0, 0).bytes), Error::UnsupportedVersion) << v;
}

TEST(DbstepMalformed, UnknownFlagsAreRejected) {
    EXPECT_EQ(decodeError(Raw::header(1, 2, 0, 0, 0).bytes), Error::BadFlags);
    EXPECT_EQ(decodeError(Raw::header(1, 0x80000001u, 0, 0, 0).bytes), Error::BadFlags);
}

TEST(DbstepMalformed, BodySizeWithoutBodyFlagIsRejected) {
    EXPECT_EQ(decodeError(Raw::header(1, 0, 0, 0, 1).str("x").bytes), Error::BadFlags);
}

TEST(DbstepMalformed, FieldCountAboveMaximumIsRejected) {
    EXPECT_EQ(decodeError(Raw::header(1, 0, dbstep::kMaxFieldCount + 1, 0xffffff, 0).bytes),
              Error::TooManyFields);
}

TEST(DbstepMalformed, FieldCountThatCannotFitTheBlockIsRejected) {
    // Two records need at least 18 bytes.
    EXPECT_EQ(decodeError(Raw::header(1, 0, 2, 17, 0).str(std::string(17, 'a')).bytes),
              Error::BadFieldBlock);
}

TEST(DbstepMalformed, RecordRunningPastTheBlockIsRejected) {
    Raw r = Raw::header(1, 1, 1, 12, 4);
    r.u32(2).u32(100).str("AB").str("body");  // value claims 100 bytes, block has 2 left
    Packet out;
    DecodeStatus s = decodeBytes(r.bytes, out);
    EXPECT_EQ(s.error, Error::BadFieldBlock);
    EXPECT_EQ(s.offset, dbstep::kHeaderSize);
}

TEST(DbstepMalformed, HugeLengthsDoNotWrapAround) {
    Raw r = Raw::header(1, 0, 1, 12, 0);
    r.u32(2).u32(0xffffffffu).str("AB").str("xx");
    EXPECT_EQ(decodeError(r.bytes), Error::BadFieldBlock);
    Raw n = Raw::header(1, 0, 1, 12, 0);
    n.u32(0xfffffffeu).u32(2).str("ABxx");
    EXPECT_EQ(decodeError(n.bytes), Error::NameTooLong);
}

TEST(DbstepMalformed, BlockWithBytesLeftOverIsRejected) {
    Raw r = Raw::header(1, 0, 1, 8 + 1 + 1 + 3, 0);
    r.field("A", "v").str("xyz");
    Packet out;
    DecodeStatus s = decodeBytes(r.bytes, out);
    EXPECT_EQ(s.error, Error::BadFieldBlock);
    EXPECT_EQ(s.offset, dbstep::kHeaderSize + 10);
}

TEST(DbstepMalformed, EmptyNameIsRejected) {
    Raw r = Raw::header(1, 0, 1, 9 + 1, 0);
    r.u32(0).u32(2).str("vv");
    EXPECT_EQ(decodeError(r.bytes), Error::EmptyName);
}

TEST(DbstepMalformed, OverlongNameIsRejected) {
    const std::string name(dbstep::kMaxNameLength + 1, 'N');
    Raw r = Raw::header(1, 0, 1, static_cast<std::uint32_t>(8 + name.size()), 0);
    r.field(name, "");
    EXPECT_EQ(decodeError(r.bytes), Error::NameTooLong);
}

TEST(DbstepMalformed, DuplicateNameIsRejected) {
    Raw r = Raw::header(1, 0, 2, 2 * (8 + 6 + 1), 0);
    r.field("OPTION", "a").field("OPTION", "b");
    Packet out;
    DecodeStatus s = decodeBytes(r.bytes, out);
    EXPECT_EQ(s.error, Error::DuplicateName);
    EXPECT_EQ(s.offset, dbstep::kHeaderSize + 15);
}

TEST(DbstepMalformed, FailureLeavesOutputEmpty) {
    Packet out = sample();
    EXPECT_FALSE(decodeBytes("DBSTEPxx", out).ok());
    EXPECT_TRUE(out.fields.empty());
    EXPECT_FALSE(out.hasBody);
    EXPECT_TRUE(out.body.empty());
}

// ---------------------------------------------------------------------------
// Size limits.

TEST(DbstepLimits, DeclaredSizeAboveLimitIsRejectedFromHeaderAlone) {
    // Only the header is present: the decision needs no body bytes.
    const std::string head = Raw::header(1, 1, 0, 0, 1000).bytes;
    EXPECT_EQ(decodeError(head, Limits{999, 100}), Error::TooLarge);
    EXPECT_EQ(decodeError(head, Limits{dbstep::kHeaderSize + 1000, 100}), Error::Truncated);
}

TEST(DbstepLimits, MaximalDeclaredSizesDoNotOverflow) {
    const std::string head = Raw::header(1, 1, 0, 0xffffffffu, UINT64_MAX).bytes;
    EXPECT_EQ(decodeError(head, Limits{UINT64_MAX, UINT32_MAX}), Error::TooLarge);
}

TEST(DbstepLimits, FieldBlockHasItsOwnLimit) {
    Packet p;
    p.set("Signature", std::string(1000, 's'));
    const std::string bytes = encoded(p);
    EXPECT_EQ(decodeError(bytes, Limits{1u << 20, 1000}), Error::TooLarge);
    EXPECT_EQ(decodeError(bytes, Limits{1u << 20, 1000 + 8 + 9}), Error::Ok);
}

TEST(DbstepLimits, InputLongerThanLimitIsRejectedWithoutParsing) {
    std::string bytes = encoded(sample());
    EXPECT_EQ(decodeError(bytes + std::string(100, 'x'), Limits{bytes.size(), 1u << 20}),
              Error::TooLarge);
    EXPECT_EQ(decodeError("not a packet" + std::string(100, 'x'), Limits{50, 10}), Error::BadMagic);
}

// ---------------------------------------------------------------------------
// Encoder refusals: what it writes, the decoder must accept.

TEST(DbstepEncoder, RefusesWhatTheDecoderWouldReject) {
    std::string out;
    Packet empty;
    empty.fields.push_back(Field{"", "v"});
    EXPECT_EQ(encode(empty, Limits{}, out), Error::EmptyName);

    Packet dup;
    dup.fields.push_back(Field{"A", "1"});
    dup.fields.push_back(Field{"A", "2"});
    EXPECT_EQ(encode(dup, Limits{}, out), Error::DuplicateName);

    Packet longName;
    longName.set(std::string(dbstep::kMaxNameLength + 1, 'n'), "");
    EXPECT_EQ(encode(longName, Limits{}, out), Error::NameTooLong);

    Packet many;
    for (std::uint32_t i = 0; i <= dbstep::kMaxFieldCount; ++i)
        many.fields.push_back(Field{"F" + std::to_string(i), ""});
    EXPECT_EQ(encode(many, Limits{}, out), Error::TooManyFields);

    Packet stray;
    stray.body = "data";  // body text without the body flag
    EXPECT_EQ(encode(stray, Limits{}, out), Error::BadFlags);
    EXPECT_TRUE(out.empty());
}

TEST(DbstepEncoder, RefusesPacketsAboveTheLimit) {
    std::string out;
    const std::string full = encoded(sample());
    EXPECT_EQ(encode(sample(), Limits{full.size() - 1, 1u << 20}, out), Error::TooLarge);
    EXPECT_EQ(dbstep::encodeHead({}, true, UINT64_MAX, Limits{UINT64_MAX, 100}, out), Error::TooLarge);
}

TEST(DbstepEncoder, HeadPlusBodyEqualsWholePacket) {
    const Packet p = sample();
    std::string head;
    ASSERT_EQ(dbstep::encodeHead(p.fields, true, p.body.size(), Limits{}, head), Error::Ok);
    EXPECT_EQ(head + p.body, encoded(p));
}

// ---------------------------------------------------------------------------
// Incremental decoder.

TEST(DbstepStream, AnyChunkingGivesTheWholeBufferResult) {
    const std::string bytes = encoded(sample());
    for (std::size_t step : {std::size_t{1}, std::size_t{3}, std::size_t{27}, std::size_t{28},
                             std::size_t{29}, bytes.size()}) {
        StreamDecoder d(Limits{});
        std::string body;
        ASSERT_TRUE(streamDecode(bytes, step, d, body).ok()) << step;
        EXPECT_TRUE(d.done());
        EXPECT_EQ(d.fields().size(), sample().fields.size());
        EXPECT_EQ(d.fields()[2].value, sample().fields[2].value);
        EXPECT_EQ(body, sample().body);
        EXPECT_EQ(d.consumed(), bytes.size());
    }
}

TEST(DbstepStream, BodyArrivesOnlyAfterFieldsAreComplete) {
    const std::string bytes = encoded(sample());
    StreamDecoder d(Limits{});
    bool early = false;
    for (char c : bytes) {
        d.feed(&c, 1, [&](const char*, std::size_t) {
            early = early || !d.fieldsReady() || d.fields().size() != 4;
            return true;
        });
    }
    EXPECT_FALSE(early);
    EXPECT_TRUE(d.finish().ok());
}

TEST(DbstepStream, ForeignInputFailsOnFirstByte) {
    StreamDecoder d(Limits{});
    DecodeStatus s = d.feed("P", 1);
    EXPECT_EQ(s.error, Error::BadMagic);
}

TEST(DbstepStream, OversizeIsKnownOnceTheHeaderIsIn) {
    const std::string head = Raw::header(1, 1, 0, 0, 5000).bytes;
    StreamDecoder d(Limits{1000, 100});
    EXPECT_TRUE(d.feed(head.data(), head.size() - 1).ok());
    EXPECT_EQ(d.feed(head.data() + head.size() - 1, 1).error, Error::TooLarge);
}

TEST(DbstepStream, IncompleteInputIsTruncatedAtFinish) {
    const std::string bytes = encoded(sample());
    StreamDecoder d(Limits{});
    ASSERT_TRUE(d.feed(bytes.data(), bytes.size() - 1).ok());
    DecodeStatus s = d.finish();
    EXPECT_EQ(s.error, Error::Truncated);
    EXPECT_EQ(s.offset, bytes.size() - 1);
}

TEST(DbstepStream, BytesAfterTheEndAreRejected) {
    const std::string bytes = encoded(sample()) + "zz";
    StreamDecoder d(Limits{});
    DecodeStatus s = d.feed(bytes.data(), bytes.size());
    EXPECT_EQ(s.error, Error::TrailingBytes);
    EXPECT_EQ(s.offset, bytes.size() - 2);
}

TEST(DbstepStream, ErrorsAreSticky) {
    StreamDecoder d(Limits{});
    d.feed("XX", 2);
    const std::string good = encoded(sample());
    EXPECT_EQ(d.feed(good.data(), good.size()).error, Error::BadMagic);
    EXPECT_EQ(d.finish().error, Error::BadMagic);
}

TEST(DbstepStream, SinkCanStopTheBody) {
    const std::string bytes = encoded(sample());
    StreamDecoder d(Limits{});
    DecodeStatus s = d.feed(bytes.data(), bytes.size(), [](const char*, std::size_t) { return false; });
    EXPECT_EQ(s.error, Error::Aborted);
    EXPECT_TRUE(d.aborted());
    EXPECT_EQ(d.finish().error, Error::Aborted);
}

TEST(DbstepStream, MalformedFieldsAreReportedLikeTheBufferDecoder) {
    Raw r = Raw::header(1, 1, 2, 2 * (8 + 1 + 1), 3);
    r.field("A", "1").field("A", "2").str("abc");
    Packet whole;
    DecodeStatus a = decodeBytes(r.bytes, whole);
    StreamDecoder d(Limits{});
    std::string body;
    DecodeStatus b = streamDecode(r.bytes, 5, d, body);
    EXPECT_EQ(a.error, Error::DuplicateName);
    EXPECT_EQ(b.error, a.error);
    EXPECT_EQ(b.offset, a.offset);
    EXPECT_TRUE(body.empty());
}

// ---------------------------------------------------------------------------

TEST(DbstepErrors, EveryErrorHasItsOwnText) {
    std::set<std::string> texts;
    const Error all[] = {Error::Ok,          Error::Truncated,     Error::BadMagic,
                         Error::UnsupportedVersion, Error::BadFlags, Error::TooLarge,
                         Error::TooManyFields, Error::BadFieldBlock, Error::EmptyName,
                         Error::NameTooLong, Error::DuplicateName, Error::TrailingBytes,
                         Error::Aborted};
    for (Error e : all) texts.insert(dbstep::errorText(e));
    EXPECT_EQ(texts.size(), sizeof all / sizeof all[0]);
    EXPECT_EQ(texts.count("unknown error"), 0u);
}
