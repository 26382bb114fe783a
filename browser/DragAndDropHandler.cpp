// Page and toolbar drops (see the header).
#include "browser/DragAndDropHandler.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

#include "browser/HtmlEvent.h"
#include "browser/PageAccess.h"
#include "common/Bstr.h"
#include "common/HResult.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "common/VariantArray.h"
#include "dialogs/SlideshowDialogs.h"
#include "engine/FileUploadStrategy.h"
#include "engine/FileUploaderDialogs.h"
#include "resources/resource.h"

using Microsoft::WRL::ComPtr;

namespace {

HRESULT CreateRegisteredUploader(REFIID iid, void** object)
{
    return CoCreateInstance(CLSID_FileUploader, nullptr, CLSCTX_ALL, iid, object);
}

std::atomic<CDragAndDropHandler::UploaderFactory> g_uploaderFactory{&CreateRegisteredUploader};

std::mutex g_slideshowDialogLock;
SlideshowDropDialog g_slideshowDialog;

// Without the slideshow dialog: the uploader's slide order, the slideshow size
// nearest the toolbar's resize label, and the plain look.
// The slideshow dialog over the dropped files: their order, size, effect and background.
HRESULT DefaultSlideshowDialog(const SlideshowDropRequest& request, SlideshowDropChoice& choice)
{
    SlideshowDialogRequest dialog;
    dialog.owner = request.owner;
    // Avatar and small labels map to the first slideshow size, the rest to the second.
    dialog.sizeIndex = request.resize && request.sizeIndex >= 0 ? (request.sizeIndex <= 1 ? 0 : 1) : 1;
    SlideshowDialogChoice chosen;
    const HRESULT hr = RunSlideShowDialog(dialog, request.files, chosen);
    if (hr != S_OK) return hr;
    choice.files = chosen.files;
    choice.format = chosen.sizeText;
    choice.effect = chosen.effect;
    choice.background = chosen.background;
    return S_OK;
}

SlideshowDropDialog SlideshowDialog()
{
    std::lock_guard<std::mutex> lock(g_slideshowDialogLock);
    return g_slideshowDialog ? g_slideshowDialog : SlideshowDropDialog(&DefaultSlideshowDialog);
}

// The file list format of a drop, in global memory only.
FORMATETC FileListFormat()
{
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// The medium of a GetData call, released when it goes.
class Medium {
public:
    Medium() = default;
    ~Medium() { ReleaseStgMedium(&medium_); }
    Medium(const Medium&) = delete;
    Medium& operator=(const Medium&) = delete;
    STGMEDIUM* Out() { return &medium_; }
    // The global memory of a file list; null for any other medium.
    HGLOBAL FileList() const { return medium_.tymed == TYMED_HGLOBAL ? medium_.hGlobal : nullptr; }

private:
    STGMEDIUM medium_{};
};

// Whether global memory holds a whole file list: the names start inside it
// and their closing empty name ends inside it, so reading them stays inside.
bool PlausibleFileList(HGLOBAL memory)
{
    const SIZE_T size = GlobalSize(memory);
    if (size < sizeof(DROPFILES)) return false;
    const auto* header = static_cast<const DROPFILES*>(GlobalLock(memory));
    if (!header) return false;
    bool closed = false;
    if (header->pFiles >= sizeof(DROPFILES) && header->pFiles < size) {
        const auto* bytes = reinterpret_cast<const BYTE*>(header);
        const SIZE_T unit = header->fWide ? sizeof(wchar_t) : 1;
        for (SIZE_T at = header->pFiles; !closed && at + 2 * unit <= size; at += unit) {
            SIZE_T zeros = 0;
            while (zeros < 2 * unit && bytes[at + zeros] == 0) ++zeros;
            closed = zeros == 2 * unit;
        }
    }
    GlobalUnlock(memory);
    return closed;
}

// Pages can fire their own handlers, and drops can be cancelled: every
// routine runs only on a complete event.
VARIANT_BOOL IsTextEdit(IHTMLElement* element)
{
    VARIANT_BOOL edit = VARIANT_FALSE;
    if (!element || FAILED(element->get_isTextEdit(&edit))) return VARIANT_FALSE;
    return edit;
}

}  // namespace

HRESULT ReadDroppedFiles(IDataObject* data, std::vector<std::wstring>& paths)
{
    paths.clear();
    if (!data) return E_POINTER;
    FORMATETC format = FileListFormat();
    Medium medium;
    RETURN_IF_FAILED(data->GetData(&format, medium.Out()));
    HGLOBAL list = medium.FileList();
    if (!list || !PlausibleFileList(list)) return DV_E_TYMED;
    auto drop = static_cast<HDROP>(list);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        const UINT copied = DragQueryFileW(drop, i, &path[0], length + 1);
        path.resize(std::min(copied, length));
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return S_OK;
}

void CDragAndDropHandler::SetUploaderFactory(UploaderFactory factory)
{
    g_uploaderFactory = factory ? factory : &CreateRegisteredUploader;
}

void CDragAndDropHandler::SetSlideshowDialog(SlideshowDropDialog dialog)
{
    std::lock_guard<std::mutex> lock(g_slideshowDialogLock);
    g_slideshowDialog = std::move(dialog);
}

CDragAndDropHandler::CDragAndDropHandler() { log_.Format("Created %s", LogAddress(this).c_str()); }

CDragAndDropHandler::~CDragAndDropHandler() { Teardown(); }

void CDragAndDropHandler::Teardown() noexcept
{
    try {
        SettleCount();
        bar_.Reset();
        browser_.Reset();
        log_.Format("Destroyed %s", LogAddress(this).c_str());
    } catch (...) {
        log_.Format("EXCEPTION on destroying %s", LogAddress(this).c_str());
    }
}

void CDragAndDropHandler::SettleCount()
{
    if (!counted_ || !bar_) return;
    counted_ = false;
    const HRESULT hr = bar_->DecrementDragAndDrop();
    if (FAILED(hr)) log_.Format("FAILED to decrement the drop count: 0x%x", static_cast<unsigned>(hr));
}

HRESULT CDragAndDropHandler::StoreBrowser(IDispatch* browser)
{
    ComPtr<IWebBrowser2> shown;
    if (!browser) return E_POINTER;
    RETURN_IF_FAILED(browser->QueryInterface(IID_PPV_ARGS(&shown)));
    browser_ = shown;
    return S_OK;
}

// --- attaching ------------------------------------------------------------------------

STDMETHODIMP CDragAndDropHandler::Attach(IDispatch* pDisp, IStockBar* pBar, BOOL* pAttached)
try {
    if (pAttached) *pAttached = FALSE;
    RETURN_IF_FAILED(StoreBrowser(pDisp));
    ComPtr<IHTMLDocument2> document;
    RETURN_IF_FAILED(BrowserDocument(browser_.Get(), document));

    std::vector<ComPtr<IHTMLElement>> textAreas;
    RETURN_IF_FAILED(VisitElements(document.Get(), L"textArea", [&](IHTMLElement* element) {
        textAreas.emplace_back(element);
        return true;
    }));
    ComPtr<IHTMLElement> body;
    if (FAILED(document->get_body(body.GetAddressOf())) || !body || textAreas.empty()) return S_OK;
    ComPtr<IHTMLElement2> body2;
    if (FAILED(body.As(&body2))) return E_FAIL;

    // The page's own drag handlers keep running before ours.
    using Sink = CSingleHtmlEvent<CDragAndDropHandler>;
    IUnknown* identity = static_cast<IDragAndDropHandler*>(this);
    Variant previous;
    bool hooked = SUCCEEDED(body2->get_ondragenter(previous.Out()));
    ComPtr<IDispatch> enter = Sink::Create(this, identity, &CDragAndDropHandler::OnPageDragOver,
                                           AbstractHtmlEvent::PageHandler(*previous.Get()).Get());
    hooked = hooked && SUCCEEDED(body2->get_ondragover(previous.Out()));
    ComPtr<IDispatch> over = Sink::Create(this, identity, &CDragAndDropHandler::OnPageDragOver,
                                          AbstractHtmlEvent::PageHandler(*previous.Get()).Get());
    hooked = hooked && SUCCEEDED(body2->get_ondrop(previous.Out()));
    ComPtr<IDispatch> drop = Sink::Create(this, identity, &CDragAndDropHandler::OnPageDrop,
                                          AbstractHtmlEvent::PageHandler(*previous.Get()).Get());
    if (!hooked) return E_FAIL;
    VARIANT sink;
    VariantInit(&sink);
    V_VT(&sink) = VT_DISPATCH;
    V_DISPATCH(&sink) = enter.Get();
    if (FAILED(body2->put_ondragenter(sink))) return E_FAIL;
    V_DISPATCH(&sink) = over.Get();
    if (FAILED(body2->put_ondragover(sink))) return E_FAIL;
    V_DISPATCH(&sink) = drop.Get();
    if (FAILED(body2->put_ondrop(sink))) return E_FAIL;

    if (pAttached) *pAttached = TRUE;
    // Counted once, whatever bar a later attach brings.
    if (bar_.Get() != pBar) {
        SettleCount();
        bar_ = pBar;
    }
    if (bar_ && !counted_) {
        const HRESULT hr = bar_->IncrementDragAndDrop();
        counted_ = SUCCEEDED(hr);
    }

    if (SettingsStore().Tooltips()) {
        Bstr tip(LoadModuleString(IDS_TEXTAREA_TITLE).c_str());
        for (const auto& textArea : textAreas) {
            // A title the page gave its text area is the page's to keep.
            Bstr own;
            if (FAILED(textArea->get_title(own.Out())) || !own.Empty()) continue;
            textArea->put_title(tip.Get());
        }
    }
    log_.Format("Attached %s", LogAddress(this).c_str());
    return S_OK;
}
COM_CATCH_RETURN(log_, "Attach")

STDMETHODIMP CDragAndDropHandler::AttachAndParse(IDispatch* pDisp, IStockBar* pBar, BOOL* pAttached)
try {
    return AttachHandlerWithFrames<CDragAndDropHandler, IDragAndDropHandler>(this, pDisp, pBar, pAttached);
}
COM_CATCH_RETURN(log_, "AttachAndParse")

// --- page events ---------------------------------------------------------------------

void CDragAndDropHandler::OnPageDragOver(int)
{
    ComPtr<IHTMLDocument2> document;
    if (FAILED(BrowserDocument(browser_.Get(), document))) return;
    ComPtr<IHTMLEventObj> event = CurrentEvent(document.Get());
    ComPtr<IHTMLElement> element = ElementUnderEvent(document.Get(), event.Get());
    if (!event || !element || !IsTextEdit(element.Get())) return;
    ComPtr<IHTMLTextAreaElement> textArea;
    if (FAILED(element.As(&textArea)) || !textArea) return;
    ComPtr<IHTMLDataTransfer> transfer = EventDataTransfer(event.Get());
    ComPtr<IDataObject> data = TransferredData(transfer.Get());
    if (!data) return;
    if (data.Get() != lastData_) {
        BOOL supported = FALSE;
        if (FAILED(IsSupported(data.Get(), &supported))) supported = FALSE;
        lastData_ = data.Get();
        lastAnswer_ = supported != FALSE;
    }
    if (!lastAnswer_) return;
    Bstr copy(L"copy");
    transfer->put_dropEffect(copy.Get());
    SetReturnValue(event.Get(), false);
}

void CDragAndDropHandler::OnPageDrop(int)
{
    ComPtr<IHTMLDocument2> document;
    if (FAILED(BrowserDocument(browser_.Get(), document))) return;
    ComPtr<IHTMLEventObj> event = CurrentEvent(document.Get());
    if (!event) return;
    // A drop this handler does not take stays the page's: what its own
    // handler decided is left as it is.
    ComPtr<IHTMLElement> element = ElementUnderEvent(document.Get(), event.Get());
    if (!element || !IsTextEdit(element.Get())) return;
    ComPtr<IDataObject> data = TransferredData(EventDataTransfer(event.Get()).Get());
    if (!data) return;
    // The list is read while the drop lasts; the upload and its windows come after it.
    std::vector<std::wstring> paths;
    if (FAILED(ReadDroppedFiles(data.Get(), paths)) || paths.empty()) return;
    // Handled: the browser must not open the dropped file in place of the page.
    SetReturnValue(event.Get(), false);
    ComPtr<CDragAndDropHandler> self(this);
    ComPtr<IHTMLElement> destination = element;
    const bool queued = RunAfterEvent([self, paths, destination] {
        const HRESULT hr = self->UploadDropped(paths, destination.Get());
        if (FAILED(hr)) self->log_.Format("Drop failed: 0x%x", static_cast<unsigned>(hr));
    });
    if (!queued) log_.Write("FAILED to queue the upload of a drop");
}

// --- drops -----------------------------------------------------------------------------

STDMETHODIMP CDragAndDropHandler::OnDrop(IUnknown* pDataObject)
try {
    if (!pDataObject) return E_POINTER;
    ComPtr<IDataObject> data;
    if (FAILED(pDataObject->QueryInterface(IID_PPV_ARGS(&data)))) return E_FAIL;
    std::vector<std::wstring> paths;
    RETURN_IF_FAILED(ReadDroppedFiles(data.Get(), paths));
    return UploadDropped(paths, browser_.Get());
}
COM_CATCH_RETURN(log_, "OnDrop")

HRESULT CDragAndDropHandler::UploadDropped(const std::vector<std::wstring>& paths, IUnknown* destination)
{
    ComPtr<IFileUploader> uploader;
    if (FAILED(g_uploaderFactory.load()(IID_PPV_ARGS(&uploader))) || !uploader) {
        log_.Write("FAILED to create the uploader of a drop");
        return S_OK;
    }
    ComPtr<IInnerFileUploader> inner;
    if (FAILED(uploader.As(&inner))) return E_NOINTERFACE;
    uploader->put_toolbar(bar_.Get());
    if (destination) uploader->put_destination(destination);
    uploader->put_CallerHWND(static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(callerWindow_)));

