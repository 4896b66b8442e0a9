// Platform layer (Windows): reading and writing the settings values under the registry key.
#include "platform/win32/settings_registry_win32.h"

#include <utility>

#include "platform/win32/unique_handle_win32.h"
#include "platform/win32/utf16_win32.h"

namespace tandemere::win32 {
namespace {

class RegistryKey : public engine::ISettingsKey {
public:
    explicit RegistryKey(UniqueRegKey key) : m_hKey(std::move(key)) {}

    engine::ValueKind QueryDword(const std::string& name, std::uint32_t& value) override {
        // A name that is not valid UTF-8 names no value.
        std::wstring wide;
        if (!Utf8ToUtf16(name, wide)) return engine::ValueKind::Missing;
        DWORD type = REG_NONE;
        DWORD data = 0;
        DWORD size = sizeof data;
        const LSTATUS status = ::RegQueryValueExW(m_hKey.Get(), wide.c_str(), nullptr, &type,
                                                  reinterpret_cast<BYTE*>(&data), &size);
        if (status == ERROR_FILE_NOT_FOUND) return engine::ValueKind::Missing;
        // Anything but a clean 4-byte REG_DWORD (a longer value gives ERROR_MORE_DATA) is not a
        // number this system wrote: the field keeps its default.
        if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data)
            return engine::ValueKind::OtherType;
        value = data;
        return engine::ValueKind::Dword;
    }

    bool SetDword(const std::string& name, std::uint32_t value) override {
        std::wstring wide;
        if (!Utf8ToUtf16(name, wide)) return false;
        const DWORD data = value;
        return ::RegSetValueExW(m_hKey.Get(), wide.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
    }

private:
    UniqueRegKey m_hKey;
};

}  // namespace

RegistrySettingsStore::RegistrySettingsStore()
    : RegistrySettingsStore(HKEY_LOCAL_MACHINE, kSettingsSubkey, KEY_WOW64_32KEY) {}

RegistrySettingsStore::RegistrySettingsStore(HKEY root, std::wstring subkey, REGSAM view)
    : m_hRoot(root), m_strSubkey(std::move(subkey)), m_nView(view) {}

std::unique_ptr<engine::ISettingsKey> RegistrySettingsStore::OpenForRead() {
    UniqueRegKey key;
    if (::RegOpenKeyExW(m_hRoot, m_strSubkey.c_str(), 0, KEY_READ | m_nView, key.Put()) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<RegistryKey>(std::move(key));
}

std::unique_ptr<engine::ISettingsKey> RegistrySettingsStore::OpenForWrite() {
    UniqueRegKey key;
    // Opens an existing key too; created keys are non-volatile, with default security.
    if (::RegCreateKeyExW(m_hRoot, m_strSubkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE | m_nView, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<RegistryKey>(std::move(key));
}

std::string RegistrySettingsStore::WriteErrorText() const {
    return "Error writing to registry";
}

}  // namespace tandemere::win32
