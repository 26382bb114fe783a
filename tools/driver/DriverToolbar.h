// The driver's stand-in for the toolbar band: the upload thread reports each
// uploaded item (AddHistory) and, at the end, the joined links (SetPasteData)
// to it across apartments. It keeps copies of the results, adds them to the
// history in the registry as the band does, and answers the link options
// from the settings.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "VellumpostToolbar_h.h"
#include "common/ComObject.h"
#include "common/TypeLibDispatch.h"
#include "engine/UploadResult.h"

class DriverToolbar : public ComObject<DriverToolbar, TypeLibDispatch<IStockBar>> {
public:
    std::vector<CUploadResult> results;
    std::wstring pasteData, pasteToolTip;
    bool finished = false;

    STDMETHODIMP IncrementDragAndDrop() override { return E_NOTIMPL; }
    STDMETHODIMP DecrementDragAndDrop() override { return E_NOTIMPL; }
    STDMETHODIMP EnableMyImages(BOOL) override { return S_OK; }
    STDMETHODIMP UseThumbnail(BOOL* result) override;
    STDMETHODIMP UseHTMLCode(BOOL* result) override { return Style(result, lsHTML); }
    STDMETHODIMP UseForum1Code(BOOL* result) override { return Style(result, lsForum1); }
    STDMETHODIMP UseForum2Code(BOOL* result) override { return Style(result, lsForum2); }
    STDMETHODIMP UseFriendLink(BOOL* result) override { return Style(result, lsFriendLink); }
    STDMETHODIMP AddHistory(LONG_PTR record) override;
    STDMETHODIMP SetPasteData(BSTR data, BSTR toolTip) override;
    STDMETHODIMP GetOptions(BOOL* resize, BSTR* format, BOOL* isPublic, VARIANT* removeSizeBar) override;
    STDMETHODIMP GetLinkStyle(LinkStyleEnum* style) override;
    STDMETHODIMP Upload(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP SlideShow(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP ScreenShot(VARIANT) override { return E_NOTIMPL; }

private:
    HRESULT Style(BOOL* result, LinkStyleEnum style);
};
