// Command-line layer: refusal rules and one move of the engine in a terminal.
#include "cli/move_run.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/move_journal.h"
#include "cli/move_report.h"
#include "cli/settings_overlay.h"
#include "engine/drop_refusal.h"
#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/recording_file_system.h"
#include "engine/settings_table.h"
#include "engine/text_format.h"
#include "engine/unsaved_settings_store.h"
#include "platform/posix/digest_cache_file_posix.h"
#include "platform/posix/drop_facts_posix.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/settings_file_posix.h"
#include "ui/tty/terminal_posix.h"
#include "ui/tty/tty_user_interface.h"

namespace tandemere::cli {

namespace {

using engine::FormatText;
using engine::kPosixPaths;

// The files whose digests are kept across moves: about 56 bytes each on disk, so a few MiB.
constexpr std::size_t kDigestCacheEntries = 250000;

void Complain(const std::string& text) {
    tty::WriteAll(STDERR_FILENO, "tandemere: " + text + "\n");
}

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return "/";
    return buffer;
}

std::optional<std::string> RealPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    std::string out(resolved);
    std::free(resolved);
    return out;
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

std::string SettingsFilePath(const std::string& named) {
    return named.empty() ? posix::DefaultSettingsPath() : named;
}

std::optional<std::string> ResolvedFolders::Resolve(const std::string& folder) {
    auto it = m_mapResolved.find(folder);
    if (it == m_mapResolved.end()) it = m_mapResolved.emplace(folder, RealPath(folder)).first;
    return it->second;
}

std::string AbsoluteSourcePath(const std::string& typed, ResolvedFolders& folders) {
    std::string path = typed;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty()) return path;
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (path == "/" || name == "." || name == "..") {
        if (std::optional<std::string> whole = RealPath(path)) return *whole;
    } else if (std::optional<std::string> folder = folders.Resolve(parent)) {
        return Joined(*folder, name);
    }
    // Nothing there to resolve: the engine reports the missing item under this spelling.
    return path.front() == '/' ? path : Joined(CurrentFolder(), path);
}

namespace {

// Why this drop is refused, as a message naming the first source refused and why; empty when
// every source may move. Every source is looked at before anything is touched.
std::string RefusedDrop(posix::PosixFileSystem& fs, const MoveOptions& options,
                        const std::vector<std::string>& sources, const std::string& dest) {
    const engine::ProtectedFolders folders = posix::LinuxProtectedFolders();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string& typed = options.m_lstPaths[i];
        engine::DroppedItem item;
        if (const engine::Status looked = posix::LookAtDroppedItem(sources[i], item); !looked)
            return FormatText("not moving: can't read \"%s\": %s", {typed, posix::ReasonText(looked)});
        const engine::DropRefusal refusal = engine::RefuseDroppedItem(kPosixPaths, folders, item);
        if (refusal != engine::DropRefusal::None)
            return FormatText("not moving: \"%s\" %s", {typed, engine::RefusalText(refusal)});
        bool same = false;
        if (fs.IsSameObject(engine::ParentFolder(kPosixPaths, sources[i]), dest, same).IsOk() && same)
            return FormatText("not moving: \"%s\" already lies in the destination folder \"%s\"",
                              {typed, options.m_lstPaths.back()});
    }
    return {};
}

void OverrideSwitch(OverlaySettingsStore& settings, engine::SettingId id, const std::optional<bool>& value) {
    if (value) settings.Override(engine::GetSetting(id).m_pszName, *value ? 1 : 0);
}

// The options given for this run, on top of the settings file; nothing of them is stored.
void OverrideSettings(OverlaySettingsStore& settings, const MoveOptions& options) {
    OverrideSwitch(settings, engine::SettingId::Logging, options.m_bLogging);
    OverrideSwitch(settings, engine::SettingId::FullPaths, options.m_bFullPaths);
    OverrideSwitch(settings, engine::SettingId::OnlyCompareSameExt, options.m_bOnlyCompareSameExt);
    OverrideSwitch(settings, engine::SettingId::DeleteToRecycleBin, options.m_bDeleteToRecycleBin);
    OverrideSwitch(settings, engine::SettingId::SearchWholeDestination, options.m_bSearchWholeDestination);
    for (const auto& [name, answer] : options.m_mapAnswers)
        settings.Override(name, static_cast<std::uint32_t>(answer));
    // The log is all a dry run gives.
    if (options.m_bDryRun) OverrideSwitch(settings, engine::SettingId::Logging, true);
}

