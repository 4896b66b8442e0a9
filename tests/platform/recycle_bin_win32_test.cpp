// Platform tests: the Win32 Recycle Bin behind MoveToTrash and FindTrash, on real files with the
// real shell, with stand-ins for what the shell does on Windows only, and one move with the switch on.
#include "platform/win32/recycle_bin_win32.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/win32/unique_handle_win32.h"
#include "platform/win32/utf16_win32.h"
#include "tests/engine/move_fixture.h"
#include "tests/support/status_assert.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"

namespace tandemere::testing {
namespace {

using engine::ErrorKind;

std::wstring Wide(const std::string& text) {
    std::wstring wide;
    EXPECT_TRUE(win32::Utf8ToUtf16(text, wide)) << text;
    return wide;
}

// Under Wine the bin is the Unix home trash: only the test environment's own may be used
// (tests/wine/wine-env.sh points XDG_DATA_HOME beside the prefix).
bool BinIsTheTestsOwn() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    return !RunningUnderWine() || (dataHome != nullptr && *dataHome != '\0');
}
constexpr const char* kRealHomeBin = "XDG_DATA_HOME is not set: Wine's bin would be the real home's trash";

template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (m_pRaw) m_pRaw->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    void** PutVoid() { return reinterpret_cast<void**>(&m_pRaw); }
    Interface* operator->() const { return m_pRaw; }
    Interface* Get() const { return m_pRaw; }

private:
    Interface* m_pRaw = nullptr;
};

struct PidlFree {
    void operator()(ITEMIDLIST* pidl) const { ::CoTaskMemFree(pidl); }
};
using Pidl = std::unique_ptr<ITEMIDLIST, PidlFree>;

std::wstring Text(STRRET& value, const ITEMIDLIST* item) {
    wchar_t buffer[MAX_PATH] = L"";
    ::StrRetToBufW(&value, item, buffer, MAX_PATH);
    return buffer;
}

// The shell's Recycle Bin folder (CSIDL_BITBUCKET), as a file manager sees it.
class ShellBin {
public:
    ShellBin() {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ComRef<IShellFolder> desktop;
        ITEMIDLIST* raw = nullptr;
        if (FAILED(::SHGetDesktopFolder(reinterpret_cast<IShellFolder**>(desktop.PutVoid()))) ||
            FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &raw)))
            return;
        const Pidl bin(raw);
        desktop->BindToObject(bin.get(), nullptr, IID_IShellFolder2, m_oFolder.PutVoid());
    }
    ~ShellBin() { ::CoUninitialize(); }
    bool IsValid() const { return m_oFolder.Get() != nullptr; }

    // The item deleted from `folder\name` (its "Deleted from" column and its name), or null.
    Pidl Find(const std::wstring& folder, const std::wstring& name) {
        ComRef<IEnumIDList> items;
        if (m_oFolder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS,
                                   reinterpret_cast<IEnumIDList**>(items.PutVoid())) != S_OK)
            return nullptr;
        ITEMIDLIST* raw = nullptr;
        while (items->Next(1, &raw, nullptr) == S_OK) {
            Pidl item(raw);
            STRRET shown;
            SHELLDETAILS from{};
            if (SUCCEEDED(m_oFolder->GetDisplayNameOf(item.get(), SHGDN_NORMAL, &shown)) &&
                SUCCEEDED(m_oFolder->GetDetailsOf(item.get(), 1, &from)) &&
                ::lstrcmpiW(Text(shown, item.get()).c_str(), name.c_str()) == 0 &&
                ::lstrcmpiW(Text(from.str, item.get()).c_str(), folder.c_str()) == 0)
                return item;
        }
        return nullptr;
    }

    // Invokes the item's "Restore" command from its context menu, as the user would.
    bool Restore(const ITEMIDLIST* item) {
        ComRef<IContextMenu> menu;
        const ITEMIDLIST* items[] = {item};
        if (FAILED(m_oFolder->GetUIObjectOf(nullptr, 1, items, IID_IContextMenu, nullptr, menu.PutVoid())))
            return false;
        const std::unique_ptr<std::remove_pointer_t<HMENU>, decltype(&::DestroyMenu)> popup(::CreatePopupMenu(),
                                                                                            &::DestroyMenu);
        if (FAILED(menu->QueryContextMenu(popup.get(), 0, 0, 0x7FFF, CMF_NORMAL))) return false;
        for (int i = 0; i < ::GetMenuItemCount(popup.get()); ++i) {
            wchar_t label[64] = L"";
            ::GetMenuStringW(popup.get(), i, label, 64, MF_BYPOSITION);
            std::wstring plain(label);
            plain.erase(std::remove(plain.begin(), plain.end(), L'&'), plain.end());
            if (plain != L"Restore") continue;
            CMINVOKECOMMANDINFO invoke{};
            invoke.cbSize = sizeof invoke;
            invoke.lpVerb = MAKEINTRESOURCEA(::GetMenuItemID(popup.get(), i));
            invoke.nShow = SW_SHOWNORMAL;
            return SUCCEEDED(menu->InvokeCommand(&invoke));
        }
        return false;
    }

