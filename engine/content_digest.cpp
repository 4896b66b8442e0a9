// Engine layer: the content digest: four independent multiply-rotate lanes over 8-byte words (so
// the processor overlaps them), folded and mixed to spread every input bit over the result.
#include "engine/content_digest.h"

#include <cstring>

namespace tandemere::engine {
namespace {

// Odd constants with well-spread bits; any change alters every digest, which nothing stores.
constexpr std::uint64_t kLaneMul = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kLaneAdd = 0xD6E8FEB86659FD93ull;
constexpr std::uint64_t kMixMul1 = 0xBF58476D1CE4E5B9ull;
constexpr std::uint64_t kMixMul2 = 0x94D049BB133111EBull;
constexpr std::size_t kLanes = 4;
constexpr std::size_t kWord = sizeof(std::uint64_t);

std::uint64_t RotateLeft(std::uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

// A word in the machine's byte order: the digest never leaves the process, so it need not be
// the same on every machine.
std::uint64_t LoadWord(const unsigned char* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, kWord);
    return word;
}

std::uint64_t Round(std::uint64_t lane, std::uint64_t word) {
    return RotateLeft(lane + word * kLaneAdd, 31) * kLaneMul;
}

// Spreads every bit of `value` over all 64 of the result.
std::uint64_t Mix(std::uint64_t value) {
    value = (value ^ (value >> 30)) * kMixMul1;
    value = (value ^ (value >> 27)) * kMixMul2;
    return value ^ (value >> 31);
}

}  // namespace

std::size_t DigestSpan(std::uint64_t fileSize) {
    return fileSize <= kDigestWholeLimit ? static_cast<std::size_t>(fileSize) : kDigestHeadSize;
}

std::uint64_t DigestOf(const unsigned char* bytes, std::size_t count, std::uint64_t fileSize) {
    std::uint64_t lanes[kLanes] = {fileSize, fileSize + kLaneMul, ~fileSize, fileSize - kLaneAdd};
    std::size_t at = 0;
    for (; at + kLanes * kWord <= count; at += kLanes * kWord)
        for (std::size_t lane = 0; lane < kLanes; ++lane)
            lanes[lane] = Round(lanes[lane], LoadWord(bytes + at + lane * kWord));
    std::uint64_t digest = Mix(count);
    for (std::uint64_t lane : lanes) digest = Round(digest ^ Mix(lane), lane);
    for (; at + kWord <= count; at += kWord) digest = Round(digest, LoadWord(bytes + at));
    // The last few bytes, each in its own place, so "a\0" and "a" stay apart.
    std::uint64_t tail = 0;
    for (std::size_t shift = 0; at < count; ++at, shift += 8) tail |= std::uint64_t{bytes[at]} << shift;
    return Mix(Round(digest, tail) ^ fileSize);
}

}  // namespace tandemere::engine
