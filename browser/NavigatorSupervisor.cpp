// The navigator supervisor: the browser's event subscription, the login check
// on the service's pages, the page handlers and the update-check trigger.
#include "browser/NavigatorSupervisor.h"

#include <mshtml.h>
#include <ocidl.h>
#include <exdispid.h>

#include <cwchar>
#include <ctime>

#include "browser/LoginCookies.h"
#include "common/Bstr.h"
#include "common/ClassCreator.h"
#include "common/HResult.h"
#include "common/HostCheck.h"
#include "common/VersionStrings.h"

using Microsoft::WRL::ComPtr;

namespace {

// A longer cookie string than any browser keeps for one site is not read.
const UINT kMaxCookieChars = 64 * 1024;

ClassCreator g_helpers;

// The address of a DocumentComplete event: a string, or a reference to one.
const VARIANT* EventAddress(const VARIANT* url)
{
    if (url && V_VT(url) == (VT_BYREF | VT_VARIANT)) url = V_VARIANTREF(url);
    return url && V_VT(url) == VT_BSTR && V_BSTR(url) ? url : nullptr;
}

}  // namespace

void CNavigatorSupervisor::SetHelperFactory(HelperFactory factory)
{
    g_helpers.Set(factory);
}

STDMETHODIMP CNavigatorSupervisor::QueryInterface(REFIID iid, void** object)
{
    if (InlineIsEqualGUID(iid, DIID_DWebBrowserEvents2)) return ComObject::QueryInterface(IID_IDispatch, object);
    return ComObject::QueryInterface(iid, object);
}

STDMETHODIMP CNavigatorSupervisor::Start(IDispatch* browser, IStockBar* bar)
try {
    Stop();
    if (!browser || FAILED(browser->QueryInterface(IID_PPV_ARGS(&browser_))) || !browser_) {
        browser_.Reset();
        return S_FALSE;
    }
    bar_ = bar;

    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = browser_.As(&container);
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point);
    if (SUCCEEDED(hr) && point) hr = point->Advise(static_cast<INavigatorSupervisor*>(this), &connection_);
    if (FAILED(hr) || !point) {
        connection_ = 0;
        log_.Format("Cannot subscribe to the events of browser %s: 0x%x", LogAddress(browser).c_str(),
                    static_cast<unsigned>(hr));
    }

    // The document already shown when the toolbar starts gets its handlers here.
    if (BrowserVisible()) {
        (void)AttachHandler<IDragAndDropHandler>(CLSID_DragAndDropHandler, browser, true);
        (void)AttachHandler<IButtonsHandler>(CLSID_ButtonsHandler, browser, true);
    }
    return S_OK;
}
COM_CATCH_RETURN(log_, "Start")

STDMETHODIMP CNavigatorSupervisor::Stop()
try {
    if (connection_ && browser_) {
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        if (SUCCEEDED(browser_.As(&container)) &&
            SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point)) && point)
            point->Unadvise(connection_);
    }
    bar_.Reset();
    browser_.Reset();
    connection_ = 0;
    return S_OK;
}
COM_CATCH_RETURN(log_, "Stop")

STDMETHODIMP CNavigatorSupervisor::DocumentComplete(IDispatch* frame, VARIANT* url)
try {
    if (const VARIANT* address = EventAddress(url)) {
        const std::wstring text(V_BSTR(address), SysStringLen(V_BSTR(address)));
        if (IsServiceUrl(text, ServiceScope::Pages)) CheckLogin(frame);
    }
    if (!BrowserVisible()) return S_OK;
    if (FAILED(AttachHandler<IDragAndDropHandler>(CLSID_DragAndDropHandler, frame, false))) return E_FAIL;
    (void)AttachHandler<IButtonsHandler>(CLSID_ButtonsHandler, frame, false);
    CheckForUpdateWhenDue();
    return S_OK;
}
COM_CATCH_RETURN(log_, "DocumentComplete")

bool CNavigatorSupervisor::BrowserVisible() const
{
    VARIANT_BOOL visible = VARIANT_FALSE;
    return browser_ && SUCCEEDED(browser_->get_Visible(&visible)) && visible == VARIANT_TRUE;
}