private:
    ComRef<IShellFolder2> m_oFolder;
};

class RecycleBinTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.IsValid()); }
    // The tree as text, to tell that nothing changed.
    std::string Tree() const { return TreeSnapshot::Take(m_dir.Root()).Describe(); }

    TempFolder m_dir;
    std::string m_strWhere;
};

TEST_F(RecycleBinTest, RecycledFileLeavesItsFolderForTheBinAndComesBackFromIt) {
    if (!BinIsTheTestsOwn()) GTEST_SKIP() << kRealHomeBin;
    const std::string name = "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE.txt";  // outside the ANSI code page
    ASSERT_TRUE(WriteFile(m_dir.Path(name), "recycled bytes"));
    ASSERT_TRUE(WriteFile(m_dir.Path("neighbour.txt"), "stays"));
    win32::Win32FileSystem fs;
    ASSERT_OK(fs.MoveToTrash(m_dir.Path(name), m_strWhere));
    EXPECT_EQ(m_strWhere, "the Recycle Bin");
    // Gone, and no keeping link left beside it.
    EXPECT_EQ(ListTree(m_dir.Root()), std::vector<std::string>{"neighbour.txt (5)"});

    ShellBin bin;
    ASSERT_TRUE(bin.IsValid());
    const Pidl item = bin.Find(Wide(m_dir.Root()), Wide(name));
    ASSERT_NE(item, nullptr) << "not in the Recycle Bin under its original path";
    ASSERT_TRUE(bin.Restore(item.get()));
    EXPECT_EQ(ReadFile(m_dir.Path(name)), "recycled bytes");
    EXPECT_EQ(bin.Find(Wide(m_dir.Root()), Wide(name)), nullptr);
}

// Measured under Wine 8: its bin takes a file from another Unix file system (drive T:, on
// /dev/shm) by copying it into the home trash and deleting it, so the file's own link count drops
// as after a delete for good.
TEST_F(RecycleBinTest, FileTheBinKeepsOnlyAsACopyStaysWholeUnderItsName) {
    if (!BinIsTheTestsOwn()) GTEST_SKIP() << kRealHomeBin;
    const char* other = std::getenv("TANDEMERE_TEST_OTHER_VOLUME");
    if (!RunningUnderWine() || other == nullptr || *other == '\0')
        GTEST_SKIP() << "needs Wine's bin and a drive on another Unix file system";
    TempFolder elsewhere(other);
    ASSERT_TRUE(elsewhere.IsValid());
    ASSERT_TRUE(WriteFile(elsewhere.Path("elsewhere.txt"), "far bytes"));
    win32::Win32FileSystem fs;
    ASSERT_OK(fs.FindTrash(elsewhere.Path("elsewhere.txt"), m_strWhere)) << "a fixed drive: the bin looks present";
    EXPECT_STATUS_KIND(fs.MoveToTrash(elsewhere.Path("elsewhere.txt"), m_strWhere), ErrorKind::Unsupported);
    EXPECT_EQ(m_strWhere, "the Recycle Bin");
    EXPECT_EQ(ListTree(elsewhere.Root()), std::vector<std::string>{"elsewhere.txt (9)"});
    EXPECT_EQ(ReadFile(elsewhere.Path("elsewhere.txt")), "far bytes");
}

