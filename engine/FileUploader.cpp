// The scriptable uploader object (see the header).
#include "engine/FileUploader.h"

#include <commdlg.h>
#include <docobj.h>
#include <mshtml.h>
#include <servprov.h>

#include <algorithm>
#include <cwctype>
#include <mutex>
#include <new>

#include "common/Bstr.h"
#include "common/HResult.h"
#include "common/ModuleInstance.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "common/WebBrowser.h"
#include "engine/FileUploadStrategy.h"
#include "engine/ImageConverter.h"
#include "engine/ImageUploadThead.h"
#include "engine/JSUploadParams.h"
#include "engine/PostToBlogStrategy.h"
#include "engine/QueueStrategy.h"
#include "engine/RestartImageTarget.h"
#include "engine/SlideShowStrategy.h"
#include "engine/TemporaryBasePath.h"
#include "engine/TransloadStrategy.h"
#include "module/resource.h"

using Microsoft::WRL::ComPtr;

namespace {


std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The host without port of a host[:port] text ("[v6]" addresses keep their brackets).
std::wstring HostOnly(const std::wstring& hostPort)
{
    if (!hostPort.empty() && hostPort[0] == L'[') {
        size_t close = hostPort.find(L']');
        return close == std::wstring::npos ? hostPort : hostPort.substr(0, close + 1);
    }
    return hostPort.substr(0, hostPort.find(L':'));
}

// --- the dialogs ---------------------------------------------------------------------

std::mutex& DialogsLock()
{
    static std::mutex lock;
    return lock;
}

FileUploaderDialogs& InstalledDialogs()
{
    static FileUploaderDialogs dialogs = FileUploaderDialogs::Defaults();
    return dialogs;
}

FileUploaderDialogs CurrentDialogs()
{
    std::lock_guard<std::mutex> hold(DialogsLock());
    return InstalledDialogs();
}

// The paths a multi-select open dialog wrote: one path, or a folder and names.
std::vector<std::wstring> SplitSelection(const std::vector<wchar_t>& buffer)
{
    std::vector<std::wstring> parts;
    size_t at = 0;
    while (at < buffer.size() && buffer[at]) {
        std::wstring part(&buffer[at]);
        at += part.size() + 1;
        parts.push_back(part);
    }
    if (parts.size() <= 1) return parts;
    std::vector<std::wstring> files;
    std::wstring folder = parts[0];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
}

// A plain open dialog over the filter of string filterId ("|" separated).
HRESULT ChooseFiles(HWND owner, UINT filterId, bool multiSelect, std::vector<std::wstring>& files)
{
    std::wstring filter = LoadModuleString(filterId ? filterId : IDS_FILTER_ALL);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.push_back(L'\0');
    std::wstring title = LoadModuleString(IDS_FILE_DIALOG_TITLE);
    if (title.empty()) title = L"Upload files";
    std::vector<wchar_t> buffer(261000, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size() - 1);
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY |
                   (multiSelect ? OFN_ALLOWMULTISELECT : 0);
    if (!GetOpenFileNameW(&dialog)) return CommDlgExtendedError() == 0 ? S_FALSE : E_FAIL;
    files = SplitSelection(buffer);
    return files.empty() ? S_FALSE : S_OK;
}

std::wstring PictureSizeText(int index)
{
    if (index < 0 || index > IDS_RESIZE_LAST - IDS_RESIZE_FIRST) return std::wstring();
    return LoadModuleString(IDS_RESIZE_FIRST + static_cast<UINT>(index));
}

// The slideshow size offered for a picture size of the settings.
int SlideshowSizeIndex(int pictureIndex)
{
    static const int kMap[] = {0, 0, 0, 2, 2, 2, 2, 2, 1};
    return pictureIndex >= 0 && pictureIndex < 9 ? kMap[pictureIndex] : 1;
}

// --- VARIANT helpers (each fills an empty slot, such as Variant::Out()) ---------------

void PutBool(VARIANT* out, bool value)
{
    V_VT(out) = VT_BOOL;
    V_BOOL(out) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

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
void PutPaths(VARIANT* out, const std::vector<std::wstring>& paths)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(paths.size()));
    if (!array) throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(paths.size()); ++i) {
        Bstr path(paths[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(array, &i, path.Get());
    }
    V_VT(out) = VT_ARRAY | VT_BSTR;
    V_ARRAY(out) = array;
}

// An array of variants, one per value, for the per-item options.
template <typename T, typename Fill>
void PutArray(VARIANT* out, const std::vector<T>& values, Fill fill)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
    if (!array) throw std::bad_alloc();
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
        Variant element;
        fill(element.Get(), values[static_cast<size_t>(i)]);
        SafeArrayPutElement(array, &i, element.Get());
    }
    V_VT(out) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(out) = array;
}

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

