// Windows user interface layer: path shortening, text measuring and growing statics to fit.
#include "ui/win32/text_fit_win32.h"

#include <commctrl.h>

#include <algorithm>

namespace tandemere::win32 {

namespace {

constexpr wchar_t kEllipsis[] = L"...";

// A device context of the control with its font selected; restored and released on every path.
class CControlDc {
public:
    explicit CControlDc(HWND control) : m_hWnd(control), m_hDc(::GetDC(control)) {
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
        if (m_hDc && font) m_hOldFont = ::SelectObject(m_hDc, font);
    }
    ~CControlDc() {
        if (!m_hDc) return;
        if (m_hOldFont) ::SelectObject(m_hDc, m_hOldFont);
        ::ReleaseDC(m_hWnd, m_hDc);
    }
    CControlDc(const CControlDc&) = delete;
    CControlDc& operator=(const CControlDc&) = delete;
    HDC Get() const { return m_hDc; }

private:
    HWND m_hWnd;
    HDC m_hDc;
    HGDIOBJ m_hOldFont = nullptr;
};

int TextWidth(HDC dc, const std::wstring& text) {
    SIZE size = {};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// Where the folder part begins: after "C:\" or "\\server\share\" (the root stays whole).
std::size_t RootLength(const std::wstring& path) {
    if (path.rfind(L"\\\\", 0) == 0) {
        std::size_t at = path.find(L'\\', 2);
        if (at != std::wstring::npos) at = path.find(L'\\', at + 1);
        return at == std::wstring::npos ? 0 : at + 1;
    }
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
    return 0;
}

std::wstring CompactIn(HDC dc, const std::wstring& path, int width) {
    if (TextWidth(dc, path) <= width) return path;
    const std::size_t nameAt = path.find_last_of(L'\\');
    const std::size_t rootLength = RootLength(path);
    if (nameAt == std::wstring::npos || nameAt < rootLength) return path;
    const std::wstring root = path.substr(0, rootLength);
    const std::wstring middle = path.substr(rootLength, nameAt - rootLength);
    const std::wstring name = path.substr(nameAt);
    const auto candidate = [&](std::size_t keep) {
        const std::size_t left = keep / 2;
        return root + middle.substr(0, left) + kEllipsis + middle.substr(middle.size() - (keep - left)) +
               name;
    };
    // The most characters of the folder part that still fit, kept from both of its ends.
    std::size_t low = 0;
    std::size_t high = middle.size();
    while (low < high) {
        const std::size_t keep = (low + high + 1) / 2;
        if (TextWidth(dc, candidate(keep)) <= width) {
            low = keep;
        } else {
            high = keep - 1;
        }
    }
    return candidate(low);
}

}  // namespace

std::wstring CompactPath(HWND control, const std::wstring& path, int width) {
    const CControlDc dc(control);
    if (!dc.Get()) return path;
    return CompactIn(dc.Get(), path, width);
}

std::wstring CompactQuotedPaths(HWND control, const std::wstring& text, int width) {
    const CControlDc dc(control);
    if (!dc.Get()) return text;
    std::wstring out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = text.find(L'"', from);
        const std::size_t close = open == std::wstring::npos ? open : text.find(L'"', open + 1);
        if (close == std::wstring::npos) break;
        const std::wstring quoted = text.substr(open + 1, close - open - 1);
        out += text.substr(from, open + 1 - from);
        out += quoted.find(L'\\') == std::wstring::npos ? quoted : CompactIn(dc.Get(), quoted, width);
        out += L'"';
        from = close + 1;
    }
    return out + text.substr(from);
}

int TextHeight(HWND control, const std::wstring& text) {
    RECT rc = {};
    ::GetClientRect(control, &rc);
    const CControlDc dc(control);
    if (!dc.Get() || text.empty()) return 0;
    // The flags a left-aligned static with SS_NOPREFIX draws with.
    ::DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &rc,
                DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_EDITCONTROL);
    return rc.bottom - rc.top;
}

namespace {

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rc = {};
    ::GetWindowRect(control, &rc);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Moves every control of the dialog whose top lies below `top` down by `by` pixels (up when negative).
void MoveBelow(HWND dialog, int top, int by) {
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT rc = ClientRectOf(dialog, child);
        if (rc.top > top)
            ::SetWindowPos(child, nullptr, rc.left, rc.top + by, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void ResizeHeight(HWND dialog, int by) {
    RECT window = {};
    ::GetWindowRect(dialog, &window);
    ::SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + by,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void GrowToFit(HWND dialog, const std::vector<int>& ids) {
    std::vector<HWND> statics;
    for (int id : ids)
        if (const HWND control = ::GetDlgItem(dialog, id)) statics.push_back(control);
    // From the top down, so a static moved by one above it is measured where it now stands.
    std::sort(statics.begin(), statics.end(),
              [&](HWND a, HWND b) { return ClientRectOf(dialog, a).top < ClientRectOf(dialog, b).top; });
    int grown = 0;
    for (HWND control : statics) {
        const int length = ::GetWindowTextLengthW(control);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), length + 1)));
        const RECT rc = ClientRectOf(dialog, control);
        const int by = TextHeight(control, text) - (rc.bottom - rc.top);
        if (by <= 0) continue;
        MoveBelow(dialog, rc.top, by);
        ::SetWindowPos(control, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top + by,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        grown += by;
    }
    if (grown != 0) ResizeHeight(dialog, grown);
}

void RemoveRow(HWND dialog, int rowId, int nextId) {
    const HWND row = ::GetDlgItem(dialog, rowId);
    const HWND next = ::GetDlgItem(dialog, nextId);
    if (!row || !next) return;
    const int nextTop = ClientRectOf(dialog, next).top;
    const int by = nextTop - ClientRectOf(dialog, row).top;
    if (by <= 0) return;
    MoveBelow(dialog, nextTop - 1, -by);
    ResizeHeight(dialog, -by);
}

void CToolTips::Set(HWND control, const std::wstring& text) {
    const HWND dialog = ::GetParent(control);
    static const bool s_bRegistered = [] {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)s_bRegistered;
    if (!m_hWnd || !::IsWindow(m_hWnd)) {
        m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, nullptr, nullptr);
        if (!m_hWnd) return;
        // Long paths wrap in the tip instead of running off the screen.
        ::SendMessageW(m_hWnd, TTM_SETMAXTIPWIDTH, 0, 600);
    }
    TOOLINFOW tool = {};
    // The size every comctl32 version accepts (the full structure is refused by version 5).
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    // The tooltip keeps its own copy of the text.
    ::SendMessageW(m_hWnd, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace tandemere::win32
