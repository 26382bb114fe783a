// The image that the calling code is linked into (see the header).
#include "common/ModuleInstance.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE ThisModule() noexcept
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

std::wstring ThisModulePath()
{
    // GetModuleFileNameW cuts a long path to the buffer without failing, so grow
    // the buffer until the whole path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(ThisModule(), &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return std::wstring();
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ThisModuleFolder()
{
    std::wstring path = ThisModulePath();
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return std::wstring();
    path.resize(slash + 1);
    return path;
}
