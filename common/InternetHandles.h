// Owners of WinINet handles. The mixins derive virtually from InternetHandle
// so that a class combining several of them holds one handle.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "common/Handle.h"

class InternetHandle : public THandle<HINTERNET> {
public:
    ~InternetHandle() override { Close(); }
    BOOL Close() override;
    bool IsValid() const override { return handle_ != nullptr; }
};

template <typename Base>
class TOptionable : public virtual Base {
public:
    BOOL QueryOption(DWORD option, void* buffer, DWORD* length) const
    {
        return InternetQueryOptionW(this->handle_, option, buffer, length);
    }
    BOOL SetOption(DWORD option, void* buffer, DWORD length)
    {
        return InternetSetOptionW(this->handle_, option, buffer, length);
    }
};

template <typename Base>
class TReadable : public virtual Base {
public:
    BOOL ReadEx(INTERNET_BUFFERSA* buffers, DWORD flags, DWORD_PTR context)
    {
        return InternetReadFileExA(this->handle_, buffers, flags, context);
    }
    BOOL Read(void* buffer, DWORD count, DWORD* read)
    {
        return InternetReadFile(this->handle_, buffer, count, read);
    }
};

template <typename Base>
class TWritable : public virtual Base {
public:
    BOOL Write(const void* buffer, DWORD count, DWORD* written)
    {
        return InternetWriteFile(this->handle_, buffer, count, written);
    }
};

template <typename Base>
class THttpQueryInfo : public virtual Base {
public:
    BOOL QueryInfo(DWORD level, void* buffer, DWORD* length, DWORD* index = nullptr) const
    {
        return HttpQueryInfoW(this->handle_, level, buffer, length, index);
    }
    // The status code, or false when it cannot be queried.
    bool QueryStatus(DWORD& status) const
    {
        DWORD length = sizeof(status);
        return QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length) != FALSE;
    }
};

class Internet : public TOptionable<InternetHandle> {
public:
    bool Open(const wchar_t* agent, DWORD accessType, const wchar_t* proxy, const wchar_t* bypass, DWORD flags);
};

class InternetConnection : public InternetHandle {
public:
    bool Connect(HINTERNET internet, const wchar_t* server, INTERNET_PORT port, const wchar_t* user,
                 const wchar_t* password, DWORD service, DWORD flags, DWORD_PTR context);
};

class InternetHttpRequest : public TReadable<InternetHandle>,
                            public TWritable<InternetHandle>,
                            public THttpQueryInfo<InternetHandle> {
public:
    bool Open(HINTERNET connection, const wchar_t* verb, const wchar_t* object, const wchar_t* version,
              const wchar_t* referrer, const wchar_t** acceptTypes, DWORD flags, DWORD_PTR context);
    BOOL SendRequestEx(INTERNET_BUFFERSW* buffersIn, INTERNET_BUFFERSW* buffersOut, DWORD_PTR context);
    BOOL EndRequest(DWORD_PTR context);
};
