// Windows user interface layer: the three-way choice prompt (template 203) whose every text comes
// from the decision point that shows it, with both items' whole paths shortened to fit.
#pragma once

#include "engine/user_interface.h"
#include "ui/win32/prompt_dlg_win32.h"

namespace tandemere::win32 {

class CSrcDestMatchDlg : public CPromptDlg {
public:
    // The prompt is copied. Its texts go beside buttons 230, 231 and 232 (which keeps "&Skip"); an
    // empty second caption hides that answer and closes its row.
    explicit CSrcDestMatchDlg(engine::ChoicePrompt prompt);

protected:
    void FillTexts() override;

private:
    engine::ChoicePrompt m_oPrompt;
};

}  // namespace tandemere::win32
