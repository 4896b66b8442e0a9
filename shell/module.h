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

}  // namespace tandemere::shell
