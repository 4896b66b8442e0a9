// Shell tests: a drop as the file manager makes it, end to end: the class found through the
// registered handler key, a real folder's ID list and the dragged items' data object, the drop
// menu, and the move run by InvokeCommand with its real windows answered by a watcher thread.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <functional>

#include "res/resource.h"
#include "tests/shell/shell_support.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/watcher_thread.h"
#include "tests/ui/window_driver.h"

namespace tandemere::shelltest {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

std::wstring StaticText(HWND box) {
    for (const auto& control : uitest::ReadControls(box)) {
        if (control.m_strClass == L"Static" && (control.m_nStyle & SS_TYPEMASK) != SS_ICON &&
            !control.m_strText.empty())
            return control.m_strText;
    }
    return std::wstring();
}

// Runs InvokeCommand while a watcher answers every window the move shows: the progress window is
// left alone, the log window is read and closed, every other one goes to `answer`.
struct CMoveDriver {
    HRESULT Invoke(IContextMenu* menu, HWND owner, LPCSTR verb, const std::function<void(HWND)>& answer) {
        uitest::CDialogSpy spy;
        const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        uitest::CWatcherTask watcher([&] {
            while (const HWND dialog = spy.WaitForDialog(done)) {
                uitest::Settle(dialog);
                if (::GetDlgItem(dialog, IDC_PROGRESS_BAR)) {
                    m_bProgressShown = true;
                    continue;
                }
                if (uitest::WindowText(dialog) == L"Tandemere - Log") {
                    m_strLog = uitest::WindowText(::GetDlgItem(dialog, IDC_LOG_TEXT));
                    ++m_nLogsShown;
                    uitest::Click(dialog, IDOK);
                    continue;
                }
                answer(dialog);
            }
        });
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.hwnd = owner;
        info.lpVerb = verb;
        info.nShow = SW_SHOWNORMAL;
        const HRESULT result = menu->InvokeCommand(&info);
        ::SetEvent(done);
        watcher.Join();
        ::CloseHandle(done);
        return result;
    }

    std::wstring m_strLog;
    int m_nLogsShown = 0;
    bool m_bProgressShown = false;
};

void NoAnswer(HWND dialog) {
    ADD_FAILURE() << "unexpected window: " << ::testing::PrintToString(StaticText(dialog));
}

class InvokeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        ClearSettings();
    }
    void TearDown() override { ::CoUninitialize(); }

    // The extension as the file manager gets it: the class named by the Directory handler key.
    IContextMenu* CreateRegistered() {
        if (Regsvr32(L"") != 0) {
            ADD_FAILURE() << "regsvr32 failed";
            return nullptr;
        }
        const auto handler =
            StringValue(HKEY_CLASSES_ROOT, L"Directory\\shellex\\DragDropHandlers\\TandemereShlExt", nullptr);
        CLSID clsid = {};
        if (!handler || ::CLSIDFromString(handler->c_str(), &clsid) != S_OK) {
            ADD_FAILURE() << "no handler key";
            return nullptr;
        }
        IContextMenu* menu = nullptr;
        EXPECT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                     reinterpret_cast<void**>(&menu)),
                  S_OK);
        return menu;
    }

    // The extension made through the DLL's own exports, without registration.
    IContextMenu* CreateThroughExports() {
        IClassFactory* factory = nullptr;
        IContextMenu* menu = nullptr;
        if (m_dll.GetClassObject(kClsidValue, IID_IClassFactory, reinterpret_cast<void**>(&factory)) ==
            S_OK) {
            EXPECT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)),
                      S_OK);
            factory->Release();
        }
        return menu;
    }

    HRESULT Initialize(IContextMenu* menu, const std::string& target, IDataObject* data) {
        IShellExtInit* init = nullptr;
        EXPECT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
        CIdList folder(target);
        const HRESULT result = init->Initialize(folder.m_pidl, data, nullptr);
        init->Release();
        return result;
    }

    CLoadedDll m_dll;
    TempFolder m_tmp;
    uitest::COwnerWindow m_owner{100, 100, 500, 400};
    CMoveDriver m_driver;
};

