// Engine layer: which dragged items a drop refuses before anything is touched (a root, the home
// folder or a folder that holds it, a mount point's top, one of the system's own folders). The
// platform layer gathers the facts; the rule is the same on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/path.h"

namespace tandemere::engine {

// The folders a drop never moves, as the platform resolves them (links followed, the stored case).
struct ProtectedFolders {
    std::string m_strHome;  // the user's home (profile) folder; empty when unknown
    // The system's own folders; a last component ending in '*' stands for every name it begins
    // ("/lib*" covers "/lib64").
    std::vector<std::string> m_lstSystem;
};

// One dragged item as the platform sees it.
struct DroppedItem {
    std::string m_strPath;      // full, its last component as dragged (a link stays the link)
    std::string m_strResolved;  // links followed and the stored case; empty when it cannot be resolved
    bool m_bMountTop = false;   // the top folder of a mounted volume
};

enum class DropRefusal : std::uint8_t {
    None,
    Root,
    Home,
    HoldsHome,
    MountTop,
    SystemFolder,
};

// Why the item must not be moved, or None. Both spellings of the item are compared, ignoring case
// where the style does, so neither a link to a protected folder nor the folder itself slips through.
DropRefusal RefuseDroppedItem(const PathStyle& style, const ProtectedFolders& folders,
                              const DroppedItem& item);

// The refusal in a user's words, completing "\"<item>\" ...": "is your home folder".
std::string_view RefusalText(DropRefusal refusal);

}  // namespace tandemere::engine
