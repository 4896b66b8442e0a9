// Test support: a file system around a real one that makes chosen calls fail, to reach every error path.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace tandemere::testing {

// Wraps a real backend. A failing call does not reach the real one: nothing changes on disk, and
// the call reports the chosen kind (bool operations report false). Calls are counted per
// operation, failing ones included, from 1.
class FaultyFileSystem : public engine::IFileSystem {
public:
    enum class Operation : std::uint8_t {
        ListFolder,
        Lookup,
        IsFolder,
        OpenRead,
        Read,  // reads of files opened through this wrapper
        Move,
        MoveReplacing,
        Rename,
        MoveFolderAcrossVolumes,
        DeleteFile,
        MoveToTrash,
        RemoveFolder,
        IsSameVolume,
        IsSameObject,
        CreateFolder,
    };
    static constexpr std::size_t kOperationCount = 15;
    // The native code a made-up failure carries, so tests can tell it from a real one.
    static constexpr std::int64_t kFaultCode = -7;

    explicit FaultyFileSystem(engine::IFileSystem& real) : m_real(real) {}

    // The n-th call (1-based) of the operation fails.
    void FailNth(Operation op, int n, engine::ErrorKind kind = engine::ErrorKind::Io);
    // Every call of the operation from the n-th on fails.
    void FailFrom(Operation op, int n, engine::ErrorKind kind = engine::ErrorKind::Io);
    // Every call of the operation whose (first) path contains `pathPart` fails.
    void FailPath(Operation op, std::string pathPart, engine::ErrorKind kind = engine::ErrorKind::Io);
    // Forgets every rule (the counts stay).
    void ClearFaults() { m_lstRules.clear(); }
    void ResetCounts() {
        m_lstCalls.fill(0);
        m_mapBytesRead.clear();
    }
    int Calls(Operation op) const { return m_lstCalls[static_cast<std::size_t>(op)]; }
    // Faults made so far, all operations together.
    int Faults() const { return m_nFaults; }

    // Bytes read so far through this wrapper, by the path each file was opened under.
    std::map<std::string, std::uint64_t> m_mapBytesRead;

    // Runs before every counted call (after counting, before any fault), e.g. to change the disk.
    std::function<void(Operation op, const std::string& path)> m_fnBeforeCall;

    const engine::PathStyle& Style() const override { return m_real.Style(); }
    bool PathFits(const std::string& path) const override { return m_real.PathFits(path); }
    engine::Status ListFolder(const std::string& folder, std::vector<engine::DirEntry>& entries) override;
    // Counted and failed as ListFolder.
    engine::Status ListNames(const std::string& folder, std::vector<engine::DirEntry>& entries) override;
    engine::Status Lookup(const std::string& path, engine::DirEntry& entry) override;
    bool IsFolder(const std::string& path) override;
    engine::Status OpenRead(const std::string& path, std::unique_ptr<engine::IReadFile>& file) override;
    engine::Status Move(const std::string& from, const std::string& to) override;
    engine::Status MoveReplacing(const std::string& from, const std::string& to) override;
    engine::Status Rename(const std::string& from, const std::string& to) override;
    engine::Status MoveFolderAcrossVolumes(engine::WindowHandle owner, const std::string& from,
                                           const std::string& to, std::vector<std::string>& left) override;
    engine::Status DeleteFile(const std::string& path) override;
    engine::Status MoveToTrash(const std::string& path, std::string& where) override;
    engine::Status FindTrash(const std::string& path, std::string& where) override;
    engine::Status RemoveFolder(const std::string& path) override;
    engine::Status CreateFolder(const std::string& path) override;
    bool IsSameVolume(const std::string& existing, const std::string& target) override;
    engine::Status IsSameObject(const std::string& a, const std::string& b, bool& same) override;
    std::string ReasonText(const engine::Status& status) const override { return m_real.ReasonText(status); }
    engine::Status ReadLink(const std::string& path, std::string& target) override {
        return m_real.ReadLink(path, target);
    }
    void SetKeepAlive(engine::KeepAlive* keepAlive) override { m_real.SetKeepAlive(keepAlive); }
    void SetTreeRoots(const std::vector<std::string>& folders) override { m_real.SetTreeRoots(folders); }

    // Counts the call and says whether it must fail; `kind` gets the failure's kind. Used by the
    // wrapper's own read handles too.
    bool Enter(Operation op, const std::string& path, engine::ErrorKind& kind);

private:
    // ListFolder and ListNames: counted and failed alike, then `list` of the real one.
    engine::Status List(const std::string& folder, std::vector<engine::DirEntry>& entries,
                        engine::Status (engine::IFileSystem::*list)(const std::string&,
                                                                    std::vector<engine::DirEntry>&));

    struct Rule {
        Operation m_nOp;
        int m_nFrom;
        int m_nTo;  // inclusive
        std::string m_strPathPart;
        engine::ErrorKind m_nKind;
    };

    engine::IFileSystem& m_real;
    std::vector<Rule> m_lstRules;
    std::array<int, kOperationCount> m_lstCalls{};
    int m_nFaults = 0;
};

const char* OperationName(FaultyFileSystem::Operation op);

}  // namespace tandemere::testing
