// The system and standard headers that nearly every source of the Windows tree
// includes, compiled once per tree (the build's precompiled header). Sources
// still include what they use: the 32-bit tree builds them without it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <mshtml.h>
#include <oaidl.h>
#include <oleauto.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>
