// The handle family (see the header).
#include "common/Handle.h"

BOOL Handle::Close()
{
    if (!IsValid()) {
        handle_ = nullptr;
        return 0;
    }
    BOOL result = CloseHandle(handle_);
    handle_ = nullptr;
    return result;
}

bool Thread::Create(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID argument, DWORD flags)
{
    Attach(CreateThread(security, stackSize, start, argument, flags, &id_));
    return IsValid();
}

bool Process::Open(DWORD processId, DWORD access, BOOL inherit)
{
    Attach(OpenProcess(access, inherit, processId));
    return IsValid();
}

bool Process::IsRunning() const
{
    DWORD code = 0;
    return GetExitCodeProcess(handle_, &code) && code == STILL_ACTIVE;
}

ProcessEx::ProcessEx() : startup_(), info_()
{
    startup_.cb = sizeof(startup_);
}

BOOL ProcessEx::Close()
{
    mainThread_.Close();
    return Process::Close();
}

int ProcessEx::Run(const wchar_t* application, wchar_t* commandLine, const wchar_t* directory, DWORD flags,
                   LPSECURITY_ATTRIBUTES processSecurity, LPSECURITY_ATTRIBUTES threadSecurity,
                   BOOL inheritHandles, LPVOID environment)
{
    Close();
    info_ = PROCESS_INFORMATION();
    if (!CreateProcessW(application, commandLine, processSecurity, threadSecurity, inheritHandles, flags,
                        environment, directory, &startup_, &info_))
        return 0;
    Attach(info_.hProcess);
    mainThread_.Set(info_.hThread, info_.dwThreadId);
    return 1;
}

Event::Event(BOOL manualReset, BOOL initialState, const wchar_t* name, LPSECURITY_ATTRIBUTES security)
{
    Attach(CreateEventW(security, manualReset, initialState, name));
}

Event::Event(const wchar_t* name, BOOL manualReset, BOOL initialState, bool& alreadyExisted,
             LPSECURITY_ATTRIBUTES security)
{
    Attach(CreateEventW(security, manualReset, initialState, name));
    alreadyExisted = IsValid() && GetLastError() == ERROR_ALREADY_EXISTS;
}

bool File::Create(const wchar_t* name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                  DWORD disposition, DWORD flags, HANDLE templateFile)
{
    name_ = name ? name : L"";
    Attach(CreateFileW(name, access, share, security, disposition, flags, templateFile));
    return IsValid();
}

BOOL File::Read(void* buffer, DWORD count, LPOVERLAPPED overlapped)
{
    transferred_ = 0;
    return ReadFile(handle_, buffer, count, &transferred_, overlapped);
}

BOOL File::Write(const void* buffer, DWORD count, LPOVERLAPPED overlapped)
{
    transferred_ = 0;
    return WriteFile(handle_, buffer, count, &transferred_, overlapped);
}

BOOL File::WriteDword(DWORD value)
{
    BYTE bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    return Write(bytes, 4);
}

LONGLONG File::Size() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) return -1;
    return size.QuadPart;
}

BOOL FileFind::Close()
{
    if (!IsValid()) {
        handle_ = nullptr;
        return 0;
    }
    BOOL result = FindClose(handle_);
    handle_ = nullptr;
    return result;
}

bool FileFind::First(const wchar_t* pattern)
{
    data_ = WIN32_FIND_DATAW();
    Attach(FindFirstFileW(pattern, &data_));
    return IsValid();
}
