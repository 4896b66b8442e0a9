// Engine layer: what one move did, counted where its log lines are written, and the one text that
// both front ends show of it at the end.
#pragma once

#include <cstdint>
#include <string>

namespace tandemere::engine {

struct MoveSummary {
    std::uint64_t m_nFilesMoved = 0;      // files and links moved in, under any name
    std::uint64_t m_nFoldersMoved = 0;    // folders moved in whole (a merged folder is not one)
    std::uint64_t m_nDuplicates = 0;      // source files removed because a destination file holds their bytes
    std::uint64_t m_nDuplicateBytes = 0;  // their size
    bool m_bDuplicatesTrashed = false;    // they went to the trash, so no space was freed yet
    std::uint64_t m_nRenamed = 0;         // items moved in under a free name, destination items renamed
    std::uint64_t m_nOverwritten = 0;     // destination files replaced by a different source file
    std::uint64_t m_nLeft = 0;            // items left alone where they lay
    std::uint64_t m_nErrors = 0;          // errors reported
    std::uint64_t m_nBytesCopied = 0;     // copied across file systems
    std::uint64_t m_nElapsedMs = 0;       // from the start of the count to the last item
    bool m_bStopped = false;              // Cancel, or an error, ended the move early
};

// "512 bytes", "1.5 KiB", "2.0 GiB": the size rounded to a tenth of its largest binary unit.
std::string FormatByteSize(std::uint64_t bytes);
// "0.4 s", "12 s", "3 min 05 s", "1 h 02 min".
std::string FormatElapsed(std::uint64_t milliseconds);
// The summary as one line without its end, the counts that are 0 left out but the errors: "Moved 3
// files and 1 folder, deleted 2 duplicates (4.0 KiB freed), left 1 alone; copied 2.0 GiB across file
// systems; 0 errors; took 12 s." A stopped move's begins "Stopped early.".
std::string FormatMoveSummary(const MoveSummary& summary);

}  // namespace tandemere::engine
