// Engine layer: the text of a move's summary, the same for the terminal and the log window.
#include "engine/move_summary.h"

#include <array>
#include <vector>

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
    // What did not happen is not listed, so the line stays short enough to read at a glance.
    std::vector<std::string> parts;
    const std::string files = Count(summary.m_nFilesMoved, "file", "files");
    const std::string folders = Count(summary.m_nFoldersMoved, "folder", "folders");
    if (summary.m_nFilesMoved != 0 && summary.m_nFoldersMoved != 0)
        parts.push_back("moved " + files + " and " + folders);
    else if (summary.m_nFilesMoved != 0 || summary.m_nFoldersMoved != 0)
        parts.push_back("moved " + (summary.m_nFilesMoved != 0 ? files : folders));
    const std::string duplicates = Count(summary.m_nDuplicates, "duplicate", "duplicates");
    const std::string size = FormatByteSize(summary.m_nDuplicateBytes);
    if (summary.m_nDuplicates != 0)
        parts.push_back(summary.m_bDuplicatesTrashed
                            ? FormatText("put %s in the trash (%s)", {duplicates, size})
                            : FormatText("deleted %s (%s freed)", {duplicates, size}));
    if (summary.m_nRenamed != 0) parts.push_back("renamed " + std::to_string(summary.m_nRenamed));
    if (summary.m_nOverwritten != 0) parts.push_back("overwrote " + std::to_string(summary.m_nOverwritten));
    if (summary.m_nLeft != 0) parts.push_back("left " + std::to_string(summary.m_nLeft) + " alone");
    std::string text = parts.empty() ? "nothing moved" : parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) text += ", " + parts[i];
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    if (summary.m_nBytesCopied != 0)
        text += "; copied " + FormatByteSize(summary.m_nBytesCopied) + " across file systems";
    text += "; " + Count(summary.m_nErrors, "error", "errors") + "; took " +
            FormatElapsed(summary.m_nElapsedMs) + ".";
    return summary.m_bStopped ? "Stopped early. " + text : text;
}

}  // namespace tandemere::engine
