// The page-script result target (see the header).
#include "engine/JSImageTarget.h"

#include "common/Variant.h"

using Microsoft::WRL::ComPtr;

namespace {

// Script names are resolved in the neutral sublanguage, as the page's own calls are.
const LCID kScriptLocale = 2048;

}  // namespace

CJSImageTarget::CJSImageTarget(IHTMLDocument2* document)
{
    if (!document) return;
    ComPtr<IHTMLWindow2> window;
    if (FAILED(document->get_parentWindow(&window)) || !window) return;
    // Window script objects answer a function name with a property whose
    // value is the function object.
    LPOLESTR name = const_cast<LPOLESTR>(L"uploadComplete");
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(window->GetIDsOfNames(IID_NULL, &name, 1, kScriptLocale, &id))) return;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Variant value;
    if (FAILED(window->Invoke(id, IID_NULL, kScriptLocale, DISPATCH_PROPERTYGET, &none, value.Out(), nullptr,
                              nullptr)))
        return;
    if (value.Type() == VT_DISPATCH && V_DISPATCH(value.Get())) function_ = V_DISPATCH(value.Get());
}

std::wstring CJSImageTarget::ImagesText(const UploadResults& results)
{
    std::wstring text = L"<images>\n";
    for (const CUploadResult& result : results) {
        if (!result.responseText) continue;
        std::wstring answer = *result.responseText;
        if (answer.compare(0, 6, L"<?xml ") == 0) {
            size_t end = answer.find(L"?>");
            if (end == std::wstring::npos) continue;
            answer.erase(0, end + 2);
        }
        text += answer;
        text += L"\n";
    }
    text += L"</images>";
    return text;
}

void CJSImageTarget::OnUploadComplete(const UploadResults& results)
{
    if (results.empty() || !function_) return;
    try {
        Variant argument(ImagesText(results).c_str());
        DISPPARAMS params = {argument.Get(), nullptr, 1, 0};
        Variant answer;
        HRESULT hr = function_->Invoke(DISPID_VALUE, IID_NULL, kScriptLocale, DISPATCH_METHOD, &params,
                                       answer.Out(), nullptr, nullptr);
        if (FAILED(hr)) log_.Write("FAILED to call uploadComplete");
    } catch (...) {
        log_.Write("EXEPTION on call uploadComplete");
    }
}
