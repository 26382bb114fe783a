// The asynchronous HTTP uploader (see the header). Every step either completes
// at once or later through the library's status callback; either way the next
// step is a message posted to the hidden window, so all steps run one after
// another on the thread that owns the uploader.
#include "engine/IEImageUploader.h"

#include <mshtml.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "browser/RefTimedKeeper.h"
#include "common/Bstr.h"
#include "common/HResult.h"
#include "common/ModuleInstance.h"
#include "common/TextConvert.h"
#include "common/UrlParts.h"
#include "common/VersionStrings.h"
#include "engine/ImageTarget.h"
#include "engine/Progress.h"
#include "engine/TargetChain.h"
#include "engine/UploadStrategy.h"

namespace {

const char kCategory[] = "CIEImageUploader";
// INTERNET_FLAG_RELOAD | NO_CACHE_WRITE | KEEP_CONNECTION | PRAGMA_NOCACHE
const DWORD kRequestFlags = 0x84400100;
const DWORD kReadPiece = 1023;


// A step failure with the text that goes to the log.
class StepError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void Fail(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    throw StepError(text);
}

// The library's text for the last failed call, or empty.
std::wstring LastResponseInfo()
{
    const DWORD kMaxChars = 64 * 1024;
    std::wstring text(512, L'\0');
    DWORD error = 0;
    DWORD length = static_cast<DWORD>(text.size());
    if (!InternetGetLastResponseInfoW(&error, &text[0], &length)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0 || length > kMaxChars) return std::wstring();
        text.assign(length + 1, L'\0');
        length = static_cast<DWORD>(text.size());
        if (!InternetGetLastResponseInfoW(&error, &text[0], &length)) return std::wstring();
    }
    text.resize(std::min<size_t>(length, text.size()));
    return text;
}

// The log of the window procedure and the status callback, which run without an object.
const LogWriter& SharedLog()
{
    static const LogWriter log(kCategory);
    return log;
}

// The hidden window's class, registered on first use.
const wchar_t* HiddenWindowClass(WNDPROC procedure)
{
    static struct Registration {
        WNDCLASSEXW record = {};
        wchar_t name[32] = {};
        Registration(WNDPROC procedure)
        {
            std::swprintf(name, sizeof(name) / sizeof(name[0]), L"ATL:%p", static_cast<void*>(&record));
            record.cbSize = sizeof(record);
            record.lpfnWndProc = procedure;
            record.hInstance = ThisModule();
            record.lpszClassName = name;
            RegisterClassExW(&record);
        }
    } registration(procedure);
    return registration.name;
}

}  // namespace

BodyProgress ComputeBodyProgress(ULONGLONG bodySize, ULONGLONG bytesSent)
{
    ULONGLONG range = bodySize * 115 / 100;
    ULONGLONG position = range * 5 / 100 + bytesSent;
    // Scale both down alike until they fit the display's 32-bit integers.
    while (range > static_cast<ULONGLONG>(INT_MAX) || position > static_cast<ULONGLONG>(INT_MAX)) {
        range /= 2;
        position /= 2;
    }
    return {static_cast<int>(position), static_cast<int>(range)};
}

bool SplitUploadUrl(const wchar_t* url, UploadAddress& address)
{
    UrlParts parts;
    if (!url || !ParseUrl(url, parts)) return false;
    // The library's own fields are this long at most.
    if (parts.scheme.size() >= 32 || parts.user.size() >= 128 || parts.password.size() >= 128 ||
        parts.path.size() >= 2048 || parts.extra.size() >= 2048)
        return false;
    address.scheme = parts.scheme;
    address.host = parts.host;
    address.user = parts.user;
    address.password = parts.password;
    address.path = parts.path;
    address.extra = parts.extra;
    address.port = parts.port;
    return true;
}

void KeepBrowserWindow(HWND window, bool hold)
{
    if (hold)
        RefTimedKeeper::AddRef(window);
    else
        RefTimedKeeper::Release(window);
}

