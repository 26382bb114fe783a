// The browser user-agent entry (see the header).
#include "module/setup/UserAgentEntry.h"

#include <cwchar>
#include <vector>

#include "common/RegKey.h"

namespace {

const wchar_t kPostPlatform[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\User Agent\\Post Platform";
// Every version of the product names its value with this word and a blank.
const wchar_t kProductPrefix[] = L"Vellumpost Toolbar ";
const DWORD kMaxValueNameChars = 4096;

}  // namespace

void RegisterUserAgent(HKEY machineRoot, const std::wstring& productName)
{
    RegKey key;
    if (!key.Create(machineRoot, kPostPlatform, nullptr, 0, KEY_READ | KEY_WRITE)) return;

    std::vector<wchar_t> name(kMaxValueNameChars + 1);
    const size_t prefixChars = wcslen(kProductPrefix);
    DWORD index = 0;
    for (;;) {
        DWORD chars = kMaxValueNameChars + 1;
        const LONG status = RegEnumValueW(key, index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {  // a name longer than any of ours: not ours
            ++index;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        // A deleted value moves the next one to this index; a value that
        // cannot be deleted must not hold the loop at its index for ever.
        if (chars >= prefixChars && _wcsnicmp(name.data(), kProductPrefix, prefixChars) == 0 &&
            RegDeleteValueW(key, name.data()) == ERROR_SUCCESS)
            continue;
        ++index;
    }
    RegSetValueExW(key, productName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
}

void UnregisterUserAgent(HKEY machineRoot, const std::wstring& productName)
{
    RegKey key;
    if (!key.Open(machineRoot, kPostPlatform, KEY_SET_VALUE)) return;
    RegDeleteValueW(key, productName.c_str());
}
