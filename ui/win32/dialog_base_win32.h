// Windows user interface layer: the small dialog classes our four windows are built on (modal and
// modeless), running a template of this binary and keeping the C++ object in DWLP_USER.
#pragma once

#include <windows.h>

namespace tandemere::win32 {

// The binary this code is linked into (the DLL or a test program): it holds the templates.
HINSTANCE ResourceModule();

// Centres a top-level window over its owner, or over the work area when it has no visible owner,
// and keeps it inside the work area of the monitor it lands on.
void CenterOverOwner(HWND hwnd);

// Gives a window the product's icon, in the caption and in the task switcher.
void SetProductIcon(HWND hwnd);

// Dispatches the dialog procedure to the object; owns no window by itself.
class CDialogBase {
public:
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    HWND GetHwnd() const { return m_hWnd; }
    int TemplateId() const { return m_nTemplateId; }

protected:
    explicit CDialogBase(int templateId) : m_nTemplateId(templateId) {}
    virtual ~CDialogBase();

    // The dialog procedure of this object: returns what a DLGPROC returns (FALSE = not handled).
    virtual INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_INITDIALOG; returns TRUE to let the platform set the initial focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // WM_COMMAND; returns true when handled.
    virtual bool OnCommand(WORD id, WORD code, HWND control) {
        (void)id, (void)code, (void)control;
        return false;
    }

    // Passes `this` as the creation parameter; the thunk stores it at WM_INITDIALOG.
    static INT_PTR CALLBACK DialogProcThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;  // set at WM_INITDIALOG, cleared at WM_NCDESTROY

private:
    int m_nTemplateId;
};

// A modal dialog: centres itself over its owner when it opens, and ends with the command id for
// the commands 1 to 7 (IDOK to IDNO).
class CModalDialog : public CDialogBase {
public:
    // Runs the template modally. Returns the id it ended with, or 0 / -1 when it could not be shown
    // (what DialogBoxParam returns then).
    INT_PTR ShowModal(HWND owner);

protected:
    explicit CModalDialog(int templateId) : CDialogBase(templateId) {}
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
};

// A modeless dialog, created on the calling thread and destroyed by its owner (or with the object).
class CModelessDialog : public CDialogBase {
public:
    // Creates the window from the template, owned by `owner`; null when that failed.
    HWND Create(HWND owner);
    // Destroys the window if there is one.
    void Destroy();

protected:
    explicit CModelessDialog(int templateId) : CDialogBase(templateId) {}
    ~CModelessDialog() override;
};

}  // namespace tandemere::win32
