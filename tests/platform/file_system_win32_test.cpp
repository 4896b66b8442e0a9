// Platform tests: the Win32 file system, through the shared conformance suite and its own cases.
#include "platform/win32/file_system_win32.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/unique_handle_win32.h"
#include "platform/win32/utf16_win32.h"
#include "tests/platform/file_system_conformance.h"
#include "tests/support/status_assert.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

using engine::DirEntry;
using engine::ErrorKind;
using win32::UniqueFileHandle;

constexpr std::size_t kLongestPath = MAX_PATH - 1;

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide;
    EXPECT_TRUE(win32::Utf8ToUtf16(text, wide)) << text;
    return wide;
}

// Whether links can really be made here: Wine's CreateSymbolicLinkW reports success and makes nothing.
bool CanMakeSymlinks() {
    wchar_t temp[MAX_PATH + 1];
    if (::GetTempPathW(MAX_PATH + 1, temp) == 0) return false;
    const std::wstring link =
        std::wstring(temp) + L"tandemere-probe-" + std::to_wstring(::GetCurrentProcessId());
    if (!::CreateSymbolicLinkW(link.c_str(), temp, SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2) &&
        !::CreateSymbolicLinkW(link.c_str(), temp, SYMBOLIC_LINK_FLAG_DIRECTORY))
        return false;
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    ::RemoveDirectoryW(link.c_str());
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

const bool kRegistered = [] {
    ConformanceBackend backend;
    backend.m_fnMake = [] { return std::make_unique<win32::Win32FileSystem>(); };
    const char* other = std::getenv("TANDEMERE_TEST_OTHER_VOLUME");
    backend.m_strOtherVolumeBase = other != nullptr ? other : "";
    backend.m_bSymlinks = CanMakeSymlinks();
    // Measured: Wine 8's CopyFileExW never calls its progress routine (0 calls for 3 MiB).
    backend.m_bCopyProgress = !UnderWine();
    if (UnderWine())
        SetFolderMoveSkipReason(
            "Wine's SHFileOperationW FO_MOVE to another drive returns 0 and moves nothing; the request is "
            "checked by Win32FileSystemTest.ShellFolderMoveGetsTheExactRequest, the outcome natively");
    SetConformanceBackend(std::move(backend));
    return true;
}();

class Win32FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.IsValid());
        if (!GetConformanceBackend().m_strOtherVolumeBase.empty())
            m_other.emplace(GetConformanceBackend().m_strOtherVolumeBase);
    }
    std::vector<std::string> Names(const std::string& folder) {
        std::vector<DirEntry> entries;
        EXPECT_OK(m_fs.ListFolder(folder, entries));
        std::vector<std::string> names;
        for (const DirEntry& e : entries) names.push_back(e.m_strName);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string ReadAll(const std::string& path) {
        std::unique_ptr<engine::IReadFile> file;
        EXPECT_OK(m_fs.OpenRead(path, file));
        std::string bytes;
        char buffer[4];
        for (std::size_t got = 1; file && got != 0;) {
            EXPECT_OK(file->Read(buffer, sizeof buffer, got));
            bytes.append(buffer, got);
        }
        return bytes;
    }

    win32::Win32FileSystem m_fs;
    TempFolder m_dir;
    std::optional<TempFolder> m_other;
};

TEST_F(Win32FileSystemTest, NamesOutsideTheAnsiCodePageWorkEndToEnd) {
    for (const std::string name :
         {"\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", "\xE5\x86\x99\xE7\x9C\x9F", "\xC3\xA9"}) {
        SCOPED_TRACE(name);
        TempFolder dir;
        ASSERT_TRUE(WriteFile(dir.Path(name + ".txt"), "bytes of " + name));
        ASSERT_TRUE(MakeFolders(dir.Path(name)));
        EXPECT_EQ(Names(dir.Root()), (std::vector<std::string>{".", "..", name, name + ".txt"}));
        DirEntry entry;
        ASSERT_OK(m_fs.Lookup(dir.Path(name + ".txt"), entry));
        EXPECT_EQ(entry.m_strName, name + ".txt");
        EXPECT_TRUE(m_fs.IsFolder(dir.Path(name)));
        ASSERT_OK(m_fs.Move(dir.Path(name + ".txt"), dir.Path(name + "/" + name + ".txt")));
        ASSERT_OK(
            m_fs.Rename(dir.Path(name + "/" + name + ".txt"), dir.Path(name + "/" + name + " (2).txt")));
        EXPECT_EQ(ReadAll(dir.Path(name + "/" + name + " (2).txt")), "bytes of " + name);
        if (m_other) {
            ASSERT_OK(m_fs.Move(dir.Path(name + "/" + name + " (2).txt"), m_other->Path(name + ".txt")));
            EXPECT_EQ(ReadFile(m_other->Path(name + ".txt")), "bytes of " + name);
        }
        bool same = false;
        ASSERT_OK(m_fs.IsSameObject(dir.Path(name), dir.Path(name + "/../" + name), same));
        EXPECT_TRUE(same);
        EXPECT_EQ(ListTree(dir.Root()), (std::vector<std::string>{name + "/"}));
        ASSERT_OK(m_fs.RemoveFolder(dir.Path(name)));
    }
}

