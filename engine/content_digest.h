// Engine layer: a fast 64-bit digest of a file's leading bytes, so a file of the source's size whose
// digest differs is passed over without being read again. Equal digests prove nothing: the bytes are
// always compared before a source is deleted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tandemere::engine {

// Files up to this size are digested whole: their open costs more than their bytes. A larger file
// is digested by its first kDigestHeadSize bytes and its size, so a difference near its start is
// found after a few KiB and no file of gigabytes is read through only to be told apart.
inline constexpr std::uint64_t kDigestWholeLimit = 64 * 1024;
inline constexpr std::size_t kDigestHeadSize = 4 * 1024;

// How many leading bytes of a file of `fileSize` bytes its digest covers.
std::size_t DigestSpan(std::uint64_t fileSize);

// The digest of a file of `fileSize` bytes whose first DigestSpan(fileSize) bytes are `bytes`.
std::uint64_t DigestOf(const unsigned char* bytes, std::size_t count, std::uint64_t fileSize);

}  // namespace tandemere::engine
