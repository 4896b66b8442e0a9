// Windows user interface layer: the modeless progress window (template 108): what moves where, the
// item under way with "n of N", a bar, the bytes of a long copy, and a Cancel button that only
// raises a flag. It shows itself only once the move has lasted a moment.
#pragma once

#include <cstdint>
#include <string>

#include "ui/win32/dialog_base_win32.h"

namespace tandemere::win32 {

// How long a move runs before its progress window shows: a short move never flashes one.
inline constexpr std::uint32_t kProgressShowDelayMs = 500;

class CProgressCancelDlg : public CModelessDialog {
public:
    CProgressCancelDlg() : CModelessDialog(kTemplateId) {}

    // Creates the window hidden, centred over `owner`, its title naming the destination folder;
    // it shows at the first pump or position once m_nShowDelayMs have passed (at once for 0).
    // Null on failure.
    HWND Create(HWND owner, const std::wstring& destFolder = std::wstring());

    // The bar's range 0..total. The bar's message carries 16-bit bounds: only the low 16 bits of
    // the total are kept. Does nothing without a window.
    void SetProgressRange(std::uint32_t total);
    // The bar clamps the position to its range. Does nothing without a window.
    void SetProgressPos(std::int32_t position);
    // The item under way (a full path, shortened in the middle to fit) and "Item n of N".
    void SetProgressItem(const std::wstring& path);
    // The bytes of the copy or comparison under way; total 0 clears the line.
    void SetProgressBytes(std::uint64_t done, std::uint64_t total);
    // Dispatches every pending message of this thread, the window's keys through its dialog
    // handling (Escape and Enter press Cancel), then says whether Cancel was pressed.
    // A WM_QUIT found on the way is posted again and ends the loop, so the thread's owner sees it.
    bool PumpAndCheckCancel();

    HWND m_hwndBar = nullptr;
    bool m_bCancelled = false;  // set by Cancel, Escape, Enter or the close box, never cleared
    std::uint32_t m_nShowDelayMs = kProgressShowDelayMs;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr int kTemplateId = 108;

    // Shows the window once the delay has passed since it was created.
    void ShowWhenDue();
    void ShowCount();

    std::uint64_t m_nCreatedTick = 0;
    std::uint32_t m_nTotal = 0;
    std::int32_t m_nPosition = 0;
};

}  // namespace tandemere::win32
