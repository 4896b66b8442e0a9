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
        Put(name, value);
    }
    ~ScopedEnv() { Put(m_pszName, m_old ? m_old->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    static void Put(const char* name, const char* value) {
#ifdef _WIN32
        ::_putenv_s(name, value ? value : "");  // an empty value removes it there
#else
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
#endif
    }

    const char* m_pszName;
    std::optional<std::string> m_old;
};

}  // namespace tandemere::testing
