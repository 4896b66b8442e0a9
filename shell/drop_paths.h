// Shell layer: what the file manager hands over for a drop (an ID list, a data object), turned into
// the engine's UTF-8 paths through the wide calls, so no path is cut at 260 characters.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace tandemere::shell {

// The file-system path of an ID list, whatever its length; false when it has none (a virtual
// folder such as the computer itself).
bool PathFromIdList(PCIDLIST_ABSOLUTE idList, std::string& path);

// One entry of a file-drop list. A name that is not valid UTF-16 (an unpaired surrogate, which NTFS
// allows) has no UTF-8 path: m_bValid is false and m_strPath only shows it, U+FFFD in its place.
struct DroppedPath {
    std::string m_strPath;
    bool m_bValid = true;
};

// Reads the data object's file-drop list (CF_HDROP) in drop order; an entry that cannot be read is
// an empty path in its place. E_INVALIDARG when there is no such list or it cannot be locked.
HRESULT ReadDroppedPaths(IDataObject* data, std::vector<DroppedPath>& paths);

// Whether a drop is declined: an item the engine's refusal rule refuses (a root, the profile folder or
// one that holds it, a volume's mount point, the Windows or a Program Files folder), or the first
// item's parent is the target (compared as the platform compares folder paths: trailing separator,
// letter case, "\\?\" forms). Entries that cannot be read or named are passed over.
bool IsDeclinedDrop(const std::vector<DroppedPath>& paths, const std::string& target);

}  // namespace tandemere::shell
