// Windows user interface layer: the different-file prompt's texts, formats, Open buttons and answers.
#include "ui/win32/src_dest_clash_dlg_win32.h"

#include <shellapi.h>

#include "engine/text_format.h"
#include "res/resource.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {

CSrcDestClashDlg::CSrcDestClashDlg(const engine::ClashPrompt& prompt)
    : CPromptDlg(IDD_CLASH_PROMPT), m_rPrompt(prompt) {}

void CSrcDestClashDlg::FillTexts() {
    SetFittedText(IDC_QUESTION, ui::Widen(m_rPrompt.m_strQuestion));
    // The full paths, whatever the texts show: two files of one size and time differ by folder.
    SetPathText(IDC_SRC_PATH, ui::Widen(m_rPrompt.m_strSrcPath));
    SetPathText(IDC_DEST_PATH, ui::Widen(m_rPrompt.m_strDestPath));

    const std::uint64_t srcSize = m_rPrompt.m_oSrcEntry.m_nSize;
    const std::uint64_t destSize = m_rPrompt.m_oDestEntry.m_nSize;
    const CByteCountFormat sizeFormat;
    std::wstring srcSizeText = sizeFormat.Format(srcSize);
    std::wstring destSizeText = sizeFormat.Format(destSize);
    if (srcSize > destSize) srcSizeText += L" (larger)";
    if (destSize > srcSize) destSizeText += L" (larger)";
    ::SetDlgItemTextW(m_hWnd, IDC_SRC_SIZE, srcSizeText.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_DEST_SIZE, destSizeText.c_str());

    const std::uint64_t srcTime = m_rPrompt.m_oSrcEntry.m_nLastWriteTime;
    const std::uint64_t destTime = m_rPrompt.m_oDestEntry.m_nLastWriteTime;
    std::wstring srcTimeText = FormatFileTime(srcTime);
    std::wstring destTimeText = FormatFileTime(destTime);
    if (srcTime > destTime) srcTimeText += L" (newer)";
    if (destTime > srcTime) destTimeText += L" (newer)";
    ::SetDlgItemTextW(m_hWnd, IDC_SRC_TIME, srcTimeText.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_DEST_TIME, destTimeText.c_str());

    SetFittedText(IDC_CLASH_TEXT1, ui::Widen(m_rPrompt.m_strText1));
    SetFittedText(IDC_CLASH_TEXT2, ui::Widen(m_rPrompt.m_strText2));
    SetFittedText(IDC_CLASH_TEXT3, ui::Widen(m_rPrompt.m_strText3));
}

void CSrcDestClashDlg::OpenWithShell(const std::string& path) {
    const std::wstring widePath = ui::Widen(path);
    const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", widePath.c_str(), nullptr, L"", SW_SHOW);
    if (reinterpret_cast<INT_PTR>(result) > 32) return;
    const std::wstring text = ui::Widen(engine::FormatText("Couldn't open file \"%s\"", {path}));
    ::MessageBoxW(m_hWnd, text.c_str(), L"Tandemere", MB_OK | MB_ICONEXCLAMATION);
}

bool CSrcDestClashDlg::OnCommand(WORD id, WORD code, HWND control) {
    switch (id) {
        case IDC_OPEN_SRC:
            OpenWithShell(m_rPrompt.m_strSrcPath);
            return true;
        case IDC_OPEN_DEST:
            OpenWithShell(m_rPrompt.m_strDestPath);
            return true;
        default:
            return CPromptDlg::OnCommand(id, code, control);
    }
}

}  // namespace tandemere::win32
