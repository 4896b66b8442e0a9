// Shell tests: a drop as the file manager makes it, end to end: the class found through the
// registered handler key, a real folder's ID list and the dragged items' data object, the drop
// menu, and the move run by InvokeCommand with its real windows answered by a watcher thread.
#include <gtest/gtest.h>
#include <shlobj.h>
// After the Windows headers it needs.
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/win32/journal_file_win32.h"
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
// noted and left alone, the log window is read and closed, every other one goes to `answer`.
struct CMoveDriver {
    HRESULT Invoke(IContextMenu* menu, HWND owner, LPCSTR verb, const std::function<void(HWND)>& answer) {
        CMINVOKECOMMANDINFOEX info = {};
        info.cbSize = sizeof(CMINVOKECOMMANDINFO);
        info.hwnd = owner;
        info.lpVerb = verb;
        info.nShow = SW_SHOWNORMAL;
        return Invoke(menu, info, answer);
    }

    HRESULT Invoke(IContextMenu* menu, CMINVOKECOMMANDINFOEX info, const std::function<void(HWND)>& answer) {
        uitest::CDialogSpy spy;
        spy.OnCreated([this](HWND dialog) {
            if (::GetDlgItem(dialog, IDC_PROGRESS_BAR)) m_bProgressCreated = true;
        });
        const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        uitest::CWatcherTask watcher([&] {
            while (const HWND dialog = spy.WaitForDialog(done)) {
                uitest::Settle(dialog);
                if (::GetDlgItem(dialog, IDC_PROGRESS_BAR)) continue;
                if (uitest::WindowText(dialog) == L"Tandemere - Log") {
                    m_strLog = uitest::WindowText(::GetDlgItem(dialog, IDC_LOG_TEXT));
                    ++m_nLogsShown;
                    uitest::Click(dialog, IDOK);
                    continue;
                }
                answer(dialog);
            }
        });
        const HRESULT result = menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
        ::SetEvent(done);
        watcher.Join();
        ::CloseHandle(done);
        return result;
    }

    std::wstring m_strLog;
    int m_nLogsShown = 0;
    bool m_bProgressCreated = false;
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
    EXPECT_TRUE(m_driver.m_bProgressCreated);
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

// What the test thread sees while a move runs: the owner's WM_ENABLE messages, and a second drop
// chosen from the owner's menu meanwhile (a timer that fires inside the move's message loops).
struct CNestedDrop {
    static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_ENABLE) {
            // The first change comes before the move's first window, when the move disables it.
            if (s_pThis->m_lstEnabled.empty()) {
                ::EnumThreadWindows(::GetCurrentThreadId(), &NoteDialog, 0);
            }
            s_pThis->m_lstEnabled.push_back(wParam != 0);
        }
        return ::CallWindowProcW(s_pThis->m_pfnOwnerProc, hwnd, message, wParam, lParam);
    }
    static BOOL CALLBACK NoteDialog(HWND window, LPARAM) {
        if (uitest::ClassName(window) == L"#32770") s_pThis->m_bWindowBeforeDisabled = true;
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.hwnd = s_pThis->m_hwndOwner;
        s_pThis->m_hrNested = s_pThis->m_pMenu->InvokeCommand(&info);
    }
    CNestedDrop(HWND owner, IContextMenu* menu) : m_hwndOwner(owner), m_pMenu(menu) {
        s_pThis = this;
        m_pfnOwnerProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OwnerProc)));
        m_nTimer = ::SetTimer(nullptr, 0, 0, &OnTimer);
    }
    ~CNestedDrop() {
        ::KillTimer(nullptr, m_nTimer);
        ::SetWindowLongPtrW(m_hwndOwner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnOwnerProc));
    }

    static inline CNestedDrop* s_pThis = nullptr;
    HWND m_hwndOwner;
    IContextMenu* m_pMenu;
    WNDPROC m_pfnOwnerProc = nullptr;
    UINT_PTR m_nTimer = 0;
    std::vector<bool> m_lstEnabled;
    bool m_bWindowBeforeDisabled = false;
    HRESULT m_hrNested = S_OK;
};

