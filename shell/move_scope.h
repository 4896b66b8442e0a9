// Shell layer: one move at a time in the process, and the file manager's window kept disabled
// while it runs, as a modal window keeps its owner.
#pragma once

#include <windows.h>

namespace tandemere::shell {

// A move's claim on the process. While it runs, its windows let messages through, so a second drop
// on the same file-manager window (or another window of the process) could start a second move in
// the middle of the first.
class CMoveScope {
public:
    // Claims the process's one move; when claimed, disables the top-level window of `owner` (none
    // for null) unless it was disabled already.
    explicit CMoveScope(HWND owner) noexcept;
    // Enables the window again if this scope disabled it, then gives the claim up.
    ~CMoveScope();
    CMoveScope(const CMoveScope&) = delete;
    CMoveScope& operator=(const CMoveScope&) = delete;

    // False when another move holds the claim: this one must not start.
    bool IsClaimed() const { return m_bClaimed; }

private:
    bool m_bClaimed = false;
    HWND m_hwndDisabled = nullptr;
};

}  // namespace tandemere::shell
