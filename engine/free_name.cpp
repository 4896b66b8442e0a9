// Engine layer: free names "stem (n).ext" for an entry that must not take a name already in use.
#include "engine/free_name.h"

#include <cstdint>
#include <string>

#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {

std::string FindFreeName(IFileSystem& fs, const std::string& folder, const std::string& name) {
    const PathStyle& style = fs.Style();
    std::string stem = folder + name;
    RemoveExtension(style, stem);
    const std::string_view extension = FindExtension(style, name);

    // The name itself is never offered: the first candidate is always (2).
    for (std::uint32_t n = 2;; ++n) {
        std::string candidate = FormatText("%s (%u)%s", {stem, std::to_string(n), extension});
        // Only an entry that is found takes the name; a lookup that fails for another reason
        // (a path too long, a folder that cannot be searched) ends the search, and the operation
        // that uses the name then reports it. Moves never replace, so nothing is overwritten.
        DirEntry entry;
        if (!fs.Lookup(candidate, entry)) {
            StripPath(style, candidate);
            return candidate;
        }
    }
}

std::string MoveCommand::GetFreeName(const std::string& folder, const std::string& name) {
    return FindFreeName(m_rFs, folder, name);
}

}  // namespace tandemere::engine
