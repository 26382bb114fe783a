// Keeping and restoring the clipboard around picture copies (see the header).
#include "browser/ClipboardKeeper.h"

#include <cstring>

#include "common/LogWriter.h"

namespace {

// More than this is not kept: copying pictures then waits for another time.
const SIZE_T kMaxKeptBytes = 256u * 1024 * 1024;

// Formats whose data is a GDI object or the owner's private handle, not
// global memory that can be copied as bytes.
bool IsHandleFormat(UINT id)
{
    switch (id) {
    case CF_BITMAP:
    case CF_METAFILEPICT:
    case CF_PALETTE:
    case CF_ENHMETAFILE:
    case CF_OWNERDISPLAY:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
        return true;
    default:
        return (id >= CF_PRIVATEFIRST && id <= CF_PRIVATELAST) || (id >= CF_GDIOBJFIRST && id <= CF_GDIOBJLAST);
    }
}

HGLOBAL CopyGlobal(HANDLE source, SIZE_T size)
{
    const void* from = GlobalLock(source);
    if (!from) return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    void* to = copy ? GlobalLock(copy) : nullptr;
    if (to) {
        std::memcpy(to, from, size);
        GlobalUnlock(copy);
    } else if (copy) {
        GlobalFree(copy);
        copy = nullptr;
    }
    GlobalUnlock(source);
    return copy;
}

}  // namespace

bool ClipboardKeeper::Save()
{
    if (saved_) return true;
    LogWriter log("CImageContextMenu");
    if (!OpenClipboard(nullptr)) {
        log.Format("Cannot open the clipboard to keep it, error %lu", GetLastError());
        return false;
    }
    bool whole = true;
    SIZE_T total = 0;
    for (UINT id = EnumClipboardFormats(0); id != 0 && whole; id = EnumClipboardFormats(id)) {
        if (IsHandleFormat(id)) continue;
        HANDLE data = GetClipboardData(id);
        const SIZE_T size = data ? GlobalSize(data) : 0;
        if (size == 0) continue;
        total += size;
        HGLOBAL copy = total <= kMaxKeptBytes ? CopyGlobal(data, size) : nullptr;
        if (!copy) {
            whole = false;
            break;
        }
        formats_.push_back(Format{id, copy});
    }
    CloseClipboard();
    if (!whole) {
        log.Write("The clipboard cannot be kept whole: pictures are not copied through it");
        FreeFormats();
        return false;
    }
    saved_ = true;
    return true;
}

void ClipboardKeeper::Restore() noexcept
{
    if (!saved_) return;
    saved_ = false;
    // Data can be set only by a clipboard owner: a window of its own, which
    // may go at once since nothing is rendered later.
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (owner && OpenClipboard(owner)) {
        EmptyClipboard();
        for (Format& format : formats_) {
            if (SetClipboardData(format.id, format.memory)) format.memory = nullptr;  // the clipboard's now
        }
        CloseClipboard();
    } else {
        const DWORD error = GetLastError();
        try {
            LogWriter("CImageContextMenu").Format("Cannot put the clipboard back, error %lu", error);
        } catch (...) {
        }
    }
    if (owner) DestroyWindow(owner);
    FreeFormats();
}

void ClipboardKeeper::FreeFormats() noexcept
{
    for (const Format& format : formats_)
        if (format.memory) GlobalFree(format.memory);
    formats_.clear();
}
