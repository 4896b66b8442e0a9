// Test support: the platform's real backends for a test, its own settings store, the second volume.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/settings_store.h"

namespace tandemere::testing {

// The platform's real file system: the POSIX backend natively, the Win32 backend on Windows.
std::unique_ptr<engine::IFileSystem> MakeRealFileSystem();

// The base folder of another volume for cross-volume cases ("/dev/shm" natively; on Windows the
// environment variable TANDEMERE_TEST_OTHER_VOLUME, e.g. "T:\"). Empty when there is none.
std::string OtherVolumeBase();
inline constexpr const char* kNoOtherVolumeReason =
    "no second volume given (set TANDEMERE_TEST_OTHER_VOLUME to a folder on another volume)";

// True when the test runs under Wine, whose shell folder move is not faithful.
bool RunningUnderWine();
inline constexpr const char* kWineFolderMoveReason =
    "Wine's SHFileOperation folder move is not faithful; this outcome is proven by the native suite";

// Whether symbolic links can be made here (Wine's CreateSymbolicLinkW reports success and makes
// nothing, and Wine has no junctions either). Probed once.
bool CanMakeLinks();
inline constexpr const char* kNoLinksReason =
    "this system cannot make symbolic links or junctions (Wine's CreateSymbolicLinkW is a stub)";

// A relative path written with '/' in the platform's separator, as log lines show it.
std::string Native(std::string_view relative);

// A settings store of the test's own, with no settings at first and removed on destruction:
// a settings file in a temporary folder natively, a registry key under HKEY_CURRENT_USER
// "Software\Tandemere-tests" on Windows. Move-only.
class TestSettings {
public:
    TestSettings();
    // Natively the settings file's folder under `base` (a faster file system, say); the registry
    // key on Windows is the same either way.
    explicit TestSettings(const std::string& base);
    ~TestSettings();
    TestSettings(const TestSettings&) = delete;
    TestSettings& operator=(const TestSettings&) = delete;

    engine::ISettingsStore& Store() { return *m_pStore; }

    // Replaces every setting by the values of registry-export style lines: `"Name"=dword:0000001e`
    // for a 32-bit value, `"Name"="text"` for a text value (how a switch of the wrong type looks).
    // An empty text leaves the key present but empty. Reports a test failure when it cannot.
    void Write(const std::string& lines);
    // Removes the key (or file) altogether: no settings at all.
    void Clear();
    // Whether the key (or file) exists.
    bool Exists() const;
    // Another store over a key (or file) that can never be created: every write fails.
    std::unique_ptr<engine::ISettingsStore> MakeUncreatableStore();

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
    engine::ISettingsStore* m_pStore = nullptr;
};

}  // namespace tandemere::testing

// Skips the running test where links cannot be made.
#define TANDEMERE_SKIP_WITHOUT_LINKS()                                                                   \
    do {                                                                                                 \
        if (!::tandemere::testing::CanMakeLinks()) GTEST_SKIP() << ::tandemere::testing::kNoLinksReason; \
    } while (false)
