// WinINet handle owners (see the header).
#include "common/InternetHandles.h"

BOOL InternetHandle::Close()
{
    if (!handle_) return 0;
    BOOL result = InternetCloseHandle(handle_);
    handle_ = nullptr;
    return result;
}

bool Internet::Open(const wchar_t* agent, DWORD accessType, const wchar_t* proxy, const wchar_t* bypass,
                    DWORD flags)
{
    Attach(InternetOpenW(agent, accessType, proxy, bypass, flags));
    return IsValid();
}

bool InternetConnection::Connect(HINTERNET internet, const wchar_t* server, INTERNET_PORT port,
                                 const wchar_t* user, const wchar_t* password, DWORD service, DWORD flags,
                                 DWORD_PTR context)
{
    Attach(InternetConnectW(internet, server, port, user, password, service, flags, context));
    return IsValid();
}

bool InternetHttpRequest::Open(HINTERNET connection, const wchar_t* verb, const wchar_t* object,
                               const wchar_t* version, const wchar_t* referrer, const wchar_t** acceptTypes,
                               DWORD flags, DWORD_PTR context)
{
    Attach(HttpOpenRequestW(connection, verb, object, version, referrer, acceptTypes, flags, context));
    return IsValid();
}

BOOL InternetHttpRequest::SendRequestEx(INTERNET_BUFFERSW* buffersIn, INTERNET_BUFFERSW* buffersOut,
                                        DWORD_PTR context)
{
    return HttpSendRequestExW(handle_, buffersIn, buffersOut, 0, context);
}

BOOL InternetHttpRequest::EndRequest(DWORD_PTR context)
{
    return HttpEndRequestW(handle_, nullptr, HSR_INITIATE, context);
}
