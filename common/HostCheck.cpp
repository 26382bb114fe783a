// Host check (see the header).
#include "common/HostCheck.h"

#include <windows.h>

#include <cwchar>

#include "common/LogWriter.h"

bool IsBrowserProgramPath(const wchar_t* path)
{
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    if (!slash) return true;
    return lstrcmpiW(slash + 1, L"iexplore.exe") == 0;
}

bool HostedInBrowser()
{
    static volatile LONG cached = -1;
    if (cached >= 0) return cached == 1;
    wchar_t path[MAX_PATH] = {};
    bool hosted = true;
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n != 0 && n < MAX_PATH) {
        LogWriter("MAIN").Write("Attached to ", path);
        hosted = IsBrowserProgramPath(path);
    }
    InterlockedExchange(&cached, hosted ? 1 : 0);
    return hosted;
}
