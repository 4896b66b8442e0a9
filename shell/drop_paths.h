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

// Reads the data object's file-drop list (CF_HDROP) in drop order; an entry that cannot be read is
// an empty string in its place. E_INVALIDARG when there is no such list or it cannot be locked.
HRESULT ReadDroppedPaths(IDataObject* data, std::vector<std::string>& paths);

// Whether a drop is declined: an item the engine's refusal rule refuses (a root, the profile folder or
// one that holds it, a volume's mount point, the Windows or a Program Files folder), or the first
// item's parent is the target (`target` without a trailing backslash unless it is a root; byte for
// byte, as the shell spells it). Empty entries (unreadable) are passed over.
bool IsDeclinedDrop(const std::vector<std::string>& paths, const std::string& target);

}  // namespace tandemere::shell
