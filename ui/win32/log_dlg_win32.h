// Windows user interface layer: the resizable log window (template 103) showing the whole log.
#pragma once

#include <string>
#include <string_view>

#include "ui/win32/dialog_base_win32.h"

namespace tandemere::win32 {

class CLogDlg : public CModalDialog {
public:
    // The log text in UTF-8, lines ending in "\r\n"; copied.
    explicit CLogDlg(std::string_view text);

    // ShowModal returns 1 for OK, 2 for Escape or the close box, 0 / -1 when it could not be shown.

protected:
    BOOL OnInitDialog() override;
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Lays the two controls out for a client area of `width` by `height` pixels.
    void Layout(int width, int height);

    std::wstring m_strText;
};

}  // namespace tandemere::win32
