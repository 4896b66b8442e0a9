// Engine tests: the content digest tells apart the inputs a file comparison meets: one changed bit, one
// byte more, the same first bytes of files of other sizes.
#include "engine/content_digest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace tandemere::testing {
namespace {

using engine::DigestOf;

TEST(ContentDigestTest, EveryChangedBitLengthAndFileSizeGivesAnotherDigest) {
    std::vector<unsigned char> bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    std::set<std::uint64_t> seen;
    std::size_t made = 0;
    const auto note = [&](std::size_t count, std::uint64_t fileSize) {
        seen.insert(DigestOf(bytes.data(), count, fileSize));
        ++made;
    };
    for (std::size_t bit = 0; bit < bytes.size() * 8; ++bit) {
        bytes[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        note(bytes.size(), bytes.size());
        bytes[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
    }
    // Zeros of every length: a trailing zero byte must count.
    std::vector<unsigned char> zeros(bytes.size());
    bytes.swap(zeros);
    for (std::size_t count = 0; count <= bytes.size(); ++count) note(count, count);
    // The same first bytes of files that differ only in size.
    for (std::uint64_t fileSize = engine::kDigestWholeLimit + 1; fileSize < engine::kDigestWholeLimit + 50;
         ++fileSize)
        note(64, fileSize);
    EXPECT_EQ(made, seen.size());
}

}  // namespace
}  // namespace tandemere::testing
