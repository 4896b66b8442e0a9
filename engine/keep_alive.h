// Engine layer: lets one long operation (comparing or copying a file of gigabytes) hand the
// thread's pending messages over now and then, so the windows repaint and a Cancel is registered
// meanwhile. The Cancel itself still takes effect after the item under way.
#pragma once

#include <chrono>
#include <functional>
#include <utility>

namespace tandemere::engine {

// Half the longest pause a window may see, so one slow block read still stays within it.
inline constexpr std::chrono::milliseconds kKeepAliveInterval{100};

class KeepAlive {
public:
    explicit KeepAlive(std::function<void()> pump, std::chrono::milliseconds interval = kKeepAliveInterval)
        : m_fnPump(std::move(pump)), m_oInterval(interval), m_oLastPump(Clock::now()) {}

    // Called between the blocks of a long loop: pumps when the interval has passed since the
    // last pump. Cheap enough for every block (one clock read).
    void Tick();

private:
    using Clock = std::chrono::steady_clock;

    std::function<void()> m_fnPump;
    Clock::duration m_oInterval;
    Clock::time_point m_oLastPump;
};

}  // namespace tandemere::engine
