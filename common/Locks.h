// The lock primitives: an interface, a critical section, a scoped lock, and
// the named objects that several processes of the user share (a mutex with a
// bounded wait, and the security that lets every integrity level open them).
#pragma once

#include <windows.h>

class Lockable {
public:
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual ~Lockable() = default;
};

class CriticalSection : public Lockable {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() override { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Lock() override { EnterCriticalSection(&section_); }
    void Unlock() override { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class ScopedLock {
public:
    explicit ScopedLock(Lockable& lock) : lock_(lock) { lock_.Lock(); }
    ~ScopedLock() { lock_.Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Lockable& lock_;
};

// Security attributes for named objects shared between the browser, which may
// run at low integrity, and other processes of the product: the object gets
// the low integrity label, so a low process can open what a medium one made.
// Get() is null (default security) where the system knows no labels.
class SharedObjectSecurity {
public:
    SharedObjectSecurity() noexcept;
    ~SharedObjectSecurity();
    SharedObjectSecurity(const SharedObjectSecurity&) = delete;
    SharedObjectSecurity& operator=(const SharedObjectSecurity&) = delete;

    SECURITY_ATTRIBUTES* Get() noexcept { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_;
};

// A mutex shared by every process of the user session that names it, made
// with SharedObjectSecurity. Its holder may be any process, so it is only
// ever waited for a bounded time.
class NamedMutex {
public:
    explicit NamedMutex(const wchar_t* name) noexcept;
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    bool IsValid() const noexcept { return mutex_ != nullptr; }
    // True once this thread owns the mutex (also when its last owner died
    // holding it); false after waitMs, or when there is no mutex.
    bool Acquire(DWORD waitMs) noexcept;
    void Release() noexcept;

private:
    HANDLE mutex_;
};
