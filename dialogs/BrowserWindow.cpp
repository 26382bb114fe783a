// Opens an address in a new browser window (see the header).
#include "dialogs/BrowserWindow.h"

#include <mutex>

#include "common/Bstr.h"
#include "common/Variant.h"
#include "common/WebBrowser.h"

namespace {

std::mutex& OpenerLock()
{
    static std::mutex lock;
    return lock;
}

BrowserWindowOpener& Opener()
{
    static BrowserWindowOpener opener;
    return opener;
}

HRESULT OpenBrowser(const std::wstring& url)
{
    WebBrowser browser;
    HRESULT hr = browser.Create();
    if (FAILED(hr)) return hr;
    Bstr address(url.c_str());
    Variant none;
    hr = browser->Navigate(address.Get(), none.Get(), none.Get(), none.Get(), none.Get());
    if (FAILED(hr)) return hr;
    return browser->put_Visible(VARIANT_TRUE);
}

}  // namespace

HRESULT OpenInNewBrowserWindow(const std::wstring& url)
{
    BrowserWindowOpener opener;
    {
        std::lock_guard<std::mutex> hold(OpenerLock());
        opener = Opener();
    }
    return opener ? opener(url) : OpenBrowser(url);
}

void SetBrowserWindowOpener(BrowserWindowOpener opener)
{
    std::lock_guard<std::mutex> hold(OpenerLock());
    Opener() = std::move(opener);
}
