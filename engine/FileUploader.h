// The front door of every upload: the scriptable uploader object. Native
// callers and the service's own pages set where results go and who asks,
// then either call an entry point of IInnerFileUploader, which picks the
// upload strategy, or a script method, which opens a file dialog or takes a
// screenshot first. The prepared strategy and marshalled copies of the
// object's interfaces go to a new upload thread; the caller never waits for
// the network.
//
// The object is marked safe for untrusted script, so whenever it has a site
// (a page created it) every script method and upload entry point first checks
// that the page belongs to the service; other pages get E_ACCESSDENIED.
#pragma once

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "VellumpostToolbar_h.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"

class CUploadStrategy;

// The SDK header declares the interface without its __uuidof binding.
#ifndef VP_IOBJECTSAFETY_UUID
#define VP_IOBJECTSAFETY_UUID
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64)
#endif

// The upload options the script methods start from: the toolbar's when there
// is one, else the settings.
struct UploadOptions {
    bool resize = false;
    std::wstring format;  // size text of the toolbar, empty from the settings
    bool isPublic = true;
    bool removeSizeBar = true;
    int sizeIndex = 2;  // index into the picture sizes (ResizeTo - first id)
};

// What the upload file dialog is opened with and what it gives back.
struct UploadDialogRequest {
    HWND owner = nullptr;
    UploadOptions options;
    // Filter string id: pictures only, videos only, or all kinds (0).
    UINT filterId = 0;
    bool multiSelect = true;
};
struct UploadDialogChoice {
    std::vector<std::wstring> files;
    std::wstring sizeText;  // empty: no resizing
    bool isPublic = true;
    bool removeSizeBar = true;
    std::wstring tags;
    bool individualTags = false;
};

// The per-file tags of the tags dialog.
struct TagsDialogChoice {
    std::vector<std::wstring> tags;  // one per file
    std::vector<bool> publicFlags;   // one per file
};

// The slideshow file dialog's request and answer.
struct SlideshowDialogRequest {
    HWND owner = nullptr;
    UploadOptions options;
    int sizeIndex = 1;  // index into the slideshow sizes
};
struct SlideshowDialogChoice {
    std::vector<std::wstring> files;
    std::wstring sizeText;
    bool isPublic = true;
    std::wstring effect;      // "trans0".."trans3"
    std::wstring background;  // "#RRGGBB"
};

// The windows the script methods open. Each is one replaceable function, so
// tests can answer for the user and a dialog can be plugged in where it
// lives. Results: S_OK confirmed, S_FALSE canceled, a failure otherwise.
struct FileUploaderDialogs {
    std::function<HRESULT(const UploadDialogRequest&, UploadDialogChoice&)> uploadFiles;
    // Per-file tags for files, starting from tags and isPublic.
    std::function<HRESULT(HWND owner, const std::vector<std::wstring>& files, const std::wstring& tags,
                          bool isPublic, TagsDialogChoice&)>
        tags;
    std::function<HRESULT(const SlideshowDialogRequest&, SlideshowDialogChoice&)> slideshowFiles;
    // Lets the user put the slides in order (files is changed in place).
    std::function<HRESULT(HWND owner, std::vector<std::wstring>& files)> slideOrder;
    // Tells the user that some files will not go; true: go on with the rest.
    std::function<bool(HWND owner, const std::vector<std::wstring>& unsupported)> unsupportedFiles;
    // A new browser window for the results when the caller gave no destination.
    std::function<HRESULT(Microsoft::WRL::ComPtr<IUnknown>& window)> resultWindow;

    // The product's own windows.
    static FileUploaderDialogs Defaults();
};

// Whether url is a page of the service: http or https, and a host equal to
// domain or below it ("x.domain"), or equal to forcedServer (a host with an
// optional port, compared with the port; empty: none). Case-insensitive;
// user names, ports and paths cannot make another host pass.
bool IsServicePageUrl(const std::wstring& url, const std::wstring& domain, const std::wstring& forcedServer);

// Captures window (the whole desktop when null) into a picture in the
// temporary folder named after "scr"; the saved file's path goes to saved.
bool CaptureScreenShot(HWND window, std::wstring& saved);