CIEImageUploader::CIEImageUploader() : log_(kCategory), body_(std::string())
{
    ZeroMemory(&sendBuffers_, sizeof(sendBuffers_));
    ZeroMemory(&readBuffers_, sizeof(readBuffers_));
    ZeroMemory(chunk_, sizeof(chunk_));
    ZeroMemory(readBuffer_, sizeof(readBuffer_));
    log_.Format("Uploader has been created %s", LogAddress(this).c_str());
    progress_.reset(CreateDialogProgress(this));
}

CIEImageUploader::~CIEImageUploader()
{
    log_.Format("Destroying uploader %s", LogAddress(this).c_str());
    if (window_) {
        DestroyWindow(window_);
        window_ = nullptr;
    }
    caller_.Reset();
    destination_.Reset();
    progressScript_.Reset();
    toolbar_.Reset();
    ReleaseOwned();
    // The Internet handles close as members: request, connection, root.
}

void CIEImageUploader::ReleaseOwned()
{
    DeleteProgress();
    try {
        strategy_.reset();
    } catch (...) {
        log_.Format("EXCEPTION on delete strategy %s", LogAddress(this).c_str());
    }
    try {
        extraTarget_.reset();
    } catch (...) {
        log_.Format("EXCEPTION on delete image target %s", LogAddress(this).c_str());
    }
    try {
        if (callerWindow_) KeepBrowserWindow(callerWindow_, false);
        callerWindow_ = nullptr;
    } catch (...) {
        log_.Format("EXCEPTION on release HWND %s", LogAddress(this).c_str());
    }
}

void CIEImageUploader::DeleteProgress()
{
    try {
        progress_.reset();
    } catch (...) {
        log_.Format("EXCEPTION on delete progress %s", LogAddress(this).c_str());
    }
}

void CIEImageUploader::ReplaceProgress(IProgress* progress)
{
    DeleteProgress();
    progress_.reset(progress);
}

void CIEImageUploader::SetProgressDisplay(IProgress* progress) { ReplaceProgress(progress); }

IDispatch* CIEImageUploader::GetDispatch()
{
    IDispatch* dispatch = static_cast<IIEImageUploader*>(this);
    dispatch->AddRef();
    return dispatch;
}

// --- IIEImageUploader -----------------------------------------------------------

STDMETHODIMP CIEImageUploader::Upload()
try {
    if (!strategy_) return E_FAIL;
    strategy_->SetUploader(this);
    ImageTarget* chain = BuildTargetChain(toolbar_.Get(), destination_.Get());
    if (extraTarget_) chain = new CCompositeImageTarget(extraTarget_.release(), chain);
    strategy_->SetTarget(std::unique_ptr<ImageTarget>(chain));
    if (progress_) progress_->Show(true);
    const HRESULT hr = strategy_->UploadNextItem();
    // Nothing was left to send, yet some items are done without a request
    // (pictures already on the service): their completion step runs here.
    if (FAILED(hr) && !canceled_ && strategy_->UploadedCount() > 0) strategy_->UploadComplete();
    return hr;
}
COM_CATCH_RETURN(log_, "Upload")

STDMETHODIMP CIEImageUploader::Cancel()
try {
    OnCancel(true);
    return S_OK;
}
COM_CATCH_RETURN(log_, "Cancel")

STDMETHODIMP CIEImageUploader::get_destination(IUnknown** value)
{
    if (!value) return E_POINTER;
    return destination_.CopyTo(value);
}

STDMETHODIMP CIEImageUploader::put_destination(IUnknown* value)
{
    destination_ = value;
    return S_OK;
}

STDMETHODIMP CIEImageUploader::get_progress(IDispatch** value)
{
    if (!value) return E_POINTER;
    return progressScript_.CopyTo(value);
}

