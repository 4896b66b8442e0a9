// Platform layer (Win32): the engine's UTF-8 text to the wide calls' UTF-16 and back.
#pragma once

#include <string>
#include <string_view>

namespace tandemere::win32 {

// Converts the whole text or fails: false for invalid UTF-8 or an embedded NUL (which a wide
// call would silently cut the name at). `wide` is cleared on failure, never left truncated.
bool Utf8ToUtf16(std::string_view utf8, std::wstring& wide);

// Converts the whole text or fails: false for unpaired surrogates. `utf8` is cleared on failure.
bool Utf16ToUtf8(std::wstring_view wide, std::string& utf8);

}  // namespace tandemere::win32