TEST_F(InvokeTest, TheChosenItemMovesTheDraggedItemsAndAsksWhereItMust) {
    ASSERT_TRUE(WriteFile(m_tmp.Path("src/a.txt"), "new a") && WriteFile(m_tmp.Path("src/b.txt"), "b") &&
                WriteFile(m_tmp.Path("src/Photos/p.jpg"), "jpeg") &&
                WriteFile(m_tmp.Path("dst/a.txt"), "old"));
    IContextMenu* menu = CreateRegistered();
    ASSERT_NE(menu, nullptr);
    IDataObject* data = ShellDataObject(m_tmp.Path("src"), {"a.txt", "b.txt", "Photos"});
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    data->Release();

    const HMENU drop = MakeMenu(kDropMenu);
    const UINT first = 0x7100;
    ASSERT_EQ(menu->QueryContextMenu(drop, 0, first, 0x7FFF, CMF_NORMAL),
              MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));
    const UINT chosen = MenuId(drop, 4);
    ::DestroyMenu(drop);

    std::wstring question;
    const HRESULT result =
        m_driver.Invoke(menu, m_owner.Hwnd(), MAKEINTRESOURCEA(chosen - first), [&](HWND prompt) {
            question = uitest::WindowText(::GetDlgItem(prompt, IDC_QUESTION));
            uitest::Click(prompt, IDC_ANSWER_SECOND);  // rename
        });
    menu->Release();

    EXPECT_EQ(result, S_OK);
    EXPECT_TRUE(m_driver.m_bProgressShown);
    EXPECT_EQ(
        question,
        L"Source file \"a.txt\" is unique, but a (different) destination file \"a.txt\" already exists.");
    EXPECT_EQ(
        m_driver.m_strLog,
        L"Moved source file \"a.txt\" to destination folder, naming it \"a (2).txt\" to avoid overwriting "
        L"different existing file \"a.txt\".\r\n"
        L"Moved source file \"b.txt\" to destination \"b.txt\" because the source file is unique and the "
        L"filename was not already being used.\r\n"
        L"Moved source folder \"Photos\\\" to destination as \"Photos\\\".\r\n");
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/a (2).txt")), "new a");
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/a.txt")), "old");
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/Photos/p.jpg")), "jpeg");
    EXPECT_FALSE(Exists(m_tmp.Path("src/a.txt")) || Exists(m_tmp.Path("src/b.txt")) ||
                 Exists(m_tmp.Path("src/Photos")));
    Regsvr32(L"/u");
}

TEST_F(InvokeTest, CancelInAPromptStopsTheMoveWithEFail) {
    ASSERT_TRUE(WriteFile(m_tmp.Path("src/a.txt"), "new a") && WriteFile(m_tmp.Path("src/z.txt"), "z") &&
                WriteFile(m_tmp.Path("dst/a.txt"), "old"));
    IContextMenu* menu = CreateRegistered();
    ASSERT_NE(menu, nullptr);
    IDataObject* data = DropDataObject({m_tmp.Path("src/a.txt"), m_tmp.Path("src/z.txt")});
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    data->Release();

    const HRESULT result =
        m_driver.Invoke(menu, m_owner.Hwnd(), nullptr, [](HWND prompt) { uitest::Click(prompt, IDCANCEL); });
    menu->Release();
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(m_driver.m_strLog, L"Cancelled by request.");
    EXPECT_TRUE(Exists(m_tmp.Path("src/a.txt")) && Exists(m_tmp.Path("src/z.txt")));
    Regsvr32(L"/u");
}

TEST_F(InvokeTest, AnyVerbButCommandOffsetZeroIsRefusedAndNothingHappens) {
    ASSERT_TRUE(WriteFile(m_tmp.Path("src/a.txt"), "a") && testing::MakeFolders(m_tmp.Path("dst")));
    IContextMenu* menu = CreateThroughExports();
    ASSERT_NE(menu, nullptr);
    IDataObject* data = DropDataObject({m_tmp.Path("src/a.txt")});
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    data->Release();

    for (LPCSTR verb : {static_cast<LPCSTR>(MAKEINTRESOURCEA(1)), static_cast<LPCSTR>("Tandemere"),
                        static_cast<LPCSTR>("")}) {
        EXPECT_EQ(m_driver.Invoke(menu, m_owner.Hwnd(), verb, NoAnswer), E_INVALIDARG);
    }
    EXPECT_EQ(menu->InvokeCommand(nullptr), E_INVALIDARG);
    EXPECT_FALSE(m_driver.m_bProgressShown);
    EXPECT_EQ(m_driver.m_nLogsShown, 0);
    EXPECT_TRUE(Exists(m_tmp.Path("src/a.txt")));
    menu->Release();
}