// What the shell may do with the request, including what only Windows does (a file too large for
// the bin, or on a volume set to delete at once, is silently deleted for good).
TEST_F(RecycleBinTest, TheShellIsAskedExactlyAndAFileItDoesNotKeepComesBack) {
    struct Case {
        const char* m_pszName;
        int m_nShellResult;
        bool m_bAbort;
        int m_nAction;  // 0 nothing, 1 delete for good, 2 rename into "bin"
        ErrorKind m_nKind;
        std::vector<std::string> m_lstTree;
    };
    const Case cases[] = {
        {"kept by rename", 0, false, 2, ErrorKind::None, {"bin/", "bin/f.txt (9)"}},
        {"deleted for good", 0, false, 1, ErrorKind::Unsupported, {"bin/", "f.txt (9)"}},
        {"shell error, nothing done", 0x78, false, 0, ErrorKind::Other, {"bin/", "f.txt (9)"}},
        {"aborted", 0, true, 0, ErrorKind::Other, {"bin/", "f.txt (9)"}},
        {"renamed away but an error reported", 0x402, false, 2, ErrorKind::Unsupported,
         {"bin/", "bin/f.txt (9)", "f.txt (9)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        TempFolder dir;
        ASSERT_TRUE(WriteFile(dir.Path("f.txt"), "only copy"));
        ASSERT_TRUE(MakeFolders(dir.Path("bin")));
        std::vector<SHFILEOPSTRUCTW> requests;
        std::wstring from;
        bool doubleNul = false;
        win32::Win32FileSystem fs([&](SHFILEOPSTRUCTW& operation) {
            requests.push_back(operation);
            from = operation.pFrom;
            doubleNul = operation.pFrom[from.size() + 1] == L'\0';
            if (c.m_nAction == 1) ::DeleteFileW(operation.pFrom);
            if (c.m_nAction == 2) ::MoveFileW(operation.pFrom, Wide(dir.Path("bin/f.txt")).c_str());
            operation.fAnyOperationsAborted = c.m_bAbort;
            return c.m_nShellResult;
        });
        const engine::Status status = fs.MoveToTrash(dir.Path("f.txt"), m_strWhere);
        if (c.m_nKind == ErrorKind::None)
            EXPECT_OK(status);
        else
            EXPECT_STATUS_KIND(status, c.m_nKind);
        EXPECT_EQ(ListTree(dir.Root()), c.m_lstTree);
        for (const char* kept : {"f.txt", "bin/f.txt"}) {
            if (Exists(dir.Path(kept))) {
                EXPECT_EQ(ReadFile(dir.Path(kept)), "only copy");
            }
        }
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].wFunc, static_cast<UINT>(FO_DELETE));
        EXPECT_EQ(requests[0].fFlags, FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI |
                                          FOF_NO_CONNECTED_ELEMENTS);
        EXPECT_EQ(requests[0].hwnd, nullptr);
        EXPECT_EQ(requests[0].pTo, nullptr);
        EXPECT_EQ(from, Wide(dir.Path("f.txt")));  // a plain full path: the shell takes no \\?\ form
        EXPECT_TRUE(doubleNul);
    }
}

// Sets a DWORD under HKEY_CURRENT_USER for the test's span and removes it again.
class ScopedUserDword {
public:
    ScopedUserDword(std::wstring key, std::wstring value, DWORD data)
        : m_strKey(std::move(key)), m_strValue(std::move(value)) {
        m_bSet = ::RegSetKeyValueW(HKEY_CURRENT_USER, m_strKey.c_str(), m_strValue.c_str(), REG_DWORD, &data,
                                   sizeof data) == ERROR_SUCCESS;
    }
    ~ScopedUserDword() { ::RegDeleteKeyValueW(HKEY_CURRENT_USER, m_strKey.c_str(), m_strValue.c_str()); }
    bool IsSet() const { return m_bSet; }

private:
    std::wstring m_strKey;
    std::wstring m_strValue;
    bool m_bSet = false;
};

