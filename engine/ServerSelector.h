// Chooses the address an upload request goes to: the endpoint URL of a string
// id on the service's canonical host, a load host drawn at random, or the
// forced server of the "ForceServer" setting.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CServerSelector {
public:
    // The endpoint of string urlId; canonical host and bare domain from the
    // string table, ForceServer from the settings.
    explicit CServerSelector(UINT urlId);
    // The endpoint of string urlId on the host of string hostId.
    CServerSelector(UINT urlId, UINT hostId);
    // The same with every input given (tests). loadPattern is the "load%i."
    // pattern; empty when it is not available.
    CServerSelector(const std::wstring& canonicalHost, const std::wstring& domain, const std::wstring& url,
                    const std::wstring& loadPattern, const std::wstring& forceServer);

    // The URL with the canonical host replaced by a load host other than the
    // last one picked (unless every redraw hit it).
    std::wstring RandomPick();
    // The URL unchanged on the first call, a random pick afterwards.
    std::wstring FirstOrRandomPick();
    const std::wstring& Url() const { return url_; }
    const std::vector<std::wstring>& Hosts() const { return hosts_; }

private:
    // Whether the address names the canonical host (the host the picks replace).
    bool IsCanonical(const std::wstring& url) const;
    void BuildHostList();

    std::wstring canonicalHost_;
    std::wstring domain_;
    std::wstring url_;
    std::wstring loadPattern_;
    int lastPick_ = -1;
    bool firstCall_ = true;
    bool listBuilt_ = false;
    std::vector<std::wstring> hosts_;
};
