// Reads the text the clipboard holds, for checks of what a paste put there.
#pragma once

#include <windows.h>

#include <string>

namespace vptest {

// The clipboard's CF_UNICODETEXT, empty when there is none or it cannot be opened.
std::wstring ClipboardText(HWND owner = nullptr);

}  // namespace vptest