class CFileUploader : public ComObject<CFileUploader, TypeLibDispatch<IFileUploader>, IInnerFileUploader,
                                       IObjectSafety, IObjectWithSite> {
public:
    CFileUploader();

    // Replaces the windows every uploader object opens (all at once); a member
    // left empty keeps the product's own.
    static void SetDialogs(const FileUploaderDialogs& dialogs);
    // The windows installed now (the toolbar opens the same ones).
    static FileUploaderDialogs Dialogs();

    // IFileUploader
    STDMETHODIMP get_destination(IUnknown** value) override;
    STDMETHODIMP put_destination(IUnknown* value) override;
    STDMETHODIMP get_toolbar(IStockBar** value) override;
    STDMETHODIMP put_toolbar(IStockBar* value) override;
    STDMETHODIMP get_progress(IDispatch** value) override;
    STDMETHODIMP put_progress(IDispatch* value) override;
    STDMETHODIMP get_cookie(BSTR* value) override;
    STDMETHODIMP put_cookie(BSTR value) override;
    STDMETHODIMP put_CallerHWND(OLE_HANDLE value) override;
    STDMETHODIMP get_caller(IDispatch** value) override;
    STDMETHODIMP put_caller(IDispatch* value) override;
    STDMETHODIMP put_Action(ActionStatisticsEnum value) override;
    STDMETHODIMP OpenUploadDialog() override;
    STDMETHODIMP OpenSlideShowDialog() override;
    STDMETHODIMP TakeScreenShot() override;

    // IInnerFileUploader
    STDMETHODIMP UploadFiles(VARIANT items, VARIANT optsize, VARIANT publicFlags, VARIANT tags,
                             VARIANT removeSizeBar) override;
    STDMETHODIMP TransloadUrls(VARIANT items, VARIANT optsize, VARIANT publicFlags, VARIANT tags,
                               VARIANT removeSizeBar) override;
    STDMETHODIMP PostToBlog(VARIANT items, VARIANT optsize, VARIANT publicFlags, VARIANT tags,
                            VARIANT removeSizeBar) override;
    STDMETHODIMP CreateSlideshow(VARIANT items, VARIANT optsize, VARIANT publicFlags, VARIANT tags, VARIANT effect,
                                 VARIANT background) override;
    STDMETHODIMP UploadQueue(VARIANT items, VARIANT tags, VARIANT publicFlags, VARIANT optsize,
                             VARIANT removeSizeBar) override;

    // IObjectSafety
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID iid, void** site) override;

    // The statistics code the next upload sends.
    int Action() const { return action_; }
    bool HasPendingStrategy() const { return pending_ != nullptr; }
    // The address of the page that holds this object (empty: no site, or none found).
    std::wstring SiteUrl() const;

private:
    ~CFileUploader() override;

    enum class StrategyKind { Files, Transload, Blog, Slideshow, Queue };
    static CUploadStrategy* CreateStrategy(StrategyKind kind);

    // S_OK for native callers and for the service's pages; E_ACCESSDENIED
    // (logged with the operation) for any other page.
    HRESULT CheckCaller(const char* operation) const;
    HRESULT UploadWith(StrategyKind kind, const char* name, const VARIANT& items, const VARIANT& optsize,
                       const VARIANT& publicFlags, const VARIANT& tags, const VARIANT& removeSizeBar);
    HRESULT Start(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags, const VARIANT& tags);
    // Sets statistics and cookie, initializes, and hands the strategy over.
    HRESULT InitializeAndHandOver(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags,
                                  const VARIANT& tags, bool releaseDestination, bool restartTarget);
    void DropPending();
    UploadOptions ReadUploadOptions() const;
    HRESULT EnsureDestination();

    CUploadStrategy* pending_ = nullptr;
    HWND callerWindow_ = nullptr;
    Microsoft::WRL::ComPtr<IDispatch> caller_;
    Microsoft::WRL::ComPtr<IUnknown> destination_;
    Microsoft::WRL::ComPtr<IDispatch> progress_;
    Microsoft::WRL::ComPtr<IStockBar> toolbar_;
    int action_ = 0;
    BSTR cookie_ = nullptr;
    Microsoft::WRL::ComPtr<IUnknown> site_;
    DWORD safety_ = 0;
    LogWriter log_;
};
