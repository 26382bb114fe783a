// Synchronous HTTP client (see the header).
#include "common/HttpConnection.h"

#include "common/ByteBuffer.h"
#include "common/LogWriter.h"
#include "common/VersionStrings.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("HttpConnection");
    return log;
}

const DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                            INTERNET_FLAG_PRAGMA_NOCACHE;  // 0x84400100

}  // namespace

HttpConnection::HttpConnection() : started_(GetTickCount()) {}

bool HttpConnection::Open(const wchar_t* url, const wchar_t* verb)
{
    if (!internet_.Open(VersionStrings::UserAgent().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {
        Log().Write("Cannot open internet connection");
        return false;
    }

    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    wchar_t path[INTERNET_MAX_PATH_LENGTH + 1] = {};
    wchar_t extra[INTERNET_MAX_PATH_LENGTH + 1] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = INTERNET_MAX_PATH_LENGTH + 1;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = INTERNET_MAX_PATH_LENGTH + 1;
    std::wstring full = url ? url : L"";
    if (full.find(L"://") == std::wstring::npos) full = L"http://" + full;
    if (!url || !InternetCrackUrlW(full.c_str(), 0, 0, &parts) || host[0] == L'\0') {
        Log().Write("Invalid URL", url ? url : L"");
        return false;
    }
    INTERNET_PORT port = parts.nPort ? parts.nPort : INTERNET_DEFAULT_HTTP_PORT;
    if (!connection_.Connect(internet_, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                             reinterpret_cast<DWORD_PTR>(this))) {
        Log().Write("Cannot connect to server");
        return false;
    }
    std::wstring object = path[0] ? path : L"/";
    object += extra;
    DWORD flags = kRequestFlags;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    if (!request_.Open(connection_, verb, object.c_str(), nullptr, nullptr, nullptr, flags,
                       reinterpret_cast<DWORD_PTR>(this))) {
        Log().Write("Cannot open HTTP connection");
        return false;
    }
    return true;
}

bool HttpConnection::OpenGetStream(const wchar_t* url)
{
    if (!Open(url, L"GET")) return false;
    if (!HttpSendRequestW(request_, nullptr, 0, nullptr, 0)) {
        Log().Write("Cannot open GET stream");
        return false;
    }
    return true;
}

bool HttpConnection::ReadAll(std::string& text)
{
    DWORD status = 200;
    if (request_.QueryStatus(status) && status != 200) {
        Log().Format("Invalid status: %i", static_cast<int>(status));
        return false;
    }
    ByteBuffer buffer;
    buffer.Reserve(1024);
    for (;;) {
        if (buffer.Size() > kMaxResponseBytes || !buffer.Reserve(buffer.Size() + 1024)) {
            Log().Write("Cannot read data");
            return false;
        }
        DWORD read = 0;
        if (!request_.Read(buffer.Data() + buffer.Size(), 1023, &read)) {
            Log().Write("Cannot read data");
            return false;
        }
        if (read == 0) break;
        buffer.SetSize(buffer.Size() + read);
    }
    text.assign(reinterpret_cast<const char*>(buffer.Data()), buffer.Size());
    return true;
}
