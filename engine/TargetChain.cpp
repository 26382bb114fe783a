// The uploader's default chain of result targets (see the header).
#include "engine/TargetChain.h"

#include <exdisp.h>
#include <mshtml.h>
#include <wrl/client.h>

#include <memory>

#include "VellumpostToolbar_h.h"
#include "common/SettingsStore.h"
#include "engine/InternetExplorerImageTarget.h"
#include "engine/JSImageTarget.h"
#include "engine/UpdatePagesTarget.h"
#include "engine/UploadHistory.h"
#include "engine/WebBrowserImageTarget.h"

using Microsoft::WRL::ComPtr;

namespace {

// The target of the destination, by the first of its interfaces that has one.
std::unique_ptr<ImageTarget> DestinationTarget(IStockBar* toolbar, IUnknown* destination)
{
    if (!destination) return nullptr;
    ComPtr<IUnknown> object(destination);
    ComPtr<IHTMLElement> element;
    if (SUCCEEDED(object.As(&element)) && element)
        return std::make_unique<CHTMLElementImageTarget>(element.Get(), toolbar);
    ComPtr<IWebBrowser2> browser;
    if (SUCCEEDED(object.As(&browser)) && browser)
        return std::make_unique<CWebBrowserImageTarget>(browser.Get(), toolbar);
    ComPtr<IHTMLWindow2> window;
    if (SUCCEEDED(object.As(&window)) && window)
        return std::make_unique<CWindowImageTarget>(window.Get(), toolbar);
    ComPtr<IHTMLDocument2> document;
    if (SUCCEEDED(object.As(&document)) && document) return std::make_unique<CJSImageTarget>(document.Get());
    return nullptr;
}

}  // namespace

ImageTarget* BuildTargetChain(IStockBar* toolbar, IUnknown* destination)
{
    std::unique_ptr<ImageTarget> base;
    if (toolbar)
        base = std::make_unique<CToolbarImageTarget>(toolbar);
    else
        base = std::make_unique<CHistoryImageTarget>();
    if (SettingsStore().UpdateBrowserAfterUpload()) {
        auto pages = std::make_unique<CUpdatePagesTarget>();
        base = std::make_unique<CCompositeImageTarget>(pages.release(), base.release());
    }
    std::unique_ptr<ImageTarget> target = DestinationTarget(toolbar, destination);
    if (!target) return base.release();
    return new CCompositeImageTarget(base.release(), target.release());
}
