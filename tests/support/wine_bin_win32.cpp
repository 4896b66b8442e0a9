// Test support (Windows only): Wine's Recycle Bin as the Unix-side trash folder it is.
#ifdef _WIN32

#include "tests/support/wine_bin_win32.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/win32/utf16_win32.h"
#include "tests/support/platform_backend.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

// Wine's own exports of kernel32; what they return belongs to the process heap.
using DosFileName = WCHAR*(CDECL*)(const char*);

struct ProcessHeapFree {
    void operator()(WCHAR* text) const { ::HeapFree(::GetProcessHeap(), 0, text); }
};

DosFileName FindDosFileName() {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr || !RunningUnderWine()) return nullptr;
    return reinterpret_cast<DosFileName>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "wine_get_dos_file_name")));
}

bool IsBelowRoot(const std::string& path, const std::string& root) {
    std::wstring widePath;
    std::wstring wideRoot;
    if (!tandemere::win32::Utf8ToUtf16(path, widePath) || !tandemere::win32::Utf8ToUtf16(root, wideRoot) ||
        widePath.size() <= wideRoot.size() + 1 || widePath[wideRoot.size()] != L'\\')
        return false;
    // Drive letters and folder names compare without regard to case on Windows.
    const int length = static_cast<int>(wideRoot.size());
    return ::CompareStringOrdinal(widePath.data(), length, wideRoot.data(), length, TRUE) == CSTR_EQUAL;
}

bool IsBelowAny(const std::string& path, const std::vector<std::string>& roots) {
    for (const std::string& root : roots)
        if (IsBelowRoot(path, root)) return true;
    return false;
}

}  // namespace

std::string WindowsPathFromUnix(const std::string& unixPath) {
    static const DosFileName s_fnDosFileName = FindDosFileName();
    if (s_fnDosFileName == nullptr) return {};
    const std::unique_ptr<WCHAR, ProcessHeapFree> dos(s_fnDosFileName(unixPath.c_str()));
    std::string path;
    if (!dos || !tandemere::win32::Utf16ToUtf8(dos.get(), path)) return {};
    return path;
}

std::string WineBinFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome == nullptr || *dataHome != '/') return {};
    return WindowsPathFromUnix(std::string(dataHome) + "/Trash");
}

std::vector<TrashedEntry> ListWineBin(const std::vector<std::string>& roots) {
    const std::string bin = WineBinFolder();
    std::vector<TrashedEntry> ours;
    if (bin.empty()) return ours;
    for (TrashedEntry& entry : ListTrash(bin)) {
        entry.m_strPath = WindowsPathFromUnix(entry.m_strPath);
        if (IsBelowAny(entry.m_strPath, roots)) ours.push_back(std::move(entry));
    }
    return ours;
}

void RemoveFromWineBin(const std::vector<std::string>& roots) {
    const std::string bin = WineBinFolder();
    for (const TrashedEntry& entry : ListWineBin(roots)) {
        std::error_code ignored;
        std::filesystem::remove_all(PathFromUtf8(JoinPath(bin, "files/" + entry.m_strName)), ignored);
        std::filesystem::remove(PathFromUtf8(JoinPath(bin, "info/" + entry.m_strName + ".trashinfo")),
                                ignored);
    }
}

}  // namespace tandemere::testing

#endif  // _WIN32
