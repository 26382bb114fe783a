// Temporary base paths for the files the upload engine writes.
#include "engine/TemporaryBasePath.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "common/Handle.h"

namespace {

constexpr size_t kMaxBasePath = 255;

std::atomic<DWORD> g_lastStamp{0};

// A tick value not handed out before in this process. The signed difference
// keeps the order right across the 49-day wrap of the tick count.
DWORD NextStamp()
{
    DWORD last = g_lastStamp.load();
    for (;;) {
        DWORD stamp = GetTickCount();
        if (static_cast<LONG>(stamp - last) <= 0) stamp = last + 1;
        if (g_lastStamp.compare_exchange_weak(last, stamp)) return stamp;
    }
}

std::wstring TemporaryFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return {};
    return std::wstring(buffer, length);
}

std::wstring NameWithoutExtension(const std::wstring& source)
{
    const size_t separator = source.find_last_of(L"/\\");
    if (separator == std::wstring::npos) return L"img";
    std::wstring name = source.substr(separator + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

bool AnyFileWithBase(const std::wstring& base)
{
    FileFind find;
    return find.First((base + L".*").c_str());
}

}  // namespace

std::wstring TemporaryBasePath(const std::wstring& source)
{
    const std::wstring folder = TemporaryFolder();
    const std::wstring name = NameWithoutExtension(source);
    std::wstring base;
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t stamp[16];
        std::swprintf(stamp, sizeof(stamp) / sizeof(stamp[0]), L"%lx", static_cast<unsigned long>(NextStamp()));
        // The name gives way to the stamp, which keeps bases apart however
        // long the source's name is.
        const size_t stampLength = std::wcslen(stamp);
        const size_t room = kMaxBasePath > folder.size() + stampLength ? kMaxBasePath - folder.size() - stampLength : 0;
        base = folder + name.substr(0, room) + stamp;
        if (!AnyFileWithBase(base)) break;
    }
    return base;
}
