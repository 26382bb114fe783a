// The front door of every upload: the scriptable uploader object. Native
// callers and the service's own pages set where results go and who asks,
// then either call an entry point of IInnerFileUploader, which picks the
// upload strategy, or a script method, which opens a file dialog or takes a
// screenshot first. The prepared strategy and marshalled copies of the
// object's interfaces go to a new upload thread; the caller never waits for
// the network.
//
// The object is marked safe for untrusted script, so every property, script
// method and upload entry point first asks its PageOrigin whether the caller
// may drive it: native code and the service's own pages may, other pages and
// script-made objects that lost their page get E_ACCESSDENIED. A screenshot
// asked for by a page also needs the user's yes.
#pragma once

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "VellumpostToolbar_h.h"
#include "common/Bstr.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"
#include "engine/FileUploaderDialogs.h"
#include "engine/PageOrigin.h"

class CUploadStrategy;

// The SDK header declares the interface without its __uuidof binding.
#ifndef VP_IOBJECTSAFETY_UUID
#define VP_IOBJECTSAFETY_UUID
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64)
#endif

class CFileUploader : public ComObject<CFileUploader, TypeLibDispatch<IFileUploader>, IInnerFileUploader,
                                       IObjectSafety, IObjectWithSite> {
public:
    CFileUploader();

    // Replaces the windows every uploader object opens (all at once); a member
    // left empty keeps the product's own.
    static void SetDialogs(const FileUploaderDialogs& dialogs) { InstallFileUploaderDialogs(dialogs); }
    // The windows installed now (the toolbar opens the same ones).
    static FileUploaderDialogs Dialogs() { return InstalledFileUploaderDialogs(); }

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
    std::wstring SiteUrl() const { return origin_.PageUrl(); }

private:
    ~CFileUploader() override;

    enum class StrategyKind { Files, Transload, Blog, Slideshow, Queue };
    static std::unique_ptr<CUploadStrategy> CreateStrategy(StrategyKind kind);

    // S_OK when the caller may drive this object (see PageOrigin::Check).
    HRESULT CheckCaller(const char* operation, std::wstring* pageHost = nullptr) const
    {
        return origin_.Check(operation, log_, pageHost);
    }
    // Makes a strategy of kind pending (E_FAIL while another one is) and runs
    // prepare with it. Whatever does not hand it over to an upload thread (a
    // failure, nothing to send, an exception) drops it, so one bad call never
    // blocks the next.
    template <typename Prepare>
    HRESULT WithPending(StrategyKind kind, const char* name, Prepare prepare);
    HRESULT UploadWith(StrategyKind kind, const char* name, const VARIANT& items, const VARIANT& optsize,
                       const VARIANT& publicFlags, const VARIANT& tags, const VARIANT& removeSizeBar);
    HRESULT Start(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags, const VARIANT& tags);
    // Sets statistics and cookie, initializes, and hands the strategy over.
    HRESULT InitializeAndHandOver(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags,
                                  const VARIANT& tags, bool releaseDestination, bool restartTarget);
    UploadOptions ReadUploadOptions() const;
    HRESULT EnsureDestination();

    std::unique_ptr<CUploadStrategy> pending_;
    HWND callerWindow_ = nullptr;
    Microsoft::WRL::ComPtr<IDispatch> caller_;
    Microsoft::WRL::ComPtr<IUnknown> destination_;
    Microsoft::WRL::ComPtr<IDispatch> progress_;
    Microsoft::WRL::ComPtr<IStockBar> toolbar_;
    int action_ = 0;
    Bstr cookie_;
    PageOrigin origin_;
    DWORD safety_ = 0;
    LogWriter log_;
};
