// Test support: tree snapshots and the content invariant.
#include "tests/support/tree_snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

// FNV-1a over 64-bit words, each folded back into the low bits, and the tail byte by byte: fast
// enough for trees of many MiB. Only the last piece of a content may end off a multiple of 8 bytes,
// as the snapshot's whole-buffer reads give it.
void HashInto(std::uint64_t& hash, const char* data, std::size_t size) {
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= size; i += sizeof(std::uint64_t)) {
        std::uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        hash = (hash ^ word) * kFnvPrime;
        hash ^= hash >> 32;
    }
    for (; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= kFnvPrime;
    }
}

const char* KindName(EntryKind kind) {
    switch (kind) {
        case EntryKind::File:
            return "file";
        case EntryKind::Folder:
            return "folder";
        case EntryKind::Link:
            return "link";
        case EntryKind::Other:
            return "other";
    }
    return "other";
}

std::string Printable(const std::string& bytes) {
    std::string text;
    for (char c : bytes) {
        if (c >= 0x20 && c < 0x7f)
            text += c;
        else
            text += '.';
    }
    return text;
}

std::string DescribeEntry(const SnapshotEntry& entry) {
    std::ostringstream text;
    text << KindName(entry.m_nKind);
    if (entry.m_nKind == EntryKind::File) {
        text << " " << entry.m_nSize << " bytes";
        if (entry.m_nSize <= SnapshotEntry::kKeptBytes) text << " \"" << Printable(entry.m_strBytes) << "\"";
        text << " hash " << std::hex << entry.m_nHash << std::dec << " time " << entry.m_nLastWriteTime;
    } else if (entry.m_nKind == EntryKind::Link) {
        text << " -> " << entry.m_strLinkTarget;
    }
    return text.str();
}

bool SameEntry(const SnapshotEntry& a, const SnapshotEntry& b) {
    if (a.m_nKind != b.m_nKind) return false;
    switch (a.m_nKind) {
        case EntryKind::File:
            return a.m_nSize == b.m_nSize && a.m_nHash == b.m_nHash &&
                   a.m_nLastWriteTime == b.m_nLastWriteTime;
        case EntryKind::Link:
            return a.m_strLinkTarget == b.m_strLinkTarget;
        default:
            return true;
    }
}

// Windows takes a path longer than MAX_PATH only in its extended form, which the tests' trees reach.
// The 32-bit runtime's folder listing takes no extended form at all, so there paths stay as given.
std::string ListablePath(const std::string& root) {
#ifdef _WIN64
    if (root.size() > 2 && root[1] == ':' && root[2] == '\\') return "\\\\?\\" + root;
#endif
    return root;
}

}  // namespace

TreeSnapshot TreeSnapshot::Take(const std::string& root,
                                const std::function<bool(const std::string&)>& keepTop) {
    TreeSnapshot snapshot;
    snapshot.m_strRoot = root;
    std::error_code error;
    const std::string listed = ListablePath(root);
    if (listed.empty()) return snapshot;
    for (fs::recursive_directory_iterator it(PathFromUtf8(listed), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        const std::string path = Utf8FromPath(it->path());
        // Cut by text: the standard library's relative paths do not take the extended form.
        const std::size_t cut = listed.size() + (listed.back() == NativeSeparator() ? 0 : 1);
        std::string relative = path.substr(std::min(path.size(), cut));
        for (char& c : relative) c = (c == NativeSeparator()) ? '/' : c;
        if (keepTop && !keepTop(relative.substr(0, relative.find('/')))) {
            it.disable_recursion_pending();
            continue;
        }
        SnapshotEntry entry;
        const fs::file_status status = it->symlink_status(ignored);
        // LinkTarget also sees Windows links, which std::filesystem there does not know (and follows).
        if (std::optional<std::string> target = LinkTarget(path)) {
            it.disable_recursion_pending();
            entry.m_nKind = EntryKind::Link;
            entry.m_strLinkTarget = *target;
            entry.m_nHash = kFnvOffset;
            HashInto(entry.m_nHash, entry.m_strLinkTarget.data(), entry.m_strLinkTarget.size());
        } else if (fs::is_directory(status)) {
            entry.m_nKind = EntryKind::Folder;
        } else if (fs::is_regular_file(status)) {
            entry = TakeFile(path);
        }
        if (entry.m_nKind != EntryKind::Link) entry.m_nMode = static_cast<unsigned>(status.permissions()) & 07777u;
        snapshot.m_lstEntries.emplace(relative, std::move(entry));
    }
    if (error) ADD_FAILURE() << "snapshot could not list " << root << ": " << error.message();
    return snapshot;
}

SnapshotEntry TreeSnapshot::TakeFile(const std::string& path) {
    SnapshotEntry entry;
    entry.m_nKind = EntryKind::File;
    entry.m_nHash = kFnvOffset;
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) ADD_FAILURE() << "snapshot could not read " << path;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        const std::size_t got = static_cast<std::size_t>(in.gcount());
        HashInto(entry.m_nHash, buffer, got);
        if (entry.m_nSize < SnapshotEntry::kKeptBytes)
            entry.m_strBytes.append(buffer,
                                    std::min<std::size_t>(got, SnapshotEntry::kKeptBytes - entry.m_nSize));
        entry.m_nSize += got;
    }
    entry.m_nLastWriteTime = LastWriteTime(path).value_or(0);
    return entry;
}

