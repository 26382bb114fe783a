// Endpoint choice (see the header).
#include "engine/ServerSelector.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "common/ServiceUrl.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "resources/resource.h"

CServerSelector::CServerSelector(UINT urlId)
    : CServerSelector(LoadModuleString(IDS_MAIN_HOST), LoadModuleString(IDS_DOMAIN), LoadModuleString(urlId),
                      LoadModuleString(IDS_LOAD_HOST_PATTERN), SettingsStore().ForceServer())
{
}

CServerSelector::CServerSelector(UINT urlId, UINT hostId)
    : CServerSelector(LoadModuleString(hostId), LoadModuleString(IDS_DOMAIN), LoadModuleString(urlId),
                      LoadModuleString(IDS_LOAD_HOST_PATTERN), SettingsStore().ForceServer())
{
}

CServerSelector::CServerSelector(const std::wstring& canonicalHost, const std::wstring& domain,
                                 const std::wstring& url, const std::wstring& loadPattern,
                                 const std::wstring& forceServer)
    : canonicalHost_(canonicalHost), domain_(domain), url_(url), loadPattern_(loadPattern)
{
    // With a forced server the canonical host is gone from the URL, so every
    // pick leaves the forced server in place.
    if (!forceServer.empty() && !canonicalHost_.empty() && IsCanonical(url_)) url_ = ReplaceUrlHost(url_, forceServer);
}

bool CServerSelector::IsCanonical(const std::wstring& url) const
{
    return !canonicalHost_.empty() && _wcsicmp(UrlHost(url).c_str(), canonicalHost_.c_str()) == 0;
}

void CServerSelector::BuildHostList()
{
    listBuilt_ = true;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (!loadPattern_.empty()) {
        for (int i = 1; i <= 10; ++i) {
            wchar_t host[300];
            std::swprintf(host, 300, loadPattern_.c_str(), i);
            hosts_.push_back(host);
        }
    } else if (!domain_.empty()) {
        hosts_.push_back(canonicalHost_);
        hosts_.push_back(domain_);
    }
}

std::wstring CServerSelector::RandomPick()
{
    if (!listBuilt_) BuildHostList();
    if (hosts_.size() <= 1) return url_;
    int size = static_cast<int>(hosts_.size());
    int pick = std::abs(std::rand()) % size;
    for (int redraws = 0; pick == lastPick_ && redraws < size; ++redraws) pick = std::abs(std::rand()) % size;
    lastPick_ = pick;
    return IsCanonical(url_) ? ReplaceUrlHost(url_, hosts_[pick]) : url_;
}

std::wstring CServerSelector::FirstOrRandomPick()
{
    if (firstCall_) {
        firstCall_ = false;
        return url_;
    }
    return RandomPick();
}
