// Platform layer (POSIX): the facts the engine's drop refusal rule needs, as Linux gives them.
#pragma once

#include <string>

#include "engine/drop_refusal.h"
#include "engine/status.h"

namespace tandemere::posix {

// The home folder ($HOME, else the password database's) and the system's own folders, each also
// under its real path where a link leads elsewhere (/bin to /usr/bin).
engine::ProtectedFolders LinuxProtectedFolders();

// Looks at one dragged item (full path, its last component as dragged). Fails, saying why, when
// nothing is there or it cannot be read: a folder that cannot be listed, a file that cannot be opened.
engine::Status LookAtDroppedItem(const std::string& path, engine::DroppedItem& item);

}  // namespace tandemere::posix
