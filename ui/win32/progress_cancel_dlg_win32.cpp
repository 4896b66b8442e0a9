// Windows user interface layer: the progress window's bar, its Cancel flag and the message pump.
#include "ui/win32/progress_cancel_dlg_win32.h"

#include <commctrl.h>

#include "res/resource.h"

static_assert(IDD_PROGRESS == 108);

namespace tandemere::win32 {

HWND CProgressCancelDlg::Create(HWND owner) {
    static const bool s_bRegistered = [] {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)s_bRegistered;
    return CModelessDialog::Create(owner);
}

BOOL CProgressCancelDlg::OnInitDialog() {
    m_hwndBar = ::GetDlgItem(m_hWnd, IDC_PROGRESS_BAR);
    if (m_hwndBar) ::SendMessageW(m_hwndBar, PBM_SETPOS, 0, 0);
    return TRUE;
}

INT_PTR CProgressCancelDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) m_hwndBar = nullptr;
    return CModelessDialog::DialogProc(message, wParam, lParam);
}

bool CProgressCancelDlg::OnCommand(WORD id, WORD code, HWND control) {
    (void)control;
    if (code != 0) return false;
    if (id == IDOK) return true;  // Enter must not close or cancel anything
    if (id == IDCANCEL) {
        // The close box arrives here too; the window stays until the move destroys it.
        m_bCancelled = true;
        return true;
    }
    return false;
}

void CProgressCancelDlg::SetProgressRange(std::uint32_t total) {
    if (!m_hwndBar) return;
    ::SendMessageW(m_hwndBar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(total & 0xFFFFu)));
}

void CProgressCancelDlg::SetProgressPos(std::int32_t position) {
    if (!m_hwndBar) return;
    ::SendMessageW(m_hwndBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

bool CProgressCancelDlg::PumpAndCheckCancel() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        ::DispatchMessageW(&message);
    }
    return m_bCancelled;
}

}  // namespace tandemere::win32
