// Windows user interface layer: the dialog thunk, modal and modeless creation, centring.
#include "ui/win32/dialog_base_win32.h"

#include <utility>

#include "res/resource.h"

namespace tandemere::win32 {

HINSTANCE ResourceModule() {
    static HINSTANCE s_hModule = [] {
        HMODULE module = nullptr;
        // The address of a function of ours names the binary we are linked into, DLL or program.
        if (!::GetModuleHandleExW(
                GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                reinterpret_cast<LPCWSTR>(&ResourceModule), &module)) {
            module = ::GetModuleHandleW(nullptr);
        }
        return module;
    }();
    return s_hModule;
}

void CenterOverOwner(HWND hwnd) {
    RECT rcDlg;
    if (!::GetWindowRect(hwnd, &rcDlg)) return;

    const HWND owner = ::GetWindow(hwnd, GW_OWNER);
    const bool overOwner = owner && ::IsWindowVisible(owner) && !::IsIconic(owner);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    const HMONITOR hMonitor = ::MonitorFromWindow(overOwner ? owner : hwnd, MONITOR_DEFAULTTONEAREST);
    if (!::GetMonitorInfoW(hMonitor, &monitor)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    }
    const RECT& rcArea = monitor.rcWork;

    RECT rcCenter = rcArea;
    if (overOwner) ::GetWindowRect(owner, &rcCenter);

    const int width = rcDlg.right - rcDlg.left;
    const int height = rcDlg.bottom - rcDlg.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - width / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - height / 2;
    // Inside the work area; when the window is larger than the area its top-left corner wins.
    if (x + width > rcArea.right) x = rcArea.right - width;
    if (x < rcArea.left) x = rcArea.left;
    if (y + height > rcArea.bottom) y = rcArea.bottom - height;
    if (y < rcArea.top) y = rcArea.top;

    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetProductIcon(HWND hwnd) {
    // Shared icons belong to the module: nothing to destroy.
    for (const auto& [which, size] : {std::pair{ICON_SMALL, SM_CXSMICON}, std::pair{ICON_BIG, SM_CXICON}}) {
        const int pixels = ::GetSystemMetrics(size);
        const HANDLE icon = ::LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDI_TANDEMERE), IMAGE_ICON,
                                         pixels, pixels, LR_SHARED);
        if (icon) ::SendMessageW(hwnd, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    }
}

CDialogBase::~CDialogBase() = default;

INT_PTR CDialogBase::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetProductIcon(m_hWnd);
            return OnInitDialog();
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK CDialogBase::DialogProcThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogBase* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogBase*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        if (self) self->m_hWnd = hwnd;
    } else {
        self = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT and the creation messages) get the default handling.
    if (!self) return FALSE;

    INT_PTR result = FALSE;
    try {
        result = self->DialogProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into USER32.
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

INT_PTR CModalDialog::ShowModal(HWND owner) {
    return ::DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(TemplateId()), owner, &DialogProcThunk,
                             reinterpret_cast<LPARAM>(static_cast<CDialogBase*>(this)));
}

BOOL CModalDialog::OnInitDialog() {
    CenterOverOwner(m_hWnd);
    return TRUE;
}

bool CModalDialog::OnCommand(WORD id, WORD code, HWND control) {
    (void)code, (void)control;
    if (id >= IDOK && id <= IDNO) {
        ::EndDialog(m_hWnd, id);
        return true;
    }
    return false;
}

HWND CModelessDialog::Create(HWND owner) {
    if (m_hWnd) return m_hWnd;
    return ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(TemplateId()), owner, &DialogProcThunk,
                                reinterpret_cast<LPARAM>(static_cast<CDialogBase*>(this)));
}

void CModelessDialog::Destroy() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

CModelessDialog::~CModelessDialog() {
    // The window must not outlive the object its procedure calls into.
    if (m_hWnd) {
        const HWND hwnd = m_hWnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        m_hWnd = nullptr;
        ::DestroyWindow(hwnd);
    }
}

}  // namespace tandemere::win32
