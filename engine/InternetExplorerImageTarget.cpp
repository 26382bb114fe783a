// Link-formatting targets for text fields and the toolbar (see the header).
#include "engine/InternetExplorerImageTarget.h"

#include "common/Bstr.h"
#include "common/SettingsStore.h"
#include "engine/LentResult.h"
#include "engine/LinkFormat.h"

CAbstractInternetExplorerImageTarget::CAbstractInternetExplorerImageTarget(IStockBar* toolbar)
{
    SettingsStore settings;
    linkStyle_ = settings.LinkStyle();
    useThumbnail_ = settings.ImagesSize() == kImagesSizeThumbnail;
    if (!toolbar) return;
    // A toolbar that cannot answer leaves the settings' choice in place.
    LinkStyleEnum style = lsHTML;
    if (SUCCEEDED(toolbar->GetLinkStyle(&style))) linkStyle_ = style;
    BOOL thumbnail = FALSE;
    if (SUCCEEDED(toolbar->UseThumbnail(&thumbnail))) useThumbnail_ = thumbnail == VARIANT_TRUE;
}

std::wstring CAbstractInternetExplorerImageTarget::FormatLink(const CUploadResult& result) const
{
    return ::FormatLink(result, useThumbnail_, linkStyle_);
}

CHTMLElementImageTarget::CHTMLElementImageTarget(IHTMLElement* element, IStockBar* toolbar)
    : CAbstractInternetExplorerImageTarget(toolbar), element_(element)
{
    if (element_) element_.As(&element2_);
}

void CHTMLElementImageTarget::OnItemUploaded(const CUploadResult& result)
try {
    if (!element_) return;
    Bstr current;
    // Without the current text a write would wipe what the user typed.
    HRESULT hr = element_->get_innerText(current.Out());
    if (FAILED(hr)) {
        log_.Format("FAILED to read the text of the element: 0x%x", static_cast<unsigned>(hr));
        return;
    }
    std::wstring text = current.Text();
    if (!text.empty()) text += LinkSeparator();
    text += FormatLink(result);
    Bstr updated(text.c_str());
    hr = element_->put_innerText(updated.Get());
    if (FAILED(hr)) log_.Format("FAILED to write the text of the element: 0x%x", static_cast<unsigned>(hr));
} catch (...) {
    log_.Write("EXCEPTION on OnItemUploaded");
}

void CHTMLElementImageTarget::OnUploadComplete(const UploadResults& results)
try {
    if (results.empty() || !element2_) return;
    element2_->focus();
} catch (...) {
    log_.Write("EXCEPTION on OnUploadComplete");
}

CToolbarImageTarget::CToolbarImageTarget(IStockBar* toolbar)
    : CAbstractInternetExplorerImageTarget(toolbar), toolbar_(toolbar)
{
}

void CToolbarImageTarget::OnItemUploaded(const CUploadResult& result)
try {
    if (!toolbar_) return;
    // The band lives in this process: it copies the record during the call,
    // and only while the record is on loan.
    LentResult lent(result);
    HRESULT hr = toolbar_->AddHistory(lent.Handle());
    if (FAILED(hr)) log_.Format("FAILED to add history: 0x%x", static_cast<unsigned>(hr));
} catch (...) {
    log_.Write("EXCEPTION on OnItemUploaded");
}

void CToolbarImageTarget::OnUploadComplete(const UploadResults& results)
try {
    if (results.empty() || !toolbar_) return;
    const std::wstring separator = LinkSeparator();
    std::wstring names, links;
    for (size_t i = 0; i < results.size(); ++i) {
        if (i > 0) {
            names += L"\n";
            links += separator;
        }
        if (results[i].name) names += *results[i].name;
        links += FormatLink(results[i]);
    }
    Bstr data(links.c_str()), tip(names.c_str());
    HRESULT hr = toolbar_->SetPasteData(data.Get(), tip.Get());
    if (FAILED(hr)) log_.Format("FAILED to set paste data: 0x%x", static_cast<unsigned>(hr));
} catch (...) {
    log_.Write("EXCEPTION on OnUploadComplete");
}
