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

void ExpectSameAsOpenSsl(const Bytes& bytes) {
    std::string theirs(Base64EncodedLength(bytes.size()) + 1, '\0');
    theirs.resize(static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(theirs.data()),
                                                           bytes.data(), static_cast<int>(bytes.size()))));
    const std::string ours = EncodeBase64(bytes.data(), bytes.size());
    ASSERT_TRUE(ours == theirs) << "encoded text differs for " << bytes.size() << " bytes";
    // EVP_DecodeBlock keeps the zero bytes that stand for pads; drop them.
    Bytes decoded(theirs.size() / 4 * 3 + 3);
    const int n = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(theirs.data()),
                                  static_cast<int>(theirs.size()));
    ASSERT_GE(n, 0);
    decoded.resize(static_cast<std::size_t>(n) - (bytes.size() % 3 == 0 ? 0 : 3 - bytes.size() % 3));
    ASSERT_TRUE(DecodeBase64(ours) == decoded) << "decoded bytes differ for " << bytes.size();
    ASSERT_TRUE(decoded == bytes) << "round trip fails for " << bytes.size() << " bytes";
}

TEST(Base64VersusOpenSsl, EverySmallLengthAllByteValuesAndTheBenchmarkInputs) {
    for (std::size_t n = 0; n <= 200; ++n) ExpectSameAsOpenSsl(bench::MakeInput(n));
    Bytes all(256);
    for (unsigned i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    ExpectSameAsOpenSsl(all);
    ExpectSameAsOpenSsl(bench::MakeInput(bench::kSmallInput));
    ExpectSameAsOpenSsl(bench::MakeInput(bench::kLargeInput));
}

}  // namespace
}  // namespace folium
