// Test double of the browser's band site: the container window the band is
// placed in (IOleWindow), the focus notifications it receives
// (IInputObjectSite) and the frame's browser (IServiceProvider for
// SID_SWebBrowserApp), which is one of the browser doubles.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <servprov.h>
#include <shobjidl.h>

#include <vector>

#include "common/ComObject.h"
#include "support/BrowserDoubles.h"

namespace vptest {

class BandSite : public ComObject<BandSite, IOleWindow, IInputObjectSite, IServiceProvider> {
public:
    BandSite(HWND container, BrowserPtr<BrowserWebBrowser> browser)
        : container_(container), browser_(std::move(browser))
    {
    }

    // The focus flags of OnFocusChangeIS, in order.
    std::vector<BOOL> focusChanges;

    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnFocusChangeIS(IUnknown* object, BOOL focused) override;
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override;

private:
    HWND container_;
    BrowserPtr<BrowserWebBrowser> browser_;
};

}  // namespace vptest
