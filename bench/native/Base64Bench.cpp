// Encode and decode throughput of the component's codec with the standard
// table, next to OpenSSL's EVP_EncodeBlock/EVP_DecodeBlock and a plain memcpy
// of the same bytes. Throughput counts the binary bytes in both directions.
#include "Base64.h"
#include "BenchInput.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using folium::Base64EncodedLength;
using folium::Base64Table;

struct Input {
    std::vector<std::uint8_t> bytes;
    std::string text;  // the bytes encoded with the standard table
};

const Input& GetInput(std::size_t size) {
    static std::map<std::size_t, Input> inputs;
    auto found = inputs.find(size);
    if (found == inputs.end()) {
        Input input;
        input.bytes = folium::bench::MakeInput(size);
        input.text = folium::EncodeBase64(input.bytes.data(), input.bytes.size());
        found = inputs.emplace(size, std::move(input)).first;
    }
    return found->second;
}

void Finish(benchmark::State& state, std::size_t size) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(size));
}

void BM_EncodeFolium(benchmark::State& state) {
    const Input& in = GetInput(static_cast<std::size_t>(state.range(0)));
    const Base64Table& table = Base64Table::Standard();
    std::string out(Base64EncodedLength(in.bytes.size()), '\0');
    for (auto _ : state) {
        benchmark::DoNotOptimize(folium::EncodeBase64(in.bytes.data(), in.bytes.size(), table, out.data()));
        benchmark::ClobberMemory();
    }
    Finish(state, in.bytes.size());
}

void BM_EncodeFoliumUtf16(benchmark::State& state) {
    const Input& in = GetInput(static_cast<std::size_t>(state.range(0)));
    const Base64Table& table = Base64Table::Standard();
    std::u16string out(Base64EncodedLength(in.bytes.size()), u'\0');
    for (auto _ : state) {
        benchmark::DoNotOptimize(folium::EncodeBase64(in.bytes.data(), in.bytes.size(), table, out.data()));
        benchmark::ClobberMemory();
    }
    Finish(state, in.bytes.size());
}

void BM_EncodeOpenSsl(benchmark::State& state) {
    const Input& in = GetInput(static_cast<std::size_t>(state.range(0)));
    std::string out(Base64EncodedLength(in.bytes.size()) + 1, '\0');
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                                 in.bytes.data(), static_cast<int>(in.bytes.size())));
        benchmark::ClobberMemory();
    }
    Finish(state, in.bytes.size());
}

void BM_DecodeFolium(benchmark::State& state) {
    const Input& in = GetInput(static_cast<std::size_t>(state.range(0)));
    const Base64Table& table = Base64Table::Standard();
    std::vector<std::uint8_t> out(in.text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(folium::DecodeBase64(in.text.data(), in.text.size(), table, out.data()));
        benchmark::ClobberMemory();
    }
    Finish(state, in.bytes.size());
}

void BM_DecodeOpenSsl(benchmark::State& state) {
    const Input& in = GetInput(static_cast<std::size_t>(state.range(0)));
    std::vector<std::uint8_t> out(in.text.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(),
                                                 reinterpret_cast<const unsigned char*>(in.text.data()),
                                                 static_cast<int>(in.text.size())));
        benchmark::ClobberMemory();
    }
    Finish(state, in.bytes.size());
}

void BM_Memcpy(benchmark::State& state) {
    const Input& in = GetInput(static_cast<std::size_t>(state.range(0)));
    std::vector<std::uint8_t> out(in.bytes.size());
    for (auto _ : state) {
        std::memcpy(out.data(), in.bytes.data(), in.bytes.size());
        benchmark::ClobberMemory();
    }
    Finish(state, in.bytes.size());
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(static_cast<std::int64_t>(folium::bench::kSmallInput));
    b->Arg(static_cast<std::int64_t>(folium::bench::kLargeInput));
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_EncodeFolium)->Apply(Sizes);
BENCHMARK(BM_EncodeFoliumUtf16)->Apply(Sizes);
BENCHMARK(BM_EncodeOpenSsl)->Apply(Sizes);
BENCHMARK(BM_DecodeFolium)->Apply(Sizes);
BENCHMARK(BM_DecodeOpenSsl)->Apply(Sizes);
BENCHMARK(BM_Memcpy)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
