// A selection of files as Explorer hands it to a right-click extension: the
// data object the files' shell folder makes for them (with its CF_HDROP list).
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

// The shell's data object for files of one folder; E_INVALIDARG when the list
// is empty or the files lie in different folders.
[[nodiscard]] HRESULT SelectionDataObject(const std::vector<std::wstring>& paths, IDataObject** data);