TEST_F(Win32FileSystemTest, ConversionRefusesWhatItCannotCarryWhole) {
    std::wstring wide;
    std::string text;
    ASSERT_TRUE(
        win32::Utf8ToUtf16("\xE5\x86\x99\xF0\x9F\x98\x80"
                           "a",
                           wide));
    EXPECT_EQ(wide, (std::wstring{L'\x5199', L'\xD83D', L'\xDE00', L'a'}));
    ASSERT_TRUE(win32::Utf16ToUtf8(wide, text));
    EXPECT_EQ(text,
              "\xE5\x86\x99\xF0\x9F\x98\x80"
              "a");
    for (const std::string& bad :
         {std::string("ab\xC3"), std::string("\xED\xA0\x80"), std::string("a\0b", 3), std::string("\xFF")}) {
        SCOPED_TRACE(bad.size());
        EXPECT_FALSE(win32::Utf8ToUtf16(bad, wide));
        EXPECT_TRUE(wide.empty());
        DirEntry entry;
        // An unusable name is an error of its own, never "nothing there" (which would invite a move).
        const engine::Status status = m_fs.Lookup(m_dir.Path(bad), entry);
        EXPECT_STATUS_KIND(status, ErrorKind::Other);
        EXPECT_FALSE(m_fs.PathFits(m_dir.Path(bad)));
    }
    EXPECT_FALSE(win32::Utf16ToUtf8(std::wstring(1, L'\xD800'), text));
    EXPECT_TRUE(text.empty());
}

TEST_F(Win32FileSystemTest, PathFitsCountsUtf16UnitsNotBytes) {
    const std::string e = "\xC3\xA9";             // one unit, two bytes
    const std::string face = "\xF0\x9F\x98\x80";  // two units (a surrogate pair), four bytes
    auto repeat = [](const std::string& piece, std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) text += piece;
        return text;
    };
    // "C:\" is 3 units; components of 200 units keep within the 255 of one name.
    const std::string base = "C:\\" + repeat(e, 200) + "\\";
    struct Case {
        std::string m_strPath;
        bool m_bFits;
    };
    // Beyond MAX_PATH the extended-length form takes 32,760 units (the UNC form adds six).
    const std::string deep = repeat(base, 160);  // 32,640 units
    const Case cases[] = {{base + repeat("x", 55), true},
                          {base + repeat("x", 56), true},
                          {base + repeat(e, 56), true},
                          {base + repeat(face, 28), true},
                          {deep + repeat("x", 32760 - Wide(deep).size()), true},
                          {deep + repeat("x", 32761 - Wide(deep).size()), false},
                          {"C:\\" + repeat("n", 255), true},
                          {"C:\\" + repeat("n", 256), false},
                          {"C:\\" + repeat(e, 255), true},
                          {"C:\\" + repeat(e, 256), false},
                          {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(Wide(c.m_strPath).size()) + " units");
        EXPECT_EQ(m_fs.PathFits(c.m_strPath), c.m_bFits);
    }
    // The longest path that fits is one the system takes.
    const std::string folder = m_dir.Path("d");
    const std::string longest = folder + "\\" + std::string(kLongestPath - folder.size() - 1, 'f');
    ASSERT_EQ(Wide(longest).size(), kLongestPath);
    ASSERT_TRUE(m_fs.PathFits(longest));
    ASSERT_TRUE(WriteFile(longest, "x"));
    ASSERT_OK(m_fs.Rename(longest, folder + "\\g"));
    ASSERT_OK(m_fs.Move(folder + "\\g", longest));
    EXPECT_EQ(ReadAll(longest), "x");

    // Beyond MAX_PATH an item is listed, looked up, read, renamed, moved and deleted like any other.
    std::string longFolder = folder;
    for (int i = 0; i < 3; ++i) {
        longFolder += "\\" + std::string(120, static_cast<char>('a' + i));
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + Wide(longFolder)).c_str(), nullptr)) << ::GetLastError();
    }
    ASSERT_OK(m_fs.Rename(longest, longFolder + "\\x.txt"));
    ASSERT_GT(Wide(longFolder + "\\x.txt").size(), 400u);
    EXPECT_EQ(ReadAll(longFolder + "\\x.txt"), "x");
    EXPECT_EQ(Names(longFolder), (std::vector<std::string>{".", "..", "x.txt"}));
    DirEntry entry;
    ASSERT_OK(m_fs.Lookup(longFolder + "\\x.txt", entry));
    EXPECT_EQ(entry.m_nSize, 1u);
    EXPECT_TRUE(m_fs.IsFolder(longFolder));
    ASSERT_OK(m_fs.Move(longFolder + "\\x.txt", longFolder + "\\y.txt"));
    bool same = false;
    ASSERT_OK(m_fs.IsSameObject(longFolder, longFolder + "\\", same));
    EXPECT_TRUE(same);
    EXPECT_TRUE(m_fs.IsSameVolume(longFolder + "\\y.txt", folder + "\\z.txt"));
    ASSERT_OK(m_fs.DeleteFile(longFolder + "\\y.txt"));
    for (int i = 0; i < 3; ++i, longFolder.resize(longFolder.rfind('\\')))
        ASSERT_OK(m_fs.RemoveFolder(longFolder));
}

