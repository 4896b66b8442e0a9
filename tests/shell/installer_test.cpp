// Shell tests: the MSI installed, upgraded and removed with Wine's msiexec: the files in Program
// Files, the registry rows each in its component's view, and the settings kept across an upgrade.
#include <windows.h>
// The installer's headers need the types of windows.h first.
#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cwctype>
#include <iterator>
#include <map>
#include <vector>

#include "engine/settings_table.h"
#include "engine/user_interface.h"
#include "platform/win32/settings_registry_win32.h"
#include "shell/registration.h"
#include "tests/shell/shell_support.h"

#ifdef TANDEMERE_MSI

namespace tandemere::shelltest {
namespace {

const std::wstring kClass = std::wstring(L"Software\\Classes\\CLSID\\") + kClsid;
constexpr const wchar_t* kSettings = L"Software\\Ravelstock\\Tandemere";

std::wstring WindowsPath(const char* path) {
    std::wstring result = L"Z:";
    for (const char* p = path; *p; ++p) result += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
    return result;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Success, or success that needs a restart (a file in use replaced at the next start).
void ExpectMsiexecSucceeds(const std::wstring& arguments) {
    const DWORD code = RunProgram(L"msiexec.exe " + arguments + L" /qn");
    EXPECT_TRUE(code == ERROR_SUCCESS || code == ERROR_SUCCESS_REBOOT_INITIATED ||
                code == ERROR_SUCCESS_REBOOT_REQUIRED)
        << "msiexec " << ::testing::PrintToString(arguments) << " exited with " << code;
}

// The version resource's file version, "a.b.c.d".
std::wstring FileVersion(const std::wstring& path) {
    std::vector<BYTE> data(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (data.empty() ||
        !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size))
        return L"none";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionLS));
}

// The rows a query of the package returns, each field as text (null as ""). Empty when the query
// fails, as it does on a table the package does not hold.
std::vector<std::vector<std::wstring>> MsiRows(const char* msi, const std::wstring& query) {
    std::vector<std::vector<std::wstring>> rows;
    MSIHANDLE database = 0;
    MSIHANDLE view = 0;
    if (::MsiOpenDatabaseW(WindowsPath(msi).c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) {
        ADD_FAILURE() << "the package does not open: " << msi;
        return rows;
    }
    if (::MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS &&
        ::MsiViewExecute(view, 0) == ERROR_SUCCESS) {
        for (MSIHANDLE record = 0; ::MsiViewFetch(view, &record) == ERROR_SUCCESS; ::MsiCloseHandle(record)) {
            rows.emplace_back();
            for (UINT field = 1; field <= ::MsiRecordGetFieldCount(record); ++field) {
                wchar_t text[1024] = {};
                DWORD size = 1024;
                ::MsiRecordGetStringW(record, field, text, &size);
                rows.back().emplace_back(text);
            }
        }
    }
    ::MsiCloseHandle(view);
    ::MsiCloseHandle(database);
    return rows;
}

// Values below a key, its subkeys' included.
std::size_t CountValues(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD subkeys = 0;
    DWORD values = 0;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr);
    std::size_t count = values;
    for (DWORD at = 0; at < subkeys; ++at) {
        wchar_t name[256] = {};
        DWORD size = 256;
        if (::RegEnumKeyExW(key, at, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            count += CountValues(path + L"\\" + name);
    }
    ::RegCloseKey(key);
    return count;
}

struct Build {
    const wchar_t* m_pszComponent;
    const wchar_t* m_pszFile;
    std::wstring m_strDll;  // where it is installed
    REGSAM m_nView;
};

std::vector<Build> Builds() {
    std::vector<Build> builds;
#ifdef _WIN64
    builds.push_back({L"Dll64", L"tandemere64.dll",
                      Environment(L"ProgramW6432") + L"\\Tandemere\\tandemere64.dll", KEY_WOW64_64KEY});
#endif
    builds.push_back({L"Dll32", L"tandemere32.dll",
                      Environment(L"ProgramFiles(x86)") + L"\\Tandemere\\tandemere32.dll", KEY_WOW64_32KEY});
    return builds;
}

// Every setting's value in the key, each its default unless `changed` names it.
void ExpectStored(win32::RegistrySettingsStore& store, const std::map<std::string, std::uint32_t>& changed) {
    const auto key = store.OpenForRead();
    ASSERT_TRUE(key);
    for (const engine::SettingInfo& setting : engine::kSettings) {
        const auto found = changed.find(setting.m_pszName);
        std::uint32_t value = 99;
        EXPECT_EQ(key->QueryDword(setting.m_pszName, value), engine::ValueKind::Dword) << setting.m_pszName;
        EXPECT_EQ(value,
                  found != changed.end() ? found->second : static_cast<std::uint32_t>(setting.m_nDefault))
            << setting.m_pszName;
    }
}

// Whether the Start menu holds the settings shortcut: among all users' programs as Windows puts it
// for a per-machine package, or the user's own, where Wine's installer puts it.
bool ShortcutExists() {
    for (const int folder : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        wchar_t programs[MAX_PATH] = {};
        if (::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, programs) == S_OK &&
            FileExists(std::wstring(programs) + L"\\Tandemere settings.lnk"))
            return true;
    }
    return false;
}

// Each build's class and approval in its own view, its file of `version`, and the handlers.
void ExpectInstalled(const std::wstring& version) {
    for (const Build& build : Builds()) {
        SCOPED_TRACE(::testing::PrintToString(build.m_strDll));
        EXPECT_EQ(FileVersion(build.m_strDll), version + L".0");
        EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kClass + L"\\InprocServer32", nullptr, build.m_nView),
                  build.m_strDll);
        EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid, build.m_nView),
                  L"Tandemere Shell Extension");
    }
    for (const wchar_t* parent : kHandlerParents) {
        EXPECT_EQ(
            StringValue(HKEY_CLASSES_ROOT,
                        parent + std::wstring(L"\\shellex\\DragDropHandlers\\TandemereShlExt"), nullptr),
            kClsid);
    }
}

