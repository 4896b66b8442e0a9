// Window tests: the dialog spy (a hook on the test thread), the watcher thread, control read-back
// and screenshots.
#include "tests/ui/window_driver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <deque>
#include <mutex>
#include <utility>

#include "tests/ui/png_writer.h"
#include "tests/ui/watcher_thread.h"
#include "ui/win32/text_fit_win32.h"

namespace tandemere::uitest {

namespace {

// Generous: only reached when something is broken, never waited out by a passing test.
constexpr DWORD kLongWaitMs = 30000;

struct SpyState {
    std::mutex m_mutex;
    std::deque<HWND> m_lstPending;
    std::vector<HWND> m_lstSeen;
    HANDLE m_hAvailable = nullptr;
    HHOOK m_hHook = nullptr;
    std::function<void(HWND)> m_fnOnCreated;
};
SpyState* g_pSpy = nullptr;

bool IsTopLevelDialog(HWND hwnd) {
    if (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) return false;
    return ClassName(hwnd) == L"#32770";
}

LRESULT CALLBACK SpyHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_pSpy) {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (call->message == WM_INITDIALOG && g_pSpy->m_fnOnCreated && IsTopLevelDialog(call->hwnd))
            g_pSpy->m_fnOnCreated(call->hwnd);
        if (call->message == WM_WINDOWPOSCHANGED) {
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(call->lParam);
            if ((pos->flags & SWP_SHOWWINDOW) && IsTopLevelDialog(call->hwnd)) {
                std::lock_guard<std::mutex> lock(g_pSpy->m_mutex);
                g_pSpy->m_lstPending.push_back(call->hwnd);
                g_pSpy->m_lstSeen.push_back(call->hwnd);
                ::ReleaseSemaphore(g_pSpy->m_hAvailable, 1, nullptr);
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD ThreadOf(HWND hwnd) {
    return ::GetWindowThreadProcessId(hwnd, nullptr);
}

}  // namespace

HWND FocusedControl(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (::GetGUIThreadInfo(ThreadOf(dialog), &info) && info.hwndFocus) return info.hwndFocus;
    return dialog;
}

namespace {

std::wstring ScreenshotFolder() {
    std::wstring folder;
    for (const char* p = TANDEMERE_SCREENSHOT_DIR; *p; ++p) folder += static_cast<wchar_t>(*p);
    // A Unix path of the build folder reaches Wine's file calls through drive Z:.
    if (!folder.empty() && folder[0] == L'/') folder = L"Z:" + folder;
    return folder;
}

}  // namespace

CDialogSpy::CDialogSpy() {
    auto* state = new SpyState;
    state->m_hAvailable = ::CreateSemaphoreW(nullptr, 0, 1000, nullptr);
    state->m_hHook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &SpyHook, nullptr, ::GetCurrentThreadId());
    EXPECT_NE(state->m_hHook, nullptr) << "SetWindowsHookEx failed: " << ::GetLastError();
    g_pSpy = state;
}

CDialogSpy::~CDialogSpy() {
    SpyState* state = g_pSpy;
    g_pSpy = nullptr;
    if (state->m_hHook) ::UnhookWindowsHookEx(state->m_hHook);
    ::CloseHandle(state->m_hAvailable);
    delete state;
}

HWND CDialogSpy::WaitForDialog(HANDLE stop) {
    HANDLE handles[2] = {g_pSpy->m_hAvailable, stop};
    const DWORD count = stop ? 2 : 1;
    if (::WaitForMultipleObjects(count, handles, FALSE, kLongWaitMs) != WAIT_OBJECT_0) return nullptr;
    std::lock_guard<std::mutex> lock(g_pSpy->m_mutex);
    const HWND hwnd = g_pSpy->m_lstPending.front();
    g_pSpy->m_lstPending.pop_front();
    return hwnd;
}

void CDialogSpy::OnCreated(std::function<void(HWND)> callback) {
    g_pSpy->m_fnOnCreated = std::move(callback);
}

std::vector<HWND> CDialogSpy::OpenDialogs() {
    std::lock_guard<std::mutex> lock(g_pSpy->m_mutex);
    std::vector<HWND> open;
    for (auto it = g_pSpy->m_lstSeen.rbegin(); it != g_pSpy->m_lstSeen.rend(); ++it) {
        if (::IsWindow(*it)) open.push_back(*it);
    }
    return open;
}

INT_PTR RunModal(const std::function<INT_PTR()>& show,
                 const std::function<void(CDialogSpy& spy, HWND dialog)>& drive) {
    CDialogSpy spy;
    const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CWatcherTask watcher([&] {
        const HWND dialog = spy.WaitForDialog(done);
        if (!dialog) {
            ADD_FAILURE() << "no dialog was shown";
            return;
        }
        Settle(dialog);
        drive(spy, dialog);
        if (!::testing::Test::HasFailure() && ::WaitForSingleObject(done, kLongWaitMs) == WAIT_OBJECT_0)
            return;
        if (!::testing::Test::HasFailure()) ADD_FAILURE() << "the window stayed open";
        // Close whatever is left, innermost first, so the test thread gets out of its modal loops.
        do {
            for (HWND open : spy.OpenDialogs()) ::PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
        } while (::WaitForSingleObject(done, 200) == WAIT_TIMEOUT);
    });
    const INT_PTR result = show();
    ::SetEvent(done);
    watcher.Join();
    ::CloseHandle(done);
    return result;
}

void Settle(HWND hwnd) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, kLongWaitMs, &ignored);
    ::RedrawWindow(hwnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, kLongWaitMs, &ignored);
}

