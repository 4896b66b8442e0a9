// Reliability tests (POSIX only): crash states from a recording, and their rebuilding.
#include "tests/reliability/crash_states_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <set>

#include "tests/reliability/scenario.h"

namespace tandemere::testing {
namespace {

constexpr std::size_t kPage = 4096;

// Calls that change a folder's entries; their order on one file system is kept (its journal).
bool ChangesNames(const RecordedCall& call) {
    switch (call.m_nKind) {
        case RecordedKind::Create:
            return (call.m_nFlags & O_TMPFILE) != O_TMPFILE;
        case RecordedKind::Mkdir:
        case RecordedKind::Symlink:
        case RecordedKind::Rename:
        case RecordedKind::Link:
        case RecordedKind::Unlink:
            return true;
        default:
            return false;
    }
}

// Calls that change a file's data or attributes, persisted on their own unless flushed.
bool ChangesData(const RecordedCall& call) {
    return call.m_nKind == RecordedKind::Write || call.m_nKind == RecordedKind::Attribute ||
           call.m_nKind == RecordedKind::LinkTimes;
}

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    return cut == std::string::npos || cut == 0 ? "/" : path.substr(0, cut);
}

bool InFolder(const RecordedCall& call, const std::string& folder) {
    return (!call.m_strPath.empty() && FolderOf(call.m_strPath) == folder) ||
           (!call.m_strPath2.empty() && call.m_nKind != RecordedKind::Symlink &&
            FolderOf(call.m_strPath2) == folder);
}

// What a crash after call `end` - 1 cannot take back: the calls a completed fsync made durable.
std::vector<bool> Durable(const std::vector<RecordedCall>& calls, std::size_t end) {
    std::vector<bool> durable(end, false);
    for (std::size_t barrier = 0; barrier < end; ++barrier) {
        const RecordedCall& sync = calls[barrier];
        if (sync.m_nKind != RecordedKind::Fsync) continue;
        for (std::size_t i = 0; i < barrier; ++i) {
            const RecordedCall& call = calls[i];
            if (sync.m_bFolder ? ChangesNames(call) && InFolder(call, sync.m_strPath)
                               : ChangesData(call) && call.m_nFile >= 0 && call.m_nFile == sync.m_nFile)
                durable[i] = true;
        }
    }
    // A file system's journal keeps its order: what came before a durable change of names is durable.
    std::map<dev_t, std::size_t> last;
    for (std::size_t i = 0; i < end; ++i)
        if (durable[i] && ChangesNames(calls[i])) last[calls[i].m_nDevice] = i + 1;
    for (std::size_t i = 0; i < end; ++i)
        if (ChangesNames(calls[i]) && i < last[calls[i].m_nDevice]) durable[i] = true;
    return durable;
}

// A state that keeps, of the calls before `end`, the durable ones, the changes of names except those
// on the file systems `namesLost` picks, and unflushed data when `data`.
CrashState Mixed(const std::vector<RecordedCall>& calls, const std::vector<bool>& durable,
                 const std::function<bool(dev_t)>& namesLost, bool data, const std::string& name) {
    CrashState state;
    state.m_nEnd = durable.size();
    state.m_strName = name;
    for (std::size_t i = 0; i < state.m_nEnd; ++i) {
        const bool lost =
            ChangesNames(calls[i]) ? namesLost(calls[i].m_nDevice) : ChangesData(calls[i]) && !data;
        state.m_lstKept.push_back(durable[i] || !lost);
    }
    return state;
}

// A seeded state: per file system a prefix of its changes of names; per file a prefix of its
// writes, the next one cut at a page.
CrashState Sampled(const std::vector<RecordedCall>& calls, ScenarioRandom& random) {
    CrashState state;
    state.m_nEnd = 1 + random.Below(static_cast<std::uint32_t>(calls.size()));
    state.m_strName = "sample at call " + std::to_string(state.m_nEnd - 1);
    const std::vector<bool> durable = Durable(calls, state.m_nEnd);
    std::map<dev_t, bool> namesStopped;
    std::map<int, bool> dataStopped;
    for (std::size_t i = 0; i < state.m_nEnd; ++i) {
        const RecordedCall& call = calls[i];
        bool kept = true;
        if (ChangesNames(call) && !durable[i]) {
            bool& stopped = namesStopped[call.m_nDevice];
            stopped = stopped || random.Chance(25);
            kept = !stopped;
        } else if (ChangesData(call) && !durable[i]) {
            bool& stopped = dataStopped[call.m_nFile];
            if (!stopped && random.Chance(30)) {
                stopped = true;
                const std::size_t end = call.m_nOffset + call.m_strData.size();
                const std::size_t page = (call.m_nOffset / kPage + 1 + random.Below(4)) * kPage;
                if (call.m_nKind == RecordedKind::Write && page < end)
                    state.m_mapCut[i] = page - call.m_nOffset;
                else
                    kept = false;
            } else {
                kept = !stopped;
            }
        }
        state.m_lstKept.push_back(kept);
    }
    return state;
}

std::string Signature(const CrashState& state) {
    std::string text;
    for (std::size_t i = 0; i < state.m_lstKept.size(); ++i) text += state.m_lstKept[i] ? '1' : '0';
    for (const auto& [call, bytes] : state.m_mapCut)
        text += "," + std::to_string(call) + ":" + std::to_string(bytes);
    return text;
}

int ApplyCall(const RecordedCall& call, std::size_t bytes, std::map<int, int>& fds) {
    const auto fd = [&](int file) { return fds.count(file) != 0 ? fds[file] : -1; };
    switch (call.m_nKind) {
        case RecordedKind::Create:
            return ::open(call.m_strPath.c_str(), call.m_nFlags | O_CLOEXEC, call.m_nMode);
        case RecordedKind::Write:
            return static_cast<int>(
                ::pwrite(fd(call.m_nFile), call.m_strData.data(), bytes, static_cast<off_t>(call.m_nOffset)));
        case RecordedKind::Fsync:
            return 0;
        case RecordedKind::Attribute:
            if (call.m_nAttribute == 0) return ::fchmod(fd(call.m_nFile), call.m_nMode);
            if (call.m_nAttribute == 1) return ::fchown(fd(call.m_nFile), call.m_nOwner, call.m_nGroup);
            return ::futimens(fd(call.m_nFile), call.m_aTimes);
        case RecordedKind::Mkdir:
            return ::mkdir(call.m_strPath.c_str(), call.m_nMode);
        case RecordedKind::Symlink:
            return ::symlink(call.m_strPath2.c_str(), call.m_strPath.c_str());
        case RecordedKind::Rename:
            return ::renameat2(AT_FDCWD, call.m_strPath.c_str(), AT_FDCWD, call.m_strPath2.c_str(),
                               static_cast<unsigned>(call.m_nFlags));
        case RecordedKind::Link:
            if (call.m_nFile < 0) return ::link(call.m_strPath.c_str(), call.m_strPath2.c_str());
            return ::linkat(AT_FDCWD, ("/proc/self/fd/" + std::to_string(fd(call.m_nFile))).c_str(), AT_FDCWD,
                            call.m_strPath2.c_str(), AT_SYMLINK_FOLLOW);
        case RecordedKind::Unlink:
            return ::unlinkat(AT_FDCWD, call.m_strPath.c_str(), call.m_nFlags);
        case RecordedKind::LinkTimes:
            return ::utimensat(AT_FDCWD, call.m_strPath.c_str(), call.m_aTimes, call.m_nFlags);
    }
    return -1;
}

}  // namespace

