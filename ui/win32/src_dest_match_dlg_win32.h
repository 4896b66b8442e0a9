// Windows user interface layer: the three-way choice prompt (template 203) whose every text comes
// from the decision point that shows it.
#pragma once

#include <string>
#include <string_view>

#include "ui/win32/prompt_dlg_win32.h"

namespace tandemere::win32 {

class CSrcDestMatchDlg : public CPromptDlg {
public:
    // The question, the caption of button 230 and the text beside it, the caption of 231 and its
    // text, and the text beside 232 (which keeps "&Skip"). UTF-8; all copied. An empty caption of
    // 231 hides that answer.
    CSrcDestMatchDlg(std::string_view question, std::string_view caption1, std::string_view text1,
                     std::string_view caption2, std::string_view text2, std::string_view text3);

protected:
    void FillTexts() override;

private:
    std::wstring m_strQuestion;
    std::wstring m_strCaption1;
    std::wstring m_strText1;
    std::wstring m_strCaption2;
    std::wstring m_strText2;
    std::wstring m_strText3;
};

}  // namespace tandemere::win32
