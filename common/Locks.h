// The lock primitives: an interface, a critical section and a scoped lock.
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

// A mutex shared by every process of the user session that names it; used
// where a lock must also hold against other processes.
class NamedMutex : public Lockable {
public:
    explicit NamedMutex(const wchar_t* name) : mutex_(CreateMutexW(nullptr, FALSE, name)) {}
    ~NamedMutex() override
    {
        if (mutex_) CloseHandle(mutex_);
    }
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    // A mutex abandoned by a process that died still hands over ownership.
    void Lock() override
    {
        if (mutex_) WaitForSingleObject(mutex_, INFINITE);
    }
    void Unlock() override
    {
        if (mutex_) ReleaseMutex(mutex_);
    }

private:
    HANDLE mutex_;
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