    BOOL resize = FALSE, isPublic = FALSE;
    Bstr format;
    Variant removeSizeBar;
    if (bar_ && FAILED(bar_->GetOptions(&resize, format.Out(), &isPublic, removeSizeBar.Out()))) {
        resize = FALSE;
        isPublic = FALSE;
    }
    if (slideShow_) return StartSlideshow(inner.Get(), paths, isPublic != FALSE);

    ComPtr<IHTMLElement> element;
    const bool toElement = destination && SUCCEEDED(destination->QueryInterface(IID_PPV_ARGS(&element)));
    uploader->put_Action(static_cast<ActionStatisticsEnum>(toElement ? asDragAndDrop | asFromBrowser : asDragAndDrop));
    Variant items, size, publicFlag, noTags, sizeBar;
    PutStringArray(items.Out(), paths);
    if (resize) {
        Variant label(format.Text());
        RETURN_IF_FAILED(label.CopyTo(size.Out()));
    }
    V_VT(publicFlag.Get()) = VT_BOOL;
    V_BOOL(publicFlag.Get()) = isPublic ? VARIANT_TRUE : VARIANT_FALSE;
    if (FAILED(VariantChangeType(sizeBar.Get(), removeSizeBar.Get(), 0, VT_BOOL))) {
        V_VT(sizeBar.Out()) = VT_BOOL;
        V_BOOL(sizeBar.Get()) = VARIANT_FALSE;
    }
    const HRESULT hr = inner->UploadFiles(*items.Get(), *size.Get(), *publicFlag.Get(), *noTags.Get(), *sizeBar.Get());
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CDragAndDropHandler::StartSlideshow(IInnerFileUploader* uploader, std::vector<std::wstring> paths,
                                            bool isPublic)
{
    HWND owner = GetActiveWindow();
    std::vector<std::wstring> unsupported;
    for (const std::wstring& path : paths)
        if (CFileUploadStrategy::IsRejectedPath(path, CFileUploadStrategy::FileTypeMode::ImagesOnly))
            unsupported.push_back(path);
    if (!unsupported.empty()) {
        if (!InstalledFileUploaderDialogs().unsupportedFiles(owner, unsupported)) return S_OK;
        paths.erase(std::remove_if(paths.begin(), paths.end(),
                                   [&](const std::wstring& path) {
                                       return std::find(unsupported.begin(), unsupported.end(), path) !=
                                              unsupported.end();
                                   }),
                    paths.end());
    }
    if (paths.empty()) return S_OK;

    SlideshowDropRequest request;
    request.owner = owner;
    request.files = paths;
    SettingsStore settings;
    request.resize = settings.Resize();
    request.sizeIndex = static_cast<int>(settings.ResizeTo()) - static_cast<int>(kResizeToFirst);
    SlideshowDropChoice choice;
    const HRESULT hr = SlideshowDialog()(request, choice);
    if (hr != S_OK || choice.files.empty()) return FAILED(hr) ? hr : S_OK;

    ComPtr<IFileUploader> scriptable;
    if (SUCCEEDED(uploader->QueryInterface(IID_PPV_ARGS(&scriptable))))
        scriptable->put_Action(static_cast<ActionStatisticsEnum>(asDragAndDrop | asFromToolbar));
    Variant items, size(choice.format.c_str()), publicFlag, noTags, effect(choice.effect.c_str()),
        background(choice.background.c_str());
    PutStringArray(items.Out(), choice.files);
    V_VT(publicFlag.Get()) = VT_BOOL;
    V_BOOL(publicFlag.Get()) = isPublic ? VARIANT_TRUE : VARIANT_FALSE;
    const HRESULT created = uploader->CreateSlideshow(*items.Get(), *size.Get(), *publicFlag.Get(), *noTags.Get(),
                                                      *effect.Get(), *background.Get());
    return FAILED(created) ? created : S_OK;
}

STDMETHODIMP CDragAndDropHandler::IsSupported(IUnknown* pDataObject, BOOL* pResult)
try {
    if (!pDataObject || !pResult) return E_POINTER;
    *pResult = FALSE;
    ComPtr<IDataObject> data;
    if (FAILED(pDataObject->QueryInterface(IID_PPV_ARGS(&data)))) return E_FAIL;
    FORMATETC format = FileListFormat();
    Medium medium;
    if (SUCCEEDED(data->GetData(&format, medium.Out())) && medium.FileList()) *pResult = VARIANT_TRUE;
    return S_OK;
}
COM_CATCH_RETURN(log_, "IsSupported")

// --- properties -------------------------------------------------------------------------

STDMETHODIMP CDragAndDropHandler::get_StockBar(IStockBar** value)
{
    if (!value) return E_POINTER;
    return bar_.CopyTo(value);
}

STDMETHODIMP CDragAndDropHandler::put_StockBar(IStockBar* value)
try {
    SettleCount();
    bar_ = value;
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_StockBar")

STDMETHODIMP CDragAndDropHandler::get_Browser(IDispatch** value)
{
    if (!value) return E_POINTER;
    *value = nullptr;
    return browser_ ? browser_.CopyTo(value) : S_OK;
}

STDMETHODIMP CDragAndDropHandler::put_Browser(IDispatch* value)
try {
    return StoreBrowserOnce(browser_, value);
}
COM_CATCH_RETURN(log_, "put_Browser")

STDMETHODIMP CDragAndDropHandler::get_SlideShow(BOOL* value)
{
    if (!value) return E_POINTER;
    *value = slideShow_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CDragAndDropHandler::put_SlideShow(BOOL value)
{
    // The band says TRUE (1), scripts say -1: both mean a drop on the Slideshow button.
    slideShow_ = value != FALSE;
    return S_OK;
}

STDMETHODIMP CDragAndDropHandler::put_CallerHWND(OLE_HANDLE value)
{
    callerWindow_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
    return S_OK;
}
