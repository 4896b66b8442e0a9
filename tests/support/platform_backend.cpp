// Test support: the real backends of the platform the tests run on, and a settings store per test.
#ifdef _WIN32
// First, so that every declaration in this file sees the same DeleteFile macro as the backend does.
#include <windows.h>
#endif

#include "tests/support/platform_backend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string_view>
#include <vector>

#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include "platform/win32/file_system_win32.h"
#include "platform/win32/settings_registry_win32.h"
#include "platform/win32/utf16_win32.h"
#else
#include "platform/posix/file_system_posix.h"
#include "platform/posix/settings_file_posix.h"
#endif

namespace tandemere::testing {
namespace {

// One parsed settings line.
struct SettingLine {
    std::string m_strName;
    bool m_bDword = false;
    std::uint32_t m_nDword = 0;
    std::string m_strText;
};

// Parses `"Name"=dword:hex` and `"Name"="text"` lines; false for anything else.
bool ParseSettingLine(std::string_view line, SettingLine& out) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 4 || line.front() != '"') return false;
    const std::size_t close = line.find("\"=", 1);
    if (close == std::string_view::npos) return false;
    out.m_strName = std::string(line.substr(1, close - 1));
    std::string_view rest = line.substr(close + 2);
    if (rest.starts_with("dword:") && rest.size() == 14) {
        out.m_bDword = true;
        out.m_nDword = static_cast<std::uint32_t>(std::stoul(std::string(rest.substr(6)), nullptr, 16));
        return true;
    }
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
        out.m_bDword = false;
        out.m_strText = std::string(rest.substr(1, rest.size() - 2));
        return true;
    }
    return false;
}

std::vector<SettingLine> ParseSettingLines(const std::string& text) {
    std::vector<SettingLine> values;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        SettingLine value;
        if (ParseSettingLine(std::string_view(text).substr(start, end - start), value))
            values.push_back(value);
        else if (end > start)
            ADD_FAILURE() << "not a settings line: " << text.substr(start, end - start);
        start = end + 1;
    }
    return values;
}

}  // namespace

std::string Native(std::string_view relative) {
    std::string path(relative);
    for (char& c : path)
        if (c == '/') c = NativeSeparator();
    return path;
}

#ifdef _WIN32

namespace {

std::wstring Wide(std::string_view utf8) {
    std::wstring wide;
    if (!win32::Utf8ToUtf16(utf8, wide)) ADD_FAILURE() << "not UTF-8: " << utf8;
    return wide;
}

std::string Narrow(std::wstring_view utf16) {
    std::string narrow;
    win32::Utf16ToUtf8(utf16, narrow);
    return narrow;
}

constexpr const wchar_t* kTestsKey = L"Software\\Tandemere-tests";

std::wstring UniqueTestSubkey() {
    static std::atomic<unsigned> counter{0};
    std::wstring label;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info != nullptr) label = Wide(info->name());
    for (wchar_t& c : label)
        if (c == L'\\' || c == L'/') c = L'_';
    if (label.size() > 60) label.resize(60);
    return std::wstring(kTestsKey) + L"\\" + label + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1));
}

void DeleteKeyTree(const std::wstring& subkey) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, subkey.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, subkey.c_str());
    // The shared parent goes when the last test's key has gone (fails while others remain).
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestsKey);
}

}  // namespace

std::unique_ptr<engine::IFileSystem> MakeRealFileSystem() {
    return std::make_unique<win32::Win32FileSystem>();
}

std::string OtherVolumeBase() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD size = ::GetEnvironmentVariableW(L"TANDEMERE_TEST_OTHER_VOLUME", buffer, MAX_PATH + 1);
    if (size == 0 || size > MAX_PATH) return {};
    return Narrow(std::wstring_view(buffer, size));
}