STDMETHODIMP CIEImageUploader::put_progress(IDispatch* value)
try {
    DeleteProgress();
    progressScript_ = value;
    // Script progress when the document has a window whose script can be called.
    Microsoft::WRL::ComPtr<IDispatch> windowScript;
    Microsoft::WRL::ComPtr<IHTMLDocument2> document;
    if (value && SUCCEEDED(value->QueryInterface(IID_PPV_ARGS(&document)))) {
        Microsoft::WRL::ComPtr<IHTMLWindow2> window;
        if (SUCCEEDED(document->get_parentWindow(&window)) && window) window.As(&windowScript);
    }
    progress_.reset(windowScript ? CreateScriptProgress(this, windowScript.Get()) : CreateDialogProgress(this));
    return S_OK;
}
COM_CATCH_RETURN(log_, "progress")

STDMETHODIMP CIEImageUploader::get_toolbar(IStockBar** value)
{
    if (!value) return E_POINTER;
    return toolbar_.CopyTo(value);
}

STDMETHODIMP CIEImageUploader::put_toolbar(IStockBar* value)
{
    toolbar_ = value;
    return S_OK;
}

STDMETHODIMP CIEImageUploader::put_CallerHWND(OLE_HANDLE value)
try {
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
    if (window && !IsWindow(window)) return E_INVALIDARG;
    if (window == callerWindow_) return S_OK;
    try {
        if (callerWindow_) KeepBrowserWindow(callerWindow_, false);
    } catch (...) {
        log_.Format("EXCEPTION on release HWND %s", LogAddress(this).c_str());
    }
    callerWindow_ = window;
    if (callerWindow_) KeepBrowserWindow(callerWindow_, true);
    return S_OK;
}
COM_CATCH_RETURN(log_, "CallerHWND")

STDMETHODIMP CIEImageUploader::get_caller(IDispatch** value)
{
    if (!value) return E_POINTER;
    return caller_.CopyTo(value);
}

STDMETHODIMP CIEImageUploader::put_caller(IDispatch* value)
{
    caller_ = value;
    return S_OK;
}

STDMETHODIMP CIEImageUploader::put_strategy(LONG_PTR value)
try {
    try {
        strategy_.reset();
    } catch (...) {
        log_.Format("EXCEPTION on delete strategy %s", LogAddress(this).c_str());
    }
    strategy_.reset(reinterpret_cast<CUploadStrategy*>(value));
    return S_OK;
}
COM_CATCH_RETURN(log_, "strategy")

STDMETHODIMP CIEImageUploader::put_target(LONG_PTR value)
try {
    try {
        extraTarget_.reset();
    } catch (...) {
        log_.Format("EXCEPTION on delete image target %s", LogAddress(this).c_str());
    }
    extraTarget_.reset(reinterpret_cast<ImageTarget*>(value));
    return S_OK;
}
COM_CATCH_RETURN(log_, "target")

// --- ImageUploader ----------------------------------------------------------------

HRESULT CIEImageUploader::Upload(const wchar_t* url, CMultipartFormData& request)
{
    if (canceled_) return E_FAIL;
    if (!MayStartRequest(state_)) {
        // The request under way keeps its state and its completions.
        LogError("Invalid state " + std::to_string(static_cast<int>(state_)));
        return E_FAIL;
    }
    try {
        Initialize();
        if (!SplitUploadUrl(url, address_)) throw StepError("Invalid URL" + Narrow(url ? url : L""));
        // The announced total is a 32-bit count: a larger body cannot be sent.
        if (request.BodySize() > kMaxBodySize)
            throw StepError("Request body too large: " + std::to_string(request.BodySize()) + " bytes");
        headers_ = request.HeaderBlock();
        body_ = std::move(request);
        bodySize_ = body_.BodySize();
        bytesSent_ = 0;
        Connect();
        return S_OK;
    } catch (const StepError& error) {
        LogError(error.what());
    } catch (...) {
        log_.Write("Exception on upload");
    }
    state_ = UploaderState::Failed;
    return E_FAIL;
}