void Click(HWND dialog, int id) {
    const HWND button = ::GetDlgItem(dialog, id);
    ASSERT_NE(button, nullptr) << "no control " << id;
    ::SendMessageW(button, BM_CLICK, 0, 0);
}

bool WaitUntilClosed(HWND hwnd) {
    for (DWORD waited = 0; ::IsWindow(hwnd); waited += 10) {
        if (waited >= kLongWaitMs) return false;
        ::Sleep(10);
    }
    return true;
}

void ClickAsync(HWND dialog, int id) {
    const HWND button = ::GetDlgItem(dialog, id);
    ASSERT_NE(button, nullptr) << "no control " << id;
    ::SendNotifyMessageW(button, BM_CLICK, 0, 0);
}

void PressKey(HWND dialog, UINT virtualKey) {
    const HWND target = FocusedControl(dialog);
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    ::PostMessageW(target, WM_KEYDOWN, virtualKey, scan | 1);
    ::PostMessageW(target, WM_KEYUP, virtualKey, scan | 1 | (1 << 30) | (1u << 31));
}

void PressChar(HWND dialog, wchar_t ch) {
    ::PostMessageW(FocusedControl(dialog), WM_CHAR, ch, 1);
}

bool IsChecked(HWND dialog, int id) {
    return ::SendMessageW(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring WindowText(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

std::vector<ControlInfo> ReadControls(HWND dialog) {
    std::vector<ControlInfo> controls;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ControlInfo info;
        info.m_hwnd = child;
        info.m_nId = static_cast<short>(::GetDlgCtrlID(child));  // group boxes carry -1 (0xFFFF)
        info.m_strClass = ClassName(child);
        info.m_strText = WindowText(child);
        info.m_nStyle = static_cast<DWORD>(::GetWindowLongW(child, GWL_STYLE));
        ::GetWindowRect(child, &info.m_rc);
        ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&info.m_rc), 2);
        controls.push_back(info);
    }
    return controls;
}

std::vector<int> TabOrder(HWND dialog) {
    std::vector<int> ids;
    const HWND first = ::GetNextDlgTabItem(dialog, nullptr, FALSE);
    HWND item = first;
    while (item && ids.size() < 64) {
        ids.push_back(static_cast<short>(::GetDlgCtrlID(item)));
        item = ::GetNextDlgTabItem(dialog, item, FALSE);
        if (item == first) break;
    }
    return ids;
}

RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height) {
    // MapDialogRect converts each field on its own, as the dialog manager converts a control's
    // position and size: so the size is mapped, not the right and bottom edges.
    RECT units = {x, y, width, height};
    ::MapDialogRect(dialog, &units);
    return RECT{units.left, units.top, units.left + units.right, units.top + units.bottom};
}

void ExpectControls(HWND dialog, const std::vector<ExpectedControl>& rows) {
    const std::vector<ControlInfo> controls = ReadControls(dialog);
    ASSERT_EQ(controls.size(), rows.size()) << "number of controls";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ExpectedControl& row = rows[i];
        const ControlInfo& control = controls[i];
        SCOPED_TRACE(testing::Message() << "control #" << i << " (id " << row.m_nId << ")");
        EXPECT_EQ(control.m_nId, row.m_nId);
        EXPECT_EQ(control.m_strClass, row.m_pszClass);
        EXPECT_EQ(control.m_strText, row.m_strText);
        const DWORD typeMask = control.m_strClass == L"Static" ? SS_TYPEMASK : BS_TYPEMASK;
        if (control.m_strClass == L"Static" || control.m_strClass == L"Button") {
            EXPECT_EQ(control.m_nStyle & typeMask, row.m_nType) << std::hex << "style " << control.m_nStyle;
        }
        EXPECT_EQ(control.m_nStyle & row.m_nStyles, row.m_nStyles)
            << std::hex << "style " << control.m_nStyle;
        EXPECT_TRUE(control.m_nStyle & WS_VISIBLE);
        const RECT expected = DialogUnitsToPixels(dialog, row.m_nX, row.m_nY, row.m_nWidth, row.m_nHeight);
        EXPECT_EQ(control.m_rc.left, expected.left);
        EXPECT_EQ(control.m_rc.top, expected.top);
        EXPECT_EQ(control.m_rc.right, expected.right);
        EXPECT_EQ(control.m_rc.bottom, expected.bottom);
    }
}

std::vector<DWORD> TemplateItemStyles(int templateId) {
    std::vector<DWORD> styles;
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC resource =
        ::FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (!resource) return styles;
    const auto* p = static_cast<const WORD*>(::LockResource(::LoadResource(module, resource)));
    if (!p || p[1] != 0xFFFF) return styles;  // only extended templates
    const auto dword = [](const WORD* at) {
        return static_cast<DWORD>(at[0]) | (static_cast<DWORD>(at[1]) << 16);
    };
    const DWORD style = dword(p + 6);
    const WORD count = p[8];
    const WORD* at = p + 13;
    const auto skipNameOrOrdinal = [](const WORD* w) {
        if (*w == 0xFFFF) return w + 2;
        while (*w) ++w;
        return w + 1;
    };
    at = skipNameOrOrdinal(at);  // menu
    at = skipNameOrOrdinal(at);  // class
    at = skipNameOrOrdinal(at);  // title
    if (style & (DS_SETFONT | DS_FIXEDSYS))
        at = skipNameOrOrdinal(at + 3);  // size, weight, italic+charset, face
    for (WORD i = 0; i < count; ++i) {
        at = reinterpret_cast<const WORD*>((reinterpret_cast<std::uintptr_t>(at) + 3) & ~std::uintptr_t(3));
        styles.push_back(dword(at + 4));
        at += 12;                    // help id, ex style, style, x, y, cx, cy, id
        at = skipNameOrOrdinal(at);  // class
        at = skipNameOrOrdinal(at);  // title
        const WORD extra = *at++;
        at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + extra);
    }
    return styles;
}

std::wstring FontFace(HWND dialog) {
    LOGFONTW font = {};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font.lfFaceName;
}

int FontPoints(HWND dialog) {
    LOGFONTW font = {};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    const int height = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
    return (height * 72 + dpi / 2) / dpi;
}

namespace {
struct TipSearch {
    HWND m_hDialog;
    HWND m_hTip = nullptr;
};

// A named CALLBACK function: a lambda does not convert to the 32-bit build's stdcall pointer.
BOOL CALLBACK FindDialogsTip(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<TipSearch*>(data);
    if (::GetWindow(hwnd, GW_OWNER) != search->m_hDialog || ClassName(hwnd) != TOOLTIPS_CLASSW) return TRUE;
    search->m_hTip = hwnd;
    return FALSE;
}
}  // namespace

