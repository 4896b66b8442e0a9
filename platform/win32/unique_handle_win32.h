// Platform layer (Win32): one move-only owner for every kind of handle (files, searches, keys).
#pragma once

#include <windows.h>

namespace tandemere::win32 {

// Traits give the handle type, the value that means "none" and the close call:
//   struct Traits { using Handle = ...; static Handle Invalid() noexcept; static void Close(Handle) noexcept;
//   };
// Closes the handle on every path and keeps the caller's GetLastError across its own close.
template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    explicit UniqueHandle(Handle handle = Traits::Invalid()) noexcept : m_hRaw(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_hRaw(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    bool IsValid() const noexcept { return m_hRaw != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }
    Handle Get() const noexcept { return m_hRaw; }
    // For out-parameters (RegOpenKeyExW(..., handle.Put())): closes what was held first.
    Handle* Put() noexcept {
        Reset();
        return &m_hRaw;
    }
    Handle Release() noexcept {
        const Handle handle = m_hRaw;
        m_hRaw = Traits::Invalid();
        return handle;
    }
    void Reset(Handle handle = Traits::Invalid()) noexcept {
        if (m_hRaw != Traits::Invalid()) {
            const DWORD saved = ::GetLastError();
            Traits::Close(m_hRaw);
            ::SetLastError(saved);
        }
        m_hRaw = handle;
    }

private:
    Handle m_hRaw;
};

// CreateFileW's handles: INVALID_HANDLE_VALUE means none.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

// FindFirstFileW's search handles, closed by FindClose.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::FindClose(handle); }
};

// Registry keys opened or created by the Reg*Ex calls.
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::RegCloseKey(handle); }
};

using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;

}  // namespace tandemere::win32