TEST_F(InvokeTest, CancelInAPromptStopsTheMoveWithEFailAndASecondDropMeanwhileIsRefused) {
    ASSERT_TRUE(WriteFile(m_tmp.Path("src/a.txt"), "new a") && WriteFile(m_tmp.Path("src/z.txt"), "z") &&
                WriteFile(m_tmp.Path("dst/a.txt"), "old"));
    IContextMenu* menu = CreateRegistered();
    ASSERT_NE(menu, nullptr);
    IDataObject* data = DropDataObject({m_tmp.Path("src/a.txt"), m_tmp.Path("src/z.txt")});
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    data->Release();

    // The prompt is cancelled only once the second drop was refused, whichever window came first.
    HWND prompt = nullptr;
    std::wstring refusal;
    CNestedDrop nested(m_owner.Hwnd(), menu);
    const HRESULT result = m_driver.Invoke(menu, m_owner.Hwnd(), nullptr, [&](HWND dialog) {
        const std::wstring text = StaticText(dialog);
        if (text.rfind(L"Tandemere didn't start", 0) == 0) {
            refusal = text;
            uitest::Click(dialog, IDOK);
        } else if (!prompt) {
            prompt = dialog;
        } else {
            ADD_FAILURE() << "a second move's window: " << ::testing::PrintToString(text);
            uitest::Click(dialog, IDCANCEL);
            refusal = L"-";
        }
        if (prompt && !refusal.empty()) uitest::ClickAsync(prompt, IDCANCEL);
    });
    menu->Release();
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(m_driver.m_strLog, L"Cancelled by request.");
    EXPECT_TRUE(Exists(m_tmp.Path("src/a.txt")) && Exists(m_tmp.Path("src/z.txt")));
    EXPECT_EQ(nested.m_hrNested, E_FAIL);
    EXPECT_EQ(refusal,
              L"Tandemere didn't start this move, because another move is still under way. Wait until it has "
              L"ended, then drop the items again.");
    // Disabled before the move's first window, enabled at its end. (Wine's dialog manager enables
    // the owner again when a modal window over it closes, even one it found disabled.)
    ASSERT_FALSE(nested.m_lstEnabled.empty());
    EXPECT_FALSE(nested.m_lstEnabled.front());
    EXPECT_FALSE(nested.m_bWindowBeforeDisabled);
    EXPECT_TRUE(nested.m_lstEnabled.back());
    EXPECT_TRUE(::IsWindowEnabled(m_owner.Hwnd()));
    Regsvr32(L"/u");
}

TEST_F(InvokeTest, AnyVerbButCommandOffsetZeroIsRefusedAndNothingHappens) {
    ASSERT_TRUE(WriteFile(m_tmp.Path("src/a.txt"), "a") && WriteFile(m_tmp.Path("dst/b.txt"), "b"));
    IContextMenu* menu = CreateThroughExports();
    ASSERT_NE(menu, nullptr);
    IDataObject* data = DropDataObject({m_tmp.Path("src/a.txt")});
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);

    // The size and the mask say which verb field counts; with both, they must agree.
    constexpr DWORD kPlain = sizeof(CMINVOKECOMMANDINFO);
    constexpr DWORD kEx = sizeof(CMINVOKECOMMANDINFOEX);
    struct Verb {
        DWORD m_nSize;
        DWORD m_nMask;
        LPCSTR m_pszVerb;
        LPCWSTR m_pszVerbW;
    };
    const Verb refused[] = {
        {kPlain, 0, MAKEINTRESOURCEA(1), nullptr},
        {kPlain, 0, "Tandemere", nullptr},
        {kPlain, 0, "", nullptr},
        {kEx, CMIC_MASK_UNICODE, nullptr, L"Tandemere"},
        {kEx, CMIC_MASK_UNICODE, nullptr, MAKEINTRESOURCEW(1)},
        {kEx, CMIC_MASK_UNICODE, "Tandemere", nullptr},
        {kEx, 0, MAKEINTRESOURCEA(1), nullptr},
        {0, 0, nullptr, nullptr},
    };
    for (const Verb& verb : refused) {
        CMINVOKECOMMANDINFOEX info = {};
        info.cbSize = verb.m_nSize;
        info.fMask = verb.m_nMask;
        info.hwnd = m_owner.Hwnd();
        info.lpVerb = verb.m_pszVerb;
        info.lpVerbW = verb.m_pszVerbW;
        EXPECT_EQ(m_driver.Invoke(menu, info, NoAnswer), E_INVALIDARG) << &verb - refused;
    }
    EXPECT_EQ(menu->InvokeCommand(nullptr), E_INVALIDARG);
    // A declined second drop leaves nothing ready to run, not the first drop.
    IDataObject* inTarget = DropDataObject({m_tmp.Path("dst/b.txt")});
    EXPECT_EQ(Initialize(menu, m_tmp.Path("dst"), inTarget), E_FAIL);
    inTarget->Release();
    EXPECT_EQ(m_driver.Invoke(menu, m_owner.Hwnd(), nullptr, NoAnswer), E_UNEXPECTED);
    EXPECT_FALSE(m_driver.m_bProgressCreated);
    EXPECT_EQ(m_driver.m_nLogsShown, 0);
    EXPECT_TRUE(Exists(m_tmp.Path("src/a.txt")));

    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    data->Release();
    CMINVOKECOMMANDINFOEX ours = {};
    ours.cbSize = kEx;
    ours.fMask = CMIC_MASK_UNICODE;
    ours.hwnd = m_owner.Hwnd();
    EXPECT_EQ(m_driver.Invoke(menu, ours, NoAnswer), S_OK);
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/a.txt")), "a");
    menu->Release();
}