TEST_F(Win32FileSystemTest, ShellFolderMoveGetsTheExactRequest) {
    struct Request {
        HWND m_hWnd = nullptr;
        UINT m_nFunc = 0;
        FILEOP_FLAGS m_nFlags = 0;
        std::wstring m_strFrom, m_strTo, m_strTitle;
        bool m_bDoubleNul = false;
        bool m_bNoMappings = false;
    };
    struct Case {
        const char* m_pszName;
        int m_nResult;
        bool m_bAborted;
        bool m_bReallyMove;  // the stand-in does what the shell should (here within one volume)
        bool m_bLateFile;    // then a file arrives in the source folder, as if while it was copied
        ErrorKind m_nKind;
    };
    const Case cases[] = {{"success", 0, false, true, false, ErrorKind::None},
                          {"success, a file left behind", 0, false, true, true, ErrorKind::None},
                          {"zero but nothing moved", 0, false, false, false, ErrorKind::Io},
                          {"shell error", 0x7C, false, false, false, ErrorKind::Other},
                          {"aborted", 0, true, true, false, ErrorKind::Other}};
    const std::string name = "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        TempFolder dir;
        ASSERT_TRUE(WriteFile(dir.Path(name + "/inner/a.txt"), "alpha"));
        ASSERT_TRUE(MakeFolders(dir.Path("to")));
        std::vector<Request> requests;
        win32::Win32FileSystem fs([&](SHFILEOPSTRUCTW& operation) {
            Request request;
            request.m_hWnd = operation.hwnd;
            request.m_nFunc = operation.wFunc;
            request.m_nFlags = operation.fFlags;
            request.m_strFrom = operation.pFrom;
            request.m_strTo = operation.pTo;
            request.m_bDoubleNul = operation.pFrom[request.m_strFrom.size() + 1] == L'\0' &&
                                   operation.pTo[request.m_strTo.size() + 1] == L'\0';
            request.m_bNoMappings = operation.hNameMappings == nullptr;
            request.m_strTitle = operation.lpszProgressTitle;
            requests.push_back(request);
            if (c.m_bReallyMove) ::MoveFileW(operation.pFrom, operation.pTo);
            if (c.m_bLateFile) WriteFile(dir.Path(name + "/late.txt"), "late");
            operation.fAnyOperationsAborted = c.m_bAborted;
            return c.m_nResult;
        });
        HWND owner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
        std::vector<std::string> left;
        const engine::Status status =
            fs.MoveFolderAcrossVolumes(owner, dir.Path(name) + "\\", dir.Path("to\\" + name), left);
        if (c.m_nKind == ErrorKind::None)
            EXPECT_OK(status);
        else
            EXPECT_STATUS_KIND(status, c.m_nKind);
        if (c.m_bLateFile) {
            EXPECT_EQ(left, std::vector<std::string>{dir.Path(name + "/late.txt")});
        }
        ASSERT_EQ(requests.size(), 1u);
        const Request& request = requests.front();
        EXPECT_EQ(request.m_hWnd, owner);
        EXPECT_EQ(request.m_nFunc, static_cast<UINT>(FO_MOVE));
        EXPECT_EQ(request.m_nFlags, 0x244);
        EXPECT_EQ(request.m_strFrom, Wide(dir.Path(name)));  // without its trailing backslash
        EXPECT_EQ(request.m_strTo, Wide(dir.Path("to\\" + name)));
        EXPECT_TRUE(request.m_bDoubleNul);
        EXPECT_TRUE(request.m_bNoMappings);
        EXPECT_EQ(request.m_strTitle, L"Tandemere");
        if (!c.m_bReallyMove) {
            EXPECT_EQ(ReadFile(dir.Path(name + "/inner/a.txt")), "alpha");
        }
    }
    // A taken name is refused before the shell is asked (it would merge into it or prompt).
    int calls = 0;
    win32::Win32FileSystem fs([&](SHFILEOPSTRUCTW&) {
        ++calls;
        return 0;
    });
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/a.txt"), "a"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("taken")));
    std::vector<std::string> left;
    EXPECT_STATUS_KIND(fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_dir.Path("taken"), left),
                       ErrorKind::Exists);
    EXPECT_STATUS_KIND(
        fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_dir.Path("no/such/tree"), left),
        ErrorKind::NotFound);
    EXPECT_STATUS_KIND(fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree/a.txt"), m_dir.Path("b"), left),
                       ErrorKind::NotADirectory);
    EXPECT_EQ(calls, 0);
}

