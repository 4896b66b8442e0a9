// Platform layer (Win32): the facts the engine's drop refusal rule needs, as Windows gives them.
#pragma once

#include <string>

#include "engine/drop_refusal.h"

namespace tandemere::win32 {

// The profile folder, and the Windows and Program Files folders (both views where there are two),
// as the system names them; a folder the system cannot name is left out.
engine::ProtectedFolders WindowsProtectedFolders();

// The user's local application data folder (%LOCALAPPDATA%) as the system names it; empty if it cannot.
std::string LocalAppDataFolder();

// One dragged item: its long name (no 8.3 spelling), and whether it is a volume's mount point.
// A junction or link keeps only its own path.
engine::DroppedItem LookAtDroppedItem(const std::string& path);

}  // namespace tandemere::win32
