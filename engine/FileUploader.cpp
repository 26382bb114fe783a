// The scriptable uploader object (see the header).
#include "engine/FileUploader.h"

#include <mshtml.h>

#include <algorithm>
#include <memory>
#include <new>

#include "common/HResult.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "common/VariantArray.h"
#include "engine/FileUploadStrategy.h"
#include "engine/ImageUploadThead.h"
#include "engine/JSUploadParams.h"
#include "engine/PostToBlogStrategy.h"
#include "engine/QueueStrategy.h"
#include "engine/RestartImageTarget.h"
#include "engine/ScreenCapture.h"
#include "engine/SlideShowStrategy.h"
#include "engine/TransloadStrategy.h"
#include "resources/resource.h"

using Microsoft::WRL::ComPtr;

namespace {

// The slideshow size offered for a picture size of the settings.
int SlideshowSizeIndex(int pictureIndex)
{
    static const int kMap[] = {0, 0, 0, 2, 2, 2, 2, 2, 1};
    return pictureIndex >= 0 && pictureIndex < 9 ? kMap[pictureIndex] : 1;
}

// --- VARIANT helpers (each fills an empty slot, such as Variant::Out()) ---------------

// A string, or nothing for empty text.
void PutText(VARIANT* out, const std::wstring& text)
{
    if (text.empty()) return;
    BSTR copy = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    if (!copy) throw std::bad_alloc();
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = copy;
}

// An array of strings (VT_ARRAY | VT_BSTR) for the items argument.
void PutPaths(VARIANT* out, const std::vector<std::wstring>& paths) { PutStringArray(out, paths); }

// A new reference to a held interface (null when none is held).
template <typename Interface>
HRESULT CopyOut(const ComPtr<Interface>& held, Interface** out) noexcept
{
    if (!out) return E_POINTER;
    *out = held.Get();
    if (*out) (*out)->AddRef();
    return S_OK;
}

}  // namespace

// --- the object ------------------------------------------------------------------------

CFileUploader::CFileUploader() : log_("CFileUploader") {}

CFileUploader::~CFileUploader() = default;

UploadOptions CFileUploader::ReadUploadOptions() const
{
    SettingsStore settings;
    UploadOptions options;
    options.sizeIndex = static_cast<int>(settings.ResizeTo()) - static_cast<int>(kResizeToFirst);
    BOOL resize = FALSE, isPublic = TRUE;
    Bstr format;
    Variant removeSizeBar;
    if (toolbar_ && SUCCEEDED(toolbar_->GetOptions(&resize, format.Out(), &isPublic, removeSizeBar.Out()))) {
        options.resize = resize != FALSE;
        options.format = format.Text();
        options.isPublic = isPublic != FALSE;
        Variant flag;
        options.removeSizeBar =
            SUCCEEDED(VariantChangeType(flag.Get(), removeSizeBar.Get(), 0, VT_BOOL)) ? V_BOOL(flag.Get()) != 0
                                                                                       : settings.RemoveSizeBar();
        return options;
    }
    options.resize = settings.Resize();
    options.isPublic = settings.Public();
    options.removeSizeBar = settings.RemoveSizeBar();
    return options;
}

HRESULT CFileUploader::EnsureDestination()
{
    if (destination_) return S_OK;
    ComPtr<IUnknown> window;
    HRESULT hr = InstalledFileUploaderDialogs().resultWindow(window);
    if (FAILED(hr) || !window) {
        log_.Format("No browser window for the results (0x%x)", static_cast<unsigned>(hr));
        return FAILED(hr) ? hr : E_FAIL;
    }
    destination_ = window;
    return S_OK;
}

// --- properties ----------------------------------------------------------------------------
// A page that may not drive the object may not read or plant its state either.

STDMETHODIMP CFileUploader::get_destination(IUnknown** value)
try {
    RETURN_IF_FAILED(CheckCaller("get_destination"));
    return CopyOut(destination_, value);
}
COM_CATCH_RETURN(log_, "get_destination")

