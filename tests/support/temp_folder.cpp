// Test support: temporary folders and file helpers, portable through std::filesystem.
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "tests/support/temp_folder_win32.h"

namespace tandemere::testing {
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000LL;

std::string TestLabel() {
    std::string label = "tandemere";
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info != nullptr) {
        label += '-';
        label += info->name();
    }
    for (char& c : label)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'))
            c = '_';
    if (label.size() > 60) label.resize(60);
    return label;
}

fs::file_time_type FileTimeFromTicks(std::uint64_t ticks) {
    const std::int64_t unixTicks = static_cast<std::int64_t>(ticks) - kTicksFrom1601To1970;
    const std::chrono::sys_time<std::chrono::nanoseconds> sys{std::chrono::nanoseconds(unixTicks * 100)};
    return std::chrono::file_clock::from_sys(sys);
}

std::uint64_t TicksFromFileTime(fs::file_time_type time) {
    const auto sys = std::chrono::file_clock::to_sys(time);
    const std::int64_t ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(sys.time_since_epoch()).count();
    // Floor division keeps times before 1970 on the right tick.
    std::int64_t ticks = ns / 100;
    if (ns % 100 < 0) --ticks;
    return static_cast<std::uint64_t>(ticks + kTicksFrom1601To1970);
}

bool Fail(const char* what, const std::string& path, const std::error_code& error) {
    ADD_FAILURE() << what << " failed for " << path << ": " << error.message();
    return false;
}

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

char NativeSeparator() {
    return static_cast<char>(fs::path::preferred_separator);
}

std::string JoinPath(const std::string& folder, std::string_view relative) {
    std::string path = folder;
    if (relative.empty()) return path;
    if (!path.empty() && path.back() != NativeSeparator()) path += NativeSeparator();
    for (char c : relative) path += (c == '/') ? NativeSeparator() : c;
    return path;
}

TempFolder::TempFolder() {
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error) {
        Fail("temp_directory_path", "", error);
        return;
    }
    Create(Utf8FromPath(base));
}

TempFolder::TempFolder(const std::string& base) {
    Create(base);
}

TempFolder::~TempFolder() {
    Remove();
}

TempFolder::TempFolder(TempFolder&& other) noexcept : m_strRoot(std::move(other.m_strRoot)) {
    other.m_strRoot.clear();
}

TempFolder& TempFolder::operator=(TempFolder&& other) noexcept {
    if (this != &other) {
        Remove();
        m_strRoot = std::move(other.m_strRoot);
        other.m_strRoot.clear();
    }
    return *this;
}

void TempFolder::Create(const std::string& base) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const std::string label = TestLabel();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            label + '-' + std::to_string(random() % 1000000000u) + '-' + std::to_string(counter.fetch_add(1));
        const std::string candidate = JoinPath(base, name);
        std::error_code error;
        // create_directory reports false for a name that exists: never reuse someone's folder.
        if (fs::create_directory(PathFromUtf8(candidate), error)) {
            m_strRoot = candidate;
            return;
        }
        if (error && error != std::errc::file_exists) {
            Fail("create_directory", candidate, error);
            return;
        }
    }
    ADD_FAILURE() << "no free temporary folder name under " << base;
}

