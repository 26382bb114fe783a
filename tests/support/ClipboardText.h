// The clipboard for tests: the text it holds, for checks of what a paste put
// there, and putting content on it for the roads that read it.
#pragma once

#include <windows.h>

#include <string>

namespace vptest {

// The clipboard's CF_UNICODETEXT, empty when there is none or it cannot be opened.
std::wstring ClipboardText(HWND owner = nullptr);
// Empties the clipboard and, with bytes, puts them there in format; owner
// must be a window (a clipboard opened without one takes no data).
bool PutClipboard(HWND owner, UINT format, const void* bytes, size_t size);
bool PutClipboardText(HWND owner, const std::wstring& text);

}  // namespace vptest
