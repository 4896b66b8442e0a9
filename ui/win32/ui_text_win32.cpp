// Windows user interface layer: UTF-8 and UTF-16 conversion at the window boundary.
#include "ui/win32/ui_text_win32.h"

#include <windows.h>

#include <climits>

namespace tandemere::win32::ui {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int wide = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    if (wide <= 0) return std::wstring();
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), wide);
    return out;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > INT_MAX) return std::string();
    const int size = static_cast<int>(utf16.size());
    const int narrow = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) return std::string();
    std::string out(static_cast<std::size_t>(narrow), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), narrow, nullptr, nullptr);
    return out;
}

}  // namespace tandemere::win32::ui
