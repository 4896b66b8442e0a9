// Windows user interface layer: the user's number, size and date formats.
#include "ui/win32/locale_format_win32.h"

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

constexpr const wchar_t* kUnits[] = {L"KB", L"MB", L"GB", L"TB", L"PB", L"EB"};

std::wstring LocalDateTime(const SYSTEMTIME& local, const wchar_t* between, const wchar_t* after) {
    wchar_t date[80] = {};
    wchar_t time[32] = {};
    ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &local, nullptr, date, 80);
    ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, time, 32);
    std::wstring text(date);
    text += between;
    text += time;
    text += after;
    return text;
}

}  // namespace

CByteCountFormat::CByteCountFormat()
    : m_nLeadingZero(LocaleDigit(LOCALE_ILZERO, 0)), m_nNegativeOrder(LocaleDigit(LOCALE_INEGNUMBER, 1)) {
    LocaleText(LOCALE_SDECIMAL, m_szDecimal);
    LocaleText(LOCALE_STHOUSAND, m_szThousand);
}

std::wstring CByteCountFormat::Formatted(const std::wstring& digits, UINT decimals) const {
    NUMBERFMTW format = {};
    format.NumDigits = decimals;
    format.LeadingZero = m_nLeadingZero;
    format.Grouping = 3;
    format.lpDecimalSep = const_cast<wchar_t*>(m_szDecimal);
    format.lpThousandSep = const_cast<wchar_t*>(m_szThousand);
    format.NegativeOrder = m_nNegativeOrder;
    // Room for 20 digits with six separators of three characters each.
    wchar_t formatted[64] = {};
    const int length = ::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits.c_str(), &format, formatted, 64);
    return length > 0 ? std::wstring(formatted) : digits;
}

std::wstring CByteCountFormat::Number(std::uint64_t value) const {
    return Formatted(std::to_wstring(value), 0);
}

std::wstring CByteCountFormat::Short(std::uint64_t size) const {
    if (size < 1024) return Number(size) + L" bytes";
    // Tenths of the largest unit that keeps the number below 1024 once rounded.
    std::size_t unit = 0;
    long double scaled = static_cast<long double>(size) / 1024;
    while (unit + 1 < std::size(kUnits) && scaled * 10 + 0.5L >= 1024 * 10) {
        scaled /= 1024;
        ++unit;
    }
    const auto tenths = static_cast<std::uint64_t>(scaled * 10 + 0.5L);
    std::wstring digits = std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10);
    return Formatted(digits, 1) + L" " + kUnits[unit];
}

std::wstring CByteCountFormat::Format(std::uint64_t size) const {
    if (size < 1024) return Short(size);
    return Short(size) + L" (" + Number(size) + L" bytes)";
}

std::wstring FormatFileTime(std::uint64_t fileTime) {
    FILETIME utcFile;
    utcFile.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFFu);
    utcFile.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    SYSTEMTIME utc = {};
    SYSTEMTIME local = {};
    if (!::FileTimeToSystemTime(&utcFile, &utc)) return L" ()";
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    return LocalDateTime(local, L" (", L")");
}

std::wstring FormatNow() {
    SYSTEMTIME local = {};
    ::GetLocalTime(&local);
    return LocalDateTime(local, L" ", L"");
}

}  // namespace tandemere::win32
