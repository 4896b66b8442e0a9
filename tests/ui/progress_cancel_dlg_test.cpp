// Window tests: the progress window's template, its bar, the Cancel flag and the message pump.
#include "ui/win32/progress_cancel_dlg_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>

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

TEST(ProgressWindow, ShowsTheTemplateCentredWithTheMoveTheItemAndTheBarAtZero) {
    uitest::COwnerWindow owner(60, 60, 700, 500);
    CProgressCancelDlg dialog;
    dialog.m_nShowDelayMs = 0;
    const HWND hwnd = dialog.Create(owner.Hwnd(), L"D:\\Archive\\Photos");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(dialog.GetHwnd(), hwnd);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), owner.Hwnd());
    EXPECT_EQ(uitest::WindowText(hwnd), L"Moving into D:\\Archive\\Photos - Tandemere");
    EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    const RECT placed = uitest::WindowRect(hwnd);
    const RECT under = uitest::WindowRect(owner.Hwnd());
    EXPECT_LE(std::abs((placed.left + placed.right) - (under.left + under.right)), 2);
    EXPECT_LE(std::abs((placed.top + placed.bottom) - (under.top + under.bottom)), 2);
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    EXPECT_EQ(style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(uitest::FontFace(hwnd), L"MS Shell Dlg");
    EXPECT_EQ(uitest::FontPoints(hwnd), 8);
    RECT client;
    ::GetClientRect(hwnd, &client);
    const RECT size = uitest::DialogUnitsToPixels(hwnd, 0, 0, 327, 84);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    uitest::ExpectControls(hwnd, {
                                     {218, L"Static", L"", SS_LEFT, SS_NOPREFIX, 7, 7, 313, 10},
                                     {219, L"Static", L"", SS_LEFT, SS_NOPREFIX, 7, 19, 313, 10},
                                     {217, L"msctls_progress32", L"", 0, 0, 7, 32, 313, 14},
                                     {216, L"Static", L"", SS_LEFT, SS_NOPREFIX, 7, 49, 313, 10},
                                     {2, L"Button", L"Cancel", BS_DEFPUSHBUTTON, WS_TABSTOP, 138, 63, 50, 14},
                                 });
    // The bar drops the template's WS_BORDER from its window when it is created: read the template.
    const std::vector<DWORD> styles = uitest::TemplateItemStyles(IDD_PROGRESS);
    ASSERT_EQ(styles.size(), 5u);
    EXPECT_TRUE(styles[2] & WS_BORDER);
    EXPECT_EQ(uitest::TabOrder(hwnd), (std::vector<int>{2}));
    EXPECT_EQ(dialog.m_hwndBar, ::GetDlgItem(hwnd, IDC_PROGRESS_BAR));
    EXPECT_EQ(BarPos(dialog), 0);
    EXPECT_FALSE(dialog.PumpAndCheckCancel());

    dialog.SetProgressRange(2005);
    const std::wstring deep = L"C:\\Work\\" + std::wstring(240, L'p') + L"\\holiday.jpg";
    const struct {
        int m_nDone;
        std::wstring m_strPath;
        const wchar_t* m_pszCount;
        const char* m_pszShot;
    } items[] = {
        {0, L"C:\\Work\\report.txt", L"Item 1 of 2,005", "progress_window"},
        {1504, deep, L"Item 1,505 of 2,005", "progress_window_long_path"},
        {2005, L"C:\\Work\\last.txt", L"Item 2,005 of 2,005", nullptr},
    };
    for (const auto& item : items) {
        SCOPED_TRACE(item.m_nDone);
        dialog.SetProgressPos(item.m_nDone);
        dialog.SetProgressItem(item.m_strPath);
        dialog.SetProgressBytes(item.m_nDone == 0 ? 0 : 1'500'000'000, 3'000'000'000);
        const std::wstring shown = uitest::WindowText(::GetDlgItem(hwnd, IDC_PROGRESS_ITEM));
        EXPECT_EQ(shown.find(L"...") != std::wstring::npos, item.m_strPath == deep) << shown;
        EXPECT_EQ(shown.substr(shown.rfind(L'\\')), item.m_strPath.substr(item.m_strPath.rfind(L'\\')));
        EXPECT_EQ(uitest::WindowText(::GetDlgItem(hwnd, IDC_PROGRESS_COUNT)), item.m_pszCount);
        EXPECT_EQ(BarPos(dialog), item.m_nDone);
        if (item.m_pszShot) uitest::SaveScreenshot(hwnd, item.m_pszShot);
    }
    EXPECT_EQ(uitest::WindowText(::GetDlgItem(hwnd, IDC_PROGRESS_BYTES)), L"1.4 GB of 2.8 GB");
    uitest::ExpectLaidOutWithoutOverlap(hwnd, {});

    dialog.Destroy();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(dialog.GetHwnd(), nullptr);
    EXPECT_EQ(dialog.m_hwndBar, nullptr);
}

TEST(ProgressWindow, StaysHiddenUntilTheMoveHasLastedAMoment) {
    CProgressCancelDlg dialog;
    EXPECT_EQ(dialog.m_nShowDelayMs, kProgressShowDelayMs);
    dialog.m_nShowDelayMs = 3'600'000;  // an hour: certainly not over before the checks below
    const HWND hwnd = dialog.Create(nullptr);
    ASSERT_NE(hwnd, nullptr);
    dialog.SetProgressRange(3);
    dialog.SetProgressPos(1);
    EXPECT_FALSE(dialog.PumpAndCheckCancel());
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    dialog.m_nShowDelayMs = 0;
    dialog.PumpAndCheckCancel();
    EXPECT_TRUE(::IsWindowVisible(hwnd));
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
    dialog.m_nShowDelayMs = 0;
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

TEST(ProgressWindow, TheCloseBoxEscapeAndEnterActAsCancelAndTheWindowStays) {
    const struct {
        const char* m_pszWay;
        void (*m_fnPress)(HWND);
    } ways[] = {
        {"SC_CLOSE", [](HWND hwnd) { ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [](HWND hwnd) { ::PostMessageW(hwnd, WM_CLOSE, 0, 0); }},
        {"Escape", [](HWND hwnd) { uitest::PressKey(hwnd, VK_ESCAPE); }},
        {"Enter", [](HWND hwnd) { uitest::PressKey(hwnd, VK_RETURN); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.m_pszWay);
        CProgressCancelDlg dialog;
        dialog.m_nShowDelayMs = 0;
        const HWND hwnd = dialog.Create(nullptr);
        ASSERT_NE(hwnd, nullptr);
        ::SetForegroundWindow(hwnd);
        EXPECT_FALSE(dialog.PumpAndCheckCancel());
        way.m_fnPress(hwnd);
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
