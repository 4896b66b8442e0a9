// Engine layer: the result of one platform operation, carried as a plain code.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace tandemere::engine {

// The portable vocabulary every backend maps its native errors into.
enum class ErrorKind : std::uint8_t {
    None,
    NotFound,      // nothing exists at the path (or a component of it is missing)
    Exists,        // the target name is taken; nothing was replaced
    AccessDenied,  // permission, read-only, sharing violation
    NotEmpty,      // a folder still holds entries
    NotADirectory,
    IsADirectory,
    CrossDevice,  // the operation needs both paths on one volume
    NameTooLong,  // the path exceeds what the platform accepts
    NoMemory,
    Io,  // the device failed, or the file changed under us
    Unsupported,
    SourceChanged,  // the source changed while it was copied: the copy is in place, the source stays
    Other,
};

// Says what happened and to which path; the native code (errno or GetLastError) is kept for diagnostics.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(ErrorKind kind, std::int64_t nativeCode, std::string path)
        : m_nKind(kind), m_nNativeCode(nativeCode), m_strPath(std::move(path)) {}

    static Status Ok() { return Status(); }

    bool IsOk() const { return m_nKind == ErrorKind::None; }
    explicit operator bool() const { return IsOk(); }
    ErrorKind Kind() const { return m_nKind; }
    std::int64_t NativeCode() const { return m_nNativeCode; }
    const std::string& Path() const { return m_strPath; }

    // A short human-readable description, for test output and diagnostics.
    std::string Describe() const;

private:
    ErrorKind m_nKind = ErrorKind::None;
    std::int64_t m_nNativeCode = 0;
    std::string m_strPath;
};

const char* ErrorKindName(ErrorKind kind);

}  // namespace tandemere::engine
