// The thread of one upload: it receives the strategy, the extra target and the
// browser objects of the starting thread (as marshalled streams), creates the
// uploader in its own single-threaded apartment, starts the upload and serves
// messages until the uploader says it is finished. The object belongs to the
// thread once Start succeeds and is destroyed there.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>

#include "common/Runnable.h"
#include "engine/ImageTarget.h"
#include "engine/UploadStrategy.h"

struct IIEImageUploader;
struct IStockBar;
struct IHTMLDocument2;

class CImageUploadThead : public Runnable {
public:
    CImageUploadThead() = default;
    ~CImageUploadThead() override;
    CImageUploadThead(const CImageUploadThead&) = delete;
    CImageUploadThead& operator=(const CImageUploadThead&) = delete;

    void SetCallerWindow(HWND window) { callerWindow_ = window; }
    HRESULT SetCaller(IDispatch* caller);
    // E_INVALIDARG when the object is none of element, browser, window, document.
    HRESULT SetDestination(IUnknown* destination);
    HRESULT SetProgressDocument(IUnknown* document);
    HRESULT SetToolbar(IStockBar* toolbar);
    // Ownership passes to this object (a previous one is deleted).
    void SetStrategy(std::unique_ptr<CUploadStrategy> strategy);
    void SetTarget(std::unique_ptr<ImageTarget> target);

    // Starts the thread; on failure this object is deleted and E_FAIL returned.
    // On success the object belongs to the thread: the caller must not touch it.
    HRESULT Start();
    void Run() override;

    // The interface a destination is marshalled under (IID_NULL: none fits).
    static IID DestinationInterface(IUnknown* destination);

private:
    HRESULT SetUpUploader();
    // Deletes what this object still owns and releases the marshalled
    // streams and the uploader; failures are logged, none escapes.
    void ReleaseAll();
    void DeleteStrategy();
    void DeleteTarget();

    HWND callerWindow_ = nullptr;
    Microsoft::WRL::ComPtr<IStream> callerStream_;
    IID destinationIid_ = IID_NULL;
    Microsoft::WRL::ComPtr<IStream> destinationStream_;
    Microsoft::WRL::ComPtr<IStream> progressStream_;
    Microsoft::WRL::ComPtr<IStream> toolbarStream_;
    std::unique_ptr<ImageTarget> target_;
    std::unique_ptr<CUploadStrategy> strategy_;
    Microsoft::WRL::ComPtr<IIEImageUploader> uploader_;
};
