// The toolbar band: site handling, band information, focus, drops on the
// toolbar, the scriptable option readers and commands, and the active bar.
#include "browser/StockBar.h"

#include <atomic>

#include "common/Bstr.h"
#include "common/ClassCreator.h"
#include "common/HResult.h"
#include "common/HostCheck.h"
#include "common/Locks.h"
#include "common/Variant.h"
#include "engine/LentResult.h"

using Microsoft::WRL::ComPtr;

namespace {

const int kBandHeight = 22;

struct ActiveBarSlot {
    CriticalSection lock;
    IStockBar* bar = nullptr;  // holds a reference
    // The same bar in the global interface table, so a caller on another
    // thread gets a proxy for its own apartment instead of a foreign pointer.
    DWORD globalCookie = 0;
};

ComPtr<IGlobalInterfaceTable> GlobalTable()
{
    ComPtr<IGlobalInterfaceTable> table;
    if (FAILED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&table))))
        table.Reset();
    return table;
}

ActiveBarSlot& ActiveSlot()
{
    static ActiveBarSlot slot;
    return slot;
}

// Cleared by the first band that completes SetSite inside the browser.
std::atomic<bool> g_resumeQueue{true};

ClassCreator g_helpers;

template <typename Interface>
HRESULT CreateHelper(REFCLSID clsid, ComPtr<Interface>& object)
{
    return g_helpers.Create(clsid, object);
}

// A class that this build does not carry yet (its library part is missing)
// is not registered; the band then runs without that helper.
bool ClassMissing(HRESULT hr)
{
    return hr == REGDB_E_CLASSNOTREG || hr == CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace

void CStockBar::SetHelperFactory(HelperFactory factory)
{
    g_helpers.Set(factory);
}

ComPtr<IStockBar> CStockBar::ActiveBar()
{
    ScopedLock lock(ActiveSlot().lock);
    return ComPtr<IStockBar>(ActiveSlot().bar);
}

ComPtr<IStockBar> CStockBar::ActiveBarForThisThread()
{
    DWORD cookie = 0;
    {
        ScopedLock lock(ActiveSlot().lock);
        cookie = ActiveSlot().globalCookie;
    }
    ComPtr<IStockBar> bar;
    ComPtr<IGlobalInterfaceTable> table = cookie ? GlobalTable() : nullptr;
    // A bar revoked in the meantime answers with an error: no bar.
    if (table && FAILED(table->GetInterfaceFromGlobal(cookie, IID_PPV_ARGS(&bar)))) bar.Reset();
    return bar;
}

void CStockBar::SetActiveBar(IStockBar* bar, IStockBar* onlyIfActive)
try {
    LogWriter("CStockBar").Format("Set Active Bar: %s", LogAddress(bar).c_str());
    IStockBar* old = nullptr;
    DWORD oldCookie = 0;
    ComPtr<IGlobalInterfaceTable> table = GlobalTable();
    {
        ScopedLock lock(ActiveSlot().lock);
        ActiveBarSlot& slot = ActiveSlot();
        if (onlyIfActive && slot.bar != onlyIfActive) return;
        if (slot.bar == bar) return;
        old = slot.bar;
        oldCookie = slot.globalCookie;
        slot.bar = bar;
        slot.globalCookie = 0;
        if (bar) bar->AddRef();
        // Registered here, on the bar's own thread (SetSite), under the lock so
        // that cookie and bar always name the same band.
        if (bar && table && FAILED(table->RegisterInterfaceInGlobal(bar, IID_IStockBar, &slot.globalCookie)))
            slot.globalCookie = 0;
    }
    // Released outside the lock: the last reference may run a band's destructor.
    if (table && oldCookie) table->RevokeInterfaceFromGlobal(oldCookie);
    if (old) old->Release();
} catch (...) {
    LogWriter("CStockBar").Format("EXCEPTION on SetActiveBar %s", LogAddress(bar).c_str());
}

CStockBar::CStockBar()
{
    Toolbar().SearchBox().SetBand(this);
    log_.Format("StockBar has been created %s", LogAddress(this).c_str());
}

CStockBar::~CStockBar()
{
    log_.Format("Destroying %s", LogAddress(this).c_str());
    try {
        if (supervisor_) supervisor_->Stop();
        supervisor_.Reset();
        if (dropTargetRegistered_ && Toolbar().Window()) RevokeDragDrop(Toolbar().Window());
        reflection_.Destroy();
        site_.Reset();
        browser_.Reset();
    } catch (...) {
        log_.Format("EXCEPTION on destroying %s", LogAddress(this).c_str());
    }
}

// --- IOleWindow, IDockingWindow, IDeskBand -----------------------------------------

STDMETHODIMP CStockBar::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = Toolbar().Window();
    return S_OK;
}