bool CanMakeLinks() {
    static const bool can = [] {
        TempFolder probe;
        const std::wstring target = Wide(probe.Path("target"));
        const std::wstring link = Wide(probe.Path("link"));
        if (!::CreateDirectoryW(target.c_str(), nullptr)) return false;
        if (!::CreateSymbolicLinkW(
                link.c_str(), target.c_str(),
                SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
            return false;
        const DWORD attributes = ::GetFileAttributesW(link.c_str());
        const bool made =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (made) ::RemoveDirectoryW(link.c_str());
        return made;
    }();
    return can;
}

bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

struct TestSettings::Impl {
    std::wstring m_strSubkey = UniqueTestSubkey();
    win32::RegistrySettingsStore m_store{HKEY_CURRENT_USER, m_strSubkey};
    HKEY m_hDeletedParent = nullptr;
    std::unique_ptr<engine::ISettingsStore> m_pUncreatable;

    ~Impl() {
        m_pUncreatable.reset();
        if (m_hDeletedParent != nullptr) ::RegCloseKey(m_hDeletedParent);
        DeleteKeyTree(m_strSubkey);
    }
};

TestSettings::TestSettings() : m_pImpl(std::make_unique<Impl>()), m_pStore(&m_pImpl->m_store) {}

TestSettings::TestSettings(const std::string&) : TestSettings() {}

TestSettings::~TestSettings() = default;

void TestSettings::Write(const std::string& lines) {
    Clear();
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_pImpl->m_strSubkey.c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "could not create the test settings key";
        return;
    }
    for (const SettingLine& value : ParseSettingLines(lines)) {
        const std::wstring name = Wide(value.m_strName);
        LSTATUS status;
        if (value.m_bDword) {
            const DWORD data = value.m_nDword;
            status = ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                      sizeof data);
        } else {
            const std::wstring text = Wide(value.m_strText);
            status =
                ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        }
        if (status != ERROR_SUCCESS) ADD_FAILURE() << "could not set " << value.m_strName << ": " << status;
    }
    ::RegCloseKey(key);
}

void TestSettings::Clear() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_pImpl->m_strSubkey.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, m_pImpl->m_strSubkey.c_str());
}

bool TestSettings::Exists() const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_pImpl->m_strSubkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

std::unique_ptr<engine::ISettingsStore> TestSettings::MakeUncreatableStore() {
    // Below a key that was deleted while still open, no key can ever be created.
    const std::wstring parent = m_pImpl->m_strSubkey + L"-deleted";
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &m_pImpl->m_hDeletedParent, nullptr) != ERROR_SUCCESS ||
        ::RegDeleteKeyW(HKEY_CURRENT_USER, parent.c_str()) != ERROR_SUCCESS) {
        ADD_FAILURE() << "could not make a deleted parent key";
        return nullptr;
    }
    return std::make_unique<win32::RegistrySettingsStore>(m_pImpl->m_hDeletedParent, L"settings");
}

#else

std::unique_ptr<engine::IFileSystem> MakeRealFileSystem() {
    return std::make_unique<posix::PosixFileSystem>();
}

std::string OtherVolumeBase() {
    return "/dev/shm";
}

bool CanMakeLinks() {
    return true;
}

bool RunningUnderWine() {
    return false;
}

struct TestSettings::Impl {
    Impl() = default;
    explicit Impl(const std::string& base) : m_dir(base) {}

    TempFolder m_dir;
    std::string m_strPath = m_dir.Path("settings");
    posix::SettingsFileStore m_store{m_strPath};
};

TestSettings::TestSettings() : m_pImpl(std::make_unique<Impl>()), m_pStore(&m_pImpl->m_store) {}

TestSettings::TestSettings(const std::string& base)
    : m_pImpl(std::make_unique<Impl>(base)), m_pStore(&m_pImpl->m_store) {}

TestSettings::~TestSettings() = default;

void TestSettings::Write(const std::string& lines) {
    ParseSettingLines(lines);  // reports lines the registry form could not hold either
    WriteFile(m_pImpl->m_strPath, lines);
}

void TestSettings::Clear() {
    std::remove(m_pImpl->m_strPath.c_str());
}

bool TestSettings::Exists() const {
    return testing::Exists(m_pImpl->m_strPath);
}

std::unique_ptr<engine::ISettingsStore> TestSettings::MakeUncreatableStore() {
    // Its folder is a plain file.
    if (!WriteFile(m_pImpl->m_dir.Path("not-a-folder"), "x")) return nullptr;
    return std::make_unique<posix::SettingsFileStore>(m_pImpl->m_dir.Path("not-a-folder/settings"));
}

#endif

}  // namespace tandemere::testing
