// Windows user interface layer: the check boxes and answer buttons both decision prompts share.
#include "ui/win32/prompt_dlg_win32.h"

#include "res/resource.h"

namespace tandemere::win32 {

BOOL CPromptDlg::OnInitDialog() {
    m_hwndThisMove = ::GetDlgItem(m_hWnd, IDC_THIS_MOVE);
    m_hwndEveryMove = ::GetDlgItem(m_hWnd, IDC_EVERY_MOVE);
    FillTexts();
    return CModalDialog::OnInitDialog();
}

bool CPromptDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_ANSWER_FIRST || id == IDC_ANSWER_SECOND || id == IDC_ANSWER_THIRD) {
        m_bThisMove = ::SendMessageW(m_hwndThisMove, BM_GETCHECK, 0, 0) == BST_CHECKED;
        m_bEveryMove = ::SendMessageW(m_hwndEveryMove, BM_GETCHECK, 0, 0) == BST_CHECKED;
        ::EndDialog(m_hWnd, id);
        return true;
    }
    return CModalDialog::OnCommand(id, code, control);
}

}  // namespace tandemere::win32
