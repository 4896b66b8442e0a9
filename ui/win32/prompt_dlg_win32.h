// Windows user interface layer: what both decision prompts share, the two "Always do this..." check
// boxes read when an answer button closes the prompt.
#pragma once

#include "ui/win32/dialog_base_win32.h"

namespace tandemere::win32 {

class CPromptDlg : public CModalDialog {
public:
    // ShowModal returns 230, 231, 232 (the answer buttons), 2 (Cancel, Escape, close box), or 0 / -1
    // when the prompt could not be shown. Both flags are set only by an answer button.
    bool m_bThisMove = false;   // check box 206 "...for this move" was ticked
    bool m_bEveryMove = false;  // check box 207 "...for every move" was ticked

protected:
    explicit CPromptDlg(int templateId) : CModalDialog(templateId) {}

    // Records the check boxes, lets the prompt fill its texts, then centres it.
    BOOL OnInitDialog() final;
    // The prompt's own texts, set before the window is shown.
    virtual void FillTexts() = 0;
    // Ends the prompt on an answer button with the boxes read; Cancel and ids 1 to 7 as the base.
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    HWND m_hwndThisMove = nullptr;
    HWND m_hwndEveryMove = nullptr;
};

}  // namespace tandemere::win32
