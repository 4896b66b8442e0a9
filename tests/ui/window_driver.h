// Window tests: drives real dialogs of the test thread from a watcher thread, reads their controls
// back and writes screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tandemere::uitest {

// Every top-level dialog (#32770) the test thread shows, handed to the watcher as it appears.
// One at a time per process: it hooks the thread that constructs it.
class CDialogSpy {
public:
    CDialogSpy();
    ~CDialogSpy();
    CDialogSpy(const CDialogSpy&) = delete;
    CDialogSpy& operator=(const CDialogSpy&) = delete;

    // The next dialog shown (waits for it); null when `stop` is signalled or after a long wait.
    HWND WaitForDialog(HANDLE stop = nullptr);
    // The dialogs shown so far that still exist, the latest first.
    std::vector<HWND> OpenDialogs();

    // Called on the dialog's own thread once each top-level dialog has initialised, shown or not
    // (a window that shows only after a delay may never show in a quick test).
    void OnCreated(std::function<void(HWND)> callback);
};

// Runs `show` on this thread (it opens a window and returns when the window closes) while `drive`
// runs on a watcher thread with the first dialog the thread shows. Whatever `drive` leaves open is
// cancelled afterwards, so a failing test cannot hang. Returns what `show` returned.
INT_PTR RunModal(const std::function<INT_PTR()>& show,
                 const std::function<void(CDialogSpy& spy, HWND dialog)>& drive);

// Makes sure the dialog's thread has painted the window and is idle in its message loop.
void Settle(HWND hwnd);

// Presses a button the way a click does (BM_CLICK), waiting for what the click did.
void Click(HWND dialog, int id);
// Waits until a window of another thread is destroyed; false if it still exists after a long wait.
// A modal loop ended by a click notices its end only at its next message, so a closed dialog
// may outlive the click for a moment.
bool WaitUntilClosed(HWND hwnd);
// Presses a button without waiting: for buttons whose command opens another modal window.
void ClickAsync(HWND dialog, int id);
// Posts a key press (down and up) to the control that has the keyboard focus in the dialog's thread.
void PressKey(HWND dialog, UINT virtualKey);
// Posts a character (a mnemonic without Alt) to the focused control.
void PressChar(HWND dialog, wchar_t ch);
bool IsChecked(HWND dialog, int id);
// The control with the keyboard focus in the dialog's thread.
HWND FocusedControl(HWND dialog);

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);

// One control as the dialog holds it; the rectangle in the dialog's client coordinates.
struct ControlInfo {
    HWND m_hwnd = nullptr;
    int m_nId = 0;
    std::wstring m_strClass;
    std::wstring m_strText;
    DWORD m_nStyle = 0;
    RECT m_rc = {};
};

// The dialog's controls in creation order (their z-order), which is the template's order.
std::vector<ControlInfo> ReadControls(HWND dialog);
// The ids met by tabbing forward from the first tab stop until it comes round again.
std::vector<int> TabOrder(HWND dialog);
// A rectangle in the template's dialog units, in pixels as the dialog manager places controls.
RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height);

// A control row of a template: what the table says.
struct ExpectedControl {
    int m_nId;
    const wchar_t* m_pszClass;
    std::wstring m_strText;
    DWORD m_nType;    // BS_* or SS_* type (the style's low bits)
    DWORD m_nStyles;  // further style bits that must be set
    int m_nX, m_nY, m_nWidth, m_nHeight;
};
// Compares every control of the dialog with the rows, in order (ids, classes, texts, styles, places).
void ExpectControls(HWND dialog, const std::vector<ExpectedControl>& rows);

// The styles of the template's items as the resource holds them (controls may change theirs when
// they are created), in template order.
std::vector<DWORD> TemplateItemStyles(int templateId);

// Face name and point size of the dialog's font.
std::wstring FontFace(HWND dialog);
int FontPoints(HWND dialog);

// The whole text the dialog's tooltip shows over control `id`; empty when it has none.
std::wstring ToolTipText(HWND dialog, int id);
// No two visible controls of the dialog overlap (a group box may hold others), every one lies
// inside the client area, and each static of `fitted` is tall enough for its text.
void ExpectLaidOutWithoutOverlap(HWND dialog, const std::vector<int>& fitted);
// The clipboard's text.
std::wstring ClipboardText();

// Writes the window as it shows now (frame included) to <build>/screenshots/<name>.png; at another
// DPI than 96 the name ends in "_<dpi>dpi".
void SaveScreenshot(HWND hwnd, const std::string& name);

// A plain visible top-level window to own the dialogs under test.
class COwnerWindow {
public:
    COwnerWindow(int x, int y, int width, int height, bool visible = true);
    ~COwnerWindow();
    COwnerWindow(const COwnerWindow&) = delete;
    COwnerWindow& operator=(const COwnerWindow&) = delete;
    HWND Hwnd() const { return m_hWnd; }

private:
    HWND m_hWnd = nullptr;
};

RECT WorkArea();
RECT WindowRect(HWND hwnd);

}  // namespace tandemere::uitest
