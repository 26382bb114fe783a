// The handle family: one owner class per kind of kernel handle. Each wrapper
// owns its handle and closes it when destroyed; create and open operations
// report failure through IsValid and leave the error code to GetLastError.
#pragma once

#include <windows.h>

#include <string>

template <typename T>
class THandle {
public:
    THandle() = default;
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    virtual ~THandle() = default;

    // Releases the handle if it is valid and forgets it; returns the system
    // call's result, 0 when there was nothing to close.
    virtual BOOL Close() = 0;

    virtual bool IsValid() const
    {
        return handle_ != nullptr && handle_ != reinterpret_cast<T>(INVALID_HANDLE_VALUE);
    }

    // Takes ownership of h, closing the handle held so far unless it is h itself.
    void Attach(T h)
    {
        if (h == handle_) return;
        if (IsValid()) Close();
        handle_ = h;
    }

    // Gives up ownership without closing.
    T Detach()
    {
        T h = handle_;
        handle_ = nullptr;
        return h;
    }

    T Get() const { return handle_; }
    operator T() const { return handle_; }

protected:
    T handle_ = nullptr;
};

class Handle : public THandle<HANDLE> {
public:
    Handle() = default;
    explicit Handle(HANDLE h) { Attach(h); }
    ~Handle() override { Close(); }
    BOOL Close() override;
};

// Marks handles that can be waited on.
class WaitableHandle : public Handle {
public:
    using Handle::Handle;
    // WaitForSingleObject on the handle.
    DWORD Wait(DWORD milliseconds) const { return WaitForSingleObject(handle_, milliseconds); }
};

class Thread : public WaitableHandle {
public:
    bool Create(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                LPVOID argument, DWORD flags);
    // Used by ProcessEx to hand over the main thread of a new process.
    void Set(HANDLE h, DWORD id)
    {
        Attach(h);
        id_ = id;
    }
    DWORD Id() const { return id_; }

private:
    DWORD id_ = 0;
};

class Process : public WaitableHandle {
public:
    bool Open(DWORD processId, DWORD access, BOOL inherit);
    bool IsRunning() const;
};

class ProcessEx : public Process {
public:
    ProcessEx();
    ~ProcessEx() override { Close(); }
    BOOL Close() override;
    // Starts a process (any previous one is let go first); returns 1 or 0.
    int Run(const wchar_t* application, wchar_t* commandLine, const wchar_t* directory, DWORD flags,
            LPSECURITY_ATTRIBUTES processSecurity = nullptr, LPSECURITY_ATTRIBUTES threadSecurity = nullptr,
            BOOL inheritHandles = FALSE, LPVOID environment = nullptr);
    STARTUPINFOW& StartupInfo() { return startup_; }
    const Thread& MainThread() const { return mainThread_; }

private:
    STARTUPINFOW startup_;
    PROCESS_INFORMATION info_;
    Thread mainThread_;
};

class Event : public WaitableHandle {
public:
    Event() = default;
    Event(BOOL manualReset, BOOL initialState, const wchar_t* name = nullptr,
          LPSECURITY_ATTRIBUTES security = nullptr);
    // Creates a named event and reports whether it existed before.
    Event(const wchar_t* name, BOOL manualReset, BOOL initialState, bool& alreadyExisted,
          LPSECURITY_ATTRIBUTES security = nullptr);
    BOOL Set() const { return SetEvent(handle_); }
    BOOL Reset() const { return ResetEvent(handle_); }
};

class File : public Handle {
public:
    bool Create(const wchar_t* name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                DWORD disposition, DWORD flags, HANDLE templateFile = nullptr);
    BOOL Read(void* buffer, DWORD count, LPOVERLAPPED overlapped = nullptr);
    BOOL ReadByte(BYTE* buffer) { return Read(buffer, 1); }
    BOOL Write(const void* buffer, DWORD count, LPOVERLAPPED overlapped = nullptr);
    BOOL WriteByte(BYTE value) { return Write(&value, 1); }
    BOOL WriteDword(DWORD value);  // four bytes, little-endian
    // 64-bit size, or -1 when it cannot be read.
    LONGLONG Size() const;
    DWORD Transferred() const { return transferred_; }
    const std::wstring& Name() const { return name_; }

private:
    DWORD transferred_ = 0;
    std::wstring name_;
};

class FileFind : public Handle {
public:
    FileFind() : data_() {}
    ~FileFind() override { Close(); }
    BOOL Close() override;
    bool First(const wchar_t* pattern);
    bool Next() { return FindNextFileW(handle_, &data_) != FALSE; }
    const WIN32_FIND_DATAW& Data() const { return data_; }

private:
    WIN32_FIND_DATAW data_;
};
