// Page upload parameters (see the header).
#include "engine/JSUploadParams.h"

#include <mshtml.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "common/Bstr.h"
#include "common/LogWriter.h"
#include "common/Variant.h"

using Microsoft::WRL::ComPtr;

namespace {

// Made when there is something to say: failures are rare, and the setting is
// read afresh each time.
LogWriter Log()
{
    return LogWriter("CJSUploadParams");
}

const wchar_t kCookieInputId[] = L"id_magic_vellumpost_cookie";

}  // namespace

CJSUploadParams::CJSUploadParams(IUnknown* document)
{
    ComPtr<IHTMLDocument2> page;
    if (!document || FAILED(document->QueryInterface(IID_PPV_ARGS(&page)))) return;
    ComPtr<IHTMLWindow2> window;
    if (FAILED(page->get_parentWindow(&window)) || !window) return;

    imageAllowed_ = PageScriptFunction(window.Get(), L"uploadIsImageAllowed");
    videoAllowed_ = PageScriptFunction(window.Get(), L"uploadIsVideoAllowed");
    multiUploadAllowed_ = PageScriptFunction(window.Get(), L"uploadIsMultiUploadAllowed");

    ComPtr<IHTMLDocument3> elements;
    if (FAILED(document->QueryInterface(IID_PPV_ARGS(&elements)))) return;
    Bstr id(kCookieInputId);
    ComPtr<IHTMLElement> element;
    if (FAILED(elements->getElementById(id.Get(), &element)) || !element) return;
    ComPtr<IHTMLInputHiddenElement> hidden;
    if (FAILED(element.As(&hidden))) return;
    Bstr value;
    if (SUCCEEDED(hidden->get_value(value.Out()))) cookie_ = std::wstring(value.Text(), value.Length());
}

bool CJSUploadParams::IsImageAllowed() const
{
    return Ask(imageAllowed_, "uploadIsImageAllowed");
}

bool CJSUploadParams::IsVideoAllowed() const
{
    return Ask(videoAllowed_, "uploadIsVideoAllowed");
}

bool CJSUploadParams::IsMultiUploadAllowed() const
{
    return Ask(multiUploadAllowed_, "uploadIsMultiUploadAllowed");
}

bool CJSUploadParams::Ask(const PageScriptFunction& function, const char* name) const
{
    if (function.Empty()) return true;
    try {
        Variant answer;
        if (FAILED(function.Call(nullptr, 0, answer.Out()))) {
            Log().Write("FAILED to call ", name);
            return true;
        }
        if (answer.Type() != VT_BOOL) return true;
        return V_BOOL(answer.Get()) == VARIANT_TRUE;
    } catch (...) {
        Log().Write("EXEPTION on call ", name);
        return true;
    }
}
