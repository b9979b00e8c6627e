// libFuzzer target: the decoder must never crash or read out of bounds, the
// whole-buffer and the incremental decoder must agree, and whatever decodes
// must encode back to the very same bytes (the layout leaves no freedom).
#include "DbstepPacket.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte picks the chunk size used for the incremental decoder.
    const std::size_t chunk = 1 + data[0] % 37;
    ++data;
    --size;

    dbstep::Limits limits;
    limits.maxPacket = 1u << 20;
    limits.maxFieldBlock = 64u << 10;

    dbstep::Packet whole;
    const dbstep::DecodeStatus a = dbstep::decode(data, size, limits, whole);

    dbstep::StreamDecoder stream(limits);
    std::string body;
    dbstep::DecodeStatus b;
    for (std::size_t off = 0; off < size && b.ok(); off += chunk) {
        const std::size_t n = size - off < chunk ? size - off : chunk;
        b = stream.feed(data + off, n, [&](const char* d, std::size_t k) {
            if (!stream.fieldsReady()) std::abort();
            body.append(d, k);
            return true;
        });
    }
    if (b.ok()) b = stream.finish();

    if (a.ok() != b.ok() || a.error != b.error || a.offset != b.offset) std::abort();
    if (!a.ok()) {
        if (!whole.fields.empty() || whole.hasBody) std::abort();
        return 0;
    }
    if (whole.hasBody != stream.header().hasBody() || whole.body != body) std::abort();
    if (whole.fields.size() != stream.fields().size()) std::abort();
    for (std::size_t i = 0; i < whole.fields.size(); ++i)
        if (whole.fields[i].name != stream.fields()[i].name ||
            whole.fields[i].value != stream.fields()[i].value)
            std::abort();

    std::string again;
    if (dbstep::encode(whole, limits, again) != dbstep::Error::Ok) std::abort();
    if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
    return 0;
}
