// Test support: an environment variable set or cleared for one scope.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace tandemere::testing {

// Sets `name` to `value` (nullptr: unset) and puts the old value back on destruction.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_pszName(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            ::setenv(m_pszName, m_old->c_str(), 1);
        else
            ::unsetenv(m_pszName);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_pszName;
    std::optional<std::string> m_old;
};

}  // namespace tandemere::testing
