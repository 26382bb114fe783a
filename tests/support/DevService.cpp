// The development service for integration tests (see the header).
#include "support/DevService.h"

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "common/HttpConnection.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "support/TempFolder.h"

namespace vptest {
namespace {

// A Unix path as Wine shows it (drive Z: is the root of the file system).
std::wstring WinePath(const std::string& unixPath)
{
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

}  // namespace

DevService::DevService()
{
    char state[1024] = {};
    if (!GetEnvironmentVariableA("VP_DEVSERVICE_STATE", state, sizeof(state))) {
        ADD_FAILURE() << "VP_DEVSERVICE_STATE is not set: run this test through CTest";
        return;
    }
    std::string text = ReadFileBytes(WinePath(std::string(state) + "/port"));
    port_ = static_cast<unsigned short>(std::strtoul(text.c_str(), nullptr, 10));
    if (!port_) ADD_FAILURE() << "the development service has not written its port";
}

std::wstring DevService::Host() const { return L"127.0.0.1:" + std::to_wstring(port_); }

std::wstring DevService::Url(const std::wstring& path) const { return L"http://" + Host() + path; }

void DevService::PointToolbarHere() const
{
    RegKey key;
    key.Create(HKEY_CURRENT_USER, SettingsKeyPath());
    SettingsStore::WriteText(key, L"ForceServer", Host());
}

std::string DevService::Get(const std::wstring& path) const
{
    HttpConnection http;
    std::string body;
    if (!http.OpenGetStream(Url(path).c_str()) || !http.ReadAll(body)) return std::string();
    return body;
}

std::string DevService::Post(const std::wstring& path) const
{
    HINTERNET internet = InternetOpenW(L"vptest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection =
        internet ? InternetConnectW(internet, L"127.0.0.1", port_, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)
                 : nullptr;
    HINTERNET request = connection ? HttpOpenRequestW(connection, L"POST", path.c_str(), nullptr, nullptr, nullptr,
                                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                                   : nullptr;
    std::string body;
    if (request && HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
        char buffer[4096];
        DWORD read = 0;
        while (InternetReadFile(request, buffer, sizeof(buffer), &read) && read > 0) body.append(buffer, read);
    }
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    if (internet) InternetCloseHandle(internet);
    return body;
}

void DevService::ArmAnswer(const std::string& text, int count) const
{
    std::wstring query = L"count=" + std::to_wstring(count) + L"&answer=";
    const char digits[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            query += static_cast<wchar_t>(c);
        } else {
            query += L'%';
            query += static_cast<wchar_t>(digits[c >> 4]);
            query += static_cast<wchar_t>(digits[c & 15]);
        }
    }
    ArmFault(query);
}

}  // namespace vptest
