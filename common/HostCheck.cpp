// Host checks (see the header).
#include "common/HostCheck.h"

#include <windows.h>

#include <cwchar>

#include "common/LogWriter.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/UrlParts.h"
#include "resources/resource.h"

bool IsBrowserProgramPath(const wchar_t* path)
{
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    if (!slash) return true;
    return lstrcmpiW(slash + 1, L"iexplore.exe") == 0;
}

bool HostedInBrowser()
{
    static volatile LONG cached = -1;
    if (cached >= 0) return cached == 1;
    wchar_t path[MAX_PATH] = {};
    bool hosted = true;
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n != 0 && n < MAX_PATH) {
        LogWriter("MAIN").Write("Attached to ", path);
        hosted = IsBrowserProgramPath(path);
    }
    InterlockedExchange(&cached, hosted ? 1 : 0);
    return hosted;
}

ServiceHosts ServiceHosts::FromModule()
{
    ServiceHosts hosts;
    hosts.domain = LoadModuleString(IDS_DOMAIN);
    for (UINT id : {IDS_DOMAIN, IDS_MAIN_HOST, IDS_ACCOUNT_HOST, IDS_PROFILE_HOST}) {
        std::wstring host = LoadModuleString(id);
        if (!host.empty()) hosts.pageHosts.push_back(host);
    }
    hosts.forcedServer = SettingsStore().ForceServer();
    return hosts;
}

namespace {

// A page on the forced server: only when the setting names this machine, since
// any program of the user, even a sandboxed one, can write it.
bool IsOnForcedServer(const UrlParts& page, const std::wstring& forcedServer)
{
    std::wstring host;
    unsigned short port = 0;
    bool explicitPort = false;
    if (forcedServer.empty() || !ParseHostPort(forcedServer, host, port, explicitPort)) return false;
    if (!IsLoopbackHost(host) || host != page.host) return false;
    return !explicitPort || port == page.port;
}

// A configured host name in the parser's form; empty when it is no plain host.
std::wstring HostName(const std::wstring& text)
{
    std::wstring host;
    unsigned short port = 0;
    bool explicitPort = false;
    return ParseHostPort(text, host, port, explicitPort) && !explicitPort ? host : std::wstring();
}

bool IsUnderDomain(const std::wstring& host, const std::wstring& domain)
{
    if (domain.empty() || host.size() < domain.size()) return false;
    if (host.size() == domain.size()) return host == domain;
    const size_t dot = host.size() - domain.size() - 1;
    return host[dot] == L'.' && host.compare(dot + 1, domain.size(), domain) == 0;
}

}  // namespace

bool IsServiceUrl(const std::wstring& url, ServiceScope scope, const ServiceHosts& hosts)
{
    UrlParts page;
    if (!ParseUrl(url, page) || (page.scheme != L"http" && page.scheme != L"https")) return false;
    if (scope == ServiceScope::AnyHost) return IsUnderDomain(page.host, HostName(hosts.domain));
    for (const std::wstring& name : hosts.pageHosts)
        if (HostName(name) == page.host) return true;
    return IsOnForcedServer(page, hosts.forcedServer);
}

bool IsServiceUrl(const std::wstring& url, ServiceScope scope)
{
    return IsServiceUrl(url, scope, ServiceHosts::FromModule());
}
