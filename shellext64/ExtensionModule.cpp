// Entry point, class table and exports of the 64-bit Explorer extension.
// Registration writes the class, its application keys and the type library
// and nothing else: the file types name the class from the toolbar library's
// registration.
#include <windows.h>

#include "VellumpostContextMenuExtensionX64_h.h"
#include "common/ComModule.h"
#include "common/HResult.h"
#include "common/LogWriter.h"
#include "shellext64/ContextMenuExtension.h"

namespace {

// {80A35F54-96A7-4A6C-B1D0-75AC7537A69C}
const GUID kExtensionAppId = {0x80a35f54, 0x96a7, 0x4a6c, {0xb1, 0xd0, 0x75, 0xac, 0x75, 0x37, 0xa6, 0x9c}};
const wchar_t kProgId[] = L"VellumpostToolbar.ContextMenuExtension";
// The versioned ProgID installed systems carry is one letter short of the
// class name; it is kept so that existing registrations stay recognisable.
const wchar_t kVersionedProgId[] = L"VellumpostToolbar.ContextMenuExtensio.1";
const wchar_t kDescription[] = L"ContextMenuExtension Class";

// The application keys and the versioned ProgID in its installed spelling, in
// place of the one the standard class keys would name.
HRESULT RegisterExtensionExtras(bool registering)
{
    const std::wstring classKey = L"CLSID\\" + GuidText(CLSID_ContextMenuExtension);
    if (!registering) {
        const HRESULT application = RegisterAppId(kExtensionAppId, L"VellumpostContextMenuExtensionX64",
                                                  L"VellumpostContextMenuExtensionX64.DLL", false);
        const HRESULT versioned = DeleteClassesTree(kVersionedProgId);
        return FAILED(application) ? application : versioned;
    }
    RETURN_IF_FAILED(RegisterAppId(kExtensionAppId, L"VellumpostContextMenuExtensionX64",
                                   L"VellumpostContextMenuExtensionX64.DLL", true));
    RETURN_IF_FAILED(DeleteClassesTree(std::wstring(kProgId) + L".1"));
    RETURN_IF_FAILED(SetClassesString(kVersionedProgId, nullptr, kDescription));
    RETURN_IF_FAILED(SetClassesString(std::wstring(kVersionedProgId) + L"\\CLSID", nullptr,
                                      GuidText(CLSID_ContextMenuExtension)));
    RETURN_IF_FAILED(SetClassesString(std::wstring(kProgId) + L"\\CurVer", nullptr, kVersionedProgId));
    return SetClassesString(classKey + L"\\ProgID", nullptr, kVersionedProgId);
}

ComModule& ExtensionComModule()
{
    static ComModule& module = ComModule::Instance().Initialize(
        {
            {&CLSID_ContextMenuExtension, {kProgId, nullptr}, kDescription, &CContextMenuExtension::CreateInstance,
             L"Apartment", &RegisterExtensionExtras, false, &kExtensionAppId},
        },
        &LIBID_VellumpostContextMenuExtensionX64Lib);
    return module;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            LogWriter log("MAIN");
            log.Write("Init...");
            ExtensionComModule();
            DisableThreadLibraryCalls(instance);
            wchar_t host[MAX_PATH] = {};
            if (GetModuleFileNameW(nullptr, host, MAX_PATH)) log.Write("Attached to ", host);
        } else if (reason == DLL_PROCESS_DETACH) {
            LogWriter("MAIN").Write("Process detach...");
            ComModule::Instance().Terminate();
        }
    } catch (...) {
        // Nothing may leave the loader's call.
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return ComModule::Instance().CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return ComModule::Instance().GetClassObject(clsid, iid, object);
}

STDAPI DllRegisterServer()
try {
    return ExtensionComModule().RegisterServer();
}
catch (...) {
    return E_FAIL;
}

STDAPI DllUnregisterServer()
try {
    return ExtensionComModule().UnregisterServer();
}
catch (...) {
    return E_FAIL;
}
