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
// else ~/.local/share/Trash, the home from the password database when $HOME is unset) for the home
// trash's own file system, else the top folder's .Trash/$uid (a sticky, real .Trash) or .Trash-$uid,
// whose .trashinfo files give paths relative to the top folder. A trash on another file system, or
// another mount of it, is never used.
class TrashFolders {
public:
    // Moves the file or link `path` into its trash (never a folder: IsADirectory). `where` is
    // `the trash "<folder>"`, or `the trash` when none was found; on failure the file stays.
    engine::Status MoveToTrash(const std::string& path, std::string& where);
    // The trash MoveToTrash would use and whether it exists or could be made; creates nothing. For
    // a folder: the trash of a file that would be made in it.
    engine::Status FindTrash(const std::string& path, std::string& where);
    // The file's path in the trash and its .trashinfo's path, as the last MoveToTrash that succeeded
    // put them; empty before the first.
    void LastTrashed(std::string& file, std::string& info) const {
        file = m_strLastFile;
        info = m_strLastInfo;
    }

private:
    struct Trash {
        std::string m_strFolder;  // empty when none was found
        std::string m_strTop;     // the top folder of a top folder trash; empty for the home trash
    };

    // The trash for a file in `folder` (absolute) on `device`: made ready when `create`, else only
    // checked. 0 or errno; `trash` names the trash tried.
    int Choose(const std::string& folder, dev_t device, bool create, Trash& trash);
    // The top folder of the mount that holds `folder`; empty (with errno) when unknown.
    std::string TopFolder(const std::string& folder, dev_t device, int& error);
    // Starts over when the environment names another home trash.
    void NoteHomeTrash();

    std::string m_strLastFile;  // the last file trashed, as it lies in the trash
    std::string m_strLastInfo;  // and its .trashinfo
    std::string m_strHomeTrash;  // as the environment names it now; empty: none
    bool m_bHomeDeviceKnown = false;
    bool m_bHomeDeviceFound = false;
    dev_t m_nHomeDevice = 0;
    std::unordered_map<dev_t, std::string> m_mapTopFolders;
    std::unordered_map<dev_t, Trash> m_mapReady;  // trash folders made and checked
};

}  // namespace tandemere::posix
