// The browser window keeper. The holds on a window live in its window
// properties and change only under one process-wide lock, so a hold taken on
// one thread while another gives back the last is never lost; the window's own
// thread restores the original procedure once the count is really zero.
#include "browser/RefTimedKeeper.h"

#include "common/ComModule.h"
#include "common/Locks.h"
#include "common/LogWriter.h"

namespace {

const wchar_t kOriginalProc[] = L"original_wndproc";
const wchar_t kRefCount[] = L"window_ref_count";
// Set when the keeper hid the window on a close command: only such a window
// is closed when the last hold goes.
const wchar_t kHiddenByKeeper[] = L"keeper_hid_window";

const LogWriter& Log()
{
    static const LogWriter log("RefTimedKeeper");
    return log;
}

Lockable& KeeperLock()
{
    static CriticalSection lock;
    return lock;
}

WNDPROC CurrentProc(HWND window)
{
    const LONG_PTR proc = IsWindowUnicode(window) ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                                                  : GetWindowLongPtrA(window, GWLP_WNDPROC);
    return reinterpret_cast<WNDPROC>(proc);
}

// Installs proc; returns the one it replaced, null on failure.
WNDPROC InstallProc(HWND window, WNDPROC proc)
{
    SetLastError(0);
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(proc);
    const LONG_PTR old = IsWindowUnicode(window) ? SetWindowLongPtrW(window, GWLP_WNDPROC, value)
                                                 : SetWindowLongPtrA(window, GWLP_WNDPROC, value);
    if (old == 0 && GetLastError() != 0) return nullptr;
    return reinterpret_cast<WNDPROC>(old);
}

LONG ReadCount(HWND window)
{
    return static_cast<LONG>(reinterpret_cast<LONG_PTR>(GetPropW(window, kRefCount)));
}

bool WriteCount(HWND window, LONG count)
{
    return SetPropW(window, kRefCount, reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(count))) != FALSE;
}

void RemoveProps(HWND window)
{
    RemovePropW(window, kOriginalProc);
    RemovePropW(window, kRefCount);
    RemovePropW(window, kHiddenByKeeper);
}

bool OwnedByThisProcess(HWND window)
{
    DWORD process = 0;
    return GetWindowThreadProcessId(window, &process) != 0 && process == GetCurrentProcessId();
}

// Adds delta to the count of a kept window; the caller holds the keeper lock.
LONG ChangeCount(HWND window, LONG delta)
{
    const LONG old = ReadCount(window);
    const LONG count = old + delta < 0 ? 0 : old + delta;
    Log().Format(delta > 0 ? "Incrementing reference count for window %s" : "Decrementing reference count for window %s",
                 LogAddress(window).c_str());
    if (WriteCount(window, count)) {
        Log().Format("New reference count for window %s = %li", LogAddress(window).c_str(), count);
        return count;
    }
    Log().Format(delta > 0 ? "ERROR Incrementing reference count for window %s, prev = %li"
                           : "ERROR Decrementing reference count for window %s, prev = %li",
                 LogAddress(window).c_str(), old);
    return old;
}

}  // namespace

bool RefTimedKeeper::AddRef(HWND window)
{
    Log().Format("AddRef hwnd=%s", LogAddress(window).c_str());
    if (!window || !IsWindow(window)) return false;
    if (!OwnedByThisProcess(window)) {
        Log().Format("ERROR - window %s belongs to another process", LogAddress(window).c_str());
        return false;
    }
    ScopedLock lock(KeeperLock());
    if (GetPropW(window, kOriginalProc)) {
        // Kept already (possibly below a later subclasser, which passes our
        // messages on): one more hold.
        ChangeCount(window, +1);
        return true;
    }
    const WNDPROC current = CurrentProc(window);
    if (!current) return false;
    Log().Format("Sublass window %s", LogAddress(window).c_str());
    Log().Write("Unicode: ", IsWindowUnicode(window) ? "TRUE" : "FALSE");
    if (!SetPropW(window, kOriginalProc, reinterpret_cast<HANDLE>(current))) {
        Log().Write("ERROR on SetProp");
        return false;
    }
    if (!WriteCount(window, 0) || !InstallProc(window, &SubclassWndProc)) {
        Log().Format("ERROR on subclassing window %s", LogAddress(window).c_str());
        RemoveProps(window);
        return false;
    }
    Log().Format("Lock module %lu", ComModule::Instance().Lock());
    ChangeCount(window, +1);
    return true;
}

