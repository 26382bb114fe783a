// The COM server state of this image (see the header). Registration writes,
// for every row of the class table:
//   HKCR\CLSID\{clsid}                = description
//       InprocServer32                = module path, ThreadingModel
//         (local-server rows: LocalServer32 = "program path", Programmable)
//       AppID value                   = {application}, when the row names one
//       ProgID                        = <main ProgID>.1
//       VersionIndependentProgID      = <main ProgID>
//       TypeLib                       = {type library}
//   HKCR\<ProgID>.1                   = description, CLSID
//   HKCR\<ProgID>                     = description, CLSID, CurVer
// for every ProgID of the row. The version-independent key carries its own
// CLSID because not every CLSIDFromProgID follows CurVer.
#include "common/ComModule.h"

#include <wrl/client.h>
#include <oleauto.h>
#include <shlwapi.h>

#include <cwchar>

#include "common/ClassFactory.h"
#include "common/HResult.h"
#include "common/ModuleInstance.h"
#include "common/RegKey.h"
#include "common/TypeLibDispatch.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kVersionSuffix[] = L".1";

// The default value of HKCR\subkey; empty when the key or the value is missing.
std::wstring ClassesString(const std::wstring& subkey)
{
    RegKey key;
    if (!key.Open(HKEY_CLASSES_ROOT, subkey.c_str(), KEY_QUERY_VALUE)) return std::wstring();
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return std::wstring();
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &bytes) !=
        ERROR_SUCCESS)
        return std::wstring();
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

HRESULT RegisterProgId(const std::wstring& progId, const ComClassEntry& entry, const std::wstring& clsid)
{
    const std::wstring versioned = progId + kVersionSuffix;
    RETURN_IF_FAILED(SetClassesString(versioned, nullptr, entry.description));
    RETURN_IF_FAILED(SetClassesString(versioned + L"\\CLSID", nullptr, clsid));
    RETURN_IF_FAILED(SetClassesString(progId, nullptr, entry.description));
    RETURN_IF_FAILED(SetClassesString(progId + L"\\CLSID", nullptr, clsid));
    RETURN_IF_FAILED(SetClassesString(progId + L"\\CurVer", nullptr, versioned));
    return S_OK;
}

// A ProgID key is removed only while it still names this class: another
// server may have taken the name over since.
HRESULT UnregisterProgIdKey(const std::wstring& key, const std::wstring& clsid)
{
    if (_wcsicmp(ClassesString(key + L"\\CLSID").c_str(), clsid.c_str()) != 0) return S_OK;
    return DeleteClassesTree(key);
}

HRESULT RegisterClassKeys(const ComClassEntry& entry, const std::wstring& modulePath, const GUID* typeLib)
{
    RETURN_HR_IF(E_INVALIDARG, !entry.clsid || !entry.progIds[0] || !entry.description);
    const std::wstring clsid = GuidText(*entry.clsid);
    const std::wstring key = L"CLSID\\" + clsid;
    const std::wstring mainProgId = entry.progIds[0];

    RETURN_IF_FAILED(SetClassesString(key, nullptr, entry.description));
    if (entry.localServer) {
        // Quoted: an unquoted program path with blanks lets Windows try to
        // start a program of a shorter name ("C:\Program.exe").
        RETURN_IF_FAILED(SetClassesString(key + L"\\LocalServer32", nullptr, L"\"" + modulePath + L"\""));
        RETURN_IF_FAILED(SetClassesString(key + L"\\Programmable", nullptr, L""));
    } else {
        RETURN_IF_FAILED(SetClassesString(key + L"\\InprocServer32", nullptr, modulePath));
        RETURN_IF_FAILED(SetClassesString(key + L"\\InprocServer32", L"ThreadingModel",
                                          entry.threadingModel ? entry.threadingModel : L"Apartment"));
    }
    if (entry.appId) RETURN_IF_FAILED(SetClassesString(key, L"AppID", GuidText(*entry.appId)));
    RETURN_IF_FAILED(SetClassesString(key + L"\\ProgID", nullptr, mainProgId + kVersionSuffix));
    RETURN_IF_FAILED(SetClassesString(key + L"\\VersionIndependentProgID", nullptr, mainProgId));
    if (typeLib) RETURN_IF_FAILED(SetClassesString(key + L"\\TypeLib", nullptr, GuidText(*typeLib)));

    for (const wchar_t* progId : entry.progIds) {
        if (progId) RETURN_IF_FAILED(RegisterProgId(progId, entry, clsid));
    }
    if (entry.extraRegistration) RETURN_IF_FAILED(entry.extraRegistration(true));
    return S_OK;
}

HRESULT UnregisterClassKeys(const ComClassEntry& entry)
{
    RETURN_HR_IF(E_INVALIDARG, !entry.clsid);
    HRESULT result = S_OK;
    auto keep = [&result](HRESULT hr) {
        if (SUCCEEDED(result) && FAILED(hr)) result = hr;
    };
    if (entry.extraRegistration) keep(entry.extraRegistration(false));

    const std::wstring clsid = GuidText(*entry.clsid);
    for (const wchar_t* progId : entry.progIds) {
        if (!progId) continue;
        keep(UnregisterProgIdKey(std::wstring(progId) + kVersionSuffix, clsid));
        keep(UnregisterProgIdKey(progId, clsid));
    }
    keep(DeleteClassesTree(L"CLSID\\" + clsid));
    return result;
}

}  // namespace

HRESULT SetClassesString(const std::wstring& subkey, const wchar_t* name, const std::wstring& value)
{
    HKEY created = nullptr;
    RETURN_IF_WIN32_ERROR(RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                          nullptr, &created, nullptr));
    RegKey key;
    key.Attach(created);
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    RETURN_IF_WIN32_ERROR(
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes));
    return S_OK;
}

