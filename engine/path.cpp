// Engine layer: path text rules for POSIX and Windows spellings.
#include "engine/path.h"

#include <cstddef>
#include <cstdint>

namespace tandemere::engine {
namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The extended-length prefixes of Windows paths: "\\?\" before a drive, "\\?\UNC\" before a share.
constexpr std::string_view kExtendedPrefix = "\\\\?\\";
constexpr std::string_view kExtendedUncPrefix = "\\\\?\\UNC\\";

bool StartsWithIgnoringCase(std::string_view path, std::string_view prefix) {
    return path.size() >= prefix.size() && EqualNames(path.substr(0, prefix.size()), prefix, true);
}

// Length of the root prefix of a path ("C:\" is 3, "\\server\share\" its whole length, "/" is 1),
// or 0 when the path is relative.
std::size_t RootLength(const PathStyle& style, std::string_view path) {
    const char sep = style.m_chSeparator;
    if (!style.m_bWindowsRoots) return (!path.empty() && path[0] == sep) ? 1 : 0;
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':')
        return (path.size() >= 3 && path[2] == sep) ? 3 : 2;
    if (path.size() >= 2 && path[0] == sep && path[1] == sep) {
        const std::size_t start =
            StartsWithIgnoringCase(path, kExtendedUncPrefix) ? kExtendedUncPrefix.size() : 2;
        std::size_t server = path.find(sep, start);
        if (server == std::string_view::npos) return path.size();
        std::size_t share = path.find(sep, server + 1);
        if (share == std::string_view::npos) return path.size();
        return share + 1;
    }
    return (!path.empty() && path[0] == sep) ? 1 : 0;
}

}  // namespace

bool EndsWithSeparator(const PathStyle& style, std::string_view path) {
    return !path.empty() && path.back() == style.m_chSeparator;
}

void AddSeparator(const PathStyle& style, std::string& path) {
    if (!path.empty() && !EndsWithSeparator(style, path)) path += style.m_chSeparator;
}

void RemoveSeparator(const PathStyle& style, std::string& path) {
    if (EndsWithSeparator(style, path) && !IsRoot(style, path)) path.pop_back();
}

void RemoveFileSpec(const PathStyle& style, std::string& path) {
    const std::size_t root = RootLength(style, path);
    if (path.size() <= root) return;
    const std::size_t cut = path.rfind(style.m_chSeparator);
    // A cut inside the root ("C:\a", "/a") keeps the whole root, separator included.
    path.resize(cut == std::string::npos || cut < root ? root : cut);
}

std::string_view FindFileName(const PathStyle& style, std::string_view path) {
    std::string_view body = path;
    if (EndsWithSeparator(style, body)) body.remove_suffix(1);
    std::size_t cut = body.rfind(style.m_chSeparator);
    std::size_t start = (cut == std::string_view::npos) ? 0 : cut + 1;
    if (style.m_bWindowsRoots && cut == std::string_view::npos && body.size() >= 2 && body[1] == ':')
        start = 2;
    return path.substr(start);
}

std::string_view FindExtension(const PathStyle& style, std::string_view path) {
    std::size_t dot = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '.')
            dot = i;
        else if (c == ' ' || c == style.m_chSeparator)
            dot = std::string_view::npos;
    }
    return dot == std::string_view::npos ? std::string_view() : path.substr(dot);
}

void RemoveExtension(const PathStyle& style, std::string& path) {
    path.resize(path.size() - FindExtension(style, path).size());
}

void StripPath(const PathStyle& style, std::string& path) {
    std::string name(FindFileName(style, path));
    path = std::move(name);
}

bool IsRoot(const PathStyle& style, std::string_view path) {
    if (path.empty()) return false;
    const std::size_t root = RootLength(style, path);
    if (root == 0) return false;
    if (root == path.size()) {
        // "C:" alone is a drive-relative path, not a root.
        return !(style.m_bWindowsRoots && root == 2 && path[1] == ':');
    }
    return false;
}

bool MatchesExtension(const PathStyle& style, std::string_view name, std::string_view extension) {
    if (extension.empty()) return true;
    if (name.size() < extension.size()) return false;
    return EqualNames(name.substr(name.size() - extension.size()), extension, style.m_bIgnoreCase);
}

std::string ParentFolder(const PathStyle& style, std::string_view path) {
    std::string parent(path);
    RemoveSeparator(style, parent);
    RemoveFileSpec(style, parent);
    AddSeparator(style, parent);
    return parent;
}

namespace {

// The path as its plain form spells it, without a trailing separator.
std::string FolderKey(const PathStyle& style, std::string_view path) {
    std::string key;
    if (style.m_bWindowsRoots && StartsWithIgnoringCase(path, kExtendedUncPrefix)) {
        key.assign(2, style.m_chSeparator);
        path.remove_prefix(kExtendedUncPrefix.size());
    } else if (style.m_bWindowsRoots && StartsWithIgnoringCase(path, kExtendedPrefix)) {
        path.remove_prefix(kExtendedPrefix.size());
    }
    if (EndsWithSeparator(style, path)) path.remove_suffix(1);
    return key.append(path);
}

}  // namespace

bool SameFolder(const PathStyle& style, std::string_view a, std::string_view b) {
    return EqualNames(FolderKey(style, a), FolderKey(style, b), style.m_bIgnoreCase);
}

bool EqualNames(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size()) return false;
    if (!ignoreCase) return a == b;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kTemporaryRandomLength + kTemporarySuffix.size())
        return false;
    if (name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix) return false;
    if (name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) return false;
    const std::string_view random = name.substr(kTemporaryPrefix.size(), kTemporaryRandomLength);
    return random.find_first_not_of(kTemporaryRandomChars) == std::string_view::npos;
}

std::string TemporaryPrefixFor(std::string_view item) {
    // FNV-1a: stable across builds and platforms, which a tag read by a later run must be.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : item) {
        hash ^= static_cast<unsigned char>(FoldCase(c));
        hash *= 1099511628211ULL;
    }
    std::string prefix(kTemporaryPrefix);
    for (std::size_t i = 0; i < kTemporaryTagLength; ++i, hash /= kTemporaryRandomChars.size())
        prefix += kTemporaryRandomChars[hash % kTemporaryRandomChars.size()];
    return prefix;
}

bool IsTemporaryFor(std::string_view name, std::string_view item) {
    const std::string prefix = TemporaryPrefixFor(item);
    return IsTemporaryName(name) && name.substr(0, prefix.size()) == prefix;
}

bool IsDotEntry(std::string_view name) {
    return name == "." || name == "..";
}

bool IsRebuiltCacheName(const PathStyle& style, std::string_view name) {
    for (const std::string_view cache : {"Thumbs.db", "ehthumbs.db", ".DS_Store"})
        if (EqualNames(name, cache, style.m_bIgnoreCase)) return true;
    return false;
}

}  // namespace tandemere::engine
