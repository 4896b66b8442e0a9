// Engine layer: descriptions of platform statuses.
#include "engine/status.h"

namespace tandemere::engine {

const char* ErrorKindName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::None:
            return "ok";
        case ErrorKind::NotFound:
            return "not found";
        case ErrorKind::Exists:
            return "already exists";
        case ErrorKind::AccessDenied:
            return "access denied";
        case ErrorKind::NotEmpty:
            return "folder not empty";
        case ErrorKind::NotADirectory:
            return "not a folder";
        case ErrorKind::IsADirectory:
            return "is a folder";
        case ErrorKind::CrossDevice:
            return "different volumes";
        case ErrorKind::NameTooLong:
            return "path too long";
        case ErrorKind::NoMemory:
            return "out of memory";
        case ErrorKind::Io:
            return "input/output error";
        case ErrorKind::Unsupported:
            return "not supported";
        case ErrorKind::SourceChanged:
            return "source changed meanwhile";
        case ErrorKind::Other:
            return "error";
    }
    return "error";
}

std::string Status::Describe() const {
    if (IsOk()) return "ok";
    std::string text = ErrorKindName(m_nKind);
    text += " (native code " + std::to_string(m_nNativeCode) + ")";
    if (!m_strPath.empty()) text += ": " + m_strPath;
    return text;
}

}  // namespace tandemere::engine
