// Typed access to the user's settings (see the header).
#include "common/SettingsStore.h"

#include <vector>

#include "common/SettingsKey.h"

SettingsStore::SettingsStore()
{
    if (mainKey_.Create(HKEY_CURRENT_USER, SettingsKeyPath())) historyKey_.Create(mainKey_, L"History");
}

bool SettingsStore::ReadNumber(HKEY key, const wchar_t* name, DWORD& value)
{
    if (!key) return false;
    DWORD type = 0, data = 0, size = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size == 0) return false;
    value = data;
    return true;
}

bool SettingsStore::ReadText(HKEY key, const wchar_t* name, std::wstring& value)
{
    if (!key) return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (size > kMaxTextChars * sizeof(wchar_t)) return false;
    // One spare character so that data stored without its NUL still ends.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = size;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) !=
        ERROR_SUCCESS)
        return false;
    size_t chars = got / sizeof(wchar_t);
    if (chars > buffer.size() - 1) chars = buffer.size() - 1;
    buffer[chars] = L'\0';
    value.assign(buffer.data());  // up to the first NUL
    return true;
}

void SettingsStore::WriteText(HKEY key, const wchar_t* name, const std::wstring& value)
{
    if (!key) return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool SettingsStore::ReadNumber(const wchar_t* name, DWORD& value) const
{
    return ReadNumber(mainKey_, name, value);
}

bool SettingsStore::ReadFlag(const wchar_t* name, bool& value) const
{
    DWORD number = 0;
    if (!ReadNumber(name, number)) return false;
    value = number == 1;
    return true;
}

bool SettingsStore::ReadText(const wchar_t* name, std::wstring& value) const
{
    return ReadText(mainKey_, name, value);
}

bool SettingsStore::ReadTime(const wchar_t* name, ULONGLONG& value) const
{
    if (!mainKey_) return false;
    DWORD type = 0;
    ULONGLONG data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(mainKey_, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_QWORD || size != sizeof(data)) return false;
    value = data;
    return true;
}

void SettingsStore::WriteNumber(const wchar_t* name, DWORD value) const
{
    if (mainKey_)
        RegSetValueExW(mainKey_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void SettingsStore::WriteText(const wchar_t* name, const std::wstring& value) const
{
    WriteText(mainKey_, name, value);
}

void SettingsStore::WriteTime(const wchar_t* name, ULONGLONG value) const
{
    if (mainKey_)
        RegSetValueExW(mainKey_, name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

DWORD SettingsStore::Number(const wchar_t* name, DWORD fallback) const
{
    DWORD value = 0;
    return ReadNumber(name, value) ? value : fallback;
}

bool SettingsStore::Flag(const wchar_t* name, bool fallback) const
{
    bool value = false;
    return ReadFlag(name, value) ? value : fallback;
}

std::wstring SettingsStore::Text(const wchar_t* name, const wchar_t* fallback) const
{
    std::wstring value;
    return ReadText(name, value) ? value : std::wstring(fallback);
}

DWORD SettingsStore::ImagesSize() const
{
    DWORD value = Number(L"ImagesSize", kImagesSizeThumbnail);
    return value == kImagesSizeFull ? kImagesSizeFull : kImagesSizeThumbnail;
}

DWORD SettingsStore::LinkStyleId() const
{
    DWORD value = Number(L"LinkStyleID", kLinkStyleHtml);
    return value >= kLinkStyleHtml && value <= kLinkStyleFriendLink ? value : kLinkStyleHtml;
}

DWORD SettingsStore::ResizeTo() const
{
    DWORD value = Number(L"ResizeTo", kResizeToDefault);
    return value >= kResizeToFirst && value <= kResizeToLast ? value : kResizeToDefault;
}

ULONGLONG SettingsStore::LastCheckForUpdateTime() const
{
    ULONGLONG value = 0;
    return ReadTime(L"LastCheckForUpdateTime", value) ? value : 0;
}

DWORD SettingsStore::MaxHistory() const
{
    DWORD value = 0;
    return ReadNumber(historyKey_, L"MaxHistory", value) ? value : 10;
}
