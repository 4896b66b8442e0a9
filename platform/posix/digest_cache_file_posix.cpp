// Platform layer (POSIX): the digest cache's file.
#include "platform/posix/digest_cache_file_posix.h"

#include "platform/posix/user_files_posix.h"

namespace tandemere::posix {

std::string DefaultDigestCachePath() {
    return XdgBaseFolder("XDG_CACHE_HOME", ".cache") + "/tandemere/digests";
}

void LoadDigestCache(const std::string& path, engine::DigestCache& cache) {
    std::string bytes;
    if (ReadWholeFile(path, bytes).IsOk()) cache.Load(bytes);
}

engine::Status SaveDigestCache(const std::string& path, const engine::DigestCache& cache) {
    // Only its owner reads what files of which sizes the user keeps where.
    return ReplaceFileWhole(path, cache.Save(), 0600);
}

}  // namespace tandemere::posix
