// Test double of the toolbar band's IStockBar: answers the link options the
// test chose, records history additions (copies of the records), paste data
// and the login state it is told, and fails the test on every other call.
// With pageHandlers set it also serves the page handlers: it counts drop
// targets, answers the upload options and records the commands it is asked
// to run.
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

    // The page handlers' part.
    bool pageHandlers = false;
    LONG dropTargets = 0;
    BOOL resize = FALSE, isPublic = VARIANT_TRUE, removeSizeBar = VARIANT_TRUE;
    std::wstring format;
    struct Command {
        std::wstring name;
        VARTYPE destination;
    };
    std::vector<Command> commands;

    std::vector<CUploadResult> history;
    std::vector<PasteData> pasteData;
    // Arguments of EnableMyImages, in order.
    std::vector<BOOL> myImages;
    // Thread of every recorded call, to check that calls arrive in the toolbar's apartment.
    std::vector<DWORD> callThreads;

    STDMETHODIMP IncrementDragAndDrop() override;
    STDMETHODIMP DecrementDragAndDrop() override;
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
    STDMETHODIMP GetOptions(BOOL* resize, BSTR* format, BOOL* isPublic, VARIANT* removeSizeBar) override;
    STDMETHODIMP GetLinkStyle(LinkStyleEnum* style) override;
    STDMETHODIMP Upload(VARIANT destination) override { return RunCommand(L"Upload", destination); }
    STDMETHODIMP SlideShow(VARIANT destination) override { return RunCommand(L"SlideShow", destination); }
    STDMETHODIMP ScreenShot(VARIANT destination) override { return RunCommand(L"ScreenShot", destination); }

private:
    HRESULT Unexpected(const char* method);
    HRESULT RunCommand(const wchar_t* name, const VARIANT& destination);
    void Record() { callThreads.push_back(GetCurrentThreadId()); }
};

}  // namespace vptest