void TreeSnapshot::Replace(const std::string& relative, const SnapshotEntry& entry) {
    m_lstEntries[relative] = entry;
}

const SnapshotEntry* TreeSnapshot::Find(const std::string& relative) const {
    auto it = m_lstEntries.find(relative);
    return it == m_lstEntries.end() ? nullptr : &it->second;
}

TreeSnapshot TreeSnapshot::Without(const std::function<bool(const std::string&)>& drop) const {
    TreeSnapshot kept;
    kept.m_strRoot = m_strRoot;
    for (const auto& [path, entry] : m_lstEntries)
        if (!drop(path)) kept.m_lstEntries.emplace(path, entry);
    return kept;
}

std::string TreeSnapshot::Describe() const {
    std::string text;
    for (const auto& [path, entry] : m_lstEntries) text += path + ": " + DescribeEntry(entry) + "\n";
    return text;
}

std::string ContentKey(const SnapshotEntry& entry) {
    if (entry.m_nKind == EntryKind::Link) return "link:" + entry.m_strLinkTarget;
    return "file:" + std::to_string(entry.m_nSize) + ":" + std::to_string(entry.m_nHash);
}

std::string FindLostContent(const std::vector<TreeSnapshot>& before, const std::vector<TreeSnapshot>& after,
                            const std::set<std::string>& replaced) {
    std::set<std::string> present;
    for (const TreeSnapshot& tree : after)
        for (const auto& [path, entry] : tree.Entries())
            if (entry.m_nKind == EntryKind::File || entry.m_nKind == EntryKind::Link)
                present.insert(ContentKey(entry));
    std::string report;
    for (const TreeSnapshot& tree : before)
        for (const auto& [path, entry] : tree.Entries()) {
            if (entry.m_nKind != EntryKind::File && entry.m_nKind != EntryKind::Link) continue;
            if (present.count(ContentKey(entry)) == 0 && replaced.count(JoinPath(tree.Root(), path)) == 0)
                report += "content lost: " + JoinPath(tree.Root(), path) + " (" + DescribeEntry(entry) +
                          ") exists nowhere any more\n";
        }
    return report;
}

std::string FindStrayTemporaries(const std::vector<TreeSnapshot>& trees) {
    static const std::string s_strPrefix = ".tandemere-";
    static const std::string s_strSuffix = ".part";
    std::string report;
    for (const TreeSnapshot& tree : trees)
        for (const auto& [path, entry] : tree.Entries()) {
            const std::string name = path.substr(path.rfind('/') + 1);
            if (name.size() >= s_strPrefix.size() + s_strSuffix.size() && name.rfind(s_strPrefix, 0) == 0 &&
                name.compare(name.size() - s_strSuffix.size(), s_strSuffix.size(), s_strSuffix) == 0)
                report += "stray temporary: " + JoinPath(tree.Root(), path) + "\n";
        }
    return report;
}

std::string FindChangedEntries(const TreeSnapshot& before, const TreeSnapshot& after,
                               const std::set<std::string>& mayChange) {
    std::string report;
    for (const auto& [path, entry] : before.Entries()) {
        if (entry.m_nKind != EntryKind::File && entry.m_nKind != EntryKind::Link) continue;
        if (mayChange.count(path) != 0) continue;
        const SnapshotEntry* now = after.Find(path);
        if (now == nullptr)
            report += "destination entry gone: " + JoinPath(before.Root(), path) + " (was " +
                      DescribeEntry(entry) + ")\n";
        else if (!SameEntry(entry, *now))
            report += "destination entry changed: " + JoinPath(before.Root(), path) + " was " +
                      DescribeEntry(entry) + ", now " + DescribeEntry(*now) + "\n";
    }
    return report;
}

MoveInvariant::MoveInvariant(std::vector<std::string> sourceRoots, std::string destinationRoot)
    : m_lstSourceRoots(std::move(sourceRoots)), m_strDestinationRoot(std::move(destinationRoot)) {
    for (const std::string& root : m_lstSourceRoots) m_lstBefore.push_back(TreeSnapshot::Take(root));
    m_lstBefore.push_back(TreeSnapshot::Take(m_strDestinationRoot));
}

std::string MoveInvariant::Check(const std::set<std::string>& mayChange) const {
    std::vector<TreeSnapshot> after;
    for (const std::string& root : m_lstSourceRoots) {
        std::error_code error;
        // A source root moved away as a whole is no longer there; that is not an error.
        if (fs::exists(fs::symlink_status(PathFromUtf8(root), error)) || LinkTarget(root))
            after.push_back(TreeSnapshot::Take(root));
    }
    after.push_back(TreeSnapshot::Take(m_strDestinationRoot));
    std::string report = FindLostContent(m_lstBefore, after);
    report += FindChangedEntries(m_lstBefore.back(), after.back(), mayChange);
    return report;
}

}  // namespace tandemere::testing
