// Command-line layer: `tandemere move`: the drop's refusal rules, then one move of the engine
// with the terminal user interface.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tandemere::cli {

// Exit statuses of the tool.
inline constexpr int kExitFinished = 0;  // the move ran to its end
inline constexpr int kExitStopped = 1;   // the move was stopped (Cancel, or an error that ends it)
inline constexpr int kExitUsage = 2;     // a usage error or a refused drop; nothing was touched
// (kExitStopped also when the move ran to its end but a remembered answer could not be stored.)
inline constexpr int kExitLogNotWritten = 3;  // the move ran to its end, but its log could not be written

struct MoveOptions {
    std::vector<std::string> m_lstPaths;  // SOURCE... DESTINATION, as typed
    std::string m_strSettingsFile;        // empty: the default settings file
    std::string m_strLogFile;             // empty: the log goes to stdout only
    std::optional<bool> m_bLogging;
    std::optional<bool> m_bFullPaths;
    std::optional<bool> m_bOnlyCompareSameExt;
    std::optional<bool> m_bDeleteToRecycleBin;
    std::optional<bool> m_bSearchWholeDestination;
    std::map<std::string, std::int32_t> m_mapAnswers;  // remembered answers for this run, by value name
    // Decide and log as a move would, but change nothing on disk and store no setting.
    bool m_bDryRun = false;
    // An error that leaves an item skips it and goes on, where input is no terminal to ask.
    bool m_bKeepGoing = false;
    bool m_bQuiet = false;    // no progress line and no summary
    bool m_bVerbose = false;  // each log line on stdout as it is written, not all at the end
};

// The settings file to use: the one named, or the default one.
std::string SettingsFilePath(const std::string& named);

// Folders resolved to their real paths, each once for all the sources that lie in it.
class ResolvedFolders {
public:
    // The real path of `folder`, or none when it cannot be resolved.
    std::optional<std::string> Resolve(const std::string& folder);

private:
    std::map<std::string, std::optional<std::string>> m_mapResolved;
};

// A source as the engine wants it: absolute, without a trailing "/", its parent folder resolved
// (links, "." and ".."), its last component kept as typed so that a link stays the link itself.
std::string AbsoluteSourcePath(const std::string& typed, ResolvedFolders& folders);

int RunMove(const MoveOptions& options);

}  // namespace tandemere::cli
