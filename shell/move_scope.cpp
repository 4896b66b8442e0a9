// Shell layer: the process's one move and its disabled owner window.
#include "shell/move_scope.h"

namespace tandemere::shell {
namespace {

// 1 while a move runs; moves of different file-manager windows may run on different threads.
LONG volatile g_nMoveUnderWay = 0;

}  // namespace

CMoveScope::CMoveScope(HWND owner) noexcept {
    m_bClaimed = ::InterlockedCompareExchange(&g_nMoveUnderWay, 1, 0) == 0;
    if (!m_bClaimed || !owner) return;
    // The file manager may hand over a child window: the top-level one is what a user clicks.
    const HWND root = ::GetAncestor(owner, GA_ROOT);
    // EnableWindow answers whether the window was disabled before.
    if (root && !::EnableWindow(root, FALSE)) m_hwndDisabled = root;
}

CMoveScope::~CMoveScope() {
    if (m_hwndDisabled && ::IsWindow(m_hwndDisabled)) ::EnableWindow(m_hwndDisabled, TRUE);
    if (m_bClaimed) ::InterlockedExchange(&g_nMoveUnderWay, 0);
}

}  // namespace tandemere::shell
