// Windows user interface layer: the different-file prompt (template 204), both files side by side
// with their sizes and dates in the user's formats, each openable with its associated program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/user_interface.h"
#include "ui/win32/prompt_dlg_win32.h"

namespace tandemere::win32 {

// Whole numbers in the user's locale: its separators, leading-zero and negative-number rules,
// digits grouped in threes, no decimals. Read from the locale once, when constructed.
class CByteCountFormat {
public:
    CByteCountFormat();
    // "<number> bytes", e.g. "1,234,567 bytes"; plain digits if the locale cannot format it.
    std::wstring Format(std::uint64_t size) const;

private:
    UINT m_nLeadingZero = 0;
    UINT m_nNegativeOrder = 1;
    wchar_t m_szDecimal[4] = {};
    wchar_t m_szThousand[4] = {};
};

// A 64-bit UTC file time as "<short date> (<time>)" in local time and the user's formats.
std::wstring FormatFileTime(std::uint64_t fileTime);

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
