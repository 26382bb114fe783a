// The targets that turn results into link text in the user's link style: the
// common base that takes the link options once, the page text field that
// receives the links and the toolbar that keeps history and paste text.
#pragma once

#include <windows.h>
#include <mshtml.h>
#include <wrl/client.h>

#include "VellumpostToolbar_h.h"
#include "common/LogWriter.h"
#include "engine/ImageTarget.h"

class CAbstractInternetExplorerImageTarget : public ImageTarget {
public:
    bool UseThumbnail() const { return useThumbnail_; }
    int LinkStyle() const { return linkStyle_; }

protected:
    // Takes the link options from the toolbar when there is one, else from
    // the settings; both are fixed for the life of the target.
    explicit CAbstractInternetExplorerImageTarget(IStockBar* toolbar);

    std::wstring FormatLink(const CUploadResult& result) const;

private:
    bool useThumbnail_ = false;
    int linkStyle_ = 0;
};

// Appends each link to a page's text field and focuses it at the end.
class CHTMLElementImageTarget : public CAbstractInternetExplorerImageTarget {
public:
    CHTMLElementImageTarget(IHTMLElement* element, IStockBar* toolbar);
    void OnItemUploaded(const CUploadResult& result) override;
    void OnUploadComplete(const UploadResults& results) override;

private:
    Microsoft::WRL::ComPtr<IHTMLElement> element_;
    Microsoft::WRL::ComPtr<IHTMLElement2> element2_;
    LogWriter log_{"CHTMLElementImageTarget"};
};

// Hands each result to the toolbar's history and, at the end, all links as
// the toolbar's paste text.
class CToolbarImageTarget : public CAbstractInternetExplorerImageTarget {
public:
    explicit CToolbarImageTarget(IStockBar* toolbar);
    void OnItemUploaded(const CUploadResult& result) override;
    void OnUploadComplete(const UploadResults& results) override;

private:
    Microsoft::WRL::ComPtr<IStockBar> toolbar_;
    LogWriter log_{"CToolbarImageTarget"};
};
