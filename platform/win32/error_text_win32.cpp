// Platform layer (Win32): the system's own message for an error code, for what the user reads.
#include <windows.h>

#include <string>

#include "platform/win32/file_system_win32.h"
#include "platform/win32/utf16_win32.h"

namespace tandemere::win32 {

std::string Win32ErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) return {};
    std::wstring wide(buffer, length);
    ::LocalFree(buffer);
    // The message is a sentence of its own; here it ends the error's line.
    while (!wide.empty() &&
           (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' || wide.back() == L'.'))
        wide.pop_back();
    std::string text;
    if (!Utf16ToUtf8(wide, text)) return {};
    return text;
}

std::string ReasonText(const engine::Status& status) {
    const std::int64_t code = status.NativeCode();
    std::string text;
    if (code > 0 && code <= 0xFFFFFFFFll) text = Win32ErrorText(static_cast<DWORD>(code));
    return text.empty() ? engine::ErrorKindName(status.Kind()) : text;
}

}  // namespace tandemere::win32
