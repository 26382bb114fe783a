// COM registration helpers for tests (see the header).
#include "support/Registration.h"

#include "common/RegKey.h"

namespace vptest {

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool ClassesKeyExists(const std::wstring& subkey)
{
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, subkey.c_str(), KEY_READ);
}

std::wstring ToolbarLibraryPath()
{
    // The build gives the library's path on the build machine; Wine shows
    // that file system as drive Z.
    std::wstring library = L"Z:";
    for (const char* c = VP_TOOLBAR_DLL; *c; ++c) library += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return library;
}

DWORD RunRegsvr32(const std::wstring& options, const std::wstring& library)
{
    std::wstring commandLine = L"regsvr32.exe " + options + L" \"" + library + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return static_cast<DWORD>(-1);
    CloseHandle(process.hThread);
    DWORD exitCode = static_cast<DWORD>(-2);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return exitCode;
}

}  // namespace vptest