STDMETHODIMP CStockBar::ContextSensitiveHelp(BOOL enterMode)
{
    contextHelp_ = enterMode;
    return S_OK;
}

STDMETHODIMP CStockBar::ShowDW(BOOL show)
{
    shown_ = show;
    if (Toolbar().Window()) ShowWindow(Toolbar().Window(), show ? SW_SHOW : SW_HIDE);
    return S_OK;
}

STDMETHODIMP CStockBar::CloseDW(DWORD)
{
    return ShowDW(FALSE);
}

STDMETHODIMP CStockBar::ResizeBorderDW(LPCRECT, IUnknown*, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CStockBar::GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info)
try {
    bandId_ = bandId;
    viewMode_ = viewMode;
    if (!info) return E_POINTER;
    const int width = Toolbar().IdealWidth();
    if (info->dwMask & DBIM_MINSIZE) info->ptMinSize = {width, kBandHeight};
    if (info->dwMask & DBIM_MAXSIZE) info->ptMaxSize = {0, -1};
    if (info->dwMask & DBIM_INTEGRAL) info->ptIntegral = {0, 0};
    if (info->dwMask & DBIM_ACTUAL) info->ptActual = {width, kBandHeight};
    if (info->dwMask & DBIM_TITLE) info->wszTitle[0] = L'\0';
    if (info->dwMask & DBIM_MODEFLAGS) info->dwModeFlags = DBIMF_NORMAL;
    info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
    return S_OK;
}
COM_CATCH_RETURN(log_, "GetBandInfo")

// --- IObjectWithSite ------------------------------------------------------------------

STDMETHODIMP CStockBar::SetSite(IUnknown* site)
try {
    UnsetSite();
    log_.Format("SetSite %s for bar %s", LogAddress(site).c_str(), LogAddress(this).c_str());
    if (!site) return S_OK;
    if (FAILED(BuildSite(site))) {
        // Every step of a half-built site is undone: the toolbar's reference to
        // the band, the supervisor, the browser, the drop target and the windows.
        UnsetSite();
        reflection_.Destroy();
        return E_FAIL;
    }
    if (g_resumeQueue && HostedInBrowser() && g_resumeQueue.exchange(false)) {
        ComPtr<IInnerFileUploader> uploader;
        if (SUCCEEDED(CoCreateInstance(CLSID_FileUploader, nullptr, CLSCTX_ALL, IID_IInnerFileUploader,
                                       reinterpret_cast<void**>(uploader.GetAddressOf()))) &&
            uploader) {
            Variant a, b, c, d, e;
            uploader->UploadQueue(*a.Get(), *b.Get(), *c.Get(), *d.Get(), *e.Get());
        }
    }
    log_.Format("SetSite %s for bar %s is done", LogAddress(site).c_str(), LogAddress(this).c_str());
    return S_OK;
} catch (...) {
    log_.Format("EXCEPTION on SetSite in %s", LogAddress(this).c_str());
    return E_FAIL;
}

