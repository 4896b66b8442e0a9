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

// Why a drop is declined: its first item is a root (a dragged drive), or its parent is the target
// (`target` without a trailing backslash unless it is a root). Byte for byte, as the shell spells it.
bool IsDeclinedDrop(const std::string& firstItem, const std::string& target);

}  // namespace tandemere::shell