void CIEImageUploader::OnCancel(bool force)
{
    try {
        log_.Write("OnCancel");
        const int answer = strategy_ ? strategy_->QueryCancel(force) : 0;
        if (answer != 1 || force) {
            log_.Write("Canceling upload");
            canceled_ = true;
            if (progress_) progress_->Show(false);
        }
    } catch (...) {
        log_.Format("EXCEPTION on CancelUpload %s", LogAddress(this).c_str());
    }
}

void CIEImageUploader::Finish() { PostFinish(); }

void CIEImageUploader::PostFinish() const { PostThreadMessageW(GetCurrentThreadId(), UM_FINISH_UPLOAD, 0, 0); }

// --- steps -------------------------------------------------------------------------

template <typename Step>
void CIEImageUploader::RunStep(Step step)
{
    try {
        step();
        return;
    } catch (const StepError& error) {
        LogError(error.what());
    } catch (...) {
        log_.Write("Exception on upload");
    }
    state_ = UploaderState::Failed;
    Post(UM_UPLOAD_ERROR);
}

void CIEImageUploader::LogError(const std::string& text) const
{
    if (!log_.Enabled()) return;
    const std::wstring info = LastResponseInfo();
    log_.Write(text.c_str(), info.c_str());
}

void CIEImageUploader::Post(UINT message) const { PostMessageW(window_, message, 0, 0); }

void CIEImageUploader::Initialize()
{
    log_.Write("Initializing...");
    state_ = UploaderState::Initializing;
    // Handles a failed earlier request may have left behind go first.
    CloseHandles();
    ZeroMemory(&sendBuffers_, sizeof(sendBuffers_));
    ZeroMemory(&readBuffers_, sizeof(readBuffers_));
    ZeroMemory(readBuffer_, sizeof(readBuffer_));
    response_.clear();
    bytesWritten_ = 0;

    if (!root_.Open(VersionStrings::UserAgent().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                    INTERNET_FLAG_ASYNC))
        Fail("Cannot open internet connection: %i", static_cast<int>(GetLastError()));
    if (InternetSetStatusCallbackW(root_, &CIEImageUploader::StatusCallback) == INTERNET_INVALID_STATUS_CALLBACK)
        Fail("Cannot set callback");

    DWORD timeout = 0;
    DWORD length = sizeof(timeout);
    if (root_.QueryOption(INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, &length))
        log_.Format("RECEIVE TIMEOUT: %i ms", static_cast<int>(timeout));
    length = sizeof(timeout);
    if (root_.QueryOption(INTERNET_OPTION_SEND_TIMEOUT, &timeout, &length))
        log_.Format("SEND TIMEOUT: %i ms", static_cast<int>(timeout));

    // Without the window no step could ever run: the request fails here
    // instead of waiting for messages that have nowhere to go.
    if (!window_) window_ = CreateHiddenWindow();
    if (!window_) Fail("Cannot create reflection window");
}

HWND CIEImageUploader::CreateHiddenWindow()
{
    return CreateWindowExW(0, HiddenWindowClass(&CIEImageUploader::WindowProc), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ThisModule(), this);
}

void CIEImageUploader::Connect()
{
    log_.Write("Connecting...");
    state_ = UploaderState::Connecting;
    const bool done = connection_.Connect(root_, address_.host.c_str(), address_.port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, Context());
    const DWORD error = GetLastError();
    if (done) {
        log_.Write("Connected sync.");
        OnConnected();
    } else if (error == ERROR_IO_PENDING) {
        state_ = UploaderState::ConnectingAsync;
        log_.Write("Connecting async...");
    } else {
        Fail("InternetConnect failed, error: %i", static_cast<int>(error));
    }
}

void CIEImageUploader::OnConnected()
{
    log_.Write("Connected.");
    state_ = UploaderState::Connected;
    Post(canceled_ ? UM_RESPONSE_DONE : UM_OPEN_REQUEST);
}