// --- the product's own windows ---------------------------------------------------------

FileUploaderDialogs FileUploaderDialogs::Defaults()
{
    FileUploaderDialogs dialogs;
    dialogs.uploadFiles = [](const UploadDialogRequest& request, UploadDialogChoice& choice) {
        HRESULT hr = ChooseFiles(request.owner, request.filterId, request.multiSelect, choice.files);
        if (hr != S_OK) return hr;
        choice.sizeText = request.options.resize ? PictureSizeText(request.options.sizeIndex) : std::wstring();
        choice.isPublic = request.options.isPublic;
        choice.removeSizeBar = request.options.removeSizeBar;
        return S_OK;
    };
    // Without per-file tags every file gets the panel's tags and public choice.
    dialogs.tags = [](HWND, const std::vector<std::wstring>& files, const std::wstring& tags, bool isPublic,
                      TagsDialogChoice& choice) {
        choice.tags.assign(files.size(), tags);
        choice.publicFlags.assign(files.size(), isPublic);
        return S_OK;
    };
    dialogs.slideshowFiles = [](const SlideshowDialogRequest& request, SlideshowDialogChoice& choice) {
        HRESULT hr = ChooseFiles(request.owner, IDS_FILTER_PICTURES, true, choice.files);
        if (hr != S_OK) return hr;
        int index = request.sizeIndex >= 0 && request.sizeIndex <= 2 ? request.sizeIndex : 1;
        choice.sizeText = LoadModuleString(IDS_SLIDESHOW_SIZE_FIRST + static_cast<UINT>(index));
        choice.isPublic = request.options.isPublic;
        choice.effect = L"trans0";
        choice.background = L"#000000";
        return S_OK;
    };
    dialogs.slideOrder = [](HWND, std::vector<std::wstring>&) { return S_OK; };
    dialogs.unsupportedFiles = [](HWND owner, const std::vector<std::wstring>& unsupported) {
        std::wstring text = L"These files are not supported and will not be uploaded:\n";
        for (const std::wstring& path : unsupported) text += L"\n" + path;
        return MessageBoxW(owner, text.c_str(), LoadModuleString(IDS_PRODUCT_NAME).c_str(),
                           MB_OKCANCEL | MB_ICONWARNING) == IDOK;
    };
    dialogs.resultWindow = [](ComPtr<IUnknown>& window) {
        WebBrowser browser;
        HRESULT hr = browser.Create();
        if (FAILED(hr)) return hr;
        return browser->QueryInterface(IID_PPV_ARGS(&window));
    };
    return dialogs;
}

FileUploaderDialogs CFileUploader::Dialogs()
{
    return CurrentDialogs();
}

void CFileUploader::SetDialogs(const FileUploaderDialogs& dialogs)
{
    FileUploaderDialogs defaults = FileUploaderDialogs::Defaults();
    FileUploaderDialogs merged = dialogs;
    if (!merged.uploadFiles) merged.uploadFiles = defaults.uploadFiles;
    if (!merged.tags) merged.tags = defaults.tags;
    if (!merged.slideshowFiles) merged.slideshowFiles = defaults.slideshowFiles;
    if (!merged.slideOrder) merged.slideOrder = defaults.slideOrder;
    if (!merged.unsupportedFiles) merged.unsupportedFiles = defaults.unsupportedFiles;
    if (!merged.resultWindow) merged.resultWindow = defaults.resultWindow;
    std::lock_guard<std::mutex> hold(DialogsLock());
    InstalledDialogs() = merged;
}

// --- origin check ----------------------------------------------------------------------

bool IsServicePageUrl(const std::wstring& url, const std::wstring& domain, const std::wstring& forcedServer)
{
    const std::wstring text = Lower(url);
    size_t start;
    if (text.compare(0, 7, L"http://") == 0)
        start = 7;
    else if (text.compare(0, 8, L"https://") == 0)
        start = 8;
    else
        return false;
    size_t end = text.find_first_of(L"/?#\\", start);
    std::wstring authority = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    // "user:password@" names no host; the host follows the last "@".
    size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos) authority.erase(0, at + 1);
    const std::wstring host = HostOnly(authority);
    if (host.empty()) return false;

    const std::wstring forced = Lower(forcedServer);
    if (!forced.empty()) {
        const bool withPort = HostOnly(forced) != forced;
        if ((withPort ? authority : host) == forced) return true;
    }
    const std::wstring base = Lower(domain);
    if (base.empty()) return false;
    return host == base || EndsWith(host, L"." + base);
}

