// Platform tests: a folder made to refuse changes to its entries for one scope, on POSIX.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "tests/support/temp_folder.h"

namespace tandemere::testing {

// chattr +i for root (who ignores modes), mode 0555 otherwise; undone on destruction.
class LockedFolder {
public:
    explicit LockedFolder(std::string path) : m_strPath(std::move(path)) {
        if (::geteuid() == 0)
            m_bLocked = std::system(("chattr +i '" + m_strPath + "' 2>/dev/null").c_str()) == 0;
        else
            m_bLocked = SetMode(m_strPath, 0555);
    }
    ~LockedFolder() {
        if (!m_bLocked) return;
        if (::geteuid() == 0)
            (void)std::system(("chattr -i '" + m_strPath + "'").c_str());
        else
            SetMode(m_strPath, 0755);
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    bool IsLocked() const { return m_bLocked; }

private:
    std::string m_strPath;
    bool m_bLocked = false;
};

}  // namespace tandemere::testing
