// Service addresses (see the header).
#include "common/ServiceUrl.h"

#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/UrlParts.h"

std::wstring ReplaceUrlHost(const std::wstring& url, const std::wstring& host)
{
    UrlParts parts;
    if (!ParseUrl(url, parts)) return url;
    std::wstring out = url;
    out.replace(parts.hostStart, parts.hostLength, host);
    return out;
}

std::wstring UrlHost(const std::wstring& url)
{
    UrlParts parts;
    return ParseUrl(url, parts) ? url.substr(parts.hostStart, parts.hostLength) : std::wstring();
}

std::wstring ServiceUrl(UINT id)
{
    std::wstring url = LoadModuleString(id);
    std::wstring forced = SettingsStore().ForceServer();
    return forced.empty() ? url : ReplaceUrlHost(url, forced);
}
