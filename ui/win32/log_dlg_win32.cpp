// Windows user interface layer: the log window's texts, its layout on resizing, Ctrl+A, Copy all
// and Save.
#include "ui/win32/log_dlg_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <memory>

#include "engine/text_format.h"
#include "res/resource.h"
#include "ui/win32/text_fit_win32.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {

namespace {

// The multi-line edit control selects nothing on Ctrl+A by itself: the character it makes does.
LRESULT CALLBACK SelectAllProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CHAR && wParam == 1) {
        ::SendMessageW(hwnd, EM_SETSEL, 0, -1);
        return 0;
    }
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, &SelectAllProc, 0);
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

std::wstring SystemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owned(buffer, &::LocalFree);
    std::wstring text =
        length > 0 && buffer ? std::wstring(buffer, length) : L"error " + std::to_wstring(error);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

// Global memory that goes to the clipboard, freed unless the clipboard took it.
struct GlobalFreeDeleter {
    void operator()(void* memory) const { ::GlobalFree(memory); }
};

}  // namespace

DWORD WriteTextFile(const std::wstring& path, const std::wstring& text) {
    const std::string bytes = "\xEF\xBB\xBF" + ui::Narrow(text);
    const HANDLE raw =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) return ::GetLastError();
    const std::unique_ptr<void, decltype(&::CloseHandle)> file(raw, &::CloseHandle);
    DWORD written = 0;
    if (!::WriteFile(raw, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return ::GetLastError();
    return written == bytes.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

CLogDlg::CLogDlg(std::string_view text, std::string_view header, std::string_view summary)
    : CModalDialog(IDD_LOG),
      m_strText(ui::Widen(text)),
      m_strHeader(ui::Widen(header)),
      m_strSummary(ui::Widen(summary)) {}

std::wstring CLogDlg::WholeText() const {
    std::wstring whole;
    if (!m_strHeader.empty()) whole += m_strHeader + L"\r\n\r\n";
    whole += m_strText;
    if (!whole.empty() && whole.back() != L'\n') whole += L"\r\n";
    if (!m_strSummary.empty()) whole += L"\r\n" + m_strSummary + L"\r\n";
    return whole;
}

BOOL CLogDlg::OnInitDialog() {
    // Long folders are shortened in the header; Copy all and Save give them whole.
    if (const HWND header = ::GetDlgItem(m_hWnd, IDC_LOG_HEADER)) {
        RECT rc = {};
        ::GetClientRect(header, &rc);
        ::SetWindowTextW(header, CompactQuotedPaths(header, m_strHeader, rc.right / 2).c_str());
    }
    ::SetDlgItemTextW(m_hWnd, IDC_LOG_SUMMARY, m_strSummary.c_str());
    const HWND edit = ::GetDlgItem(m_hWnd, IDC_LOG_TEXT);
    ::SetWindowTextW(edit, m_strText.c_str());
    ::SetWindowSubclass(edit, &SelectAllProc, 0, 0);
    CModalDialog::OnInitDialog();
    // The end is what matters after a stop: the reason is the last line.
    ::SetFocus(edit);
    ::SendMessageW(edit, EM_SETSEL, m_strText.size(), m_strText.size());
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    return FALSE;
}

INT_PTR CLogDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // A minimised window reports 0 by 0; its layout is made again when it is restored.
    if (message == WM_SIZE && wParam != SIZE_MINIMIZED) {
        Layout(LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    }
    if (message == WM_GETMINMAXINFO) {
        // Room for the three buttons and a few lines of the log.
        RECT least = {0, 0, 220, 120};
        ::MapDialogRect(m_hWnd, &least);
        ::AdjustWindowRectEx(&least, static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {least.right - least.left, least.bottom - least.top};
        return TRUE;
    }
    return CModalDialog::DialogProc(message, wParam, lParam);
}

bool CLogDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_LOG_COPY) {
        CopyAll();
        return true;
    }
    if (id == IDC_LOG_SAVE) {
        Save();
        return true;
    }
    return CModalDialog::OnCommand(id, code, control);
}

void CLogDlg::Layout(int width, int height) {
    if (!m_hWnd) return;
    // In dialog units, so the layout scales with the font and the DPI as the template does; the
    // template's own layout is this rule at its size.
    RECT base = {0, 0, 4, 8};
    ::MapDialogRect(m_hWnd, &base);
    const auto x = [&](int units) { return ::MulDiv(units, base.right, 4); };
    const auto y = [&](int units) { return ::MulDiv(units, base.bottom, 8); };
    const int inner = width - 2 * x(8);
    const int buttonTop = height - y(23);
    const int summaryTop = buttonTop - y(26);
    const auto place = [&](int id, int left, int top, int w, int h) {
        if (const HWND control = ::GetDlgItem(m_hWnd, id))
            ::SetWindowPos(control, nullptr, left, top, std::max(w, 0), std::max(h, 0),
                           SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(IDC_LOG_HEADER, x(8), y(7), inner, y(18));
    place(IDC_LOG_TEXT, x(8), y(27), inner, summaryTop - y(4) - y(27));
    place(IDC_LOG_SUMMARY, x(8), summaryTop, inner, y(20));
    place(IDC_LOG_COPY, x(8), buttonTop, x(60), y(16));
    place(IDC_LOG_SAVE, x(74), buttonTop, x(60), y(16));
    place(IDOK, width - x(68), buttonTop, x(60), y(16));
}

void CLogDlg::CopyAll() {
    const std::wstring whole = WholeText();
    const std::size_t bytes = (whole.size() + 1) * sizeof(wchar_t);
    std::unique_ptr<void, GlobalFreeDeleter> memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return;
    if (void* locked = ::GlobalLock(memory.get())) {
        std::copy_n(whole.c_str(), whole.size() + 1, static_cast<wchar_t*>(locked));
        ::GlobalUnlock(memory.get());
    }
    if (!::OpenClipboard(m_hWnd)) return;
    ::EmptyClipboard();
    // The clipboard owns the memory once it took it.
    if (::SetClipboardData(CF_UNICODETEXT, memory.get())) memory.release();
    ::CloseClipboard();
}

void CLogDlg::Save() {
    std::wstring path(32768, L'\0');
    const std::wstring name = L"Tandemere log.txt";
    std::copy(name.begin(), name.end(), path.begin());
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrDefExt = L"txt";
    dialog.Flags =
        OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!::GetSaveFileNameW(&dialog)) return;
    path.resize(path.find(L'\0'));
    const DWORD error = WriteTextFile(path, WholeText());
    if (error == ERROR_SUCCESS) return;
    const std::string text = engine::FormatText("Couldn't save the log to \"%s\": %s",
                                                {ui::Narrow(path), ui::Narrow(SystemMessage(error))});
    ::MessageBoxW(m_hWnd, ui::Widen(text).c_str(), L"Tandemere", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace tandemere::win32
