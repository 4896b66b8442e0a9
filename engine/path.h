// Engine layer: path text rules, parameterised by the platform's path style so both are testable anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tandemere::engine {

// How one platform spells paths. The engine never includes platform headers; the backend hands
// its style to the engine, and the tests use both.
struct PathStyle {
    char m_chSeparator;    // '\\' or '/'
    bool m_bWindowsRoots;  // "C:\", "\\server\share" and "\" are roots; otherwise only "/"
    bool m_bIgnoreCase;    // the file system ignores letter case when it looks names up
};

inline constexpr PathStyle kPosixPaths{'/', false, false};
inline constexpr PathStyle kWindowsPaths{'\\', true, true};

bool EndsWithSeparator(const PathStyle& style, std::string_view path);

// Appends one separator unless the path already ends in one (an empty path stays empty).
void AddSeparator(const PathStyle& style, std::string& path);

// Removes one trailing separator unless the path is a root.
void RemoveSeparator(const PathStyle& style, std::string& path);

// Cuts the last component and the separator before it; a root stays as it is
// ("C:\a" gives "C:\", "/a" gives "/", "C:\Work\" gives "C:\Work").
void RemoveFileSpec(const PathStyle& style, std::string& path);

// The last component, as a view into the path; for a path that ends in a separator,
// the last component together with that separator.
std::string_view FindFileName(const PathStyle& style, std::string_view path);

// The extension of the last component: from its last dot to the end, the dot included;
// empty when there is no dot or a blank follows the last dot.
std::string_view FindExtension(const PathStyle& style, std::string_view path);

// Removes what FindExtension finds.
void RemoveExtension(const PathStyle& style, std::string& path);

// Leaves only the last component (FindFileName).
void StripPath(const PathStyle& style, std::string& path);

// True for "/" on POSIX; for "\", "X:\", "\\server", "\\server\share" and "\\?\UNC\server\share"
// (with or without a trailing separator) on Windows.
bool IsRoot(const PathStyle& style, std::string_view path);

// Whether a listing pattern of "*" plus extension lists the name: an empty extension lists
// everything; otherwise the name must end in the extension (ignoring case where the style does).
bool MatchesExtension(const PathStyle& style, std::string_view name, std::string_view extension);

// The parent folder of a path, ending in a separator ("/a/b" gives "/a/"; "C:\a" gives "C:\").
std::string ParentFolder(const PathStyle& style, std::string_view path);

// Whether two full paths name the same folder as the platform reads them: a trailing separator
// does not count, letter case counts only where the style says so, and on Windows the
// extended-length forms ("\\?\C:\x", "\\?\UNC\server\share") equal their plain ones.
bool SameFolder(const PathStyle& style, std::string_view a, std::string_view b);

// Byte-wise comparison, or ignoring ASCII letter case.
bool EqualNames(std::string_view a, std::string_view b, bool ignoreCase);

// A copy on its way across volumes lies beside its target under a name of this pattern until it is
// complete: the prefix, kTemporaryRandomLength characters of kTemporaryRandomChars, the suffix. A move
// killed meanwhile leaves it behind; the backends draw their names from these constants alone.
inline constexpr std::string_view kTemporaryPrefix = ".tandemere-";
inline constexpr std::string_view kTemporaryRandomChars = "0123456789abcdefghijklmnopqrstuvwxyz";
inline constexpr std::size_t kTemporaryRandomLength = 12;
inline constexpr std::string_view kTemporarySuffix = ".part";

// Whether a name (no folder) is exactly of that pattern, letter case counting: a user's file of a
// merely similar name is never taken for one.
bool IsTemporaryName(std::string_view name);

// The first kTemporaryTagLength random characters of a copy's (or a second name's) temporary name are
// drawn from the name of the item it was made from, so a later move placing that item finds what an
// interrupted one left of it without reading every leftover. A tag only points: contents decide.
inline constexpr std::size_t kTemporaryTagLength = 6;

// kTemporaryPrefix and the tag of `item` (a name, no folder; ASCII letter case ignored).
std::string TemporaryPrefixFor(std::string_view item);

// Whether `name` is a temporary name (IsTemporaryName) that bears the tag of `item`.
bool IsTemporaryFor(std::string_view name, std::string_view item);

// Whether a listed name is the folder's own "." or ".." entry; every other name, one beginning
// with a dot included, is an entry like any other.
bool IsDotEntry(std::string_view name);

// Whether a name (no folder) is one of the thumbnail and folder-view caches that the system
// rebuilds in any folder that lacks one ("Thumbs.db", "ehthumbs.db", ".DS_Store"), letter case
// ignored where the style ignores it.
bool IsRebuiltCacheName(const PathStyle& style, std::string_view name);

}  // namespace tandemere::engine