HRESULT CStockBar::BuildSite(IUnknown* site)
{
    ComPtr<IOleWindow> oleWindow;
    if (SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&oleWindow))) && oleWindow) oleWindow->GetWindow(&parent_);
    if (!parent_ || !IsWindow(parent_)) return E_FAIL;

    log_.Write("Creating new toolbar window...");
    RECT rect{};
    GetClientRect(parent_, &rect);
    // Creating anew destroys the windows of an earlier site first.
    if (!reflection_.Create(parent_, rect)) return E_FAIL;
    HWND toolbar = Toolbar().Window();
    log_.Format("New toolbar window hwnd: %s", LogAddress(toolbar).c_str());

    log_.Format("RegisterDragDrop %s for hwnd %s", LogAddress(this).c_str(), LogAddress(toolbar).c_str());
    dropTargetRegistered_ = SUCCEEDED(RegisterDragDrop(toolbar, static_cast<IDropTarget*>(this)));

    if (FAILED(site->QueryInterface(IID_PPV_ARGS(&site_))) || !site_) return E_FAIL;
    ComPtr<IServiceProvider> services;
    if (FAILED(site->QueryInterface(IID_PPV_ARGS(&services))) || !services) return E_FAIL;
    if (FAILED(services->QueryService(SID_SWebBrowserApp, IID_PPV_ARGS(&browser_))) || !browser_) return E_FAIL;

    IStockBar* self = static_cast<IStockBar*>(this);
    Toolbar().SetBrowser(browser_.Get());
    Toolbar().SetBar(self);
    const HRESULT created = CreateHelper(CLSID_NavigatorSupervisor, supervisor_);
    if (ClassMissing(created)) {
        log_.Write("No navigator supervisor class: pages are not watched");
    } else {
        if (FAILED(created) || !supervisor_) return E_FAIL;
        ComPtr<IDispatch> browserDispatch;
        browser_.As(&browserDispatch);
        supervisor_->Start(browserDispatch.Get(), self);
    }
    SetActiveBar(self);
    return S_OK;
}

void CStockBar::UnsetSite()
try {
    log_.Write("UnsetSite...");
    if (supervisor_) {
        supervisor_->Stop();
        supervisor_.Reset();
    }
    // Another band may be the active bar by now: leave it.
    SetActiveBar(nullptr, static_cast<IStockBar*>(this));
    if (dropTargetRegistered_ && Toolbar().Window()) RevokeDragDrop(Toolbar().Window());
    dropTargetRegistered_ = false;
    Toolbar().SetBrowser(nullptr);
    Toolbar().SetBar(nullptr);
    browser_.Reset();
    site_.Reset();
    parent_ = nullptr;
} catch (...) {
    log_.Format("EXCEPTION on UnsetSite in %s", LogAddress(this).c_str());
}

STDMETHODIMP CStockBar::GetSite(REFIID iid, void** site)
try {
    if (!site) return E_POINTER;
    *site = nullptr;
    if (!site_) return E_FAIL;
    return site_->QueryInterface(iid, site);
}
COM_CATCH_RETURN(log_, "GetSite")

// --- IInputObject ---------------------------------------------------------------------

STDMETHODIMP CStockBar::UIActivateIO(BOOL activate, MSG*)
{
    if (activate && Toolbar().SearchBox().Window()) SetFocus(Toolbar().SearchBox().Window());
    return S_OK;
}

STDMETHODIMP CStockBar::HasFocusIO()
{
    HWND focus = GetFocus();
    return focus && (focus == Toolbar().Window() || focus == Toolbar().SearchBox().Window()) ? S_OK : S_FALSE;
}

STDMETHODIMP CStockBar::TranslateAcceleratorIO(MSG* msg)
try {
    return Toolbar().SearchBox().TranslateAccelerator(msg);
}
COM_CATCH_RETURN(log_, "TranslateAcceleratorIO")

void CStockBar::OnBandFocus(bool focused)
{
    ComPtr<IInputObjectSite> site = site_;
    if (site) site->OnFocusChangeIS(static_cast<IDeskBand*>(this), focused ? TRUE : FALSE);
}

// --- IDropTarget ----------------------------------------------------------------------

ComPtr<IDragAndDropHandler> CStockBar::CreateDropHandler()
{
    ComPtr<IDragAndDropHandler> handler;
    if (FAILED(CreateHelper(CLSID_DragAndDropHandler, handler))) handler.Reset();
    return handler;
}

STDMETHODIMP CStockBar::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
try {
    if (!data || !effect) return E_POINTER;
    dragEffect_ = DROPEFFECT_NONE;
    ComPtr<IDragAndDropHandler> handler = CreateDropHandler();
    BOOL supported = FALSE;
    if (!handler || FAILED(handler->IsSupported(data, &supported))) return E_FAIL;
    dragEffect_ = supported ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    *effect = dragEffect_;
    return S_OK;
}
COM_CATCH_RETURN(log_, "DragEnter")

STDMETHODIMP CStockBar::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (effect) *effect = dragEffect_;
    return S_OK;
}

