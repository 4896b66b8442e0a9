// Engine layer: the digests of destination files kept from one move to the next, so a move into a
// folder it has met before rules most candidates out without reading them. A file is known by what
// changes whenever its content may have changed: device, file number, size, modification time and
// change time (which no program can set back). A digest from here only ever rules a candidate out:
// equality is still decided by the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/file_system.h"

namespace tandemere::engine {

class DigestCache {
public:
    // Holds at most `maxEntries` files when saved.
    explicit DigestCache(std::size_t maxEntries) : m_nMaxEntries(maxEntries) {}

    // Takes the files of a saved cache. A damaged, foreign or newer one is ignored whole (false),
    // and the cache starts empty.
    bool Load(std::string_view bytes);
    // The saved form of at most the bound of files: those found or noted most recently.
    std::string Save() const;

    // The digest of `entry`'s content, only when every part of its identity matches; none for an
    // entry whose platform gave no identity.
    std::optional<std::uint64_t> Find(const DirEntry& entry);
    // Records the digest made from `entry`'s bytes while it had that identity.
    void Note(const DirEntry& entry, std::uint64_t digest);

    std::size_t Size() const { return m_mapFiles.size(); }
    // Whether a digest was noted since Load: a move that learnt nothing new need not save it.
    bool Changed() const { return m_bChanged; }

private:
    struct Key {
        std::uint64_t m_nDevice;
        std::uint64_t m_nFileId;
        std::uint64_t m_nSize;
        std::uint64_t m_nLastWriteTime;
        std::uint64_t m_nChangeTime;
        bool operator==(const Key& other) const;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    struct Record {
        std::uint64_t m_nDigest;
        std::uint64_t m_nGeneration;  // the run that last found or noted it
    };

    static std::optional<Key> KeyOf(const DirEntry& entry);
    // The files found or noted last, at most the bound, in no order.
    std::vector<std::pair<const Key*, const Record*>> Newest() const;
    // Keeps only Newest().
    void Prune();

    std::size_t m_nMaxEntries;
    std::uint64_t m_nGeneration = 1;
    bool m_bChanged = false;
    std::unordered_map<Key, Record, KeyHash> m_mapFiles;
};

}  // namespace tandemere::engine
