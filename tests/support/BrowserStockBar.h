// Test double of the toolbar band's IStockBar: answers the link options the
// test chose, records history additions (copies of the records), paste
// data and the login state it is told, and fails the test on every other call.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "VellumpostToolbar_h.h"
#include "common/ComObject.h"
#include "common/TypeLibDispatch.h"
#include "engine/UploadResult.h"

namespace vptest {

class BrowserStockBar : public ComObject<BrowserStockBar, TypeLibDispatch<IStockBar>> {
public:
    struct PasteData {
        std::wstring data, toolTip;
    };

    // Answers of the option readers.
    LinkStyleEnum linkStyle = lsHTML;
    BOOL useThumbnail = VARIANT_FALSE;
    HRESULT optionsResult = S_OK;

    std::vector<CUploadResult> history;
    std::vector<PasteData> pasteData;
    // Arguments of EnableMyImages, in order.
    std::vector<BOOL> myImages;
    // Thread of every recorded call, to check that calls arrive in the toolbar's apartment.
    std::vector<DWORD> callThreads;

    STDMETHODIMP IncrementDragAndDrop() override { return Unexpected("IncrementDragAndDrop"); }
    STDMETHODIMP DecrementDragAndDrop() override { return Unexpected("DecrementDragAndDrop"); }
    STDMETHODIMP EnableMyImages(BOOL enabled) override
    {
        myImages.push_back(enabled);
        return S_OK;
    }
    STDMETHODIMP UseThumbnail(BOOL* result) override;
    STDMETHODIMP UseHTMLCode(BOOL*) override { return Unexpected("UseHTMLCode"); }
    STDMETHODIMP UseForum1Code(BOOL*) override { return Unexpected("UseForum1Code"); }
    STDMETHODIMP UseForum2Code(BOOL*) override { return Unexpected("UseForum2Code"); }
    STDMETHODIMP UseFriendLink(BOOL*) override { return Unexpected("UseFriendLink"); }
    STDMETHODIMP AddHistory(LONG_PTR record) override;
    STDMETHODIMP SetPasteData(BSTR data, BSTR toolTip) override;
    STDMETHODIMP GetOptions(BOOL*, BSTR*, BOOL*, VARIANT*) override { return Unexpected("GetOptions"); }
    STDMETHODIMP GetLinkStyle(LinkStyleEnum* style) override;
    STDMETHODIMP Upload(VARIANT) override { return Unexpected("Upload"); }
    STDMETHODIMP SlideShow(VARIANT) override { return Unexpected("SlideShow"); }
    STDMETHODIMP ScreenShot(VARIANT) override { return Unexpected("ScreenShot"); }

private:
    HRESULT Unexpected(const char* method);
    void Record() { callThreads.push_back(GetCurrentThreadId()); }
};

}  // namespace vptest