STDMETHODIMP CStockBar::DragLeave()
{
    dragEffect_ = DROPEFFECT_NONE;
    return S_OK;
}

STDMETHODIMP CStockBar::Drop(IDataObject* data, DWORD, POINTL pt, DWORD* effect)
try {
    if (effect) *effect = DROPEFFECT_NONE;
    if (!data) return E_POINTER;
    ComPtr<IDragAndDropHandler> handler = CreateDropHandler();
    if (!handler) return E_FAIL;
    ComPtr<IWebBrowser2> browser = browser_;
    ComPtr<IDispatch> browserDispatch;
    if (browser) browser.As(&browserDispatch);
    handler->put_StockBar(static_cast<IStockBar*>(this));
    handler->put_Browser(browserDispatch.Get());
    RECT slideshow{};
    const POINT at{pt.x, pt.y};
    const bool onSlideshow = Toolbar().ButtonScreenRect(ID_BUTTON_SLIDESHOW, slideshow) && PtInRect(&slideshow, at);
    handler->put_SlideShow(onSlideshow ? TRUE : FALSE);
    if (!HostedInBrowser() && browser) {
        SHANDLE_PTR frame = 0;
        if (SUCCEEDED(browser->get_HWND(&frame)))
            handler->put_CallerHWND(static_cast<OLE_HANDLE>(static_cast<UINT_PTR>(frame)));
    }
    // The dialogs of the drop must not run inside the source's drag loop. The
    // queued task does not hold the band (the band owns the queue, which is
    // emptied when the band goes); while it runs it keeps the band, which the
    // browser may release during the drop's dialogs.
    ComPtr<IDataObject> dropped(data);
    const bool queued = reflection_.RunLater([this, handler, dropped] {
        const ComPtr<CStockBar> keep(this);
        const HRESULT hr = handler->OnDrop(dropped.Get());
        if (FAILED(hr)) log_.Format("Drop failed: 0x%lx", static_cast<unsigned long>(hr));
    });
    if (!queued) return E_FAIL;
    if (effect) *effect = DROPEFFECT_COPY;
    return S_OK;
}
COM_CATCH_RETURN(log_, "Drop")

// --- IStockBar ------------------------------------------------------------------------

STDMETHODIMP CStockBar::IncrementDragAndDrop()
try {
    Toolbar().SetDragAndDropAvailable(InterlockedIncrement(&dragAndDropCount_) > 0);
    return S_OK;
}
COM_CATCH_RETURN(log_, "IncrementDragAndDrop")

STDMETHODIMP CStockBar::DecrementDragAndDrop()
try {
    Toolbar().SetDragAndDropAvailable(InterlockedDecrement(&dragAndDropCount_) > 0);
    return S_OK;
}
COM_CATCH_RETURN(log_, "DecrementDragAndDrop")

STDMETHODIMP CStockBar::EnableMyImages(BOOL enabled)
try {
    Toolbar().SetLoggedIn(enabled == VARIANT_TRUE);
    return S_OK;
}
COM_CATCH_RETURN(log_, "EnableMyImages")

