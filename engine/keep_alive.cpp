// Engine layer: the keep-alive of long operations.
#include "engine/keep_alive.h"

namespace tandemere::engine {

void KeepAlive::Tick() {
    const Clock::time_point now = Clock::now();
    if (now - m_oLastPump < m_oInterval) return;
    m_fnPump();
    // Measured after the pump, so a slow repaint does not make the next one due at once.
    m_oLastPump = Clock::now();
}

}  // namespace tandemere::engine
