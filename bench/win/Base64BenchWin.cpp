// Base64 throughput on Windows: the component's codec with the standard table
// (narrow and UTF-16 output) next to CryptBinaryToStringA/CryptStringToBinaryA
// and memcpy of the same bytes, on 1 MB and 64 MB. Prints MB/s of binary data.
#include <windows.h>
#include <wincrypt.h>

#include "Base64.h"
#include "BenchInput.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency);
}

// Runs `step` until at least half a second has passed (and at least three
// times), after one untimed warm-up run; returns MB/s for `bytes` per run.
template <class Step>
double Throughput(std::size_t bytes, Step step) {
    step();
    int runs = 0;
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    do {
        step();
        ++runs;
        QueryPerformanceCounter(&now);
    } while (runs < 3 || Seconds(start, now) < 0.5);
    return static_cast<double>(bytes) * runs / Seconds(start, now) / (1024.0 * 1024.0);
}

void Report(const char* name, std::size_t size, double mbPerSecond, double baseline) {
    std::printf("%-28s %6zu MB %10.1f MB/s", name, size >> 20, mbPerSecond);
    if (baseline > 0) std::printf("   %5.2fx CryptoAPI", mbPerSecond / baseline);
    std::printf("\n");
}

bool RunSize(std::size_t size) {
    const std::vector<std::uint8_t> bytes = folium::bench::MakeInput(size);
    const folium::Base64Table& table = folium::Base64Table::Standard();
    const std::size_t textLength = folium::Base64EncodedLength(size);
    const DWORD encodeFlags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;

    std::string ours(textLength, '\0');
    std::wstring oursWide(textLength, L'\0');
    std::string theirs(textLength + 1, '\0');
    std::vector<std::uint8_t> decoded(textLength);
    std::vector<std::uint8_t> copy(size);

    folium::EncodeBase64(bytes.data(), size, table, ours.data());
    DWORD theirLength = static_cast<DWORD>(theirs.size());
    if (!CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(size), encodeFlags, theirs.data(),
                              &theirLength)) {
        std::printf("CryptBinaryToStringA failed: %lu\n", GetLastError());
        return false;
    }
    theirs.resize(theirLength);
    const bool sameText = theirs == ours;
    const std::size_t count = folium::DecodeBase64(ours.data(), ours.size(), table, decoded.data());
    const bool roundTrip = count == size && std::memcmp(decoded.data(), bytes.data(), size) == 0;

    const double cryptEncode = Throughput(size, [&] {
        DWORD n = static_cast<DWORD>(textLength + 1);
        CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(size), encodeFlags, &theirs[0], &n);
    });
    const double encode = Throughput(size, [&] {
        folium::EncodeBase64(bytes.data(), size, table, ours.data());
    });
    const double encodeWide = Throughput(size, [&] {
        folium::EncodeBase64(bytes.data(), size, table, oursWide.data());
    });
    const double cryptDecode = Throughput(size, [&] {
        DWORD n = static_cast<DWORD>(decoded.size());
        CryptStringToBinaryA(ours.data(), static_cast<DWORD>(ours.size()), CRYPT_STRING_BASE64,
                             decoded.data(), &n, nullptr, nullptr);
    });
    const double decode = Throughput(size, [&] {
        folium::DecodeBase64(ours.data(), ours.size(), table, decoded.data());
    });
    const double copying = Throughput(size, [&] {
        std::memcpy(copy.data(), bytes.data(), size);
    });

    Report("encode CryptBinaryToStringA", size, cryptEncode, 0);
    Report("encode folium (char)", size, encode, cryptEncode);
    Report("encode folium (UTF-16)", size, encodeWide, cryptEncode);
    Report("decode CryptStringToBinaryA", size, cryptDecode, 0);
    Report("decode folium", size, decode, cryptDecode);
    Report("memcpy", size, copying, 0);
    std::printf("%zu MB: text identical to CryptoAPI: %s, round trip: %s\n\n", size >> 20,
                sameText ? "yes" : "NO", roundTrip ? "yes" : "NO");
    return sameText && roundTrip;
}

}  // namespace

int main() {
    bool ok = RunSize(folium::bench::kSmallInput);
    ok = RunSize(folium::bench::kLargeInput) && ok;
    return ok ? 0 : 1;
}