std::wstring ToolTipText(HWND dialog, int id) {
    TipSearch search{dialog};
    ::EnumThreadWindows(ThreadOf(dialog), &FindDialogsTip, reinterpret_cast<LPARAM>(&search));
    if (!search.m_hTip) return std::wstring();
    std::vector<wchar_t> buffer(8192, L'\0');
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(dialog, id));
    tool.lpszText = buffer.data();
    ::SendMessageW(search.m_hTip, TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&tool));
    return buffer.data();
}

void ExpectLaidOutWithoutOverlap(HWND dialog, const std::vector<int>& fitted) {
    RECT client;
    ::GetClientRect(dialog, &client);
    std::vector<ControlInfo> shown;
    for (const ControlInfo& control : ReadControls(dialog)) {
        if (!::IsWindowVisible(control.m_hwnd) || control.m_strClass == L"tooltips_class32") continue;
        RECT inside;
        ::IntersectRect(&inside, &control.m_rc, &client);
        EXPECT_TRUE(::EqualRect(&inside, &control.m_rc))
            << "control " << control.m_nId << " leaves the window";
        const bool groupBox =
            control.m_strClass == L"Button" && (control.m_nStyle & BS_TYPEMASK) == BS_GROUPBOX;
        if (!groupBox) shown.push_back(control);
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            RECT both;
            EXPECT_FALSE(::IntersectRect(&both, &shown[i].m_rc, &shown[j].m_rc))
                << "controls " << shown[i].m_nId << " and " << shown[j].m_nId << " overlap";
        }
    }
    for (int id : fitted) {
        const HWND control = ::GetDlgItem(dialog, id);
        RECT rc;
        ::GetClientRect(control, &rc);
        EXPECT_LE(win32::TextHeight(control, WindowText(control)), rc.bottom) << "static " << id << " is cut";
    }
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* locked = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = locked;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

void SaveScreenshot(HWND hwnd, const std::string& shotName) {
    Settle(hwnd);
    std::string name = shotName;
    if (const HDC screen = ::GetDC(nullptr)) {
        const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        if (dpi != 96) name += "_" + std::to_string(dpi) + "dpi";
    }
    const RECT rc = WindowRect(hwnd);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC source = ::GetWindowDC(hwnd);
    const HDC memory = ::CreateCompatibleDC(source);
    const HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    const BOOL copied = ::BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    ::GdiFlush();

    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        rgb[i * 3 + 0] = pixels[i * 4 + 2];
        rgb[i * 3 + 1] = pixels[i * 4 + 1];
        rgb[i * 3 + 2] = pixels[i * 4 + 0];
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(hwnd, source);
    ASSERT_TRUE(copied) << "BitBlt failed";

    const std::wstring folder = ScreenshotFolder();
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = folder + L"/";
    for (char c : name) path += static_cast<wchar_t>(c);
    path += L".png";
    EXPECT_TRUE(WritePng(path, width, height, rgb)) << "could not write the screenshot " << name;
}

COwnerWindow::COwnerWindow(int x, int y, int width, int height, bool visible) {
    static const ATOM s_class = [] {
        WNDCLASSW cls = {};
        cls.lpfnWndProc = &::DefWindowProcW;
        cls.hInstance = ::GetModuleHandleW(nullptr);
        cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        cls.lpszClassName = L"TandemereTestOwner";
        return ::RegisterClassW(&cls);
    }();
    m_hWnd =
        ::CreateWindowExW(0, MAKEINTATOM(s_class), L"Owner", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                          x, y, width, height, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    const DWORD error = ::GetLastError();
    EXPECT_NE(m_hWnd, nullptr) << "class atom " << s_class << ", error " << error;
}

COwnerWindow::~COwnerWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

RECT WorkArea() {
    RECT area = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

RECT WindowRect(HWND hwnd) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

}  // namespace tandemere::uitest
