// Platform layer (POSIX): where the digests kept across moves are stored, and their loading and saving.
#pragma once

#include <string>

#include "engine/digest_cache.h"
#include "engine/status.h"

namespace tandemere::posix {

// $XDG_CACHE_HOME/tandemere/digests, else ~/.cache/tandemere/digests.
std::string DefaultDigestCachePath();

// Fills `cache` from the file at `path`; a missing, unreadable, damaged or foreign file leaves it
// empty, to be built again by the moves that follow.
void LoadDigestCache(const std::string& path, engine::DigestCache& cache);

// Replaces the file with `cache`; a failure costs the next move only the reading it would have spared.
engine::Status SaveDigestCache(const std::string& path, const engine::DigestCache& cache);

}  // namespace tandemere::posix
