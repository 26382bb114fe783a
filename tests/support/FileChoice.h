// A script for the upload file dialog that chooses the given files as a user
// would: one full path, or the folder of several and their quoted names.
#pragma once

#include <string>
#include <vector>

#include "dialogs/DialogScript.h"

namespace vptest {

DialogScript ChooseFiles(const std::vector<std::wstring>& paths);

}  // namespace vptest
