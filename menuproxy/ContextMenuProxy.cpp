// Forwarding of Explorer commands into the toolbar library (see the header).
#include "menuproxy/ContextMenuProxy.h"

#include <wrl/client.h>

#include "VellumpostToolbar_h.h"
#include "common/HResult.h"

using Microsoft::WRL::ComPtr;

CContextMenuProxy::CContextMenuProxy()
{
    log_.Format("CContextMenuProxy %s", LogAddress(this).c_str());
}

CContextMenuProxy::~CContextMenuProxy()
{
    log_.Format("Destroying ContextMenuProxy %s", LogAddress(this).c_str());
}

STDMETHODIMP CContextMenuProxy::Execute(enum _VellumpostMenuCommand command, VARIANT files, LONG posX, LONG posY)
try {
    log_.Format("Execute %s", LogAddress(this).c_str());
    CLSID menuClass = CLSID_NULL;
    HRESULT hr = CLSIDFromProgID(L"VellumpostToolbar.ImageContextMenu", &menuClass);
    if (FAILED(hr)) {
        log_.Write("Cannot get ImageContextMenu CLSID");
        return hr;
    }
    ComPtr<IInnerImageContextMenu> menu;
    hr = CoCreateInstance(menuClass, nullptr, CLSCTX_ALL, IID_IInnerImageContextMenu,
                          reinterpret_cast<void**>(menu.GetAddressOf()));
    if (SUCCEEDED(hr) && !menu) hr = E_POINTER;
    if (FAILED(hr)) {
        log_.Format("Cannot create IImageContextMenu: 0x%0lX", static_cast<unsigned long>(hr));
        return hr;
    }
    // The variant goes on as received; the marshalling layer owns and clears it.
    return menu->Execute(static_cast<LONG>(command), files, posX, posY,
                         static_cast<IDispatch*>(static_cast<IContextMenuProxy*>(this)));
}
COM_CATCH_RETURN(log_, "Execute")
