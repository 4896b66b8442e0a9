// Test support (Windows only): Wine's Recycle Bin, which is the freedesktop.org home trash below the
// XDG_DATA_HOME the Wine program sees, read and cleaned from the Windows side.
#pragma once

#ifdef _WIN32

#include <string>
#include <vector>

#include "tests/support/trash_contents.h"

namespace tandemere::testing {

// The trash folder of Wine's bin in the Windows form ("Z:\...\Trash"): only under Wine and only when
// XDG_DATA_HOME is set (tests/wine/wine-env.sh sets it), else empty, since the bin is then the real
// user's.
std::string WineBinFolder();

// The Windows path Wine gives a Unix path (through the drives of the prefix; the path need not
// exist); empty when not under Wine or when Wine has none.
std::string WindowsPathFromUnix(const std::string& unixPath);

// The entries of Wine's bin whose original path lies below one of `roots`, with m_strPath in the
// Windows form; none without a bin.
std::vector<TrashedEntry> ListWineBin(const std::vector<std::string>& roots);

// Removes those entries (the file and its .trashinfo) from the bin.
void RemoveFromWineBin(const std::vector<std::string>& roots);

}  // namespace tandemere::testing

#endif  // _WIN32
