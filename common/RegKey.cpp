// Owner of one registry key handle (see the header).
#include "common/RegKey.h"

BOOL RegKey::Close()
{
    if (!handle_) return 0;
    LONG result = RegCloseKey(handle_);
    handle_ = nullptr;
    return result == ERROR_SUCCESS;
}

bool RegKey::Create(HKEY parent, const wchar_t* subkey, wchar_t* keyClass, DWORD options, REGSAM access,
                    LPSECURITY_ATTRIBUTES security, DWORD* disposition)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, subkey, 0, keyClass, options, access, security, &key, disposition) !=
        ERROR_SUCCESS) {
        Close();
        return false;
    }
    Attach(key);
    return true;
}

bool RegKey::Open(HKEY parent, const wchar_t* subkey, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, subkey, 0, access, &key) != ERROR_SUCCESS) {
        Close();
        return false;
    }
    Attach(key);
    return true;
}
