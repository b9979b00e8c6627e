// Our codec against OpenSSL's EVP block functions: with the standard table and
// valid text both must give byte-identical results, on the benchmark inputs too.
#include "Base64.h"
#include "BenchInput.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

namespace folium {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string OpenSslEncode(const Bytes& bytes) {
    std::string text(Base64EncodedLength(bytes.size()) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                  static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

// EVP_DecodeBlock keeps the zero bytes that stand for pads; drop them.
Bytes OpenSslDecode(const std::string& text) {
    Bytes bytes(text.size() / 4 * 3 + 3);
    const int n = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    EXPECT_GE(n, 0);
    std::size_t pads = 0;
    if (!text.empty() && text.back() == '=') pads = text[text.size() - 2] == '=' ? 2 : 1;
    bytes.resize(static_cast<std::size_t>(n) - pads);
    return bytes;
}

void ExpectSameAsOpenSsl(const Bytes& bytes) {
    const std::string ours = EncodeBase64(bytes.data(), bytes.size());
    const std::string theirs = OpenSslEncode(bytes);
    ASSERT_EQ(ours.size(), theirs.size());
    ASSERT_TRUE(ours == theirs) << "encoded text differs for " << bytes.size() << " bytes";
    const Bytes decoded = DecodeBase64(ours);
    ASSERT_TRUE(decoded == OpenSslDecode(theirs)) << "decoded bytes differ for " << bytes.size();
    ASSERT_TRUE(decoded == bytes) << "round trip fails for " << bytes.size() << " bytes";
}

TEST(Base64VersusOpenSsl, SmallInputsOfEveryLength) {
    for (std::size_t n = 0; n <= 200; ++n) ExpectSameAsOpenSsl(bench::MakeInput(n));
}

TEST(Base64VersusOpenSsl, AllByteValues) {
    Bytes bytes(256);
    for (unsigned i = 0; i < 256; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    ExpectSameAsOpenSsl(bytes);
}

TEST(Base64VersusOpenSsl, OneMegabyteBenchmarkInput) {
    ExpectSameAsOpenSsl(bench::MakeInput(bench::kSmallInput));
}

TEST(Base64VersusOpenSsl, SixtyFourMegabyteBenchmarkInput) {
    ExpectSameAsOpenSsl(bench::MakeInput(bench::kLargeInput));
}

}  // namespace
}  // namespace folium
