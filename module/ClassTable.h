// The COM classes of the toolbar library.
#pragma once

#include "common/ComModule.h"

// The library's COM module with its class table and type library; set up on
// the first call, which process attach makes.
ComModule& ToolbarComModule();

// Gives the upload engine's replaceable windows (FileUploaderDialogs) the
// library's own dialogs, once per process. The uploader's class does it on
// its first creation and the library on loading, so the toolbar's buttons,
// which create uploaders directly, find them too. False when it failed.
bool InstallLibraryDialogs();
