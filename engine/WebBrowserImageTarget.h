// The targets that show result pages: in a browser (navigation, or a POST of
// the uploaded items) and in a page window (navigation, or a hidden form that
// is added to the page and submitted).
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <wrl/client.h>

#include "common/LogWriter.h"
#include "engine/InternetExplorerImageTarget.h"

class CWebBrowserImageTarget : public CAbstractInternetExplorerImageTarget {
public:
    CWebBrowserImageTarget(IWebBrowser2* browser, IStockBar* toolbar);
    void Navigate(const wchar_t* url) override;
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override;

    // Largest request body handed to the browser as post data.
    static const ULONGLONG kMaxPostBytes = 64ull * 1024 * 1024;

private:
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    LogWriter log_{"CWebBrowserImageTarget"};
};

class CWindowImageTarget : public CAbstractInternetExplorerImageTarget {
public:
    CWindowImageTarget(IHTMLWindow2* window, IStockBar* toolbar);
    void Navigate(const wchar_t* url) override;
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override;

private:
    // Adds a hidden, absolutely placed div holding html to the document's body.
    bool AppendHiddenForm(IHTMLDocument2* document, const std::wstring& html);

    Microsoft::WRL::ComPtr<IHTMLWindow2> window_;
    LogWriter log_{"CWindowImageTarget"};
};
