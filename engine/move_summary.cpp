// Engine layer: the text of a move's summary, the same for the terminal and the log window.
#include "engine/move_summary.h"

#include <array>

#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

std::string Count(std::uint64_t number, const char* one, const char* many) {
    return std::to_string(number) + " " + (number == 1 ? one : many);
}

}  // namespace

std::string FormatByteSize(std::uint64_t bytes) {
    if (bytes < 1024) return Count(bytes, "byte", "bytes");
    static constexpr std::array<const char*, 5> kUnits = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    std::size_t unit = 0;
    std::uint64_t scale = 1024;
    // Rounded to tenths first, so 1023.96 KiB reads "1.0 MiB", never "1024.0 KiB".
    while (unit + 1 < kUnits.size() && (bytes * 10 + scale / 2) / scale >= 10240) {
        ++unit;
        scale *= 1024;
    }
    const std::uint64_t tenths = bytes / scale * 10 + ((bytes % scale) * 10 + scale / 2) / scale;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

std::string FormatElapsed(std::uint64_t milliseconds) {
    const std::uint64_t seconds = (milliseconds + 500) / 1000;
    auto two = [](std::uint64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    if (milliseconds < 9950) {
        const std::uint64_t tenths = (milliseconds + 50) / 100;
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
    }
    if (seconds < 60) return std::to_string(seconds) + " s";
    if (seconds < 3600) return std::to_string(seconds / 60) + " min " + two(seconds % 60) + " s";
    return std::to_string(seconds / 3600) + " h " + two(seconds / 60 % 60) + " min";
}

std::string FormatMoveSummary(const MoveSummary& summary) {
    std::string text = summary.m_bStopped ? "Stopped after moving " : "Moved ";
    text += Count(summary.m_nFilesMoved, "file", "files") + " and " +
            Count(summary.m_nFoldersMoved, "folder", "folders");
    const std::string duplicates = Count(summary.m_nDuplicates, "duplicate", "duplicates");
    const std::string size = FormatByteSize(summary.m_nDuplicateBytes);
    text += summary.m_bDuplicatesTrashed ? FormatText(", put %s in the trash (%s)", {duplicates, size})
                                         : FormatText(", deleted %s (%s freed)", {duplicates, size});
    text += FormatText(", renamed %s, overwrote %s, left %s alone, %s; copied %s across file systems in %s.",
                       {std::to_string(summary.m_nRenamed), std::to_string(summary.m_nOverwritten),
                        std::to_string(summary.m_nLeft), Count(summary.m_nErrors, "error", "errors"),
                        FormatByteSize(summary.m_nBytesCopied), FormatElapsed(summary.m_nElapsedMs)});
    return text;
}

}  // namespace tandemere::engine
