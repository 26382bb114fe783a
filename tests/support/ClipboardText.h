// Reads the text the clipboard holds, for checks of what a paste put there,
// and puts text there as a user's copy does.
#pragma once

#include <windows.h>

#include <string>

namespace vptest {

// The clipboard's CF_UNICODETEXT, empty when there is none or it cannot be opened.
std::wstring ClipboardText(HWND owner = nullptr);

// Replaces the clipboard's content by text; owner is a window of the caller
// (a clipboard emptied without one refuses new data). False on failure.
bool PutClipboardText(HWND owner, const std::wstring& text);

}  // namespace vptest
