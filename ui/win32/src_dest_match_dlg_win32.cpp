// Windows user interface layer: the choice prompt's texts.
#include "ui/win32/src_dest_match_dlg_win32.h"

#include "res/resource.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {

CSrcDestMatchDlg::CSrcDestMatchDlg(std::string_view question, std::string_view caption1,
                                   std::string_view text1, std::string_view caption2, std::string_view text2,
                                   std::string_view text3)
    : CPromptDlg(IDD_CHOICE_PROMPT),
      m_strQuestion(ui::Widen(question)),
      m_strCaption1(ui::Widen(caption1)),
      m_strText1(ui::Widen(text1)),
      m_strCaption2(ui::Widen(caption2)),
      m_strText2(ui::Widen(text2)),
      m_strText3(ui::Widen(text3)) {}

void CSrcDestMatchDlg::FillTexts() {
    SetFittedText(IDC_QUESTION, m_strQuestion);
    ::SetDlgItemTextW(m_hWnd, IDC_ANSWER_FIRST, m_strCaption1.c_str());
    SetFittedText(IDC_CHOICE_TEXT1, m_strText1);
    ::SetDlgItemTextW(m_hWnd, IDC_ANSWER_SECOND, m_strCaption2.c_str());
    SetFittedText(IDC_CHOICE_TEXT2, m_strText2);
    SetFittedText(IDC_CHOICE_TEXT3, m_strText3);
    // A decision of two answers (delete or leave) has no second one: its button and text are hidden,
    // so neither a click nor its mnemonic can give it.
    if (m_strCaption2.empty()) {
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_ANSWER_SECOND), SW_HIDE);
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_ANSWER_SECOND), FALSE);
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_CHOICE_TEXT2), SW_HIDE);
    }
}

}  // namespace tandemere::win32
