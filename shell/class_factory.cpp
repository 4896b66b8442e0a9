// Shell layer: the class table, its cached factories and IClassFactory.
#include "shell/class_factory.h"

#include <atomic>
#include <iterator>
#include <new>

#include "shell/module.h"
#include "shell/tandemere_shl_ext.h"

namespace tandemere::shell {
namespace {

// One class this DLL serves: its identifier and how an object is made (null when memory runs out;
// the object has one reference on its own IUnknown).
struct ClassRow {
    const CLSID* m_pClsid;
    IUnknown* (*m_pfnCreate)(IUnknown* outer) noexcept;
};

const ClassRow kClassTable[] = {
    {&CLSID_TandemereShlExt, &CTandemereShlExt::Create},
};

class CClassFactory final : public IClassFactory {
public:
    explicit CClassFactory(const ClassRow& row) : m_rRow(row) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    // The module holds the first reference; any further one is a client's, which keeps the DLL
    // loaded for as long as it holds it.
    STDMETHODIMP_(ULONG) AddRef() override {
        const ULONG refs = ++m_nRefs;
        if (refs == 2) LockModule();
        return refs;
    }

    STDMETHODIMP_(ULONG) Release() override {
        const ULONG refs = --m_nRefs;
        if (refs == 1) UnlockModule();
        if (refs == 0) delete this;
        return refs;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        // An aggregated object hands its own IUnknown to the outer object, never an interface.
        if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        IUnknown* object = m_rRow.m_pfnCreate(outer);
        if (!object) return E_OUTOFMEMORY;
        // The creation reference goes once the interface is handed out: a failed query destroys it.
        const HRESULT result = object->QueryInterface(riid, ppv);
        object->Release();
        return result;
    }

    STDMETHODIMP LockServer(BOOL fLock) override {
        if (fLock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }

private:
    const ClassRow& m_rRow;
    std::atomic<ULONG> m_nRefs{1};
};

// The cached factories, one per row, made on first request under the lock.
std::atomic<CClassFactory*> g_factories[std::size(kClassTable)];
SRWLOCK g_factoryLock = SRWLOCK_INIT;

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    try {
        for (std::size_t i = 0; i < std::size(kClassTable); ++i) {
            if (!IsEqualCLSID(clsid, *kClassTable[i].m_pClsid)) continue;
            CClassFactory* factory = g_factories[i].load();
            if (!factory) {
                ::AcquireSRWLockExclusive(&g_factoryLock);
                factory = g_factories[i].load();
                if (!factory) {
                    factory = new (std::nothrow) CClassFactory(kClassTable[i]);
                    g_factories[i].store(factory);
                }
                ::ReleaseSRWLockExclusive(&g_factoryLock);
                if (!factory) return E_OUTOFMEMORY;
            }
            return factory->QueryInterface(riid, ppv);
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

void ReleaseClassObjects() {
    for (auto& slot : g_factories) {
        if (CClassFactory* factory = slot.exchange(nullptr)) factory->Release();
    }
}

}  // namespace tandemere::shell
