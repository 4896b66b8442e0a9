// Platform layer (Windows): the settings store as a registry key, in the 32-bit view for both builds.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "engine/settings_store.h"

namespace tandemere::win32 {

// The key that the settings program writes and both DLLs read.
inline constexpr const wchar_t* kSettingsSubkey = L"Software\\Ravelstock\\Tandemere";

// Reading opens the key with KEY_READ only, so a user who may not write it still gets its values;
// writing opens it with KEY_READ | KEY_WRITE and creates it when missing. The 32-bit view is used
// by default so that the 32-bit and the 64-bit DLL and the settings program share one key.
class RegistrySettingsStore : public engine::ISettingsStore {
public:
    // HKEY_LOCAL_MACHINE "Software\Ravelstock\Tandemere", 32-bit view.
    RegistrySettingsStore();
    // Any key (tests give each case its own); `view` is KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0.
    RegistrySettingsStore(HKEY root, std::wstring subkey, REGSAM view = KEY_WOW64_32KEY);

    // Null when the key does not exist or may not be read; never creates it.
    std::unique_ptr<engine::ISettingsKey> OpenForRead() override;
    // Null when the key can be neither opened for writing nor created.
    std::unique_ptr<engine::ISettingsKey> OpenForWrite() override;
    // "Error writing to registry".
    std::string WriteErrorText() const override;

    HKEY Root() const { return m_hRoot; }
    const std::wstring& Subkey() const { return m_strSubkey; }

private:
    HKEY m_hRoot;
    std::wstring m_strSubkey;
    REGSAM m_nView;
};

}  // namespace tandemere::win32
