// Reliability tests (POSIX only): the states a power cut may leave, made from one move's recorded
// system calls under the persistence model of docs/crash-consistency.md, and rebuilt on real
// folders.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/support/syscall_recorder_posix.h"

namespace tandemere::testing {

struct CrashState {
    std::size_t m_nEnd = 0;                       // the calls [0, m_nEnd) had been made
    std::vector<bool> m_lstKept;                  // which of them reached the disk
    std::map<std::size_t, std::size_t> m_mapCut;  // writes that reached it in part: bytes kept
    std::string m_strName;                        // how it was chosen, for a report
};

// The crash states of one recording: after every barrier (a completed fsync) and at the end, the
// state where all that was made reached the disk, where only what was flushed did, and the two
// mixes of names and data; then `samples` seeded states at any call with any allowed loss. States
// that would be built alike are given once.
std::vector<CrashState> CrashStates(const std::vector<RecordedCall>& calls, std::uint64_t seed,
                                    std::size_t samples);

// Makes the calls a state kept again, on the trees as they were before the recorded move (the
// same paths). A call whose object never reached the disk fails and is passed over. Returns how
// many were passed over.
int ApplyCrashState(const std::vector<RecordedCall>& calls, const CrashState& state);

}  // namespace tandemere::testing
