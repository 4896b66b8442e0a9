// Windows user interface layer: what both decision prompts share, the two "Always do this..." check
// boxes read when an answer button closes the prompt, the focus on Skip, and texts that fit.
#pragma once

#include <string>
#include <vector>

#include "ui/win32/dialog_base_win32.h"
#include "ui/win32/text_fit_win32.h"

namespace tandemere::win32 {

class CPromptDlg : public CModalDialog {
public:
    // ShowModal returns 230, 231, 232 (the answer buttons), 2 (Cancel, Escape, close box), or 0 / -1
    // when the prompt could not be shown. Both flags are set only by an answer button; the boxes
    // exclude each other, so at most one is set.
    bool m_bThisMove = false;   // check box 206 "...for this move" was ticked
    bool m_bEveryMove = false;  // check box 207 "...for every move" was ticked

protected:
    explicit CPromptDlg(int templateId) : CModalDialog(templateId) {}

    // Records the check boxes, lets the prompt fill its texts, grows the statics that need more
    // lines, centres the prompt and puts the focus on Skip, so Space and Enter never destroy.
    BOOL OnInitDialog() final;
    // The prompt's own texts, set before the window is shown.
    virtual void FillTexts() = 0;
    // Ends the prompt on an answer button with the boxes read; Cancel and ids 1 to 7 as the base.
    bool OnCommand(WORD id, WORD code, HWND control) override;

    // Sets a static that holds an engine text: quoted paths wider than half the static are
    // shortened in the middle, and the whole text goes to a tooltip when it was shortened.
    void SetFittedText(int id, const std::wstring& text);
    // Sets a static to one path shortened to its width, the whole path in its tooltip.
    void SetPathText(int id, const std::wstring& path);

private:
    HWND m_hwndThisMove = nullptr;
    HWND m_hwndEveryMove = nullptr;
    std::vector<int> m_lstFitted;
    CToolTips m_oToolTips;
};

}  // namespace tandemere::win32
