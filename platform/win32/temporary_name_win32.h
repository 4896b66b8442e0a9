// Platform layer (Win32): the names and path forms of the files this backend makes for itself.
#pragma once

#include <string>

namespace tandemere::win32 {

// A fresh random name of the engine's temporary pattern (engine/path.h), so a later move knows
// what a killed one left and never takes it for the user's file. Plain ASCII.
std::wstring TemporaryName();

// The extended-length form (\\?\) of a path longer than MAX_PATH allows, which alone reaches such
// a file; a shorter path, or one that cannot be made full, is returned as it is.
std::wstring ExtendedIfLong(const std::wstring& path);

}  // namespace tandemere::win32
