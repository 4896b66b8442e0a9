// Shell layer: the DLL's module state: its handle and the lock count that DllCanUnloadNow reads.
#pragma once

#include <windows.h>

namespace tandemere::shell {

// The DLL (or the test program the shell code is linked into); set by DllMain, else found from
// this code's own address.
HMODULE ModuleHandle();
void SetModuleHandle(HMODULE module);

// Every live object, every client reference to the class factory beyond the module's own and every
// LockServer(TRUE) holds one lock; atomic, since COM may call from any thread.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// One module lock for the holder's whole life. Declared as a class's first member, it is released
// after every other member is destroyed, so the DLL cannot be unloaded while their code still runs.
class CModuleLock {
public:
    CModuleLock() noexcept { LockModule(); }
    ~CModuleLock() { UnlockModule(); }
    CModuleLock(const CModuleLock&) = delete;
    CModuleLock& operator=(const CModuleLock&) = delete;
};

}  // namespace tandemere::shell
