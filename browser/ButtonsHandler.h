// Buttons and links on the service's own pages that start the toolbar's
// Upload, Slideshow and Screenshot commands: the handler hooks the clicks of
// one document's elements named "vellumpost-..." and runs the band's command,
// with the page as the place for progress and results in the script variants.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <wrl/client.h>

#include "VellumpostToolbar_h.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"

class CButtonsHandler : public ComObject<CButtonsHandler, TypeLibDispatch<IButtonsHandler>> {
public:
    CButtonsHandler();

    // IButtonsHandler
    STDMETHODIMP Attach(IDispatch* pDisp, IStockBar* pBar, BOOL* pAttached) override;
    STDMETHODIMP AttachAndParse(IDispatch* pDisp, IStockBar* pBar, BOOL* pAttached) override;
    STDMETHODIMP get_StockBar(IStockBar** value) override;
    STDMETHODIMP put_StockBar(IStockBar* value) override;
    STDMETHODIMP get_Browser(IDispatch** value) override;
    STDMETHODIMP put_Browser(IDispatch* value) override;
    STDMETHODIMP put_CallerHWND(OLE_HANDLE value) override;

private:
    ~CButtonsHandler() override;
    // The browser's document when it is a page of the service; null otherwise.
    Microsoft::WRL::ComPtr<IHTMLDocument2> ServicePage();
    // Hooks the clicks of the named elements among those with the tag.
    HRESULT HookElements(IHTMLDocument2* document, const wchar_t* tag, BOOL* attached);
    void OnClick(int);

    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    HWND callerWindow_ = nullptr;
    Microsoft::WRL::ComPtr<IStockBar> bar_;
    LogWriter log_{"CButtonsHandler"};
};