STDMETHODIMP CFileUploader::put_destination(IUnknown* value)
try {
    RETURN_IF_FAILED(CheckCaller("put_destination"));
    destination_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_destination")

STDMETHODIMP CFileUploader::get_toolbar(IStockBar** value)
try {
    RETURN_IF_FAILED(CheckCaller("get_toolbar"));
    return CopyOut(toolbar_, value);
}
COM_CATCH_RETURN(log_, "get_toolbar")

STDMETHODIMP CFileUploader::put_toolbar(IStockBar* value)
try {
    RETURN_IF_FAILED(CheckCaller("put_toolbar"));
    toolbar_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_toolbar")

STDMETHODIMP CFileUploader::get_progress(IDispatch** value)
try {
    RETURN_IF_FAILED(CheckCaller("get_progress"));
    return CopyOut(progress_, value);
}
COM_CATCH_RETURN(log_, "get_progress")

STDMETHODIMP CFileUploader::put_progress(IDispatch* value)
try {
    RETURN_IF_FAILED(CheckCaller("put_progress"));
    progress_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_progress")

STDMETHODIMP CFileUploader::get_cookie(BSTR* value)
try {
    if (!value) return E_POINTER;
    *value = nullptr;
    RETURN_IF_FAILED(CheckCaller("get_cookie"));
    return cookie_.CopyTo(value);
}
COM_CATCH_RETURN(log_, "get_cookie")

STDMETHODIMP CFileUploader::put_cookie(BSTR value)
try {
    RETURN_IF_FAILED(CheckCaller("put_cookie"));
    Bstr copy;
    if (value) {
        copy.Attach(SysAllocStringLen(value, SysStringLen(value)));
        if (!copy.Get()) return E_OUTOFMEMORY;
    }
    cookie_ = std::move(copy);
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_cookie")

STDMETHODIMP CFileUploader::put_CallerHWND(OLE_HANDLE value)
try {
    RETURN_IF_FAILED(CheckCaller("put_CallerHWND"));
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
    if (window && !IsWindow(window)) return E_INVALIDARG;
    callerWindow_ = window;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_CallerHWND")

STDMETHODIMP CFileUploader::get_caller(IDispatch** value)
try {
    RETURN_IF_FAILED(CheckCaller("get_caller"));
    return CopyOut(caller_, value);
}
COM_CATCH_RETURN(log_, "get_caller")

STDMETHODIMP CFileUploader::put_caller(IDispatch* value)
try {
    RETURN_IF_FAILED(CheckCaller("put_caller"));
    caller_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_caller")

STDMETHODIMP CFileUploader::put_Action(ActionStatisticsEnum value)
try {
    RETURN_IF_FAILED(CheckCaller("put_Action"));
    action_ = static_cast<int>(value);
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_Action")

// --- script methods ------------------------------------------------------------------------

STDMETHODIMP CFileUploader::OpenUploadDialog()
try {
    RETURN_IF_FAILED(CheckCaller("OpenUploadDialog"));
    FileUploaderDialogs dialogs = InstalledFileUploaderDialogs();
    UploadDialogRequest request;
    request.owner = callerWindow_;
    request.options = ReadUploadOptions();

    // A page of the service says what it takes and plants the user's cookie.
    ComPtr<IHTMLDocument2> page;
    if (destination_ && SUCCEEDED(destination_.As(&page)) && page) {
        CJSUploadParams params(page.Get());
        const bool pictures = params.IsImageAllowed();
        const bool videos = params.IsVideoAllowed();
        if (pictures != videos) request.filterId = pictures ? IDS_FILTER_PICTURES : IDS_FILTER_VIDEOS;
        request.multiSelect = params.IsMultiUploadAllowed();
        if (params.GetCookie()) {
            Bstr cookie(params.GetCookie()->c_str());
            RETURN_IF_FAILED(put_cookie(cookie.Get()));
        }
    }

    UploadDialogChoice choice;
    choice.isPublic = request.options.isPublic;
    choice.removeSizeBar = request.options.removeSizeBar;
    HRESULT hr = dialogs.uploadFiles(request, choice);
    if (FAILED(hr)) return hr;
    if (hr != S_OK || choice.files.empty()) return S_FALSE;

    Variant tags, publicFlags;
    if (choice.individualTags) {
        TagsDialogChoice perFile;
        hr = dialogs.tags(callerWindow_, choice.files, choice.tags, request.options.isPublic, perFile);
        if (FAILED(hr)) return hr;
        if (hr != S_OK) return S_FALSE;
        PutVariantArray(tags.Out(), perFile.tags, &PutText);
        PutFlagArray(publicFlags.Out(), perFile.publicFlags);
    } else {
        PutText(tags.Out(), choice.tags);
        publicFlags.PutBool(request.options.isPublic);
    }

    action_ = asUpload;
    EnsureDestination();
    Variant items, size, removeSizeBar;
    PutPaths(items.Out(), choice.files);
    PutText(size.Out(), choice.sizeText);
    removeSizeBar.PutBool(choice.removeSizeBar);
    hr = UploadFiles(*items.Get(), *size.Get(), *publicFlags.Get(), *tags.Get(), *removeSizeBar.Get());
    return FAILED(hr) ? hr : S_OK;
}
COM_CATCH_RETURN(log_, "OpenUploadDialog")

STDMETHODIMP CFileUploader::OpenSlideShowDialog()
try {
    RETURN_IF_FAILED(CheckCaller("OpenSlideShowDialog"));
    FileUploaderDialogs dialogs = InstalledFileUploaderDialogs();
    SlideshowDialogRequest request;
    request.owner = callerWindow_;
    request.options = ReadUploadOptions();
    request.sizeIndex = request.options.resize ? SlideshowSizeIndex(request.options.sizeIndex) : -1;

    SlideshowDialogChoice choice;
    choice.isPublic = request.options.isPublic;
    HRESULT hr = dialogs.slideshowFiles(request, choice);
    if (FAILED(hr)) return hr;
    if (hr != S_OK || choice.files.empty()) return S_FALSE;

    if (!KeepSlideshowFiles(dialogs, callerWindow_, choice.files)) return S_OK;
    if (choice.files.size() > 1) {
        hr = dialogs.slideOrder(callerWindow_, choice.files);
        if (FAILED(hr)) return hr;
        if (hr != S_OK || choice.files.empty()) return S_FALSE;
    }

    action_ = asSlideshow;
    EnsureDestination();
    Variant items, size, publicFlag, noTags;
    PutPaths(items.Out(), choice.files);
    PutText(size.Out(), choice.sizeText);
    publicFlag.PutBool(choice.isPublic);
    Variant effect(choice.effect.c_str());
    Variant background(choice.background.c_str());
    hr = CreateSlideshow(*items.Get(), *size.Get(), *publicFlag.Get(), *noTags.Get(), *effect.Get(),
                         *background.Get());
    return FAILED(hr) ? hr : S_OK;
}
COM_CATCH_RETURN(log_, "OpenSlideShowDialog")

STDMETHODIMP CFileUploader::TakeScreenShot()
try {
    std::wstring pageHost;
    RETURN_IF_FAILED(CheckCaller("TakeScreenShot", &pageHost));
    // A page sees the user's screen only with the user's yes; the toolbar's
    // own button (a native caller) needs none.
    if (!pageHost.empty() && !InstalledFileUploaderDialogs().confirmScreenShot(callerWindow_, pageHost)) {
        log_.Format("Screenshot for the page on %s declined by the user", Narrow(pageHost).c_str());
        return S_FALSE;
    }
    std::wstring path;
    if (!CaptureScreenShot(GetDesktopWindow(), path)) {
        log_.Write("Screen capture failed");
        return E_FAIL;
    }
    action_ = asScreenshot;
    EnsureDestination();
    UploadOptions options = ReadUploadOptions();
    Variant item(path.c_str());
    Variant none;
    Variant publicFlag, removeSizeBar;
    publicFlag.PutBool(options.isPublic);
    removeSizeBar.PutBool(options.removeSizeBar);
    HRESULT hr = UploadFiles(*item.Get(), *none.Get(), *publicFlag.Get(), *none.Get(), *removeSizeBar.Get());
    return FAILED(hr) ? hr : S_OK;
}
COM_CATCH_RETURN(log_, "TakeScreenShot")

// --- upload entry points ----------------------------------------------------------------

std::unique_ptr<CUploadStrategy> CFileUploader::CreateStrategy(StrategyKind kind)
{
    switch (kind) {
    case StrategyKind::Files: return std::make_unique<CFileUploadStrategy>();
    case StrategyKind::Transload: return std::make_unique<CTransloadStrategy>();
    case StrategyKind::Blog: return std::make_unique<CPostToBlogStrategy>();
    case StrategyKind::Slideshow: return std::make_unique<CSlideShowStrategy>();
    case StrategyKind::Queue: return std::make_unique<CQueueStrategy>();
    }
    return nullptr;
}

template <typename Prepare>
HRESULT CFileUploader::WithPending(StrategyKind kind, const char* name, Prepare prepare)
{
    // Only while a strategy's dialogs run can a page call in again.
    if (pending_) {
        log_.Write("An upload is still being prepared; refused");
        return E_FAIL;
    }
    log_.Write(name);
    pending_ = CreateStrategy(kind);
    if (!pending_) return E_NOTIMPL;
    // Armed only now, so a refused call above never drops another call's strategy.
    struct DropOnExit {
        std::unique_ptr<CUploadStrategy>& pending;
        ~DropOnExit() { pending.reset(); }
    } drop{pending_};
    return prepare();
}

HRESULT CFileUploader::UploadWith(StrategyKind kind, const char* name, const VARIANT& items, const VARIANT& optsize,
                                  const VARIANT& publicFlags, const VARIANT& tags, const VARIANT& removeSizeBar)
{
    return WithPending(kind, name, [&] {
        if (FAILED(pending_->SetOption(L"remove_size_bar", removeSizeBar))) return E_FAIL;
        return Start(items, optsize, publicFlags, tags);
    });
}

HRESULT CFileUploader::Start(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags,
                             const VARIANT& tags)
{
    // Strings and arrays of strings or variants all carry the bit of VT_BSTR.
    if (!(V_VT(&items) & VT_BSTR)) return E_INVALIDARG;
    return InitializeAndHandOver(items, optsize, publicFlags, tags, true, false);
}

HRESULT CFileUploader::InitializeAndHandOver(const VARIANT& items, const VARIANT& optsize,
                                             const VARIANT& publicFlags, const VARIANT& tags,
                                             bool releaseDestination, bool restartTarget)
{
    Variant statistics(static_cast<LONG>(action_));
    pending_->SetOption(L"statistics", *statistics.Get());
    if (cookie_.Get()) {
        Variant cookie;
        RETURN_IF_FAILED(cookie_.CopyTo(&V_BSTR(cookie.Get())));
        V_VT(cookie.Get()) = VT_BSTR;
        pending_->SetOption(L"cookie", *cookie.Get());
    }
    const HRESULT initialized = pending_->Initialize(items, optsize, publicFlags, tags);
    // An error, or nothing left to send: no upload.
    if (initialized != S_OK) return FAILED(initialized) ? initialized : S_OK;

    auto thread = std::make_unique<CImageUploadThead>();
    // Only elements, browsers, windows and documents can take results.
    if (destination_ && FAILED(thread->SetDestination(destination_.Get())))
        log_.Write("The destination takes no results; the upload runs without it");
    if (releaseDestination) destination_.Reset();
    if (progress_) thread->SetProgressDocument(progress_.Get());
    thread->SetCallerWindow(callerWindow_);
    thread->SetCaller(caller_.Get());
    thread->SetToolbar(toolbar_.Get());
    if (restartTarget) thread->SetTarget(std::make_unique<CRestartImageTarget>());
    thread->SetStrategy(std::move(pending_));
    // Start owns the thread object from here on, on success and on failure.
    return thread.release()->Start();
}

STDMETHODIMP CFileUploader::UploadFiles(VARIANT items, VARIANT optsize, VARIANT publicFlags, VARIANT tags,
                                        VARIANT removeSizeBar)
try {
    RETURN_IF_FAILED(CheckCaller("UploadFiles"));
    return UploadWith(StrategyKind::Files, "Creating FileUploadStrategy", items, optsize, publicFlags, tags,
                      removeSizeBar);
}
COM_CATCH_RETURN(log_, "UploadFiles")

STDMETHODIMP CFileUploader::TransloadUrls(VARIANT items, VARIANT optsize, VARIANT publicFlags, VARIANT tags,
                                          VARIANT removeSizeBar)
try {
    RETURN_IF_FAILED(CheckCaller("TransloadUrls"));
    return UploadWith(StrategyKind::Transload, "Creating TransloadStrategy", items, optsize, publicFlags, tags,
                      removeSizeBar);
}
COM_CATCH_RETURN(log_, "TransloadUrls")

STDMETHODIMP CFileUploader::PostToBlog(VARIANT items, VARIANT optsize, VARIANT publicFlags, VARIANT tags,
                                       VARIANT removeSizeBar)
try {
    RETURN_IF_FAILED(CheckCaller("PostToBlog"));
    return UploadWith(StrategyKind::Blog, "Creating PostToBlogStrategy", items, optsize, publicFlags, tags,
                      removeSizeBar);
}
COM_CATCH_RETURN(log_, "PostToBlog")

STDMETHODIMP CFileUploader::CreateSlideshow(VARIANT items, VARIANT optsize, VARIANT publicFlags, VARIANT tags,
                                            VARIANT effect, VARIANT background)
try {
    RETURN_IF_FAILED(CheckCaller("CreateSlideshow"));
    // The slideshow exists only once its import page is posted: without a
    // page to take it (the toolbar's own button), it goes to a results window.
    EnsureDestination();
    return WithPending(StrategyKind::Slideshow, "Creating SlideShowStrategy", [&] {
        pending_->SetOption(L"effect", effect);
        pending_->SetOption(L"background", background);
        return Start(items, optsize, publicFlags, tags);
    });
}
COM_CATCH_RETURN(log_, "CreateSlideshow")

STDMETHODIMP CFileUploader::UploadQueue(VARIANT items, VARIANT tags, VARIANT publicFlags, VARIANT optsize,
                                        VARIANT removeSizeBar)
try {
    RETURN_IF_FAILED(CheckCaller("UploadQueue"));
    return WithPending(StrategyKind::Queue, "Creating QueueStrategy", [&] {
        if (FAILED(pending_->SetOption(L"remove_size_bar", removeSizeBar))) return E_FAIL;
        // The queue's items are its own records, so their type is not checked, and
        // the finished pass restarts the next one through its own target.
        return InitializeAndHandOver(items, optsize, publicFlags, tags, false, true);
    });
}
COM_CATCH_RETURN(log_, "UploadQueue")

// --- IObjectSafety ----------------------------------------------------------------------

namespace {

const DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

bool IsScriptInterface(REFIID iid)
{
    return InlineIsEqualGUID(iid, IID_IDispatch) || InlineIsEqualGUID(iid, IID_IFileUploader) ||
           InlineIsEqualGUID(iid, IID_IUnknown);
}

}  // namespace

STDMETHODIMP CFileUploader::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled)
try {
    if (!supported || !enabled) return E_POINTER;
    *supported = *enabled = 0;
    if (!IsScriptInterface(iid)) return E_NOINTERFACE;
    *supported = kSafeOptions;
    *enabled = safety_;
    return S_OK;
}
COM_CATCH_RETURN(log_, "GetInterfaceSafetyOptions")

STDMETHODIMP CFileUploader::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled)
try {
    if (!IsScriptInterface(iid)) return E_NOINTERFACE;
    if (mask & ~kSafeOptions) return E_FAIL;
    safety_ = (safety_ & ~mask) | (enabled & mask);
    // Script hosts ask this before handing the object to a page; the answer
    // sticks even if the option is switched off again.
    if (mask & enabled & INTERFACESAFE_FOR_UNTRUSTED_CALLER) origin_.MarkScriptMade();
    return S_OK;
}
COM_CATCH_RETURN(log_, "SetInterfaceSafetyOptions")

// --- IObjectWithSite ------------------------------------------------------------------------

STDMETHODIMP CFileUploader::SetSite(IUnknown* site)
try {
    origin_.SetSite(site);
    return S_OK;
}
COM_CATCH_RETURN(log_, "SetSite")

STDMETHODIMP CFileUploader::GetSite(REFIID iid, void** site)
try {
    return origin_.GetSite(iid, site);
}
COM_CATCH_RETURN(log_, "GetSite")