TEST_F(InvokeTest, ItemsFromSeveralFoldersWithLongAndWideNamesArriveWholeAndOnceEach) {
    // A name of CJK letters (outside every ANSI code page), and a path longer than MAX_PATH that a
    // 260-byte read would cut to another path: it moves like the others.
    const std::string wide = "\xE6\x96\x87\xE4\xBB\xB6.txt";
    const std::string longPath = m_tmp.Path("far/" + std::string(250, 'x') + ".txt");
    // A name with an unpaired surrogate has no UTF-8 path; the file whose name shows it stays too.
    const std::string shown = m_tmp.Path("odd/x\xEF\xBF\xBD.txt");
    std::wstring unpaired = Wide(m_tmp.Path("odd/x"));
    unpaired += L"\xD800.txt";
    ASSERT_TRUE(WriteFile(m_tmp.Path("one/a.txt"), "a") && WriteFile(m_tmp.Path("two/" + wide), "wide") &&
                WriteFile(shown, "shown") && WriteFile(longPath, "far") &&
                testing::MakeFolders(m_tmp.Path("dst")));
    IContextMenu* menu = CreateRegistered();
    ASSERT_NE(menu, nullptr);
    IDataObject* data = DropDataObject(
        {Wide(m_tmp.Path("one/a.txt")), unpaired, Wide(m_tmp.Path("two/" + wide)), Wide(longPath)});
    // The file manager may initialise one object twice: the second drop list replaces the first.
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    ASSERT_EQ(Initialize(menu, m_tmp.Path("dst"), data), S_OK);
    data->Release();

    std::wstring errors;
    const HRESULT result = m_driver.Invoke(menu, m_owner.Hwnd(), nullptr, [&](HWND box) {
        errors += StaticText(box) + L"\r\n";
        uitest::Click(box, IDOK);
    });
    menu->Release();
    EXPECT_EQ(result, S_OK);
    const std::wstring unnamedError = L"ERROR: Couldn't move \"" + Wide(shown) +
                                      L"\", because its name is not valid Unicode (the character shown as "
                                      L"\xFFFD); it stays where it is\r\n";
    EXPECT_EQ(errors, unnamedError);
    EXPECT_EQ(
        m_driver.m_strLog,
        unnamedError +
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
    EXPECT_EQ(ReadFile(shown), "shown");
    Regsvr32(L"/u");
}

// The eighth settings value reaches the move from the machine's key, as the DLL reads it.
TEST_F(InvokeTest, DeleteToRecycleBinFromTheRegistrySendsReplacedAndDuplicateFilesToTheBin) {
    const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (wine && std::getenv("XDG_DATA_HOME") == nullptr)
        GTEST_SKIP() << "XDG_DATA_HOME is not set: Wine's bin would be the real home's trash";
    ASSERT_TRUE(WriteFile(m_tmp.Path("src/same.txt"), "same") &&
                WriteFile(m_tmp.Path("dst/same.txt"), "same") &&
                WriteFile(m_tmp.Path("src/new.txt"), "new") && WriteFile(m_tmp.Path("dst/new.txt"), "old"));
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Ravelstock\\Tandemere", 0, nullptr, 0,
                                KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD on = 1;
    const DWORD none = 0;
    EXPECT_EQ(::RegSetValueExW(key, L"DeleteToRecycleBin", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on),
                               sizeof on),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, L"KeepJournalCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&none),
                               sizeof none),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    const std::string journals = win32::DefaultJournalFolder();
    ASSERT_TRUE(WriteFile(journals + "\\20000101T000000.000000Z.journal", "journal\t1\n"));
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
    EXPECT_EQ(
        m_driver.m_strLog,
        L"Moved source file \"same.txt\" to the Recycle Bin, because destination file \"same.txt\" is the "
        L"same.\r\n"
        L"Moved different existing file \"new.txt\" to the Recycle Bin, to make room for source file "
        L"\"new.txt\".\r\n"
        L"Moved source file \"new.txt\" to destination folder, overwriting different existing file "
        L"\"new.txt\".\r\n");
    EXPECT_EQ(ReadFile(m_tmp.Path("dst/new.txt")), "new");
    EXPECT_FALSE(Exists(m_tmp.Path("src/same.txt")) || Exists(m_tmp.Path("src/new.txt")));
    // The move's journal alone stays (KeepJournalCount 0); the bin names no file it keeps.
    const std::vector<std::string> names = win32::ListJournals(journals);
    ASSERT_EQ(names.size(), 1u);
    const std::vector<engine::JournalRecord> records =
        engine::ParseJournal(ReadFile(journals + "\\" + names[0] + ".journal"));
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](const engine::JournalRecord& record) {
        return record.m_nKind == engine::JournalKind::Trashed &&
               record.m_lstFields.at(0) == m_tmp.Path("src/same.txt") && record.m_lstFields.at(5).empty();
    }));
}

