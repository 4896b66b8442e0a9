// Shell layer: the extension object the file manager creates for one right-button drop: it takes
// the drop target and the dragged paths (IShellExtInit), adds "&Tandemere" to the drop menu and
// runs the move when it is chosen (IContextMenu).
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "engine/move_command.h"
#include "platform/win32/file_system_win32.h"
#include "platform/win32/settings_registry_win32.h"
#include "shell/module.h"
#include "ui/win32/user_interface_win32.h"

namespace tandemere::shell {

// {CAE668DE-3232-4011-B916-7293AA34BF43}; defined here, since GCC ignores __declspec(uuid).
extern const CLSID CLSID_TandemereShlExt;

// The menu item's text, and the name that existing items' texts are compared with.
inline constexpr const wchar_t* kMenuText = L"&Tandemere";
inline constexpr const wchar_t* kMenuName = L"Tandemere";

// The COM result of a move: S_OK when it ran to its end, E_FAIL when it was stopped.
HRESULT ResultOfMove(engine::MoveOutcome outcome);
// Only command offset 0 is ours: a null verb in the field that the structure's size and mask make
// authoritative (lpVerbW of a CMINVOKECOMMANDINFOEX with CMIC_MASK_UNICODE, where lpVerb must agree,
// else lpVerb). A string verb, any other offset or a structure too small for its fields is not.
bool IsOurCommand(const CMINVOKECOMMANDINFO& info);

// Where the item goes in a menu: before the first item whose text (one leading ampersand skipped,
// at most 29 characters) compares greater than "Tandemere", else before the last item; -1 (append)
// in an empty menu. Items without text never stop the search.
int MenuInsertPosition(HMENU menu);

class CTandemereShlExt final : public IShellExtInit, public IContextMenu {
public:
    // A new object with one reference on its own IUnknown, aggregated when `outer` is not null.
    // Holds a module lock for its whole life, its members' destruction included. Returns null when memory
    // runs out.
    static IUnknown* Create(IUnknown* outer) noexcept;

    // IUnknown of the interfaces: delegates to the outer object when aggregated.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // E_FAIL when the target has no file-system path, when the first dragged item is a root or
    // already lies in the target; E_INVALIDARG when the data object has no file-drop list. Any
    // earlier drop is forgotten first, whatever the answer.
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

    STDMETHODIMP QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                  UINT uFlags) override;
    // E_INVALIDARG for anything but command offset 0; E_UNEXPECTED without an accepted drop; E_FAIL
    // (after a message box) while another move runs in the process; otherwise the move, owned by
    // pici->hwnd, whose window stays disabled until the move ends.
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
    // Always E_NOTIMPL: the item has neither a help text nor a verb. The buffer is not touched.
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved, CHAR* pszName,
                                  UINT cchMax) override;

private:
    // The object's own IUnknown: the one that counts its references and answers IUnknown itself.
    class CInnerUnknown final : public IUnknown {
    public:
        explicit CInnerUnknown(CTandemereShlExt& owner) : m_rOwner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        CTandemereShlExt& m_rOwner;
    };

    explicit CTandemereShlExt(IUnknown* outer);
    ~CTandemereShlExt();

    // First: released after every other member is gone.
    CModuleLock m_oModuleLock;
    CInnerUnknown m_oInner{*this};
    IUnknown* m_pOuter;  // the outer object, or m_oInner when not aggregated
    // Apartment-threaded: only the creating thread calls, so the count needs no atomics.
    ULONG m_nRefs = 1;

    win32::Win32FileSystem m_oFs;
    win32::RegistrySettingsStore m_oSettings;
    win32::Win32UserInterface m_oUi;
    // The move's state: the drop target, the dragged paths, the log.
    engine::MoveCommand m_oCommand{m_oFs, m_oSettings, m_oUi};
    bool m_bDropReady = false;  // the last Initialize accepted a drop
};

}  // namespace tandemere::shell