template <typename Handler>
HRESULT CNavigatorSupervisor::AttachHandler(REFCLSID clsid, IDispatch* frame, bool parse)
{
    ComPtr<Handler> handler;
    const HRESULT created = g_helpers.Create(clsid, handler);
    if (FAILED(created)) {
        log_.Format("Cannot create a page handler: 0x%x", static_cast<unsigned>(created));
        return created;
    }
    // The page keeps the handler alive through the event sinks it sets there.
    // A document it cannot attach to (no HTML: a PDF, an office document, a
    // folder view) is no failure of the supervisor: the other steps still run.
    BOOL attached = FALSE;
    const HRESULT hr =
        parse ? handler->AttachAndParse(frame, bar_.Get(), &attached) : handler->Attach(frame, bar_.Get(), &attached);
    if (FAILED(hr)) log_.Format("A page handler cannot attach to the document: 0x%x", static_cast<unsigned>(hr));
    return S_OK;
}

void CNavigatorSupervisor::TellBar(bool loggedIn) const
{
    if (bar_ && BrowserVisible()) bar_->EnableMyImages(loggedIn ? -1 : 0);
}

void CNavigatorSupervisor::CheckLogin(IDispatch* frame)
{
    ComPtr<IWebBrowser2> frameBrowser;
    ComPtr<IDispatch> documentDispatch;
    ComPtr<IHTMLDocument2> document;
    if (!frame || FAILED(frame->QueryInterface(IID_PPV_ARGS(&frameBrowser))) || !frameBrowser) return;
    if (FAILED(frameBrowser->get_Document(&documentDispatch)) || !documentDispatch) return;
    if (FAILED(documentDispatch.As(&document)) || !document) return;

    Bstr cookieText;
    if (FAILED(document->get_cookie(cookieText.Out()))) return;
    const UINT length = cookieText.Length();
    if (length > kMaxCookieChars || std::wcslen(cookieText.Text()) != length) {
        log_.Format("Cookies of %u characters (or with a NUL) are not read", length);
        return;
    }
    const std::wstring cookies(cookieText.Text(), length);
    if (cookies.empty()) {
        TellBar(false);
        return;
    }

    ComPtr<IHTMLLocation> location;
    Bstr href;
    if (SUCCEEDED(document->get_location(&location)) && location) (void)location->get_href(href.Out());
    log_.Write("Document: ", href.Text());

    // The values are the user's credentials: only the names go to the log.
    const LoginCookies login = ReadLoginCookies(cookies, VersionStrings::VersionCookie());
    std::wstring names;
    for (const std::wstring& name : login.names) names += (names.empty() ? L"" : L", ") + name;
    log_.Write("Cookies: ", names.c_str());

    TellBar(login.loggedIn);
    for (const std::wstring& write : login.writes) {
        Bstr assignment(write.c_str(), static_cast<UINT>(write.size()));
        (void)document->put_cookie(assignment.Get());
    }
    settings_.SetLogged(login.loggedIn);
    if (login.loggedIn && login.uid.size() <= SettingsStore::kMaxTextChars && login.uid != settings_.Uid())
        settings_.SetUid(login.uid);
}

void CNavigatorSupervisor::CheckForUpdateWhenDue()
{
    const ULONGLONG now = static_cast<ULONGLONG>(_time64(nullptr));
    const UpdateCheck decision =
        DecideUpdateCheck(now, settings_.LastCheckForUpdateTime(), settings_.CheckForUpdateInterval());
    if (decision == UpdateCheck::NotDue) return;
    // Stored before the check runs: a page completed while the check shows
    // its question must not start a second one.
    settings_.SetLastCheckForUpdateTime(now);
    if (decision == UpdateCheck::Due)
        StartUpdateCheck();
    else
        log_.Write("The last update check lies in the future: the interval starts now");
}

void CNavigatorSupervisor::StartUpdateCheck()
{
    ComPtr<ICheckUpdate> checker;
    const HRESULT created = g_helpers.Create(CLSID_CheckUpdate, checker);
    if (FAILED(created)) {
        log_.Format("No update check: 0x%x", static_cast<unsigned>(created));
        return;
    }
    // Inside the browser the check's question has no owner window.
    SHANDLE_PTR window = 0;
    if (!HostedInBrowser() && SUCCEEDED(browser_->get_HWND(&window)) && window)
        (void)checker->put_CallerHWND(static_cast<OLE_HANDLE>(window));
    (void)checker->CheckForUpdate();
}