bool CaptureScreenShot(HWND window, std::wstring& saved)
{
    saved.clear();
    if (!window) window = GetDesktopWindow();
    return SaveWindowImage(window, TemporaryBasePath(L"/scr"), &saved) && !saved.empty();
}

// --- the object ------------------------------------------------------------------------

CFileUploader::CFileUploader() : log_("CFileUploader") {}

CFileUploader::~CFileUploader()
{
    DropPending();
    SysFreeString(cookie_);
}

void CFileUploader::DropPending()
{
    try {
        delete pending_;
    } catch (...) {
        log_.Format("EXCEPTION on delete strategy %s", LogAddress(pending_).c_str());
    }
    pending_ = nullptr;
}

std::wstring CFileUploader::SiteUrl() const
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
    if (FAILED(document->get_URL(url.Out()))) return std::wstring();
    return url.Text();
}

HRESULT CFileUploader::CheckCaller(const char* operation) const
{
    if (!site_) return S_OK;
    const std::wstring url = SiteUrl();
    if (!url.empty() && IsServicePageUrl(url, LoadModuleString(IDS_DOMAIN), SettingsStore().ForceServer()))
        return S_OK;
    log_.Format("%s refused for the page %s", operation, url.empty() ? "<unknown>" : Narrow(url).c_str());
    return E_ACCESSDENIED;
}

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
    HRESULT hr = CurrentDialogs().resultWindow(window);
    if (FAILED(hr) || !window) {
        log_.Format("No browser window for the results (0x%x)", static_cast<unsigned>(hr));
        return FAILED(hr) ? hr : E_FAIL;
    }
    destination_ = window;
    return S_OK;
}

// --- properties ----------------------------------------------------------------------------

STDMETHODIMP CFileUploader::get_destination(IUnknown** value)
{
    return CopyOut(destination_, value);
}

