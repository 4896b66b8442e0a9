// Shell layer: the extension object: its two interfaces, aggregation, and the hand-over to the engine.
#include "shell/tandemere_shl_ext.h"

#include <bit>
#include <new>
#include <string_view>

#include "platform/win32/journal_file_win32.h"
#include "shell/drop_paths.h"
#include "shell/module.h"
#include "shell/move_scope.h"
#include "shell/registration_table.h"

namespace tandemere::shell {

// The registration table's identifier, so the installer writes the same one.
const CLSID CLSID_TandemereShlExt = std::bit_cast<CLSID>(kExtensionClassId);

namespace {

// The same journal as the Linux tool writes, so that `tandemere undo` can reverse the move. One that
// cannot be made is said once in the log by the move's first record, and the move goes on without it.
// `name` is the move's start, its journal's name.
void StartJournal(win32::Win32JournalFile& journal, const engine::MoveCommand& command, std::string& name) {
    std::string time, path;
    win32::NowForJournal(name, time);
    if (journal.Create(win32::DefaultJournalFolder(), name, path))
        (void)engine::WriteJournalHeader(journal, time, TANDEMERE_VERSION, command.m_szDestFolder,
                                         {command.m_lstDropped.begin(), command.m_lstDropped.end()});
}

}  // namespace

HRESULT ResultOfMove(engine::MoveOutcome outcome) {
    return outcome == engine::MoveFinished ? S_OK : E_FAIL;
}

bool IsOurCommand(const CMINVOKECOMMANDINFO& info) {
    if (info.cbSize < sizeof(CMINVOKECOMMANDINFO)) return false;
    if (info.cbSize >= sizeof(CMINVOKECOMMANDINFOEX) && (info.fMask & CMIC_MASK_UNICODE)) {
        // Callers fill both fields; one that names another command than the other is not ours.
        const auto& wide = reinterpret_cast<const CMINVOKECOMMANDINFOEX&>(info);
        return wide.lpVerbW == nullptr && info.lpVerb == nullptr;
    }
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

CTandemereShlExt::CTandemereShlExt(IUnknown* outer) : m_pOuter(outer ? outer : &m_oInner) {}

CTandemereShlExt::~CTandemereShlExt() = default;

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
        // The file manager may initialise one object more than once: each call replaces the drop,
        // and a declined one must not leave the earlier drop ready to run.
        m_bDropReady = false;
        m_oCommand.ClearDrop();
        std::string target;
        if (!PathFromIdList(pidlFolder, target)) return E_FAIL;
        std::vector<DroppedPath> paths;
        const HRESULT read = ReadDroppedPaths(pdtobj, paths);
        if (FAILED(read)) return read;
        if (IsDeclinedDrop(paths, target)) return E_FAIL;

        m_oCommand.SetDestFolder(std::move(target));
        for (DroppedPath& path : paths) {
            if (!path.m_bValid) {
                m_oCommand.AddUnnamed(std::move(path.m_strPath));
            } else if (!path.m_strPath.empty()) {
                m_oCommand.AddDropped(std::move(path.m_strPath));
            }
        }
        m_bDropReady = true;
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
        if (!m_bDropReady) return E_UNEXPECTED;
        const CMoveScope scope(pici->hwnd);
        if (!scope.IsClaimed()) {
            m_oUi.ShowError(pici->hwnd,
                            "Tandemere didn't start this move, because another move is still under way. Wait "
                            "until it has ended, then drop the items again.");
            return E_FAIL;
        }
        win32::Win32JournalFile journal;
        std::string journalName;
        StartJournal(journal, m_oCommand, journalName);
        m_oCommand.SetJournal(&journal);
        const engine::MoveOutcome outcome = m_oCommand.Run(pici->hwnd);
        m_oCommand.SetJournal(nullptr);
        // The limits are the move's settings, read as it began.
        win32::PruneJournals(win32::DefaultJournalFolder(), journalName,
                             static_cast<std::uint32_t>(m_oCommand.m_nJournalDays),
                             static_cast<std::uint32_t>(m_oCommand.m_nJournalCount));
        return ResultOfMove(outcome);
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