TEST_F(RecycleBinTest, WhatTheBinMayNotTakeIsRefusedBeforeAnythingChanges) {
    ASSERT_TRUE(WriteFile(m_dir.Path("plain.txt"), "plain"));
    ASSERT_TRUE(WriteFile(m_dir.Path("readonly.txt"), "read-only"));
    ASSERT_TRUE(::SetFileAttributesW(Wide(m_dir.Path("readonly.txt")).c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFolders(m_dir.Path("folder")));
    // Past MAX_PATH, made through the extended-length form, which the shell's delete does not take.
    TempFolder longDir;
    const std::wstring deep = L"\\\\?\\" + Wide(longDir.Path(std::string(200, 'd')));
    const std::string tooLong = longDir.Path(std::string(200, 'd') + "/" + std::string(100, 'f'));
    const std::wstring tooLongExtended = L"\\\\?\\" + Wide(tooLong);
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
    {
        win32::UniqueFileHandle file(
            ::CreateFileW(tooLongExtended.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file.IsValid());
    }
    int calls = 0;
    win32::Win32FileSystem fs([&](SHFILEOPSTRUCTW&) {
        ++calls;
        return 0;
    });
    struct Case {
        std::string m_strPath;
        ErrorKind m_nKind;
    };
    std::vector<Case> cases = {{m_dir.Path("folder"), ErrorKind::IsADirectory},
                               {m_dir.Path("missing.txt"), ErrorKind::NotFound},
                               {m_dir.Path("readonly.txt"), ErrorKind::AccessDenied},
                               {tooLong, ErrorKind::NameTooLong}};
    // A link stays a link, its target untouched (Wine makes no links: Windows only).
    if (CanMakeLinks() && MakeSymlink(m_dir.Path("plain.txt"), m_dir.Path("link.txt")))
        cases.push_back({m_dir.Path("link.txt"), ErrorKind::Unsupported});
    const std::string before = Tree();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strPath);
        EXPECT_STATUS_KIND(fs.MoveToTrash(c.m_strPath, m_strWhere), c.m_nKind);
        EXPECT_EQ(m_strWhere, "the Recycle Bin");
    }
    EXPECT_STATUS_KIND(fs.FindTrash(tooLong, m_strWhere), ErrorKind::NameTooLong);
    // A bin for the volume is found without a trace; the policy that makes the shell delete for
    // good takes it away for finding and moving alike.
    m_strWhere.clear();
    ASSERT_OK(fs.FindTrash(m_dir.Path("plain.txt"), m_strWhere));
    EXPECT_EQ(m_strWhere, "the Recycle Bin");
    {
        const ScopedUserDword policy(L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                                     L"NoRecycleFiles", 1);
        ASSERT_TRUE(policy.IsSet());
        EXPECT_STATUS_KIND(fs.FindTrash(m_dir.Path("plain.txt"), m_strWhere), ErrorKind::Unsupported);
        EXPECT_STATUS_KIND(fs.MoveToTrash(m_dir.Path("plain.txt"), m_strWhere), ErrorKind::Unsupported);
    }
    ASSERT_OK(fs.FindTrash(m_dir.Path("plain.txt"), m_strWhere));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(Tree(), before);
    EXPECT_NE(::GetFileAttributesW(tooLongExtended.c_str()), INVALID_FILE_ATTRIBUTES);
    ::SetFileAttributesW(Wide(m_dir.Path("readonly.txt")).c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(tooLongExtended.c_str());
    ::RemoveDirectoryW(deep.c_str());
}

class RecycleBinMove : public MoveFixture {};

TEST_F(RecycleBinMove, DuplicateSourceGoesToTheBinWithTheSwitchOn) {
    if (!BinIsTheTestsOwn()) GTEST_SKIP() << kRealHomeBin;
    WriteSettings("\"DeleteToRecycleBin\"=dword:00000001\n");
    ASSERT_TRUE(WriteFile(Src("same.txt"), "same bytes", TicksFromUnixTime(1'600'000'000)));
    ASSERT_TRUE(WriteFile(Dst("same.txt"), "same bytes", TicksFromUnixTime(1'600'000'000)));
    EXPECT_EQ(Run({Src("same.txt")}), engine::MoveFinished);
    EXPECT_EQ(m_log, "Moved source file \"same.txt\" to the Recycle Bin, because destination file \"same.txt\" is "
                     "the same.\r\n");
    EXPECT_EQ(ListTree(Src()), std::vector<std::string>{});
    EXPECT_EQ(ListTree(Dst()), std::vector<std::string>{"same.txt (10)"});
    ShellBin bin;
    ASSERT_TRUE(bin.IsValid());
    EXPECT_NE(bin.Find(Wide(Src()), L"same.txt"), nullptr);
}

}  // namespace
}  // namespace tandemere::testing
