// Windows user interface layer: the choice prompt's texts.
#include "ui/win32/src_dest_match_dlg_win32.h"

#include <utility>

#include "res/resource.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {

CSrcDestMatchDlg::CSrcDestMatchDlg(engine::ChoicePrompt prompt)
    : CPromptDlg(IDD_CHOICE_PROMPT), m_oPrompt(std::move(prompt)) {}

void CSrcDestMatchDlg::FillTexts() {
    SetFittedText(IDC_QUESTION, ui::Widen(m_oPrompt.m_strQuestion));
    // With short paths in the texts the folders are told only here: two files of one size and
    // time differ by folder.
    SetPathText(IDC_SRC_PATH, ui::Widen(m_oPrompt.m_strSrcPath));
    SetPathText(IDC_DEST_PATH, ui::Widen(m_oPrompt.m_strDestPath));
    ::SetDlgItemTextW(m_hWnd, IDC_ANSWER_FIRST, ui::Widen(m_oPrompt.m_strCaption1).c_str());
    SetFittedText(IDC_CHOICE_TEXT1, ui::Widen(m_oPrompt.m_strText1));
    ::SetDlgItemTextW(m_hWnd, IDC_ANSWER_SECOND, ui::Widen(m_oPrompt.m_strCaption2).c_str());
    SetFittedText(IDC_CHOICE_TEXT2, ui::Widen(m_oPrompt.m_strText2));
    SetFittedText(IDC_CHOICE_TEXT3, ui::Widen(m_oPrompt.m_strText3));
    // A decision of two answers (delete or leave) has no second one: its button and text are hidden,
    // so neither a click nor its mnemonic can give it, and the rows below close up.
    if (m_oPrompt.m_strCaption2.empty()) {
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_ANSWER_SECOND), SW_HIDE);
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_ANSWER_SECOND), FALSE);
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_CHOICE_TEXT2), SW_HIDE);
        RemoveRow(m_hWnd, IDC_ANSWER_SECOND, IDC_ANSWER_THIRD);
    }
}

}  // namespace tandemere::win32
