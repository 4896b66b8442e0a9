// Test support (Windows only): the helpers std::filesystem does not give on Windows with mingw
// (symbolic links, 100-ns times, removal that never follows links), on the wide Win32 calls.
#pragma once

#ifdef _WIN32

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tandemere::testing::win32 {

// Each returns an empty text on success, or what failed.
std::string SetLastWriteTicks(const std::string& path, std::uint64_t ticks);
std::string WriteSparseFile(const std::string& path, std::uint64_t size, char last);
std::string MakeSymbolicLink(const std::string& target, const std::string& link);
std::string RemoveTree(const std::string& root);

std::optional<std::uint64_t> LastWriteTicks(const std::string& path);
// The target text of a symbolic link or junction; nullopt for anything else.
std::optional<std::string> LinkTarget(const std::string& path);
bool Exists(const std::string& path);
// ListTree's lines, never entering links.
std::vector<std::string> ListTree(const std::string& root);

}  // namespace tandemere::testing::win32

#endif  // _WIN32