void RefTimedKeeper::Release(HWND window)
{
    Log().Format("Release hwnd=%s", LogAddress(window).c_str());
    if (!window || !IsWindow(window) || !OwnedByThisProcess(window)) {
        Log().Write("ERROR - Release for unsublassed window");
        return;
    }
    ScopedLock lock(KeeperLock());
    if (!GetPropW(window, kOriginalProc) || ReadCount(window) <= 0) {
        Log().Write("ERROR - Release for unsublassed window");
        return;
    }
    // The window's own thread unsubclasses, and only if no hold came back
    // before it gets there.
    if (ChangeCount(window, -1) == 0) PostMessageW(window, WM_KEEPER_RELEASE, 0, 0);
}

LONG RefTimedKeeper::Count(HWND window)
{
    ScopedLock lock(KeeperLock());
    return GetPropW(window, kOriginalProc) ? ReadCount(window) : 0;
}

LRESULT CALLBACK RefTimedKeeper::SubclassWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
try {
    const WNDPROC original = reinterpret_cast<WNDPROC>(GetPropW(window, kOriginalProc));
    if (!original) {
        Log().Format("Window %s was sublassed with errors", LogAddress(window).c_str());
        return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                       : DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_SYSCOMMAND:
        // The low four bits of a system command carry other information.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            ScopedLock lock(KeeperLock());
            if (ReadCount(window) > 0) {
                ShowWindow(window, SW_HIDE);
                SetPropW(window, kHiddenByKeeper, reinterpret_cast<HANDLE>(1));
                return 0;
            }
        }
        break;
    case WM_KEEPER_RELEASE: {
        ScopedLock lock(KeeperLock());
        if (ReadCount(window) <= 0) Unsubclass(window);
        return 0;
    }
    default:
        break;
    }
    return IsWindowUnicode(window) ? CallWindowProcW(original, window, message, wParam, lParam)
                                   : CallWindowProcA(original, window, message, wParam, lParam);
} catch (...) {
    Log().Write("EXCEPTION in SubclassWndProc");
    return 0;
}

// Runs on the window's thread under the keeper lock.
void RefTimedKeeper::Unsubclass(HWND window)
{
    Log().Format("Unsublass window %s", LogAddress(window).c_str());
    const WNDPROC original = reinterpret_cast<WNDPROC>(GetPropW(window, kOriginalProc));
    if (!original) {
        Log().Format("Window %s is not sublassed", LogAddress(window).c_str());
        return;
    }
    const bool hidden = GetPropW(window, kHiddenByKeeper) != nullptr;
    if (CurrentProc(window) != &SubclassWndProc) {
        // Restoring our original would cut the later subclasser out of the
        // chain: stay installed as a pass-through and keep the module loaded.
        Log().Format("Window %s was sublassed by another window; the keeper stays as a pass-through",
                     LogAddress(window).c_str());
        RemovePropW(window, kHiddenByKeeper);
    } else {
        if (!InstallProc(window, original)) {
            Log().Format("ERROR on restoring the procedure of window %s", LogAddress(window).c_str());
            return;
        }
        RemoveProps(window);
        Log().Format("Window %s has been unsublassed", LogAddress(window).c_str());
        Log().Format("Unlock module %lu", ComModule::Instance().Unlock());
    }
    if (hidden && !IsWindowVisible(window)) {
        Log().Format("Posting WM_SYSCOMMAND[SC_CLOSE] to window %s", LogAddress(window).c_str());
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}
