// Windows user interface layer: the three-way choice prompt (template 203) whose every text comes
// from the decision point that shows it.
#pragma once

#include <string>
#include <string_view>

#include "ui/win32/dialog_base_win32.h"

namespace tandemere::win32 {

class CSrcDestMatchDlg : public CModalDialog {
public:
    // The question, the caption of button 230 and the text beside it, the caption of 231 and its
    // text, and the text beside 232 (which keeps "&Skip"). UTF-8; all copied.
    CSrcDestMatchDlg(std::string_view question, std::string_view caption1, std::string_view text1,
                     std::string_view caption2, std::string_view text2, std::string_view text3);

    // ShowModal returns 230, 231, 232, 2 (Cancel, Escape, close box), or 0 / -1 when the prompt
    // could not be shown. The two flags are valid after an answer button's code.
    bool m_bThisMove = false;
    bool m_bEveryMove = false;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    std::wstring m_strQuestion;
    std::wstring m_strCaption1;
    std::wstring m_strText1;
    std::wstring m_strCaption2;
    std::wstring m_strText2;
    std::wstring m_strText3;
    HWND m_hwndThisMove = nullptr;
    HWND m_hwndEveryMove = nullptr;
};

}  // namespace tandemere::win32
