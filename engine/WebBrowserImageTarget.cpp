// Result pages in a browser or a page window (see the header).
#include "engine/WebBrowserImageTarget.h"

#include "common/Bstr.h"
#include "common/MarkupText.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "engine/MultipartFormData.h"

using Microsoft::WRL::ComPtr;

namespace {

// A VT_ARRAY | VT_UI1 copy of bytes, the form browsers take post data in.
bool MakeByteArray(const std::string& bytes, Variant& out)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) return false;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        SafeArrayDestroy(array);
        return false;
    }
    if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    VARIANT* slot = out.Out();
    V_VT(slot) = VT_ARRAY | VT_UI1;
    V_ARRAY(slot) = array;
    return true;
}

// True when url may be shown or posted to; logs the refusal otherwise. Only
// web addresses reach a browser: any other scheme would run or open in it.
bool AcceptAddress(const LogWriter& log, const wchar_t* url)
{
    if (url && IsWebAddress(url)) return true;
    log.Write("Refused an address that is not http or https");
    return false;
}

}  // namespace

CWebBrowserImageTarget::CWebBrowserImageTarget(IWebBrowser2* browser, IStockBar* toolbar)
    : CAbstractInternetExplorerImageTarget(toolbar), browser_(browser)
{
}

void CWebBrowserImageTarget::Navigate(const wchar_t* url)
try {
    if (!AcceptAddress(log_, url)) return;
    if (browser_) {
        Bstr address(url);
        Variant flags, frame, body, headers;
        HRESULT hr = browser_->Navigate(address.Get(), flags.Get(), frame.Get(), body.Get(), headers.Get());
        if (SUCCEEDED(hr)) browser_->put_Visible(VARIANT_TRUE);
    }
    log_.Write("Navigate to : ", url);
} catch (...) {
    log_.Write("EXCEPTION on Navigate");
}

void CWebBrowserImageTarget::PostData(const wchar_t* url, ImageTargetPostData& provider)
try {
    log_.Write("PostImages...");
    if (!browser_ || !AcceptAddress(log_, url)) return;
    CMultipartFormData request;
    if (!provider.FillRequest(request)) return;
    HRESULT hr = E_FAIL;
    if (request.BodySize() <= kMaxPostBytes) {
        Variant body;
        if (MakeByteArray(request.BodyBytes(), body)) {
            Variant headers(request.HeaderBlock().c_str());
            Variant flags, frame;
            Bstr address(url);
            hr = browser_->Navigate(address.Get(), flags.Get(), frame.Get(), body.Get(), headers.Get());
        }
    }
    if (FAILED(hr)) {
        log_.Write("UploadCompletePostData: FAIL TO POST IMAGES");
        return;
    }
    browser_->put_Visible(VARIANT_TRUE);
    log_.Write("UploadCompletePostData: Images posted to ", url);
} catch (...) {
    log_.Write("EXCEPTION on PostData");
}

CWindowImageTarget::CWindowImageTarget(IHTMLWindow2* window, IStockBar* toolbar)
    : CAbstractInternetExplorerImageTarget(toolbar), window_(window)
{
}

void CWindowImageTarget::Navigate(const wchar_t* url)
try {
    if (!AcceptAddress(log_, url)) return;
    if (window_) {
        Bstr address(url);
        window_->navigate(address.Get());
    }
    log_.Write("Navigate to : ", url);
} catch (...) {
    log_.Write("EXCEPTION on Navigate");
}

bool CWindowImageTarget::AppendHiddenForm(IHTMLDocument2* document, const std::wstring& html)
{
    ComPtr<IHTMLElement> div;
    Bstr tag(L"div");
    if (FAILED(document->createElement(tag.Get(), &div)) || !div) return false;
    ComPtr<IHTMLStyle> style;
    if (FAILED(div->get_style(&style)) || !style) return false;
    Bstr hidden(L"hidden");
    if (FAILED(style->put_visibility(hidden.Get()))) return false;
    ComPtr<IHTMLStyle2> style2;
    if (FAILED(style.As(&style2))) return false;
    Bstr absolute(L"absolute");
    if (FAILED(style2->put_position(absolute.Get()))) return false;
    Bstr text(html.c_str());
    if (FAILED(div->put_innerHTML(text.Get()))) return false;
    ComPtr<IHTMLElement> body;
    if (FAILED(document->get_body(&body)) || !body) return false;
    ComPtr<IHTMLDOMNode> bodyNode, divNode, appended;
    if (FAILED(body.As(&bodyNode)) || FAILED(div.As(&divNode))) return false;
    return SUCCEEDED(bodyNode->appendChild(divNode.Get(), &appended));
}

void CWindowImageTarget::PostData(const wchar_t* url, ImageTargetPostData& provider)
try {
    if (!window_ || !AcceptAddress(log_, url)) return;
    std::wstring html;
    if (!provider.FillHtmlForm(html, UseThumbnail())) return;
    // The form's values were escaped with '%' as a reference, so this can
    // only meet the template's own placeholder.
    ReplaceAll(html, L"%submit_url%", EscapeHtmlAttribute(url));

    ComPtr<IHTMLDocument2> document;
    if (FAILED(window_->get_document(&document)) || !document) return;
    if (!AppendHiddenForm(document.Get(), html)) return;
    log_.Write("Document was appended()");

    ComPtr<IHTMLDocument3> document3;
    if (FAILED(document.As(&document3))) return;
    ComPtr<IHTMLElement> element;
    Bstr id(L"submit_form");
    if (FAILED(document3->getElementById(id.Get(), &element)) || !element) return;
    ComPtr<IHTMLFormElement> form;
    if (FAILED(element.As(&form))) return;
    if (log_.Enabled()) {
        Bstr text;
        if (SUCCEEDED(element->get_innerText(text.Out())))
            log_.Write("Form with images will be submitted: ", text.Text());
    }
    form->submit();
} catch (...) {
    log_.Write("EXCEPTION on PostData");
}
