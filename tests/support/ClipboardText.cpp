// Clipboard reading for tests and the band host.
#include "support/ClipboardText.h"

namespace vptest {

std::wstring ClipboardText(HWND owner)
{
    std::wstring text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

bool PutClipboard(HWND owner, UINT format, const void* bytes, size_t size)
{
    if (!OpenClipboard(owner)) return false;
    bool put = EmptyClipboard() != FALSE;
    if (put && bytes) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        void* target = memory ? GlobalLock(memory) : nullptr;
        if (target) {
            memcpy(target, bytes, size);
            GlobalUnlock(memory);
        }
        put = target && SetClipboardData(format, memory);
        if (!put && memory) GlobalFree(memory);
    }
    CloseClipboard();
    return put;
}

bool PutClipboardText(HWND owner, const std::wstring& text)
{
    return PutClipboard(owner, CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

}  // namespace vptest
