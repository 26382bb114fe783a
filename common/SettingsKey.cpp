// Settings key rule (see the header).
#include "common/SettingsKey.h"

#include <windows.h>
#include <shlobj.h>

namespace {

const wchar_t kLowKey[] = L"Software\\Microsoft\\Internet Explorer\\LowRegistry\\VellumpostToolbar";
const wchar_t kKey[] = L"Software\\VellumpostToolbar";

int ComputeLowIntegrity()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&version)) return 0;
#pragma GCC diagnostic pop
    return version.dwMajorVersion > 5 ? 1 : 0;
}

}  // namespace

bool UsesLowIntegrityPaths()
{
    // Idempotent, so computing it twice from two threads is harmless.
    static volatile LONG cached = -1;
    if (cached < 0) InterlockedExchange(&cached, ComputeLowIntegrity());
    return cached == 1;
}

const wchar_t* SettingsKeyPath()
{
    return UsesLowIntegrityPaths() ? kLowKey : kKey;
}

std::wstring TagsKeyPath()
{
    return std::wstring(SettingsKeyPath()) + L"\\Tags";
}

std::wstring UserDataFolder(bool create)
{
    wchar_t folder[MAX_PATH] = {};
    int flags = CSIDL_LOCAL_APPDATA | (create ? CSIDL_FLAG_CREATE : 0);
    if (FAILED(SHGetFolderPathW(nullptr, flags, nullptr, 0, folder))) return std::wstring();
    std::wstring path = folder;
    if (UsesLowIntegrityPaths()) path += L"Low";
    return path;
}
