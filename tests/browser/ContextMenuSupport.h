// Doubles for the right-click menu tests: an uploader that records how a
// command prepared and called it, a CF_HDROP data object of chosen paths, and
// a fixture that installs them with dialogs that answer for the user.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"
#include "browser/ContextMenuDialogs.h"
#include "browser/ImageContextMenu.h"
#include "common/ComObject.h"
#include "common/TypeLibDispatch.h"
#include "common/Variant.h"
#include "support/DropFiles.h"

namespace vptest {

class RecordingUploader : public ComObject<RecordingUploader, TypeLibDispatch<IFileUploader>, IInnerFileUploader> {
public:
    std::wstring entry;  // the entry point called
    std::vector<std::wstring> items;
    std::wstring optsize, tags;
    VARTYPE tagsType = VT_EMPTY;
    bool isPublic = false, removeSizeBar = false;
    std::wstring effect;
    int action = -1;
    OLE_HANDLE callerWindow = 0;
    Microsoft::WRL::ComPtr<IDispatch> caller;
    Microsoft::WRL::ComPtr<IUnknown> destination;
    Microsoft::WRL::ComPtr<IStockBar> toolbar;

    STDMETHODIMP get_destination(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP put_destination(IUnknown* value) override { return Keep(destination, value); }
    STDMETHODIMP get_toolbar(IStockBar**) override { return E_NOTIMPL; }
    STDMETHODIMP put_toolbar(IStockBar* value) override { return Keep(toolbar, value); }
    STDMETHODIMP get_progress(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP put_progress(IDispatch*) override { return E_NOTIMPL; }
    STDMETHODIMP get_cookie(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_cookie(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_CallerHWND(OLE_HANDLE value) override
    {
        callerWindow = value;
        return S_OK;
    }
    STDMETHODIMP get_caller(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP put_caller(IDispatch* value) override { return Keep(caller, value); }
    STDMETHODIMP put_Action(ActionStatisticsEnum value) override
    {
        action = value;
        return S_OK;
    }
    STDMETHODIMP OpenUploadDialog() override { return E_NOTIMPL; }
    STDMETHODIMP OpenSlideShowDialog() override { return E_NOTIMPL; }
    STDMETHODIMP TakeScreenShot() override { return E_NOTIMPL; }

    STDMETHODIMP UploadFiles(VARIANT i, VARIANT o, VARIANT p, VARIANT t, VARIANT r) override
    {
        return Record(L"UploadFiles", i, o, p, t, r);
    }
    STDMETHODIMP TransloadUrls(VARIANT i, VARIANT o, VARIANT p, VARIANT t, VARIANT r) override
    {
        return Record(L"TransloadUrls", i, o, p, t, r);
    }
    STDMETHODIMP PostToBlog(VARIANT i, VARIANT o, VARIANT p, VARIANT t, VARIANT r) override
    {
        return Record(L"PostToBlog", i, o, p, t, r);
    }
    STDMETHODIMP CreateSlideshow(VARIANT i, VARIANT o, VARIANT p, VARIANT t, VARIANT e, VARIANT) override
    {
        effect = Text(e);
        VARIANT none;
        VariantInit(&none);
        return Record(L"CreateSlideshow", i, o, p, t, none);
    }
    STDMETHODIMP UploadQueue(VARIANT i, VARIANT t, VARIANT p, VARIANT o, VARIANT r) override
    {
        return Record(L"UploadQueue", i, o, p, t, r);
    }

    // Uploaders made by the factory since the last Reset.
    static std::vector<Microsoft::WRL::ComPtr<RecordingUploader>>& Made();
    static HRESULT Factory(IFileUploader** uploader);

private:
    template <typename I>
    static HRESULT Keep(Microsoft::WRL::ComPtr<I>& slot, I* value)
    {
        slot = value;
        return S_OK;
    }
    static std::wstring Text(const VARIANT& value);
    HRESULT Record(const wchar_t* name, const VARIANT& i, const VARIANT& o, const VARIANT& p, const VARIANT& t,
                   const VARIANT& r);
};

// Installs the recorder and dialogs that note what the user was shown.
class ContextMenuTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    RecordingUploader* Last() const
    {
        return RecordingUploader::Made().empty() ? nullptr : RecordingUploader::Made().back().Get();
    }

    std::vector<POINT> logins;
    std::vector<std::vector<std::wstring>> taggedItems;
    std::wstring tagsAnswer = L"sea sand";
    HRESULT tagResult = S_OK;
    std::vector<UINT> messages;
    std::vector<UploadImagesRequest> imageLists;
    HRESULT imagesResult = S_OK;
    UploadImagesChoice imagesChoice;
    int resultWindows = 0;
};

}  // namespace vptest
