// Platform layer (POSIX): the freedesktop.org trash: which trash folder takes a file, and the move
// of a file into it, its .trashinfo written first, by a rename (never a copy).
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/status.h"

namespace tandemere::posix {

// A path as a .trashinfo's Path= value: every byte but the URL's unreserved characters
// (letters, digits, -_.!~*'()) and '/' as %XX.
std::string EncodeTrashPath(std::string_view path);

// The trash of each file system, worked out once per device: the home trash ($XDG_DATA_HOME/Trash,
// else ~/.local/share/Trash) for the home trash's own file system, else the top folder's
// .Trash/$uid (a sticky, real .Trash) or .Trash-$uid. A trash on another file system is never used.
class TrashFolders {
public:
    // Moves the file or link `path` into its trash (never a folder: IsADirectory). `where` is
    // `the trash "<folder>"`, or `the trash` when none was found; on failure the file stays.
    engine::Status MoveToTrash(const std::string& path, std::string& where);
    // The trash MoveToTrash would use and whether it exists or could be made; creates nothing.
    engine::Status FindTrash(const std::string& path, std::string& where);

private:
    // The trash folder for `file` (absolute) on `device`: made ready when `create`, else only
    // checked. 0 or errno; `folder` names the trash tried, empty when there was none.
    int Choose(const std::string& file, dev_t device, bool create, std::string& folder);
    // The top folder of the mount that holds `file`'s folder; empty (with errno) when unknown.
    std::string TopFolder(const std::string& file, dev_t device, int& error);
    // Starts over when the environment names another home trash.
    void NoteHomeTrash();

    std::string m_strHomeTrash;  // as the environment names it now; empty: none
    bool m_bHomeDeviceKnown = false;
    bool m_bHomeDeviceFound = false;
    dev_t m_nHomeDevice = 0;
    std::unordered_map<dev_t, std::string> m_mapTopFolders;
    std::unordered_map<dev_t, std::string> m_mapReady;  // trash folders made and checked
};

}  // namespace tandemere::posix
