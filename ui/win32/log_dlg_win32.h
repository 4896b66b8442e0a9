// Windows user interface layer: the resizable log window (template 103): a header, the whole log
// wrapped to the window, a summary, and Copy all, Save and OK. It opens scrolled to the end, where
// a stopped move says why.
#pragma once

#include <string>
#include <string_view>

#include "ui/win32/dialog_base_win32.h"

namespace tandemere::win32 {

class CLogDlg : public CModalDialog {
public:
    // The log text in UTF-8, lines ending in "\r\n"; the header (when and between which folders)
    // and the summary are shown above and below it, and saved and copied with it. All copied.
    explicit CLogDlg(std::string_view text, std::string_view header = {}, std::string_view summary = {});

    // ShowModal returns 1 for OK, 2 for Escape or the close box, 0 / -1 when it could not be shown.

    // Header, log and summary as one text, as Copy all and Save give it.
    std::wstring WholeText() const;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Lays the controls out for a client area of `width` by `height` pixels.
    void Layout(int width, int height);
    void CopyAll();
    void Save();

    std::wstring m_strText;
    std::wstring m_strHeader;
    std::wstring m_strSummary;
};

// Writes `text` to `path` as UTF-8 with a byte-order mark, replacing the file. Returns the
// system's error code, ERROR_SUCCESS when the whole text was written.
DWORD WriteTextFile(const std::wstring& path, const std::wstring& text);

}  // namespace tandemere::win32
