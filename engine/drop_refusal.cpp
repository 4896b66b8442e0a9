// Engine layer: the rule that refuses dragged items no one means to move.
#include "engine/drop_refusal.h"

namespace tandemere::engine {
namespace {

std::string Trimmed(const PathStyle& style, std::string path) {
    RemoveSeparator(style, path);
    return path;
}

// Whether `path` is `folder`, or matches it as a pattern whose last component ends in '*'.
bool IsFolder(const PathStyle& style, std::string_view path, const std::string& folder) {
    const std::string wanted = Trimmed(style, folder);
    if (wanted.empty() || wanted.back() != '*') return EqualNames(path, wanted, style.m_bIgnoreCase);
    const std::string_view stem = std::string_view(wanted).substr(0, wanted.size() - 1);
    if (path.size() < stem.size() || !EqualNames(path.substr(0, stem.size()), stem, style.m_bIgnoreCase))
        return false;
    // The pattern covers one component: "/lib*" is not "/lib/x".
    return path.find(style.m_chSeparator, stem.size()) == std::string_view::npos;
}

// Whether `path` lies above `inner`.
bool Holds(const PathStyle& style, std::string path, const std::string& inner) {
    AddSeparator(style, path);
    return inner.size() > path.size() &&
           EqualNames(std::string_view(inner).substr(0, path.size()), path, style.m_bIgnoreCase);
}

DropRefusal RefuseSpelling(const PathStyle& style, const ProtectedFolders& folders, const std::string& path) {
    if (IsRoot(style, path)) return DropRefusal::Root;
    const std::string home = Trimmed(style, folders.m_strHome);
    if (!home.empty() && !IsRoot(style, home)) {
        if (EqualNames(path, home, style.m_bIgnoreCase)) return DropRefusal::Home;
        if (Holds(style, path, home)) return DropRefusal::HoldsHome;
    }
    for (const std::string& system : folders.m_lstSystem)
        if (IsFolder(style, path, system)) return DropRefusal::SystemFolder;
    return DropRefusal::None;
}

}  // namespace

DropRefusal RefuseDroppedItem(const PathStyle& style, const ProtectedFolders& folders,
                              const DroppedItem& item) {
    for (const std::string* spelling : {&item.m_strPath, &item.m_strResolved}) {
        if (spelling->empty()) continue;
        const DropRefusal refusal = RefuseSpelling(style, folders, Trimmed(style, *spelling));
        if (refusal != DropRefusal::None) return refusal;
    }
    return item.m_bMountTop ? DropRefusal::MountTop : DropRefusal::None;
}

std::string_view RefusalText(DropRefusal refusal) {
    switch (refusal) {
        case DropRefusal::None:
            return {};
        case DropRefusal::Root:
            return "is a root folder";
        case DropRefusal::Home:
            return "is your home folder";
        case DropRefusal::HoldsHome:
            return "holds your home folder";
        case DropRefusal::MountTop:
            return "is the top folder of a mounted volume";
        case DropRefusal::SystemFolder:
            return "is one of the system's own folders";
    }
    return {};
}

}  // namespace tandemere::engine