void CIEImageUploader::OpenRequest()
{
    log_.Write("Opening Request...");
    state_ = UploaderState::OpeningRequest;
    // Only the path is the object name; query and fragment are not sent.
    const bool done = request_.Open(connection_, L"POST", address_.path.c_str(), nullptr, nullptr, nullptr,
                                    kRequestFlags, Context());
    const DWORD error = GetLastError();
    if (done) {
        log_.Write("Request Opened sync.");
        OnRequestOpened();
    } else if (error == ERROR_IO_PENDING) {
        state_ = UploaderState::OpeningRequestAsync;
        log_.Write("Opening Request async...");
    } else {
        Fail("HttpOpenRequest failed, error: %i", static_cast<int>(error));
    }
}

void CIEImageUploader::OnRequestOpened()
{
    log_.Write("Request Opened.");
    state_ = UploaderState::RequestOpened;
    Post(canceled_ ? UM_RESPONSE_DONE : UM_SEND_REQUEST);
}

void CIEImageUploader::SendRequest()
{
    log_.Write("Sending Request...");
    ZeroMemory(&sendBuffers_, sizeof(sendBuffers_));
    sendBuffers_.dwStructSize = sizeof(sendBuffers_);
    sendBuffers_.lpcszHeader = headers_.c_str();
    sendBuffers_.dwHeadersLength = static_cast<DWORD>(headers_.size());
    sendBuffers_.dwBufferTotal = static_cast<DWORD>(bodySize_);
    state_ = UploaderState::SendingRequest;
    const BOOL done = request_.SendRequestEx(&sendBuffers_, nullptr, Context());
    const DWORD error = GetLastError();
    if (done) {
        log_.Write("Request sent sync.");
        OnRequestSent();
    } else if (error == ERROR_IO_PENDING) {
        state_ = UploaderState::SendingRequestAsync;
        log_.Write("Sending Request async...");
    } else {
        Fail("HttpSendRequestEx failed, error: %i", static_cast<int>(error));
    }
}

void CIEImageUploader::OnRequestSent()
{
    log_.Write("Request sent.");
    state_ = UploaderState::RequestSent;
    // A canceled request whose headers are out is ended and its answer read.
    Post(canceled_ ? UM_SEND_END : UM_SEND_DATA);
}

BOOL CIEImageUploader::WriteChunk(const void* data, DWORD size, DWORD* written)
{
    return request_.Write(data, size, written);
}

void CIEImageUploader::SendData()
{
    log_.Write("Sending data...");
    if (progress_) {
        const BodyProgress report = ComputeBodyProgress(bodySize_, bytesSent_);
        progress_->SetProgress(report.position, report.range);
        progress_->SetTransferred(bytesSent_ < bodySize_ ? bytesSent_ : bodySize_, bodySize_);
    }
    state_ = UploaderState::SendingData;
    if (bytesSent_ >= bodySize_) {
        log_.Write("All data sent...");
        state_ = UploaderState::AllDataSent;
        Post(UM_SEND_END);
        return;
    }
    const DWORD chunk = static_cast<DWORD>(std::min<ULONGLONG>(kChunkSize, bodySize_ - bytesSent_));
    DWORD copied = 0;
    if (!body_.ReadBody(bytesSent_, chunk_, chunk, copied) || copied != chunk)
        Fail("Cannot read request body at byte %u", static_cast<unsigned>(bytesSent_));
    bytesWritten_ = 0;
    const BOOL done = WriteChunk(chunk_, chunk, &bytesWritten_);
    const DWORD error = GetLastError();
    if (done) {
        log_.Write("Data Sent sync.");
        // A write that took nothing (or claims more than it got) would never end.
        if (bytesWritten_ == 0 || bytesWritten_ > chunk)
            Fail("InternetWriteFile wrote %u of %u bytes", static_cast<unsigned>(bytesWritten_),
                 static_cast<unsigned>(chunk));
        bytesSent_ += bytesWritten_;
        state_ = UploaderState::ChunkSent;
        Post(canceled_ ? UM_SEND_END : UM_SEND_DATA);
    } else if (error == ERROR_IO_PENDING) {
        state_ = UploaderState::SendingDataAsync;
        log_.Write("Sending data async...");
        bytesSent_ += chunk;
    } else {
        Fail("InternetWriteFile failed, error: %i", static_cast<int>(error));
    }
}

