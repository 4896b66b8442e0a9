// Platform layer (Win32): temporary names of the engine's pattern and long-path forms for them.
#include "platform/win32/temporary_name_win32.h"

#include <windows.h>

#include <random>

#include "engine/path.h"

namespace tandemere::win32 {

namespace {

constexpr std::size_t kMaxPathUnits = MAX_PATH - 1;  // the terminator takes the last unit

std::mt19937_64& Random() {
    thread_local std::mt19937_64 s_oRandom{std::random_device{}() ^ ::GetTickCount64() ^
                                           (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32)};
    return s_oRandom;
}

}  // namespace

std::wstring TemporaryName() {
    const std::string_view chars = engine::kTemporaryRandomChars;
    std::wstring name(engine::kTemporaryPrefix.begin(), engine::kTemporaryPrefix.end());
    for (std::size_t i = 0; i < engine::kTemporaryRandomLength; ++i)
        name += static_cast<wchar_t>(chars[Random()() % chars.size()]);
    return name.append(engine::kTemporarySuffix.begin(), engine::kTemporarySuffix.end());
}

std::wstring ExtendedIfLong(const std::wstring& path) {
    if (path.size() <= kMaxPathUnits) return path;
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    if (full.rfind(L"\\\\?\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace tandemere::win32
