// Windows user interface layer: makes texts of any length fit the windows that show them: paths
// shortened in the middle with the file name kept whole, statics grown to the lines their text
// needs, and the whole text in a tooltip wherever a shortened one is shown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tandemere::win32 {

// `path` with the middle of its folder part replaced by "..." so that it takes at most `width`
// pixels in `control`'s font. The root and the file name stay whole (the name even when it alone
// is wider). Unchanged when it fits.
std::wstring CompactPath(HWND control, const std::wstring& path, int width);

// `text` with each quoted part that holds a path separator and is wider than `width` pixels
// shortened as CompactPath does.
std::wstring CompactQuotedPaths(HWND control, const std::wstring& text, int width);

// The pixels `text` needs in the static `control` at its present width, wrapped as it wraps.
int TextHeight(HWND control, const std::wstring& text);

// Grows each static of `ids` to the height its text needs (never shrinks one). Every control that
// starts below a grown static's top moves down as much, and the dialog grows by the sum.
void GrowToFit(HWND dialog, const std::vector<int>& ids);

// Takes out the band from `rowId`'s top to `nextId`'s top (a row that was hidden): every control
// from `nextId`'s top down moves up by it, and the dialog shrinks as much.
void RemoveRow(HWND dialog, int rowId, int nextId);

// A tooltip window over a dialog's controls, owned by the dialog (so destroyed with it).
class CToolTips {
public:
    // Shows `text` while the mouse rests on `control` (a static needs SS_NOTIFY to see the mouse).
    void Set(HWND control, const std::wstring& text);

private:
    HWND m_hWnd = nullptr;
};

}  // namespace tandemere::win32
