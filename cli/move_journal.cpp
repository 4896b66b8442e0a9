// Command-line layer: the journal of each real move, and the `undo` and `history` commands.
#include "cli/move_journal.h"

#include <unistd.h>

#include "engine/text_format.h"
#include "platform/posix/posix_io.h"
#include "ui/tty/terminal_posix.h"

namespace tandemere::cli {
namespace {

void Complain(const std::string& text) {
    tty::WriteAll(STDERR_FILENO, "tandemere: " + text + "\n");
}

}  // namespace

bool StartJournal(posix::PosixJournalFile& file, const std::vector<std::string>& sources,
                  const std::string& dest) {
    const std::string folder = posix::DefaultJournalFolder();
    const posix::JournalTime now = posix::NowForJournal();
    posix::PruneJournals(folder, now.m_strName, kJournalDays, kJournalCount);
    std::string path = folder;
    engine::Status written = file.Create(folder, now.m_strName, path);
    if (written) written = engine::WriteJournalHeader(file, now.m_strText, TANDEMERE_VERSION, dest, sources);
    if (written) return true;
    Complain(engine::FormatText("can't write the journal \"%s\": %s; the move goes on, but it can't be undone",
                                {path, posix::ReasonText(written)}));
    return false;
}

}  // namespace tandemere::cli
