// COM registration in the test prefix: the built toolbar library, regsvr32 on
// it, and reads of HKEY_CLASSES_ROOT (which, unlike the current user's hive,
// is shared by every test process; tests that change it run one at a time in
// the integration program).
#pragma once

#include <windows.h>

#include <string>

#include "common/ComModule.h"

namespace vptest {

// The product's own spelling of identifiers.
using ::GuidText;
bool ClassesKeyExists(const std::wstring& subkey);
bool KeyExists(HKEY root, const std::wstring& subkey);
// A text picture of a key with everything below it: one line per key and per
// value (name, type and data), names sorted; empty when the key is missing.
// Two pictures are equal when the trees hold the same keys and values.
std::wstring KeyTree(HKEY root, const std::wstring& subkey);
// The text of a string value (null name: the default value); "<none>" when
// the key or the value is missing.
std::wstring KeyText(HKEY root, const std::wstring& subkey, const wchar_t* name = nullptr);
// Creates root\subkey and sets a string value (null name: the default value).
void SetKeyText(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& text);
// A path of the build machine's file system as Wine shows it (drive Z).
std::wstring HostPath(const char* path);
// The built VellumpostToolbar.dll as Wine shows it.
std::wstring ToolbarLibraryPath();
// Runs regsvr32 with options on library in this prefix; its exit code.
DWORD RunRegsvr32(const std::wstring& options, const std::wstring& library);

}  // namespace vptest
