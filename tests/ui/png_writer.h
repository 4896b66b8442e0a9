// Window tests: writes 24-bit pictures as PNG files (stored, uncompressed deflate) for the screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tandemere::uitest {

// `rgb` holds height rows of width pixels, three bytes each (red, green, blue), top row first.
bool WritePng(const std::wstring& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace tandemere::uitest
