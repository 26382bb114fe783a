// A data object with a list of files, as Explorer hands one to a right-click
// menu or a drop target (CF_HDROP with wide names).
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace vptest {

// A data object that offers CF_HDROP of paths (none: offers nothing).
Microsoft::WRL::ComPtr<IDataObject> DropData(const std::vector<std::wstring>& paths);

}  // namespace vptest
