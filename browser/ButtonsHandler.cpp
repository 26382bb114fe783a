// Page buttons of the service (see the header).
#include "browser/ButtonsHandler.h"

#include <cwchar>

#include "browser/HtmlEvent.h"
#include "browser/PageAccess.h"
#include "common/HResult.h"
#include "common/HostCheck.h"
#include "common/Variant.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kNamePrefix[] = L"vellumpost-";
const size_t kNamePrefixLength = 11;

using Command = HRESULT (STDMETHODCALLTYPE IStockBar::*)(VARIANT);

// The names a page may give its buttons, in the order they are tried, with
// the band's command and whether the page's script gets progress and results.
struct ButtonName {
    const wchar_t* name;
    Command command;
    bool toPage;
};
const ButtonName kButtonNames[] = {
    {L"vellumpost-upload", &IStockBar::Upload, false},
    {L"vellumpost-slideshow", &IStockBar::SlideShow, false},
    {L"vellumpost-screenshot", &IStockBar::ScreenShot, false},
    {L"vellumpost-js-upload", &IStockBar::Upload, true},
    {L"vellumpost-js-slideshow", &IStockBar::SlideShow, true},
    {L"vellumpost-js-screenshot", &IStockBar::ScreenShot, true},
};

bool HasButtonPrefix(const std::wstring& name)
{
    return name.size() >= kNamePrefixLength && _wcsnicmp(name.c_str(), kNamePrefix, kNamePrefixLength) == 0;
}

// The entry of kButtonNames an element's id or class names (the first name
// that either matches), or -1 for a name of ours that is none of them.
int ButtonIndex(const std::wstring& id, const std::wstring& className)
{
    for (size_t i = 0; i < sizeof(kButtonNames) / sizeof(kButtonNames[0]); ++i) {
        const wchar_t* name = kButtonNames[i].name;
        if (_wcsicmp(id.c_str(), name) == 0 || _wcsicmp(className.c_str(), name) == 0) return static_cast<int>(i);
    }
    return -1;
}

bool IsButtonOrLink(IHTMLElement* element)
{
    ComPtr<IHTMLInputButtonElement> input;
    ComPtr<IHTMLButtonElement> button;
    ComPtr<IHTMLAnchorElement> link;
    return SUCCEEDED(element->QueryInterface(IID_PPV_ARGS(&input))) ||
           SUCCEEDED(element->QueryInterface(IID_PPV_ARGS(&button))) ||
           SUCCEEDED(element->QueryInterface(IID_PPV_ARGS(&link)));
}

}  // namespace

CButtonsHandler::CButtonsHandler() { log_.Format("Created %s", LogAddress(this).c_str()); }

CButtonsHandler::~CButtonsHandler() { log_.Format("Destroyed %s", LogAddress(this).c_str()); }

ComPtr<IHTMLDocument2> CButtonsHandler::ServicePage()
{
    ComPtr<IHTMLDocument2> document;
    if (FAILED(BrowserDocument(browser_.Get(), document))) return nullptr;
    // Each frame by its own address: a page of the service inside a foreign
    // page is the service's, a foreign frame inside the service's page is not.
    if (!IsServiceUrl(DocumentAddress(document.Get()), ServiceScope::Pages)) return nullptr;
    return document;
}

STDMETHODIMP CButtonsHandler::Attach(IDispatch* pDisp, IStockBar* pBar, BOOL* pAttached)
try {
    if (pAttached) *pAttached = FALSE;
    if (!pDisp) return E_POINTER;
    ComPtr<IWebBrowser2> browser;
    RETURN_IF_FAILED(pDisp->QueryInterface(IID_PPV_ARGS(&browser)));
    browser_ = browser;
    ComPtr<IHTMLDocument2> document;
    RETURN_IF_FAILED(BrowserDocument(browser_.Get(), document));
    ComPtr<IHTMLElement> body;
    if (FAILED(document->get_body(body.GetAddressOf())) || !body) return S_OK;
    if (!ServicePage()) {
        log_.Write("Not a page of the service: its buttons are left alone");
        return S_OK;
    }
    bar_ = pBar;
    for (const wchar_t* tag : {L"input", L"button", L"a"})
        if (FAILED(HookElements(document.Get(), tag, pAttached))) return E_FAIL;
    return S_OK;
}
COM_CATCH_RETURN(log_, "Attach")