// Opens the log file named by the options (emptied first); false, with the message given, when it
// cannot be written.
bool OpenLogFile(const MoveOptions& options, tty::TtyUserInterface& ui) {
    if (options.m_strLogFile.empty()) return true;
    posix::UniqueFd log(::open(options.m_strLogFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!log.IsValid()) {
        Complain(FormatText("can't write the log file \"%s\": %s",
                            {options.m_strLogFile, posix::ErrnoText(errno)}));
        return false;
    }
    ui.SetLogFile(std::move(log), options.m_strLogFile);
    return true;
}

}  // namespace

int RunMove(const MoveOptions& options) {
    posix::PosixFileSystem fs;
    const std::string& typedDest = options.m_lstPaths.back();
    const std::optional<std::string> dest = RealPath(typedDest);
    if (!dest || !fs.IsFolder(*dest)) {
        Complain(FormatText("not moving: the destination \"%s\" is not an existing folder", {typedDest}));
        return kExitUsage;
    }
    std::vector<std::string> sources;
    ResolvedFolders folders;
    for (std::size_t i = 0; i + 1 < options.m_lstPaths.size(); ++i) {
        if (options.m_lstPaths[i].empty()) {
            Complain("not moving: an empty SOURCE names nothing");
            return kExitUsage;
        }
        sources.push_back(AbsoluteSourcePath(options.m_lstPaths[i], folders));
    }
    if (const std::string refused = RefusedDrop(fs, options, sources, *dest); !refused.empty()) {
        Complain(refused);
        return kExitUsage;
    }

    posix::SettingsFileStore file(SettingsFilePath(options.m_strSettingsFile));
    // A dry run reads the settings file and writes nothing to it, nor to the disk.
    engine::UnsavedSettingsStore unsaved(file);
    OverlaySettingsStore settings(options.m_bDryRun ? static_cast<engine::ISettingsStore&>(unsaved) : file);
    OverrideSettings(settings, options);
    engine::RecordingFileSystem recording(fs);
    engine::IFileSystem& moving = options.m_bDryRun ? static_cast<engine::IFileSystem&>(recording) : fs;
    tty::TtyUserInterface ui;
    ui.SetKeepGoing(options.m_bKeepGoing);
    if (!OpenLogFile(options, ui)) return kExitUsage;
    StartReport(ui, options, sources, *dest);

    // A reader that went away must not kill the tool halfway through writing the log.
    ::signal(SIGPIPE, SIG_IGN);
    engine::MoveCommand command(moving, settings, ui);
    engine::DigestCache digests(kDigestCacheEntries);
    const std::string digestsPath = posix::DefaultDigestCachePath();
    posix::LoadDigestCache(digestsPath, digests);
    command.SetDigestCache(&digests);
    command.SetDestFolder(*dest);
    posix::PosixJournalFile journal;
    std::string journalName;
    if (!options.m_bDryRun && StartJournal(journal, sources, *dest, journalName))
        command.SetJournal(&journal);
    for (std::string& source : sources) command.AddDropped(std::move(source));
    tty::CancelSignal cancel;
    const engine::MoveOutcome outcome = command.Run(nullptr);
    ReportMoveEnd(command, ui, options);
    // A cache that cannot be saved costs the next move only the reading it would have spared.
    if (!options.m_bDryRun && digests.Changed()) (void)posix::SaveDigestCache(digestsPath, digests);
    if (!options.m_bDryRun) PruneJournals(command, journalName);
    if (options.m_bDryRun) Complain("dry run: nothing was moved, deleted or stored");
    if (outcome == engine::MoveRefused) return kExitUsage;
    // A move that went on past an error, or could not store an answer, did not do all it was asked.
    if (outcome != engine::MoveFinished || command.m_nErrorsSkipped != 0 || command.m_bSettingsNotWritten)
        return kExitStopped;
    // The log is the only record of what the move changed: a script must learn that it is missing.
    return ui.LogWritten() ? kExitFinished : kExitLogNotWritten;
}

}  // namespace tandemere::cli
