// Shell layer: the class factory over the one-row class table, cached per class for the DLL's life.
#pragma once

#include <windows.h>

namespace tandemere::shell {

// The cached factory of `clsid`, asked for `riid`: E_POINTER for a null `ppv`,
// CLASS_E_CLASSNOTAVAILABLE for a class this DLL does not serve.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);

// Drops the module's own reference to each cached factory (at unload).
void ReleaseClassObjects();

}  // namespace tandemere::shell