HRESULT DeleteClassesTree(const std::wstring& subkey)
{
    const LONG status = SHDeleteKeyW(HKEY_CLASSES_ROOT, subkey.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND)
        return S_OK;
    return HResultFromWin32(status);
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, ARRAYSIZE(text));
    return text;
}

HRESULT RegisterAppId(const GUID& appId, const wchar_t* name, const wchar_t* imageName, bool registering)
{
    RETURN_HR_IF(E_INVALIDARG, !name || !imageName);
    const std::wstring id = GuidText(appId);
    const std::wstring imageKey = std::wstring(L"AppID\\") + imageName;
    if (!registering) {
        // The image's key is removed only while it still names this application.
        HRESULT result = S_OK;
        RegKey image;
        wchar_t named[64] = {};
        DWORD bytes = sizeof(named) - sizeof(wchar_t), type = 0;
        if (image.Open(HKEY_CLASSES_ROOT, imageKey.c_str(), KEY_QUERY_VALUE) &&
            RegQueryValueExW(image, L"AppID", nullptr, &type, reinterpret_cast<BYTE*>(named), &bytes) ==
                ERROR_SUCCESS &&
            type == REG_SZ && _wcsicmp(named, id.c_str()) == 0) {
            image.Close();
            result = DeleteClassesTree(imageKey);
        }
        const HRESULT hr = DeleteClassesTree(L"AppID\\" + id);
        return FAILED(result) ? result : hr;
    }
    RETURN_IF_FAILED(SetClassesString(L"AppID\\" + id, nullptr, name));
    return SetClassesString(imageKey, L"AppID", id);
}

ComModule& ComModule::Instance()
{
    static ComModule module;
    return module;
}

ComModule& ComModule::Initialize(std::vector<ComClassEntry> classes, const GUID* typeLibId, UINT typeLibResource)
{
    classes_ = std::move(classes);
    hasTypeLib_ = typeLibId != nullptr;
    typeLibId_ = typeLibId ? *typeLibId : GUID_NULL;
    typeLibResource_ = typeLibResource;
    return *this;
}

void ComModule::Terminate()
{
    ReleaseModuleTypeInfo();
    classes_.clear();
    hasTypeLib_ = false;
}

ULONG ComModule::Unlock() noexcept
{
    ULONG count = locks_.load();
    while (count > 0 && !locks_.compare_exchange_weak(count, count - 1)) {
    }
    return count > 0 ? count - 1 : 0;
}

HRESULT ComModule::CanUnloadNow() const noexcept
{
    return objects_ == 0 && locks_ == 0 ? S_OK : S_FALSE;
}

const ComClassEntry* ComModule::Find(REFCLSID clsid) const noexcept
{
    for (const ComClassEntry& entry : classes_) {
        if (entry.clsid && InlineIsEqualGUID(*entry.clsid, clsid)) return &entry;
    }
    return nullptr;
}

HRESULT ComModule::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const noexcept
{
    if (!object) return E_POINTER;
    *object = nullptr;
    const ComClassEntry* entry = Find(clsid);
    if (!entry || !entry->create) return CLASS_E_CLASSNOTAVAILABLE;
    ComPtr<ClassFactory> factory;
    RETURN_IF_FAILED(ClassFactory::Create(factory, entry->create));
    return factory->QueryInterface(iid, object);
}

std::wstring ComModule::TypeLibPath() const
{
    std::wstring path = ThisModulePath();
    // LoadTypeLibEx reads the first TYPELIB resource from a bare path and the
    // resource of another number from "<path>\<number>".
    if (!path.empty() && typeLibResource_ != 1) path += L"\\" + std::to_wstring(typeLibResource_);
    return path;
}

HRESULT ComModule::RegisterServer() const
{
    const std::wstring modulePath = ThisModulePath();
    if (modulePath.empty()) return HResultFromLastError();
    for (const ComClassEntry& entry : classes_)
        RETURN_IF_FAILED(RegisterClassKeys(entry, modulePath, hasTypeLib_ ? &typeLibId_ : nullptr));

    if (!hasTypeLib_) return S_OK;
    const std::wstring path = TypeLibPath();
    ComPtr<ITypeLib> typeLib;
    RETURN_IF_FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &typeLib));
    // The declaration takes a non-const path that the call only reads.
    return RegisterTypeLib(typeLib.Get(), const_cast<wchar_t*>(path.c_str()), nullptr);
}

HRESULT ComModule::UnregisterServer() const
{
    HRESULT result = S_OK;
    for (const ComClassEntry& entry : classes_) {
        const HRESULT hr = UnregisterClassKeys(entry);
        if (SUCCEEDED(result) && FAILED(hr)) result = hr;
    }
    if (!hasTypeLib_) return result;

    // Nothing to undo when the library is not registered: repeating an
    // unregistration is no failure.
    RegKey registered;
    if (!registered.Open(HKEY_CLASSES_ROOT, (L"TypeLib\\" + GuidText(typeLibId_)).c_str(), KEY_READ))
        return result;
    registered.Close();

    ComPtr<ITypeLib> typeLib;
    TLIBATTR* attributes = nullptr;
    HRESULT hr = LoadTypeLibEx(TypeLibPath().c_str(), REGKIND_NONE, &typeLib);
    if (SUCCEEDED(hr)) hr = typeLib->GetLibAttr(&attributes);
    if (SUCCEEDED(hr)) {
        hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                               attributes->lcid, attributes->syskind);
        typeLib->ReleaseTLibAttr(attributes);
    }
    if (SUCCEEDED(result) && FAILED(hr)) result = hr;
    return result;
}
