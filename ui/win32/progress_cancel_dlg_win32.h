// Windows user interface layer: the modeless progress window (template 108) with its bar and a
// Cancel button that only raises a flag.
#pragma once

#include <cstdint>

#include "ui/win32/dialog_base_win32.h"

namespace tandemere::win32 {

class CProgressCancelDlg : public CModelessDialog {
public:
    CProgressCancelDlg() : CModelessDialog(kTemplateId) {}

    // Creates and shows the window (the template is visible), owned by `owner`; null on failure.
    HWND Create(HWND owner);

    // The bar's range 0..total. The bar's message carries 16-bit bounds: only the low 16 bits of
    // the total are kept. Does nothing without a window.
    void SetProgressRange(std::uint32_t total);
    // The bar clamps the position to its range. Does nothing without a window.
    void SetProgressPos(std::int32_t position);
    // Dispatches every pending message of this thread, then says whether Cancel was pressed.
    // A WM_QUIT found on the way is posted again and ends the loop, so the thread's owner sees it.
    bool PumpAndCheckCancel();

    HWND m_hwndBar = nullptr;
    bool m_bCancelled = false;  // set by Cancel or the close box, never cleared

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr int kTemplateId = 108;
};

}  // namespace tandemere::win32
