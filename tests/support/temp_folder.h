// Test support: a unique temporary folder per test and small helpers to build and read real trees.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tandemere::testing {

// Paths in the tests are UTF-8, as in the engine; std::filesystem's narrow forms are the ANSI code
// page on Windows, so every conversion goes through these two.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

// The platform's separator, as the backend under test spells paths.
char NativeSeparator();

// Joins a folder and a relative path written with '/', converting to the native separator.
std::string JoinPath(const std::string& folder, std::string_view relative);

// Creates a fresh, uniquely named folder and removes it with everything below it on destruction
// (read-only folders inside are made writable first). Move-only.
class TempFolder {
public:
    // Under the system's temporary folder (/tmp on Linux).
    TempFolder();
    // Under a given base folder, e.g. "/dev/shm" for a second file system.
    explicit TempFolder(const std::string& base);
    ~TempFolder();
    TempFolder(TempFolder&& other) noexcept;
    TempFolder& operator=(TempFolder&& other) noexcept;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // False when the folder could not be created (the test has already failed then).
    bool IsValid() const { return !m_strRoot.empty(); }
    // The folder itself, without a trailing separator.
    const std::string& Root() const { return m_strRoot; }
    // A path below the folder; `relative` uses '/' and may be empty (the root itself).
    std::string Path(std::string_view relative = {}) const { return JoinPath(m_strRoot, relative); }

private:
    void Create(const std::string& base);
    void Remove();

    std::string m_strRoot;
};

// Last-write times in the engine's unit: 100-ns ticks since 1601-01-01 UTC.
std::uint64_t TicksFromUnixTime(std::int64_t seconds, std::uint32_t nanoseconds = 0);

// The helpers below report a failure to GoogleTest (ADD_FAILURE) and return false when the
// disk refuses; parents are created as needed where stated.

// Writes a file with exactly these bytes (creating missing parent folders), replacing any file.
bool WriteFile(const std::string& path, std::string_view bytes);
// The same, then sets its last-write time (engine ticks).
bool WriteFile(const std::string& path, std::string_view bytes, std::uint64_t lastWriteTicks);
// Sets a file's last-write time (engine ticks), following links.
bool SetLastWriteTime(const std::string& path, std::uint64_t lastWriteTicks);
// The last-write time in engine ticks, following links; nullopt when it cannot be read.
std::optional<std::uint64_t> LastWriteTime(const std::string& path);
// A file's bytes; nullopt (and no test failure) when it cannot be read.
std::optional<std::string> TryReadFile(const std::string& path);
// A file's bytes; an empty text plus a test failure when it cannot be read.
std::string ReadFile(const std::string& path);
// A sparse file of `size` bytes (at least 1) whose last byte is `last` and the rest zeros; sizes
// past 4 GiB take no disk space where the file system has holes.
bool WriteSparseFile(const std::string& path, std::uint64_t size, char last);
// Creates a folder and its missing parents.
bool MakeFolders(const std::string& path);
// Creates a symbolic link at `link` whose target text is `target` (the target need not exist).
bool MakeSymlink(const std::string& target, const std::string& link);
// The target text of a symbolic link (or a junction); nullopt when the path is no link.
std::optional<std::string> LinkTarget(const std::string& path);
// Sets the permission bits (e.g. 0555 for a read-only folder), not following links.
bool SetMode(const std::string& path, unsigned mode);
// The permission bits (0777 mask), not following links; nullopt when nothing is there.
std::optional<unsigned> Mode(const std::string& path);
// Whether anything (a file, folder or link, even a dangling one) exists at the path.
bool Exists(const std::string& path);

// Every entry below a folder, sorted, relative with '/': folders end in "/", links read
// "name -> target", files "name (size)". Handy for EXPECT_EQ with a readable diff.
std::vector<std::string> ListTree(const std::string& root);

}  // namespace tandemere::testing
