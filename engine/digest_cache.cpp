// Engine layer: the digest cache's saved form and look-ups.
#include "engine/digest_cache.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "engine/content_digest.h"

namespace tandemere::engine {
namespace {

// The saved form: this line, the generation and the count, the records, and a digest of all the
// bytes before it, so a cut or damaged file is told from a whole one. Numbers are little-endian.
constexpr std::string_view kMagic = "tandemere digest cache 1\n";
constexpr std::size_t kFieldsPerRecord = 7;
constexpr std::size_t kRecordBytes = kFieldsPerRecord * 8;

void Put(std::string& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t Get(std::string_view bytes, std::size_t at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::uint64_t Checksum(std::string_view bytes) {
    return DigestOf(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), bytes.size());
}

}  // namespace

bool DigestCache::Key::operator==(const Key& other) const {
    return m_nDevice == other.m_nDevice && m_nFileId == other.m_nFileId && m_nSize == other.m_nSize &&
           m_nLastWriteTime == other.m_nLastWriteTime && m_nChangeTime == other.m_nChangeTime;
}

std::size_t DigestCache::KeyHash::operator()(const Key& key) const {
    std::uint64_t hash = key.m_nFileId * 0x9E3779B97F4A7C15ull;
    hash ^= key.m_nDevice + 0x632BE59BD9B4E019ull + (hash << 6) + (hash >> 2);
    hash ^= key.m_nChangeTime + (hash << 6) + (hash >> 2);
    return static_cast<std::size_t>(hash);
}

std::optional<DigestCache::Key> DigestCache::KeyOf(const DirEntry& entry) {
    if (entry.m_nFileId == 0 || entry.m_nChangeTime == 0 || entry.m_bDirectory || entry.m_bLink ||
        entry.m_bSpecial)
        return std::nullopt;
    return Key{entry.m_nDevice, entry.m_nFileId, entry.m_nSize, entry.m_nLastWriteTime, entry.m_nChangeTime};
}

bool DigestCache::Load(std::string_view bytes) {
    m_mapFiles.clear();
    m_nGeneration = 1;
    m_bChanged = false;
    const std::size_t header = kMagic.size() + 16;
    if (bytes.size() < header + 8 || bytes.substr(0, kMagic.size()) != kMagic) return false;
    const std::uint64_t generation = Get(bytes, kMagic.size());
    const std::uint64_t count = Get(bytes, kMagic.size() + 8);
    if (count > (bytes.size() - header - 8) / kRecordBytes ||
        header + count * kRecordBytes + 8 != bytes.size())
        return false;
    const std::size_t end = bytes.size() - 8;
    if (Get(bytes, end) != Checksum(bytes.substr(0, end))) return false;
    for (std::size_t at = header; at < end; at += kRecordBytes) {
        const Key key{Get(bytes, at), Get(bytes, at + 8), Get(bytes, at + 16), Get(bytes, at + 24),
                      Get(bytes, at + 32)};
        m_mapFiles[key] = Record{Get(bytes, at + 40), Get(bytes, at + 48)};
    }
    m_nGeneration = generation + 1;
    return true;
}

std::vector<std::pair<const DigestCache::Key*, const DigestCache::Record*>> DigestCache::Newest() const {
    std::vector<std::pair<const Key*, const Record*>> kept;
    kept.reserve(m_mapFiles.size());
    for (const auto& [key, record] : m_mapFiles) kept.emplace_back(&key, &record);
    const std::size_t count = std::min(kept.size(), m_nMaxEntries);
    std::nth_element(
        kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(count), kept.end(),
        [](const auto& a, const auto& b) { return a.second->m_nGeneration > b.second->m_nGeneration; });
    kept.resize(count);
    return kept;
}

void DigestCache::Prune() {
    std::unordered_map<Key, Record, KeyHash> kept;
    for (const auto& [key, record] : Newest()) kept.emplace(*key, *record);
    m_mapFiles.swap(kept);
}

std::string DigestCache::Save() const {
    const std::vector<std::pair<const Key*, const Record*>> kept = Newest();
    const std::size_t count = kept.size();
    std::string out(kMagic);
    out.reserve(kMagic.size() + 24 + count * kRecordBytes);
    Put(out, m_nGeneration);
    Put(out, count);
    for (std::size_t i = 0; i < count; ++i) {
        const Key& key = *kept[i].first;
        for (const std::uint64_t value :
             {key.m_nDevice, key.m_nFileId, key.m_nSize, key.m_nLastWriteTime, key.m_nChangeTime,
              kept[i].second->m_nDigest, kept[i].second->m_nGeneration})
            Put(out, value);
    }
    Put(out, Checksum(out));
    return out;
}

std::optional<std::uint64_t> DigestCache::Find(const DirEntry& entry) {
    const std::optional<Key> key = KeyOf(entry);
    if (!key) return std::nullopt;
    const auto it = m_mapFiles.find(*key);
    if (it == m_mapFiles.end()) return std::nullopt;
    it->second.m_nGeneration = m_nGeneration;
    return it->second.m_nDigest;
}

void DigestCache::Note(const DirEntry& entry, std::uint64_t digest) {
    const std::optional<Key> key = KeyOf(entry);
    if (!key) return;
    m_mapFiles[*key] = Record{digest, m_nGeneration};
    // Memory stays near the bound too: a quarter past it, the oldest files go.
    if (m_mapFiles.size() > m_nMaxEntries + m_nMaxEntries / 4) Prune();
    m_bChanged = true;
}

}  // namespace tandemere::engine
