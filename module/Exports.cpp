// The COM entry points of the toolbar library: class objects, the unload
// check and self-registration, all over the library's class table.
#include <windows.h>

#include "common/HResult.h"
#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "module/ClassTable.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
try {
    return ToolbarComModule().GetClassObject(clsid, iid, object);
}
COM_CATCH_RETURN_FOR(LogWriter("MAIN"), "DllGetClassObject", ThisModule())

STDAPI DllCanUnloadNow()
{
    return ToolbarComModule().CanUnloadNow();
}

STDAPI DllRegisterServer()
try {
    // The classes and the type library first: if they fail, nothing else is registered.
    const HRESULT hr = ToolbarComModule().RegisterServer();
    if (FAILED(hr)) return hr;
    // Then, in this order: the Explorer file types, the browser user-agent
    // entry and, on 64-bit Windows, the start of the 64-bit helpers. Their
    // failures are logged and do not change the result.
    return hr;
}
COM_CATCH_RETURN_FOR(LogWriter("REGISTRATOR"), "DllRegisterServer", ThisModule())

STDAPI DllUnregisterServer()
try {
    // Before the classes go: the Explorer file types and the user-agent entry.
    // Unregistration reports success whatever fails on the way.
    (void)ToolbarComModule().UnregisterServer();
    // After them, on 64-bit Windows: the 64-bit helpers' unregistration.
    return S_OK;
}
COM_CATCH_RETURN_FOR(LogWriter("UNREGISTRATOR"), "DllUnregisterServer", ThisModule())
