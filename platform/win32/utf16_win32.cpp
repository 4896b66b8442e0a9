// Platform layer (Win32): strict UTF-8 <-> UTF-16 conversion at the boundary of the wide calls.
#include "platform/win32/utf16_win32.h"

#include <windows.h>

#include <climits>

namespace tandemere::win32 {

bool Utf8ToUtf16(std::string_view utf8, std::wstring& wide) {
    wide.clear();
    if (utf8.empty()) return true;
    if (utf8.find('\0') != std::string_view::npos || utf8.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    const int length = static_cast<int>(utf8.size());
    // MB_ERR_INVALID_CHARS: bad bytes fail the call instead of becoming U+FFFD.
    const int needed = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (needed <= 0) return false;
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, result.data(), needed) !=
        needed)
        return false;
    wide = std::move(result);
    return true;
}

bool Utf16ToUtf8(std::wstring_view wide, std::string& utf8) {
    utf8.clear();
    if (wide.empty()) return true;
    if (wide.size() > static_cast<std::size_t>(INT_MAX)) return false;
    const int length = static_cast<int>(wide.size());
    const int needed = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, nullptr, 0,
                                             nullptr, nullptr);
    if (needed <= 0) return false;
    std::string result(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, result.data(), needed,
                              nullptr, nullptr) != needed)
        return false;
    utf8 = std::move(result);
    return true;
}

}  // namespace tandemere::win32