HRESULT CStockBar::AnswerFlag(BOOL* result, bool flag)
{
    if (!result) return E_POINTER;
    *result = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CStockBar::UseThumbnail(BOOL* result)
try {
    return AnswerFlag(result, Toolbar().PictureSize() == kImagesSizeThumbnail);
}
COM_CATCH_RETURN(log_, "UseThumbnail")

STDMETHODIMP CStockBar::UseHTMLCode(BOOL* result)
try {
    return AnswerFlag(result, Toolbar().LinkStyleId() == kLinkStyleHtml);
}
COM_CATCH_RETURN(log_, "UseHTMLCode")

STDMETHODIMP CStockBar::UseForum1Code(BOOL* result)
try {
    return AnswerFlag(result, Toolbar().LinkStyleId() == kLinkStyleForum1);
}
COM_CATCH_RETURN(log_, "UseForum1Code")

STDMETHODIMP CStockBar::UseForum2Code(BOOL* result)
try {
    return AnswerFlag(result, Toolbar().LinkStyleId() == kLinkStyleForum2);
}
COM_CATCH_RETURN(log_, "UseForum2Code")

STDMETHODIMP CStockBar::UseFriendLink(BOOL* result)
try {
    return AnswerFlag(result, Toolbar().LinkStyleId() == kLinkStyleFriendLink);
}
COM_CATCH_RETURN(log_, "UseFriendLink")

STDMETHODIMP CStockBar::AddHistory(LONG_PTR record)
try {
    // Only records lent by this module's own result targets, while on loan:
    // a page could otherwise make the band read any address.
    CUploadResult copy;
    if (!LentResult::CopyLent(record, copy)) return E_INVALIDARG;
    Toolbar().AddHistory(copy);
    return S_OK;
}
COM_CATCH_RETURN(log_, "AddHistory")

STDMETHODIMP CStockBar::SetPasteData(BSTR data, BSTR toolTip)
try {
    Toolbar().SetPasteData(data, toolTip);
    return S_OK;
}
COM_CATCH_RETURN(log_, "SetPasteData")

STDMETHODIMP CStockBar::GetOptions(BOOL* resize, BSTR* format, BOOL* isPublic, VARIANT* removeSizeBar)
try {
    if (!resize || !format || !isPublic || !removeSizeBar) return E_POINTER;
    CVPToolbar& toolbar = Toolbar();
    if (toolbar.Resize()) {
        const std::wstring label = CVPToolbar::ResizeLabel(toolbar.ResizeTo());
        BSTR text = SysAllocString(label.c_str());
        if (!text) return E_OUTOFMEMORY;
        *resize = VARIANT_TRUE;
        *format = text;
    } else {
        *resize = VARIANT_FALSE;
    }
    *isPublic = toolbar.Public() ? VARIANT_TRUE : VARIANT_FALSE;
    // An [out] variant may hold anything on entry: initialise, never clear.
    VariantInit(removeSizeBar);
    V_VT(removeSizeBar) = VT_BOOL;
    V_BOOL(removeSizeBar) = toolbar.RemoveSizeBar() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
COM_CATCH_RETURN(log_, "GetOptions")

STDMETHODIMP CStockBar::GetLinkStyle(LinkStyleEnum* style)
try {
    if (!style) return E_POINTER;
    switch (Toolbar().LinkStyleId()) {
    case kLinkStyleFriendLink: *style = lsFriendLink; break;
    case kLinkStyleForum2: *style = lsForum2; break;
    case kLinkStyleForum1: *style = lsForum1; break;
    default: *style = lsHTML; break;
    }
    return S_OK;
}
COM_CATCH_RETURN(log_, "GetLinkStyle")

HRESULT CStockBar::RunCommand(VARIANT destination, HRESULT (CVPToolbar::*command)(IDispatch*))
{
    // The band stays alive for the whole command, dialogs included.
    ComPtr<CStockBar> hold(this);
    IDispatch* target = V_VT(&destination) == VT_DISPATCH ? V_DISPATCH(&destination) : nullptr;
    return (Toolbar().*command)(target);
}

STDMETHODIMP CStockBar::Upload(VARIANT destination)
try {
    return RunCommand(destination, &CVPToolbar::Upload);
}
COM_CATCH_RETURN(log_, "Upload")

STDMETHODIMP CStockBar::SlideShow(VARIANT destination)
try {
    return RunCommand(destination, &CVPToolbar::SlideShow);
}
COM_CATCH_RETURN(log_, "SlideShow")

STDMETHODIMP CStockBar::ScreenShot(VARIANT destination)
try {
    return RunCommand(destination, &CVPToolbar::ScreenShot);
}
COM_CATCH_RETURN(log_, "ScreenShot")

// --- IObjectSafety --------------------------------------------------------------------

namespace {

const DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER;

bool IsScriptInterface(REFIID iid)
{
    return InlineIsEqualGUID(iid, IID_IDispatch) || InlineIsEqualGUID(iid, IID_IStockBar);
}

}  // namespace

STDMETHODIMP CStockBar::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled) return E_POINTER;
    *supported = *enabled = 0;
    if (!IsScriptInterface(iid)) return E_NOINTERFACE;
    *supported = kSafeOptions;
    *enabled = safety_;
    return S_OK;
}

STDMETHODIMP CStockBar::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled)
{
    if (!IsScriptInterface(iid)) return E_NOINTERFACE;
    if (mask & ~kSafeOptions) return E_FAIL;
    safety_ = (safety_ & ~mask) | (enabled & mask);
    return S_OK;
}
