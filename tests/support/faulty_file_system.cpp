// Test support: the fault-injecting file system.
#include "tests/support/faulty_file_system.h"

#include <climits>

namespace tandemere::testing {

using engine::ErrorKind;
using engine::Status;
using Operation = FaultyFileSystem::Operation;

namespace {

class FaultyReadFile : public engine::IReadFile {
public:
    FaultyReadFile(FaultyFileSystem& owner, std::unique_ptr<engine::IReadFile> real, std::string path)
        : m_owner(owner), m_pReal(std::move(real)), m_strPath(std::move(path)) {}
    Status Read(void* buffer, std::size_t size, std::size_t& got) override {
        ErrorKind kind = ErrorKind::None;
        if (m_owner.Enter(Operation::Read, m_strPath, kind)) {
            got = 0;
            return Status(kind, FaultyFileSystem::kFaultCode, m_strPath);
        }
        Status status = m_pReal->Read(buffer, size, got);
        m_owner.m_mapBytesRead[m_strPath] += got;
        return status;
    }

private:
    FaultyFileSystem& m_owner;
    std::unique_ptr<engine::IReadFile> m_pReal;
    std::string m_strPath;
};

Status Fault(ErrorKind kind, const std::string& path) {
    return Status(kind, FaultyFileSystem::kFaultCode, path);
}

}  // namespace

const char* OperationName(Operation op) {
    switch (op) {
        case Operation::ListFolder:
            return "ListFolder";
        case Operation::Lookup:
            return "Lookup";
        case Operation::IsFolder:
            return "IsFolder";
        case Operation::OpenRead:
            return "OpenRead";
        case Operation::Read:
            return "Read";
        case Operation::Move:
            return "Move";
        case Operation::MoveReplacing:
            return "MoveReplacing";
        case Operation::Rename:
            return "Rename";
        case Operation::MoveFolderAcrossVolumes:
            return "MoveFolderAcrossVolumes";
        case Operation::DeleteFile:
            return "DeleteFile";
        case Operation::MoveToTrash:
            return "MoveToTrash";
        case Operation::RemoveFolder:
            return "RemoveFolder";
        case Operation::IsSameVolume:
            return "IsSameVolume";
        case Operation::IsSameObject:
            return "IsSameObject";
        case Operation::CreateFolder:
            return "CreateFolder";
    }
    return "?";
}

void FaultyFileSystem::FailNth(Operation op, int n, ErrorKind kind) {
    m_lstRules.push_back({op, n, n, {}, kind});
}

void FaultyFileSystem::FailFrom(Operation op, int n, ErrorKind kind) {
    m_lstRules.push_back({op, n, INT_MAX, {}, kind});
}

void FaultyFileSystem::FailPath(Operation op, std::string pathPart, ErrorKind kind) {
    m_lstRules.push_back({op, 1, INT_MAX, std::move(pathPart), kind});
}

bool FaultyFileSystem::Enter(Operation op, const std::string& path, ErrorKind& kind) {
    const int call = ++m_lstCalls[static_cast<std::size_t>(op)];
    if (m_fnBeforeCall) m_fnBeforeCall(op, path);
    for (const Rule& rule : m_lstRules) {
        if (rule.m_nOp != op || call < rule.m_nFrom || call > rule.m_nTo) continue;
        if (!rule.m_strPathPart.empty() && path.find(rule.m_strPathPart) == std::string::npos) continue;
        kind = rule.m_nKind;
        ++m_nFaults;
        return true;
    }
    return false;
}

Status FaultyFileSystem::ListFolder(const std::string& folder, std::vector<engine::DirEntry>& entries) {
    return List(folder, entries, &engine::IFileSystem::ListFolder);
}

Status FaultyFileSystem::ListNames(const std::string& folder, std::vector<engine::DirEntry>& entries) {
    return List(folder, entries, &engine::IFileSystem::ListNames);
}

Status FaultyFileSystem::List(const std::string& folder, std::vector<engine::DirEntry>& entries,
                              Status (engine::IFileSystem::*list)(const std::string&,
                                                                  std::vector<engine::DirEntry>&)) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::ListFolder, folder, kind)) {
        entries.clear();
        return Fault(kind, folder);
    }
    return (m_real.*list)(folder, entries);
}

Status FaultyFileSystem::Lookup(const std::string& path, engine::DirEntry& entry) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::Lookup, path, kind)) return Fault(kind, path);
    return m_real.Lookup(path, entry);
}

bool FaultyFileSystem::IsFolder(const std::string& path) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::IsFolder, path, kind)) return false;
    return m_real.IsFolder(path);
}

Status FaultyFileSystem::OpenRead(const std::string& path, std::unique_ptr<engine::IReadFile>& file) {
    file.reset();
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::OpenRead, path, kind)) return Fault(kind, path);
    std::unique_ptr<engine::IReadFile> real;
    Status status = m_real.OpenRead(path, real);
    if (status.IsOk()) file = std::make_unique<FaultyReadFile>(*this, std::move(real), path);
    return status;
}

Status FaultyFileSystem::Move(const std::string& from, const std::string& to) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::Move, from, kind)) return Fault(kind, from);
    return m_real.Move(from, to);
}

Status FaultyFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::MoveReplacing, from, kind)) return Fault(kind, from);
    return m_real.MoveReplacing(from, to);
}

Status FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::Rename, from, kind)) return Fault(kind, from);
    return m_real.Rename(from, to);
}

Status FaultyFileSystem::MoveFolderAcrossVolumes(engine::WindowHandle owner, const std::string& from,
                                                 const std::string& to, std::vector<std::string>& left) {
    left.clear();
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::MoveFolderAcrossVolumes, from, kind)) return Fault(kind, from);
    return m_real.MoveFolderAcrossVolumes(owner, from, to, left);
}

Status FaultyFileSystem::DeleteFile(const std::string& path) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::DeleteFile, path, kind)) return Fault(kind, path);
    return m_real.DeleteFile(path);
}

Status FaultyFileSystem::MoveToTrash(const std::string& path, std::string& where) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::MoveToTrash, path, kind)) {
        // A refusing trash is named as the real one would name it.
        (void)m_real.FindTrash(path, where);
        return Fault(kind, path);
    }
    return m_real.MoveToTrash(path, where);
}

Status FaultyFileSystem::FindTrash(const std::string& path, std::string& where) {
    return m_real.FindTrash(path, where);
}

Status FaultyFileSystem::RemoveFolder(const std::string& path) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::RemoveFolder, path, kind)) return Fault(kind, path);
    return m_real.RemoveFolder(path);
}

Status FaultyFileSystem::CreateFolder(const std::string& path) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::CreateFolder, path, kind)) return Fault(kind, path);
    return m_real.CreateFolder(path);
}

bool FaultyFileSystem::IsSameVolume(const std::string& existing, const std::string& target) {
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::IsSameVolume, existing, kind)) return false;
    return m_real.IsSameVolume(existing, target);
}

Status FaultyFileSystem::IsSameObject(const std::string& a, const std::string& b, bool& same) {
    same = false;
    ErrorKind kind = ErrorKind::None;
    if (Enter(Operation::IsSameObject, a, kind)) return Fault(kind, a);
    return m_real.IsSameObject(a, b, same);
}

}  // namespace tandemere::testing
