// The page event sinks (see the header).
#include "browser/HtmlEvent.h"

#include "common/ComModule.h"
#include "common/Variant.h"

using Microsoft::WRL::ComPtr;

namespace {

// Asked only of sinks, to tell ours from the page's handlers; never handed out as an interface.
const IID kHtmlEventIid = {0x5b0d3e61, 0x8c2f, 0x4a57, {0x9e, 0x14, 0x3c, 0x71, 0xa8, 0x2d, 0x60, 0xf9}};

}  // namespace

AbstractHtmlEvent::AbstractHtmlEvent(IUnknown* owner, IDispatch* pageHandler, int extra)
    : extra_(extra), ownerReference_(owner), pageHandler_(pageHandler)
{
    ComModule::Instance().IncrementObjectCount();
}

AbstractHtmlEvent::~AbstractHtmlEvent() { ComModule::Instance().DecrementObjectCount(); }

STDMETHODIMP AbstractHtmlEvent::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!InlineIsEqualGUID(iid, IID_IUnknown) && !InlineIsEqualGUID(iid, IID_IDispatch) &&
        !InlineIsEqualGUID(iid, kHtmlEventIid))
        return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IDispatch*>(this);
    return S_OK;
}

STDMETHODIMP_(ULONG) AbstractHtmlEvent::Release()
{
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP AbstractHtmlEvent::GetTypeInfoCount(UINT* count)
{
    if (count) *count = 0;
    return S_OK;
}

STDMETHODIMP AbstractHtmlEvent::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP AbstractHtmlEvent::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP AbstractHtmlEvent::Invoke(DISPID, REFIID, LCID locale, WORD, DISPPARAMS* params, VARIANT* result,
                                       EXCEPINFO*, UINT*)
try {
    // Held for the call: a routine may make the page drop this sink.
    ComPtr<IDispatch> self(this);
    if (result) VariantInit(result);
    if (pageHandler_) {
        DISPPARAMS none{};
        Variant answer;
        const HRESULT hr = pageHandler_->Invoke(DISPID_VALUE, IID_NULL, locale, DISPATCH_METHOD,
                                                params ? params : &none, answer.Get(), nullptr, nullptr);
        if (FAILED(hr)) log_.Format("The page's own handler failed: 0x%x", static_cast<unsigned>(hr));
        // A handler that returns false cancels the browser's default action:
        // the browser reads that from this sink's result.
        if (SUCCEEDED(hr) && result) *result = answer.Detach();
    }
    Fire();
    return S_OK;
} catch (...) {
    log_.Format("EXCEPTION on Invoke in %s", LogAddress(this).c_str());
    return S_OK;
}

ComPtr<IDispatch> AbstractHtmlEvent::PageHandler(const VARIANT& previous)
{
    if (V_VT(&previous) != VT_DISPATCH || !V_DISPATCH(&previous)) return nullptr;
    ComPtr<IUnknown> ours;
    if (SUCCEEDED(V_DISPATCH(&previous)->QueryInterface(kHtmlEventIid, reinterpret_cast<void**>(ours.GetAddressOf()))) &&
        ours) {
        // A sink of ours: the page's handler is the one it was chaining to.
        return static_cast<AbstractHtmlEvent*>(static_cast<IDispatch*>(ours.Get()))->pageHandler_;
    }
    return ComPtr<IDispatch>(V_DISPATCH(&previous));
}
