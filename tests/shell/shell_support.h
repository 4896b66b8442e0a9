// Shell tests: what the file manager does with the DLL (register it, find it, create it, hand it a
// folder and dragged items), and the registry read back.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

namespace tandemere::shelltest {

// The class identifier in registry form, as the tests expect it.
inline constexpr const wchar_t* kClsid = L"{CAE668DE-3232-4011-B916-7293AA34BF43}";
inline constexpr const wchar_t* kApprovedKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
inline constexpr const wchar_t* kHandlerParents[] = {L"Directory", L"Folder", L"Drive"};
inline const CLSID kClsidValue = {
    0xCAE668DE, 0x3232, 0x4011, {0xB9, 0x16, 0x72, 0x93, 0xAA, 0x34, 0xBF, 0x43}};
// The menu the file manager builds for a right-button drop ("" is its separator).
inline const std::vector<std::wstring> kDropMenu = {L"&Move Here", L"&Copy Here", L"Create &Shortcuts Here",
                                                    L"", L"Cancel"};

// The built DLL copied into a folder of the prefix's own disk (a program image on a 9p share does
// not load under Wine), as an installation would place it. The same path for the whole process.
const std::wstring& InstalledDll();

// Runs a program with its command line and waits for it; returns its exit code.
DWORD RunProgram(std::wstring commandLine);

// Runs Wine's regsvr32 (of this process's architecture) with `arguments` and the DLL, silently;
// returns its exit code (0 on success).
DWORD Regsvr32(const std::wstring& arguments);

// Registry read-back in this process's own view, or another with a KEY_WOW64_* flag.
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
std::optional<std::wstring> StringValue(HKEY root, const std::wstring& path, const wchar_t* name,
                                        REGSAM view = 0);
// Removes a key with everything below it; no error when it is missing.
void DeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);
// Creates a key (and its parents) in a view.
bool CreateKey(HKEY root, const std::wstring& path, REGSAM view = 0);

// The other registry view than this process's own, where the other build registers.
REGSAM OtherView();

// The DLL loaded by path, with its exports found by ordinal only.
class CLoadedDll {
public:
    CLoadedDll();
    ~CLoadedDll();
    CLoadedDll(const CLoadedDll&) = delete;
    CLoadedDll& operator=(const CLoadedDll&) = delete;
    HMODULE Module() const { return m_hModule; }
    HRESULT CanUnloadNow() const;
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const;
    HRESULT RegisterServer() const;
    HRESULT UnregisterServer() const;

private:
    void* Export(WORD ordinal) const;
    HMODULE m_hModule = nullptr;
};

// An absolute ID list of a path; freed with ILFree.
struct CIdList {
    explicit CIdList(const std::string& path);
    ~CIdList();
    CIdList(const CIdList&) = delete;
    CIdList& operator=(const CIdList&) = delete;
    PIDLIST_ABSOLUTE m_pidl = nullptr;
};

// The data object the file manager hands over for items of one folder: the folder's
// IShellFolder::GetUIObjectOf for their names. Null (with a test failure) when it cannot be made.
IDataObject* ShellDataObject(const std::string& folder, const std::vector<std::string>& names);

// A data object holding only a hand-made file-drop block (DROPFILES, wide) of these paths, which
// may lie in several folders. With `withDropList` false it offers no format at all.
IDataObject* DropDataObject(const std::vector<std::string>& paths, bool withDropList = true);
// The same from UTF-16 paths, which may hold what UTF-8 cannot (an unpaired surrogate).
IDataObject* DropDataObject(const std::vector<std::wstring>& paths, bool withDropList = true);

// A menu shaped like the file manager's drop menu, from texts; an empty text is a separator.
HMENU MakeMenu(const std::vector<std::wstring>& texts);
// The menu's texts in order ("" for separators) and the identifier of each item.
std::vector<std::wstring> MenuTexts(HMENU menu);
UINT MenuId(HMENU menu, int position);

// The settings key the move reads, removed so a move runs with the defaults.
void ClearSettings();

std::wstring Wide(const std::string& utf8);

}  // namespace tandemere::shelltest