STDMETHODIMP CFileUploader::put_destination(IUnknown* value)
try {
    destination_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_destination")

STDMETHODIMP CFileUploader::get_toolbar(IStockBar** value)
{
    return CopyOut(toolbar_, value);
}

STDMETHODIMP CFileUploader::put_toolbar(IStockBar* value)
try {
    toolbar_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_toolbar")

STDMETHODIMP CFileUploader::get_progress(IDispatch** value)
{
    return CopyOut(progress_, value);
}

STDMETHODIMP CFileUploader::put_progress(IDispatch* value)
try {
    progress_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_progress")

STDMETHODIMP CFileUploader::get_cookie(BSTR* value)
try {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (!cookie_) return S_OK;
    *value = SysAllocStringLen(cookie_, SysStringLen(cookie_));
    return *value ? S_OK : E_OUTOFMEMORY;
}
COM_CATCH_RETURN(log_, "get_cookie")

STDMETHODIMP CFileUploader::put_cookie(BSTR value)
try {
    BSTR copy = nullptr;
    if (value) {
        copy = SysAllocStringLen(value, SysStringLen(value));
        if (!copy) return E_OUTOFMEMORY;
    }
    SysFreeString(cookie_);
    cookie_ = copy;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_cookie")

STDMETHODIMP CFileUploader::put_CallerHWND(OLE_HANDLE value)
try {
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
    if (window && !IsWindow(window)) return E_INVALIDARG;
    callerWindow_ = window;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_CallerHWND")

STDMETHODIMP CFileUploader::get_caller(IDispatch** value)
{
    return CopyOut(caller_, value);
}

STDMETHODIMP CFileUploader::put_caller(IDispatch* value)
try {
    caller_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_caller")

STDMETHODIMP CFileUploader::put_Action(ActionStatisticsEnum value)
try {
    action_ = static_cast<int>(value);
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_Action")

// --- script methods ------------------------------------------------------------------------

STDMETHODIMP CFileUploader::OpenUploadDialog()
try {
    RETURN_IF_FAILED(CheckCaller("OpenUploadDialog"));
    FileUploaderDialogs dialogs = CurrentDialogs();
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
        PutArray(tags.Out(), perFile.tags, &PutText);
        PutArray(publicFlags.Out(), perFile.publicFlags, [](VARIANT* element, bool flag) { PutBool(element, flag); });
    } else {
        PutText(tags.Out(), choice.tags);
        PutBool(publicFlags.Out(), request.options.isPublic);
    }

    action_ = asUpload;
    EnsureDestination();
    Variant items, size, removeSizeBar;
    PutPaths(items.Out(), choice.files);
    PutText(size.Out(), choice.sizeText);
    PutBool(removeSizeBar.Out(), choice.removeSizeBar);
    hr = UploadFiles(*items.Get(), *size.Get(), *publicFlags.Get(), *tags.Get(), *removeSizeBar.Get());
    return FAILED(hr) ? hr : S_OK;
}
COM_CATCH_RETURN(log_, "OpenUploadDialog")

STDMETHODIMP CFileUploader::OpenSlideShowDialog()
try {
    RETURN_IF_FAILED(CheckCaller("OpenSlideShowDialog"));
    FileUploaderDialogs dialogs = CurrentDialogs();
    SlideshowDialogRequest request;
    request.owner = callerWindow_;
    request.options = ReadUploadOptions();
    request.sizeIndex = request.options.resize ? SlideshowSizeIndex(request.options.sizeIndex) : -1;

    SlideshowDialogChoice choice;
    choice.isPublic = request.options.isPublic;
    HRESULT hr = dialogs.slideshowFiles(request, choice);
    if (FAILED(hr)) return hr;
    if (hr != S_OK || choice.files.empty()) return S_FALSE;

    std::vector<std::wstring> unsupported;
    for (const std::wstring& path : choice.files)
        if (CFileUploadStrategy::IsRejectedPath(path, CFileUploadStrategy::FileTypeMode::ImagesOnly))
            unsupported.push_back(path);
    if (!unsupported.empty()) {
        if (!dialogs.unsupportedFiles(callerWindow_, unsupported)) return S_OK;
        choice.files.erase(std::remove_if(choice.files.begin(), choice.files.end(),
                                          [&](const std::wstring& path) {
                                              return std::find(unsupported.begin(), unsupported.end(), path) !=
                                                     unsupported.end();
                                          }),
                           choice.files.end());
        if (choice.files.empty()) return S_OK;
    }
    if (choice.files.size() > 1) {
        hr = dialogs.slideOrder(callerWindow_, choice.files);
        if (FAILED(hr)) return hr;
        if (hr != S_OK || choice.files.empty()) return S_FALSE;
    }

    action_ = asSlideshow;
    EnsureDestination();
    // The slideshow sends plain addresses to the service to fetch; files chosen
    // on disk go as "file:///" addresses, which it uploads itself.
    for (std::wstring& file : choice.files)
        if (file.find(L"://") == std::wstring::npos) file = L"file:///" + file;
    Variant items, size, publicFlag, noTags;
    PutPaths(items.Out(), choice.files);
    PutText(size.Out(), choice.sizeText);
    PutBool(publicFlag.Out(), choice.isPublic);
    Variant effect(choice.effect.c_str());
    Variant background(choice.background.c_str());
    hr = CreateSlideshow(*items.Get(), *size.Get(), *publicFlag.Get(), *noTags.Get(), *effect.Get(),
                         *background.Get());
    return FAILED(hr) ? hr : S_OK;
}
COM_CATCH_RETURN(log_, "OpenSlideShowDialog")

STDMETHODIMP CFileUploader::TakeScreenShot()
try {
    RETURN_IF_FAILED(CheckCaller("TakeScreenShot"));
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
    PutBool(publicFlag.Out(), options.isPublic);
    PutBool(removeSizeBar.Out(), options.removeSizeBar);
    HRESULT hr = UploadFiles(*item.Get(), *none.Get(), *publicFlag.Get(), *none.Get(), *removeSizeBar.Get());
    return FAILED(hr) ? hr : S_OK;
}
COM_CATCH_RETURN(log_, "TakeScreenShot")

// --- upload entry points ----------------------------------------------------------------

CUploadStrategy* CFileUploader::CreateStrategy(StrategyKind kind)
{
    switch (kind) {
    case StrategyKind::Files: return new CFileUploadStrategy;
    case StrategyKind::Transload: return new CTransloadStrategy;
    case StrategyKind::Blog: return new CPostToBlogStrategy;
    case StrategyKind::Slideshow: return new CSlideShowStrategy;
    case StrategyKind::Queue: return new CQueueStrategy;
    }
    return nullptr;
}

HRESULT CFileUploader::UploadWith(StrategyKind kind, const char* name, const VARIANT& items, const VARIANT& optsize,
                                  const VARIANT& publicFlags, const VARIANT& tags, const VARIANT& removeSizeBar)
{
    if (pending_) {
        log_.Write("An upload is still being prepared; refused");
        return E_FAIL;
    }
    log_.Write(name);
    pending_ = CreateStrategy(kind);
    if (!pending_) return E_NOTIMPL;
    // A strategy that refuses the option stays pending and blocks this object.
    if (FAILED(pending_->SetOption(L"remove_size_bar", removeSizeBar))) return E_FAIL;
    return Start(items, optsize, publicFlags, tags);
}

HRESULT CFileUploader::Start(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags,
                             const VARIANT& tags)
{
    // Strings and arrays of strings or variants all carry the bit of VT_BSTR.
    if (!(V_VT(&items) & VT_BSTR)) {
        DropPending();
        return E_INVALIDARG;
    }
    return InitializeAndHandOver(items, optsize, publicFlags, tags, true, false);
}

HRESULT CFileUploader::InitializeAndHandOver(const VARIANT& items, const VARIANT& optsize,
                                             const VARIANT& publicFlags, const VARIANT& tags,
                                             bool releaseDestination, bool restartTarget)
{
    Variant statistics(static_cast<LONG>(action_));
    pending_->SetOption(L"statistics", *statistics.Get());
    if (cookie_) {
        VARIANT cookie;
        VariantInit(&cookie);
        V_VT(&cookie) = VT_BSTR;
        V_BSTR(&cookie) = cookie_;  // borrowed: SetOption copies
        pending_->SetOption(L"cookie", cookie);
    }
    const HRESULT initialized = pending_->Initialize(items, optsize, publicFlags, tags);
    if (initialized != S_OK) {
        // An error, or nothing left to send: no upload, and no strategy left behind.
        DropPending();
        return FAILED(initialized) ? initialized : S_OK;
    }

    auto* thread = new CImageUploadThead;
    // Only elements, browsers, windows and documents can take results.
    if (destination_ && FAILED(thread->SetDestination(destination_.Get())))
        log_.Write("The destination takes no results; the upload runs without it");
    if (releaseDestination) destination_.Reset();
    if (progress_) thread->SetProgressDocument(progress_.Get());
    thread->SetCallerWindow(callerWindow_);
    thread->SetCaller(caller_.Get());
    thread->SetToolbar(toolbar_.Get());
    if (restartTarget) thread->SetTarget(new CRestartImageTarget);
    thread->SetStrategy(pending_);
    pending_ = nullptr;
    return thread->Start();
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
    if (pending_) {
        log_.Write("An upload is still being prepared; refused");
        return E_FAIL;
    }
    log_.Write("Creating SlideShowStrategy");
    pending_ = CreateStrategy(StrategyKind::Slideshow);
    if (!pending_) return E_NOTIMPL;
    pending_->SetOption(L"effect", effect);
    pending_->SetOption(L"background", background);
    return Start(items, optsize, publicFlags, tags);
}
COM_CATCH_RETURN(log_, "CreateSlideshow")

STDMETHODIMP CFileUploader::UploadQueue(VARIANT items, VARIANT tags, VARIANT publicFlags, VARIANT optsize,
                                        VARIANT removeSizeBar)
try {
    RETURN_IF_FAILED(CheckCaller("UploadQueue"));
    if (pending_) {
        log_.Write("An upload is still being prepared; refused");
        return E_FAIL;
    }
    log_.Write("Creating QueueStrategy");
    pending_ = CreateStrategy(StrategyKind::Queue);
    if (!pending_) return E_NOTIMPL;
    if (FAILED(pending_->SetOption(L"remove_size_bar", removeSizeBar))) return E_FAIL;
    // The queue's items are its own records, so their type is not checked, and
    // the finished pass restarts the next one through its own target.
    return InitializeAndHandOver(items, optsize, publicFlags, tags, false, true);
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
    return S_OK;
}
COM_CATCH_RETURN(log_, "SetInterfaceSafetyOptions")

// --- IObjectWithSite ------------------------------------------------------------------------

STDMETHODIMP CFileUploader::SetSite(IUnknown* site)
try {
    site_ = site;
    return S_OK;
}
COM_CATCH_RETURN(log_, "SetSite")

STDMETHODIMP CFileUploader::GetSite(REFIID iid, void** site)
try {
    if (!site) return E_POINTER;
    *site = nullptr;
    if (!site_) return E_FAIL;
    return site_->QueryInterface(iid, site);
}
COM_CATCH_RETURN(log_, "GetSite")