TEST(Installer, TheRegistryTableHoldsWhatRegistrationWritesAndTheFilesTheirVersions) {
    EXPECT_TRUE(MsiRows(TANDEMERE_MSI, L"SELECT `File_` FROM `SelfReg`").empty());
    const std::wstring scratch = L"Software\\TandemereInstallerTest\\";
    for (const Build& build : Builds()) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(build.m_pszComponent)));
        const auto files = MsiRows(TANDEMERE_MSI, L"SELECT `Version` FROM `File` WHERE `File` = '" +
                                                      std::wstring(build.m_pszFile) + L"'");
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0][0], Wide(TANDEMERE_VERSION) + L".0");

        // The DLL's own walk, per machine, into a scratch key, with the module the MSI names.
        DeleteTree(HKEY_CURRENT_USER, scratch);
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, scratch + kApprovedKey));
        // Registration leaves the settings key alone; the installer creates it.
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, scratch + kSettings));
        const shell::RegistryRoots roots{HKEY_CURRENT_USER, scratch, scratch + L"Software\\Classes\\", true};
        ASSERT_EQ(shell::RegisterRows(shell::SystemRegistry(), roots, kClsid,
                                      L"[#" + std::wstring(build.m_pszFile) + L"]"),
                  S_OK);
        std::size_t values = 0;
        std::size_t settings = 0;
        for (const auto& row : MsiRows(TANDEMERE_MSI,
                                       L"SELECT `Root`, `Key`, `Name`, `Value` FROM `Registry` "
                                       L"WHERE `Component_` = '" +
                                           std::wstring(build.m_pszComponent) + L"'")) {
            SCOPED_TRACE(::testing::PrintToString(row));
            EXPECT_EQ(row[0], L"2");
            EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, scratch + row[1]));
            // The settings' values are the installer's own, one per setting, each from its property.
            if (row[1] == kSettings && !row[2].empty() && row[2] != L"*") {
                std::string name;
                for (const wchar_t c : row[2]) name += static_cast<char>(c);
                ASSERT_TRUE(engine::FindSetting(name));
                std::wstring property = L"[TANDEMERE_" + Wide(name) + L"]";
                for (wchar_t& c : property) c = static_cast<wchar_t>(::towupper(c));
                EXPECT_EQ(row[3], property);
                ++settings;
                continue;
            }
            if (row[3].empty()) continue;
            ++values;
            EXPECT_EQ(
                StringValue(HKEY_CURRENT_USER, scratch + row[1], row[2].empty() ? nullptr : row[2].c_str()),
                row[3]);
        }
        EXPECT_EQ(values, CountValues(scratch));
        EXPECT_EQ(settings, build.m_nView == KEY_WOW64_32KEY ? std::size(engine::kSettings) : 0u);
    }
    const auto shortcuts =
        MsiRows(TANDEMERE_MSI, L"SELECT `Directory_`, `Name`, `Target`, `Arguments` FROM `Shortcut`");
    ASSERT_EQ(shortcuts.size(), 1u);
    EXPECT_EQ(shortcuts[0][0], L"ProgramMenuFolder");
    EXPECT_EQ(shortcuts[0][1], L"Tandemere settings");
    EXPECT_EQ(shortcuts[0][3], L"\"[#" + std::wstring(Builds().front().m_pszFile) + L"]\",OpenSettings");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\TandemereInstallerTest");
}

