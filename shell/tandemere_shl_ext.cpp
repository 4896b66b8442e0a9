// Shell layer: the extension object: its two interfaces, aggregation, and the hand-over to the engine.
#include "shell/tandemere_shl_ext.h"

#include <new>
#include <string_view>

#include "shell/drop_paths.h"
#include "shell/module.h"

namespace tandemere::shell {

const CLSID CLSID_TandemereShlExt = {
    0xCAE668DE, 0x3232, 0x4011, {0xB9, 0x16, 0x72, 0x93, 0xAA, 0x34, 0xBF, 0x43}};

HRESULT ResultOfMove(engine::MoveOutcome outcome) {
    return outcome == engine::MoveFinished ? S_OK : E_FAIL;
}

bool IsOurCommand(const CMINVOKECOMMANDINFO& info) {
    return info.lpVerb == nullptr;
}

int MenuInsertPosition(HMENU menu) {
    const int count = ::GetMenuItemCount(menu);
    const std::wstring_view name(kMenuName);
    for (int position = 0; position < count; ++position) {
        // 30 units: at most 29 characters are compared. wchar_t is unsigned on Windows, and any
        // character outside ASCII compares greater than every letter of the name whether it is
        // read as a code-page byte or a UTF-16 unit, so the order is the narrow one.
        wchar_t text[30] = {};
        const int length = ::GetMenuStringW(menu, static_cast<UINT>(position), text, 30, MF_BYPOSITION);
        std::wstring_view label(text, length > 0 ? static_cast<std::size_t>(length) : 0);
        if (label.empty()) continue;
        if (label.front() == L'&') label.remove_prefix(1);
        if (label.compare(name) > 0) return position;
    }
    return count - 1;
}

IUnknown* CTandemereShlExt::Create(IUnknown* outer) noexcept {
    try {
        auto* object = new (std::nothrow) CTandemereShlExt(outer);
        return object ? &object->m_oInner : nullptr;
    } catch (...) {
        return nullptr;
    }
}

CTandemereShlExt::CTandemereShlExt(IUnknown* outer) : m_pOuter(outer ? outer : &m_oInner) {
    LockModule();
}

CTandemereShlExt::~CTandemereShlExt() {
    UnlockModule();
}

STDMETHODIMP CTandemereShlExt::CInnerUnknown::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
    } else if (IsEqualIID(riid, IID_IShellExtInit)) {
        *ppv = static_cast<IShellExtInit*>(&m_rOwner);
    } else if (IsEqualIID(riid, IID_IContextMenu)) {
        *ppv = static_cast<IContextMenu*>(&m_rOwner);
    } else {
        return E_NOINTERFACE;
    }
    // Through the interface handed out: an aggregated object's references belong to the outer one.
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CTandemereShlExt::CInnerUnknown::AddRef() {
    return ++m_rOwner.m_nRefs;
}

STDMETHODIMP_(ULONG) CTandemereShlExt::CInnerUnknown::Release() {
    const ULONG refs = --m_rOwner.m_nRefs;
    if (refs == 0) delete &m_rOwner;
    return refs;
}

STDMETHODIMP CTandemereShlExt::QueryInterface(REFIID riid, void** ppv) {
    return m_pOuter->QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CTandemereShlExt::AddRef() {
    return m_pOuter->AddRef();
}

STDMETHODIMP_(ULONG) CTandemereShlExt::Release() {
    return m_pOuter->Release();
}

STDMETHODIMP CTandemereShlExt::Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj,
                                          HKEY hkeyProgID) {
    (void)hkeyProgID;
    try {
        std::string target;
        if (!PathFromIdList(pidlFolder, target)) return E_FAIL;
        std::vector<std::string> paths;
        const HRESULT read = ReadDroppedPaths(pdtobj, paths);
        if (FAILED(read)) return read;
        if (IsDeclinedDrop(paths, target)) return E_FAIL;

        m_oCommand.SetDestFolder(std::move(target));
        // The file manager may initialise one object more than once: each drop replaces the list,
        // or every path would be placed twice.
        m_oCommand.m_lstDropped.clear();
        for (std::string& path : paths) {
            if (!path.empty()) m_oCommand.AddDropped(std::move(path));
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP CTandemereShlExt::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                                UINT uFlags) {
    (void)indexMenu, (void)idCmdLast;
    try {
        if (uFlags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
        const int position = MenuInsertPosition(hmenu);
        if (!::InsertMenuW(hmenu, static_cast<UINT>(position), MF_BYPOSITION | MF_STRING, idCmdFirst,
                           kMenuText))
            return HRESULT_FROM_WIN32(::GetLastError());
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP CTandemereShlExt::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
    try {
        if (!pici || !IsOurCommand(*pici)) return E_INVALIDARG;
        return ResultOfMove(m_oCommand.Run(pici->hwnd));
    } catch (...) {
        // The move may have stopped anywhere: the windows it opened go with it.
        try {
            m_oUi.DestroyProgress();
        } catch (...) {
        }
        return E_FAIL;
    }
}

STDMETHODIMP CTandemereShlExt::GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName,
                                                UINT cchMax) {
    (void)idCmd, (void)uType, (void)pReserved, (void)pszName, (void)cchMax;
    return E_NOTIMPL;
}

}  // namespace tandemere::shell
