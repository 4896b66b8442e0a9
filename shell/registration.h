// Shell layer: what registration writes and unregistration removes, as one table of rows walked
// forwards to register and backwards to unregister.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/unique_handle_win32.h"
#include "shell/registration_table.h"

namespace tandemere::shell {

// The registry calls registration makes, so a test can make any of them fail. Each returns what
// the Reg* call returns. `view` is 0 or a KEY_WOW64_* flag.
class IRegistry {
public:
    virtual ~IRegistry() = default;
    virtual LSTATUS OpenKey(HKEY root, const std::wstring& path, REGSAM access, win32::UniqueRegKey& key) = 0;
    virtual LSTATUS CreateKey(HKEY root, const std::wstring& path, REGSAM access,
                              win32::UniqueRegKey& key) = 0;
    virtual LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& data) = 0;
    virtual LSTATUS DeleteValue(HKEY key, const std::wstring& name) = 0;
    // The key and everything below it.
    virtual LSTATUS DeleteTree(HKEY root, const std::wstring& path) = 0;
    // The key alone: refused while it has subkeys.
    virtual LSTATUS DeleteKey(HKEY root, const std::wstring& path, REGSAM view) = 0;
};

// The real registry.
IRegistry& SystemRegistry();

// Per machine (HKEY_LOCAL_MACHINE, and the settings key on unregistration), or per user
// (HKEY_CURRENT_USER, the settings left alone).
enum class Scope : std::uint8_t { Machine, User };

// Where the rows go: key paths below one hive. The paths are always opened from the hive itself,
// never from a handle below it, so the registry views (KEY_WOW64_*) apply as documented.
struct RegistryRoots {
    HKEY m_hHive;
    std::wstring m_strSoftware;  // prefix of the Software rows ("" for the hive's own)
    std::wstring m_strClasses;   // prefix of the Classes rows, standing for HKEY_CLASSES_ROOT
    // Per machine: the approval list must exist already, and unregistration removes the settings.
    bool m_bMachine;
};

// The roots of a scope: HKLM or HKCU, the classes below its Software\Classes (HKEY_CLASSES_ROOT's
// part in that hive, so what is written does not depend on what the other hive holds).
RegistryRoots ScopeRoots(Scope scope);

// The forward walk: S_OK, E_ACCESSDENIED when the approval cannot be written, else the first
// failing write's error (the walk stops there).
HRESULT RegisterRows(IRegistry& registry, const RegistryRoots& roots, const std::wstring& clsid,
                     const std::wstring& module);
// The backward walk: S_OK or the first error of a Replaced row's deletion (a missing key is no
// error); the walk goes on after errors.
HRESULT UnregisterRows(IRegistry& registry, const RegistryRoots& roots, const std::wstring& clsid,
                       const std::wstring& module);

// Whether the other build's class key exists in the other registry view, naming another DLL than
// `module`: false where there is no other view (a 32-bit system), and where a key is not split
// between the views (so the other view shows this build's own key).
bool OtherBuildRegistered(IRegistry& registry, const RegistryRoots& roots, const std::wstring& clsid,
                          const std::wstring& module);

// The whole of registration and unregistration for the DLL: the class identifier of the extension
// and this module's path.
HRESULT RegisterServer(Scope scope);
HRESULT UnregisterServer(Scope scope);

}  // namespace tandemere::shell