TEST(Installer, InstallsUpgradesKeepingTheSettingsAndUninstallsEverything) {
    const std::wstring msi = L"\"" + WindowsPath(TANDEMERE_MSI) + L"\"";
    const std::wstring next = L"\"" + WindowsPath(TANDEMERE_MSI_NEXT) + L"\"";
    RunProgram(L"msiexec.exe /x " + next + L" /qn");
    RunProgram(L"msiexec.exe /x " + msi + L" /qn");
    DeleteTree(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY);

    ExpectMsiexecSucceeds(L"/i " + msi);
    ExpectInstalled(Wide(TANDEMERE_VERSION));
    // The settings key holds every setting's default; the Start menu opens the settings window.
    win32::RegistrySettingsStore store;
    ExpectStored(store, {});
    EXPECT_TRUE(ShortcutExists());
    {
        const auto key = store.OpenForWrite();
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->SetDword("Logging", 0));
        ASSERT_TRUE(key->SetDword("DiffFileSameNameDlgDefault", engine::AnswerSecond));
    }

    ExpectMsiexecSucceeds(L"/i " + next);
    ExpectInstalled(Wide(TANDEMERE_NEXT_VERSION));
    ExpectStored(store, {{"Logging", 0}, {"DiffFileSameNameDlgDefault", engine::AnswerSecond}});

    ExpectMsiexecSucceeds(L"/x " + next);
    for (const Build& build : Builds()) {
        EXPECT_FALSE(FileExists(build.m_strDll));
        EXPECT_FALSE(FileExists(build.m_strDll.substr(0, build.m_strDll.rfind(L'\\'))));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClass, build.m_nView));
        EXPECT_FALSE(StringValue(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid, build.m_nView));
    }
    for (const wchar_t* parent : kHandlerParents) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT,
                               parent + std::wstring(L"\\shellex\\DragDropHandlers\\TandemereShlExt")));
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));
    EXPECT_FALSE(ShortcutExists());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Ravelstock", KEY_WOW64_32KEY));
    // Wine's installer removes the keys it emptied, the approval list among them, which Windows
    // never leaves empty; per-machine registration needs the list.
    for (const Build& build : Builds()) CreateKey(HKEY_LOCAL_MACHINE, kApprovedKey, build.m_nView);
}

}  // namespace
}  // namespace tandemere::shelltest

#endif
