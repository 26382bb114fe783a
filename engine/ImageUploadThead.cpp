// The upload thread (see the header).
#include "engine/ImageUploadThead.h"

#include <exdisp.h>
#include <mshtml.h>

#include "VellumpostToolbar_h.h"
#include "common/LogWriter.h"
#include "engine/IEImageUploader.h"

using Microsoft::WRL::ComPtr;

namespace {

const LogWriter& Log()
{
    static const LogWriter log("CImageUploadThead");
    return log;
}


// Marshals an interface into a stream on global memory for another thread of
// this process; the stream holds a strong reference until it is released.
ComPtr<IStream> MarshalForThread(REFIID iid, IUnknown* object)
{
    ComPtr<IStream> stream;
    if (!object || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
    if (FAILED(CoMarshalInterface(stream.Get(), iid, object, MSHCTX_INPROC, nullptr, MSHLFLAGS_TABLESTRONG)))
        return nullptr;
    return stream;
}

template <typename Interface>
ComPtr<Interface> Unmarshal(IStream* stream, REFIID iid)
{
    ComPtr<Interface> object;
    LARGE_INTEGER start = {};
    if (stream && SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr)))
        CoUnmarshalInterface(stream, iid, reinterpret_cast<void**>(object.GetAddressOf()));
    return object;
}

// Frees the marshalled reference a table-strong stream holds, then the stream.
void ReleaseStream(ComPtr<IStream>& stream)
{
    if (!stream) return;
    LARGE_INTEGER start = {};
    if (SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) CoReleaseMarshalData(stream.Get());
    stream.Reset();
}

}  // namespace

CImageUploadThead::~CImageUploadThead() { ReleaseAll(); }

void CImageUploadThead::ReleaseAll()
{
    try {
        Log().Format("Destroying uploader thread instance %s", LogAddress(this).c_str());
    } catch (...) {
        // A line that cannot be written is no reason to leave the rest behind.
    }
    DeleteStrategy();
    DeleteTarget();
    try {
        ReleaseStream(destinationStream_);
    } catch (...) {
        Log().Format("EXCEPTION on free Destination %s", LogAddress(this).c_str());
    }
    ReleaseStream(progressStream_);
    ReleaseStream(toolbarStream_);
    ReleaseStream(callerStream_);
    uploader_.Reset();
}

void CImageUploadThead::DeleteStrategy()
{
    try {
        strategy_.reset();
    } catch (...) {
        Log().Format("EXCEPTION on delete strategy %s", LogAddress(this).c_str());
    }
}

void CImageUploadThead::DeleteTarget()
{
    try {
        target_.reset();
    } catch (...) {
        Log().Format("EXCEPTION on delete image target %s", LogAddress(this).c_str());
    }
}

HRESULT CImageUploadThead::SetCaller(IDispatch* caller)
{
    ReleaseStream(callerStream_);
    if (!caller) return S_OK;
    return CoMarshalInterThreadInterfaceInStream(IID_IDispatch, caller, &callerStream_);
}

IID CImageUploadThead::DestinationInterface(IUnknown* destination)
{
    if (!destination) return IID_NULL;
    for (const IID* iid : {&IID_IHTMLElement, &IID_IWebBrowser2, &IID_IHTMLWindow2, &IID_IHTMLDocument2}) {
        ComPtr<IUnknown> probe;
        if (SUCCEEDED(destination->QueryInterface(*iid, reinterpret_cast<void**>(probe.GetAddressOf())))) return *iid;
    }
    return IID_NULL;
}

HRESULT CImageUploadThead::SetDestination(IUnknown* destination)
{
    ReleaseStream(destinationStream_);
    destinationIid_ = DestinationInterface(destination);
    if (IsEqualIID(destinationIid_, IID_NULL)) return E_INVALIDARG;
    destinationStream_ = MarshalForThread(destinationIid_, destination);
    return destinationStream_ ? S_OK : E_FAIL;
}

HRESULT CImageUploadThead::SetProgressDocument(IUnknown* document)
{
    ReleaseStream(progressStream_);
    ComPtr<IHTMLDocument2> html;
    if (!document || FAILED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(html.GetAddressOf()))))
        return E_INVALIDARG;
    progressStream_ = MarshalForThread(IID_IHTMLDocument2, html.Get());
    return progressStream_ ? S_OK : E_FAIL;
}

HRESULT CImageUploadThead::SetToolbar(IStockBar* toolbar)
{
    ReleaseStream(toolbarStream_);
    if (!toolbar) return S_OK;
    toolbarStream_ = MarshalForThread(IID_IStockBar, toolbar);
    return toolbarStream_ ? S_OK : E_FAIL;
}

void CImageUploadThead::SetStrategy(std::unique_ptr<CUploadStrategy> strategy)
{
    DeleteStrategy();
    strategy_ = std::move(strategy);
}

void CImageUploadThead::SetTarget(std::unique_ptr<ImageTarget> target)
{
    DeleteTarget();
    target_ = std::move(target);
}

HRESULT CImageUploadThead::Start()
{
    if (!StartRunnableThread(this)) {
        delete this;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CImageUploadThead::SetUpUploader()
{
    // The uploader is made by this module itself: the strategy and target
    // travel to it as raw pointers, which only code of the same module may use.
    if (FAILED(CIEImageUploader::CreateInstance(IID_IIEImageUploader,
                                                reinterpret_cast<void**>(uploader_.ReleaseAndGetAddressOf()))))
        return E_FAIL;
    uploader_->put_CallerHWND(static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(callerWindow_)));
    if (toolbarStream_) {
        if (auto toolbar = Unmarshal<IStockBar>(toolbarStream_.Get(), IID_IStockBar)) uploader_->put_toolbar(toolbar.Get());
        ReleaseStream(toolbarStream_);
    }
    if (progressStream_) {
        if (auto document = Unmarshal<IHTMLDocument2>(progressStream_.Get(), IID_IHTMLDocument2)) {
            ComPtr<IDispatch> dispatch;
            if (SUCCEEDED(document.As(&dispatch))) uploader_->put_progress(dispatch.Get());
        }
        ReleaseStream(progressStream_);
    }
    if (destinationStream_) {
        if (auto destination = Unmarshal<IUnknown>(destinationStream_.Get(), destinationIid_))
            uploader_->put_destination(destination.Get());
        ReleaseStream(destinationStream_);
    }
    if (callerStream_) {
        ComPtr<IDispatch> caller;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(callerStream_.Detach(), IID_IDispatch,
                                                     reinterpret_cast<void**>(caller.GetAddressOf()))))
            uploader_->put_caller(caller.Get());
    }
    // The uploader takes each over only when it says so; until then this object owns it.
    if (strategy_ && SUCCEEDED(uploader_->put_strategy(reinterpret_cast<LONG_PTR>(strategy_.get()))))
        static_cast<void>(strategy_.release());
    if (target_ && SUCCEEDED(uploader_->put_target(reinterpret_cast<LONG_PTR>(target_.get()))))
        static_cast<void>(target_.release());
    return uploader_->Upload();
}

void CImageUploadThead::Run()
{
    try {
        CoInitialize(nullptr);
        HRESULT hr = SetUpUploader();
        MSG message;
        if (FAILED(hr)) {
            // Nothing runs: serve what is already queued once and end.
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        } else {
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
                if (message.message == UM_FINISH_UPLOAD) break;
            }
        }
    } catch (...) {
        Log().Format("EXCEPTION in upload thread %s", LogAddress(this).c_str());
    }
    delete this;
    CoUninitialize();
}
