// Reliability tests: runs one scenario through the real engine and the real backend on fresh
// temporary folders, and judges it with the oracle. Portable; what only one platform can make
// (pipes, permissions, system-call faults) comes in through IScenarioPlatform.
#pragma once

#include <cstdint>
#include <string>

#include "tests/reliability/move_oracle.h"
#include "tests/reliability/scenario.h"

namespace tandemere::testing {

// The platform's part of a scenario.
class IScenarioPlatform {
public:
    virtual ~IScenarioPlatform() = default;
    // Makes an entry the portable helpers cannot (a pipe); false when it could not.
    virtual bool MakeSpecial(const PlannedEntry& entry, const std::string& path) = 0;
    // Just before the move: permission bits of the planned entries (`paths` their full paths,
    // in the scenario's order), the scenario's faults.
    virtual void BeforeMove(const Scenario& scenario, const std::vector<std::string>& paths) = 0;
    // Just after the move, before the trees are read again: undoes BeforeMove below `roots` and
    // returns how many faults were made; `cleanupMayFail` says whether one was of a removal, which
    // can leave a temporary copy of the backend's behind.
    virtual int AfterMove(const std::vector<std::string>& roots, bool& cleanupMayFail) = 0;
};

// A platform with nothing of its own: no pipes, no permissions, no faults.
class PlainScenarioPlatform : public IScenarioPlatform {
public:
    bool MakeSpecial(const PlannedEntry&, const std::string&) override { return false; }
    void BeforeMove(const Scenario&, const std::vector<std::string>&) override {}
    int AfterMove(const std::vector<std::string>&, bool& cleanupMayFail) override {
        cleanupMayFail = false;
        return 0;
    }
};

struct ScenarioOutcome {
    std::uint64_t m_nSeed = 0;
    int m_nFaults = 0;          // faults the platform made during the move
    int m_nTrashed = 0;         // files the move put in a trash
    int m_nSearchTree = 0;      // 1 when the move searched the whole destination tree
    int m_nElsewhere = 0;       // identical files it found elsewhere in the tree and asked about
    int m_nFoldersMade = 0;     // counterparts it made to merge a folder into, so its files were searched
    int m_nUndos = 0;           // 1 when it ran to its end, nothing was written meanwhile, and it was undone
    int m_nRestored = 0;        // 1 when that undo gave back the trees before the move
    int m_nRefusedChanged = 0;  // steps the undo left because their item changed since the move
    bool m_bLost = false;       // the oracle found lost content
    std::string m_strReport;    // empty when the oracle found nothing
    std::string m_strLog;       // the move's log
};

// The outcomes of a batch of scenarios, counted.
struct BatchResult {
    int m_nScenarios = 0;
    int m_nFaults = 0;
    int m_nTrashed = 0;
    int m_nSearchTree = 0;
    int m_nElsewhere = 0;
    int m_nFoldersMade = 0;
    int m_nUndos = 0;
    int m_nRestored = 0;
    int m_nRefusedChanged = 0;
    int m_nLost = 0;
    std::vector<ScenarioOutcome> m_lstFailed;  // scenarios the oracle found something in
    std::string m_strError;                    // the batch itself could not run
    std::string m_strLastLog;                  // the log of the last scenario

    void Add(ScenarioOutcome outcome) {
        ++m_nScenarios;
        m_nFaults += outcome.m_nFaults;
        m_nTrashed += outcome.m_nTrashed;
        m_nSearchTree += outcome.m_nSearchTree;
        m_nElsewhere += outcome.m_nElsewhere;
        m_nFoldersMade += outcome.m_nFoldersMade;
        m_nUndos += outcome.m_nUndos;
        m_nRestored += outcome.m_nRestored;
        m_nRefusedChanged += outcome.m_nRefusedChanged;
        if (outcome.m_bLost) ++m_nLost;
        m_strLastLog = outcome.m_strLog;
        if (!outcome.m_strReport.empty()) m_lstFailed.push_back(std::move(outcome));
    }
};

ScenarioOutcome RunScenario(const Scenario& scenario, IScenarioPlatform& platform);

}  // namespace tandemere::testing
