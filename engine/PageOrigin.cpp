// The page lock of the scriptable objects (see the header).
#include "engine/PageOrigin.h"

#include <docobj.h>
#include <mshtml.h>
#include <servprov.h>

#include "common/Bstr.h"
#include "common/HostCheck.h"
#include "common/TextConvert.h"
#include "common/UrlParts.h"

using Microsoft::WRL::ComPtr;

namespace {

// A page address as one log line can hold it: control characters (NULs, line
// breaks) shown as "?", cut to a sane length.
std::string LoggedAddress(const std::wstring& url)
{
    const size_t kMaxLogged = 512;
    std::wstring shown = url.substr(0, kMaxLogged);
    for (wchar_t& c : shown)
        if (c < L' ' || c == 0x7F) c = L'?';
    if (url.size() > kMaxLogged) shown += L"...";
    return Narrow(shown);
}

}  // namespace

HRESULT PageOrigin::GetSite(REFIID iid, void** site) const
{
    if (!site) return E_POINTER;
    *site = nullptr;
    if (!site_) return E_FAIL;
    return site_->QueryInterface(iid, site);
}

std::wstring PageOrigin::PageUrl() const
{
    if (!site_) return std::wstring();
    ComPtr<IHTMLDocument2> document;
    // A control on a page: its client site's container is the document.
    ComPtr<IOleClientSite> clientSite;
    if (SUCCEEDED(site_.As(&clientSite))) {
        ComPtr<IOleContainer> container;
        if (SUCCEEDED(clientSite->GetContainer(&container)) && container) container.As(&document);
    }
    // An object made by page script: the site serves the page's document.
    ComPtr<IServiceProvider> services;
    if (!document && SUCCEEDED(site_.As(&services)))
        services->QueryService(SID_SContainerDispatch, IID_PPV_ARGS(&document));
    if (!document) return std::wstring();
    Bstr url;
    if (FAILED(document->get_URL(url.Out())) || !url.Get()) return std::wstring();
    return std::wstring(url.Get(), url.Length());
}

HRESULT PageOrigin::Check(const char* operation, const LogWriter& log, std::wstring* pageHost) const
{
    if (pageHost) pageHost->clear();
    if (!site_) {
        if (!scriptMade_) return S_OK;
        log.Format("%s refused: the object is on no page", operation);
        return E_ACCESSDENIED;
    }
    const std::wstring url = PageUrl();
    UrlParts page;
    if (IsServiceUrl(url, ServiceScope::Pages) && ParseUrl(url, page)) {
        if (pageHost) *pageHost = page.host;
        return S_OK;
    }
    log.Format("%s refused for the page %s", operation, url.empty() ? "<unknown>" : LoggedAddress(url).c_str());
    return E_ACCESSDENIED;
}