std::vector<CrashState> CrashStates(const std::vector<RecordedCall>& calls, std::uint64_t seed,
                                    std::size_t samples) {
    std::vector<CrashState> states;
    std::set<std::string> made;
    const auto add = [&](CrashState state) {
        if (made.insert(std::to_string(state.m_nEnd) + Signature(state)).second)
            states.push_back(std::move(state));
    };
    std::set<dev_t> devices;
    for (const RecordedCall& call : calls)
        if (ChangesNames(call)) devices.insert(call.m_nDevice);
    if (devices.size() < 2) devices.clear();
    for (std::size_t i = 0; i <= calls.size(); ++i) {
        if (i < calls.size() && calls[i].m_nKind != RecordedKind::Fsync) continue;
        const std::size_t end = i < calls.size() ? i + 1 : calls.size();
        const std::string at = i < calls.size()
                                   ? "after call " + std::to_string(i) + " (" + DescribeCall(calls[i]) + ")"
                                   : "at the end";
        const std::vector<bool> durable = Durable(calls, end);
        const auto none = [](dev_t) { return false; };
        const auto all = [](dev_t) { return true; };
        add(Mixed(calls, durable, none, true, at + ", all of it on disk"));
        add(Mixed(calls, durable, none, false, at + ", names on disk, unflushed data lost"));
        add(Mixed(calls, durable, all, true, at + ", unflushed names lost"));
        add(Mixed(calls, durable, all, false, at + ", only what was flushed on disk"));
        // Two file systems persist apart: each one's unflushed names lost while the other's stay.
        for (const dev_t device : devices)
            add(Mixed(
                calls, durable, [device](dev_t on) { return on == device; }, true,
                at + ", unflushed names lost on device " + std::to_string(device) + " only"));
    }
    ScenarioRandom random(seed);
    for (std::size_t i = 0; i < samples && !calls.empty(); ++i) add(Sampled(calls, random));
    return states;
}

int ApplyCrashState(const std::vector<RecordedCall>& calls, const CrashState& state) {
    std::map<int, int> fds;  // the index of a Create to the descriptor it opened again
    int passed = 0;
    for (std::size_t i = 0; i < state.m_nEnd; ++i) {
        if (!state.m_lstKept[i]) continue;
        const RecordedCall& call = calls[i];
        const auto cut = state.m_mapCut.find(i);
        const int result =
            ApplyCall(call, cut == state.m_mapCut.end() ? call.m_strData.size() : cut->second, fds);
        if (call.m_nKind == RecordedKind::Create && result >= 0) fds[static_cast<int>(i)] = result;
        if (result < 0) ++passed;
    }
    for (const auto& [file, fd] : fds) ::close(fd);
    return passed;
}

}  // namespace tandemere::testing
