// Holds one browser instance (IWebBrowser2), creating it through COM and, when
// no browser server runs, starting one hidden and asking again.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <wrl/client.h>

class WebBrowser {
public:
    // Gets the browser class object (starting a hidden browser process when
    // needed and allowed) and creates an instance.
    HRESULT Create();
    // CoCreateInstance of the browser class; no start-up fallback.
    HRESULT CreateInstance();
    // Shows or hides the browser bar with the given class identifier.
    HRESULT ShowBand(const CLSID& band, bool show);

    IWebBrowser2* Get() const { return browser_.Get(); }
    IWebBrowser2* operator->() const { return browser_.Get(); }
    explicit operator bool() const { return browser_ != nullptr; }

private:
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
};