void TempFolder::Remove() {
    if (m_strRoot.empty()) return;
#ifdef _WIN32
    // std::filesystem would enter links to folders here; the Win32 walk never does.
    const std::string failure = win32::RemoveTree(m_strRoot);
    if (!failure.empty()) ADD_FAILURE() << failure;
    m_strRoot.clear();
    return;
#endif
    std::error_code error;
    // A test may leave read-only folders behind; give them back write access first.
    fs::permissions(m_strRoot, fs::perms::owner_all, fs::perm_options::add, error);
    for (fs::recursive_directory_iterator it(m_strRoot, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    error.clear();
    fs::remove_all(m_strRoot, error);
    if (error) ADD_FAILURE() << "could not remove " << m_strRoot << ": " << error.message();
    m_strRoot.clear();
}

std::uint64_t TicksFromUnixTime(std::int64_t seconds, std::uint32_t nanoseconds) {
    return static_cast<std::uint64_t>(seconds * 10000000LL + nanoseconds / 100 + kTicksFrom1601To1970);
}

bool WriteFile(const std::string& path, std::string_view bytes) {
    std::error_code error;
    const fs::path parent = PathFromUtf8(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent, error);
    if (error) return Fail("create_directories", Utf8FromPath(parent), error);
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        ADD_FAILURE() << "could not write " << path;
        return false;
    }
    return true;
}

bool WriteFile(const std::string& path, std::string_view bytes, std::uint64_t lastWriteTicks) {
    return WriteFile(path, bytes) && SetLastWriteTime(path, lastWriteTicks);
}

bool SetLastWriteTime(const std::string& path, std::uint64_t lastWriteTicks) {
#ifdef _WIN32
    // mingw's std::filesystem sets whole seconds only.
    const std::string failure = win32::SetLastWriteTicks(path, lastWriteTicks);
    if (!failure.empty()) ADD_FAILURE() << failure;
    return failure.empty();
#endif
    std::error_code error;
    fs::last_write_time(PathFromUtf8(path), FileTimeFromTicks(lastWriteTicks), error);
    return error ? Fail("last_write_time", path, error) : true;
}

std::optional<std::uint64_t> LastWriteTime(const std::string& path) {
#ifdef _WIN32
    return win32::LastWriteTicks(path);
#endif
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(PathFromUtf8(path), error);
    if (error) return std::nullopt;
    return TicksFromFileTime(time);
}

std::optional<std::string> TryReadFile(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(PathFromUtf8(path), error)) return std::nullopt;
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::string ReadFile(const std::string& path) {
    std::optional<std::string> bytes = TryReadFile(path);
    if (!bytes) {
        ADD_FAILURE() << "could not read " << path;
        return {};
    }
    return *bytes;
}

bool WriteSparseFile(const std::string& path, std::uint64_t size, char last) {
#ifdef _WIN32
    // The 32-bit runtime's streams cannot seek past 2 GiB.
    const std::string failure = win32::WriteSparseFile(path, size, last);
    if (!failure.empty()) ADD_FAILURE() << failure;
    return failure.empty();
#endif
    {
        std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
        if (!out) {
            ADD_FAILURE() << "could not create " << path;
            return false;
        }
    }
    std::error_code error;
    fs::resize_file(PathFromUtf8(path), size, error);
    if (error) return Fail("resize_file", path, error);
    std::fstream out(PathFromUtf8(path), std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(size - 1));
    out.put(last);
    out.close();
    if (!out) {
        ADD_FAILURE() << "could not write the last byte of " << path;
        return false;
    }
    return true;
}

bool MakeFolders(const std::string& path) {
    std::error_code error;
    fs::create_directories(PathFromUtf8(path), error);
    return error ? Fail("create_directories", path, error) : true;
}

bool MakeSymlink(const std::string& target, const std::string& link) {
#ifdef _WIN32
    // mingw's std::filesystem has no symbolic links at all.
    const std::string failure = win32::MakeSymbolicLink(target, link);
    if (!failure.empty()) ADD_FAILURE() << failure;
    return failure.empty();
#endif
    std::error_code error;
    fs::create_symlink(PathFromUtf8(target), PathFromUtf8(link), error);
    return error ? Fail("create_symlink", link, error) : true;
}

std::optional<std::string> LinkTarget(const std::string& path) {
#ifdef _WIN32
    return win32::LinkTarget(path);
#endif
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(PathFromUtf8(path), error))) return std::nullopt;
    const fs::path target = fs::read_symlink(PathFromUtf8(path), error);
    if (error) return std::nullopt;
    return Utf8FromPath(target);
}

bool SetMode(const std::string& path, unsigned mode) {
    std::error_code error;
    fs::permissions(PathFromUtf8(path), static_cast<fs::perms>(mode & 07777),
                    fs::perm_options::replace | fs::perm_options::nofollow, error);
    // Linux cannot change a link's own bits; callers only ask that of real entries anyway.
    if (error == std::errc::operation_not_supported || error == std::errc::not_supported) {
        error.clear();
        fs::permissions(PathFromUtf8(path), static_cast<fs::perms>(mode & 07777), fs::perm_options::replace,
                        error);
    }
    return error ? Fail("permissions", path, error) : true;
}

std::optional<unsigned> Mode(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(PathFromUtf8(path), error);
    if (error || !fs::exists(status)) return std::nullopt;
    return static_cast<unsigned>(status.permissions()) & 0777u;
}

bool Exists(const std::string& path) {
#ifdef _WIN32
    return win32::Exists(path);  // a dangling link too
#endif
    std::error_code error;
    return fs::exists(fs::symlink_status(PathFromUtf8(path), error));
}

std::vector<std::string> ListTree(const std::string& root) {
#ifdef _WIN32
    return win32::ListTree(root);
#endif
    std::vector<std::string> lines;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        std::string relative = it->path().lexically_relative(root).generic_string();
        if (it->is_symlink(ignored)) {
            relative += " -> " + fs::read_symlink(it->path(), ignored).string();
        } else if (it->is_directory(ignored)) {
            relative += '/';
        } else {
            relative += " (" + std::to_string(it->file_size(ignored)) + ")";
        }
        lines.push_back(relative);
    }
    if (error) ADD_FAILURE() << "could not list " << root << ": " << error.message();
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace tandemere::testing