void CIEImageUploader::SendEnd()
{
    log_.Write("Sending END...");
    state_ = UploaderState::SendingEnd;
    const BOOL done = request_.EndRequest(Context());
    const DWORD error = GetLastError();
    if (done) {
        log_.Write("END sent sync.");
        OnEndSent();
    } else if (error == ERROR_IO_PENDING) {
        state_ = UploaderState::SendingEndAsync;
        log_.Write("Sending END async...");
    } else {
        Fail("HttpEndRequest failed, error: %i", static_cast<int>(error));
    }
}

void CIEImageUploader::OnEndSent()
{
    state_ = UploaderState::EndSent;
    Post(UM_READ_RESPONSE);
}

BOOL CIEImageUploader::ReadPiece(INTERNET_BUFFERSA* buffers, DWORD flags)
{
    return request_.ReadEx(buffers, flags, Context());
}

void CIEImageUploader::ReadResponse()
{
    log_.Write("Reading response...");
    ZeroMemory(&readBuffers_, sizeof(readBuffers_));
    ZeroMemory(readBuffer_, sizeof(readBuffer_));
    readBuffers_.dwStructSize = sizeof(readBuffers_);
    readBuffers_.lpvBuffer = readBuffer_;
    readBuffers_.dwBufferLength = kReadPiece;
    state_ = UploaderState::ReadingResponse;
    const BOOL done = ReadPiece(&readBuffers_, IRF_NO_WAIT);
    const DWORD error = GetLastError();
    if (done) {
        log_.Write("Response read sync.");
        const DWORD read = readBuffers_.dwBufferLength;
        if (read == 0) {
            log_.Write("Response was read");
            Post(UM_RESPONSE_DONE);
            return;
        }
        if (read > kReadPiece) Fail("InternetReadFile returned %u bytes", static_cast<unsigned>(read));
        if (response_.size() + read > kMaxResponseSize)
            Fail("Response too large: more than %u bytes", static_cast<unsigned>(kMaxResponseSize));
        readBuffer_[read] = '\0';
        response_.append(readBuffer_, read);
        Post(UM_READ_RESPONSE);
    } else if (error == ERROR_IO_PENDING) {
        state_ = UploaderState::ReadingResponseAsync;
        log_.Write("Reading response async...");
    } else {
        Fail("InternetReadFile failed, error: %i", static_cast<int>(error));
    }
}