TEST_F(InvokeTest, ItemsFromSeveralFoldersWithLongAndWideNamesArriveWholeAndOnceEach) {
    // A name of CJK letters (outside every ANSI code page), and a path longer than MAX_PATH that a
    // 260-byte read would cut to another path: it moves like the others.
    const std::string wide = "\xE6\x96\x87\xE4\xBB\xB6.txt";
    const std::string longPath = m_tmp.Path("far/" + std::string(250, 'x') + ".txt");
    ASSERT_TRUE(WriteFile(m_tmp.Path("one/a.txt"), "a") && WriteFile(m_tmp.Path("two/" + wide), "wide") &&
                WriteFile(longPath, "far") && testing::MakeFolders(m_tmp.Path("dst")));
    IContextMenu* menu = CreateRegistered();
    ASSERT_NE(menu, nullptr);
    IDataObject* data = DropDataObject({m_tmp.Path("one/a.txt"), m_tmp.Path("two/" + wide), longPath});
    // The file manager may initialise one object twice: the second drop list replaces the first.
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    data->Release();

    const HRESULT result = m_driver.Invoke(menu, m_owner.Hwnd(), nullptr, NoAnswer);
    menu->Release();
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(
        m_driver.m_strLog,
        L"Moved source file \"a.txt\" to destination \"a.txt\" because the source file is unique and the "
        L"filename was not already being used.\r\n"
        L"Moved source file \"" +
            Wide(m_tmp.Path("two/" + wide)) + L"\" to destination \"" + Wide(wide) +
            L"\" because the source file is unique and the filename was not already being used.\r\n"
            L"Moved source file \"" +
            Wide(longPath) + L"\" to destination \"" + std::wstring(250, L'x') +
            L".txt\" because the source file is unique and the filename was not already being used.\r\n");
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/a.txt")), "a");
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/" + wide)), "wide");
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/" + std::string(250, 'x') + ".txt")), "far");
    Regsvr32(L"/u");
}

// The eighth settings value reaches the move from the machine's key, as the DLL reads it.
TEST_F(InvokeTest, DeleteToRecycleBinFromTheRegistrySendsReplacedAndDuplicateFilesToTheBin) {
    const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (wine && std::getenv("XDG_DATA_HOME") == nullptr)
        GTEST_SKIP() << "XDG_DATA_HOME is not set: Wine's bin would be the real home's trash";
    ASSERT_TRUE(WriteFile(m_tmp.Path("src/same.txt"), "same") && WriteFile(m_tmp.Path("dst/same.txt"), "same") &&
                WriteFile(m_tmp.Path("src/new.txt"), "new") && WriteFile(m_tmp.Path("dst/new.txt"), "old"));
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Ravelstock\\Tandemere", 0, nullptr, 0,
                                KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD on = 1;
    EXPECT_EQ(::RegSetValueExW(key, L"DeleteToRecycleBin", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on),
                               sizeof on),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    IContextMenu* menu = CreateThroughExports();
    ASSERT_NE(menu, nullptr);
    IDataObject* data = DropDataObject({m_tmp.Path("src/same.txt"), m_tmp.Path("src/new.txt")});
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    data->Release();

    const HRESULT result = m_driver.Invoke(menu, m_owner.Hwnd(), nullptr, [](HWND prompt) {
        uitest::Click(prompt, IDC_ANSWER_FIRST);  // overwrite
    });
    menu->Release();
    ClearSettings();
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(m_driver.m_strLog,
              L"Moved source file \"same.txt\" to the Recycle Bin, because destination file \"same.txt\" is the "
              L"same.\r\n"
              L"Moved different existing file \"new.txt\" to the Recycle Bin, to make room for source file "
              L"\"new.txt\".\r\n"
              L"Moved source file \"new.txt\" to destination folder, overwriting different existing file "
              L"\"new.txt\".\r\n");
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/new.txt")), "new");
    EXPECT_FALSE(Exists(m_tmp.Path("src/same.txt")) || Exists(m_tmp.Path("src/new.txt")));
}

TEST_F(InvokeTest, TheDropMenuShowsTheItemAndIsPhotographed) {
    IContextMenu* menu = CreateThroughExports();
    ASSERT_NE(menu, nullptr);
    const HMENU drop = MakeMenu(kDropMenu);
    ASSERT_EQ(menu->QueryContextMenu(drop, 0, 0x7100, 0x7FFF, CMF_NORMAL),
              MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));

    // The menu as the file manager shows it after a right-button drop, read back from its window.
    std::vector<std::wstring> shown;
    uitest::CWatcherTask watcher([&] {
        HWND popup = nullptr;
        for (int i = 0; i < 300 && !popup; ++i) {
            popup = ::FindWindowW(L"#32768", nullptr);
            if (popup && !::IsWindowVisible(popup)) popup = nullptr;
            if (!popup) ::Sleep(20);
        }
        if (!popup) {
            ADD_FAILURE() << "no menu window";
            ::PostMessageW(m_owner.Hwnd(), WM_CANCELMODE, 0, 0);
            return;
        }
        uitest::Settle(popup);
        shown = MenuTexts(reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0)));
        uitest::SaveScreenshot(::GetDesktopWindow(), "drop_menu");
        ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    ::SetForegroundWindow(m_owner.Hwnd());
    const RECT owner = uitest::WindowRect(m_owner.Hwnd());
    ::TrackPopupMenu(drop, TPM_RETURNCMD | TPM_LEFTALIGN, owner.left + 120, owner.top + 90, 0, m_owner.Hwnd(),
                     nullptr);
    watcher.Join();
    ::DestroyMenu(drop);
    menu->Release();
    std::vector<std::wstring> expected = kDropMenu;
    expected.insert(expected.end() - 1, L"&Tandemere");
    EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace tandemere::shelltest
