// Shell layer: the registration table and its two walks.
#include "shell/registration.h"

#include <cwchar>
#include <span>
#include <string_view>
#include <utility>

#include "shell/module.h"
#include "shell/tandemere_shl_ext.h"

namespace tandemere::shell {
namespace {

// The class of the keys registration creates (RegCreateKeyEx keeps an existing key's class).
constexpr const wchar_t* kCreatedKeyClass = L"Tandemere";

// Parents before children: the backward walk removes children first.
std::span<const RegistryRow> Rows() {
    std::size_t count = 0;
    const RegistryRow* rows = RegistryTable(count);
    return {rows, count};
}

// The settings key lies in the 32-bit view for both builds (see the settings store).
constexpr REGSAM kSettingsView = KEY_WOW64_32KEY;

std::wstring Expand(const wchar_t* text, const std::wstring& clsid, const std::wstring& module) {
    std::wstring result = text ? text : L"";
    for (const auto& [mark, value] : {std::pair<std::wstring, const std::wstring&>{L"%CLSID%", clsid},
                                      std::pair<std::wstring, const std::wstring&>{L"%MODULE%", module}}) {
        for (std::size_t at = result.find(mark); at != std::wstring::npos;
             at = result.find(mark, at + value.size()))
            result.replace(at, mark.size(), value);
    }
    return result;
}

std::wstring PathOf(const RegistryRow& row, const RegistryRoots& roots, const std::wstring& clsid) {
    return (row.m_nHive == Hive::Classes ? roots.m_strClasses : roots.m_strSoftware) +
           Expand(row.m_pszKey, clsid, std::wstring());
}

HRESULT FromStatus(LSTATUS status) {
    return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

bool Gone(LSTATUS status) {
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

class CSystemRegistry final : public IRegistry {
public:
    LSTATUS OpenKey(HKEY root, const std::wstring& path, REGSAM access, win32::UniqueRegKey& key) override {
        return ::RegOpenKeyExW(root, path.c_str(), 0, access, key.Put());
    }
    LSTATUS CreateKey(HKEY root, const std::wstring& path, REGSAM access, win32::UniqueRegKey& key) override {
        // A key this call creates carries our class, the mark that unregistration may remove it.
        // Opened first: Wine gives an existing key the class it is asked to create it with.
        const LSTATUS opened = ::RegOpenKeyExW(root, path.c_str(), 0, access, key.Put());
        if (opened != ERROR_FILE_NOT_FOUND) return opened;
        return ::RegCreateKeyExW(root, path.c_str(), 0, const_cast<wchar_t*>(kCreatedKeyClass),
                                 REG_OPTION_NON_VOLATILE, access, nullptr, key.Put(), nullptr);
    }
    LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& data) override {
        // REG_SZ with its terminating NUL.
        return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    LSTATUS DeleteValue(HKEY key, const std::wstring& name) override {
        return ::RegDeleteValueW(key, name.c_str());
    }
    LSTATUS DeleteTree(HKEY root, const std::wstring& path) override {
        return ::RegDeleteTreeW(root, path.c_str());
    }
    LSTATUS DeleteKey(HKEY root, const std::wstring& path, REGSAM view) override {
        return ::RegDeleteKeyExW(root, path.c_str(), view, 0);
    }
};

// Writes the row's key with its values; the key is created when missing.
LSTATUS WriteRow(IRegistry& registry, const RegistryRow& row, HKEY root, const std::wstring& path,
                 const std::wstring& clsid, const std::wstring& module) {
    win32::UniqueRegKey key;
    LSTATUS status = registry.CreateKey(root, path, KEY_WRITE, key);
    if (status != ERROR_SUCCESS) return status;
    if (row.m_pszDefault) {
        status = registry.SetString(key.Get(), nullptr, Expand(row.m_pszDefault, clsid, module));
        if (status != ERROR_SUCCESS) return status;
    }
    if (row.m_pszValueName) {
        const std::wstring name = Expand(row.m_pszValueName, clsid, module);
        status = registry.SetString(key.Get(), name.c_str(), Expand(row.m_pszValue, clsid, module));
    }
    return status;
}

// Whether the key carries our class and holds neither values nor subkeys.
bool IsOurEmptyKey(HKEY root, const std::wstring& path) {
    win32::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
    wchar_t keyClass[32] = {};
    DWORD classLength = 32;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (::RegQueryInfoKeyW(key.Get(), keyClass, &classLength, nullptr, &subkeys, nullptr, nullptr, &values,
                           nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0 && std::wstring_view(keyClass, classLength) == kCreatedKeyClass;
}

// Deletes the approval value; a user's list goes with it when registration created it and it is
// left empty (the machine's list is the system's). Failures are ignored.
void RemoveApproval(IRegistry& registry, const RegistryRow& row, const RegistryRoots& roots,
                    const std::wstring& path, const std::wstring& clsid) {
    win32::UniqueRegKey key;
    if (registry.OpenKey(roots.m_hHive, path, KEY_SET_VALUE, key) != ERROR_SUCCESS) return;
    (void)registry.DeleteValue(key.Get(), Expand(row.m_pszValueName, clsid, std::wstring()));
    key.Reset();
    if (!roots.m_bMachine && IsOurEmptyKey(roots.m_hHive, path))
        (void)registry.DeleteKey(roots.m_hHive, path, 0);
}

}  // namespace

IRegistry& SystemRegistry() {
    static CSystemRegistry s_registry;
    return s_registry;
}

RegistryRoots ScopeRoots(Scope scope) {
    if (scope == Scope::Machine) return {HKEY_LOCAL_MACHINE, L"", L"Software\\Classes\\", true};
    return {HKEY_CURRENT_USER, L"", L"Software\\Classes\\", false};
}

HRESULT RegisterRows(IRegistry& registry, const RegistryRoots& roots, const std::wstring& clsid,
                     const std::wstring& module) {
    for (const RegistryRow& row : Rows()) {
        const HKEY root = roots.m_hHive;
        const std::wstring path = PathOf(row, roots, clsid);
        switch (row.m_nKind) {
            case RowKind::Approval: {
                // Per machine the list exists and only an administrator may write it; per user it
                // may not exist yet.
                win32::UniqueRegKey key;
                const LSTATUS opened = roots.m_bMachine ? registry.OpenKey(root, path, KEY_SET_VALUE, key)
                                                        : registry.CreateKey(root, path, KEY_SET_VALUE, key);
                if (opened != ERROR_SUCCESS) return E_ACCESSDENIED;
                const std::wstring name = Expand(row.m_pszValueName, clsid, module);
                if (registry.SetString(key.Get(), name.c_str(), Expand(row.m_pszValue, clsid, module)) !=
                    ERROR_SUCCESS)
                    return E_ACCESSDENIED;
                break;
            }
            case RowKind::RemovedWhenEmpty:
            case RowKind::Removed:
                break;
            case RowKind::Kept: {
                win32::UniqueRegKey key;
                const LSTATUS status = registry.CreateKey(root, path, KEY_READ, key);
                if (status != ERROR_SUCCESS) return FromStatus(status);
                break;
            }
            case RowKind::Replaced: {
                const LSTATUS deleted = registry.DeleteTree(root, path);
                if (!Gone(deleted)) return FromStatus(deleted);
                const LSTATUS status = WriteRow(registry, row, root, path, clsid, module);
                if (status != ERROR_SUCCESS) return FromStatus(status);
                break;
            }
            case RowKind::WithParent: {
                const LSTATUS status = WriteRow(registry, row, root, path, clsid, module);
                if (status != ERROR_SUCCESS) return FromStatus(status);
                break;
            }
        }
    }
    return S_OK;
}

HRESULT UnregisterRows(IRegistry& registry, const RegistryRoots& roots, const std::wstring& clsid,
                       const std::wstring& module) {
    HRESULT result = S_OK;
    // Asked once, before the walk removes anything of this build.
    const bool otherBuild = OtherBuildRegistered(registry, roots, clsid, module);
    bool childRemoved = false;
    const std::span<const RegistryRow> rows = Rows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const RegistryRow& row = *it;
        const HKEY root = roots.m_hHive;
        const std::wstring path = PathOf(row, roots, clsid);
        const bool keepShared = row.m_bShared && otherBuild;
        bool removed = false;
        switch (row.m_nKind) {
            case RowKind::Approval:
                // Per user the list lies in the Software key both builds share, like the handler keys.
                if (!roots.m_bMachine && otherBuild) break;
                RemoveApproval(registry, row, roots, path, clsid);
                break;
            case RowKind::RemovedWhenEmpty:
                if (roots.m_bMachine && childRemoved && !keepShared)
                    removed = registry.DeleteKey(root, path, kSettingsView) == ERROR_SUCCESS;
                break;
            case RowKind::Removed:
                if (roots.m_bMachine && !keepShared)
                    removed = registry.DeleteKey(root, path, kSettingsView) == ERROR_SUCCESS;
                break;
            case RowKind::Kept:
            case RowKind::WithParent:
                break;
            case RowKind::Replaced:
                if (!keepShared) {
                    const LSTATUS status = registry.DeleteTree(root, path);
                    if (!Gone(status) && result == S_OK) result = FromStatus(status);
                }
                break;
        }
        childRemoved = removed;
    }
    return result;
}

bool OtherBuildRegistered(IRegistry& registry, const RegistryRoots& roots, const std::wstring& clsid,
                          const std::wstring& module) {
#ifdef _WIN64
    const REGSAM otherView = KEY_WOW64_32KEY;
#else
    // A 32-bit build sees a 64-bit view only under WOW64; elsewhere the flag would name its own.
    BOOL wow64 = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return false;
    const REGSAM otherView = KEY_WOW64_64KEY;
#endif
    win32::UniqueRegKey key;
    if (registry.OpenKey(roots.m_hHive, roots.m_strClasses + L"CLSID\\" + clsid + L"\\InprocServer32",
                         KEY_READ | otherView, key) != ERROR_SUCCESS)
        return false;
    wchar_t server[MAX_PATH * 4] = {};
    DWORD size = sizeof(server) - sizeof(wchar_t);
    if (::RegGetValueW(key.Get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, server, &size) != ERROR_SUCCESS)
        return true;  // a class key without a readable server is still someone's registration
    return ::_wcsicmp(server, module.c_str()) != 0;
}

namespace {

std::wstring ClsidText() {
    wchar_t text[40] = {};
    ::StringFromGUID2(CLSID_TandemereShlExt, text, 40);
    return text;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = ::GetModuleFileNameW(ModuleHandle(), path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) return std::wstring();  // GetLastError says why; the caller refuses to register
        if (got < path.size()) {
            path.resize(got);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

HRESULT RegisterServer(Scope scope) {
    const std::wstring module = ModulePath();
    // An empty InprocServer32 would register a class that no one can load.
    if (module.empty()) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    return RegisterRows(SystemRegistry(), ScopeRoots(scope), ClsidText(), module);
}

HRESULT UnregisterServer(Scope scope) {
    return UnregisterRows(SystemRegistry(), ScopeRoots(scope), ClsidText(), ModulePath());
}

}  // namespace tandemere::shell