HRESULT CButtonsHandler::HookElements(IHTMLDocument2* document, const wchar_t* tag, BOOL* attached)
{
    HRESULT result = S_OK;
    RETURN_IF_FAILED(VisitElements(document, tag, [&](IHTMLElement* element) {
        if (!IsButtonOrLink(element)) return true;
        const std::wstring id = ElementId(element), className = ElementClass(element);
        if (!HasButtonPrefix(id) && !HasButtonPrefix(className)) return true;
        // The page's own click handler keeps running before ours. The sink
        // carries the command of the element it is set on: a click on a
        // picture or text inside a link arrives with that child as source.
        Variant previous;
        if (FAILED(element->get_onclick(previous.Out()))) previous.Clear();
        ComPtr<IDispatch> sink =
            CSingleHtmlEvent<CButtonsHandler>::Create(this, static_cast<IButtonsHandler*>(this), &CButtonsHandler::OnClick,
                                                      AbstractHtmlEvent::PageHandler(*previous.Get()).Get(),
                                                      ButtonIndex(id, className));
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = VT_DISPATCH;
        V_DISPATCH(&value) = sink.Get();
        if (FAILED(element->put_onclick(value))) {
            result = E_FAIL;
            return false;
        }
        if (attached) *attached = TRUE;
        return true;
    }));
    return result;
}

STDMETHODIMP CButtonsHandler::AttachAndParse(IDispatch* pDisp, IStockBar* pBar, BOOL* pAttached)
try {
    return AttachHandlerWithFrames<CButtonsHandler, IButtonsHandler>(this, pDisp, pBar, pAttached);
}
COM_CATCH_RETURN(log_, "AttachAndParse")

void CButtonsHandler::OnClick(int buttonIndex)
{
    if (!bar_) return;
    // The page may have moved on to another address since it was attached.
    ComPtr<IHTMLDocument2> document = ServicePage();
    if (!document) return;
    ComPtr<IHTMLEventObj> event = CurrentEvent(document.Get());
    ComPtr<IHTMLElement> source;
    if (!event || FAILED(event->get_srcElement(source.GetAddressOf())) || !source) return;
    // Neither the link is followed nor the form sent.
    SetReturnValue(event.Get(), false);
    if (buttonIndex < 0 || static_cast<size_t>(buttonIndex) >= sizeof(kButtonNames) / sizeof(kButtonNames[0])) return;
    const ButtonName& button = kButtonNames[buttonIndex];
    Variant destination;
    if (button.toPage) {
        V_VT(destination.Get()) = VT_DISPATCH;
        V_DISPATCH(destination.Get()) = nullptr;
        ComPtr<IDispatch> page;
        if (SUCCEEDED(document.As(&page))) V_DISPATCH(destination.Get()) = page.Detach();
    }
    // The command's own answer (such as a cancelled dialog) is not the page's business.
    (void)(bar_.Get()->*button.command)(*destination.Get());
}

STDMETHODIMP CButtonsHandler::get_StockBar(IStockBar** value)
{
    if (!value) return E_POINTER;
    return bar_.CopyTo(value);
}

STDMETHODIMP CButtonsHandler::put_StockBar(IStockBar* value)
{
    bar_ = value;
    return S_OK;
}

STDMETHODIMP CButtonsHandler::get_Browser(IDispatch** value)
{
    if (!value) return E_POINTER;
    *value = nullptr;
    return browser_ ? browser_.CopyTo(value) : S_OK;
}

STDMETHODIMP CButtonsHandler::put_Browser(IDispatch* value)
try {
    return StoreBrowserOnce(browser_, value);
}
COM_CATCH_RETURN(log_, "put_Browser")

STDMETHODIMP CButtonsHandler::put_CallerHWND(OLE_HANDLE value)
{
    callerWindow_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
    return S_OK;
}
