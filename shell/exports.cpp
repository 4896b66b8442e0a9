// Shell layer: the DLL's entry point and exports (by ordinal, through res/tandemere.def). Nothing
// unwinds out of them: the file manager would die with its extension.
#include <windows.h>

#include <cwchar>

#include "platform/win32/settings_registry_win32.h"
#include "shell/class_factory.h"
#include "shell/module.h"
#include "shell/registration.h"
#include "ui/win32/settings_dlg_win32.h"

using namespace tandemere;

namespace {

// Drops the module's reference to the cached factory when the DLL is unloaded (static objects end
// after DllMain's detach, outside any of our calls).
struct CFactoryCacheRelease {
    ~CFactoryCacheRelease() { shell::ReleaseClassObjects(); }
} g_factoryCacheRelease;

}  // namespace

// Stores the module handle and nothing else: no allocation or registration under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) shell::SetModuleHandle(instance);
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return shell::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    try {
        return shell::GetClassObject(rclsid, riid, ppv);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    try {
        return shell::RegisterServer(shell::Scope::Machine);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    try {
        return shell::UnregisterServer(shell::Scope::Machine);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// "regsvr32 /n /i:user" registers for the current user only (HKEY_CURRENT_USER), for users who may
// not write below HKEY_LOCAL_MACHINE; "/u /n /i:user" removes that again. An empty command line
// is the per-machine registration.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL bInstall, PCWSTR pszCmdLine) {
    try {
        shell::Scope scope = shell::Scope::Machine;
        if (pszCmdLine && *pszCmdLine) {
            if (::_wcsicmp(pszCmdLine, L"user") != 0) return E_INVALIDARG;
            scope = shell::Scope::User;
        }
        return bInstall ? shell::RegisterServer(scope) : shell::UnregisterServer(scope);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// "rundll32 tandemere64.dll,OpenSettings" (the installer's shortcut): the settings window over the
// key both DLLs read, in the 32-bit registry view whatever this DLL's architecture.
extern "C" void CALLBACK OpenSettingsW(HWND hwnd, HINSTANCE instance, LPWSTR pszCmdLine, int nCmdShow) {
    (void)instance, (void)pszCmdLine, (void)nCmdShow;
    try {
        win32::RegistrySettingsStore store;
        win32::CSettingsDlg dialog(store);
        dialog.ShowModal(hwnd);
    } catch (...) {
        // Nothing unwinds into rundll32.
    }
}
