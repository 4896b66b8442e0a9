// Engine layer: lets one long operation (comparing or copying a file of gigabytes) hand the
// thread's pending messages over now and then, so the windows repaint and a Cancel is registered
// meanwhile. The Cancel itself still takes effect after the item under way.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>

namespace tandemere::engine {

// Half the longest pause a window may see, so one slow block read still stays within it.
inline constexpr std::chrono::milliseconds kKeepAliveInterval{100};

// The bytes a move has copied and compared so far, and the copy or comparison under way.
struct ByteProgress {
    std::uint64_t m_nCopied = 0;    // copied across file systems, the whole move
    std::uint64_t m_nCompared = 0;  // read from destination files to compare them, the whole move
    std::uint64_t m_nStepDone = 0;  // of the copy or comparison under way
    std::uint64_t m_nStepSize = 0;  // its size; 0 when none is under way
};

class KeepAlive {
public:
    explicit KeepAlive(std::function<void()> pump, std::chrono::milliseconds interval = kKeepAliveInterval)
        : m_fnPump(std::move(pump)), m_oInterval(interval), m_oLastPump(Clock::now()) {}

    // Called between the blocks of a long loop: pumps when the interval has passed since the
    // last pump. Cheap enough for every block (one clock read).
    void Tick();

    // A copy or comparison of `size` bytes starts (0: none is under way any more).
    void BeginStep(std::uint64_t size) {
        m_oBytes.m_nStepSize = size;
        m_oBytes.m_nStepDone = 0;
    }
    // `bytes` more were copied, or compared, in the step under way; the next Tick shows them.
    void AddCopied(std::uint64_t bytes) {
        m_oBytes.m_nCopied += bytes;
        m_oBytes.m_nStepDone += bytes;
    }
    void AddCompared(std::uint64_t bytes) {
        m_oBytes.m_nCompared += bytes;
        m_oBytes.m_nStepDone += bytes;
    }
    const ByteProgress& Bytes() const { return m_oBytes; }

private:
    using Clock = std::chrono::steady_clock;

    std::function<void()> m_fnPump;
    Clock::duration m_oInterval;
    Clock::time_point m_oLastPump;
    ByteProgress m_oBytes;
};

}  // namespace tandemere::engine
