// Windows user interface layer: the check boxes, answer buttons, focus and text fitting both
// decision prompts share.
#include "ui/win32/prompt_dlg_win32.h"

#include "res/resource.h"

namespace tandemere::win32 {

namespace {

int ClientWidth(HWND control) {
    RECT rc = {};
    ::GetClientRect(control, &rc);
    return rc.right;
}

}  // namespace

BOOL CPromptDlg::OnInitDialog() {
    m_hwndThisMove = ::GetDlgItem(m_hWnd, IDC_THIS_MOVE);
    m_hwndEveryMove = ::GetDlgItem(m_hWnd, IDC_EVERY_MOVE);
    m_lstFitted.clear();
    FillTexts();
    GrowToFit(m_hWnd, m_lstFitted);
    CModalDialog::OnInitDialog();
    // The template's first tab stop is the destructive answer: the focus goes to Skip instead.
    ::SetFocus(::GetDlgItem(m_hWnd, IDC_ANSWER_THIRD));
    return FALSE;
}

bool CPromptDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_ANSWER_FIRST || id == IDC_ANSWER_SECOND || id == IDC_ANSWER_THIRD) {
        m_bThisMove = ::SendMessageW(m_hwndThisMove, BM_GETCHECK, 0, 0) == BST_CHECKED;
        m_bEveryMove = ::SendMessageW(m_hwndEveryMove, BM_GETCHECK, 0, 0) == BST_CHECKED;
        ::EndDialog(m_hWnd, id);
        return true;
    }
    if ((id == IDC_THIS_MOVE || id == IDC_EVERY_MOVE) && code == BN_CLICKED) {
        // "...for every move" already holds for this move: ticking one clears the other.
        if (::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) {
            const HWND other = id == IDC_THIS_MOVE ? m_hwndEveryMove : m_hwndThisMove;
            ::SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        return true;
    }
    return CModalDialog::OnCommand(id, code, control);
}

void CPromptDlg::SetFittedText(int id, const std::wstring& text) {
    const HWND control = ::GetDlgItem(m_hWnd, id);
    if (!control) return;
    const std::wstring shown = CompactQuotedPaths(control, text, ClientWidth(control) / 2);
    ::SetWindowTextW(control, shown.c_str());
    if (shown != text) m_oToolTips.Set(control, text);
    m_lstFitted.push_back(id);
}

void CPromptDlg::SetPathText(int id, const std::wstring& path) {
    const HWND control = ::GetDlgItem(m_hWnd, id);
    if (!control) return;
    ::SetWindowTextW(control, CompactPath(control, path, ClientWidth(control)).c_str());
    m_oToolTips.Set(control, path);
}

}  // namespace tandemere::win32
