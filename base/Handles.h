// Move-only owners of the kinds of Win32 handle the program opens. Each closes
// its handle on every path; NULL and INVALID_HANDLE_VALUE both mean "no handle".
#ifndef QUORLEN_BASE_HANDLES_H
#define QUORLEN_BASE_HANDLES_H

#include <windows.h>
#include <wincrypt.h>

template <typename Traits>
class ScopedWin {
public:
    using Type = typename Traits::Type;

    ScopedWin() : value_(Traits::Null()) {}
    explicit ScopedWin(Type value) : value_(value) {}
    ~ScopedWin() { Close(); }

    ScopedWin(const ScopedWin&) = delete;
    ScopedWin& operator=(const ScopedWin&) = delete;
    ScopedWin(ScopedWin&& other) noexcept : value_(other.Release()) {}
    ScopedWin& operator=(ScopedWin&& other) noexcept {
        if (this != &other) {
            Close();
            value_ = other.Release();
        }
        return *this;
    }

    bool IsValid() const { return Traits::IsValid(value_); }
    Type Get() const { return value_; }
    // For out-parameters: closes what is held and hands out the slot.
    Type* Receive() {
        Close();
        return &value_;
    }
    Type Release() {
        Type value = value_;
        value_ = Traits::Null();
        return value;
    }
    // Closes now; true when there was nothing to close or the close succeeded, so a
    // caller can log a failed close. The handle is forgotten either way.
    bool Close() {
        if (!IsValid()) return true;
        bool ok = Traits::Close(value_);
        value_ = Traits::Null();
        return ok;
    }

private:
    Type value_;
};

struct HandleTraits {
    using Type = HANDLE;
    static Type Null() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(Type h) { return CloseHandle(h) != FALSE; }
};

struct FindTraits {
    using Type = HANDLE;
    static Type Null() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(Type h) { return FindClose(h) != FALSE; }
};

struct KeyTraits {
    using Type = HKEY;
    static Type Null() { return nullptr; }
    static bool IsValid(Type k) { return k != nullptr; }
    static bool Close(Type k) { return RegCloseKey(k) == ERROR_SUCCESS; }
};

struct DesktopTraits {
    using Type = HDESK;
    static Type Null() { return nullptr; }
    static bool IsValid(Type d) { return d != nullptr; }
    static bool Close(Type d) { return CloseDesktop(d) != FALSE; }
};

struct EventSourceTraits {
    using Type = HANDLE;
    static Type Null() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static bool Close(Type h) { return DeregisterEventSource(h) != FALSE; }
};

struct CryptProviderTraits {
    using Type = HCRYPTPROV;
    static Type Null() { return 0; }
    static bool IsValid(Type p) { return p != 0; }
    static bool Close(Type p) { return CryptReleaseContext(p, 0) != FALSE; }
};

// A mutex that this thread owns: released, then closed.
struct OwnedMutexTraits {
    using Type = HANDLE;
    static Type Null() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static bool Close(Type h) {
        const bool released = ReleaseMutex(h) != FALSE;
        return CloseHandle(h) != FALSE && released;
    }
};

// Memory from the process heap, for what has no fixed bound (a registry value, a
// security descriptor).
struct HeapTraits {
    using Type = void*;
    static Type Null() { return nullptr; }
    static bool IsValid(Type p) { return p != nullptr; }
    static bool Close(Type p) { return HeapFree(GetProcessHeap(), 0, p) != FALSE; }
};

using ScopedHandle = ScopedWin<HandleTraits>;  // CreateFileA, OpenProcessToken
using ScopedFind = ScopedWin<FindTraits>;      // FindFirstFileA
using ScopedKey = ScopedWin<KeyTraits>;        // RegOpenKeyExA
using ScopedDesktop = ScopedWin<DesktopTraits>;          // OpenInputDesktop
using ScopedEventSource = ScopedWin<EventSourceTraits>;  // RegisterEventSourceA
using ScopedMemory = ScopedWin<HeapTraits>;              // HeapAlloc
using ScopedCryptProvider = ScopedWin<CryptProviderTraits>;  // CryptAcquireContextA
using ScopedOwnedMutex = ScopedWin<OwnedMutexTraits>;        // a mutex waited for

#endif
