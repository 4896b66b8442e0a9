// Windows user interface layer: the engine's UTF-8 texts widened for the wide window calls, and back.
#pragma once

#include <string>
#include <string_view>

namespace tandemere::win32::ui {

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD rather than being dropped.
std::wstring Widen(std::string_view utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view utf16);

}  // namespace tandemere::win32::ui
