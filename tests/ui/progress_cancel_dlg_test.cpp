// Window tests: the progress window's template, its bar, the Cancel flag and the message pump.
#include "ui/win32/progress_cancel_dlg_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include "res/resource.h"
#include "tests/ui/window_driver.h"

namespace tandemere::win32 {
namespace {

int BarPos(const CProgressCancelDlg& dialog) {
    return static_cast<int>(::SendMessageW(dialog.m_hwndBar, PBM_GETPOS, 0, 0));
}

PBRANGE BarRange(const CProgressCancelDlg& dialog) {
    PBRANGE range = {-1, -1};
    ::SendMessageW(dialog.m_hwndBar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    return range;
}

TEST(ProgressWindow, ShowsTheTemplateAtOnceWithTheBarAtZero) {
    uitest::COwnerWindow owner(60, 60, 500, 300);
    CProgressCancelDlg dialog;
    const HWND hwnd = dialog.Create(owner.Hwnd());
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(dialog.GetHwnd(), hwnd);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), owner.Hwnd());
    EXPECT_EQ(uitest::WindowText(hwnd), L"Dialog");
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    EXPECT_EQ(style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(uitest::FontFace(hwnd), L"MS Sans Serif");
    EXPECT_EQ(uitest::FontPoints(hwnd), 8);
    RECT client;
    ::GetClientRect(hwnd, &client);
    const RECT size = uitest::DialogUnitsToPixels(hwnd, 0, 0, 327, 52);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    uitest::ExpectControls(hwnd, {
                                     {2, L"Button", L"Cancel", BS_PUSHBUTTON, WS_TABSTOP, 139, 30, 50, 16},
                                     {217, L"msctls_progress32", L"", 0, 0, 7, 7, 313, 14},
                                 });
    // The bar drops the template's WS_BORDER from its window when it is created: read the template.
    const std::vector<DWORD> styles = uitest::TemplateItemStyles(IDD_PROGRESS);
    ASSERT_EQ(styles.size(), 2u);
    EXPECT_TRUE(styles[1] & WS_BORDER);
    EXPECT_EQ(styles[0] & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON)) << "no default button";
    EXPECT_EQ(uitest::TabOrder(hwnd), (std::vector<int>{2}));
    EXPECT_EQ(dialog.m_hwndBar, ::GetDlgItem(hwnd, IDC_PROGRESS_BAR));
    EXPECT_EQ(BarPos(dialog), 0);
    EXPECT_FALSE(dialog.PumpAndCheckCancel());

    dialog.SetProgressRange(10);
    dialog.SetProgressPos(4);
    EXPECT_EQ(BarPos(dialog), 4);
    uitest::SaveScreenshot(hwnd, "progress_window");

    dialog.Destroy();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(dialog.GetHwnd(), nullptr);
    EXPECT_EQ(dialog.m_hwndBar, nullptr);
}

TEST(ProgressWindow, KeepsTheLow16BitsOfTheTotalAndClampsThePosition) {
    CProgressCancelDlg dialog;
    ASSERT_NE(dialog.Create(nullptr), nullptr);
    const struct {
        std::uint32_t m_nTotal;
        int m_nHigh;
    } ranges[] = {{0, 0}, {1, 1}, {10, 10}, {65535, 65535}, {65536, 0}, {70000, 70000 - 65536}};
    for (const auto& range : ranges) {
        SCOPED_TRACE(testing::Message() << "total " << range.m_nTotal);
        dialog.SetProgressRange(range.m_nTotal);
        const PBRANGE got = BarRange(dialog);
        EXPECT_EQ(got.iLow, 0);
        EXPECT_EQ(got.iHigh, range.m_nHigh);
    }
    dialog.SetProgressRange(10);
    const struct { int m_nSet, m_nShown; } positions[] = {{3, 3}, {10, 10}, {15, 10}, {-5, 0}, {7, 7}};
    for (const auto& position : positions) {
        SCOPED_TRACE(testing::Message() << "position " << position.m_nSet);
        dialog.SetProgressPos(position.m_nSet);
        EXPECT_EQ(BarPos(dialog), position.m_nShown);
    }
}

TEST(ProgressWindow, OkIsIgnoredAndCancelOnlyRaisesTheFlag) {
    CProgressCancelDlg dialog;
    const HWND hwnd = dialog.Create(nullptr);
    ASSERT_NE(hwnd, nullptr);

    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0);  // not a click
    EXPECT_FALSE(dialog.PumpAndCheckCancel());
    EXPECT_TRUE(::IsWindowVisible(hwnd));

    uitest::Click(hwnd, IDCANCEL);
    EXPECT_TRUE(dialog.PumpAndCheckCancel());
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    uitest::Click(hwnd, IDCANCEL);
    EXPECT_TRUE(dialog.PumpAndCheckCancel());

    dialog.Destroy();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_TRUE(dialog.PumpAndCheckCancel()) << "the flag is never cleared";
}

TEST(ProgressWindow, TheCloseBoxActsAsCancelAndTheWindowStays) {
    for (UINT message : {static_cast<UINT>(WM_SYSCOMMAND), static_cast<UINT>(WM_CLOSE)}) {
        SCOPED_TRACE(message == WM_CLOSE ? "WM_CLOSE" : "SC_CLOSE");
        CProgressCancelDlg dialog;
        const HWND hwnd = dialog.Create(nullptr);
        ASSERT_NE(hwnd, nullptr);
        ::PostMessageW(hwnd, message, message == WM_CLOSE ? 0 : SC_CLOSE, 0);
        EXPECT_TRUE(dialog.PumpAndCheckCancel());
        EXPECT_TRUE(::IsWindowVisible(hwnd));
    }
}

// Counts the messages it receives.
LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) ++*reinterpret_cast<int*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(ProgressWindow, PumpDispatchesEveryPendingMessageAndKeepsAQuit) {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = &CountingProc;
    cls.hInstance = ::GetModuleHandleW(nullptr);
    cls.lpszClassName = L"TandemereTestCounter";
    ::RegisterClassW(&cls);
    const HWND counter = ::CreateWindowExW(0, cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           cls.hInstance, nullptr);
    ASSERT_NE(counter, nullptr);
    int received = 0;
    ::SetWindowLongPtrW(counter, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));

    CProgressCancelDlg dialog;
    ASSERT_NE(dialog.Create(nullptr), nullptr);
    for (int i = 0; i < 5; ++i) ::PostMessageW(counter, WM_APP, 0, 0);
    EXPECT_FALSE(dialog.PumpAndCheckCancel());
    EXPECT_EQ(received, 5);
    MSG message;
    EXPECT_FALSE(::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE));

    ::PostQuitMessage(7);
    EXPECT_FALSE(dialog.PumpAndCheckCancel());
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
    ::DestroyWindow(counter);
}

TEST(ProgressWindow, WithoutAWindowTheBarCallsDoNothing) {
    CProgressCancelDlg dialog;
    dialog.SetProgressRange(5);
    dialog.SetProgressPos(3);
    EXPECT_FALSE(dialog.PumpAndCheckCancel());
    dialog.Destroy();
    EXPECT_EQ(dialog.GetHwnd(), nullptr);
}

TEST(ProgressWindow, DestroyedWithTheObject) {
    HWND hwnd = nullptr;
    {
        CProgressCancelDlg dialog;
        hwnd = dialog.Create(nullptr);
        ASSERT_NE(hwnd, nullptr);
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

}  // namespace
}  // namespace tandemere::win32
