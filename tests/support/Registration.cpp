// COM registration helpers for tests (see the header).
#include "support/Registration.h"

#include <algorithm>
#include <vector>

#include "common/RegKey.h"

namespace vptest {

bool ClassesKeyExists(const std::wstring& subkey)
{
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, subkey.c_str(), KEY_READ);
}

bool KeyExists(HKEY root, const std::wstring& subkey)
{
    RegKey key;
    return key.Open(root, subkey.c_str(), KEY_READ);
}

namespace {

void AppendTree(HKEY key, const std::wstring& path, std::wstring& out)
{
    out += path + L"\n";
    std::vector<std::wstring> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[1024];
        BYTE data[4096];
        DWORD nameChars = 1024, bytes = sizeof(data), type = 0;
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data, &bytes) != ERROR_SUCCESS) break;
        std::wstring line = path + L" [" + name + L"] type " + std::to_wstring(type) + L" = ";
        if (type == REG_SZ)
            line += std::wstring(reinterpret_cast<const wchar_t*>(data), bytes / sizeof(wchar_t));
        else
            for (DWORD b = 0; b < bytes; ++b) line += std::to_wstring(data[b]) + L" ";
        values.push_back(line + L"\n");
    }
    std::sort(values.begin(), values.end());
    for (const std::wstring& line : values) out += line;

    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD chars = 256;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.push_back(name);
    }
    std::sort(subkeys.begin(), subkeys.end());
    for (const std::wstring& name : subkeys) {
        RegKey child;
        if (child.Open(key, name.c_str(), KEY_READ)) AppendTree(child, path + L"\\" + name, out);
    }
}

}  // namespace

std::wstring KeyTree(HKEY root, const std::wstring& subkey)
{
    RegKey key;
    if (!key.Open(root, subkey.c_str(), KEY_READ)) return std::wstring();
    std::wstring out;
    AppendTree(key, subkey, out);
    return out;
}

std::wstring KeyText(HKEY root, const std::wstring& subkey, const wchar_t* name)
{
    RegKey key;
    wchar_t text[1024] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t), type = 0;
    if (!key.Open(root, subkey.c_str(), KEY_READ) ||
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return text;
}

void SetKeyText(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& text)
{
    RegKey key;
    if (!key.Create(root, subkey.c_str())) return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::wstring HostPath(const char* path)
{
    std::wstring wine = L"Z:";
    for (const char* c = path; *c; ++c) wine += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return wine;
}

std::wstring ToolbarLibraryPath()
{
    // The build gives the library's path on the build machine.
    return HostPath(VP_TOOLBAR_DLL);
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
