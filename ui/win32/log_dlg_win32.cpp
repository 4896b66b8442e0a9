// Windows user interface layer: the log window's text and its layout rule on resizing.
#include "ui/win32/log_dlg_win32.h"

#include <algorithm>

#include "res/resource.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {

CLogDlg::CLogDlg(std::string_view text) : CModalDialog(IDD_LOG), m_strText(ui::Widen(text)) {}

BOOL CLogDlg::OnInitDialog() {
    ::SetDlgItemTextW(m_hWnd, IDC_LOG_TEXT, m_strText.c_str());
    return CModalDialog::OnInitDialog();
}

INT_PTR CLogDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // A minimised window reports 0 by 0; its layout is made again when it is restored.
    if (message == WM_SIZE && wParam != SIZE_MINIMIZED) {
        Layout(LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    }
    return CModalDialog::DialogProc(message, wParam, lParam);
}

void CLogDlg::Layout(int width, int height) {
    // Pixels, not dialog units: at base units of 6 by 13 this is exactly the template's layout.
    if (const HWND ok = ::GetDlgItem(m_hWnd, IDOK)) {
        ::SetWindowPos(ok, nullptr, width / 2 - 37, height - 37, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (const HWND edit = ::GetDlgItem(m_hWnd, IDC_LOG_TEXT)) {
        ::SetWindowPos(edit, nullptr, 0, 0, std::max(width - 12, 0), std::max(height - 55, 0),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace tandemere::win32
