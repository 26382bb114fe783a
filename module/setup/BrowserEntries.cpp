// Browser registry entries of the band and the right-click menu (see the header).
#include "module/setup/BrowserEntries.h"

#include <shlwapi.h>

#include <string>

#include "VellumpostToolbar_h.h"
#include "common/ComModule.h"
#include "common/HResult.h"
#include "common/ModuleInstance.h"
#include "common/RegKey.h"

namespace {

const wchar_t kProductKey[] = L"Software\\VellumpostToolbar";
const wchar_t kBandName[] = L"Vellumpost Toolbar";
const wchar_t kToolbarList[] = L"Software\\Microsoft\\Internet Explorer\\Toolbar";
const wchar_t kMenuExt[] = L"Software\\Microsoft\\Internet Explorer\\MenuExt";

// Contexts of a right-click entry: 1 the page, 2 a picture.
struct MenuEntry {
    const wchar_t* name;
    int resource;
    DWORD contexts;
};

const MenuEntry kMenuEntries[] = {
    {L"Upload All Images to Vellumpost", 5000, 3},
    {L"Upload Image to Vellumpost", 5001, 2},
    {L"Transload Image to Vellumpost", 5004, 2},
    {L"Tag This Image", 5002, 2},
    {L"Post Image to Blog", 5003, 2},
};

HRESULT SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    RETURN_IF_WIN32_ERROR(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    return S_OK;
}

HRESULT CreateKey(RegKey& key, HKEY parent, const wchar_t* subkey)
{
    RETURN_IF_WIN32_BOOL_FALSE(key.Create(parent, subkey, nullptr, 0, KEY_WRITE));
    return S_OK;
}

std::wstring MenuEntryKey(const MenuEntry& entry)
{
    return std::wstring(kMenuExt) + L"\\" + entry.name;
}

HRESULT WriteMenuEntry(const MenuEntry& entry, const std::wstring& module)
{
    RegKey key;
    RETURN_IF_FAILED(CreateKey(key, HKEY_CURRENT_USER, MenuEntryKey(entry).c_str()));
    RETURN_IF_FAILED(SetText(key, nullptr, L"res://" + module + L"/" + std::to_wstring(entry.resource)));
    RETURN_IF_WIN32_ERROR(RegSetValueExW(key, L"Contexts", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&entry.contexts),
                                         sizeof(entry.contexts)));
    return S_OK;
}

// All entries, or (onlyMissing) those the current user does not have yet.
HRESULT WriteMenuEntries(bool onlyMissing)
{
    const std::wstring module = ThisModulePath();
    RETURN_HR_IF(HResultFromLastError(), module.empty());
    for (const MenuEntry& entry : kMenuEntries) {
        RegKey existing;
        if (onlyMissing && existing.Open(HKEY_CURRENT_USER, MenuEntryKey(entry).c_str(), KEY_READ)) continue;
        RETURN_IF_FAILED(WriteMenuEntry(entry, module));
    }
    return S_OK;
}

HRESULT RemoveMenuEntries()
{
    RegKey menus;
    if (!menus.Open(HKEY_CURRENT_USER, kMenuExt, KEY_ALL_ACCESS)) return S_OK;
    HRESULT result = S_OK;
    for (const MenuEntry& entry : kMenuEntries) {
        const LONG status = SHDeleteKeyW(menus, entry.name);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && SUCCEEDED(result))
            result = HResultFromWin32(status);
    }
    return result;
}

HRESULT WriteProductKey()
{
    RegKey product;
    RETURN_IF_FAILED(CreateKey(product, HKEY_CURRENT_USER, kProductKey));
    return SetText(product, nullptr, kBandName);
}

HRESULT WriteBandEntries()
{
    RETURN_IF_FAILED(WriteProductKey());
    RegKey toolbars;
    RETURN_IF_FAILED(CreateKey(toolbars, HKEY_LOCAL_MACHINE, kToolbarList));
    return SetText(toolbars, GuidText(CLSID_StockBar).c_str(), kBandName);
}

HRESULT RemoveBandEntries()
{
    RegKey toolbars;
    if (!toolbars.Open(HKEY_LOCAL_MACHINE, kToolbarList, KEY_SET_VALUE)) return S_OK;
    const LONG status = RegDeleteValueW(toolbars, GuidText(CLSID_StockBar).c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HResultFromWin32(status);
}

}  // namespace

HRESULT RegisterBandEntries(bool registering)
{
    return registering ? WriteBandEntries() : RemoveBandEntries();
}

HRESULT RegisterBrowserMenuEntries(bool registering)
{
    return registering ? WriteMenuEntries(false) : RemoveMenuEntries();
}

HRESULT WriteMissingUserEntries()
{
    // A copy that is not (or no longer) the registered one writes nothing: the
    // entries would point at a library that the browser does not use.
    wchar_t server[MAX_PATH * 2] = {};
    DWORD size = sizeof(server) - sizeof(wchar_t);
    const std::wstring classKey = L"CLSID\\" + GuidText(CLSID_StockBar) + L"\\InprocServer32";
    const std::wstring module = ThisModulePath();
    if (RegGetValueW(HKEY_CLASSES_ROOT, classKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, server, &size) !=
            ERROR_SUCCESS ||
        module.empty() || _wcsicmp(server, module.c_str()) != 0)
        return S_FALSE;
    RegKey product;
    if (!product.Open(HKEY_CURRENT_USER, kProductKey, KEY_READ)) RETURN_IF_FAILED(WriteProductKey());
    return WriteMenuEntries(true);
}
