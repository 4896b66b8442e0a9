// Windows user interface layer: the different-file prompt's texts, formats, Open buttons and answers.
#include "ui/win32/src_dest_clash_dlg_win32.h"

#include <shellapi.h>

#include "engine/text_format.h"
#include "res/resource.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {

namespace {

// The first character of a numeric locale setting, as a digit.
UINT LocaleDigit(LCTYPE type, UINT fallback) {
    wchar_t value[4] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, value, 4) <= 0) return fallback;
    return value[0] >= L'0' && value[0] <= L'9' ? static_cast<UINT>(value[0] - L'0') : fallback;
}

void LocaleText(LCTYPE type, wchar_t (&buffer)[4]) {
    // A separator longer than the buffer leaves it empty rather than cut.
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 4) <= 0) buffer[0] = L'\0';
}

}  // namespace

CByteCountFormat::CByteCountFormat()
    : m_nLeadingZero(LocaleDigit(LOCALE_ILZERO, 0)), m_nNegativeOrder(LocaleDigit(LOCALE_INEGNUMBER, 1)) {
    LocaleText(LOCALE_SDECIMAL, m_szDecimal);
    LocaleText(LOCALE_STHOUSAND, m_szThousand);
}

std::wstring CByteCountFormat::Format(std::uint64_t size) const {
    const std::wstring digits = std::to_wstring(size);
    NUMBERFMTW format = {};
    format.NumDigits = 0;
    format.LeadingZero = m_nLeadingZero;
    format.Grouping = 3;
    format.lpDecimalSep = const_cast<wchar_t*>(m_szDecimal);
    format.lpThousandSep = const_cast<wchar_t*>(m_szThousand);
    format.NegativeOrder = m_nNegativeOrder;
    // Room for 20 digits with six separators of three characters each.
    wchar_t formatted[64] = {};
    const int length = ::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits.c_str(), &format, formatted, 64);
    std::wstring text = length > 0 ? std::wstring(formatted) : digits;
    text += L" bytes";
    return text;
}

std::wstring FormatFileTime(std::uint64_t fileTime) {
    FILETIME utcFile;
    utcFile.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFFu);
    utcFile.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    SYSTEMTIME utc = {};
    SYSTEMTIME local = {};
    wchar_t date[32] = {};
    wchar_t time[32] = {};
    if (::FileTimeToSystemTime(&utcFile, &utc)) {
        if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
        ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 32);
        ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, time, 32);
    }
    std::wstring text(date);
    text += L" (";
    text += time;
    text += L")";
    return text;
}

CSrcDestClashDlg::CSrcDestClashDlg(const engine::ClashPrompt& prompt)
    : CPromptDlg(IDD_CLASH_PROMPT), m_rPrompt(prompt) {}

void CSrcDestClashDlg::FillTexts() {
    ::SetDlgItemTextW(m_hWnd, IDC_QUESTION, ui::Widen(m_rPrompt.m_strQuestion).c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_SRC_PATH, ui::Widen(m_rPrompt.m_strSrcShown).c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_DEST_PATH, ui::Widen(m_rPrompt.m_strDestShown).c_str());

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

    ::SetDlgItemTextW(m_hWnd, IDC_CLASH_TEXT1, ui::Widen(m_rPrompt.m_strText1).c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_CLASH_TEXT2, ui::Widen(m_rPrompt.m_strText2).c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_CLASH_TEXT3, ui::Widen(m_rPrompt.m_strText3).c_str());
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
