// The asynchronous HTTP uploader: sends one prepared request at a time to the
// service over asynchronous WinINet, one step per message posted to a hidden
// window of its own thread, and hands the answer to the upload's strategy.
// While an upload runs it owns the strategy, the result targets and the display.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "VellumpostToolbar_h.h"
#include "common/ComObject.h"
#include "common/InternetHandles.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"
#include "engine/ImageUploader.h"
#include "engine/MultipartFormData.h"

class CUploadStrategy;
class ImageTarget;
class IProgress;

// Private messages of the uploader's hidden window; UM_FINISH_UPLOAD is a
// thread message that lets the upload thread leave its loop.
enum UploaderMessage : UINT {
    UM_INET_STATUS = 1579,
    UM_OPEN_REQUEST = 1802,
    UM_SEND_REQUEST = 1803,
    UM_SEND_DATA = 1804,
    UM_SEND_END = 1805,
    UM_READ_RESPONSE = 1807,
    UM_RESPONSE_DONE = 1809,
    UM_UPLOAD_ERROR = 1810,
    UM_FINISH_UPLOAD = 1912,
};

// The steps of one request; the numbers appear in the log.
enum class UploaderState : int {
    Idle = 0,
    Initializing = 1,
    Connecting = 2,
    ConnectingAsync = 3,
    Connected = 4,
    OpeningRequest = 5,
    OpeningRequestAsync = 6,
    RequestOpened = 7,
    SendingRequest = 8,
    SendingRequestAsync = 9,
    RequestSent = 10,
    SendingData = 11,
    SendingDataAsync = 12,
    ChunkSent = 13,
    AllDataSent = 14,
    SendingEnd = 15,
    SendingEndAsync = 16,
    EndSent = 17,
    ReadingResponse = 18,
    ReadingResponseAsync = 19,
    Completed = 20,
    Failed = 21,
};

// A new request may start only when none is in flight.
inline bool MayStartRequest(UploaderState state)
{
    return state == UploaderState::Idle || state == UploaderState::Completed || state == UploaderState::Failed;
}

// Progress of the body as reported to the display: the range is the body size
// plus 15 percent, and the position starts 5 percent of the range in. Bodies
// too large for 32-bit positions are reported on a proportionally smaller scale.
struct BodyProgress {
    int position;
    int range;
};
BodyProgress ComputeBodyProgress(ULONGLONG bodySize, ULONGLONG bytesSent);

// The parts of an upload address; false when the URL cannot be split or a part
// is longer than its field.
struct UploadAddress {
    std::wstring scheme, host, user, password, path, extra;
    INTERNET_PORT port = 0;
};
bool SplitUploadUrl(const wchar_t* url, UploadAddress& address);

// Holds (hold == true) or lets go of one reference on a browser window that an
// upload reports to, so that closing the window only hides it until the upload
// ends (through the browser window keeper).
void KeepBrowserWindow(HWND window, bool hold);

class CIEImageUploader : public ComObject<CIEImageUploader, TypeLibDispatch<IIEImageUploader>>,
                         public ImageUploader {
public:
    // The largest body a request can announce (the total is a 32-bit count).
    static constexpr ULONGLONG kMaxBodySize = 0xFFFFFFFFull;
    // Body bytes handed to the library per write.
    static constexpr DWORD kChunkSize = 1024;
    // Answers of the service are small documents; a longer answer is an error.
    static constexpr size_t kMaxResponseSize = 1024 * 1024;

    CIEImageUploader();

    // IIEImageUploader
    STDMETHODIMP Upload() override;
    STDMETHODIMP Cancel() override;
    STDMETHODIMP get_destination(IUnknown** value) override;
    STDMETHODIMP put_destination(IUnknown* value) override;
    STDMETHODIMP get_progress(IDispatch** value) override;
    STDMETHODIMP put_progress(IDispatch* value) override;
    STDMETHODIMP get_toolbar(IStockBar** value) override;
    STDMETHODIMP put_toolbar(IStockBar* value) override;
    STDMETHODIMP put_CallerHWND(OLE_HANDLE value) override;
    STDMETHODIMP get_caller(IDispatch** value) override;
    STDMETHODIMP put_caller(IDispatch* value) override;
    STDMETHODIMP put_strategy(LONG_PTR value) override;
    STDMETHODIMP put_target(LONG_PTR value) override;

    // ImageUploader: the request is taken over (moved), not copied.
    HRESULT Upload(const wchar_t* url, CMultipartFormData& request) override;
    void OnCancel(bool force) override;
    void Finish() override;
    bool IsCanceled() override { return canceled_; }
    bool GetFlag() override { return flag_; }
    IProgress* GetProgress() override { return progress_.get(); }
    IDispatch* GetDispatch() override;

    UploaderState State() const { return state_; }
    HWND Window() const { return window_; }
    HWND CallerWindow() const { return callerWindow_; }
    // Replaces the progress display and takes ownership of it.
    void SetProgressDisplay(IProgress* progress);

protected:
    ~CIEImageUploader() override;

    // Hands one chunk of the body to the library (InternetWriteFile).
    virtual BOOL WriteChunk(const void* data, DWORD size, DWORD* written);
    // Reads the next piece of the answer (InternetReadFileExA).
    virtual BOOL ReadPiece(INTERNET_BUFFERSA* buffers, DWORD flags);
    // Creates the hidden window of the steps; null when it cannot be created.
    virtual HWND CreateHiddenWindow();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD infoLength);
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Runs one step; an error ends the request through UM_UPLOAD_ERROR.
    template <typename Step>
    void RunStep(Step step);
    void LogError(const std::string& text) const;
    void Post(UINT message) const;
    void PostFinish() const;
    DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(window_); }

    void Initialize();
    void Connect();
    void OnConnected();
    void OpenRequest();
    void OnRequestOpened();
    void SendRequest();
    void OnRequestSent();
    void SendData();
    void SendEnd();
    void OnEndSent();
    void ReadResponse();
    void Dispatch(DWORD status, LPARAM value);
    void Complete();
    void OnError();
    void CloseHandles();
    // Drops the finished request's body and the files it holds open.
    void ReleaseBody();
    void DeleteProgress();
    // Deletes what the uploader owns (display, strategy, extra target) and lets
    // go of the caller window; every failure is logged, none escapes.
    void ReleaseOwned();
    void ReplaceProgress(IProgress* progress);

    LogWriter log_;
    HWND window_ = nullptr;
    std::unique_ptr<CUploadStrategy> strategy_;
    bool flag_ = false;
    HWND callerWindow_ = nullptr;
    Microsoft::WRL::ComPtr<IDispatch> caller_;
    Microsoft::WRL::ComPtr<IUnknown> destination_;
    Microsoft::WRL::ComPtr<IDispatch> progressScript_;
    Microsoft::WRL::ComPtr<IStockBar> toolbar_;
    std::unique_ptr<ImageTarget> extraTarget_;
    bool canceled_ = false;
    std::unique_ptr<IProgress> progress_;
    Internet root_;
    InternetConnection connection_;
    InternetHttpRequest request_;
    UploadAddress address_;
    std::wstring headers_;
    CMultipartFormData body_;
    ULONGLONG bodySize_ = 0;
    ULONGLONG bytesSent_ = 0;
    std::string response_;
    DWORD bytesWritten_ = 0;
    INTERNET_BUFFERSW sendBuffers_;
    BYTE chunk_[kChunkSize];
    char readBuffer_[1024];
    INTERNET_BUFFERSA readBuffers_;
    UploaderState state_ = UploaderState::Idle;
};
