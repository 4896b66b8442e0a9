// Test support: snapshots of real trees and the no-content-lost invariant every move test checks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tandemere::testing {

enum class EntryKind : std::uint8_t { File, Folder, Link, Other };

struct SnapshotEntry {
    EntryKind m_nKind = EntryKind::Other;
    std::uint64_t m_nSize = 0;           // files only
    std::uint64_t m_nHash = 0;           // files: of the bytes; links: of the target text
    std::uint64_t m_nLastWriteTime = 0;  // files only, engine ticks
    std::string m_strLinkTarget;         // links only
    std::string m_strBytes;              // files up to kKeptBytes, for readable reports
    unsigned m_nMode = 0;                // files and folders: the permission bits

    static constexpr std::uint64_t kKeptBytes = 64;
};

// Every entry below one root (the root itself excluded), keyed by its path relative to the root
// written with '/'. Links are recorded, never followed.
class TreeSnapshot {
public:
    // With `keepTop`, only the top-level entries it picks are looked at, with what lies below
    // them: a folder other processes change at the same time (a shared trash) is read safely.
    static TreeSnapshot Take(const std::string& root,
                             const std::function<bool(const std::string&)>& keepTop = nullptr);
    // The entry of one regular file.
    static SnapshotEntry TakeFile(const std::string& path);
    // Records an entry that was changed under a move's feet, as if it had been so from the start.
    void Replace(const std::string& relative, const SnapshotEntry& entry);

    const std::string& Root() const { return m_strRoot; }
    const std::map<std::string, SnapshotEntry>& Entries() const { return m_lstEntries; }
    const SnapshotEntry* Find(const std::string& relative) const;
    // The same snapshot less the entries whose relative path `drop` picks.
    TreeSnapshot Without(const std::function<bool(const std::string&)>& drop) const;
    // One line per entry, sorted.
    std::string Describe() const;

private:
    std::string m_strRoot;
    std::map<std::string, SnapshotEntry> m_lstEntries;
};

// Content identity of a file or a link: what must survive a move.
std::string ContentKey(const SnapshotEntry& entry);

// Every file content (and link target) of the `before` snapshots still exists somewhere in the
// `after` snapshots, under any name. Returns one line per lost content; empty when none is lost.
// `replaced`: full paths of entries whose content an answer allowed to go (overwritten).
std::string FindLostContent(const std::vector<TreeSnapshot>& before, const std::vector<TreeSnapshot>& after,
                            const std::set<std::string>& replaced = {});

// Every temporary copy of the backend's (".tandemere-" ... ".part") left in the snapshots, one line
// each; empty when there is none. One may stay only after a killed move.
std::string FindStrayTemporaries(const std::vector<TreeSnapshot>& trees);

// Every file and link of `before` is still at the same relative path in `after` with the same
// kind, bytes, size and last-write time, unless its path is in `mayChange` (relative, '/').
// Returns one line per changed entry; empty when none changed.
std::string FindChangedEntries(const TreeSnapshot& before, const TreeSnapshot& after,
                               const std::set<std::string>& mayChange = {});

// Snapshots the sources and the destination before a move; Check() after the move applies both
// rules: no source or destination content lost, and no destination entry changed unless allowed.
class MoveInvariant {
public:
    MoveInvariant(std::vector<std::string> sourceRoots, std::string destinationRoot);

    // A readable list of every violation; empty when the move kept the invariant.
    // `mayChange`: destination paths relative to the destination root that an answer allowed
    // to be replaced or renamed.
    std::string Check(const std::set<std::string>& mayChange = {}) const;

private:
    std::vector<std::string> m_lstSourceRoots;
    std::string m_strDestinationRoot;
    std::vector<TreeSnapshot> m_lstBefore;  // the sources, then the destination
};

}  // namespace tandemere::testing
