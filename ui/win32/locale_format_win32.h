// Windows user interface layer: numbers, byte counts and file times in the user's own formats.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tandemere::win32 {

// Whole numbers in the user's locale: its separators, leading-zero and negative-number rules,
// digits grouped in threes. Read from the locale once, when constructed.
class CByteCountFormat {
public:
    CByteCountFormat();
    // The digits grouped, e.g. "1,234,567"; plain digits if the locale cannot format it.
    std::wstring Number(std::uint64_t value) const;
    // Below 1 KB "<number> bytes"; above, the size in its largest binary unit to a tenth first:
    // "1.4 GB (1,500,000,000 bytes)".
    std::wstring Format(std::uint64_t size) const;
    // The rounded size alone: "999 bytes", "1.4 GB".
    std::wstring Short(std::uint64_t size) const;

private:
    std::wstring Formatted(const std::wstring& digits, UINT decimals) const;

    UINT m_nLeadingZero = 0;
    UINT m_nNegativeOrder = 1;
    wchar_t m_szDecimal[4] = {};
    wchar_t m_szThousand[4] = {};
};

// A 64-bit UTC file time as "<long date> (<time>)" in local time and the user's formats.
std::wstring FormatFileTime(std::uint64_t fileTime);
// The local time now as "<long date> <time>".
std::wstring FormatNow();

}  // namespace tandemere::win32
