// Shell tests: the MSI installed and removed with Wine's msiexec: the files in Program Files and
// what each DLL's own registration writes, in its own registry view.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/shell/shell_support.h"

#ifdef TANDEMERE_MSI

namespace tandemere::shelltest {
namespace {

const std::wstring kClass = std::wstring(L"Software\\Classes\\CLSID\\") + kClsid;
constexpr const wchar_t* kSettings = L"Software\\Ravelstock\\Tandemere";

std::wstring Msi() {
    std::wstring path = L"Z:";
    for (const char* p = TANDEMERE_MSI; *p; ++p) path += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
    return path;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether a 32-bit program runs here: some machines' kernels run none, and then the 32-bit DLL
// is installed but cannot register itself.
bool Runs32BitPrograms() {
    std::wstring command = Environment(L"SystemRoot") + L"\\SysWOW64\\cmd.exe /c exit 7";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    DWORD code = 0;
    if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code == 7;
}

void ExpectBuildRegistered(const std::wstring& dll, REGSAM view) {
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kClass + L"\\InprocServer32", nullptr, view), dll);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid, view), L"Tandemere Shell Extension");
}

TEST(Installer, InstallsBothDllsRegisteredEachInItsViewAndUninstallsEverything) {
    RunProgram(L"msiexec.exe /x \"" + Msi() + L"\" /qn");
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));

    ASSERT_EQ(RunProgram(L"msiexec.exe /i \"" + Msi() + L"\" /qn"), 0u);
    const std::wstring dll64 = Environment(L"ProgramW6432") + L"\\Tandemere\\tandemere64.dll";
    const std::wstring dll32 = Environment(L"ProgramFiles(x86)") + L"\\Tandemere\\tandemere32.dll";
    EXPECT_TRUE(FileExists(dll64)) << ::testing::PrintToString(dll64);
    EXPECT_TRUE(FileExists(dll32)) << ::testing::PrintToString(dll32);
    ExpectBuildRegistered(dll64, KEY_WOW64_64KEY);
    for (const wchar_t* parent : kHandlerParents) {
        EXPECT_EQ(
            StringValue(HKEY_CLASSES_ROOT,
                        parent + std::wstring(L"\\shellex\\DragDropHandlers\\TandemereShlExt"), nullptr),
            kClsid);
    }
    const bool both = Runs32BitPrograms();
    if (both) {
        ExpectBuildRegistered(dll32, KEY_WOW64_32KEY);
    } else {
        std::printf("32-bit registration not checked: this machine runs no 32-bit programs\n");
    }

    ASSERT_EQ(RunProgram(L"msiexec.exe /x \"" + Msi() + L"\" /qn"), 0u);
    EXPECT_FALSE(FileExists(dll64));
    EXPECT_FALSE(FileExists(dll32));
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClass, view));
        EXPECT_FALSE(StringValue(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid, view));
    }
    for (const wchar_t* parent : kHandlerParents) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT,
                               parent + std::wstring(L"\\shellex\\DragDropHandlers\\TandemereShlExt")));
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));
}

}  // namespace
}  // namespace tandemere::shelltest

#endif
