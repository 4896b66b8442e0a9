// Platform layer (Win32): where the extension's journals of moves lie (%LOCALAPPDATA%\Tandemere\moves),
// one file a move named by its start time, written a whole line a write, as the Linux tool's are.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/journal.h"
#include "platform/win32/unique_handle_win32.h"

namespace tandemere::win32 {

// %LOCALAPPDATA%\Tandemere\moves; empty when the system cannot name the local application data folder.
std::string DefaultJournalFolder();

// The current time as a journal's name ("20261210T225359.123000Z", UTC) and as the header's text
// ("2026-12-10T22:53:59Z").
void NowForJournal(std::string& name, std::string& text);

// One journal file open for appending.
class Win32JournalFile : public engine::IJournalFile {
public:
    // Makes the folder and its parent, then a new journal named `name` ("-2", "-3"... appended while
    // taken); `path` is the file made. On failure every AppendLine returns the same failure.
    engine::Status Create(const std::string& folder, const std::string& name, std::string& path);
    // One WriteFile of the whole line, at the end of the file (opened for appending only).
    engine::Status AppendLine(const std::string& line) override;

private:
    UniqueFileHandle m_hFile;
    std::string m_strPath;
    engine::Status m_oFailure;  // why the file could not be made
};

// The journals' names in `folder` (without ".journal"), oldest first; empty when there is none.
std::vector<std::string> ListJournals(const std::string& folder);
// Removes the journals of `folder` that engine::JournalsToPrune names; a failure to remove is ignored
// (the next move tries again).
void PruneJournals(const std::string& folder, const std::string& now, std::uint32_t maxDays,
                   std::uint32_t maxCount);

}  // namespace tandemere::win32