// The file manager's window of a folder, started for the picture and closed with it.
class CFolderWindow {
public:
    explicit CFolderWindow(const std::string& folder) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        std::wstring command = L"explorer.exe \"" + Wide(folder) + L"\"";
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &m_oProcess))
            return;
        for (int i = 0; i < 300 && !m_hWnd; ++i) {
            ::EnumWindows(&FindOwn, reinterpret_cast<LPARAM>(this));
            if (!m_hWnd) ::Sleep(50);
        }
        if (m_hWnd) ::SetWindowPos(m_hWnd, HWND_TOP, 60, 50, 760, 480, SWP_SHOWWINDOW);
    }
    ~CFolderWindow() {
        if (m_hWnd) ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        if (!m_oProcess.hProcess) return;
        if (::WaitForSingleObject(m_oProcess.hProcess, 10000) != WAIT_OBJECT_0)
            ::TerminateProcess(m_oProcess.hProcess, 1);
        ::CloseHandle(m_oProcess.hThread);
        ::CloseHandle(m_oProcess.hProcess);
    }
    HWND Hwnd() const { return m_hWnd; }

private:
    static BOOL CALLBACK FindOwn(HWND hwnd, LPARAM self) {
        auto* window = reinterpret_cast<CFolderWindow*>(self);
        DWORD process = 0;
        ::GetWindowThreadProcessId(hwnd, &process);
        if (process != window->m_oProcess.dwProcessId || !::IsWindowVisible(hwnd)) return TRUE;
        window->m_hWnd = hwnd;
        return FALSE;
    }
    PROCESS_INFORMATION m_oProcess = {};
    HWND m_hWnd = nullptr;
};

TEST_F(InvokeTest, TheDropMenuShowsTheItemAndIsPhotographed) {
    // What a user sees: the folder the items were dragged from beside the one they were dropped on.
    for (const char* file : {"Downloads/report.pdf", "Downloads/photo.jpg", "Documents/notes.txt",
                             "Documents/report.pdf", "budget.xlsx"})
        ASSERT_TRUE(WriteFile(m_tmp.Path(file), file));
    CFolderWindow folder(m_tmp.Path());
    ASSERT_NE(folder.Hwnd(), nullptr) << "no file manager window";
    ::ShowWindow(m_owner.Hwnd(), SW_HIDE);
    uitest::COwnerWindow popupOwner(0, 0, 1, 1, false);
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
            ::PostMessageW(popupOwner.Hwnd(), WM_CANCELMODE, 0, 0);
            return;
        }
        uitest::Settle(folder.Hwnd());
        uitest::Settle(popup);
        shown = MenuTexts(reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0)));
        uitest::SaveScreenshot(::GetDesktopWindow(), "drop_menu");
        ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    ::SetForegroundWindow(popupOwner.Hwnd());
    const RECT window = uitest::WindowRect(folder.Hwnd());
    ::TrackPopupMenu(drop, TPM_RETURNCMD | TPM_LEFTALIGN, window.left + 260, window.top + 170, 0,
                     popupOwner.Hwnd(), nullptr);
    watcher.Join();
    ::DestroyMenu(drop);
    menu->Release();
    std::vector<std::wstring> expected = kDropMenu;
    expected.insert(expected.end() - 1, L"&Tandemere");
    EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace tandemere::shelltest
