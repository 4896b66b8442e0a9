// Shell layer: the module handle and the module lock count.
#include "shell/module.h"

namespace tandemere::shell {
namespace {

HMODULE g_hModule = nullptr;
LONG volatile g_nLocks = 0;

}  // namespace

HMODULE ModuleHandle() {
    if (!g_hModule) {
        HMODULE module = nullptr;
        if (::GetModuleHandleExW(
                GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                reinterpret_cast<LPCWSTR>(&ModuleHandle), &module))
            g_hModule = module;
    }
    return g_hModule;
}

void SetModuleHandle(HMODULE module) {
    g_hModule = module;
}

void LockModule() {
    ::InterlockedIncrement(&g_nLocks);
}

void UnlockModule() {
    ::InterlockedDecrement(&g_nLocks);
}

LONG ModuleLockCount() {
    return ::InterlockedCompareExchange(&g_nLocks, 0, 0);
}

}  // namespace tandemere::shell
