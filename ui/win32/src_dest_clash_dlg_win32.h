// Windows user interface layer: the different-file prompt (template 204), both files side by side
// with their folders, sizes and dates in the user's formats, each openable with its associated program.
#pragma once

#include <windows.h>

#include <string>

#include "engine/user_interface.h"
#include "ui/win32/locale_format_win32.h"
#include "ui/win32/prompt_dlg_win32.h"

namespace tandemere::win32 {

// Its answers: 230 overwrite the destination file, 231 move in under the free name, 232 skip.
class CSrcDestClashDlg : public CPromptDlg {
public:
    // Holds the prompt by reference: it must outlive the dialog.
    explicit CSrcDestClashDlg(const engine::ClashPrompt& prompt);

protected:
    void FillTexts() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    // Opens a file with the shell's "open" verb; an error box owned by the prompt when that fails.
    void OpenWithShell(const std::string& path);

    const engine::ClashPrompt& m_rPrompt;
};

}  // namespace tandemere::win32