TEST_F(Win32FileSystemTest, DriveRootListsNoDotsAndAnEmptyRootListsNothing) {
    if (!m_other) GTEST_SKIP() << "no second drive";
    const std::string root = GetConformanceBackend().m_strOtherVolumeBase;
    if (!engine::IsRoot(engine::kWindowsPaths, root)) GTEST_SKIP() << root << " is not a drive root";
    // The fixture's own folder on that drive is the only entry unless other tests run meanwhile.
    const std::string mine = m_other->Root().substr(root.size());
    const std::vector<std::string> names = Names(root);
    EXPECT_NE(std::find(names.begin(), names.end(), mine), names.end());
    EXPECT_EQ(
        std::count_if(names.begin(), names.end(), [](const std::string& n) { return n == "." || n == ".."; }),
        0);
    m_other.reset();
    if (!ListTree(root).empty()) GTEST_SKIP() << root << " holds entries of other tests; not emptied";
    std::vector<DirEntry> entries{DirEntry{}};
    ASSERT_OK(m_fs.ListFolder(root, entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_STATUS_KIND(m_fs.ListFolder(root + "missing", entries), ErrorKind::NotFound);
}

// Makes a junction (a mount-point reparse point) at `link` to the folder `target`.
DWORD MakeJunction(const std::wstring& target, const std::wstring& link) {
    if (!::CreateDirectoryW(link.c_str(), nullptr)) return ::GetLastError();
    UniqueFileHandle folder(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                          nullptr));
    if (!folder) return ::GetLastError();
    const std::wstring substitute = L"\\??\\" + target;
    const USHORT substituteBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const USHORT printBytes = static_cast<USHORT>(target.size() * sizeof(wchar_t));
    std::vector<unsigned char> data(16 + substituteBytes + 2 + printBytes + 2, 0);
    const ULONG tag = IO_REPARSE_TAG_MOUNT_POINT;
    const USHORT dataBytes = static_cast<USHORT>(data.size() - 8);
    const USHORT offsets[4] = {0, substituteBytes, static_cast<USHORT>(substituteBytes + 2), printBytes};
    std::memcpy(data.data(), &tag, 4);
    std::memcpy(data.data() + 4, &dataBytes, 2);
    std::memcpy(data.data() + 8, offsets, 8);
    std::memcpy(data.data() + 16, substitute.data(), substituteBytes);
    std::memcpy(data.data() + 16 + substituteBytes + 2, target.data(), printBytes);
    DWORD got = 0;
    if (!::DeviceIoControl(folder.Get(), FSCTL_SET_REPARSE_POINT, data.data(),
                           static_cast<DWORD>(data.size()), nullptr, 0, &got, nullptr)) {
        const DWORD error = ::GetLastError();
        folder.Reset();
        ::RemoveDirectoryW(link.c_str());
        return error;
    }
    return ERROR_SUCCESS;
}

TEST_F(Win32FileSystemTest, JunctionIsALinkNeverItsTarget) {
    // Measured: Wine 8 answers FSCTL_SET_REPARSE_POINT with error 50 (64-bit), and the 32-bit
    // process run by emulation dies inside the call ("wine client error: partial write").
    if (UnderWine()) GTEST_SKIP() << "Wine cannot make junctions (FSCTL_SET_REPARSE_POINT: error 50)";
    ASSERT_TRUE(WriteFile(m_dir.Path("target/keep.txt"), "keep"));
    if (const DWORD error = MakeJunction(Wide(m_dir.Path("target")), Wide(m_dir.Path("junction"))))
        GTEST_SKIP() << "cannot make a junction here (FSCTL_SET_REPARSE_POINT error " << error
                     << "; Wine answers 50, not supported)";
    DirEntry entry;
    ASSERT_OK(m_fs.Lookup(m_dir.Path("junction"), entry));
    EXPECT_TRUE(entry.m_bLink);
    EXPECT_FALSE(entry.m_bDirectory);
    std::vector<DirEntry> entries;
    ASSERT_OK(m_fs.ListFolder(m_dir.Root(), entries));
    for (const DirEntry& e : entries)
        if (e.m_strName == "junction") {
            EXPECT_TRUE(e.m_bLink && !e.m_bDirectory);
        }
    EXPECT_TRUE(m_fs.IsFolder(m_dir.Path("junction")));
    ASSERT_OK(m_fs.Move(m_dir.Path("junction"), m_dir.Path("moved")));
    ASSERT_OK(m_fs.DeleteFile(m_dir.Path("moved")));
    EXPECT_FALSE(Exists(m_dir.Path("moved")));
    EXPECT_EQ(ReadFile(m_dir.Path("target/keep.txt")), "keep");
}

// A call on two paths names the one at fault: the target when its name is taken, else the
// source; of two paths that are not valid UTF-8, the first.
TEST_F(Win32FileSystemTest, TwoPathCallsNameThePathAtFault) {
    ASSERT_TRUE(WriteFile(m_dir.Path("a.txt"), "alpha"));
    ASSERT_TRUE(WriteFile(m_dir.Path("b.txt"), "beta"));
    const std::string a = m_dir.Path("a.txt");
    const std::string b = m_dir.Path("b.txt");
    const std::string none = m_dir.Path("none.txt");
    const std::string bad = m_dir.Path("\xFF");
    const std::string alsoBad = m_dir.Path("\xFE");
    for (bool rename : {false, true}) {
        SCOPED_TRACE(rename ? "Rename" : "Move");
        auto call = [&](const std::string& from, const std::string& to) {
            return rename ? m_fs.Rename(from, to) : m_fs.Move(from, to);
        };
        EXPECT_EQ(call(a, b).Path(), b);
        EXPECT_EQ(call(none, m_dir.Path("c.txt")).Path(), none);
        EXPECT_EQ(call(a, bad).Path(), bad);
        EXPECT_EQ(call(bad, alsoBad).Path(), bad);
    }
    bool same = true;
    EXPECT_EQ(m_fs.IsSameObject(a, bad, same).Path(), bad);
    EXPECT_EQ(m_fs.IsSameObject(bad, alsoBad, same).Path(), bad);
    EXPECT_EQ(ReadFile(a), "alpha");
    EXPECT_EQ(ReadFile(b), "beta");
}

TEST_F(Win32FileSystemTest, FileOpenForReadingCannotBeWrittenOrDeleted) {
    ASSERT_TRUE(WriteFile(m_dir.Path("f.txt"), "original"));
    const std::wstring path = Wide(m_dir.Path("f.txt"));
    {
        std::unique_ptr<engine::IReadFile> file;
        ASSERT_OK(m_fs.OpenRead(m_dir.Path("f.txt"), file));
        UniqueFileHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer.IsValid());
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(::DeleteFileW(path.c_str()));
        UniqueFileHandle reader(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(reader.IsValid()) << "other readers may go on reading";
    }
    UniqueFileHandle writer(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(writer.IsValid()) << "released with the reader";
}

TEST_F(Win32FileSystemTest, SourceThatCannotBeDeletedKeepsItsOnlyCopy) {
    if (!m_other) GTEST_SKIP() << "no second drive";
    ASSERT_TRUE(WriteFile(m_dir.Path("a.txt"), "alpha"));
    const std::wstring path = Wide(m_dir.Path("a.txt"));
    // Another program holds the file open for reading and lets no one delete it.
    UniqueFileHandle holder(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    EXPECT_STATUS_KIND(m_fs.Move(m_dir.Path("a.txt"), m_other->Path("a.txt")), ErrorKind::AccessDenied);
    holder.Reset();
    EXPECT_EQ(ReadFile(m_dir.Path("a.txt")), "alpha");
    EXPECT_EQ(ListTree(m_other->Root()), std::vector<std::string>{}) << "the copy must go again";
}

}  // namespace
}  // namespace tandemere::testing
