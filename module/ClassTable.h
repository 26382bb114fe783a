// The COM classes of the toolbar library.
#pragma once

#include "common/ComModule.h"

// The library's COM module with its class table and type library; set up on
// the first call, which process attach makes.
ComModule& ToolbarComModule();
