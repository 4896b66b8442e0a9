// Engine layer: free names "stem (n).ext" for an entry that must not take a name already in use.
#pragma once

#include <string>

#include "engine/file_system.h"

namespace tandemere::engine {

// The first of "stem (2).ext", "stem (3).ext", ... of `name` that nothing in `folder` (ending in a
// separator) bears, as a name only. The name itself is never offered. A lookup that fails for
// another reason than nothing being there ends the search with that candidate.
std::string FindFreeName(IFileSystem& fs, const std::string& folder, const std::string& name);

}  // namespace tandemere::engine
