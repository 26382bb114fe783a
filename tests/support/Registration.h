// COM registration in the test prefix: the built toolbar library, regsvr32 on
// it, and reads of HKEY_CLASSES_ROOT (which, unlike the current user's hive,
// is shared by every test process; tests that change it run one at a time in
// the integration program).
#pragma once

#include <windows.h>

#include <string>

namespace vptest {

std::wstring GuidText(const GUID& guid);
bool ClassesKeyExists(const std::wstring& subkey);
// The built VellumpostToolbar.dll as Wine shows it.
std::wstring ToolbarLibraryPath();
// Runs regsvr32 with options on library in this prefix; its exit code.
DWORD RunRegsvr32(const std::wstring& options, const std::wstring& library);

}  // namespace vptest
