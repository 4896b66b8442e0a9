// Reliability tests: the trashes of a scenario run with DeleteToRecycleBin on: natively the home trash
// below one of its roots, the other file systems' trashes emptied of its files afterwards; under Wine
// its Recycle Bin, the Unix-side home trash of the whole test run, emptied of the scenario's files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/reliability/move_oracle.h"
#include "tests/support/scoped_env.h"
#include "tests/support/trash_contents.h"

namespace tandemere::testing {

// Natively, for its scope, XDG_DATA_HOME names a folder below the last of `roots` (the
// destination's file system where it has one of its own, so nothing goes to a trash of the
// system's root folder). Under Wine the bin stays where the run's XDG_DATA_HOME put it: Wine reads
// that once per process. Off, it does nothing.
class ScenarioTrash {
public:
    ScenarioTrash(bool on, const std::vector<std::string>& roots);
    ~ScenarioTrash();
    ScenarioTrash(const ScenarioTrash&) = delete;
    ScenarioTrash& operator=(const ScenarioTrash&) = delete;

    // After the move: the record's trash fields, for the oracle.
    void Note(MoveRecord& record) const;
    // How many files the trashes took from the roots; a copy the bin kept of a file that is back
    // under its name (Wine's bin refusing another file system) is not one.
    int Count() const;

private:
    // The trashes outside the roots that may have taken a file of theirs.
    std::vector<std::string> OtherTrashes() const;

    std::vector<std::string> m_lstRoots;
    std::string m_strHome;  // empty when off
    std::optional<ScopedEnv> m_oEnv;
#ifndef _WIN32
    std::optional<ShmTrashUse> m_oShmTrash;
#endif
};

}  // namespace tandemere::testing
