// Windows user interface layer: the progress window's texts, bar, Cancel flag, delayed showing and
// the message pump.
#include "ui/win32/progress_cancel_dlg_win32.h"

#include <commctrl.h>

#include "res/resource.h"
#include "ui/win32/locale_format_win32.h"
#include "ui/win32/text_fit_win32.h"

static_assert(IDD_PROGRESS == 108);

namespace tandemere::win32 {

HWND CProgressCancelDlg::Create(HWND owner, const std::wstring& destFolder) {
    static const bool s_bRegistered = [] {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)s_bRegistered;
    if (m_hWnd) return m_hWnd;
    m_nCreatedTick = ::GetTickCount64();
    m_nTotal = 0;
    m_nPosition = 0;
    const HWND hwnd = CModelessDialog::Create(owner);
    if (!hwnd) return nullptr;
    if (!destFolder.empty()) {
        const std::wstring title = L"Moving into " + destFolder + L" - Tandemere";
        ::SetWindowTextW(hwnd, title.c_str());
    }
    ShowWhenDue();
    return hwnd;
}

BOOL CProgressCancelDlg::OnInitDialog() {
    m_hwndBar = ::GetDlgItem(m_hWnd, IDC_PROGRESS_BAR);
    if (m_hwndBar) ::SendMessageW(m_hwndBar, PBM_SETPOS, 0, 0);
    CenterOverOwner(m_hWnd);
    return TRUE;
}

INT_PTR CProgressCancelDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) m_hwndBar = nullptr;
    return CModelessDialog::DialogProc(message, wParam, lParam);
}

bool CProgressCancelDlg::OnCommand(WORD id, WORD code, HWND control) {
    (void)control;
    if (code != 0) return false;
    if (id == IDOK) return true;  // no OK button: a stray OK command closes and cancels nothing
    if (id == IDCANCEL) {
        // Cancel is the default button, so Enter arrives here as well as Escape and the close box;
        // the window stays until the move destroys it.
        m_bCancelled = true;
        return true;
    }
    return false;
}

void CProgressCancelDlg::ShowWhenDue() {
    if (!m_hWnd || ::IsWindowVisible(m_hWnd)) return;
    if (::GetTickCount64() - m_nCreatedTick >= m_nShowDelayMs) ::ShowWindow(m_hWnd, SW_SHOW);
}

void CProgressCancelDlg::SetProgressRange(std::uint32_t total) {
    m_nTotal = total;
    if (!m_hwndBar) return;
    ::SendMessageW(m_hwndBar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(total & 0xFFFFu)));
}

void CProgressCancelDlg::SetProgressPos(std::int32_t position) {
    m_nPosition = position;
    if (!m_hwndBar) return;
    ::SendMessageW(m_hwndBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    ShowWhenDue();
}

void CProgressCancelDlg::ShowCount() {
    // The item under way is the one after those done, never beyond the last.
    std::uint64_t current = static_cast<std::uint64_t>(m_nPosition < 0 ? 0 : m_nPosition) + 1;
    if (m_nTotal != 0 && current > m_nTotal) current = m_nTotal;
    const CByteCountFormat number;
    const std::wstring text = L"Item " + number.Number(current) + L" of " + number.Number(m_nTotal);
    ::SetDlgItemTextW(m_hWnd, IDC_PROGRESS_COUNT, text.c_str());
}

void CProgressCancelDlg::SetProgressItem(const std::wstring& path) {
    if (!m_hWnd) return;
    const HWND item = ::GetDlgItem(m_hWnd, IDC_PROGRESS_ITEM);
    RECT rc = {};
    ::GetClientRect(item, &rc);
    ::SetWindowTextW(item, CompactPath(item, path, rc.right).c_str());
    ShowCount();
}

void CProgressCancelDlg::SetProgressBytes(std::uint64_t done, std::uint64_t total) {
    if (!m_hWnd) return;
    const CByteCountFormat size;
    const std::wstring text = total == 0 ? std::wstring() : size.Short(done) + L" of " + size.Short(total);
    ::SetDlgItemTextW(m_hWnd, IDC_PROGRESS_BYTES, text.c_str());
}

bool CProgressCancelDlg::PumpAndCheckCancel() {
    ShowWhenDue();
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (m_hWnd && ::IsDialogMessageW(m_hWnd, &message)) continue;
        ::DispatchMessageW(&message);
    }
    return m_bCancelled;
}

}  // namespace tandemere::win32
