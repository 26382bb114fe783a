// Picture files dropped on a text area of a web page, or on the toolbar: the
// handler hooks one document's drag events, marks its text areas, keeps the
// band's drop-target count, and hands dropped file lists to the scriptable
// uploader with the text area (or the browser) as the place for the links.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "VellumpostToolbar_h.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"

// What the slideshow dialog of a drop on the Slideshow button is opened with
// and gives back.
struct SlideshowDropRequest {
    HWND owner = nullptr;
    std::vector<std::wstring> files;  // supported files only
    bool resize = false;
    int sizeIndex = -1;  // the toolbar's resize label (ResizeTo - first id) when resize is set
};
struct SlideshowDropChoice {
    std::vector<std::wstring> files;  // in slide order
    std::wstring format;
    std::wstring effect;
    std::wstring background;
};
// S_OK confirmed, S_FALSE cancelled, a failure otherwise.
using SlideshowDropDialog = std::function<HRESULT(const SlideshowDropRequest&, SlideshowDropChoice&)>;

// Reads the file list of an OLE data object: only a CF_HDROP in global memory,
// paths of any length, empty names skipped. Fails when there is none.
HRESULT ReadDroppedFiles(IDataObject* data, std::vector<std::wstring>& paths);

class CDragAndDropHandler : public ComObject<CDragAndDropHandler, TypeLibDispatch<IDragAndDropHandler>> {
public:
    CDragAndDropHandler();

    // Creates the uploader of a drop; by default the registered class.
    using UploaderFactory = HRESULT (*)(REFIID iid, void** object);
    static void SetUploaderFactory(UploaderFactory factory);
    // Replaces the slideshow dialog of drops on the Slideshow button (tests
    // answer for the user); an empty function restores the library's own.
    static void SetSlideshowDialog(SlideshowDropDialog dialog);

    // IDragAndDropHandler
    STDMETHODIMP Attach(IDispatch* pDisp, IStockBar* pBar, BOOL* pAttached) override;
    STDMETHODIMP AttachAndParse(IDispatch* pDisp, IStockBar* pBar, BOOL* pAttached) override;
    STDMETHODIMP OnDrop(IUnknown* pDataObject) override;
    STDMETHODIMP IsSupported(IUnknown* pDataObject, BOOL* pResult) override;
    STDMETHODIMP get_StockBar(IStockBar** value) override;
    STDMETHODIMP put_StockBar(IStockBar* value) override;
    STDMETHODIMP get_Browser(IDispatch** value) override;
    STDMETHODIMP put_Browser(IDispatch* value) override;
    STDMETHODIMP get_SlideShow(BOOL* value) override;
    STDMETHODIMP put_SlideShow(BOOL value) override;
    STDMETHODIMP put_CallerHWND(OLE_HANDLE value) override;

private:
    ~CDragAndDropHandler() override;
    void Teardown() noexcept;
    // Gives back the bar's count when this handler holds one.
    void SettleCount();
    HRESULT StoreBrowser(IDispatch* browser);

    // Page events.
    void OnPageDragOver(int);
    void OnPageDrop(int);
    // The upload of a dropped file list with destination as the links' place.
    HRESULT UploadDropped(const std::vector<std::wstring>& paths, IUnknown* destination);
    HRESULT StartSlideshow(IInnerFileUploader* uploader, std::vector<std::wstring> paths, bool isPublic);

    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    HWND callerWindow_ = nullptr;
    Microsoft::WRL::ComPtr<IStockBar> bar_;
    bool counted_ = false;
    bool slideShow_ = false;
    const void* lastData_ = nullptr;  // compared only, never used
    bool lastAnswer_ = false;
    LogWriter log_{"CDragAndDropHandler"};
};