void CIEImageUploader::Dispatch(DWORD status, LPARAM value)
{
    try {
        if (status == INTERNET_STATUS_HANDLE_CREATED) {
            log_.Format("Dispatch: HANDLE_CREATED, State: %i", static_cast<int>(state_));
            HINTERNET handle = reinterpret_cast<HINTERNET>(value);
            if (state_ == UploaderState::ConnectingAsync) {
                if (!connection_.IsValid()) connection_.Attach(handle);
                RunStep([this] { OnConnected(); });
            } else if (state_ == UploaderState::OpeningRequestAsync) {
                // The open step itself completes with REQUEST_COMPLETE.
                if (!request_.IsValid()) request_.Attach(handle);
            }
            return;
        }
        if (status != INTERNET_STATUS_REQUEST_COMPLETE) return;
        log_.Format("Dispatch: REQUEST_COMPLETE, State: %i", static_cast<int>(state_));
        // With no request in flight a completion (even a failed one, such as
        // the last word of a handle closed after its answer) reports nothing.
        const bool inFlight = !MayStartRequest(state_);
        if (value != 0 && inFlight) {
            log_.Format("Dispatch: Upload error: %i", static_cast<int>(value));
            Post(UM_UPLOAD_ERROR);
            return;
        }
        switch (state_) {
        case UploaderState::OpeningRequestAsync:
            RunStep([this] { OnRequestOpened(); });
            break;
        case UploaderState::SendingRequestAsync:
            RunStep([this] { OnRequestSent(); });
            break;
        case UploaderState::SendingDataAsync:
            state_ = UploaderState::ChunkSent;
            Post(canceled_ ? UM_SEND_END : UM_SEND_DATA);
            break;
        case UploaderState::SendingEndAsync:
            RunStep([this] { OnEndSent(); });
            break;
        case UploaderState::ReadingResponseAsync:
            // The read is issued again and picks up the data now available.
            Post(UM_READ_RESPONSE);
            break;
        default:
            log_.Format("Dispatch: ALERT! REQUEST_COMPLETE for State: %i", static_cast<int>(state_));
            break;
        }
    } catch (...) {
        log_.Write("Exception in Dispatcher");
    }
}

void CIEImageUploader::Complete()
{
    try {
        log_.Write("Response:", response_.c_str());
        if (state_ == UploaderState::Completed) return;
        state_ = UploaderState::Completed;
        CloseHandles();
        ReleaseBody();
        if (canceled_) {
            log_.Write("Upload was canceled");
            if (progress_) progress_->Show(false);
            PostFinish();
            return;
        }
        Bstr text(Widen(response_, CP_THREAD_ACP).c_str());
        if (strategy_) strategy_->DocumentComplete(text.Text());
    } catch (...) {
        log_.Format("EXCEPTION on DocumentComplete %s", LogAddress(this).c_str());
    }
}

void CIEImageUploader::OnError()
{
    try {
        state_ = UploaderState::Failed;
        CloseHandles();
        ReleaseBody();
        // The strategy decides whether to go on (a retry, the next item).
        if (!canceled_ && strategy_ && strategy_->UploadError() == 0) return;
        log_.Write("Upload stopped");
        if (progress_) progress_->Show(false);
        PostFinish();
    } catch (...) {
        log_.Write("Exception in OnError()");
    }
}

void CIEImageUploader::ReleaseBody()
{
    // A retry builds a new request, so the files of this one are closed now:
    // the strategy may delete its copies, and the user's files are not held
    // open while a question waits for an answer.
    body_ = CMultipartFormData(std::string());
    bodySize_ = 0;
    bytesSent_ = 0;
}

void CIEImageUploader::CloseHandles()
{
    request_.Close();
    connection_.Close();
    if (root_.IsValid()) {
        InternetSetStatusCallbackW(root_, nullptr);
        root_.Close();
    }
}

// --- window and callback -------------------------------------------------------------

