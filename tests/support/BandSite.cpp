// The band-site double (see the header).
#include "support/BandSite.h"

#include <exdisp.h>
#include <shlguid.h>

namespace vptest {

STDMETHODIMP BandSite::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = container_;
    return S_OK;
}

STDMETHODIMP BandSite::OnFocusChangeIS(IUnknown*, BOOL focused)
{
    focusChanges.push_back(focused);
    return S_OK;
}

STDMETHODIMP BandSite::QueryService(REFGUID service, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(service, SID_SWebBrowserApp) || !browser_) return E_NOINTERFACE;
    return browser_->QueryInterface(iid, object);
}

}  // namespace vptest
