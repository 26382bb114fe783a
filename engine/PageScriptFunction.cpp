// Page script functions (see the header).
#include "engine/PageScriptFunction.h"

#include <oleauto.h>

#include <vector>

namespace {

// Frees the texts a failing call may leave in the exception record.
void ClearException(EXCEPINFO& exception)
{
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    exception = EXCEPINFO{};
}

}  // namespace

PageScriptFunction::PageScriptFunction(IDispatch* windowScript, const wchar_t* name)
{
    if (!windowScript || !name) return;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(windowScript->GetIDsOfNames(IID_NULL, names, 1, kLocale, &id))) return;

    DISPPARAMS noArgs = {};
    VARIANT value;
    VariantInit(&value);
    EXCEPINFO exception = {};
    UINT argError = 0;
    const HRESULT hr =
        windowScript->Invoke(id, IID_NULL, kLocale, DISPATCH_PROPERTYGET, &noArgs, &value, &exception, &argError);
    ClearException(exception);
    if (SUCCEEDED(hr) && V_VT(&value) == VT_DISPATCH && V_DISPATCH(&value)) function_ = V_DISPATCH(&value);
    VariantClear(&value);
}

HRESULT PageScriptFunction::Call(const VARIANT* args, UINT count, VARIANT* result) const
{
    if (!function_) return E_POINTER;
    if (count && !args) return E_INVALIDARG;
    // The dispatch argument array holds the last script argument first. The
    // copies are shallow: Invoke only reads [in] arguments.
    std::vector<VARIANT> reversed(args, args + count);
    for (UINT i = 0; i < count; ++i) reversed[i] = args[count - 1 - i];
    DISPPARAMS params = {count ? reversed.data() : nullptr, nullptr, count, 0};
    if (result) VariantInit(result);
    EXCEPINFO exception = {};
    UINT argError = 0;
    const HRESULT hr =
        function_->Invoke(DISPID_VALUE, IID_NULL, kLocale, DISPATCH_METHOD, &params, result, &exception, &argError);
    ClearException(exception);
    return hr;
}