bool CIEImageUploader::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case UM_INET_STATUS:
        Dispatch(static_cast<DWORD>(wParam), lParam);
        return true;
    case UM_OPEN_REQUEST:
        RunStep([this] { OpenRequest(); });
        return true;
    case UM_SEND_REQUEST:
        RunStep([this] { SendRequest(); });
        return true;
    case UM_SEND_DATA:
        RunStep([this] { SendData(); });
        return true;
    case UM_SEND_END:
        RunStep([this] { SendEnd(); });
        return true;
    case UM_READ_RESPONSE:
        RunStep([this] { ReadResponse(); });
        return true;
    case UM_RESPONSE_DONE:
        Complete();
        return true;
    case UM_UPLOAD_ERROR:
        OnError();
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK CIEImageUploader::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        CIEImageUploader* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<CIEImageUploader*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<CIEImageUploader*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self && self->HandleMessage(message, wParam, lParam)) return 0;
    } catch (...) {
        SharedLog().Write("Exception in WindowProc");
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void CALLBACK CIEImageUploader::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                               DWORD infoLength)
{
    if (context == 0) return;
    try {
        HWND window = reinterpret_cast<HWND>(context);
        const LogWriter& log = SharedLog();
        // The count and result words are read only when the library gave them in full.
        const DWORD* count = info && infoLength >= sizeof(DWORD) ? static_cast<const DWORD*>(info) : nullptr;
        const INTERNET_ASYNC_RESULT* result =
            info && infoLength >= sizeof(INTERNET_ASYNC_RESULT) ? static_cast<const INTERNET_ASYNC_RESULT*>(info)
                                                                : nullptr;
        switch (status) {
        case INTERNET_STATUS_RESOLVING_NAME: log.Write("RESOLVING_NAME"); break;
        case INTERNET_STATUS_NAME_RESOLVED: log.Write("NAME_RESOLVED"); break;
        case INTERNET_STATUS_CONNECTING_TO_SERVER: log.Write("CONNECTING_TO_SERVER"); break;
        case INTERNET_STATUS_CONNECTED_TO_SERVER: log.Write("CONNECTED_TO_SERVER"); break;
        case INTERNET_STATUS_SENDING_REQUEST: log.Write("SENDING_REQUEST"); break;
        case INTERNET_STATUS_REQUEST_SENT:
            log.Format("REQUEST_SENT %i bytes", count ? static_cast<int>(*count) : 0);
            break;
        case INTERNET_STATUS_RECEIVING_RESPONSE: log.Write("RECEIVING_RESPONSE"); break;
        case INTERNET_STATUS_RESPONSE_RECEIVED:
            log.Format("RESPONSE_RECEIVED %i bytes", count ? static_cast<int>(*count) : 0);
            break;
        case INTERNET_STATUS_CLOSING_CONNECTION: log.Write("CLOSING_CONNECTION"); break;
        case INTERNET_STATUS_CONNECTION_CLOSED: log.Write("CONNECTION_CLOSED"); break;
        case INTERNET_STATUS_HANDLE_CREATED: {
            const DWORD_PTR handle = result ? result->dwResult : 0;
            log.Format("HANDLE_CREATED: 0x%X", static_cast<unsigned>(handle));
            PostMessageW(window, UM_INET_STATUS, INTERNET_STATUS_HANDLE_CREATED, static_cast<LPARAM>(handle));
            break;
        }
        case INTERNET_STATUS_HANDLE_CLOSING: log.Write("HANDLE_CLOSING"); break;
        case INTERNET_STATUS_REQUEST_COMPLETE: {
            // A completion without its result record counts as failed.
            const DWORD error = result ? result->dwError : ERROR_INTERNET_INTERNAL_ERROR;
            log.Format("REQUEST_COMPLETE: error %i", static_cast<int>(error));
            PostMessageW(window, UM_INET_STATUS, INTERNET_STATUS_REQUEST_COMPLETE, static_cast<LPARAM>(error));
            break;
        }
        case INTERNET_STATUS_REDIRECT: log.Write("REDIRECT"); break;
        case INTERNET_STATUS_INTERMEDIATE_RESPONSE: log.Write("INTERMEDIATE_RESPONSE"); break;
        case INTERNET_STATUS_STATE_CHANGE: log.Write("STATE_CHANGE"); break;
        case INTERNET_STATUS_COOKIE_SENT: log.Write("COOKIE_SENT"); break;
        case INTERNET_STATUS_COOKIE_RECEIVED: log.Write("COOKIE_RECEIVED"); break;
        case INTERNET_STATUS_PRIVACY_IMPACTED: log.Write("PRIVACY_IMPACTED"); break;
        case INTERNET_STATUS_COOKIE_HISTORY: log.Write("COOKIE_HISTORY"); break;
        default: log.Format("INTERNET STATUS: %i", static_cast<int>(status)); break;
        }
    } catch (...) {
        SharedLog().Write("Exception in StatusCallback");
    }
}
